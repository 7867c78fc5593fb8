#pragma once
// The operator of the window benchmarks: messages go to stderr, questions are answered OK,
// and the window breathes where the core lets it.
#include <QApplication>
#include <cstdio>
#include <string>

#include "util/operator.h"

namespace corvane::bench {

class QuietOperator : public Operator {
public:
  void message(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  bool ask_ok_cancel(const std::string&) override { return true; }
  void beep() override {}
  void busy(bool) override {}
  void status(int, const std::string&) override {}
  void let_events_run() override { QApplication::processEvents(); }
};

}  // namespace corvane::bench
