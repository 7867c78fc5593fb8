#pragma once
// The day's quality-control report: the facts a surveyor mails to the office, gathered
// from the model, and the one self-contained HTML page that shows them. The pictures are
// drawn elsewhere and handed in as PNG bytes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "display/block_display.h"
#include "map/survey_map.h"
#include "model/survey_model.h"
#include "qc/clock.h"
#include "qc/diurnal.h"
#include "qc/qc_table.h"
#include "qc/spikes.h"
#include "util/date_time.h"
#include "util/operator.h"

namespace corvane {

// What the processing run knows beyond the model.
struct QcRunFacts {
  std::vector<std::string> files = {};  // the dump files read, in list order
  DateOrder date_order = DateOrder::automatic;
  std::vector<std::string> messages = {};  // what the run said, in order
  SpikeOptions spike_options = {};
  DiurnalLimit diurnal_limit = {};
};

// A base session and its curve: the readings with a value, in time order.
struct QcBaseSession {
  std::int32_t block = 0;
  std::string file;
  bool checked = false;
  double start = 0, end = 0;  // day numbers
  float field = null_value;   // the header's base field
  float first = 0, last = 0, low = 0, high = 0;
  std::vector<double> hours;  // since QcReport::curve_day
  std::vector<double> values;
  std::vector<std::uint8_t> spikes;
};

struct QcReport {
  QcRunFacts run;
  std::vector<QcBaseSession> bases;
  double curve_day = 0;  // the midnight the curve's hours count from
  NiceAxis curve_x, curve_y;
  std::vector<DiurnalStretch> stretches;
  std::int64_t field_spikes = 0, base_spikes = 0;
  std::vector<QcLine> lines;
  ClockOffset offset;
  // The run's messages, then the diurnal messages, the clock hints and the offset's.
  std::vector<std::string> messages;
  SurveyMap map;  // as corvane-batch --map draws it: corrected values
};

QcReport gather_qc_report(const SurveyModel& model, QcRunFacts run);
// A day number as the base curve's hours.
inline double curve_hours(const QcReport& report, double day_number) { return (day_number - report.curve_day) * 24; }

// The pictures as PNG bytes; an empty one is left out with a note.
struct QcReportPictures {
  std::string base_curve;
  std::string map;
};

// The page: valid HTML5, readable printed on A4, every text from the files escaped.
std::string qc_report_html(const QcReport& report, const QcReportPictures& pictures);

// `text` as HTML text: markup characters as references, a carriage return (with or without
// a line feed) as a line break, invalid UTF-8 and control characters as U+FFFD.
std::string html_text(std::string_view text);
std::string base64(std::string_view bytes);
// "1 h behind", "2 h ahead"; empty for 0.
std::string clock_hint_text(int hours);

// Passes everything on to `other` and keeps the texts of the messages.
class MessageLog : public Operator {
public:
  explicit MessageLog(Operator& other) : other_(other) {}
  void message(const std::string& text) override {
    texts_.push_back(text);
    other_.message(text);
  }
  bool ask_ok_cancel(const std::string& text) override { return other_.ask_ok_cancel(text); }
  void beep() override { other_.beep(); }
  void busy(bool on) override { other_.busy(on); }
  void status(int panel, const std::string& text) override { other_.status(panel, text); }
  void let_events_run() override { other_.let_events_run(); }
  const std::vector<std::string>& texts() const { return texts_; }

private:
  Operator& other_;
  std::vector<std::string> texts_;
};

}  // namespace corvane
