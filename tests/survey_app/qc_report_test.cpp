// The day's QC report: its facts from a generated day read from real dump files, and the
// page corvane-batch --qc-report writes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <random>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "batch_runner.h"
#include "dump_fixture.h"
#include "qc/qc_report.h"
#include "util/text.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using test::fixed_base_header;
using test::fixed_base_line;
using test::fixed_field_header;
using test::fixed_field_line;
using test::TempDir;

TEST(QcReportText, EscapesWhatTheFilesHold) {
  const struct {
    const char* text;
    const char* html;
  } cases[] = {
      {"<b>&", "&lt;b&gt;&amp;"},
      {"L\"1'", "L&quot;1&#39;"},
      {"one\r\ntwo\rthree\nfour", "one<br>two<br>three<br>four"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {"bad \xFF byte", "bad \xEF\xBF\xBD byte"},
      {"cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
      {"overlong \xC0\xAF", "overlong \xEF\xBF\xBD\xEF\xBF\xBD"},
      {"bell \x07 and C1 \xC2\x85", "bell \xEF\xBF\xBD and C1 \xEF\xBF\xBD"},
      {"tab\tstays", "tab\tstays"},
  };
  for (const auto& c : cases) EXPECT_EQ(html_text(c.text), c.html) << c.text;
}

TEST(QcReportText, Base64OfEveryRemainder) {
  using namespace std::string_view_literals;
  const std::pair<std::string_view, const char*> cases[] = {
      {""sv, ""},        {"f"sv, "Zg=="},        {"fo"sv, "Zm8="},
      {"foo"sv, "Zm9v"}, {"foob"sv, "Zm9vYg=="}, {"\xFF\x00\x80"sv, "/wCA"}};
  for (const auto& [bytes, text] : cases) EXPECT_EQ(base64(bytes), text) << text;
}

// Short-period variation that base and rover share: many waves of 20 to 200 s, ~2 nT rms.
double pulsation(double t) {
  static const std::vector<std::pair<double, double>> waves = [] {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> period(20, 200), phase(0, 2 * std::numbers::pi);
    std::vector<std::pair<double, double>> w;
    for (int i = 0; i < 40; ++i) w.push_back({2 * std::numbers::pi / period(random), phase(random)});
    return w;
  }();
  double v = 0;
  for (const auto& [w, p] : waves) v += 0.45 * std::sin(w * t + p);
  return v;
}

std::string hms(double seconds) {
  const long s = std::lround(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  return text;
}

std::string tenths(double v) { return format_fixed(static_cast<float>(std::round(v * 10) / 10), 1); }

// A day in one dump. Base session 1 (07:50 to 10:10, a reading every 5 s) runs 37 s ahead of
// the rover; base session 2 (11:00 to 11:45) a whole hour ahead. Nine lines of 300 readings
// every 2 s lie in the first session, the ninth named "<b>&"; 500N and 550N in the second.
// Spikes: +25, -30 and +40 nT on lines 150N, 300N and 400N, +30 and -25 nT in the first session.
struct GeneratedDay {
  std::vector<std::string> lines;
  std::string text;
  static constexpr int field_spikes = 3, base_spikes = 2;

  GeneratedDay() {
    std::mt19937 random(11);
    std::normal_distribution<double> noise(0, 0.1);
    const auto field = [&](double t) { return 58000 + 15 * std::sin(2 * std::numbers::pi * t / 21600) + pulsation(t); };
    text = "MP-2 DUMP\n";
    const auto base = [&](double from, double to, double clock_ahead, std::vector<std::pair<int, double>> spikes) {
      text += fixed_base_header("05/12/24", "5 SEC", "57950.0") + "  TIME     BASE   DIFFERENCES\n";
      int k = 0;
      for (double t = from; t <= to; t += 5, ++k) {
        double v = field(t) - 50 + noise(random);
        for (const auto& [at, size] : spikes)
          if (at == k) v += size;
        text += fixed_base_line(hms(t + clock_ahead), tenths(v)) + "\n";
      }
    };
    const auto line = [&](const std::string& name, double from, bool increasing, int spike_at, double spike) {
      lines.push_back(name);
      text += fixed_field_header(name, "05/12/24") + "STATION  MAG   SD   TIME\n";
      for (int k = 0; k < 300; ++k) {
        const double x = increasing ? k : 299 - k, t = from + 2 * k;
        const double anomaly = 80 * std::exp(-0.5 * std::pow((x - 120) / 50, 2)) + 0.05 * x;
        const double v = field(t) + anomaly + noise(random) + (k == spike_at ? spike : 0);
        text += fixed_field_line(std::to_string(static_cast<int>(x)), tenths(v), hms(t)) + "\n";
      }
    };
    base(7 * 3600 + 50 * 60, 10 * 3600 + 10 * 60, 37, {{300, 30}, {900, -25}});
    const char* names[] = {"100N", "150N", "200N", "250N", "300N", "350N", "400N", "450N", "<b>&"};
    for (int l = 0; l < 9; ++l)
      line(names[l], 8 * 3600 + l * 660, l % 2 == 0,
           l == 1   ? 50
           : l == 4 ? 120
           : l == 6 ? 200
                    : -1,
           l == 1   ? 25
           : l == 4 ? -30
                    : 40);
    base(11 * 3600, 11 * 3600 + 45 * 60, 3600, {});
    line("500N", 11 * 3600 + 300, true, -1, 0);
    line("550N", 11 * 3600 + 1200, false, -1, 0);
  }
};

class QcReportDay : public ::testing::Test {
protected:
  TempDir dir;
  GeneratedDay day;
  std::string dump = dir.write("day.dat", day.text);
};

// The facts without Qt: each line with its own spikes and hints, the sessions' drift and the
// clock offset the pulsations give.
TEST_F(QcReportDay, GathersTheDaysFacts) {
  SurveyModel model;
  test::RecordingOperator op;
  const ProcessingSummary run = process_files(model, {dump_file_at(dump)}, op, DateOrder::mdy);
  const QcReport r = gather_qc_report(model, {.files = {dump}, .date_order = run.date_order});
  ASSERT_EQ(r.lines.size(), day.lines.size());
  const struct {
    const char* line;
    std::int64_t spikes;
    int hours;
    const char* direction;
  } expected[] = {
      {"100N", 0, 0, "increasing"},  {"150N", 1, 0, "decreasing"}, {"300N", 1, 0, "increasing"},
      {"400N", 1, 0, "increasing"},  {"<b>&", 0, 0, "increasing"}, {"500N", 0, -1, "increasing"},
      {"550N", 0, -1, "decreasing"},
  };
  for (const auto& e : expected) {
    const auto row = std::find_if(r.lines.begin(), r.lines.end(), [&](const QcLine& l) { return l.line == e.line; });
    ASSERT_NE(row, r.lines.end()) << e.line;
    EXPECT_EQ(row->spikes, e.spikes) << e.line;
    EXPECT_EQ(row->clock_shift_hours, e.hours) << e.line;
    EXPECT_EQ(station_direction(*row), e.direction) << e.line;
    EXPECT_EQ(row->base_cover, e.hours == 0 ? 1.0 : 0.0) << e.line;
  }
  EXPECT_EQ(r.field_spikes, GeneratedDay::field_spikes);
  EXPECT_EQ(r.base_spikes, GeneratedDay::base_spikes);
  ASSERT_EQ(r.bases.size(), 2u);
  EXPECT_EQ(r.bases[0].field, 57950.0f);
  EXPECT_EQ(r.bases[0].values.size(), 1681u);
  EXPECT_NEAR(r.bases[0].hours.front(), 7 + 50 / 60.0 + 37 / 3600.0, 1e-9);
  EXPECT_EQ(std::count(r.bases[0].spikes.begin(), r.bases[0].spikes.end(), 1), 2);
  EXPECT_TRUE(r.offset.found) << r.offset.message;
  EXPECT_NEAR(r.offset.seconds, 37, 2) << r.offset.message;
  EXPECT_EQ(r.messages.back(), r.offset.message);
  EXPECT_FALSE(r.map.dots.empty());
}

bool html5lib_found() { return std::system("/usr/bin/python3 -c 'import html5lib' 2>/dev/null") == 0; }

// html5lib's strict parser's complaint, empty when it finds none.
std::string html5_errors(const fs::path& page, const TempDir& dir) {
  const std::string cmd =
      "/usr/bin/python3 -c 'import html5lib, sys; html5lib.HTMLParser(strict=True).parse(open(sys.argv[1], \"rb\"))' "
      "'" +
      page.string() + "' 2>'" + (dir.path() / "html5.txt").string() + "'";
  return std::system(cmd.c_str()) == 0 ? std::string() : "html5lib: " + dir.read("html5.txt");
}

// With the map of the same run: one drawing application serves both pictures.
TEST_F(QcReportDay, TheBatchToolWritesAValidPage) {
  const fs::path page = dir.path() / "report.html";
  const test::Result r = test::run_batch(
      "--date-order mdy --map " + dir.dir() + "/map.png --qc-report " + page.string() + " " + dump, dir);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::file_size(dir.path() / "map.png") > 0);
  EXPECT_NE(r.err.find("QC report written to " + page.string() + "\n"), std::string::npos) << r.err;
  const std::string html = dir.read("report.html");
  for (const std::string& line : day.lines)
    EXPECT_NE(html.find("<tr><td>" + html_text(line) + "</td>"), std::string::npos) << line;
  EXPECT_EQ(html.find("<b>&"), std::string::npos);
  EXPECT_NE(html.find("Spikes flagged: 3 on the field lines, 2 in the base sessions"), std::string::npos);
  EXPECT_NE(html.find(">1 h ahead</td>"), std::string::npos);
  EXPECT_NE(
      html.find("Line 500N has no base session covering it; one would with the base clock 1 h ahead of the rover"),
      std::string::npos);
  std::smatch offset;
  ASSERT_TRUE(std::regex_search(html, offset, std::regex("The base clock looks (\\d+) s ahead of the rover")));
  EXPECT_NEAR(std::stoi(offset[1]), 37, 2);
  EXPECT_EQ(std::count(html.begin(), html.end(), '\0'), 0);
  std::size_t pictures = 0;
  for (std::size_t at = 0; (at = html.find("src=\"data:image/png;base64,iVBOR", at)) != std::string::npos; ++at)
    ++pictures;
  EXPECT_EQ(pictures, 2u);
  if (!html5lib_found()) GTEST_SKIP() << "python3-html5lib is not installed (scripts/setup installs it)";
  EXPECT_EQ(html5_errors(page, dir), "");
}

// The superuser writes into any folder: the tool then runs as nobody.
// A page whose folder is a file cannot be written, whoever runs the tool: the run fails and
// says where and why, and leaves nothing beside it.
TEST_F(QcReportDay, APageThatCannotBeWrittenIsSaidAndLeavesNothing) {
  dir.write("folder", "a file");
  const std::string target = (dir.path() / "folder" / "report.html").string();
  const std::string cmd = std::string(CORVANE_BATCH) + " --date-order mdy --qc-report " + target + " " + dump + " 2>" +
                          (dir.path() / "err.txt").string();
  const int status = std::system(cmd.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string err = dir.read("err.txt");
  EXPECT_TRUE(std::regex_search(err, std::regex("The QC report could not be written to " + target + ": .+\n"))) << err;
  EXPECT_EQ(dir.read("folder"), "a file");
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir.path()))
    if (entry.path().filename().string().find("report") != std::string::npos) left.push_back(entry.path().filename());
  EXPECT_TRUE(left.empty());
}

}  // namespace
}  // namespace corvane
