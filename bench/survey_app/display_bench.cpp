// Clicking a block of 100,000 readings in the window: milliseconds per click, with the
// three graphs drawn (raw, base values, corrected).
//
// Usage: display_bench [READINGS]   (run_display_bench.sh builds it and prints the figures)
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "quiet_operator.h"
#include "ui/form_main.h"

namespace {

std::string clock_text(int seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

// One day in the keyword-header layout: a base session every 30 s covering one line of
// `readings` readings, two a second.
void write_day(const std::filesystem::path& path, int readings) {
  std::ofstream out(path);
  const std::string head = "S C I N T R E X   ENVI-MAG\nENVI MAG  VER 3.21\n";
  const int start = 8 * 3600;
  const int end = start + readings / 2 + 60;
  out << head << "DATE____: 05/12/96\nLINE____: BS 1\nCYC_TIME: 30 SEC\nBASEFLD_: 57500.0\n/----------\n";
  std::mt19937 random(3);
  std::normal_distribution<double> step(0, 0.3);
  double base = 57500;
  for (int t = start - 30; t <= end; t += 30) {
    base += step(random);
    out << clock_text(t) << ' ' << std::fixed << base << '\n';
  }
  out << head << "DATE____: 05/12/96\nLINE____: 100N\nSTATION_: 0\nBASEFLD_: 57500.0\n/----------\n";
  double field = 57600;
  for (int i = 0; i < readings; ++i) {
    field += step(random);
    out << i << " N " << field << " 0 " << clock_text(start + i / 2) << '\n';
  }
}

template <class T>
T* find(QWidget& root, const char* name) {
  return root.findChild<T*>(QString::fromLatin1(name));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int readings = argc > 1 ? std::max(2, std::atoi(argv[1])) : 100000;
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "corvane_display_bench";
  std::filesystem::create_directories(dir);
  write_day(dir / "day.dat", readings);

  corvane::bench::QuietOperator op;
  corvane::ui::Form_main window(QString::fromStdString(dir.string()), &op);
  window.setDateOrder(corvane::DateOrder::mdy);
  window.show();
  find<QLineEdit>(window, "Text_file_extension")->setText(QStringLiteral("dat"));
  find<QPushButton>(window, "Command_find_and_add_files")->click();
  find<QPushButton>(window, "Command_process_files")->click();
  auto* tree = find<QTreeWidget>(window, "TreeView_blocks");
  QTreeWidgetItem* line = nullptr;
  for (QTreeWidgetItemIterator it(tree); *it; ++it)
    if ((*it)->text(0).contains(QStringLiteral("100N"))) line = *it;
  if (!line || window.model().match_of(2).base_block != 1) {
    std::fprintf(stderr, "display_bench: the line or its base session was not read\n");
    return 1;
  }
  const QPoint at = tree->visualItemRect(line).center();
  std::vector<double> ms;
  for (int run = 0; run < 12; ++run) {
    const auto t0 = std::chrono::steady_clock::now();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    const auto t1 = std::chrono::steady_clock::now();
    if (run > 1) ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());  // two warm-ups
  }
  std::sort(ms.begin(), ms.end());
  std::printf("block of %d readings with its base session, three graphs of %d points\n", readings, readings);
  std::printf("click on its node: median %.1f ms, fastest %.1f ms, slowest %.1f ms (%zu clicks)\n", ms[ms.size() / 2],
              ms.front(), ms.back(), ms.size());
  std::filesystem::remove_all(dir);
  return 0;
}
