#include "ui/form_main.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <vector>

#include <vellum32/vellum32.h>

#include "correction/base_match.h"
#include "display/block_display.h"
#include "export/export_command.h"
#include "reader/dump_reader.h"
#include "ui/anchored_pane.h"
#include "ui/file_choosers.h"
#include "ui/file_search.h"
#include "ui/frm_about.h"
#include "ui/qt_operator.h"
#include "util/text.h"

// The window's design lives in this static library's resources, which register only when
// asked, and from outside any namespace.
static void init_design_resources() { Q_INIT_RESOURCE(form_main); }

namespace corvane::ui {

namespace {

// Pane sizes of the design, in pixels: 10365 twips wide, 7545 (file selection) and 7485
// (blocks, export) high; the file-selection and block panes sit 30 twips above the top.
constexpr int pane_width = px(10365);
constexpr int select_height = px(7545);
constexpr int pane_height = px(7485);
constexpr int pane_raise = px(30);

// The graph places of the block pane (twips 3870, 1260/3180/5100, 6255 x 1815), and the
// height of graph 0 when it shows a base block over all three (5655).
constexpr int graph_left = px(3870);
constexpr std::array<int, 3> graph_top{px(1260), px(3180), px(5100)};
constexpr int graph_width = px(6255);
constexpr int graph_height = px(1815);
constexpr int graph_tall_height = px(5655);

constexpr int node_role = Qt::UserRole;
constexpr int key_role = Qt::UserRole + 1;

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(QLatin1String(name));
  return b;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption) {
  auto* l = new QLabel(caption, parent);
  l->setObjectName(QLatin1String(name));
  return l;
}

QLineEdit* text_box(QWidget* parent, const char* name) {
  auto* t = new QLineEdit(parent);
  t->setObjectName(QLatin1String(name));
  return t;
}

QCheckBox* check_box(QWidget* parent, const char* name, const QString& caption, const QString& tip) {
  auto* c = new QCheckBox(caption, parent);
  c->setObjectName(QLatin1String(name));
  c->setToolTip(tip);
  return c;
}

// A node colour of the model (red in the low byte; -1 or a system colour: none).
QVariant node_brush(std::int32_t colour) {
  if (colour < 0) return QVariant();
  return QBrush(QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
}

}  // namespace

Form_main::Form_main(const QString& start_directory, Operator* op, QWidget* parent)
    : QMainWindow(parent), date_order_(system_date_order()) {
  setObjectName(QStringLiteral("Form_main"));
  setWindowTitle(QStringLiteral("Process Drillhole Log Files"));

  build_status_bar();
  Operator* other = op;
  if (!other) {
    own_op_ = std::make_unique<QtOperator>(this);
    other = own_op_.get();
  }
  op_ = std::make_unique<WindowOperator>(*other, panels_);

  build_menus();
  panes_ = new AnchoredPane(QSize(pane_width, select_height - pane_raise), this);
  panes_->setObjectName(QStringLiteral("panes"));
  setCentralWidget(panes_);
  build_select_pane();
  build_main_pane();
  build_export_pane();
  place_panes();

  // Start in the given directory, on the place that holds it.
  const QString start = clean_directory(start_directory.isEmpty() ? QDir::currentPath() : start_directory);
  Drive_binary->setDrive(Drive_binary->driveOf(start));
  Dir_binary->setPath(start);
  File_binary->setPath(Dir_binary->path());

  panes_->setMinimumSize(panes_->designSize());
  resize(sizeHint());
}

Form_main::~Form_main() = default;

void Form_main::build_menus() {
  QMenu* menu_file = menuBar()->addMenu(QStringLiteral("&File"));
  menu_file->setObjectName(QStringLiteral("menu_file"));
  QAction* menu_print = menu_file->addAction(QStringLiteral("Print"));
  menu_print->setObjectName(QStringLiteral("menu_print"));  // no action
  QAction* menu_sep = menu_file->addSeparator();
  menu_sep->setObjectName(QStringLiteral("menu_sep"));
  QAction* menu_exit = menu_file->addAction(QStringLiteral("E&xit"));
  menu_exit->setObjectName(QStringLiteral("menu_exit"));
  connect(menu_exit, &QAction::triggered, this, [this] { menu_exit_click(); });

  QMenu* menu_help = menuBar()->addMenu(QStringLiteral("&Help"));
  menu_help->setObjectName(QStringLiteral("menu_help"));
  QAction* menu_about = menu_help->addAction(QStringLiteral("&About"));
  menu_about->setObjectName(QStringLiteral("menu_about"));
  connect(menu_about, &QAction::triggered, this, [this] { menu_about_click(); });
}

void Form_main::build_status_bar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar"));
  bar->setSizeGripEnabled(true);
  for (int i = 0; i < 4; ++i) {
    auto* panel = new QLabel(bar);
    panel->setObjectName(QStringLiteral("StatusBar_panel_%1").arg(i + 1));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setMinimumWidth(80);
    bar->addWidget(panel, i == 0 ? 2 : 1);
    panels_[static_cast<std::size_t>(i)] = panel;
  }
}

