// The main window driven as the operator drives it: controls found by name, clicked and
// typed into with QTest, questions answered by a recording operator.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QSvgRenderer>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>

#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <vellum32/vellum32.h>
#include "display/block_display.h"
#include "dump_fixture.h"
#include "export/export_command.h"
#include "map/survey_map_view.h"
#include "reader/dump_reader.h"
#include "recording_operator.h"
#include "temp_dir.h"
#include "ui/file_choosers.h"
#include "ui/form_main.h"
#include "ui/frm_about.h"
#include "ui/tree_marks.h"
#include "util/text.h"

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace corvane::ui {
namespace {

// The pointer is set back to the default at the end: the last hourglass event ends it.
bool pointer_restored(const test::RecordingOperator& op) {
  for (auto it = op.events.rbegin(); it != op.events.rend(); ++it)
    if (it->rfind("busy ", 0) == 0) return *it == "busy 0";
  return true;
}

namespace fs = std::filesystem;
using test::RecordingOperator;
using test::TempDir;

const std::vector<std::string> sample_files{"envimag_0709.dat", "mp2_0710.dat"};

void touch(const fs::path& p, const std::string& text = "x\n") {
  fs::create_directories(p.parent_path());
  std::ofstream(p) << text;
}

std::string read_all(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class FormMainTest : public ::testing::Test {
protected:
  TempDir tmp;
  RecordingOperator op;
  std::unique_ptr<Form_main> w;

  void open(const fs::path& dir) {
    w = std::make_unique<Form_main>(QString::fromStdString(dir.string()), &op);
    w->setDateOrder(DateOrder::mdy);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
  }
  // The samples copied into the temporary folder, and the window started there.
  void open_with_samples() {
    for (const auto& f : sample_files) fs::copy_file(fs::path(CORVANE_SAMPLES_DIR) / f, tmp.path() / f);
    touch(tmp.path() / "notes.txt");
    open(tmp.path());
  }

  template <class T = QWidget>
  T* find(const char* name) const {
    T* c = w->findChild<T*>(QLatin1String(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  // Clicks a button as the operator would: only a shown, enabled button can be clicked.
  void click(const char* name) {
    auto* b = find<QPushButton>(name);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(b->isVisible()) << name << " is not shown";
    ASSERT_TRUE(b->isEnabled()) << name << " is disabled";
    QTest::mouseClick(b, Qt::LeftButton);
  }
  void type(const char* name, const QString& text) {
    auto* t = find<QLineEdit>(name);
    t->selectAll();
    QTest::keyClick(t, Qt::Key_Delete);
    QTest::keyClicks(t, text);
  }
  // A double click as the mouse gives it: a click, then the second press.
  void double_click(QAbstractItemView* view, QPoint at) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
  }
  void click_item(QAbstractItemView* view, const QModelIndex& index, Qt::KeyboardModifiers mods = {}) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, mods, view->visualRect(index).center());
  }
  QStringList listed() const {
    QStringList l;
    auto* list = find<QTreeWidget>("ListView_binary");
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      l << list->topLevelItem(i)->text(0) + QLatin1Char('|') + list->topLevelItem(i)->text(1);
    return l;
  }
  bool shown(const char* pane) const { return find<QWidget>(pane)->isVisible(); }
  // A control's rectangle in the block pane's coordinates.
  QRect on_block_pane(const QWidget* c) const {
    return QRect(c->mapTo(find<QWidget>("Frame_main"), QPoint(0, 0)), c->size());
  }
  // Picks the sample dumps in File_binary and adds them.
  void add_samples() {
    type("Text_file_extension", QStringLiteral("dat"));
    auto* files = find<FileChooser>("File_binary");
    files->setFocus();
    QTest::keyClick(files, Qt::Key_A, Qt::ControlModifier);
    click("Command_add_selected");
  }
  std::vector<QTreeWidgetItem*> tree_items() const {
    std::vector<QTreeWidgetItem*> items;
    for (QTreeWidgetItemIterator it(find<QTreeWidget>("TreeView_blocks")); *it; ++it) items.push_back(*it);
    return items;
  }
  // Ticks or unticks a node with the space bar, as the operator would.
  void toggle(QTreeWidgetItem* item) {
    auto* tree = find<QTreeWidget>("TreeView_blocks");
    tree->setFocus();
    tree->setCurrentItem(item);
    QTest::keyClick(tree->viewport(), Qt::Key_Space);
  }
  QString panel(int i) const {
    return find<QLabel>(QStringLiteral("StatusBar_panel_%1").arg(i).toLatin1().constData())->text();
  }
};

// The text colour the tree shows for a model colour.
QColor colour_of(std::int32_t c) { return node_text_brush(c).value<QBrush>().color(); }

TEST_F(FormMainTest, StartsOnTheFileSelectionPane) {
  open(tmp.path());
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Process Drillhole Log Files"));
  EXPECT_EQ(w->objectName(), QStringLiteral("Form_main"));
  EXPECT_TRUE(shown("Frame_select_binary_files"));
  EXPECT_FALSE(shown("Frame_main"));
  EXPECT_FALSE(shown("Frame_export"));
  EXPECT_EQ(find<QLineEdit>("Text_file_extension")->text(), QStringLiteral("*"));
  EXPECT_EQ(find<DirChooser>("Dir_binary")->path(), QString::fromStdString(tmp.dir()));
  EXPECT_EQ(find<FileChooser>("File_binary")->path(), QString::fromStdString(tmp.dir()));
}

TEST_F(FormMainTest, ControlsCarryTheirCaptionsAndTooltips) {
  open(tmp.path());
  const struct {
    const char* name;
    const char* caption;
    const char* tip;
  } controls[] = {
      {"Drive_binary", nullptr, "Drive on which data is stored"},
      {"Dir_binary", nullptr, "Path in which data is stored"},
      {"File_binary", nullptr, "Files of specified type in the current directory"},
      {"Label_param", "File Extension", nullptr},
      {"Text_file_extension", nullptr, "File extension for data files to be selected"},
      {"ListView_binary", nullptr, "Currently selected data files"},
      {"Command_add_selected", "Add Selected Files", nullptr},
      {"Command_find_and_add_files", "Find and Add All Files", nullptr},
      {"Command_clear_selected", "Clear Selected Files", nullptr},
      {"Command_clear_list", "Clear All Files", nullptr},
      {"Command_process_files", "Process Selected File", nullptr},
      {"Command_done_select_files", "Done", nullptr},
      {"TreeView_blocks", nullptr, nullptr},
      {"Text_line", nullptr, nullptr},
      {"Text_num_readings", nullptr, nullptr},
      {"Text_time_start", nullptr, nullptr},
      {"Text_time_end", nullptr, nullptr},
      {"Label_line", "Line", nullptr},
      {"Label_num_readings", "Readings", nullptr},
      {"Label_time_start", "Start Time", nullptr},
      {"Label_time_end", "End Time", nullptr},
      {"Command_export_data", "Export Data", nullptr},
      {"Command_done_process", "Done", nullptr},
      {"Label_base_field", "Base Field Value", nullptr},
      {"Text_base_field", nullptr, "Value to add to corrected data on export"},
      {"Check_apply_corrections", "Apply Corrections",
       "If unchecked the base station corrections will not be applied to the exported data"},
      {"Check_export_all", "Export All Reading Data",
       "Leave unchecked to export only data for which base station readings exist"},
      {"Check_export_base_station_data", "Export Base Station Data",
       "If checked the base station data will be exported"},
      {"Label_xyz_location", "Export  Location", nullptr},
      {"Drive_xyz", nullptr, "Drive on which to write the data"},
      {"Dir_xyz", nullptr, "Directory in which to write the data"},
      {"Label_xyz_name", "Export File Name", nullptr},
      {"Text_xyz_name", nullptr,
       "Name of the exported data file to create (supply file name and extension, but no drive or path)"},
      {"Command_save_data_0", "Export XYZ Data", nullptr},
      {"Command_save_data_1", "Export Oasis Database", nullptr},
      {"Command_done_export", "Done", nullptr},
  };
  for (const auto& c : controls) {
    QWidget* widget = find(c.name);
    ASSERT_NE(widget, nullptr) << c.name;
    if (c.caption) {
      QString text;
      if (auto* b = qobject_cast<QAbstractButton*>(widget))
        text = b->text().remove(QLatin1Char('&'));
      else if (auto* l = qobject_cast<QLabel*>(widget))
        text = l->text();
      EXPECT_EQ(text, QString::fromLatin1(c.caption)) << c.name;
    }
    if (c.tip) {
      EXPECT_EQ(widget->toolTip(), QString::fromLatin1(c.tip)) << c.name;
    }
  }
  auto* list = find<QTreeWidget>("ListView_binary");
  ASSERT_EQ(list->columnCount(), 2);
  EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("File Name"));
  EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("Location"));
  EXPECT_TRUE(find<QPushButton>("Command_save_data_1")->isEnabled());

  auto* bar = find<QStatusBar>("StatusBar");
  ASSERT_NE(bar, nullptr);
  for (int i = 1; i <= 4; ++i) EXPECT_NE(bar->findChild<QLabel*>(QStringLiteral("StatusBar_panel_%1").arg(i)), nullptr);
}

TEST_F(FormMainTest, MenusAsDesigned) {
  open(tmp.path());
  auto* file = find<QMenu>("menu_file");
  auto* help = find<QMenu>("menu_help");
  ASSERT_TRUE(file && help);
  EXPECT_EQ(file->title(), QStringLiteral("&File"));
  EXPECT_EQ(help->title(), QStringLiteral("&Help"));
  const QList<QAction*> f = file->actions();
  ASSERT_EQ(f.size(), 4);
  EXPECT_EQ(f[0]->objectName(), QStringLiteral("menu_print"));
  EXPECT_EQ(f[0]->text(), QStringLiteral("Print"));
  EXPECT_EQ(f[1]->objectName(), QStringLiteral("menu_qc_report"));
  EXPECT_EQ(f[2]->objectName(), QStringLiteral("menu_sep"));
  EXPECT_TRUE(f[2]->isSeparator());
  EXPECT_EQ(f[3]->objectName(), QStringLiteral("menu_exit"));
  EXPECT_EQ(f[3]->text(), QStringLiteral("E&xit"));
  ASSERT_EQ(help->actions().size(), 2);
  EXPECT_EQ(help->actions()[1]->objectName(), QStringLiteral("menu_about"));
  EXPECT_EQ(help->actions()[1]->text(), QStringLiteral("&About"));
  // Print does nothing.
  f[0]->trigger();
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(op.events.empty());
}

TEST_F(FormMainTest, PanesAndGraphPlacesAtDesignGeometry) {
  open_with_samples();
  // 10365 x 7545 and 10365 x 7485 twips, 30 twips above the top; 15 twips to the pixel.
  EXPECT_EQ(find("Frame_select_binary_files")->geometry(), QRect(0, -2, 691, 503));
  EXPECT_EQ(find("Frame_main")->geometry(), QRect(0, -2, 691, 499));
  EXPECT_EQ(on_block_pane(w->Vellum32_scan(0)), QRect(258, 84, 417, 121));
  EXPECT_EQ(on_block_pane(w->Vellum32_scan(1)), QRect(258, 212, 417, 121));
  EXPECT_EQ(on_block_pane(w->Vellum32_scan(2)), QRect(258, 340, 417, 121));
  EXPECT_EQ(w->Vellum32_scan(1)->objectName(), QStringLiteral("Vellum32_scan_1"));

  // Growing the window grows the panes: the file list takes the room on the file pane,
  // the graphs share the height on the block pane.
  w->resize(w->width() + 90, w->height() + 60);
  EXPECT_TRUE(QTest::qWaitFor([&] { return find("Frame_select_binary_files")->size() == QSize(781, 563); }, 5000));
  EXPECT_EQ(find("ListView_binary")->geometry(), QRect(256, 8, 517, 470));
  EXPECT_EQ(find("Command_done_select_files")->geometry(), QRect(544 + 60, 460 + 60, 139 + 30, 28));
  add_samples();
  click("Command_process_files");
  EXPECT_EQ(find("Frame_main")->size(), QSize(781, 559));
  // The tree and the graphs share the new width, the tree taking what its names need.
  const int tree_growth = find("TreeView_blocks")->width() - 242;
  EXPECT_GT(tree_growth, 0);
  EXPECT_EQ(on_block_pane(w->Vellum32_scan(0)), QRect(258 + tree_growth, 84, 417 + 90 - tree_growth, 141));
  EXPECT_EQ(on_block_pane(w->Vellum32_scan(2)), QRect(258 + tree_growth, 380, 417 + 90 - tree_growth, 141));
}

TEST_F(FormMainTest, ExtensionSetsTheFilePattern) {
  touch(tmp.path() / "a.dat");
  touch(tmp.path() / "B.DAT");
  touch(tmp.path() / "c.txt");
  touch(tmp.path() / "README");
  touch(tmp.path() / ".hidden.dat");
  open(tmp.path());
  auto* files = find<FileChooser>("File_binary");
  // Before any change the file list shows every file.
  EXPECT_EQ(files->fileNames(), (QStringList{"a.dat", "B.DAT", "c.txt", "README"}));
  type("Text_file_extension", QStringLiteral("dat"));
  EXPECT_EQ(files->pattern(), QStringLiteral("*.dat"));
  EXPECT_EQ(files->fileNames(), (QStringList{"a.dat", "B.DAT"}));
  type("Text_file_extension", QStringLiteral("*.dat"));
  EXPECT_EQ(files->pattern(), QStringLiteral("*.dat"));
  EXPECT_EQ(files->fileNames(), (QStringList{"a.dat", "B.DAT"}));
  type("Text_file_extension", QStringLiteral("txt"));
  EXPECT_EQ(files->fileNames(), (QStringList{"c.txt"}));
  type("Text_file_extension", QStringLiteral("*"));
  EXPECT_EQ(files->pattern(), QStringLiteral("*.*"));
  EXPECT_EQ(files->fileNames().size(), 4);
}

TEST_F(FormMainTest, DirectoryAndDriveChoosersMoveTheFileList) {
  touch(tmp.path() / "sub" / "inner.dat");
  touch(tmp.path() / "outer.dat");
  open(tmp.path());
  auto* dirs = find<DirChooser>("Dir_binary");
  auto* files = find<FileChooser>("File_binary");
  // Activating the subdirectory's entry moves there.
  QListWidgetItem* sub = nullptr;
  for (int i = 0; i < dirs->count(); ++i)
    if (dirs->item(i)->text().trimmed() == QStringLiteral("sub")) sub = dirs->item(i);
  ASSERT_NE(sub, nullptr);
  double_click(dirs, dirs->visualItemRect(sub).center());
  EXPECT_EQ(dirs->path(), QString::fromStdString((tmp.path() / "sub").string()));
  EXPECT_EQ(files->fileNames(), QStringList{"inner.dat"});
  // Choosing the root drive moves the directory there.
  auto* drive = find<DriveChooser>("Drive_binary");
  const int root = drive->findData(QStringLiteral("/"));
  ASSERT_GE(root, 0);
  drive->setCurrentIndex(root == 0 ? 1 : 0);
  drive->setCurrentIndex(root);
  EXPECT_EQ(dirs->path(), QStringLiteral("/"));
  EXPECT_EQ(files->path(), QStringLiteral("/"));
}

TEST_F(FormMainTest, AddingKeepsFileNamesUnique) {
  touch(tmp.path() / "c" / "a" / "x.dat");
  touch(tmp.path() / "d" / "b" / "x.dat");
  touch(tmp.path() / "d" / "b" / "y.dat");
  open(tmp.path() / "c" / "a");
  auto* files = find<FileChooser>("File_binary");
  ASSERT_EQ(files->count(), 1);
  double_click(files, files->visualItemRect(files->item(0)).center());
  const QString first = QStringLiteral("x.dat|") + QString::fromStdString((tmp.path() / "c" / "a").string());
  EXPECT_EQ(listed(), QStringList{first});
  // The same name from another directory adds nothing; the other file is added.
  find<DirChooser>("Dir_binary")->setPath(QString::fromStdString((tmp.path() / "d" / "b").string()));
  files->setFocus();
  QTest::keyClick(files, Qt::Key_A, Qt::ControlModifier);
  click("Command_add_selected");
  EXPECT_EQ(listed(),
            (QStringList{first, QStringLiteral("y.dat|") + QString::fromStdString((tmp.path() / "d" / "b").string())}));
  // The operator hears of the file passed over, with both paths, once per action; whichever
  // way it came.
  const std::string passed_over = "This file was not added: a file of the same name is already listed.\n" +
                                  (tmp.path() / "d/b/x.dat").string() +
                                  " (listed: " + (tmp.path() / "c/a/x.dat").string() + ")";
  EXPECT_EQ(op.messages, std::vector<std::string>{passed_over});
  op.messages.clear();
  double_click(files, files->visualItemRect(files->item(0)).center());
  EXPECT_EQ(op.messages, std::vector<std::string>{passed_over});
  op.messages.clear();
  click("Command_find_and_add_files");
  EXPECT_EQ(op.messages, std::vector<std::string>{passed_over});
  EXPECT_EQ(listed().size(), 2);
}

TEST_F(FormMainTest, ClearSelectedRemovesItemsTwoAndThreeOfFour) {
  for (const char* n : {"1.dat", "2.dat", "3.dat", "4.dat"}) touch(tmp.path() / n);
  open(tmp.path());
  auto* files = find<FileChooser>("File_binary");
  files->setFocus();
  QTest::keyClick(files, Qt::Key_A, Qt::ControlModifier);
  click("Command_add_selected");
  ASSERT_EQ(listed().size(), 4);
  auto* list = find<QTreeWidget>("ListView_binary");
  click_item(list, list->model()->index(1, 0));
  click_item(list, list->model()->index(2, 0), Qt::ControlModifier);
  ASSERT_EQ(list->selectedItems().size(), 2);
  click("Command_clear_selected");
  const QString dir = QString::fromStdString(tmp.dir());
  EXPECT_EQ(listed(), (QStringList{"1.dat|" + dir, "4.dat|" + dir}));
  // A removed name can be added again.
  double_click(files, files->visualItemRect(files->item(1)).center());
  EXPECT_EQ(listed(), (QStringList{"1.dat|" + dir, "4.dat|" + dir, "2.dat|" + dir}));
  click("Command_clear_list");
  EXPECT_TRUE(listed().isEmpty());
}

TEST_F(FormMainTest, FindAndAddListsSubdirectoriesFirst) {
  const fs::path a = tmp.path() / "a";
  touch(a / "x.dat");
  touch(a / "b" / "y.dat");
  touch(a / "b" / "z.txt");
  touch(a / "c" / "x.dat");  // a second x.dat: the first one found stays
  open(a);
  click("Command_find_and_add_files");
  const QString da = QString::fromStdString(a.string());
  // Initial extension "*": every file of the tree, by unique name.
  EXPECT_EQ(listed(), (QStringList{"y.dat|" + da + "/b", "z.txt|" + da + "/b", "x.dat|" + da + "/c"}));
  click("Command_clear_list");
  type("Text_file_extension", QStringLiteral(" dat "));
  click("Command_find_and_add_files");
  EXPECT_EQ(listed(), (QStringList{"y.dat|" + da + "/b", "x.dat|" + da + "/c"}));
}

TEST_F(FormMainTest, FindAndAddSurvivesALinkCycle) {
  const fs::path a = tmp.path() / "a";
  touch(a / "b" / "y.dat");
  touch(a / "x.dat");
  fs::create_directory_symlink(a, a / "b" / "loop");
  open(a);
  click("Command_find_and_add_files");
  const QString da = QString::fromStdString(a.string());
  EXPECT_EQ(listed(), (QStringList{"y.dat|" + da + "/b", "x.dat|" + da}));
}

TEST(FormMainDefaultOperatorTest, SearchLetsTheWindowBreathe) {
  // The window's own operator (message boxes, pointer, events) on a search that asks
  // nothing: the window's events run between subdirectories.
  TempDir t;
  for (int i = 0; i < 20; ++i) touch(t.path() / ("d" + std::to_string(i)) / ("f" + std::to_string(i) + ".dat"));
  Form_main w(QString::fromStdString(t.dir()));
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  int repaints = 0;
  struct Counter : QObject {
    int* n;
    explicit Counter(int* c) : n(c) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++*n;
      return false;
    }
  } counter(&repaints);
  auto* list = w.findChild<QTreeWidget*>(QStringLiteral("ListView_binary"));
  list->viewport()->installEventFilter(&counter);
  QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("Command_find_and_add_files")), Qt::LeftButton);
  EXPECT_EQ(list->topLevelItemCount(), 20);
  EXPECT_GT(repaints, 0);  // the list was repainted while the search went on
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  list->viewport()->removeEventFilter(&counter);
}

