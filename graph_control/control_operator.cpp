#include "vellum32/control_operator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrinter>
#include <QPrinterInfo>

namespace vellum32 {

QString ApplicationTitle() { return QStringLiteral("Vellum32"); }

ControlOperator::~ControlOperator() = default;

void ControlOperator::Message(QWidget* owner, const QString& text) {
  QMessageBox::information(owner, ApplicationTitle(), text, QMessageBox::Ok);
}

bool ControlOperator::Question(QWidget* owner, const QString& text) {
  return QMessageBox::question(owner, ApplicationTitle(), text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

QString ControlOperator::SaveFileName(QWidget* owner, const QString& title, const QString& filter,
                                      const QString& suffix) {
  QFileDialog dialog(owner, title, QDir::currentPath(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(suffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted) return QString();
  return dialog.selectedFiles().value(0);
}

std::unique_ptr<QPrinter> ControlOperator::DefaultPrinter() {
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) return nullptr;
  return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

void ControlOperator::LetEventsRun() { QCoreApplication::processEvents(); }

}  // namespace vellum32
