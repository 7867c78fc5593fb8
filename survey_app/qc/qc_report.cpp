#include "qc/qc_report.h"

#include <algorithm>
#include <cmath>

#include "util/text.h"

namespace corvane {

namespace {

// Every base session with its readings that have a value, in time order.
std::vector<QcBaseSession> base_sessions(const SurveyModel& m, const SpikeFlags& spikes) {
  std::vector<QcBaseSession> sessions;
  for (std::int32_t b = 1; b <= m.block_count; ++b) {
    const Block& block = m.block(b);
    if (block.kind != base_kind) continue;
    QcBaseSession s;
    s.block = b;
    s.file = block_file(m, block);
    s.checked = m.node(block.node).checked;
    s.start = block.start_time;
    s.end = block.end_time;
    s.field = block.base_field;
    std::vector<std::int32_t> rows;
    for (std::int32_t r = block.first_reading; r < block.first_reading + block.num_readings; ++r)
      if (m.reading(r).mag != null_value) rows.push_back(r);
    std::stable_sort(rows.begin(), rows.end(),
                     [&](std::int32_t a, std::int32_t c) { return m.reading(a).time < m.reading(c).time; });
    for (const std::int32_t r : rows) {
      s.hours.push_back(m.reading(r).time);  // day numbers until the curve's day is known
      s.values.push_back(m.reading(r).mag);
      s.spikes.push_back(row_flagged(spikes.reading, r));
    }
    if (!rows.empty()) {
      s.first = static_cast<float>(s.values.front());
      s.last = static_cast<float>(s.values.back());
      const auto [low, high] = std::minmax_element(s.values.begin(), s.values.end());
      s.low = static_cast<float>(*low);
      s.high = static_cast<float>(*high);
    }
    sessions.push_back(std::move(s));
  }
  return sessions;
}

// The curve's times as hours from the midnight before its first reading, and its axes.
void place_curve(QcReport& r) {
  double first = INFINITY, last = -INFINITY, low = INFINITY, high = -INFINITY;
  for (const QcBaseSession& s : r.bases) {
    if (s.values.empty()) continue;
    first = std::min(first, s.hours.front());
    last = std::max(last, s.hours.back());
    low = std::min(low, static_cast<double>(s.low));
    high = std::max(high, static_cast<double>(s.high));
  }
  if (first > last) return;
  r.curve_day = std::floor(first);
  for (QcBaseSession& s : r.bases)
    for (double& t : s.hours) t = curve_hours(r, t);
  const auto hours = [&](double t) { return static_cast<float>(curve_hours(r, t)); };
  r.curve_x = nice_axis(hours(first), std::max(hours(last), hours(first) + 0.1f), 8);
  r.curve_y = nice_axis(static_cast<float>(low), static_cast<float>(std::max(high, low + 1)), 6);
}

const std::string replacement = "\xEF\xBF\xBD";

// The length of the UTF-8 sequence at `s` and its code point; 0 when it is not one.
std::size_t utf8_sequence(std::string_view s, char32_t& cp) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  std::size_t n = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2, cp = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3, cp = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4, cp = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i) & 0x3F);
  }
  if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

// Characters an HTML5 parser reports as errors in text.
bool refused_in_html(char32_t cp) {
  return (cp >= 0x80 && cp <= 0x9F) || (cp >= 0xFDD0 && cp <= 0xFDEF) || (cp & 0xFFFE) == 0xFFFE;
}

std::string fixed(double v, int decimals) { return format_fixed(static_cast<float>(v), decimals); }

std::string value_or_dash(float v, int decimals) { return v == null_value ? "-" : fixed(v, decimals); }

std::string percent(double share) { return fixed(100 * share, 1); }