TEST_F(FormMainTest, ProcessingAnEmptyListOnlyBeeps) {
  open(tmp.path());
  click("Command_process_files");
  EXPECT_EQ(op.events, std::vector<std::string>{"beep"});
  EXPECT_TRUE(shown("Frame_select_binary_files"));
  EXPECT_FALSE(shown("Frame_main"));
}

TEST_F(FormMainTest, ProcessingBuildsTheBlockTree) {
  open_with_samples();
  add_samples();
  ASSERT_EQ(listed().size(), 2);
  click("Command_process_files");
  EXPECT_FALSE(shown("Frame_select_binary_files"));
  EXPECT_TRUE(shown("Frame_main"));
  EXPECT_TRUE(pointer_restored(op));

  // The same run made by the core alone says the same and builds the same node table.
  SurveyModel expected;
  RecordingOperator core_op;
  std::vector<DumpFile> files;
  for (const auto& f : sample_files) files.push_back({f, tmp.dir()});
  ASSERT_TRUE(process_files(expected, files, core_op, DateOrder::mdy));
  // Then the hourglass again while the tree is filled.
  core_op.events.insert(core_op.events.end(), {"busy 1", "busy 0"});
  EXPECT_EQ(op.events, core_op.events);

  const SurveyModel& m = w->model();
  ASSERT_EQ(m.node_count, 19);
  ASSERT_EQ(m.node_count, expected.node_count);
  const auto items = tree_items();
  ASSERT_EQ(static_cast<int>(items.size()), m.node_count);
  for (int n = 1; n <= m.node_count; ++n) {
    const Node& node = expected.nodes[static_cast<std::size_t>(n)];
    QTreeWidgetItem* item = items[static_cast<std::size_t>(n - 1)];
    EXPECT_EQ(item->text(0).toStdString(), expected.node_text(n)) << n;
    EXPECT_EQ(item->data(0, Qt::UserRole + 1).toString().toStdString(), expected.node_key(n)) << n;
    EXPECT_EQ(item->checkState(0) == Qt::Checked, node.checked) << n;
    EXPECT_EQ(item->parent() == nullptr, node.parent == 0) << n;
    if (node.colour < 0) {
      EXPECT_EQ(item->foreground(0).style(), Qt::NoBrush) << n;
    } else {
      EXPECT_EQ(item->foreground(0).color(), colour_of(node.colour)) << n;
    }
  }
  EXPECT_EQ(items[1]->text(0), QStringLiteral("0001 Base 07/09/96 Line BS1"));
  EXPECT_EQ(items[2]->foreground(0).color(), colour_of(colour_green));  // fully covered
  EXPECT_EQ(items[14]->foreground(0).color(), colour_of(colour_blue));  // partly covered
  EXPECT_EQ(items[18]->foreground(0).color(), colour_of(colour_red));   // not covered
  EXPECT_EQ(items[2]->toolTip(0), QStringLiteral("Base session 0001 covers 100 %"));
  EXPECT_EQ(items[18]->toolTip(0), QStringLiteral("No base session covers this line"));
  EXPECT_EQ(items[8]->checkState(0), Qt::Unchecked);
  // The first node is selected; nothing is shown yet.
  EXPECT_EQ(find<QTreeWidget>("TreeView_blocks")->currentItem(), items[0]);
  EXPECT_TRUE(find<QLineEdit>("Text_num_readings")->text().isEmpty());
}