void Form_main::build_select_pane() {
  auto* p = new AnchoredPane(QSize(pane_width, select_height), panes_);
  p->setObjectName(QStringLiteral("Frame_select_binary_files"));
  Frame_select_binary_files = p;

  Drive_binary = new DriveChooser(p);
  Drive_binary->setObjectName(QStringLiteral("Drive_binary"));
  Drive_binary->setToolTip(QStringLiteral("Drive on which data is stored"));
  p->place(Drive_binary, QRect(8, 8, 240, 24), {});

  Dir_binary = new DirChooser(p);
  Dir_binary->setObjectName(QStringLiteral("Dir_binary"));
  Dir_binary->setToolTip(QStringLiteral("Path in which data is stored"));
  p->place(Dir_binary, QRect(8, 38, 240, 186), {0, 0, 0, 0.5});

  File_binary = new FileChooser(p);
  File_binary->setObjectName(QStringLiteral("File_binary"));
  File_binary->setToolTip(QStringLiteral("Files of specified type in the current directory"));
  p->place(File_binary, QRect(8, 230, 240, 222), {0, 0.5, 0, 1});

  p->place(label(p, "Label_param", QStringLiteral("File Extension")), QRect(8, 462, 96, 24), {0, 1, 0, 1});
  Text_file_extension = text_box(p, "Text_file_extension");
  Text_file_extension->setText(QStringLiteral("*"));
  Text_file_extension->setToolTip(QStringLiteral("File extension for data files to be selected"));
  p->place(Text_file_extension, QRect(108, 462, 140, 24), {0, 1, 0, 1});

  ListView_binary = new QTreeWidget(p);
  ListView_binary->setObjectName(QStringLiteral("ListView_binary"));
  ListView_binary->setToolTip(QStringLiteral("Currently selected data files"));
  ListView_binary->setColumnCount(2);
  ListView_binary->setHeaderLabels({QStringLiteral("File Name"), QStringLiteral("Location")});
  ListView_binary->setRootIsDecorated(false);
  ListView_binary->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListView_binary->setColumnWidth(0, 150);
  p->place(ListView_binary, QRect(256, 8, 427, 410), {0, 0, 1, 1});

  const struct {
    const char* name;
    const char* caption;
    int row, column;
    void (Form_main::*handler)();
  } buttons[] = {
      {"Command_add_selected", "Add Selected Files", 0, 0, &Form_main::Command_add_selected_click},
      {"Command_find_and_add_files", "Find and Add All Files", 0, 1, &Form_main::Command_find_and_add_files_click},
      {"Command_clear_selected", "Clear Selected Files", 0, 2, &Form_main::Command_clear_selected_click},
      {"Command_clear_list", "Clear All Files", 1, 0, &Form_main::Command_clear_list_click},
      {"Command_process_files", "Process Selected File", 1, 1, &Form_main::Command_process_files_click},
      {"Command_done_select_files", "Done", 1, 2, &Form_main::Command_done_select_files_click},
  };
  for (const auto& b : buttons) {
    QPushButton* w = button(p, b.name, QString::fromLatin1(b.caption));
    const double l = b.column / 3.0, r = (b.column + 1) / 3.0;
    p->place(w, QRect(256 + b.column * 144, 426 + b.row * 34, 139, 28), {l, 1, r, 1});
    connect(w, &QPushButton::clicked, this, [this, h = b.handler] { (this->*h)(); });
  }

  connect(Drive_binary, &DriveChooser::driveChanged, this, [this] { Drive_binary_change(); });
  connect(Dir_binary, &DirChooser::pathChanged, this, [this] { Dir_binary_change(); });
  connect(Text_file_extension, &QLineEdit::textChanged, this, [this] { Text_file_extension_change(); });
  connect(File_binary, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { File_binary_dblclick(item->text()); });
}

