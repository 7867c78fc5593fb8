#pragma once
// frmAbout: the about box, opened from Help > About.
#include <QDialog>
#include <QImage>
#include <QString>
#include <QStringList>

#include "util/operator.h"

namespace corvane::ui {

// "Version " + major.minor.revision of a version "major.minor.build.revision"
// ("1.1.0.1" gives "Version 1.1.1"); missing parts count as 0.
QString version_text(const QString& version);

// The program's version, from the build.
QString program_version();

// The program's picture: 233 by 233 pixels, drawn here.
QImage about_picture();

// The desktop system-information tools looked for, in order of preference.
QStringList system_info_tools();

// The first of `tools` found as an executable in `directories` (the PATH when empty);
// an empty text when there is none.
QString find_system_info_tool(const QStringList& tools, const QStringList& directories = {});

class frmAbout : public QDialog {
  Q_OBJECT
public:
  // The message of a missing tool goes through `op`.
  frmAbout(Operator& op, QWidget* parent = nullptr);
  // Where cmdSysInfo looks for the tool (the PATH by default).
  void setToolDirectories(const QStringList& directories) { tool_directories_ = directories; }
  // Finds the system-information tool and starts it without waiting for it.
  void StartSysInfo();

private:
  Operator& op_;
  QStringList tool_directories_;
};

}  // namespace corvane::ui