TEST_F(FormMainTest, ProcessingAgainRebuildsTheTreeFromTheCurrentList) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  ASSERT_EQ(tree_items().size(), 19u);
  click("Command_done_process");
  EXPECT_TRUE(shown("Frame_select_binary_files"));
  EXPECT_FALSE(shown("Frame_main"));
  EXPECT_EQ(w->model().node_count, 19);  // the model is kept
  // Drop the first file and process again.
  auto* list = find<QTreeWidget>("ListView_binary");
  click_item(list, list->model()->index(0, 0));
  click("Command_clear_selected");
  click("Command_process_files");
  EXPECT_TRUE(shown("Frame_main"));
  const auto items = tree_items();
  ASSERT_EQ(items.size(), 10u);
  EXPECT_EQ(items[0]->text(0), QStringLiteral("mp2_0710.dat"));
  EXPECT_EQ(w->model().node_count, 10);
}

TEST_F(FormMainTest, UntickingABaseBlockRecolours) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  auto items = tree_items();
  ASSERT_EQ(items.size(), 19u);
  const QColor red = colour_of(colour_red), green = colour_of(colour_green);
  for (int i = 2; i <= 7; ++i) ASSERT_EQ(items[static_cast<std::size_t>(i)]->foreground(0).color(), green) << i;

  // Unticking the first file's base block leaves its field blocks without cover.
  toggle(items[1]);
  ASSERT_EQ(items[1]->checkState(0), Qt::Unchecked);
  EXPECT_FALSE(w->model().nodes[2].checked);
  for (int i = 2; i <= 7; ++i) {
    EXPECT_EQ(items[static_cast<std::size_t>(i)]->foreground(0).color(), red) << i;
    EXPECT_EQ(w->model().nodes[static_cast<std::size_t>(i + 1)].colour, colour_red) << i;
  }
  EXPECT_EQ(items[11]->foreground(0).color(), green);  // the other file keeps its cover
  // Ticking it again restores the cover.
  toggle(items[1]);
  for (int i = 2; i <= 7; ++i) EXPECT_EQ(items[static_cast<std::size_t>(i)]->foreground(0).color(), green) << i;

  // A field block's tick changes no colour.
  toggle(items[2]);
  EXPECT_EQ(items[2]->checkState(0), Qt::Unchecked);
  EXPECT_FALSE(w->model().nodes[3].checked);
  EXPECT_EQ(items[2]->foreground(0).color(), green);
}

