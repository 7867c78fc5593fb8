// Ticking nodes of a large day in the window: milliseconds from the space bar on a node
// to an idle window, for a base session and for a file node, with and without the survey
// map open.
//
//   tick_bench DIR [MEGABYTES] [TICKS]   generates MEGABYTES (default 100) of dumps into DIR
//                                        unless it holds some, processes them in the window
//                                        (offscreen), then unticks and ticks each node TICKS
//                                        times (default 6) and prints the median per tick
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "dump_generator.h"
#include "quiet_operator.h"
#include "ui/form_main.h"
#include "util/memory_policy.h"

namespace {

// The space bar on `item`, then every event it left behind: the time until the window
// would take the next key.
double tick_ms(QTreeWidget* tree, QTreeWidgetItem* item) {
  tree->setCurrentItem(item);
  QApplication::processEvents();
  const auto t0 = std::chrono::steady_clock::now();
  QTest::keyClick(tree->viewport(), Qt::Key_Space);
  QApplication::processEvents();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  corvane::keep_freed_blocks_for_reuse();  // as the window's main does
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: tick_bench DIR [MEGABYTES] [TICKS]\n");
    return 2;
  }
  const std::filesystem::path dir(argv[1]);
  const double megabytes = argc > 2 ? std::stod(argv[2]) : 100.0;
  const int ticks = argc > 3 ? std::max(1, std::atoi(argv[3])) : 6;
  std::filesystem::create_directories(dir);
  // Files of about 315 kB: some 318 files for the 100 MB day, as surveys dump them.
  if (std::filesystem::is_empty(dir)) corvane::bench::DumpGenerator().write(dir.string(), megabytes * 1e6, 315'000);

  corvane::bench::QuietOperator op;
  corvane::ui::Form_main window(QString::fromStdString(dir.string()), &op);
  window.setDateOrder(corvane::DateOrder::mdy);
  window.show();
  window.findChild<QPushButton*>(QStringLiteral("Command_find_and_add_files"))->click();
  const auto t0 = std::chrono::steady_clock::now();
  window.findChild<QPushButton*>(QStringLiteral("Command_process_files"))->click();
  const double processing = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  auto* tree = window.findChild<QTreeWidget*>(QStringLiteral("TreeView_blocks"));
  QTreeWidgetItem* file = tree->topLevelItem(0);
  QTreeWidgetItem* base = file ? file->child(0) : nullptr;
  if (!base || !base->text(0).contains(QStringLiteral("Base"))) {
    std::fprintf(stderr, "tick_bench: the first file has no base session first\n");
    return 1;
  }
  const auto& m = window.model();
  std::printf("%d files, %d readings, %d tree nodes, processed and shown in %.2f s\n", tree->topLevelItemCount(),
              m.reading_count(), m.node_count, processing);
  tree->setFocus();

  for (const bool with_map : {false, true}) {
    if (with_map) {
      window.findChild<QPushButton*>(QStringLiteral("Command_survey_map"))->click();
      QApplication::processEvents();
    }
    std::vector<double> base_ms, file_ms;
    for (int run = 0; run < ticks; ++run)
      for (int twice = 0; twice < 2; ++twice) base_ms.push_back(tick_ms(tree, base));  // off, then on again
    for (int run = 0; run < ticks; ++run)
      for (int twice = 0; twice < 2; ++twice) file_ms.push_back(tick_ms(tree, file));
    std::vector<double> all = base_ms;
    all.insert(all.end(), file_ms.begin(), file_ms.end());
    std::printf("%s: median per tick %.1f ms (base session %.1f ms, file node %.1f ms, slowest %.1f ms, %zu ticks)\n",
                with_map ? "with the survey map open" : "without the map", median(all), median(base_ms),
                median(file_ms), *std::max_element(all.begin(), all.end()), all.size());
  }
  return 0;
}
