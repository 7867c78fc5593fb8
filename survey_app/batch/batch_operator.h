#pragma once
#include <iostream>

#include "util/operator.h"

namespace corvane {

// The operator of corvane-batch: messages go to stderr, one per line (a carriage return
// inside a message starts a new line); questions are answered by the command line.
class BatchOperator : public Operator {
public:
  explicit BatchOperator(std::ostream& err, bool answer_ok = false) : err_(err), answer_ok_(answer_ok) {}
  void message(const std::string& text) override;
  bool ask_ok_cancel(const std::string& text) override;
  void beep() override {}
  void busy(bool) override {}
  void status(int, const std::string&) override {}
  void let_events_run() override {}

private:
  std::ostream& err_;
  bool answer_ok_;
};

}  // namespace corvane