void Form_main::build_main_pane() {
  auto* p = new AnchoredPane(QSize(pane_width, pane_height), panes_);
  p->setObjectName(QStringLiteral("Frame_main"));
  Frame_main = p;

  TreeView_blocks = new QTreeWidget(p);
  TreeView_blocks->setObjectName(QStringLiteral("TreeView_blocks"));
  TreeView_blocks->setHeaderHidden(true);
  TreeView_blocks->setColumnCount(1);
  TreeView_blocks->setSelectionMode(QAbstractItemView::SingleSelection);
  TreeView_blocks->setIndentation(14);
  // Long node texts scroll sideways rather than being cut short.
  TreeView_blocks->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  TreeView_blocks->header()->setStretchLastSection(false);
  p->place(TreeView_blocks, QRect(8, 8, 242, 483), {0, 0, 0, 1});

  const struct {
    const char* label_name;
    const char* caption;
    const char* name;
    QLineEdit** box;
  } boxes[] = {
      {"Label_line", "Line", "Text_line", &Text_line},
      {"Label_num_readings", "Readings", "Text_num_readings", &Text_num_readings},
      {"Label_time_start", "Start Time", "Text_time_start", &Text_time_start},
      {"Label_time_end", "End Time", "Text_time_end", &Text_time_end},
  };
  const int box_width = (graph_width - 3 * 8) / 4;
  for (int i = 0; i < 4; ++i) {
    const int left = graph_left + i * (box_width + 8);
    const Anchors a{i / 4.0, 0, (i + 1) / 4.0, 0};
    p->place(label(p, boxes[i].label_name, QString::fromLatin1(boxes[i].caption)), QRect(left, 20, box_width, 20), a);
    *boxes[i].box = text_box(p, boxes[i].name);
    p->place(*boxes[i].box, QRect(left, 42, box_width, 24), a);
  }

  // The three graphs load the properties kept with the window's design, as a host loads
  // a control's saved properties.
  init_design_resources();
  vellum32::FilePropertyStore design(QStringLiteral(":/design/graph_design.props"));
  design.load();
  for (int i = 0; i < 3; ++i) {
    auto* g = new vellum32::Vellum32(p);
    g->setObjectName(QStringLiteral("Vellum32_scan_%1").arg(i));
    g->ReadProperties(design);
    p->place(g, QRect(graph_left, graph_top[static_cast<std::size_t>(i)], graph_width, graph_height),
             {0, i / 3.0, 1, (i + 1) / 3.0});
    scan_[static_cast<std::size_t>(i)] = g;
    connect(g, &vellum32::Vellum32::MouseMove, this,
            [this, i](qint16&, qint16&, float&, float&, qint32& inview, float& xp, float& yp) {
              Vellum32_scan_mousemove(i, inview, xp, yp);
            });
  }

  QPushButton* export_data = button(p, "Command_export_data", QStringLiteral("Export Data"));
  p->place(export_data, QRect(graph_left, 465, 140, 28), {0, 1, 0, 1});
  QPushButton* done = button(p, "Command_done_process", QStringLiteral("Done"));
  p->place(done, QRect(graph_left + graph_width - 140, 465, 140, 28), {1, 1, 1, 1});
  connect(export_data, &QPushButton::clicked, this, [this] { Command_export_data_click(); });
  connect(done, &QPushButton::clicked, this, [this] { Command_done_process_click(); });

  // A click shows its node, also the current one; moving with the keys shows the new
  // current node (a click that also changes the current node is shown once).
  connect(TreeView_blocks, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
    if (!filling_tree_ && item) TreeView_blocks_nodeclick(item);
  });
  connect(TreeView_blocks, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (!filling_tree_ && item && QApplication::mouseButtons() == Qt::NoButton) TreeView_blocks_nodeclick(item);
  });
  connect(TreeView_blocks, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
    if (!filling_tree_) TreeView_blocks_nodecheck(item);
  });
}

