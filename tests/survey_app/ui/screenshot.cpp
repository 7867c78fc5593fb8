// Takes the picture of the block pane after processing the sample dumps, driving the
// window as the operator does:
//   corvane_screenshot SAMPLES_DIR OUT.png [select|blocks|base|spikes|export|map|grid]
// (the file pane with the dumps listed, the block pane showing a survey line, a base
// session or the first block with spikes flagged, the export pane over it, or the survey
// map window, with the grid shaded and contoured under the dots for "grid").
#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <cstdio>

#include "map/survey_map_view.h"
#include "ui/file_choosers.h"
#include "ui/form_main.h"
#include "util/operator.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString pane = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("blocks");
  if (argc < 3 || argc > 4 ||
      !QStringList{"select", "blocks", "base", "spikes", "export", "map", "grid"}.contains(pane)) {
    std::fprintf(stderr, "usage: corvane_screenshot SAMPLES_DIR OUT.png [select|blocks|base|spikes|export|map|grid]\n");
    return 2;
  }
  corvane::SilentOperator quiet;
  corvane::ui::Form_main w(QString::fromLocal8Bit(argv[1]), &quiet);
  w.setDateOrder(corvane::DateOrder::mdy);
  w.show();
  if (!QTest::qWaitForWindowExposed(&w)) return 1;

  auto* ext = w.findChild<QLineEdit*>(QStringLiteral("Text_file_extension"));
  ext->selectAll();
  QTest::keyClicks(ext, QStringLiteral("dat"));
  QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("Command_find_and_add_files")), Qt::LeftButton);
  if (pane != QLatin1String("select"))
    QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("Command_process_files")), Qt::LeftButton);

  // Click the first file's first field block, or its base session.
  auto* tree = w.findChild<QTreeWidget*>(QStringLiteral("TreeView_blocks"));
  QTreeWidgetItem* field = nullptr;
  const QLatin1String node = pane == QLatin1String("base") ? QLatin1String("0001 Base") : QLatin1String("0002 Data");
  const bool spiked = pane == QLatin1String("spikes");
  if (spiked && !QTest::qWaitFor([&w] { return !w.spikeFlagsPending(); }, 10000)) return 1;
  for (QTreeWidgetItemIterator it(tree); *it; ++it)
    if (spiked ? (*it)->toolTip(0).contains(QLatin1String("spike")) : (*it)->text(0).startsWith(node)) {
      field = *it;
      break;
    }
  if (field) QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(field).center());
  if (pane == QLatin1String("export"))
    QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("Command_export_data")), Qt::LeftButton);
  QWidget* shown = &w;
  if (pane == QLatin1String("map") || pane == QLatin1String("grid")) {
    QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("Command_survey_map")), Qt::LeftButton);
    shown = w.findChild<QMainWindow*>(QStringLiteral("frmSurveyMap"));
    if (!shown || !QTest::qWaitForWindowExposed(shown)) return 1;
  }
  if (pane == QLatin1String("grid")) {
    corvane::SurveyMapView* map = w.surveyMap();
    map->setGridLook({.hill_shading = true, .contours = true});
    map->setLayers(corvane::MapLayers::both);
    if (!QTest::qWaitFor([map] { return !map->gridBusy(); }, 10000)) return 1;
  }
  QTest::qWait(200);
  if (!shown->grab().save(QString::fromLocal8Bit(argv[2]))) return 1;
  std::printf("%s\n", argv[2]);
  return 0;
}
