// corvane: the survey processing window.
//
//   corvane [--date-order auto|mdy|dmy|ymd] [--no-settings] [FOLDER]
//
// Starts in FOLDER (else the folder of the last run, else the current directory). Dates in
// the dump files are read in the order of the regional settings unless --date-order names
// one. The window's size, folders and file extension are kept between runs in the user's
// settings (QSettings: ~/.config/Corvane/Corvane.conf) unless --no-settings is given.
#include <QApplication>
#include <QDir>
#include <QSettings>

#include <cstdio>
#include <optional>
#include <string>

#include "ui/form_main.h"
#include "util/date_time.h"
#include "util/memory_policy.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: corvane [--date-order auto|mdy|dmy|ymd] [--no-settings] [FOLDER]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  corvane::keep_freed_blocks_for_reuse();
  std::optional<std::string> folder;
  std::optional<corvane::DateOrder> order;
  bool keep_settings = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--date-order" && i + 1 < argc) {
      order = corvane::parse_date_order(argv[++i]);
      if (!order) return usage();
    } else if (arg == "--no-settings") {
      keep_settings = false;
    } else if (arg.rfind("--", 0) == 0 || folder) {
      return usage();
    } else {
      folder = arg;
    }
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  QApplication::setOrganizationName(QStringLiteral("Corvane"));
  const QString start = folder ? QDir(QString::fromLocal8Bit(folder->c_str())).absolutePath() : QDir::currentPath();
  corvane::ui::Form_main window(start);
  QSettings settings;
  if (keep_settings) window.keepSettingsIn(&settings, !folder);
  if (order) window.setDateOrder(*order);
  window.show();
  return QApplication::exec();
}