// A tick dresses again only the rows whose tick, colour or cover it changed, under the
// hourglass; the rest of a large tree is left alone.
TEST_F(FormMainTest, ATickRedressesOnlyTheRowsItChanges) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  auto* tree = find<QTreeWidget>("TreeView_blocks");
  const auto items = tree_items();
  std::set<int> changed;
  QObject::connect(tree->model(), &QAbstractItemModel::dataChanged, tree,
                   [&](const QModelIndex& from, const QModelIndex& to) {
                     for (int row = from.row(); row <= to.row(); ++row) {
                       QTreeWidgetItem* item = tree->itemFromIndex(from.siblingAtRow(row));
                       changed.insert(static_cast<int>(std::find(items.begin(), items.end(), item) - items.begin()));
                     }
                   });
  const struct {
    int toggled;
    std::set<int> redressed;
  } cases[] = {
      {2, {2}},                    // a line: its tick alone
      {1, {1, 2, 3, 4, 5, 6, 7}},  // the first file's base session: its tick and its lines' cover
      {1, {1, 2, 3, 4, 5, 6, 7}},  // and back
  };
  tree->setFocus();
  for (const auto& c : cases) {
    tree->setCurrentItem(items[static_cast<std::size_t>(c.toggled)]);  // shows the block
    changed.clear();
    op.events.clear();
    QTest::keyClick(tree->viewport(), Qt::Key_Space);
    EXPECT_EQ(changed, c.redressed) << c.toggled;
    EXPECT_EQ(op.events, (std::vector<std::string>{"busy 1", "busy 0"})) << c.toggled;
  }
}

// A click on a node's check box ticks it, moves the highlight there and shows its block.
TEST_F(FormMainTest, ACheckBoxClickMovesTheHighlightThere) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  auto* tree = find<QTreeWidget>("TreeView_blocks");
  QTreeWidgetItem* line = tree_items()[3];
  ASSERT_NE(tree->currentItem(), line);
  QStyleOptionViewItem option;
  option.initFrom(tree->viewport());
  option.rect = tree->visualItemRect(line);
  option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
  const QRect box = tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, tree);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, box.center());
  EXPECT_EQ(line->checkState(0), Qt::Unchecked);
  EXPECT_EQ(tree->currentItem(), line);
  EXPECT_TRUE(line->isSelected());
  EXPECT_EQ(w->model().selected_node, 4);
  EXPECT_EQ(find<QLineEdit>("Text_line")->text(), QString::fromStdString(w->model().block(3).line));
}

// The graphs give way down to a third of their width; the tree's column fits its widest
// node, and scrolls sideways when the tree is narrower still.
TEST_F(FormMainTest, TheTreeShowsWholeNames) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  auto* tree = find<QTreeWidget>("TreeView_blocks");
  auto* splitter = find<QSplitter>("Splitter_blocks");
  QWidget* view = find("block_view");
  const int design = 417;
  splitter->setSizes({splitter->width(), 0});
  EXPECT_EQ(view->width(), design / 3);
  for (QTreeWidgetItem* item : tree_items())
    EXPECT_GE(tree->visualItemRect(item).width(), tree->sizeHintForIndex(tree->indexFromItem(item)).width())
        << item->text(0).toStdString();
  splitter->setSizes({0, splitter->width()});
  EXPECT_GT(tree->horizontalScrollBar()->maximum(), 0);
}

// Processing again keeps each remaining node's tick (same file, same block number) and
// matches with them.
TEST_F(FormMainTest, ProcessingAgainKeepsTheTicks) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  auto items = tree_items();
  toggle(items[3]);   // a line of the first file
  toggle(items[10]);  // the second file's base session
  const std::vector<Node> nodes = w->model().nodes;
  click("Command_done_process");
  click("Command_process_files");
  items = tree_items();
  ASSERT_EQ(static_cast<int>(nodes.size()), w->model().node_count + 1);
  for (int n = 1; n <= w->model().node_count; ++n) {
    EXPECT_EQ(w->model().nodes[static_cast<std::size_t>(n)].checked, nodes[static_cast<std::size_t>(n)].checked) << n;
    EXPECT_EQ(w->model().nodes[static_cast<std::size_t>(n)].colour, nodes[static_cast<std::size_t>(n)].colour) << n;
    EXPECT_EQ(items[static_cast<std::size_t>(n - 1)]->checkState(0) == Qt::Checked,
              nodes[static_cast<std::size_t>(n)].checked)
        << n;
  }
  EXPECT_EQ(items[3]->checkState(0), Qt::Unchecked);
  EXPECT_EQ(items[11]->foreground(0).color(), colour_of(colour_red));  // uncovered without its base session
}

TEST_F(FormMainTest, NodeClickFillsTheTextBoxes) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  const auto items = tree_items();
  auto* tree = find<QTreeWidget>("TreeView_blocks");
  click_item(tree, tree->indexFromItem(items[2]));
  const SurveyModel& m = w->model();
  EXPECT_EQ(m.selected_node, 3);
  EXPECT_EQ(m.selected_block, 2);
  EXPECT_EQ(find<QLineEdit>("Text_line")->text(), QStringLiteral("100N"));
  EXPECT_EQ(find<QLineEdit>("Text_num_readings")->text().toInt(), m.block(2).num_readings);
  EXPECT_EQ(find<QLineEdit>("Text_time_start")->text(),
            QStringLiteral("1996/07/09 ") + QString::fromStdString(format_hms(m.block(2).start_time)));
  EXPECT_EQ(w->Vellum32_scan(0)->height(), 121);
  // A file node: no line, no readings, graph 0 over all three places.
  click_item(tree, tree->indexFromItem(items[0]));
  EXPECT_EQ(find<QLineEdit>("Text_line")->text(), QString());
  EXPECT_EQ(find<QLineEdit>("Text_num_readings")->text(), QStringLiteral("0"));
  EXPECT_EQ(find<QLineEdit>("Text_time_start")->text(), QString());
  EXPECT_EQ(find<QLineEdit>("Text_time_end")->text(), QString());
  // At the design size the tree shows its longest name whole, the graphs giving way.
  const int widened = tree->width() - 242;
  EXPECT_GT(widened, 0);
  EXPECT_GE(tree->viewport()->width(), tree->columnWidth(0));
  EXPECT_EQ(on_block_pane(w->Vellum32_scan(0)), QRect(258 + widened, 84, 417 - widened, 377));
  click_item(tree, tree->indexFromItem(items[2]));
  EXPECT_EQ(on_block_pane(w->Vellum32_scan(0)), QRect(258 + widened, 84, 417 - widened, 121));
  // The dates stay whole; the line and readings boxes gave the room.
  EXPECT_EQ(find("Text_time_start")->width(), find("Text_time_end")->width());
  EXPECT_GE(
      find<QLineEdit>("Text_time_start")->width(),
      find<QLineEdit>("Text_time_start")->fontMetrics().horizontalAdvance(find<QLineEdit>("Text_time_start")->text()));
}