void Form_main::build_export_pane() {
  auto* p = new AnchoredPane(QSize(pane_width, pane_height), panes_);
  p->setObjectName(QStringLiteral("Frame_export"));
  p->setAutoFillBackground(true);  // hides the block pane beneath it
  Frame_export = p;

  p->place(label(p, "Label_xyz_location", QStringLiteral("Export  Location")), QRect(16, 16, 300, 20), {});
  Drive_xyz = new DriveChooser(p);
  Drive_xyz->setObjectName(QStringLiteral("Drive_xyz"));
  Drive_xyz->setToolTip(QStringLiteral("Drive on which to write the data"));
  p->place(Drive_xyz, QRect(16, 40, 300, 24), {0, 0, 0.5, 0});
  Dir_xyz = new DirChooser(p);
  Dir_xyz->setObjectName(QStringLiteral("Dir_xyz"));
  Dir_xyz->setToolTip(QStringLiteral("Directory in which to write the data"));
  p->place(Dir_xyz, QRect(16, 70, 300, 410), {0, 0, 0.5, 1});

  const int x = 340, w = 330;
  const Anchors right{0.5, 0, 1, 0};
  p->place(label(p, "Label_xyz_name", QStringLiteral("Export File Name")), QRect(x, 16, w, 20), right);
  Text_xyz_name = text_box(p, "Text_xyz_name");
  Text_xyz_name->setToolTip(QStringLiteral(
      "Name of the exported data file to create (supply file name and extension, but no drive or path)"));
  p->place(Text_xyz_name, QRect(x, 40, w, 24), right);

  p->place(label(p, "Label_base_field", QStringLiteral("Base Field Value")), QRect(x, 76, w, 20), right);
  Text_base_field = text_box(p, "Text_base_field");
  Text_base_field->setToolTip(QStringLiteral("Value to add to corrected data on export"));
  p->place(Text_base_field, QRect(x, 100, 160, 24), {0.5, 0, 0.5, 0});

  Check_apply_corrections =
      check_box(p, "Check_apply_corrections", QStringLiteral("Apply Corrections"),
                QStringLiteral("If unchecked the base station corrections will not be applied to the exported data"));
  p->place(Check_apply_corrections, QRect(x, 140, w, 24), right);
  Check_export_all =
      check_box(p, "Check_export_all", QStringLiteral("Export All Reading Data"),
                QStringLiteral("Leave unchecked to export only data for which base station readings exist"));
  p->place(Check_export_all, QRect(x, 168, w, 24), right);
  Check_export_base_station_data =
      check_box(p, "Check_export_base_station_data", QStringLiteral("Export Base Station Data"),
                QStringLiteral("If checked the base station data will be exported"));
  p->place(Check_export_base_station_data, QRect(x, 196, w, 24), right);

  // The button array Command_save_data: index 0 writes the XYZ file, index 1 the Oasis
  // database.
  QPushButton* save_xyz = button(p, "Command_save_data_0", QStringLiteral("Export XYZ Data"));
  p->place(save_xyz, QRect(x, 240, 160, 32), {0.5, 0, 0.75, 0});
  QPushButton* save_oasis = button(p, "Command_save_data_1", QStringLiteral("Export Oasis Database"));
  p->place(save_oasis, QRect(x + 170, 240, 160, 32), {0.75, 0, 1, 0});
  connect(save_xyz, &QPushButton::clicked, this, [this] { Command_save_data_click(export_xyz_button); });
  connect(save_oasis, &QPushButton::clicked, this, [this] { Command_save_data_click(export_oasis_button); });

  QPushButton* done = button(p, "Command_done_export", QStringLiteral("Done"));
  p->place(done, QRect(x + 170, 448, 160, 32), {1, 1, 1, 1});
  connect(done, &QPushButton::clicked, this, [this] { Command_done_export_click(); });
  connect(Drive_xyz, &DriveChooser::driveChanged, this, [this] { Drive_xyz_change(); });
}

// Window load: the file-selection and block panes at the left edge, 30 twips above the
// top; the export pane is placed when it opens. Only the file-selection pane shows.
void Form_main::place_panes() {
  panes_->place(Frame_select_binary_files, QRect(0, -pane_raise, pane_width, select_height), {0, 0, 1, 1});
  panes_->place(Frame_main, QRect(0, -pane_raise, pane_width, pane_height), {0, 0, 1, 1});
  Frame_main->hide();
  Frame_export->hide();
}

void Form_main::closeEvent(QCloseEvent* e) {
  if (working_) {
    close_pending_ = true;
    e->ignore();
    return;
  }
  QMainWindow::closeEvent(e);
}

// ----- file selection -----

void Form_main::Drive_binary_change() { Dir_binary->setPath(Drive_binary->drive()); }

void Form_main::Dir_binary_change() { File_binary->setPath(Dir_binary->path()); }

void Form_main::Text_file_extension_change() {
  File_binary->setPattern(QString::fromStdString(list_pattern(Text_file_extension->text().toStdString())));
}

