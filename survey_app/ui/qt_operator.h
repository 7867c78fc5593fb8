#pragma once
// The window's way of talking to the person: message boxes with the program's title,
// the system beep, the hourglass pointer and the four panels of the status bar.
#include <QPointer>
#include <QString>

#include <array>
#include <vector>

#include "util/operator.h"

class QLabel;
class QWidget;

namespace corvane::ui {

// The program's title: the caption of its message boxes and the about box.
inline const QString program_title = QStringLiteral("Corvane");

// A message text as shown: a carriage return (with or without a line feed) starts a
// new line.
QString shown_text(const std::string& text);

// Message boxes, beep and hourglass. Status texts are the window's business (see
// WindowOperator); this operator ignores them.
class QtOperator : public Operator {
public:
  explicit QtOperator(QWidget* parent) : parent_(parent) {}
  void message(const std::string& text) override;
  bool ask_ok_cancel(const std::string& text) override;
  void beep() override;
  void busy(bool on) override;
  void status(int, const std::string&) override {}
  void let_events_run() override;

private:
  QPointer<QWidget> parent_;
};

// The operator the window hands to the core: status texts go to the status bar's panels
// (and on to the other operator), everything else to the other operator, which is the
// QtOperator in the program and a recording operator in tests.
class WindowOperator : public Operator {
public:
  WindowOperator(Operator& other, std::array<QLabel*, 4> panels) : other_(other), panels_(panels) {}
  void message(const std::string& text) override;
  bool ask_ok_cancel(const std::string& text) override { return other_.ask_ok_cancel(text); }
  void beep() override { other_.beep(); }
  void busy(bool on) override { other_.busy(on); }
  void status(int panel, const std::string& text) override;
  void let_events_run() override { other_.let_events_run(); }

  // Keeps the texts of the messages from recordMessages(true) (which forgets the earlier
  // ones) to recordMessages(false): those of a processing run, for its QC report.
  void recordMessages(bool on);
  const std::vector<std::string>& recordedMessages() const { return recorded_; }

private:
  Operator& other_;
  std::array<QLabel*, 4> panels_;
  bool recording_ = false;
  std::vector<std::string> recorded_;
};

}  // namespace corvane::ui