TEST_F(FormMainTest, ExportPaneWritesTheXyzFile) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  op.events.clear();

  click("Command_export_data");
  EXPECT_TRUE(shown("Frame_export"));
  EXPECT_EQ(find("Frame_export")->geometry(), QRect(0, 0, 691, 499));
  EXPECT_EQ(find<DirChooser>("Dir_xyz")->path(), QString::fromStdString(tmp.dir()));
  EXPECT_EQ(find<DriveChooser>("Drive_xyz")->drive(), find<DriveChooser>("Drive_binary")->drive());
  EXPECT_TRUE(find<QCheckBox>("Check_apply_corrections")->isChecked());
  EXPECT_FALSE(find<QCheckBox>("Check_export_all")->isChecked());
  EXPECT_FALSE(find<QCheckBox>("Check_export_base_station_data")->isChecked());
  EXPECT_EQ(panel(1), QStringLiteral("Exporting Mag Data"));
  EXPECT_EQ(op.events,
            (std::vector<std::string>{"status 1: Exporting Mag Data", "status 2: ", "status 3: ", "status 4: "}));

  // Refused inputs, in their order.
  click("Command_save_data_0");
  type("Text_xyz_name", QStringLiteral("  out.xyz "));
  type("Text_base_field", QString());  // the pane's guess taken away
  click("Command_save_data_0");
  type("Text_base_field", QStringLiteral("abc"));
  click("Command_save_data_0");
  EXPECT_EQ(op.messages, (std::vector<std::string>{
                             "You must specify a file name to export the data", "You must specify a base field value",
                             "The base field value is not valid: give a number below 1,000,000 nT, without "
                             "thousands separators"}));
  EXPECT_FALSE(fs::exists(tmp.path() / "out.xyz"));

  op.messages.clear();
  op.events.clear();
  type("Text_base_field", QStringLiteral("58000"));
  QTest::mouseClick(find<QCheckBox>("Check_export_base_station_data"), Qt::LeftButton);
  click("Command_save_data_0");
  EXPECT_EQ(op.messages.at(0).substr(0, op.messages.at(0).find('\r')), "Export complete");
  EXPECT_TRUE(pointer_restored(op));
  EXPECT_NE(std::find(op.events.begin(), op.events.end(), "status 2: Line 100N"), op.events.end());
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(panel(i), QString()) << i;

  // The file is the core's export of the same model with the pane's inputs.
  const std::string written = read_all(tmp.path() / "out.xyz");
  ExportRequest request;
  request.file_name_text = "expected.xyz";
  request.directory = tmp.dir();
  request.base_field_text = "58000";
  request.apply_corrections = true;
  request.export_all = false;
  request.export_base = true;
  RecordingOperator core_op;
  ASSERT_EQ(command_save_data(w->model(), request, export_xyz_button, core_op), ExportResult::complete);
  EXPECT_EQ(written, read_all(tmp.path() / "expected.xyz"));
  EXPECT_NE(written.find("/ Base Mag Value: 58000.00"), std::string::npos);
  EXPECT_NE(written.find("/Line        BS1"), std::string::npos);

  // Overwriting is asked for; Cancel keeps the file.
  touch(tmp.path() / "out.xyz", "kept\n");
  op.messages.clear();
  op.events.clear();
  op.answers = {false};
  click("Command_save_data_0");
  EXPECT_EQ(op.events.front(), "ask: The specified data file already exists: " + tmp.dir() + "/out.xyz. Overwrite?");
  EXPECT_TRUE(op.messages.empty());
  EXPECT_EQ(read_all(tmp.path() / "out.xyz"), "kept\n");
  op.answers = {true};
  click("Command_save_data_0");
  EXPECT_EQ(op.messages.at(0).substr(0, op.messages.at(0).find('\r')), "Export complete");
  EXPECT_EQ(read_all(tmp.path() / "out.xyz"), written);

  // Opening the pane again resets the inputs but the base field value.
  click("Command_done_export");
  EXPECT_FALSE(shown("Frame_export"));
  EXPECT_TRUE(shown("Frame_main"));
  click("Command_export_data");
  EXPECT_TRUE(find<QLineEdit>("Text_xyz_name")->text().isEmpty());
  EXPECT_EQ(find<QLineEdit>("Text_base_field")->text(), QStringLiteral("58000"));
  EXPECT_FALSE(find<QCheckBox>("Check_export_base_station_data")->isChecked());
}

TEST_F(FormMainTest, UntickedBlocksAreNotExported) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  auto items = tree_items();
  toggle(items[3]);  // 0003 Data 07/09/96 Line 150N
  click("Command_export_data");
  type("Text_xyz_name", QStringLiteral("part.xyz"));
  type("Text_base_field", QStringLiteral("0"));
  click("Command_save_data_0");
  const std::string written = read_all(tmp.path() / "part.xyz");
  EXPECT_NE(written.find("/Line       100N"), std::string::npos);
  EXPECT_EQ(written.find("/Line       150N"), std::string::npos);
}

TEST_F(FormMainTest, DoneAndExitEndTheProgram) {
  open(tmp.path());
  click("Command_done_select_files");
  EXPECT_FALSE(w->isVisible());
  w->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
  find<QAction>("menu_exit")->trigger();
  EXPECT_FALSE(w->isVisible());
}

TEST_F(FormMainTest, AboutOpensModally) {
  open(tmp.path());
  find<QAction>("menu_about")->trigger();
  QPointer<frmAbout> about = w->findChild<frmAbout*>();
  ASSERT_FALSE(about.isNull());
  EXPECT_TRUE(about->isVisible());
  EXPECT_EQ(about->windowModality(), Qt::ApplicationModal);
  EXPECT_EQ(about->windowTitle(), QStringLiteral("About Corvane"));
  QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
  EXPECT_TRUE(about.isNull() || !about->isVisible());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(about.isNull());
}

bool blank(const vellum32::Vellum32* g) {
  const QImage& picture = g->Picture();
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      if (picture.pixel(x, y) != qRgb(255, 255, 255)) return false;
  return true;
}

TEST_F(FormMainTest, NodeClicksShowTheBlockOnTheGraphs) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  // Before any click, a pointer over graph 0 names the raw data.
  QTest::mouseMove(w->Vellum32_scan(0)->findChild<QWidget*>(QStringLiteral("Picture_graph")), QPoint(20, 20));
  EXPECT_NE(std::find(op.events.begin(), op.events.end(), "status 1: Raw Mag Data"), op.events.end());
  auto* tree = find<QTreeWidget>("TreeView_blocks");
  const auto items = tree_items();
  // Node 3: line 100N of the first sample, matched with its base session.
  SurveyModel copy = w->model();
  RecordingOperator quiet;
  const BlockView expected = show_node(copy, 3, quiet);
  ASSERT_EQ(expected.graphs.size(), 3u);
  click_item(tree, tree->indexFromItem(items[2]));
  for (int i = 0; i < 3; ++i) {
    const vellum32::Vellum32* g = w->Vellum32_scan(i);
    const GraphAxes& a = *expected.graphs[static_cast<std::size_t>(i)].axes;
    EXPECT_EQ(g->yTickInterval(), a.y_tick) << i;
    EXPECT_EQ(g->YAxisMin(), a.y_min) << i;
    EXPECT_EQ(g->XAxisMax(), a.x_max) << i;
    EXPECT_EQ(g->DataNull(), -99999);
    EXPECT_EQ(g->ChartType(), vellum32::ChartTypes::Line);
    EXPECT_FALSE(blank(g)) << i;
  }
  // Clicking the current node again draws it again.
  w->Vellum32_scan(2)->Clear();
  ASSERT_TRUE(blank(w->Vellum32_scan(2)));
  click_item(tree, tree->indexFromItem(items[2]));
  EXPECT_FALSE(blank(w->Vellum32_scan(2)));
  // The last line of the second sample has no base session: graphs 1 and 2 stay empty.
  click_item(tree, tree->indexFromItem(items.back()));
  EXPECT_FALSE(blank(w->Vellum32_scan(0)));
  EXPECT_TRUE(blank(w->Vellum32_scan(1)));
  EXPECT_TRUE(blank(w->Vellum32_scan(2)));
}