void Form_main::add_file(const QString& name, const QString& directory) {
  if (listed_names_.contains(name)) return;
  listed_names_.insert(name);
  auto* item = new QTreeWidgetItem(ListView_binary, {name, directory});
  Q_UNUSED(item);
}

void Form_main::File_binary_dblclick(const QString& name) { add_file(name, Dir_binary->path()); }

void Form_main::Command_add_selected_click() {
  for (const QString& name : File_binary->selectedFileNames()) add_file(name, Dir_binary->path());
}

void Form_main::Command_find_and_add_files_click() {
  if (working_) return;
  working_ = true;
  const std::string pattern = search_pattern(Text_file_extension->text().toStdString());
  op_->busy(true);
  find_files(Dir_binary->path().toStdString(), pattern, *op_, [this](const std::string& name, const std::string& dir) {
    add_file(QString::fromStdString(name), QString::fromStdString(dir));
  });
  op_->busy(false);
  working_ = false;
  if (close_pending_) close();
}

void Form_main::Command_clear_selected_click() {
  for (int i = ListView_binary->topLevelItemCount() - 1; i >= 0; --i) {
    QTreeWidgetItem* item = ListView_binary->topLevelItem(i);
    if (!item->isSelected()) continue;
    listed_names_.remove(item->text(0));
    delete ListView_binary->takeTopLevelItem(i);
  }
}

void Form_main::Command_clear_list_click() {
  ListView_binary->clear();
  listed_names_.clear();
}

// ----- processing and the block tree -----

void Form_main::Command_process_files_click() {
  if (working_) return;
  std::vector<DumpFile> files;
  for (int i = 0; i < ListView_binary->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = ListView_binary->topLevelItem(i);
    files.push_back({item->text(0).toStdString(), item->text(1).toStdString()});
  }
  working_ = true;
  const bool ran = process_files(model_, files, *op_, date_order_).ran;
  if (ran) {
    clear_graphs();
    fill_tree();
    Frame_select_binary_files->hide();
    Frame_main->show();
  }
  working_ = false;
  if (close_pending_) close();
}

void Form_main::fill_tree() {
  filling_tree_ = true;
  TreeView_blocks->clear();
  std::vector<QTreeWidgetItem*> items(static_cast<std::size_t>(model_.node_count) + 1, nullptr);
  for (std::int32_t n = 1; n <= model_.node_count; ++n) {
    const Node& node = model_.nodes[static_cast<std::size_t>(n)];
    QTreeWidgetItem* parent =
        node.parent > 0 && node.parent < n ? items[static_cast<std::size_t>(node.parent)] : nullptr;
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(TreeView_blocks);
    item->setText(0, QString::fromStdString(node.text));
    item->setData(0, node_role, n);
    item->setData(0, key_role, QString::fromStdString(node.key));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, node.checked ? Qt::Checked : Qt::Unchecked);
    item->setData(0, Qt::ForegroundRole, node_brush(node.colour));
    items[static_cast<std::size_t>(n)] = item;
  }
  TreeView_blocks->expandAll();
  // The first node is selected; nothing is shown until the operator clicks a node.
  if (TreeView_blocks->topLevelItemCount() > 0) TreeView_blocks->setCurrentItem(TreeView_blocks->topLevelItem(0));
  filling_tree_ = false;
}

void Form_main::refresh_tree_colours() {
  filling_tree_ = true;
  for (QTreeWidgetItemIterator it(TreeView_blocks); *it; ++it) {
    const int n = (*it)->data(0, node_role).toInt();
    if (n < 1 || n > model_.node_count) continue;
    const Node& node = model_.nodes[static_cast<std::size_t>(n)];
    (*it)->setData(0, Qt::ForegroundRole, node_brush(node.colour));
    (*it)->setCheckState(0, node.checked ? Qt::Checked : Qt::Unchecked);
  }
  filling_tree_ = false;
}

void Form_main::TreeView_blocks_nodecheck(QTreeWidgetItem* item) {
  const int n = item->data(0, node_role).toInt();
  if (n < 1 || n > model_.node_count) return;
  const bool checked = item->checkState(0) == Qt::Checked;
  if (model_.nodes[static_cast<std::size_t>(n)].checked == checked) return;  // another change of the item
  set_node_checked(model_, n, checked);
  refresh_tree_colours();
}

