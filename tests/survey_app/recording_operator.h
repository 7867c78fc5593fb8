#pragma once
// An operator for tests: records everything said to the person, in order, and answers
// questions from a script.
#include <deque>
#include <string>
#include <vector>

#include "util/operator.h"

namespace corvane::test {

struct RecordingOperator : Operator {
  std::vector<std::string> events;  // "message: ...", "ask: ...", "beep", "busy 1", "status 2: ..."
  std::vector<std::string> messages;
  std::deque<bool> answers;  // next answers to ask_ok_cancel; Cancel when empty
  int busy_depth = 0;

  void message(const std::string& text) override {
    events.push_back("message: " + text);
    messages.push_back(text);
  }
  bool ask_ok_cancel(const std::string& text) override {
    events.push_back("ask: " + text);
    if (answers.empty()) return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  void beep() override { events.push_back("beep"); }
  void busy(bool on) override {
    busy_depth += on ? 1 : -1;
    events.push_back(on ? "busy 1" : "busy 0");
  }
  void status(int panel, const std::string& text) override {
    events.push_back("status " + std::to_string(panel) + ": " + text);
  }
  void let_events_run() override {}
};

}  // namespace corvane::test
