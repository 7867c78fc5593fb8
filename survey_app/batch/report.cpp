#include "batch/report.h"

#include "util/date_time.h"
#include "util/text.h"

namespace corvane {

std::string colour_name(std::int32_t colour) {
  switch (colour) {
    case colour_green: return "green";
    case colour_blue: return "blue";
    case colour_red: return "red";
    default: return "-";
  }
}

std::string table_field(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

void print_tree(const SurveyModel& m, std::ostream& out) {
  for (std::int32_t i = 1; i <= m.node_count; ++i) {
    const Node& n = m.node(i);
    out << i << '\t' << table_field(m.node_key(i)) << '\t' << table_field(m.node_text(i)) << '\t' << (n.checked ? 1 : 0)
        << '\t' << colour_name(n.colour) << '\n';
  }
}

void print_blocks(const SurveyModel& m, std::ostream& out) {
  out << "block\tkind\tnode\tfirst_reading\tnum_readings\tstart_time\tend_time\tline\tbase_block\tbase_cover\n";
  for (std::int32_t b = 1; b <= m.block_count; ++b) {
    const Block& k = m.block(b);
    const Match match = static_cast<std::size_t>(b) < m.match.size() ? m.match_of(b) : Match{};
    out << b << '\t' << k.kind << '\t' << k.node << '\t' << k.first_reading << '\t' << k.num_readings << '\t'
        << format_ymd_hms(k.start_time) << '\t' << format_ymd_hms(k.end_time) << '\t' << table_field(k.line) << '\t'
        << match.base_block << '\t' << match.base_cover << '\n';
  }
}

void print_readings(const SurveyModel& m, std::ostream& out) {
  out << "reading\tblock\ttime\tstation\tmag\n";
  for (std::int32_t b = 1; b <= m.block_count; ++b) {
    const Block& k = m.block(b);
    for (std::int32_t r = k.first_reading; r < k.first_reading + k.num_readings; ++r) {
      const Reading& x = m.reading(r);
      out << r << '\t' << b << '\t' << format_ymd_hms(x.time) << '\t' << shortest_text(x.station) << '\t'
          << shortest_text(x.mag) << '\n';
    }
  }
}

void print_graphs(const BlockView& view, std::ostream& out) {
  out << "text\t" << table_field(view.line) << '\t' << view.num_readings << '\t' << view.time_start << '\t'
      << view.time_end << '\n';
  for (const GraphData& g : view.graphs) {
    out << "graph\t" << g.index << '\t' << graph_title(g.index, view.base_view) << '\t' << g.x.size() << '\n';
    if (g.axes) {
      const GraphAxes& a = *g.axes;
      out << "axes\t" << shortest_text(a.x_tick) << '\t' << shortest_text(a.x_min) << '\t' << shortest_text(a.x_max)
          << '\t' << shortest_text(a.y_tick) << '\t' << shortest_text(a.y_min) << '\t' << shortest_text(a.y_max)
          << '\n';
    } else {
      out << "axes\t-\n";
    }
    for (std::size_t j = 0; j < g.x.size(); ++j)
      out << "point\t" << shortest_text(g.x[j]) << '\t' << shortest_text(g.y[j]) << '\n';
  }
}

void print_qc(const std::vector<QcLine>& lines, std::ostream& out) {
  out << "line\tfile\tblock\treadings\tfirst station\tlast station\tdirection\tbase cover %\tspikes\t"
         "largest diurnal nT\t"
         "gaps\tclock shift h\n";
  for (const QcLine& l : lines)
    out << table_field(l.line) << '\t' << table_field(l.file) << '\t' << l.block << '\t' << l.readings << '\t'
        << format_fixed(l.first_station, 1) << '\t' << format_fixed(l.last_station, 1) << '\t' << station_direction(l)
        << '\t' << format_fixed(static_cast<float>(100 * l.base_cover), 1) << '\t' << l.spikes << '\t'
        << format_fixed(static_cast<float>(l.diurnal_change), 1) << '\t' << l.gaps << '\t' << l.clock_shift_hours
        << '\n';
}

}  // namespace corvane
