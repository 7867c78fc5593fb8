// corvane: the survey processing window.
//
//   corvane [--date-order mdy|dmy|ymd] [FOLDER]
//
// Starts in FOLDER (the current directory when none is given). Dates in the dump files
// are read in the order of the regional settings unless --date-order names one.
#include <QApplication>
#include <QDir>

#include <cstdio>
#include <cstring>
#include <optional>

#include "ui/form_main.h"
#include "util/date_time.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));

    QString folder = QDir::currentPath();
    std::optional<corvane::DateOrder> order;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--date-order") && i + 1 < args.size()) {
            order = corvane::parse_date_order(args[++i].toStdString());
            if (!order) {
                std::fprintf(stderr, "corvane: --date-order takes mdy, dmy or ymd\n");
                return 2;
            }
        } else if (args[i].startsWith(QLatin1String("--"))) {
            std::fprintf(stderr, "usage: corvane [--date-order mdy|dmy|ymd] [FOLDER]\n");
            return 2;
        } else {
            folder = QDir(args[i]).absolutePath();
        }
    }

    corvane::ui::Form_main window(folder);
    if (order) window.setDateOrder(*order);
    window.show();
    return QApplication::exec();
}