// Where a graph's plot frame starts in the window: the start of the longest black row of
// its picture, which is the frame's top or bottom edge.
int frame_left(const vellum32::Vellum32* g, const QWidget* window) {
  const QImage picture = g->Picture().convertToFormat(QImage::Format_RGB32);
  int best = 0, best_left = -1;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0, run = 0; x < picture.width(); ++x) {
      run = picture.pixel(x, y) == qRgb(0, 0, 0) ? run + 1 : 0;
      if (run > best) best = run, best_left = x - run + 1;
    }
  const QWidget* surface = g->findChild<QWidget*>(QStringLiteral("Picture_graph"));
  return surface->mapTo(window, QPoint(best_left, 0)).x();
}

TEST_F(FormMainTest, TheGraphsSayWhatTheyShowOnOneLeftEdge) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  auto* tree = find<QTreeWidget>("TreeView_blocks");
  const auto items = tree_items();
  click_item(tree, tree->indexFromItem(items[2]));
  // At the design size the titles leave out what does not fit, and still name the line
  // and its times.
  for (int i = 0; i < 3; ++i) {
    const QString title = w->Vellum32_scan(i)->Title();
    EXPECT_TRUE(title.contains(QStringLiteral(", line 100N, ")) && title.endsWith(QStringLiteral("08:25–08:44")))
        << title.toStdString();
  }
  w->resize(1600, w->height());
  const QString block = QStringLiteral(", line 100N, envimag_0709.dat, 1996/07/09 08:25–08:44");
  const QString titles[] = {"Raw readings", "Base station at each reading",
                            "Corrected: raw − base (export adds the base field)"};
  for (int i = 0; i < 3; ++i) {
    const vellum32::Vellum32* g = w->Vellum32_scan(i);
    EXPECT_EQ(g->Title(), titles[i] + block);
    EXPECT_EQ(g->XAxisLabel(), QStringLiteral("Station"));
    EXPECT_EQ(g->YAxisLabel(), QStringLiteral("nT"));
    EXPECT_EQ(g->PointMarker(1, 1, 1), 1) << i;  // a filled square
    EXPECT_EQ(frame_left(g, w.get()), frame_left(w->Vellum32_scan(0), w.get())) << i;
  }
  click_item(tree, tree->indexFromItem(items[1]));
  EXPECT_EQ(w->Vellum32_scan(0)->Title(), QStringLiteral("Base station readings, line BS1, envimag_0709.dat, "
                                                         "1996/07/09 08:00–16:30"));
  EXPECT_EQ(w->Vellum32_scan(0)->XAxisLabel(), QStringLiteral("Reading"));
  // A line without base cover says so in place of its base and corrected graphs.
  auto* no_cover = find<QLabel>("Label_no_cover");
  click_item(tree, tree->indexFromItem(items.back()));
  EXPECT_TRUE(no_cover->isVisible());
  EXPECT_EQ(no_cover->text(), QStringLiteral("No base session covers this line"));
  EXPECT_FALSE(w->Vellum32_scan(1)->isVisible() || w->Vellum32_scan(2)->isVisible());
  click_item(tree, tree->indexFromItem(items[2]));
  EXPECT_FALSE(no_cover->isVisible());
  EXPECT_TRUE(w->Vellum32_scan(1)->isVisible() && w->Vellum32_scan(2)->isVisible());
  // Processing again shows no block, and so says nothing of one.
  click_item(tree, tree->indexFromItem(items.back()));
  click("Command_done_process");
  click("Command_process_files");
  EXPECT_FALSE(no_cover->isVisible());
}

TEST_F(FormMainTest, AZoomOfOneFieldGraphShowsTheSameStationsOnAll) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  auto* tree = find<QTreeWidget>("TreeView_blocks");
  click_item(tree, tree->indexFromItem(tree_items()[2]));
  SurveyModel copy = w->model();
  RecordingOperator quiet;
  const BlockView view = show_node(copy, 3, quiet);
  ASSERT_EQ(view.graphs.size(), 3u);

  // Two wheel steps in, about the middle of graph 1.
  vellum32::Vellum32* turned = w->Vellum32_scan(1);
  QWidget* surface = turned->findChild<QWidget*>(QStringLiteral("Picture_graph"));
  const QPointF at = surface->rect().center();
  QWheelEvent wheel(at, surface->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(surface, &wheel);
  const float x_min = turned->XAxisMin(), x_max = turned->XAxisMax();
  const GraphAxes& home = *view.graphs[1].axes;
  ASSERT_GT(x_min, home.x_min);
  ASSERT_LT(x_max, home.x_max);
  for (int i = 0; i < 3; ++i) {
    const vellum32::Vellum32* g = w->Vellum32_scan(i);
    const float step = (x_max - x_min) * 1e-4f;
    EXPECT_NEAR(g->XAxisMin(), x_min, step) << i;
    EXPECT_NEAR(g->XAxisMax(), x_max, step) << i;
    // Each its own Y over the stations shown.
    const auto shown = shown_axes(view.graphs[static_cast<std::size_t>(i)], x_min, x_max, false);
    ASSERT_TRUE(shown) << i;
    // Limits reached through the zoom percentages: a share of the range, or float steps.
    const float y_step =
        (shown->y_max - shown->y_min) * 1e-3f + 4 * std::numeric_limits<float>::epsilon() * std::abs(shown->y_max);
    EXPECT_NEAR(g->YAxisMin(), shown->y_min, y_step) << i;
    EXPECT_NEAR(g->YAxisMax(), shown->y_max, y_step) << i;
    EXPECT_EQ(g->yTickInterval(), shown->y_tick) << i;
  }
  // Reset on one resets all three.
  w->Vellum32_scan(2)->ResetZoom();
  for (int i = 0; i < 3; ++i) {
    const vellum32::Vellum32* g = w->Vellum32_scan(i);
    const GraphAxes& a = *view.graphs[static_cast<std::size_t>(i)].axes;
    EXPECT_EQ(g->XAxisMin(), a.x_min) << i;
    EXPECT_EQ(g->XAxisMax(), a.x_max) << i;
    EXPECT_EQ(g->YAxisMin(), a.y_min) << i;
    EXPECT_EQ(g->yTickInterval(), a.y_tick) << i;
  }
}

// Answers a graph's save-file dialog and records what it tells the person.
struct GraphOperator : vellum32::ControlOperator {
  QString file_name;
  QStringList texts;
  void Message(QWidget*, const QString& text) override { texts.append(text); }
  QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return file_name; }
};

TEST_F(FormMainTest, EachGraphCopiesAndExportsFromItsMenu) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  auto* tree = find<QTreeWidget>("TreeView_blocks");
  click_item(tree, tree->indexFromItem(tree_items()[2]));
  TempDir dir;
  for (int i = 0; i < 3; ++i) {
    vellum32::Vellum32* g = w->Vellum32_scan(i);
    GraphOperator person;
    person.file_name = QString::fromStdString((dir.path() / ("graph" + std::to_string(i) + ".svg")).string());
    g->setOperator(&person);
    g->findChild<QAction*>(QStringLiteral("mnuCopy"))->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
              g->Picture().convertToFormat(QImage::Format_RGB32))
        << i;
    g->findChild<QAction*>(QStringLiteral("mnuEMF"))->trigger();
    EXPECT_EQ(person.texts, QStringList{"SVG Export complete"}) << i;
    EXPECT_TRUE(QSvgRenderer(person.file_name).isValid()) << i;
    g->setOperator(nullptr);
  }
}

TEST_F(FormMainTest, ProcessingNamesFilesWithoutBlocksAndClearsTheDetailBoxes) {
  open_with_samples();
  add_samples();
  find<DirChooser>("Dir_binary")->setPath(QString::fromStdString(tmp.dir()));
  type("Text_file_extension", QStringLiteral("txt"));
  auto* files = find<FileChooser>("File_binary");
  double_click(files, files->visualItemRect(files->item(0)).center());
  click("Command_process_files");
  // Across the whole bar, not cut to a panel's width, until the pane changes.
  auto* bar = find<QStatusBar>("StatusBar");
  const QString said = QStringLiteral("No block was found in ") + QString::fromStdString(tmp.dir() + "/notes.txt");
  EXPECT_EQ(bar->currentMessage(), said);
  EXPECT_LE(bar->fontMetrics().horizontalAdvance(said), bar->width());
  auto* tree = find<QTreeWidget>("TreeView_blocks");
  click_item(tree, tree->indexFromItem(tree_items()[2]));
  auto* line = find<QLineEdit>("Text_line");
  ASSERT_FALSE(line->text().isEmpty());
  EXPECT_TRUE(line->isReadOnly());
  click("Command_done_process");
  EXPECT_TRUE(bar->currentMessage().isEmpty());
  click("Command_process_files");
  for (const char* box : {"Text_line", "Text_num_readings", "Text_time_start", "Text_time_end"})
    EXPECT_TRUE(find<QLineEdit>(box)->text().isEmpty()) << box;
}