// "1 file", "2 files"
std::string count_of(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string minutes_text(double minutes) { return shortest_text(static_cast<float>(minutes)) + " min"; }

struct Page {
  std::string html;
  Page& operator<<(std::string_view text) {
    html += text;
    return *this;
  }
  // A row of cells, each HTML already; `numbers` has an 'n' for each cell of a number.
  void row(const std::vector<std::string>& cells, std::string_view numbers) {
    html += "<tr>";
    for (std::size_t i = 0; i < cells.size(); ++i)
      html += (i < numbers.size() && numbers[i] == 'n' ? "<td class=\"n\">" : "<td>") + cells[i] + "</td>";
    html += "</tr>\n";
  }
  void head(const std::vector<std::string>& cells) {
    html += "<thead><tr>";
    for (const std::string& c : cells) html += "<th>" + c + "</th>";
    html += "</tr></thead><tbody>\n";
  }
  void figure(const std::string& png, const std::string& alt, const std::string& caption) {
    if (png.empty()) {
      html += "<p>" + caption + " No picture could be drawn.</p>\n";
      return;
    }
    html += "<figure><img src=\"data:image/png;base64," + base64(png) + "\" alt=\"" + alt + "\"><figcaption>" +
            caption + "</figcaption></figure>\n";
  }
};

const char* const style =
    R"(body { font-family: sans-serif; font-size: 10pt; margin: 1em; color: #000; background: #fff; }
h1 { font-size: 16pt; } h2 { font-size: 12pt; margin-top: 1.2em; }
table { border-collapse: collapse; width: 100%; margin: 0.4em 0; }
th, td { border: 1px solid #999; padding: 2px 4px; text-align: left; vertical-align: top; overflow-wrap: anywhere; }
th { background: #eee; } td.n { text-align: right; white-space: nowrap; }
img { max-width: 100%; height: auto; }
figure { margin: 0.5em 0; } figcaption { font-size: 9pt; }
tr, figure { break-inside: avoid; page-break-inside: avoid; }
thead { display: table-header-group; }
@page { size: A4; margin: 15mm; }
@media print { body { margin: 0; font-size: 8pt; } h2 { break-after: avoid; page-break-after: avoid; } }
)";

void files_section(Page& p, const QcReport& r) {
  p << "<h2>Files read</h2>\n<ul>\n";
  for (const std::string& f : r.run.files) p << "<li>" << html_text(f) << "</li>\n";
  p << "</ul>\n<p>Dates read as " << date_order_name(r.run.date_order) << ".</p>\n";
}

void base_section(Page& p, const QcReport& r, const std::string& curve) {
  p << "<h2>Base sessions</h2>\n<table>";
  p.head({"Block", "File", "Used", "Start", "End", "Readings", "Base field nT", "First nT", "Last nT", "Drift nT",
          "Range nT", "Spikes"});
  for (const QcBaseSession& s : r.bases) {
    const bool valued = !s.values.empty();
    const auto spikes = std::count(s.spikes.begin(), s.spikes.end(), std::uint8_t{1});
    p.row({std::to_string(s.block), html_text(s.file), s.checked ? "yes" : "no", format_ymd_hms(s.start),
           format_ymd_hms(s.end), std::to_string(s.values.size()), value_or_dash(s.field, 1),
           valued ? fixed(s.first, 1) : "-", valued ? fixed(s.last, 1) : "-", valued ? fixed(s.last - s.first, 1) : "-",
           valued ? fixed(s.high - s.low, 1) : "-", std::to_string(spikes)},
          "tttttnnnnnnn");
  }
  p << "</tbody></table>\n";
  const std::string limit =
      fixed(r.run.diurnal_limit.nt, 1) + " nT from the chord over " + minutes_text(r.run.diurnal_limit.minutes);
  p.figure(curve, "The base sessions against time",
           "The base sessions against time (hours of " + format_ymd(r.curve_day) +
               "). Shaded: the stretches departing more than " + limit + ". Red: the readings flagged as spikes.");
  if (r.stretches.empty()) {
    p << "<p>No stretch of the base departs more than " << limit << ".</p>\n";
    return;
  }
  p << "<table>";
  p.head({"Base block", "From", "To", "Largest change nT", "At"});
  for (const DiurnalStretch& s : r.stretches)
    p.row({std::to_string(s.base_block), format_hms(s.start), format_hms(s.end), fixed(s.change, 1), format_hms(s.at)},
          "nttnt");
  p << "</tbody></table>\n";
}

void lines_section(Page& p, const QcReport& r) {
  p << "<h2>Field lines</h2>\n<table>";
  p.head({"Line", "File", "Readings", "Stations", "Direction", "Base cover %", "Spikes",
          "Largest diurnal change nT in " + minutes_text(r.run.diurnal_limit.minutes), "Gaps", "Clock hint"});
  for (const QcLine& l : r.lines)
    p.row({html_text(l.line), html_text(l.file), std::to_string(l.readings),
           fixed(l.first_station, 1) + " to " + fixed(l.last_station, 1), station_direction(l), percent(l.base_cover),
           std::to_string(l.spikes), fixed(l.diurnal_change, 1), std::to_string(l.gaps),
           clock_hint_text(l.clock_shift_hours)},
          "ttnttnnnnt");
  p << "</tbody></table>\n<p>Gaps: intervals longer than twice the line's median reading interval. Clock hint: the "
       "whole-hour base clock shift that would cover a line no base session covers.</p>\n";
}

void messages_section(Page& p, const QcReport& r) {
  p << "<h2>Messages</h2>\n";
  if (r.messages.empty()) {
    p << "<p>None.</p>\n";
    return;
  }
  p << "<ul>\n";
  for (const std::string& m : r.messages) p << "<li>" << html_text(m) << "</li>\n";
  p << "</ul>\n";
}

}  // namespace

QcReport gather_qc_report(const SurveyModel& model, QcRunFacts run) {
  QcReport r;
  const SpikeFlags spikes = flag_spikes(model, run.spike_options);
  r.field_spikes = spikes.field;
  r.base_spikes = spikes.base;
  r.stretches = diurnal_stretches(model, run.diurnal_limit, spikes.reading);
  r.lines = qc_lines(model, spikes, r.stretches);
  r.bases = base_sessions(model, spikes);
  place_curve(r);
  r.offset = estimate_clock_offset(model);
  r.messages = run.messages;
  for (std::string& text : diurnal_messages(model, r.stretches, run.diurnal_limit.minutes))
    r.messages.push_back(std::move(text));
  for (std::string& text : clock_shift_hints(model)) r.messages.push_back(std::move(text));
  r.messages.push_back(r.offset.message);
  r.map = build_survey_map(model, false);
  r.run = std::move(run);
  return r;
}

std::string qc_report_html(const QcReport& r, const QcReportPictures& pictures) {
  Page p;
  p << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Quality control report</title>\n"
    << "<style>\n"
    << style << "</style>\n</head>\n<body>\n<h1>Quality control report</h1>\n";
  const SpikeOptions& o = r.run.spike_options;
  p << "<p>" << count_of(r.run.files.size(), "file", "files") << ", "
    << count_of(r.lines.size(), "field line", "field lines") << ", "
    << count_of(r.bases.size(), "base session", "base sessions")
    << ". Spikes flagged: " << std::to_string(r.field_spikes) << " on the field lines, "
    << std::to_string(r.base_spikes) << " in the base sessions (window " << std::to_string(o.window) << ", tolerance "
    << fixed(o.tolerance_nt, 1) << " nT, " << shortest_text(o.noise_factor) << " times the noise).</p>\n";
  files_section(p, r);
  base_section(p, r, pictures.base_curve);
  p << "<h2>Survey map</h2>\n";
  p.figure(pictures.map, "The survey map", "The ticked field lines, corrected values.");
  lines_section(p, r);
  p << "<h2>Base clock</h2>\n<p>" << html_text(r.offset.message) << "</p>\n";
  messages_section(p, r);
  p << "</body>\n</html>\n";
  return std::move(p.html);
}

std::string html_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (static_cast<unsigned char>(c) < 0x80) {
      switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        case '\r':
          if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
          [[fallthrough]];
        case '\n': out += "<br>"; break;
        case '\t': out += c; break;
        default: out += (c < 0x20 || c == 0x7F) ? replacement : std::string(1, c);
      }
      ++i;
      continue;
    }
    char32_t cp = 0;
    const std::size_t n = utf8_sequence(text.substr(i), cp);
    if (n == 0 || refused_in_html(cp)) {
      out += replacement;
      i += n == 0 ? 1 : n;
    } else {
      out += text.substr(i, n);
      i += n;
    }
  }
  return out;
}

std::string base64(std::string_view bytes) {
  static constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 3; ++k) v = (v << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    for (std::size_t k = 0; k < 4; ++k) out += k <= n ? digits[(v >> (18 - 6 * k)) & 0x3F] : '=';
  }
  return out;
}

std::string clock_hint_text(int hours) {
  if (hours == 0) return {};
  return std::to_string(std::abs(hours)) + (hours > 0 ? " h behind" : " h ahead");
}

}  // namespace corvane
