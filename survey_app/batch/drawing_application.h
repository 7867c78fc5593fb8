#pragma once
// The application Qt needs while it draws, on the offscreen platform unless QT_QPA_PLATFORM
// names another, so that no display is needed. One at a time, for as long as the drawing;
// one made while another lives uses that one (Qt cannot start an application again after
// one has ended, so a run that draws several pictures keeps one for them all).
#include <QApplication>
#include <optional>

namespace corvane {

class DrawingApplication {
public:
  DrawingApplication() {
    if (!QCoreApplication::instance()) application_.emplace(argc_, argv_);
  }
  DrawingApplication(const DrawingApplication&) = delete;
  DrawingApplication& operator=(const DrawingApplication&) = delete;

private:
  static bool offscreen_unless_named() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
  }
  // Qt keeps argc and argv for the application's life: they are members made before it.
  bool platform_chosen_ = offscreen_unless_named();
  int argc_ = 1;
  char name_[14] = "corvane-batch";
  char* argv_[2] = {name_, nullptr};
  std::optional<QApplication> application_;
};

}  // namespace corvane