TEST_F(FormMainTest, UntickingAFileNodeLeavesAllItsLinesOut) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  auto items = tree_items();
  toggle(items[0]);  // envimag_0709.dat
  for (int i = 0; i <= 8; ++i) EXPECT_EQ(items[static_cast<std::size_t>(i)]->checkState(0), Qt::Unchecked) << i;
  EXPECT_EQ(items[9]->checkState(0), Qt::Checked);
  click("Command_export_data");
  type("Text_xyz_name", QStringLiteral("part.xyz"));
  click("Command_save_data_0");
  const std::string written = read_all(tmp.path() / "part.xyz");
  EXPECT_EQ(written.find("/Line       100N"), std::string::npos);  // only the first file has it
  EXPECT_NE(written.find("/Line"), std::string::npos);
}

TEST_F(FormMainTest, ExportPaneShowsThePathAndGuessesTheBaseField) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  type("Text_base_field", QString());
  click("Command_export_data");
  // The base field of the first base session's header; typed values are kept from then on.
  EXPECT_EQ(find<QLineEdit>("Text_base_field")->text(),
            QString::fromStdString(shortest_text(*header_base_field(w->model()))));
  auto* path = find<QLabel>("Label_xyz_path");
  type("Text_xyz_name", QStringLiteral(" day.xyz "));
  EXPECT_TRUE(path->text().endsWith(QString::fromStdString(tmp.dir() + "/day.xyz"))) << path->text().toStdString();
  fs::create_directories(tmp.path() / "out");
  find<DirChooser>("Dir_xyz")->setPath(QString::fromStdString((tmp.path() / "out").string()));
  EXPECT_TRUE(path->text().endsWith(QString::fromStdString((tmp.path() / "out/day.xyz").string())))
      << path->text().toStdString();
}

TEST_F(FormMainTest, TheDateOrderChoiceChangesTheBlocksDates) {
  open_with_samples();
  add_samples();
  auto* order = find<QComboBox>("Combo_date_order");
  EXPECT_EQ(order->itemText(0), QStringLiteral("Automatic"));
  EXPECT_EQ(order->currentText(), QStringLiteral("Month/Day/Year"));  // as the test opened the window
  click("Command_process_files");
  const double mdy_start = w->model().block(2).start_time;
  click("Command_done_process");
  order->setCurrentIndex(order->findText(QStringLiteral("Day/Month/Year")));
  EXPECT_EQ(w->dateOrder(), DateOrder::dmy);
  click("Command_process_files");
  // 07/09/96 is 7 September now, not 9 July.
  EXPECT_EQ(w->model().block(2).start_time - mdy_start,
            static_cast<double>(days_from_civil(1996, 9, 7) - days_from_civil(1996, 7, 9)));
}

TEST_F(FormMainTest, AnAutomaticDateOrderSaysInTheStatusBarWhyItReadsOtherwise) {
  touch(tmp.path() / "day.dat",
        "S C I N T R E X   ENVI-MAG\nENVI MAG  VER 3.21\nDATE____: 17/05/96\nLINE____: 100N\n/------\n"
        "1 N 57000 0 10:00:00\n");
  open(tmp.path());
  w->setDateOrder(DateOrder::automatic);
  add_samples();
  // Regional settings of month/day/year, whatever the desktop running the test.
  const bool had = qEnvironmentVariableIsSet("LC_ALL");
  const QByteArray kept = qgetenv("LC_ALL");
  qputenv("LC_ALL", "C");
  click("Command_process_files");
  if (had)
    qputenv("LC_ALL", kept);
  else
    qunsetenv("LC_ALL");
  EXPECT_EQ(find<QStatusBar>("StatusBar")->currentMessage(),
            QStringLiteral("Dates read as day/month/year: 17/05/96 cannot be month/day"));
  EXPECT_EQ(w->model().block(1).num_readings, 1);
}

TEST_F(FormMainTest, EnterAndEscapeMoveThroughThePanes) {
  open_with_samples();
  add_samples();
  auto* extension = find<QLineEdit>("Text_file_extension");
  extension->setFocus();
  QTest::keyClick(extension, Qt::Key_Return);  // the file pane's default: processing
  ASSERT_TRUE(shown("Frame_main"));
  auto* tree = find<QTreeWidget>("TreeView_blocks");
  EXPECT_TRUE(tree->hasFocus());
  QTest::keyClick(tree, Qt::Key_Down);
  QTest::keyClick(tree, Qt::Key_Down);
  EXPECT_EQ(w->model().selected_node, 3);  // the keys show the node they move to

  auto* export_data = find<QPushButton>("Command_export_data");
  export_data->setFocus();
  QTest::keyClick(export_data, Qt::Key_Return);  // a focused button
  ASSERT_TRUE(shown("Frame_export"));
  type("Text_xyz_name", QStringLiteral("keys.xyz"));
  type("Text_base_field", QStringLiteral("0"));
  QTest::keyClick(find<QLineEdit>("Text_xyz_name"), Qt::Key_Enter);  // the export pane's default
  EXPECT_TRUE(fs::exists(tmp.path() / "keys.xyz"));
  QTest::keyClick(find<QLineEdit>("Text_xyz_name"), Qt::Key_Escape);
  EXPECT_FALSE(shown("Frame_export"));
  EXPECT_TRUE(shown("Frame_main"));
}

TEST_F(FormMainTest, ASelectedRowKeepsItsColourAndMark) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  auto* tree = find<QTreeWidget>("TreeView_blocks");
  QTreeWidgetItem* red_line = tree_items()[18];
  tree->setCurrentItem(red_line);
  ASSERT_TRUE(red_line->isSelected());
  // The text only: the check box and the mark come first.
  const QRect row = tree->visualItemRect(red_line).adjusted(60, 0, 0, 0);
  const QImage picture = tree->viewport()->grab(row).toImage();
  const QColor text = colour_of(colour_red);
  int near_text = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      const QColor c = picture.pixelColor(x, y);
      if (std::abs(c.red() - text.red()) + std::abs(c.green() - text.green()) + std::abs(c.blue() - text.blue()) < 60)
        ++near_text;
    }
  EXPECT_GT(near_text, 10);
}

TEST_F(FormMainTest, UsingCorvaneOpensBesideTheWindow) {
  open(tmp.path());
  find<QAction>("menu_using")->trigger();
  auto* page = w->findChild<QDialog*>(QStringLiteral("frmUsing"));
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(page->isVisible());
  EXPECT_EQ(page->windowModality(), Qt::NonModal);
  find<QAction>("menu_using")->trigger();  // a second time raises the same page
  EXPECT_EQ(w->findChildren<QDialog*>(QStringLiteral("frmUsing")).size(), 1);
}

TEST_F(FormMainTest, TheSurveyMapFollowsTheTree) {
  open_with_samples();
  add_samples();
  click("Command_process_files");
  click("Command_survey_map");
  SurveyMapView* map = w->surveyMap();
  ASSERT_NE(map, nullptr);
  EXPECT_TRUE(map->window()->isVisible());
  EXPECT_NE(map->window(), w.get());
  const std::size_t dots = map->map().dots.size();
  ASSERT_GT(dots, 0u);
  // Unticking a line takes its dots off the map.
  auto items = tree_items();
  toggle(items[2]);
  EXPECT_EQ(map->map().dots.size(), dots - static_cast<std::size_t>(w->model().block(2).num_readings));
  // A dot's click shows its line.
  emit map->readingClicked(3);
  EXPECT_EQ(w->model().selected_block, 3);
  EXPECT_EQ(find<QTreeWidget>("TreeView_blocks")->currentItem(), items[3]);
  EXPECT_EQ(find<QLineEdit>("Text_line")->text(), QString::fromStdString(w->model().block(3).line));
}

