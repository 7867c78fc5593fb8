#pragma once
// Writes large synthetic survey days in both dump layouts, for the benchmarks.
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace corvane::bench {

struct GeneratedSet {
  std::vector<std::string> paths;
  std::uint64_t bytes = 0;
};

class DumpGenerator {
public:
  explicit DumpGenerator(std::uint32_t seed = 1996) : state_(seed) {}

  // Writes files of about file_bytes each into `dir` until total_bytes are written,
  // alternating the keyword-header and the fixed-column layout. Each file is one day:
  // a base session, then field lines inside it. Dates are month/day/year.
  // With fixed_only, every file is in the fixed-column layout.
  GeneratedSet write(const std::string& dir, std::uint64_t total_bytes, std::uint64_t file_bytes,
                     bool fixed_only = false) {
    GeneratedSet set;
    for (int n = 0; set.bytes < total_bytes; ++n) {
      const bool keyword = !fixed_only && n % 2 == 0;
      char name[64];
      std::snprintf(name, sizeof name, "/day%03d.%s", n, keyword ? "env" : "mp2");
      const std::string path = dir + name;
      std::FILE* f = std::fopen(path.c_str(), "wb");
      if (!f) break;
      const int day = 1 + n % 28, month = 1 + (n / 28) % 12;
      text_.clear();
      day_text(keyword, month, day, file_bytes);
      std::fwrite(text_.data(), 1, text_.size(), f);
      std::fclose(f);
      set.bytes += text_.size();
      set.paths.push_back(path);
    }
    return set;
  }

private:
  double noise() {  // uniform in [-1, 1)
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<double>(state_ >> 8) / 8388608.0 - 1.0;
  }
  static double diurnal(int s) { return 57500.0 - 18.0 * std::sin((s / 3600.0 - 7.0) / 12.0 * M_PI); }
  void line(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    text_.append(buf, static_cast<std::size_t>(n));
    text_ += "\r\n";
  }
  static void hms(char* out, int s) { std::snprintf(out, 9, "%02d:%02d:%02d", s / 3600 % 24, s / 60 % 60, s % 60); }

  void day_text(bool keyword, int month, int day, std::uint64_t bytes) {
    char date[16];
    std::snprintf(date, sizeof date, "%02d/%02d/96", month, day);
    // The base session: 06:00 to 22:00 at a 5-second cycle, sized to about a third of the file.
    const int cycle = 5, start = 6 * 3600, end = 22 * 3600;
    char t[9];
    if (keyword) {
      line("S C I N T R E X   ENVI-MAG  MAGNETOMETER   VER 3.21");
      line("ENVI MAG     SERIAL 9305212");
      line("DATE____: %s", date);
      line("LINE____: BS 1");
      line("CYC_TIME: %d SEC", cycle);
      line("BASEFLD_: 57500.0 NT");
      line("/----------------------------------------------");
      line("   TIME       MAG    DIFFERENCES");
    } else {
      line("SCINTREX   MP-2   PROTON PRECESSION MAGNETOMETER");
      line("MP-2  BASE STATION  BASE FIELD: 57500.0C  CYCLE TIME: %d SEC", cycle);
      line("LINE BS1     GRID  01      DATE: %s", date);
      line("  TIME     BASE   DIFFERENCES");
    }
    const std::uint64_t base_budget = bytes / 3;
    double prev = diurnal(start);
    for (int s = start; s + 7 * cycle <= end && text_.size() < base_budget; s += 8 * cycle) {
      hms(t, s);
      std::string row;
      char cell[32];
      const double v = std::round((diurnal(s) + 0.2 * noise()) * 10) / 10;
      if (keyword)
        std::snprintf(cell, sizeof cell, "%s %.1f", t, v);
      else
        std::snprintf(cell, sizeof cell, "%s%8.1f", t, v);
      row = cell;
      prev = v;
      for (int k = 1; k < 8; ++k) {
        const double w = std::round((diurnal(s + k * cycle) + 0.2 * noise()) * 10) / 10;
        if (keyword)
          std::snprintf(cell, sizeof cell, " %.1f", w - prev);
        else
          std::snprintf(cell, sizeof cell, "%7.1f", w - prev);
        row += cell;
        prev = w;
      }
      line("%s", row.c_str());
    }
    // Field lines of 201 stations, walked at 2 seconds a station, inside the session.
    int clock = start + 60;
    for (int coord = 0; text_.size() < bytes && clock < end - 600; coord += 25) {
      if (keyword) {
        line("S C I N T R E X   ENVI-MAG  MAGNETOMETER   VER 3.21");
        line("ENVI MAG     SERIAL 9305212");
        line("DATE____: %s", date);
        line("LINE____: %d N", coord);
        line("STATION_: 0");
        line("BASEFLD_: 57500.0");
        line("/----------------------------------------------");
        line("STATION       MAG      SD     TIME");
      } else {
        line("SCINTREX   MP-2   PROTON PRECESSION MAGNETOMETER");
        line("MP-2  UNCORRECTED DATA   BASE FIELD: 57500.0*");
        line("LINE %-8sGRID  01      DATE: %s", (std::to_string(coord) + "N").c_str(), date);
        line("STATION  MAG       SD    TIME");
      }
      const bool up = (coord / 25) % 2 == 0;
      for (int i = 0; i <= 200 && clock < end; ++i, clock += 2) {
        const int st = up ? -2500 + 25 * i : 2500 - 25 * i;
        const double v = diurnal(clock) + 40.0 * std::exp(-(st * st) / 1e6) + 0.3 * noise();
        hms(t, clock);
        if (keyword)
          line("%5d %c  %9.1f   0.05  %s", std::abs(st), st < 0 ? 'S' : 'N', v, t);
        else
          line("%06d%c %7.1f     0.05%s", std::abs(st), st < 0 ? 'S' : 'N', v, t);
      }
      clock += 30;
    }
  }

  std::uint32_t state_;
  std::string text_;
};

}  // namespace corvane::bench