// Shows the clicked node's block: the four text boxes and the three graphs; graph 0 spans
// all three places for a base block or a file node.
void Form_main::TreeView_blocks_nodeclick(QTreeWidgetItem* item) {
  const int n = item->data(0, node_role).toInt();
  if (n < 1 || n > model_.node_count) return;
  const BlockView view = show_node(model_, n, *op_);
  Text_line->setText(QString::fromStdString(view.line));
  Text_num_readings->setText(QString::fromStdString(view.num_readings));
  Text_time_start->setText(QString::fromStdString(view.time_start));
  Text_time_end->setText(QString::fromStdString(view.time_end));
  clear_graphs();
  base_view_ = view.base_view;
  Frame_main->place(scan_[0],
                    QRect(graph_left, graph_top[0], graph_width, base_view_ ? graph_tall_height : graph_height),
                    base_view_ ? Anchors{0, 0, 1, 1} : Anchors{0, 0, 1, 1.0 / 3.0});
  if (base_view_) scan_[0]->raise();
  for (const GraphData& g : view.graphs) show_graph(g);
}

void Form_main::clear_graphs() {
  for (vellum32::Vellum32* g : scan_) g->Clear();
}

void Form_main::show_graph(const GraphData& data) {
  vellum32::Vellum32* g = scan_.at(static_cast<std::size_t>(data.index));
  try {
    // Column 0 stays empty: row 0 is the only group's X row, row 1 its only series.
    vellum32::DataTable table(2, static_cast<qsizetype>(data.x.size()) + 1);
    for (std::size_t j = 0; j < data.x.size(); ++j) {
      table(0, static_cast<qsizetype>(j) + 1) = data.x[j];
      table(1, static_cast<qsizetype>(j) + 1) = data.y[j];
    }
    g->RegisterData(table);
    if (data.axes) {
      const GraphAxes& a = *data.axes;
      g->setyTickInterval(a.y_tick);
      g->setYAxisMin(a.y_min);
      g->setYAxisMax(a.y_max);
      g->setxTickInterval(a.x_tick);
      g->setXAxisMin(a.x_min);
      g->setXAxisMax(a.x_max);
      g->setPlotPoints(true);
      g->Refresh();
      op_->let_events_run();
    }
  } catch (const vellum32::Vellum32Error& e) {
    op_->message(std::string(display_data_error) + e.Description().toStdString());
  } catch (const std::exception& e) {
    op_->message(std::string(display_data_error) + e.what());
  }
  op_->busy(false);
}

void Form_main::Vellum32_scan_mousemove(int index, std::int32_t inview, float xp, float yp) {
  show_pointer(*op_, index, base_view_, inview, xp, yp);
}

void Form_main::Command_done_select_files_click() { close(); }

void Form_main::Command_done_process_click() {
  Frame_select_binary_files->show();
  Frame_main->hide();
}

// ----- export -----

void Form_main::Command_export_data_click() {
  panes_->place(Frame_export, QRect(0, 0, pane_width, pane_height), {0, 0, 1, 1});
  Drive_xyz->setDrive(Drive_binary->drive());
  Dir_xyz->setPath(Dir_binary->path());
  Check_export_all->setChecked(false);
  Check_apply_corrections->setChecked(true);
  Check_export_base_station_data->setChecked(false);
  Text_xyz_name->clear();
  op_->status(1, "Exporting Mag Data");
  for (int panel = 2; panel <= 4; ++panel) op_->status(panel, "");
  Frame_export->show();
  Frame_export->raise();
}

void Form_main::Command_done_export_click() { Frame_export->hide(); }

void Form_main::Drive_xyz_change() { Dir_xyz->setPath(Drive_xyz->drive()); }

void Form_main::Command_save_data_click(int index) {
  if (working_) return;
  ExportRequest request;
  request.file_name_text = Text_xyz_name->text().toStdString();
  request.directory = Dir_xyz->path().toStdString();
  request.base_field_text = Text_base_field->text().toStdString();
  request.apply_corrections = Check_apply_corrections->isChecked();
  request.export_all = Check_export_all->isChecked();
  request.export_base = Check_export_base_station_data->isChecked();
  working_ = true;
  command_save_data(model_, request, index, *op_);
  working_ = false;
  if (close_pending_) close();
}

// ----- menus -----

void Form_main::menu_exit_click() { close(); }

void Form_main::menu_about_click() {
  auto* about = new frmAbout(*op_, this);
  about->setAttribute(Qt::WA_DeleteOnClose);
  about->setWindowModality(Qt::ApplicationModal);
  about->show();
}

}  // namespace corvane::ui