TEST_F(FormMainTest, DroppedFilesAndFoldersAreAdded) {
  touch(tmp.path() / "day1" / "mag.dat");
  touch(tmp.path() / "day2" / "mag.dat");
  touch(tmp.path() / "day2" / "base.dat");
  touch(tmp.path() / "day2" / "notes.txt");
  open(tmp.path());
  type("Text_file_extension", QStringLiteral("dat"));
  const auto drop = [&](const std::vector<fs::path>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const auto& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p.string()));
    data.setUrls(urls);
    QWidget* pane = find("Frame_select_binary_files");
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent event(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane, &event);
  };
  drop({tmp.path() / "day1" / "mag.dat"});
  drop({tmp.path() / "day2"});  // a folder: its files of the extension
  EXPECT_EQ(listed(),
            (QStringList{QStringLiteral("mag.dat|") + QString::fromStdString((tmp.path() / "day1").string()),
                         QStringLiteral("base.dat|") + QString::fromStdString((tmp.path() / "day2").string())}));
  ASSERT_EQ(op.messages.size(), 1u);  // day2/mag.dat passed over
  EXPECT_NE(op.messages[0].find((tmp.path() / "day2" / "mag.dat").string()), std::string::npos);
}

TEST_F(FormMainTest, SettingsAreKeptBetweenRuns) {
  fs::create_directories(tmp.path() / "dumps");
  fs::create_directories(tmp.path() / "out");
  touch(tmp.path() / "dumps" / "a.dat", "x\n");
  const QString file = QString::fromStdString((tmp.path() / "corvane.conf").string());
  {
    QSettings settings(file, QSettings::IniFormat);
    open(tmp.path());
    w->keepSettingsIn(&settings, true);
    find<DirChooser>("Dir_binary")->setPath(QString::fromStdString((tmp.path() / "dumps").string()));
    type("Text_file_extension", QStringLiteral("dat"));
    auto* order = find<QComboBox>("Combo_date_order");
    order->setCurrentIndex(order->findText(QStringLiteral("Day/Month/Year")));
    w->resize(w->width() + 40, w->height() + 30);
    w->close();
  }
  const QSize size = w->size();
  QSettings settings(file, QSettings::IniFormat);
  open(tmp.path());
  w->keepSettingsIn(&settings, true);
  EXPECT_EQ(w->size(), size);
  EXPECT_EQ(find<DirChooser>("Dir_binary")->path(), QString::fromStdString((tmp.path() / "dumps").string()));
  EXPECT_EQ(find<QLineEdit>("Text_file_extension")->text(), QStringLiteral("dat"));
  EXPECT_EQ(w->dateOrder(), DateOrder::dmy);
  // A folder given on the command line wins over the remembered one.
  open(tmp.path());
  w->keepSettingsIn(&settings, false);
  EXPECT_EQ(find<DirChooser>("Dir_binary")->path(), QString::fromStdString(tmp.dir()));
}

// hh:mm:ss of `seconds` after midnight.
std::string clock_time(int seconds) {
  const auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
  return two(seconds / 3600) + ":" + two(seconds / 60 % 60) + ":" + two(seconds % 60);
}

// Line 100N from 10:00:00 to 10:09:30, a gentle slope with a spike of 500 nT at its 11th
// reading, then a smooth base session from 09:59:00 to 10:14:00.
std::string spiky_dump() {
  std::string text = "MP-2 DUMP\n" + test::fixed_field_header("100N", "07/09/96") + "STATION  MAG   SD   TIME\n";
  for (int j = 0; j < 20; ++j)
    text += test::fixed_field_line(std::to_string(25 * j),
                                   format_fixed(58010.0f + 0.5f * float(j) + (j == 10 ? 500.0f : 0.0f), 1),
                                   clock_time(36000 + 30 * j)) +
            "\n";
  text += test::fixed_base_header("07/09/96", "30 SEC") + "  TIME     BASE   DIFFERENCES\n";
  for (int j = 0; j <= 30; ++j)
    text += test::fixed_base_line(clock_time(35940 + 30 * j), format_fixed(58000.0f + 0.1f * float(j), 1)) + "\n";
  return text;
}

// Red pixels of a graph's picture: its spike marks.
int red_pixels(const vellum32::Vellum32* g) {
  const QImage picture = g->Picture().convertToFormat(QImage::Format_RGB32);
  int red = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) red += picture.pixel(x, y) == qRgb(255, 0, 0);
  return red;
}

TEST_F(FormMainTest, SpikesAreMarkedLeftOutOnRequestAndTheBaseClockMoves) {
  touch(tmp.path() / "spiky.dat", spiky_dump());
  open(tmp.path());
  add_samples();
  click("Command_process_files");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w->spikeFlagsPending(); }, 10000));
  const SurveyModel& m = w->model();
  ASSERT_EQ(m.block_count, 2);
  const std::int32_t spike_row = m.block(1).first_reading + 10;
  ASSERT_LT(static_cast<std::size_t>(spike_row), w->spikeFlags().reading.size());
  EXPECT_EQ(w->spikeFlags().reading[static_cast<std::size_t>(spike_row)], 1);
  EXPECT_EQ(w->spikeFlags().base, 0);
  EXPECT_TRUE(pointer_restored(op));

  // The line's node: red marks on the raw and corrected graphs, none on the base graph.
  auto* tree = find<QTreeWidget>("TreeView_blocks");
  QTreeWidgetItem* line = tree_items().at(1);
  click_item(tree, tree->indexFromItem(line));
  EXPECT_GT(red_pixels(w->Vellum32_scan(0)), 0);
  EXPECT_EQ(red_pixels(w->Vellum32_scan(1)), 0);
  EXPECT_GT(red_pixels(w->Vellum32_scan(2)), 0);
  const std::string spikes = spikes_text(block_spikes(m, 1, w->spikeFlags().reading));
  ASSERT_FALSE(spikes.empty());
  EXPECT_EQ(find<QLabel>("Label_spikes")->text().toStdString(), spikes);
  EXPECT_TRUE(line->toolTip(0).endsWith(QString::fromStdString("\n" + spikes)));

  // "Hide spikes" leaves the flagged readings off the map.
  click("Command_survey_map");
  SurveyMapView* map = w->surveyMap();
  ASSERT_NE(map, nullptr);
  EXPECT_FALSE(map->hideSpikes());
  const std::size_t dots = map->map().dots.size();
  EXPECT_EQ(dots, 20u);
  map->setHideSpikes(true);
  EXPECT_EQ(map->map().dots.size(), dots - static_cast<std::size_t>(block_spikes(m, 1, w->spikeFlags().reading)));

  // "Leave out spikes" reaches the export: the file is the core's with it, not without.
  click("Command_export_data");
  auto* leave_out = find<QCheckBox>("Check_leave_out_spikes");
  EXPECT_FALSE(leave_out->isChecked());
  type("Text_xyz_name", QStringLiteral("clean.xyz"));
  type("Text_base_field", QStringLiteral("0"));
  QTest::mouseClick(leave_out, Qt::LeftButton, {}, QPoint(8, leave_out->height() / 2));  // on its box
  ASSERT_TRUE(leave_out->isChecked());
  click("Command_save_data_0");
  const std::string written = read_all(tmp.path() / "clean.xyz");
  for (const bool leave_out_spikes : {true, false}) {
    ExportRequest request;
    request.file_name_text = leave_out_spikes ? "with.xyz" : "without.xyz";
    request.directory = tmp.dir();
    request.base_field_text = "0";
    request.leave_out_spikes = leave_out_spikes;
    RecordingOperator core_op;
    ASSERT_EQ(command_save_data(m, request, export_xyz_button, core_op), ExportResult::complete);
    EXPECT_EQ(written == read_all(tmp.path() / request.file_name_text), leave_out_spikes);
  }
  click("Command_done_export");

  // An hour on the base clock takes the base session off the line; the field keeps it
  // through a new run, and back at 0 the line is covered again.
  EXPECT_EQ(m.node(m.block(1).node).colour, colour_green);
  auto* shift = find<QSpinBox>("Spin_base_clock_shift");
  shift->setValue(3600);
  EXPECT_EQ(m.base_shift_seconds, 3600);
  EXPECT_EQ(m.node(m.block(1).node).colour, colour_red);
  EXPECT_EQ(line->foreground(0).color(), colour_of(colour_red));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !w->spikeFlagsPending(); }, 10000));
  click("Command_done_process");
  click("Command_process_files");
  EXPECT_EQ(m.base_shift_seconds, 3600);
  EXPECT_EQ(m.node(m.block(1).node).colour, colour_red);
  shift->setValue(0);
  EXPECT_EQ(m.base_shift_seconds, 0);
  EXPECT_EQ(tree_items().at(1)->foreground(0).color(), colour_of(colour_green));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !w->spikeFlagsPending(); }, 10000));
  EXPECT_TRUE(pointer_restored(op));
}

}  // namespace
}  // namespace corvane::ui
