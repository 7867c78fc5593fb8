#pragma once
// Everything that talks to the person at the keyboard goes through this interface:
// the window implements it with message boxes and the status bar, corvane-batch on
// stdout/stderr, and tests with a recording fake.
#include <string>

namespace corvane {

struct Operator {
  virtual ~Operator() = default;
  virtual void message(const std::string& text) = 0;        // OK-only message box
  virtual bool ask_ok_cancel(const std::string& text) = 0;  // true for OK
  virtual void beep() = 0;
  virtual void busy(bool on) = 0;                               // hourglass pointer
  virtual void status(int panel, const std::string& text) = 0;  // status-bar panels 1..4
  virtual void let_events_run() = 0;                            // points where the UI may breathe
};

// An operator that says nothing and answers every question with Cancel.
struct SilentOperator : Operator {
  void message(const std::string&) override {}
  bool ask_ok_cancel(const std::string&) override { return false; }
  void beep() override {}
  void busy(bool) override {}
  void status(int, const std::string&) override {}
  void let_events_run() override {}
};

}  // namespace corvane
