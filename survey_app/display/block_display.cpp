#include "display/block_display.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include "correction/base_match.h"
#include "qc/spikes.h"
#include "util/date_time.h"
#include "util/text.h"

namespace corvane {

namespace {

// The smallest tick that moves every value near min and max when added to it: twice the
// float spacing at the larger magnitude (a limit a tick beyond may lie in the next binade,
// where the spacing doubles), and never below the smallest float.
float smallest_moving_tick(float min, float max) {
  const float magnitude = std::max(std::abs(min), std::abs(max));
  return std::max(2 * std::numeric_limits<float>::epsilon() * magnitude, std::numeric_limits<float>::denorm_min());
}

}  // namespace

NiceAxis nice_axis(float min, float max, int intervals) {
  NiceAxis axis;
  if (!(max > min)) return axis;
  const float range = max - min;
  const float n = static_cast<float>(std::max(intervals, 1));
  if (!std::isfinite(range)) return axis;  // no tick would ever fit
  const float least = smallest_moving_tick(min, max);
  float tick = 1.0f;
  enum class Kind { one, two, five } kind = Kind::one;
  // The tick at least doubles each pass: past the float range within some 130 passes.
  while (range / tick > n || tick < least) {
    switch (kind) {
      case Kind::one: tick *= 2.0f, kind = Kind::two; break;
      case Kind::two: tick *= 2.5f, kind = Kind::five; break;
      case Kind::five: tick *= 2.0f, kind = Kind::one; break;
    }
  }
  if (!std::isfinite(tick)) return NiceAxis{};
  while (range / tick < n) {
    if (kind == Kind::five) {
      if (!(2.5f * range / tick <= n) || tick / 2.5f < least) break;
      tick /= 2.5f, kind = Kind::two;
    } else {
      if (!(2.0f * range / tick <= n) || tick / 2.0f < least) break;
      tick /= 2.0f, kind = kind == Kind::one ? Kind::five : Kind::one;
    }
  }
  // The multiples of the tick next to min and max, in double: with the tick at least two
  // float steps of the ends, k x tick needs under 48 bits and is exact, and rounding it to
  // float cannot cross min or max.
  double below = std::floor(double(min) / tick);
  if (below * tick > min) below -= 1;
  double above = std::ceil(double(max) / tick);
  if (above * tick < max) above += 1;
  const auto lower = static_cast<float>(below * tick), upper = static_cast<float>(above * tick);
  axis.tick = tick;
  if (!std::isfinite(lower) || !std::isfinite(upper)) return axis;
  axis.lower = lower;
  axis.upper = upper;
  return axis;
}

std::vector<float> axis_ticks(const NiceAxis& axis) {
  std::vector<float> ticks;
  if (!axis.lower || !axis.upper || !(axis.tick > 0)) return ticks;
  const double lower = *axis.lower, tick = axis.tick;
  const double intervals = std::nearbyint((double(*axis.upper) - lower) / tick);
  if (!(intervals >= 0)) return ticks;
  const auto count = static_cast<std::size_t>(std::min(intervals, double(max_axis_ticks - 1))) + 1;
  ticks.reserve(count);
  for (std::size_t i = 0; i < count; ++i) ticks.push_back(static_cast<float>(lower + double(i) * tick));
  return ticks;
}

namespace {

// A range narrower than 0.1 is widened by 0.05 on both sides.
void widen(float& min, float& max) {
  if (max - min < 0.1f) {
    min -= 0.05f;
    max += 0.05f;
  }
}

}  // namespace

namespace {

struct Limits {
  float tick, min, max;
};

// The tick and nice limits of a range widened to at least 0.1; a limit beyond the float
// range is the null.
Limits nice_limits(float min, float max, int intervals) {
  widen(min, max);
  const NiceAxis a = nice_axis(min, max, intervals);
  return {a.tick, a.lower.value_or(display_null), a.upper.value_or(display_null)};
}

int y_intervals(bool base_view) { return base_view ? 6 : 4; }
constexpr int x_intervals = 8;

}  // namespace

std::optional<GraphAxes> graph_axes(const std::vector<float>& x, const std::vector<float>& y, bool base_view) {
  float xmin = 1e6f, xmax = -1e6f, ymin = 1e6f, ymax = -1e6f;
  for (std::size_t j = 0; j < x.size() && j < y.size(); ++j) {
    if (x[j] != display_null) {
      xmin = std::min(xmin, x[j]);
      xmax = std::max(xmax, x[j]);
    }
    if (y[j] != display_null) {
      ymin = std::min(ymin, y[j]);
      ymax = std::max(ymax, y[j]);
    }
  }
  if (ymin > ymax || xmin > xmax) return std::nullopt;
  const Limits ya = nice_limits(ymin, ymax, y_intervals(base_view));
  const Limits xa = nice_limits(xmin, xmax, x_intervals);
  return GraphAxes{xa.tick, xa.min, xa.max, ya.tick, ya.min, ya.max};
}

std::optional<GraphAxes> shown_axes(const GraphData& g, float x_min, float x_max, bool base_view) {
  float ymin = std::numeric_limits<float>::infinity(), ymax = -ymin;
  const auto take = [&](const std::vector<float>& xs, const std::vector<float>& ys) {
    for (std::size_t j = 0; j < xs.size() && j < ys.size(); ++j) {
      if (xs[j] == display_null || ys[j] == display_null || xs[j] < x_min || xs[j] > x_max) continue;
      ymin = std::min(ymin, ys[j]);
      ymax = std::max(ymax, ys[j]);
    }
  };
  take(g.x, g.y);
  take(g.marked_x, g.marked_y);
  if (ymin > ymax) return std::nullopt;
  const Limits ya = nice_limits(ymin, ymax, y_intervals(base_view));
  return GraphAxes{nice_axis(x_min, x_max, x_intervals).tick, x_min, x_max, ya.tick, ya.min, ya.max};
}

namespace {

// Runs one display routine; an error is reported with the routine's message.
template <class F>
void trapped(Operator& op, const char* message, F&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    op.message(std::string(message) + e.what());
  }
  op.busy(false);
}

// The marks of a graph: x and y of the flagged points.
struct Marks {
  std::vector<float> x, y;
  void add(float at_x, float at_y) {
    x.push_back(at_x);
    y.push_back(at_y);
  }
};

GraphData graph(int index, std::vector<float> x, std::vector<float> y, bool base_view, Operator& op, Marks marks = {}) {
  GraphData g;
  g.index = index;
  trapped(op, display_data_error, [&] {
    if (marks.x.empty()) {
      g.axes = graph_axes(x, y, base_view);
      return;
    }
    std::vector<float> all_x = x, all_y = y;
    all_x.insert(all_x.end(), marks.x.begin(), marks.x.end());
    all_y.insert(all_y.end(), marks.y.begin(), marks.y.end());
    g.axes = graph_axes(all_x, all_y, base_view);
  });
  g.x = std::move(x);
  g.y = std::move(y);
  g.marked_x = std::move(marks.x);
  g.marked_y = std::move(marks.y);
  return g;
}

// The station a line passed at time t: interpolated in time between the first two
// consecutive readings whose times enclose t; none when no two do.
std::optional<float> station_at(const SurveyModel& m, const Block& line, double t) {
  for (std::int32_t r = line.first_reading; r + 1 < line.first_reading + line.num_readings; ++r) {
    const Reading& a = m.reading(r);
    const Reading& b = m.reading(r + 1);
    if (!(std::min(a.time, b.time) <= t && t <= std::max(a.time, b.time))) continue;
    if (a.time == b.time) return a.station;
    return static_cast<float>(a.station + (t - a.time) / (b.time - a.time) * (double(b.station) - a.station));
  }
  return std::nullopt;
}

// The flagged readings of base block `base` within the time span of `line`, at the station
// the line passed then.
Marks base_marks(const SurveyModel& m, const Block& line, std::int32_t base, std::span<const std::uint8_t> flags) {
  Marks marks;
  const Block& b = m.block(base);
  for (std::int32_t r = b.first_reading; r < b.first_reading + b.num_readings; ++r) {
    if (!row_flagged(flags, r)) continue;
    const Reading& reading = m.reading(r);
    if (const auto station = station_at(m, line, reading.time)) marks.add(*station, reading.mag);
  }
  return marks;
}

}  // namespace

