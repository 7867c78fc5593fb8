#include "ui/qt_operator.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>

namespace corvane::ui {

QString shown_text(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}

void QtOperator::message(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, program_title, shown_text(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool QtOperator::ask_ok_cancel(const std::string& text) {
  QMessageBox box(QMessageBox::Question, program_title, shown_text(text), QMessageBox::Ok | QMessageBox::Cancel,
                  parent_);
  // Enter must never agree by accident (the question may be whether to replace a file).
  box.setDefaultButton(QMessageBox::Cancel);
  return box.exec() == QMessageBox::Ok;
}

void QtOperator::beep() { QApplication::beep(); }

// The pointer is either the hourglass or the default, never a stack of them: setting the
// default once ends every earlier hourglass.
void QtOperator::busy(bool on) {
  if (on) {
    if (QApplication::overrideCursor())
      QApplication::changeOverrideCursor(QCursor(Qt::WaitCursor));
    else
      QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  } else {
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
  }
}

// The window repaints and handles its timers here; the person's clicks and keys wait
// until the long work has ended, so no handler can start while another one is running.
void QtOperator::let_events_run() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void WindowOperator::message(const std::string& text) {
  if (recording_) recorded_.push_back(text);
  other_.message(text);
}

void WindowOperator::recordMessages(bool on) {
  if (on) recorded_.clear();
  recording_ = on;
}

void WindowOperator::status(int panel, const std::string& text) {
  if (panel >= 1 && panel <= 4 && panels_[static_cast<std::size_t>(panel - 1)])
    panels_[static_cast<std::size_t>(panel - 1)]->setText(QString::fromStdString(text));
  other_.status(panel, text);
}

}  // namespace corvane::ui
