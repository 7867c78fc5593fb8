#pragma once
// The application Qt needs while it draws, on the offscreen platform unless QT_QPA_PLATFORM
// names another, so that no display is needed. One at a time, for as long as the drawing.
#include <QApplication>

namespace corvane {

class DrawingApplication {
public:
  DrawingApplication() = default;
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
  QApplication application_{argc_, argv_};
};

}  // namespace corvane
