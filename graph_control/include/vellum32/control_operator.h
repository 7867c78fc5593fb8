#pragma once
// How the control reaches the person and the platform: message boxes, the save-file
// dialog, the default printer. The control uses Qt's dialogs and print support unless the
// host installs its own operator (a test installs one that records and answers).
#include <QPrinter>
#include <QString>
#include <memory>

#include "vellum32/export.h"

class QWidget;

namespace vellum32 {

// Title of the control's message boxes.
VELLUM32_EXPORT QString ApplicationTitle();

class VELLUM32_EXPORT ControlOperator {
public:
  virtual ~ControlOperator();
  // A text with an OK button.
  virtual void Message(QWidget* owner, const QString& text);
  // A text with Yes and No buttons; true for Yes.
  virtual bool Question(QWidget* owner, const QString& text);
  // The full path of a file to write, chosen in a save-file dialog that starts in the
  // current directory, offers `filter` ("Name (*.ext);;Other (*)"), adds `suffix` to a
  // name without one and does not ask before replacing a file. Empty when cancelled.
  virtual QString SaveFileName(QWidget* owner, const QString& title, const QString& filter, const QString& suffix);
  // The system's default printer, set up for one print job at its full resolution;
  // null when no printer is available.
  virtual std::unique_ptr<QPrinter> DefaultPrinter();
  // Lets the window catch up with pending events (painting, input) during a long step.
  virtual void LetEventsRun();
};

}  // namespace vellum32