std::string cover_description(const SurveyModel& m, std::int32_t node) {
  if (node < 1 || node > m.node_count) return {};
  const std::int32_t b = m.node_block[static_cast<std::size_t>(node)];
  if (b < 1 || m.block(b).kind != field_kind) return {};
  const std::int32_t base = static_cast<std::size_t>(b) < m.match.size() ? m.match_of(b).base_block : 0;
  if (base < 1) return no_cover_text;
  const Node& base_node = m.node(m.block(base).node);
  const std::string base_text = m.node_text(m.block(base).node);
  std::string text = "Base session " + base_text.substr(0, base_text.find(' '));
  const std::int32_t base_file = base_node.parent;
  if (base_file != m.node(node).parent) text += " of " + m.node_text(base_file);
  return text + " covers " + format_int(m.match_of(b).base_cover) + " %";
}

namespace {

// "line 100N, envimag_0709.dat, 1996/07/09 08:25–08:44": the parts the block has, the
// file's name only `with_file`, the dates only `with_dates`.
std::string block_text(const SurveyModel& m, std::int32_t node, const BlockView& view, bool with_file,
                       bool with_dates) {
  std::vector<std::string> parts;
  if (!view.line.empty()) parts.push_back("line " + view.line);
  if (with_file) parts.push_back(m.node_text(m.node(node).parent));
  if (!view.time_start.empty()) {
    const auto hh_mm = [](const std::string& hms) { return hms.substr(0, 5); };
    std::string times = (with_dates ? view.date_start + " " : "") + hh_mm(view.time_start) + "–";
    if (with_dates && view.date_end != view.date_start) times += view.date_end + " ";
    parts.push_back(times + hh_mm(view.time_end));
  }
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

}  // namespace

std::string spikes_text(std::int64_t count) {
  if (count <= 0) return {};
  return format_int(count) + (count == 1 ? " spike flagged" : " spikes flagged");
}

std::string node_tooltip(const SurveyModel& m, std::int32_t node, std::span<const std::uint8_t> flags) {
  if (node < 1 || node > m.node_count) return {};
  std::string tip = cover_description(m, node);
  const std::string spikes = spikes_text(block_spikes(m, m.node_block[static_cast<std::size_t>(node)], flags));
  if (!spikes.empty()) tip += (tip.empty() ? "" : "\n") + spikes;
  return tip;
}

BlockView show_node(const SurveyModel& m, std::int32_t node, Operator& op, std::span<const std::uint8_t> flags) {
  BlockView view;
  if (node < 1 || node > m.node_count) return view;
  const std::int32_t block = m.node_block[static_cast<std::size_t>(node)];
  const Block& b = m.block(block);
  view.line = b.line;
  view.num_readings = format_int(b.num_readings);
  if (b.num_readings > 0) {
    view.time_start = format_hms(b.start_time);
    view.time_end = format_hms(b.end_time);
    view.date_start = format_ymd(b.start_time);
    view.date_end = format_ymd(b.end_time);
  }
  view.base_view = b.kind != field_kind;
  if (block <= 0) return view;
  view.spikes = spikes_text(block_spikes(m, block, flags));
  view.block = block_text(m, node, view, true, true);
  for (const bool with_dates : {true, false})
    if (std::string shorter = block_text(m, node, view, false, with_dates);
        shorter.size() < (view.shorter_blocks.empty() ? view.block : view.shorter_blocks.back()).size())
      view.shorter_blocks.push_back(std::move(shorter));
  if (!view.base_view && static_cast<std::size_t>(block) < m.match.size())
    view.shown_base_block = m.match_of(block).base_block;
  if (b.num_readings <= 1) return view;

  const std::size_t n = static_cast<std::size_t>(b.num_readings);
  const auto reading = [&](std::size_t j) -> const Reading& {
    return m.reading(b.first_reading + static_cast<std::int32_t>(j));
  };
  const auto is_flagged = [&](std::size_t j) {
    return row_flagged(flags, b.first_reading + static_cast<std::int32_t>(j));
  };
  if (b.kind != field_kind) {
    trapped(op, display_base_data_error, [&] {
      std::vector<float> x(n), y(n);
      Marks marks;
      for (std::size_t j = 0; j < n; ++j) {
        x[j] = static_cast<float>(static_cast<std::int32_t>(j));
        y[j] = reading(j).mag;
        if (is_flagged(j)) marks.add(x[j], y[j]);
      }
      view.graphs.push_back(graph(0, std::move(x), std::move(y), view.base_view, op, std::move(marks)));
    });
    return view;
  }
  std::vector<float> stations(n), raw(n);
  trapped(op, display_mag_data_error, [&] {
    Marks marks;
    for (std::size_t j = 0; j < n; ++j) {
      stations[j] = reading(j).station;
      raw[j] = reading(j).mag;
      if (is_flagged(j)) marks.add(stations[j], raw[j]);
    }
    view.graphs.push_back(graph(0, stations, raw, view.base_view, op, std::move(marks)));
  });
  if (view.shown_base_block <= 0) return view;
  trapped(op, display_corrected_data_error, [&] {
    std::vector<float> base(n), corrected(n);
    Marks corrected_marks;
    BaseValues base_values(m, block);  // the search starts at the base block's first reading
    for (std::size_t j = 0; j < n; ++j) {
      if (const auto value = base_values.at(reading(j).time)) {
        base[j] = *value;
        corrected[j] = raw[j] - *value;
        if (is_flagged(j)) corrected_marks.add(stations[j], corrected[j]);
      } else {
        base[j] = corrected[j] = display_null;
      }
    }
    view.graphs.push_back(
        graph(1, stations, std::move(base), view.base_view, op, base_marks(m, b, view.shown_base_block, flags)));
    view.graphs.push_back(graph(2, stations, std::move(corrected), view.base_view, op, std::move(corrected_marks)));
  });
  return view;
}

std::string graph_title(int index, bool base_view) {
  switch (index) {
    case 0: return base_view ? "Base Station Data" : "Raw Mag Data";
    case 1: return "Base Station Data";
    case 2: return "Corrected Data";
    default: return "";
  }
}

GraphCaption graph_caption(int index, const BlockView& view) {
  GraphCaption c;
  std::string note;  // left out first where the title does not fit
  switch (index) {
    case 0: c.title = view.base_view ? "Base station readings" : "Raw readings"; break;
    case 1: c.title = "Base station at each reading"; break;
    case 2:
      c.title = "Corrected: raw − base";
      note = " (export adds the base field)";
      break;
    default: return c;
  }
  const auto with = [](const std::string& caption, const std::string& block) {
    return block.empty() ? caption : caption + ", " + block;
  };
  if (!note.empty()) c.shorter_titles.push_back(with(c.title, view.block));
  for (const std::string& block : view.shorter_blocks) c.shorter_titles.push_back(with(c.title, block));
  c.title = with(c.title + note, view.block);
  c.x_label = view.base_view ? "Reading" : "Station";
  c.y_label = "nT";
  return c;
}

void show_pointer(Operator& op, int index, bool base_view, std::int32_t inview, float xp, float yp) {
  if (index >= 0 && index <= 2) op.status(1, graph_title(index, base_view));
  if (inview == 0) {
    op.status(2, format_fixed(xp, 0));
    op.status(3, format_fixed(yp, 4));
  } else {
    op.status(2, "");
    op.status(3, "");
  }
  op.status(4, "");
}

}  // namespace corvane
