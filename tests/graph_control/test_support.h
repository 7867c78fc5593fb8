#pragma once

#include <gtest/gtest.h>

#include <QPrinter>
#include <QStringList>
#include <functional>
#include <initializer_list>
#include <vector>

#include "control_access.h"
#include "vellum32/vellum32.h"

namespace vellum32::test {

// The internal state of a control, for checks the public interface cannot make.
inline ControlState& StateOf(Vellum32& control) { return ControlAccess::State(control); }
inline const ControlState& StateOf(const Vellum32& control) { return ControlAccess::State(control); }

// Runs `call` and checks that it raises the control's error with `number`.
inline void expectError(int number, const std::function<void()>& call) {
  try {
    call();
    ADD_FAILURE() << "expected error " << number << ", nothing was raised";
  } catch (const Vellum32Error& e) {
    EXPECT_EQ(e.Number(), number) << e.Description().toStdString();
    EXPECT_EQ(e.Source(), QStringLiteral("Vellum"));
    EXPECT_FALSE(e.Description().isEmpty());
  }
}

// A table from rows of numbers; every row gets `cells` cells (header included), the
// cells a row does not give stay empty.
inline DataTable makeTable(std::initializer_list<std::vector<double>> rows, qsizetype cells = -1) {
  qsizetype width = cells;
  if (width < 0)
    for (const auto& row : rows) width = std::max<qsizetype>(width, qsizetype(row.size()));
  DataTable table(qsizetype(rows.size()), width);
  qsizetype r = 0;
  for (const auto& row : rows) {
    for (qsizetype c = 0; c < qsizetype(row.size()); ++c) table(r, c) = row[std::size_t(c)];
    ++r;
  }
  return table;
}

// Records what the control would show the person and answers for them: questions with
// `answer`, the save-file dialog with `fileName` (empty: cancelled), the printer request
// with what `printer` makes (nothing: no printer).
struct RecordingOperator : ControlOperator {
  QStringList texts;
  QStringList questions;
  bool answer = false;
  QString fileName;
  std::function<std::unique_ptr<QPrinter>()> printer;
  void attach(Vellum32& control) { control.setOperator(this); }
  void Message(QWidget*, const QString& text) override { texts.append(text); }
  bool Question(QWidget*, const QString& text) override {
    questions.append(text);
    return answer;
  }
  QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return fileName; }
  std::unique_ptr<QPrinter> DefaultPrinter() override { return printer ? printer() : nullptr; }
  void LetEventsRun() override {}
};

// Records the names of properties the control marks as changed.
struct ChangeRecorder {
  QStringList names;
  explicit ChangeRecorder(Vellum32& control) {
    QObject::connect(&control, &Vellum32::PropertyChanged, [this](const QString& name) { names.append(name); });
  }
};

}  // namespace vellum32::test
