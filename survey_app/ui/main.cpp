// corvane: the survey processing window.
//
//   corvane [--date-order mdy|dmy|ymd] [FOLDER]
//
// Starts in FOLDER (the current directory when none is given). Dates in the dump files
// are read in the order of the regional settings unless --date-order names one.
#include <QApplication>
#include <QDir>

#include <cstdio>
#include <optional>
#include <string>

#include "ui/form_main.h"
#include "util/date_time.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: corvane [--date-order mdy|dmy|ymd] [FOLDER]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<std::string> folder;
  std::optional<corvane::DateOrder> order;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--date-order" && i + 1 < argc) {
      order = corvane::parse_date_order(argv[++i]);
      if (!order) return usage();
    } else if (arg.rfind("--", 0) == 0 || folder) {
      return usage();
    } else {
      folder = arg;
    }
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  const QString start = folder ? QDir(QString::fromLocal8Bit(folder->c_str())).absolutePath() : QDir::currentPath();
  corvane::ui::Form_main window(start);
  if (order) window.setDateOrder(*order);
  window.show();
  return QApplication::exec();
}
