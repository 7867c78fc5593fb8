#include "ui/form_main.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <chrono>
#include <exception>
#include <future>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <vellum32/control_operator.h>
#include <vellum32/vellum32.h>

#include "correction/base_match.h"
#include "display/block_display.h"
#include "export/export_command.h"
#include "map/survey_map_view.h"
#include "qc/qc_report.h"
#include "reader/dump_reader.h"
#include "report/qc_report_file.h"
#include "ui/anchored_pane.h"
#include "ui/block_graphs.h"
#include "ui/file_choosers.h"
#include "ui/file_search.h"
#include "ui/frm_about.h"
#include "ui/qt_operator.h"
#include "ui/tree_marks.h"
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
// The tree's right edge, and the band of the pane that the tree and the block's view share.
constexpr int tree_right = 250;
constexpr int view_top = 8;
constexpr int view_height = 493 - view_top;
// What the block's view gives up for long node names before the tree scrolls them: as much
// as the line and readings boxes can spare.
constexpr int names_room = 36;

constexpr int node_role = Qt::UserRole;
constexpr int key_role = Qt::UserRole + 1;

// Enter on a focused button presses it, as in a dialog.
QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(QLatin1String(name));
  b->setAutoDefault(true);
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

constexpr std::array<std::pair<DateOrder, const char*>, 4> date_orders{{
    {DateOrder::automatic, "Automatic"},
    {DateOrder::mdy, "Month/Day/Year"},
    {DateOrder::dmy, "Day/Month/Year"},
    {DateOrder::ymd, "Year/Month/Day"},
}};

}  // namespace

Form_main::Form_main(const QString& start_directory, Operator* op, QWidget* parent)
    : QMainWindow(parent), date_order_(DateOrder::automatic) {
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
  Frame_select_binary_files->installEventFilter(this);
  Frame_select_binary_files->setAcceptDrops(true);
  Frame_export->installEventFilter(this);
  Drive_binary->setFocus();
}

// The spike flags being worked out: one job at a time, over the model, which stays as it is
// until the job has ended (wait_for_spike_flags).
struct Form_main::SpikeJob {
  struct Outcome {
    SpikeFlags flags;
    std::string failure;
  };
  QFutureWatcher<Outcome> watcher;
  bool running = false;  // until its outcome is taken or dropped
  bool busy_shown = false;
};

Form_main::~Form_main() {
  if (spike_job_) spike_job_->watcher.waitForFinished();
}

void Form_main::build_menus() {
  QMenu* menu_file = menuBar()->addMenu(QStringLiteral("&File"));
  menu_file->setObjectName(QStringLiteral("menu_file"));
  QAction* menu_print = menu_file->addAction(QStringLiteral("Print"));
  menu_print->setObjectName(QStringLiteral("menu_print"));  // no action
  QAction* menu_qc_report = menu_file->addAction(QStringLiteral("QC Report\u2026"));
  menu_qc_report->setObjectName(QStringLiteral("menu_qc_report"));
  connect(menu_qc_report, &QAction::triggered, this, [this] { menu_qc_report_click(); });
  QAction* menu_sep = menu_file->addSeparator();
  menu_sep->setObjectName(QStringLiteral("menu_sep"));
  QAction* menu_exit = menu_file->addAction(QStringLiteral("E&xit"));
  menu_exit->setObjectName(QStringLiteral("menu_exit"));
  connect(menu_exit, &QAction::triggered, this, [this] { menu_exit_click(); });

  QMenu* menu_help = menuBar()->addMenu(QStringLiteral("&Help"));
  menu_help->setObjectName(QStringLiteral("menu_help"));
  QAction* menu_using = menu_help->addAction(QStringLiteral("&Using Corvane"));
  menu_using->setObjectName(QStringLiteral("menu_using"));
  connect(menu_using, &QAction::triggered, this, [this] { menu_using_click(); });
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
  p->place(File_binary, QRect(8, 230, 240, 158), {0, 0.5, 0, 1});

  p->place(label(p, "Label_param", QStringLiteral("File Extension")), QRect(8, 398, 96, 24), {0, 1, 0, 1});
  Text_file_extension = text_box(p, "Text_file_extension");
  Text_file_extension->setText(QStringLiteral("*"));
  Text_file_extension->setToolTip(QStringLiteral("File extension for data files to be selected"));
  p->place(Text_file_extension, QRect(108, 398, 140, 24), {0, 1, 0, 1});

  // The order in which the dumps' dates are read, shown so that it can be checked before
  // processing.
  p->place(label(p, "Label_date_order", QStringLiteral("Date Order")), QRect(8, 430, 96, 24), {0, 1, 0, 1});
  Combo_date_order = new QComboBox(p);
  Combo_date_order->setObjectName(QStringLiteral("Combo_date_order"));
  Combo_date_order->setToolTip(QStringLiteral("How the dates in the dump files are read"));
  // Each entry carries its order, which is what the settings keep.
  for (const auto& [order, text] : date_orders)
    Combo_date_order->addItem(QString::fromLatin1(text), static_cast<int>(order));
  p->place(Combo_date_order, QRect(108, 430, 140, 24), {0, 1, 0, 1});

  // A base station clock set wrong: every base time moves by this many seconds.
  p->place(label(p, "Label_base_clock_shift", QStringLiteral("Base clock shift (s)")), QRect(8, 462, 124, 24),
           {0, 1, 0, 1});
  Spin_base_clock_shift = new QSpinBox(p);
  Spin_base_clock_shift->setObjectName(QStringLiteral("Spin_base_clock_shift"));
  Spin_base_clock_shift->setToolTip(QStringLiteral("Seconds to add to every base station time"));
  Spin_base_clock_shift->setRange(-86400, 86400);
  Spin_base_clock_shift->setKeyboardTracking(false);
  p->place(Spin_base_clock_shift, QRect(136, 462, 112, 24), {0, 1, 0, 1});
  connect(Spin_base_clock_shift, &QSpinBox::valueChanged, this, [this] { Spin_base_clock_shift_change(); });
  setDateOrder(date_order_);
  connect(Combo_date_order, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (i >= 0 && i < static_cast<int>(date_orders.size()))
      date_order_ = date_orders[static_cast<std::size_t>(i)].first;
  });

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
      {"Command_add_selected", "&Add Selected Files", 0, 0, &Form_main::Command_add_selected_click},
      {"Command_find_and_add_files", "F&ind and Add All Files", 0, 1, &Form_main::Command_find_and_add_files_click},
      {"Command_clear_selected", "&Clear Selected Files", 0, 2, &Form_main::Command_clear_selected_click},
      {"Command_clear_list", "Clear All File&s", 1, 0, &Form_main::Command_clear_list_click},
      {"Command_process_files", "&Process Selected File", 1, 1, &Form_main::Command_process_files_click},
      {"Command_done_select_files", "&Done", 1, 2, &Form_main::Command_done_select_files_click},
  };
  for (const auto& b : buttons) {
    QPushButton* w = button(p, b.name, QString::fromLatin1(b.caption));
    const double l = b.column / 3.0, r = (b.column + 1) / 3.0;
    p->place(w, QRect(256 + b.column * 144, 426 + b.row * 34, 139, 28), {l, 1, r, 1});
    connect(w, &QPushButton::clicked, this, [this, h = b.handler] { (this->*h)(); });
  }
  p->findChild<QPushButton*>(QStringLiteral("Command_process_files"))->setDefault(true);

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

  // The tree and the block's view share the pane's width across a splitter; at the design
  // size each has its design place.
  auto* splitter = new QSplitter(Qt::Horizontal, p);
  splitter->setObjectName(QStringLiteral("Splitter_blocks"));
  splitter->setChildrenCollapsible(false);
  splitter->setHandleWidth(graph_left - tree_right);
  p->place(splitter, QRect(8, view_top, graph_left + graph_width - 8, view_height), {0, 0, 1, 1});

  TreeView_blocks = new QTreeWidget(splitter);
  TreeView_blocks->setObjectName(QStringLiteral("TreeView_blocks"));
  TreeView_blocks->setHeaderHidden(true);
  TreeView_blocks->setColumnCount(1);
  TreeView_blocks->setSelectionMode(QAbstractItemView::SingleSelection);
  TreeView_blocks->setIndentation(14);
  TreeView_blocks->setMinimumWidth(120);
  keep_colours_on_selection(TreeView_blocks);
  // Long node texts scroll sideways rather than being cut short. The column is sized once
  // per run (fit_tree_column): sizing it to its contents would measure rows at every change.
  TreeView_blocks->header()->setSectionResizeMode(QHeaderView::Fixed);
  TreeView_blocks->header()->setStretchLastSection(false);
  TreeView_blocks->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  TreeView_blocks->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

  // Right of the tree, in the pane's design coordinates less the view's origin.
  block_view_ = new AnchoredPane(QSize(graph_width, view_height), splitter);
  block_view_->setObjectName(QStringLiteral("block_view"));
  // The graphs give way down to a third of their design width, so that long names fit. The
  // first pixels come from the line and readings boxes alone, keeping the dates whole.
  block_view_->setMinimumSize(block_view_->designSize().width() / 3, block_view_->designSize().height());
  block_view_->setFirstShortfall(names_room);
  AnchoredPane* v = block_view_;
  const auto in_view = [](QRect r) { return r.translated(-graph_left, -view_top); };
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 2);
  splitter->setSizes({tree_right - 8, graph_width});

  const struct {
    const char* label_name;
    const char* caption;
    const char* name;
    QLineEdit** box;
    double share;                  // of the boxes' width: the times carry their dates
    double give_left, give_right;  // fractions of the first shortfall their edges move by
  } boxes[] = {
      {"Label_line", "Line", "Text_line", &Text_line, 0.18, 0, 0.75},
      {"Label_num_readings", "Readings", "Text_num_readings", &Text_num_readings, 0.14, 0.75, 1},
      {"Label_time_start", "Start Time", "Text_time_start", &Text_time_start, 0.34, 1, 1},
      {"Label_time_end", "End Time", "Text_time_end", &Text_time_end, 0.34, 1, 1},
  };
  const int boxes_width = graph_width - 3 * 8;
  int left = graph_left;
  double share = 0;
  for (const auto& b : boxes) {
    const int width = static_cast<int>(boxes_width * b.share);
    const Anchors a{share, 0, share + b.share, 0};
    const Anchors give{b.give_left, 0, b.give_right, 0};
    // A caption keeps its width over a box that gives way.
    v->place(label(v, b.label_name, QString::fromLatin1(b.caption)), in_view(QRect(left, 20, width, 20)), a,
             Anchors{b.give_left, 0, b.give_left, 0});
    *b.box = text_box(v, b.name);
    (*b.box)->setReadOnly(true);
    v->place(*b.box, in_view(QRect(left, 42, width, 24)), a, give);
    left += width + 8;
    share += b.share;
  }

  // The three graphs load the properties kept with the window's design, as a host loads
  // a control's saved properties.
  init_design_resources();
  vellum32::FilePropertyStore design(QStringLiteral(":/design/graph_design.props"));
  design.load();
  for (int i = 0; i < 3; ++i) {
    auto* g = new vellum32::Vellum32(v);
    g->setObjectName(QStringLiteral("Vellum32_scan_%1").arg(i));
    g->ReadProperties(design);
    v->place(g, in_view(QRect(graph_left, graph_top[static_cast<std::size_t>(i)], graph_width, graph_height)),
             {0, i / 3.0, 1, (i + 1) / 3.0});
    scan_[static_cast<std::size_t>(i)] = g;
    connect(g, &vellum32::Vellum32::MouseMove, this,
            [this, i](qint16&, qint16&, float&, float&, qint32& inview, float& xp, float& yp) {
              Vellum32_scan_mousemove(i, inview, xp, yp);
            });
  }
  block_graphs_ = new BlockGraphs(scan_, *op_, this);
  Label_spikes = label(v, "Label_spikes", QString());
  Label_spikes->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QPalette spikes_palette = Label_spikes->palette();
  spikes_palette.setColor(QPalette::WindowText, QColor(176, 0, 0));
  Label_spikes->setPalette(spikes_palette);
  v->place(Label_spikes, in_view(QRect(graph_left, 67, graph_width, 16)), {0, 0, 1, 0});
  // A field line without base cover says so in place of its base and corrected graphs.
  Label_no_cover = label(v, "Label_no_cover", QString::fromLatin1(no_cover_text));
  Label_no_cover->setAlignment(Qt::AlignCenter);
  Label_no_cover->hide();
  v->place(Label_no_cover,
           in_view(QRect(graph_left, graph_top[1], graph_width, graph_top[2] + graph_height - graph_top[1])),
           {0, 1.0 / 3.0, 1, 1});

  QPushButton* export_data = button(v, "Command_export_data", QStringLiteral("&Export Data"));
  // The three buttons share what the view gives up.
  v->place(export_data, in_view(QRect(graph_left, 465, 128, 28)), {0, 1, 0, 1}, Anchors{0, 1, 1.0 / 3, 1});
  QPushButton* survey_map = button(v, "Command_survey_map", QStringLiteral("Survey &Map"));
  v->place(survey_map, in_view(QRect(graph_left + 136, 465, 128, 28)), {0, 1, 0, 1}, Anchors{1.0 / 3, 1, 2.0 / 3, 1});
  connect(survey_map, &QPushButton::clicked, this, [this] { Command_survey_map_click(); });
  QPushButton* done = button(v, "Command_done_process", QStringLiteral("D&one"));
  v->place(done, in_view(QRect(graph_left + graph_width - 140, 465, 140, 28)), {1, 1, 1, 1}, Anchors{2.0 / 3, 1, 1, 1});
  connect(export_data, &QPushButton::clicked, this, [this] { Command_export_data_click(); });
  connect(done, &QPushButton::clicked, this, [this] { Command_done_process_click(); });

  // A click shows its node, also the current one; moving with the keys shows the new
  // current node (a click that also changes the current node is shown once).
  // A click on a check box leaves the current row where it was: it moves to the clicked
  // node, whose graphs are shown.
  connect(TreeView_blocks, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
    if (filling_tree_ || !item) return;
    if (TreeView_blocks->currentItem() != item) {
      filling_tree_ = true;  // shown once, below
      TreeView_blocks->setCurrentItem(item);
      filling_tree_ = false;
    }
    TreeView_blocks_nodeclick(item);
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
  // Where "Export XYZ Data" writes: the chosen folder, which a highlighted one is not.
  Label_xyz_path = label(p, "Label_xyz_path", QString());
  Label_xyz_path->setWordWrap(true);
  Label_xyz_path->setTextInteractionFlags(Qt::TextSelectableByMouse);
  p->place(Label_xyz_path, QRect(x, 300, w, 60), right);

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
  Check_leave_out_spikes = check_box(
      p, "Check_leave_out_spikes", QStringLiteral("Leave out spikes"),
      QStringLiteral("If checked the readings flagged as spikes are left out of the base interpolation and of the "
                     "corrected data"));
  p->place(Check_leave_out_spikes, QRect(x, 224, w, 24), right);

  // The button array Command_save_data: index 0 writes the XYZ file, index 1 the Oasis
  // database.
  QPushButton* save_xyz = button(p, "Command_save_data_0", QStringLiteral("Export &XYZ Data"));
  save_xyz->setDefault(true);
  p->place(save_xyz, QRect(x, 256, 160, 32), {0.5, 0, 0.75, 0});
  QPushButton* save_oasis = button(p, "Command_save_data_1", QStringLiteral("Export Oasis Data&base"));
  p->place(save_oasis, QRect(x + 170, 256, 160, 32), {0.75, 0, 1, 0});
  connect(save_xyz, &QPushButton::clicked, this, [this] { Command_save_data_click(export_xyz_button); });
  connect(save_oasis, &QPushButton::clicked, this, [this] { Command_save_data_click(export_oasis_button); });

  QPushButton* done = button(p, "Command_done_export", QStringLiteral("&Done"));
  p->place(done, QRect(x + 170, 448, 160, 32), {1, 1, 1, 1});
  connect(done, &QPushButton::clicked, this, [this] { Command_done_export_click(); });
  connect(Drive_xyz, &DriveChooser::driveChanged, this, [this] { Drive_xyz_change(); });
  connect(Dir_xyz, &DirChooser::pathChanged, this, [this] { show_export_path(); });
  connect(Text_xyz_name, &QLineEdit::textChanged, this, [this] { show_export_path(); });
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
  save_settings();
  if (map_window_) map_window_->close();
  QMainWindow::closeEvent(e);
}

// ----- file selection -----

void Form_main::Drive_binary_change() { Dir_binary->setPath(Drive_binary->drive()); }

void Form_main::Dir_binary_change() { File_binary->setPath(Dir_binary->path()); }

void Form_main::Text_file_extension_change() {
  File_binary->setPattern(QString::fromStdString(list_pattern(Text_file_extension->text().toStdString())));
}

void Form_main::add_file(const QString& name, const QString& directory) {
  if (!file_list_.add({name.toStdString(), directory.toStdString()})) return;
  auto* item = new QTreeWidgetItem(ListView_binary, {name, directory});
  Q_UNUSED(item);
}

void Form_main::tell_passed_over() {
  if (const std::string text = file_list_.take_passed_over_message(); !text.empty()) op_->message(text);
}

void Form_main::File_binary_dblclick(const QString& name) {
  add_file(name, Dir_binary->path());
  tell_passed_over();
}

void Form_main::Command_add_selected_click() {
  for (const QString& name : File_binary->selectedFileNames()) add_file(name, Dir_binary->path());
  tell_passed_over();
}

void Form_main::Command_find_and_add_files_click() { add_found({{Dir_binary->path(), true}}); }

void Form_main::Command_clear_selected_click() {
  for (int i = ListView_binary->topLevelItemCount() - 1; i >= 0; --i) {
    QTreeWidgetItem* item = ListView_binary->topLevelItem(i);
    if (!item->isSelected()) continue;
    file_list_.remove(item->text(0).toStdString());
    delete ListView_binary->takeTopLevelItem(i);
  }
}

void Form_main::Command_clear_list_click() {
  ListView_binary->clear();
  file_list_.clear();
}

// ----- processing and the block tree -----

void Form_main::Command_process_files_click() {
  if (working_) return;
  working_ = true;
  const auto ticks = remembered_ticks();
  wait_for_spike_flags();
  op_->recordMessages(true);
  const ProcessingSummary run = process_files(model_, file_list_.files(), *op_, date_order_);
  op_->recordMessages(false);
  if (run.ran) {
    last_run_ =
        std::make_unique<QcRunFacts>(QcRunFacts{.date_order = run.date_order, .messages = op_->recordedMessages()});
    for (const DumpFile& file : file_list_.files()) last_run_->files.push_back(dump_path(file));
    // Said in the status bar below, and on the page.
    for (const std::string& said : {run.date_order_note, files_without_blocks_message(run)})
      if (!said.empty()) last_run_->messages.push_back(said);
    // The reading's hourglass has ended; a tree of thousands of nodes and the map take longer.
    op_->busy(true);
    restore_ticks(ticks);
    apply_base_clock_shift();
    spikes_ = SpikeFlags{};
    clear_graphs();
    clear_detail_boxes();
    fill_tree();
    if (map_view_) {
      map_view_->setSpikeFlags({});
      map_view_->setModel(&model_);  // a new run: its colours stretched anew
    }
    op_->busy(false);
    start_spike_flags();
    Frame_select_binary_files->hide();
    show_pane(Frame_main, TreeView_blocks);
    // Said in the status bar, not asked about: the run itself went well. It spans the whole
    // bar, as a panel would cut a long path short, and goes when the pane changes.
    // The order an automatic choice took, when not the regional one, comes first.
    std::string text = run.date_order_note;
    if (const std::string none = files_without_blocks_message(run); !none.empty())
      text += (text.empty() ? "" : ". ") + none;
    if (!text.empty()) statusBar()->showMessage(QString::fromStdString(text));
  }
  working_ = false;
  if (close_pending_) close();
}

std::vector<std::pair<std::string, bool>> Form_main::remembered_ticks() const {
  std::vector<std::pair<std::string, bool>> ticks;
  ticks.reserve(static_cast<std::size_t>(model_.node_count));
  for (std::int32_t n = 1; n <= model_.node_count; ++n) ticks.emplace_back(model_.node_key(n), model_.node(n).checked);
  return ticks;
}

void Form_main::restore_ticks(const std::vector<std::pair<std::string, bool>>& ticks) {
  if (ticks.empty()) return;
  std::unordered_map<std::string_view, bool> by_key;
  by_key.reserve(ticks.size());
  for (const auto& [key, checked] : ticks) by_key.emplace(key, checked);
  bool changed = false;
  for (std::int32_t n = 1; n <= model_.node_count; ++n) {
    const auto it = by_key.find(model_.node_key(n));
    Node& node = model_.node(n);
    if (it == by_key.end() || it->second == node.checked) continue;
    node.checked = it->second;  // each node as it was: a file's blocks carry their own ticks
    // Only a base session's tick changes the matching.
    const std::int32_t block = model_.node_block[static_cast<std::size_t>(n)];
    changed |= block > 0 && model_.block(block).kind == base_kind;
  }
  if (changed) scan_base_blocks(model_);
}

void Form_main::fill_tree() {
  filling_tree_ = true;
  TreeView_blocks->clear();
  std::vector<QTreeWidgetItem*>& items = tree_items_;
  items.assign(static_cast<std::size_t>(model_.node_count) + 1, nullptr);
  for (std::int32_t n = 1; n <= model_.node_count; ++n) {
    const Node& node = model_.node(n);
    QTreeWidgetItem* parent =
        node.parent > 0 && node.parent < n ? items[static_cast<std::size_t>(node.parent)] : nullptr;
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(TreeView_blocks);
    item->setText(0, QString::fromStdString(model_.node_text(n)));
    item->setData(0, node_role, n);
    item->setData(0, key_role, QString::fromStdString(model_.node_key(n)));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    dress_item(item, n);
    items[static_cast<std::size_t>(n)] = item;
  }
  TreeView_blocks->expandAll();
  fit_tree_column();
  widen_tree_for_names();
  // The first node is selected; nothing is shown until the operator clicks a node.
  if (TreeView_blocks->topLevelItemCount() > 0) TreeView_blocks->setCurrentItem(TreeView_blocks->topLevelItem(0));
  filling_tree_ = false;
}

void Form_main::fit_tree_column() {
  // The widest row is found by its text, depth and mark alone; only that row is measured
  // as the view draws it (check box, mark, margins).
  const QFontMetrics metrics(TreeView_blocks->font());
  const int indentation = TreeView_blocks->indentation();
  const int mark = TreeView_blocks->iconSize().isValid() ? TreeView_blocks->iconSize().width() : 16;
  QTreeWidgetItem* widest = nullptr;
  int widest_width = -1, widest_depth = 0;
  for (std::int32_t n = 1; n <= model_.node_count; ++n) {
    QTreeWidgetItem* item = tree_items_[static_cast<std::size_t>(n)];
    const int depth = model_.node(n).parent > 0 ? 1 : 0;
    const int width =
        metrics.horizontalAdvance(item->text(0)) + depth * indentation + (item->icon(0).isNull() ? 0 : mark);
    if (width > widest_width) widest = item, widest_width = width, widest_depth = depth;
  }
  if (!widest) return;
  const int decoration = TreeView_blocks->rootIsDecorated() ? 1 : 0;
  TreeView_blocks->setColumnWidth(
      0, (widest_depth + decoration) * indentation +
             TreeView_blocks->sizeHintForIndex(TreeView_blocks->indexFromItem(widest)).width());
}

void Form_main::widen_tree_for_names() {
  auto* splitter = qobject_cast<QSplitter*>(TreeView_blocks->parentWidget());
  const QList<int> sizes = splitter ? splitter->sizes() : QList<int>();
  if (sizes.size() != 2 || model_.node_count < 1) return;
  int needed = TreeView_blocks->columnWidth(0) + 2 * TreeView_blocks->frameWidth();
  if (model_.node_count * TreeView_blocks->sizeHintForRow(0) > TreeView_blocks->viewport()->height())
    needed += TreeView_blocks->verticalScrollBar()->sizeHint().width();
  const int take = std::min(needed - sizes[0], sizes[1] - (block_view_->designSize().width() - names_room));
  if (take > 0) splitter->setSizes({sizes[0] + take, sizes[1] - take});
}

std::vector<Form_main::NodeLook> Form_main::node_looks() const {
  std::vector<NodeLook> looks(static_cast<std::size_t>(model_.node_count) + 1);
  for (std::int32_t n = 1; n <= model_.node_count; ++n) {
    const Node& node = model_.node(n);
    const std::int32_t b = model_.node_block[static_cast<std::size_t>(n)];
    const Match match = static_cast<std::size_t>(b) < model_.match.size() ? model_.match_of(b) : Match{};
    looks[static_cast<std::size_t>(n)] = {node.checked, node.colour, match.base_block, match.base_cover};
  }
  return looks;
}

void Form_main::redress_changed_nodes(const std::vector<NodeLook>& before) {
  const std::vector<NodeLook> after = node_looks();
  filling_tree_ = true;
  for (std::size_t n = 1; n < after.size() && n < tree_items_.size(); ++n)
    if (n >= before.size() || !(after[n] == before[n])) dress_item(tree_items_[n], static_cast<std::int32_t>(n));
  filling_tree_ = false;
}

void Form_main::dress_item(QTreeWidgetItem* item, std::int32_t n) {
  const Node& node = model_.node(n);
  item->setCheckState(0, node.checked ? Qt::Checked : Qt::Unchecked);
  item->setData(0, Qt::ForegroundRole, node_text_brush(node.colour));
  item->setIcon(0, cover_mark(node.colour));
  item->setToolTip(0, QString::fromStdString(node_tooltip(model_, n, spikes_.reading)));
}

void Form_main::clear_detail_boxes() {
  for (QLineEdit* box : {Text_line, Text_num_readings, Text_time_start, Text_time_end}) box->clear();
  Label_spikes->clear();
}

void Form_main::TreeView_blocks_nodecheck(QTreeWidgetItem* item) {
  const int n = item->data(0, node_role).toInt();
  if (n < 1 || n > model_.node_count) return;
  const bool checked = item->checkState(0) == Qt::Checked;
  if (model_.node(n).checked == checked) return;  // another change of the item
  op_->busy(true);
  const std::vector<NodeLook> before = node_looks();
  set_node_checked(model_, n, checked);
  redress_changed_nodes(before);
  if (map_view_) map_view_->refresh();
  op_->busy(false);
}

// Shows the clicked node's block: the four text boxes and the three graphs; graph 0 spans
// all three places for a base block or a file node.
void Form_main::TreeView_blocks_nodeclick(QTreeWidgetItem* item) {
  const int n = item->data(0, node_role).toInt();
  if (n < 1 || n > model_.node_count) return;
  model_.select(n);
  const BlockView view = show_node(model_, n, *op_, spikes_.reading);
  Text_line->setText(QString::fromStdString(view.line));
  Label_spikes->setText(QString::fromStdString(view.spikes));
  Text_num_readings->setText(QString::fromStdString(view.num_readings));
  const auto dated = [](const std::string& date, const std::string& time) {
    return QString::fromStdString(time.empty() ? time : date + " " + time);
  };
  Text_time_start->setText(dated(view.date_start, view.time_start));
  Text_time_end->setText(dated(view.date_end, view.time_end));
  clear_graphs();
  base_view_ = view.base_view;
  block_view_->place(scan_[0],
                     QRect(0, graph_top[0] - view_top, graph_width, base_view_ ? graph_tall_height : graph_height),
                     base_view_ ? Anchors{0, 0, 1, 1} : Anchors{0, 0, 1, 1.0 / 3.0});
  if (base_view_) scan_[0]->raise();
  const bool uncovered = !base_view_ && !view.block.empty() && view.shown_base_block <= 0;
  Label_no_cover->setVisible(uncovered);
  for (vellum32::Vellum32* g : {scan_[1], scan_[2]}) g->setVisible(!uncovered);
  block_graphs_->show(view);
}

void Form_main::clear_graphs() {
  block_graphs_->clear();
  Label_no_cover->hide();
  for (vellum32::Vellum32* g : {scan_[1], scan_[2]}) g->show();
}

void Form_main::Vellum32_scan_mousemove(int index, std::int32_t inview, float xp, float yp) {
  show_pointer(*op_, index, base_view_, inview, xp, yp);
}

void Form_main::Command_done_select_files_click() { close(); }

void Form_main::Command_done_process_click() {
  Frame_main->hide();
  show_pane(Frame_select_binary_files, Drive_binary);
}

void Form_main::show_pane(QWidget* pane, QWidget* first_control) {
  statusBar()->clearMessage();
  pane->show();
  pane->raise();
  first_control->setFocus();
}

void Form_main::setDateOrder(DateOrder order) {
  date_order_ = order;
  for (std::size_t i = 0; i < date_orders.size(); ++i)
    if (date_orders[i].first == order && Combo_date_order) Combo_date_order->setCurrentIndex(static_cast<int>(i));
}

bool Form_main::eventFilter(QObject* watched, QEvent* e) {
  if (watched == Frame_select_binary_files && (e->type() == QEvent::DragEnter || e->type() == QEvent::Drop)) {
    auto* drop = static_cast<QDropEvent*>(e);
    const QMimeData* data = drop->mimeData();
    if (!data || !data->hasUrls() || working_) return false;
    drop->acceptProposedAction();
    if (e->type() == QEvent::Drop) add_dropped(data->urls());
    return true;
  }
  if (e->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, e);
  const int key = static_cast<QKeyEvent*>(e)->key();
  // Enter in a list or tree is that view's own (a folder opens); it reaches the pane anyway.
  const bool in_view = qobject_cast<QAbstractItemView*>(QApplication::focusWidget()) != nullptr;
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !in_view) {
    const char* default_button = watched == Frame_export ? "Command_save_data_0" : "Command_process_files";
    if (auto* b = static_cast<QWidget*>(watched)->findChild<QPushButton*>(QLatin1String(default_button))) {
      b->click();
      return true;
    }
  }
  if (key == Qt::Key_Escape && watched == Frame_export) {
    Command_done_export_click();
    return true;
  }
  return QMainWindow::eventFilter(watched, e);
}

// ----- export -----

void Form_main::Command_export_data_click() {
  panes_->place(Frame_export, QRect(0, 0, pane_width, pane_height), {0, 0, 1, 1});
  // The folder of the last export when one is remembered between runs, else the file folder.
  const QString folder =
      !export_folder_.isEmpty() && QFileInfo(export_folder_).isDir() ? export_folder_ : Dir_binary->path();
  Drive_xyz->setDrive(Drive_xyz->driveOf(folder));
  Dir_xyz->setPath(folder);
  Check_export_all->setChecked(false);
  Check_apply_corrections->setChecked(true);
  Check_export_base_station_data->setChecked(false);
  Check_leave_out_spikes->setChecked(false);
  Text_xyz_name->clear();
  // A first guess the operator may change: the base field of the first base session.
  if (Text_base_field->text().isEmpty())
    if (const auto value = header_base_field(model_))
      Text_base_field->setText(QString::fromStdString(shortest_text(*value)));
  op_->status(1, "Exporting Mag Data");
  for (int panel = 2; panel <= 4; ++panel) op_->status(panel, "");
  show_export_path();
  // The block pane is out of reach of the keys while the export pane covers it.
  Frame_main->hide();
  show_pane(Frame_export, Drive_xyz);
}

void Form_main::Command_done_export_click() {
  Frame_export->hide();
  show_pane(Frame_main, TreeView_blocks);
}

void Form_main::Command_survey_map_click() {
  if (!map_window_) {
    map_window_ = new QMainWindow(this, Qt::Window);
    map_window_->setObjectName(QStringLiteral("frmSurveyMap"));
    map_window_->setWindowTitle(QStringLiteral("Survey Map"));
    map_view_ = new SurveyMapView(map_window_);
    map_window_->setCentralWidget(map_view_);
    QStatusBar* bar = map_window_->statusBar();
    bar->setObjectName(QStringLiteral("StatusBar_map"));
    connect(map_view_, &SurveyMapView::pointerText, bar, [bar](const QString& text) { bar->showMessage(text); });
    connect(map_view_, &SurveyMapView::readingClicked, this,
            [this](std::int32_t block) { map_reading_clicked(block); });
    connect(map_view_, &SurveyMapView::mapFailed, this,
            [this](const QString& description) { op_->message(description.toStdString()); });
    map_window_->resize(800, 640);
    map_view_->setSpikeFlags(spikes_.reading);
    map_view_->setModel(&model_);
  }
  map_window_->show();
  map_window_->raise();
  map_window_->activateWindow();
}

// ----- spike flags and the base clock -----

bool Form_main::spikeFlagsPending() const { return spike_job_ && spike_job_->running; }

void Form_main::start_spike_flags() {
  if (!spike_job_) {
    spike_job_ = std::make_unique<SpikeJob>();
    connect(&spike_job_->watcher, &QFutureWatcher<SpikeJob::Outcome>::finished, this, [this] { spike_flags_done(); });
  }
  spike_job_->running = true;
  spike_job_->busy_shown = false;
  spike_job_->watcher.setFuture(QtConcurrent::run([model = &model_] {
    SpikeJob::Outcome outcome;
    try {
      outcome.flags = flag_spikes(*model);
    } catch (const std::exception& e) {
      outcome.failure = e.what();
    }
    return outcome;
  }));
  // Quick work shows no hourglass.
  QTimer::singleShot(100, this, [this, job = spike_job_.get()] {
    if (!job->running || job->busy_shown) return;
    job->busy_shown = true;
    op_->busy(true);
  });
}

void Form_main::wait_for_spike_flags() {
  if (!spikeFlagsPending()) return;
  spike_job_->watcher.waitForFinished();
  spike_job_->running = false;
  if (std::exchange(spike_job_->busy_shown, false)) op_->busy(false);
}

void Form_main::spike_flags_done() {
  // A job dropped by wait_for_spike_flags ends here too.
  if (!spikeFlagsPending() || !spike_job_->watcher.isFinished()) return;
  SpikeJob::Outcome outcome = spike_job_->watcher.result();
  spike_job_->running = false;
  if (std::exchange(spike_job_->busy_shown, false)) op_->busy(false);
  if (!outcome.failure.empty()) {
    op_->message("An error occurred while flagging spikes: " + outcome.failure);
    return;
  }
  spikes_ = std::move(outcome.flags);
  filling_tree_ = true;  // a tooltip is no tick
  for (std::int32_t n = 1; n <= model_.node_count && static_cast<std::size_t>(n) < tree_items_.size(); ++n)
    tree_items_[static_cast<std::size_t>(n)]->setToolTip(
        0, QString::fromStdString(node_tooltip(model_, n, spikes_.reading)));
  filling_tree_ = false;
  // The shown block gets its marks; a block without any keeps its zoom.
  const std::int32_t shown = model_.selected_block;
  if (shown > 0 && (block_spikes(model_, shown, spikes_.reading) > 0 ||
                    (static_cast<std::size_t>(shown) < model_.match.size() &&
                     block_spikes(model_, model_.match_of(shown).base_block, spikes_.reading) > 0)))
    show_selected_node();
  if (map_view_) map_view_->setSpikeFlags(spikes_.reading);
}

void Form_main::show_selected_node() {
  const std::int32_t n = model_.selected_node;
  if (n < 1 || n > model_.node_count || static_cast<std::size_t>(n) >= tree_items_.size()) return;
  TreeView_blocks_nodeclick(tree_items_[static_cast<std::size_t>(n)]);
}

void Form_main::apply_base_clock_shift() {
  const std::int64_t seconds = Spin_base_clock_shift->value() - model_.base_shift_seconds;
  if (seconds == 0) return;
  try {
    shift_base_times(model_, seconds);
  } catch (const std::exception& e) {
    op_->message(std::string("An error occurred while moving the base times: ") + e.what());
  }
}

void Form_main::Spin_base_clock_shift_change() {
  // Before a run, or during one, the run applies the field's value itself.
  if (working_ || model_.block_count == 0 || Spin_base_clock_shift->value() == model_.base_shift_seconds) return;
  working_ = true;
  op_->busy(true);
  wait_for_spike_flags();
  const std::vector<NodeLook> before = node_looks();
  apply_base_clock_shift();
  redress_changed_nodes(before);
  show_selected_node();
  if (map_view_) map_view_->setModel(&model_);  // every corrected value may have moved
  op_->busy(false);
  start_spike_flags();  // a base block's flags follow its readings in time order
  working_ = false;
  if (close_pending_) close();
}

void Form_main::map_reading_clicked(std::int32_t block) {
  if (block < 1 || block > model_.block_count) return;
  const int node = model_.block(block).node;
  for (QTreeWidgetItemIterator it(TreeView_blocks); *it; ++it) {
    if ((*it)->data(0, node_role).toInt() != node) continue;
    filling_tree_ = true;  // shown once, below
    TreeView_blocks->setCurrentItem(*it);
    filling_tree_ = false;
    TreeView_blocks->scrollToItem(*it);
    TreeView_blocks_nodeclick(*it);
    if (!Frame_export->isVisible()) {
      statusBar()->clearMessage();
      Frame_select_binary_files->hide();
      Frame_main->show();
    }
    return;
  }
}

void Form_main::add_dropped(const QList<QUrl>& urls) {
  std::vector<std::pair<QString, bool>> items;
  for (const QUrl& url : urls) {
    if (!url.isLocalFile()) continue;
    const QFileInfo info(url.toLocalFile());
    if (info.isDir())
      items.emplace_back(clean_directory(info.absoluteFilePath()), true);
    else if (info.isFile())
      items.emplace_back(info.absoluteFilePath(), false);
  }
  add_found(items);
}

void Form_main::add_found(const std::vector<std::pair<QString, bool>>& items) {
  if (working_) return;
  working_ = true;
  op_->busy(true);
  const std::string pattern = search_pattern(Text_file_extension->text().toStdString());
  for (const auto& [path, folder] : items) {
    if (folder) {
      find_files(path.toStdString(), pattern, *op_, [this](const std::string& name, const std::string& dir) {
        add_file(QString::fromStdString(name), QString::fromStdString(dir));
      });
    } else {
      const QFileInfo file(path);
      add_file(file.fileName(), clean_directory(file.absolutePath()));
    }
  }
  op_->busy(false);
  tell_passed_over();
  working_ = false;
  if (close_pending_) close();
}

void Form_main::keepSettingsIn(QSettings* settings, bool restore_folder) {
  settings_ = settings;
  if (!settings_) return;
  if (const QSize size = settings_->value(QStringLiteral("window/size")).toSize(); size.isValid()) resize(size);
  const QString folder = settings_->value(QStringLiteral("files/folder")).toString();
  if (restore_folder && !folder.isEmpty() && QFileInfo(folder).isDir()) {
    Drive_binary->setDrive(Drive_binary->driveOf(folder));
    Dir_binary->setPath(folder);
  }
  if (settings_->contains(QStringLiteral("files/extension")))
    Text_file_extension->setText(settings_->value(QStringLiteral("files/extension")).toString());
  if (const int entry = Combo_date_order->findData(settings_->value(QStringLiteral("files/date_order"), -1).toInt());
      entry >= 0)
    Combo_date_order->setCurrentIndex(entry);
  export_folder_ = settings_->value(QStringLiteral("export/folder")).toString();
}

void Form_main::save_settings() {
  if (!settings_) return;
  settings_->setValue(QStringLiteral("window/size"), size());
  settings_->setValue(QStringLiteral("files/folder"), Dir_binary->path());
  settings_->setValue(QStringLiteral("files/extension"), Text_file_extension->text());
  settings_->setValue(QStringLiteral("files/date_order"), Combo_date_order->currentData());
  if (!export_folder_.isEmpty()) settings_->setValue(QStringLiteral("export/folder"), export_folder_);
  settings_->sync();
}

void Form_main::show_export_path() {
  if (Text_xyz_name->text().trimmed().isEmpty()) {
    Label_xyz_path->setText(QStringLiteral("Writes into %1").arg(Dir_xyz->path()));
    return;
  }
  Label_xyz_path->setText(QStringLiteral("Writes %1")
                              .arg(QString::fromStdString(export_target_path(Dir_xyz->path().toStdString(),
                                                                             Text_xyz_name->text().toStdString()))));
}

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
  request.leave_out_spikes = Check_leave_out_spikes->isChecked();
  working_ = true;
  if (command_save_data(model_, request, index, *op_) == ExportResult::complete && settings_)
    export_folder_ = Dir_xyz->path();
  working_ = false;
  if (close_pending_) close();
}

// ----- menus -----

void Form_main::menu_exit_click() { close(); }

void Form_main::menu_qc_report_click() {
  if (working_) return;
  if (!last_run_) {
    op_->message("There is no QC report before the dump files are processed");
    return;
  }
  vellum32::ControlOperator dialogs;
  const std::string path =
      (file_asker_ ? *file_asker_ : dialogs)
          .SaveFileName(this, QStringLiteral("Enter name of QC report file"),
                        QStringLiteral("HTML files (*.html);;All files (*)"), QStringLiteral("html"))
          .trimmed()
          .toStdString();
  if (path.empty()) return;
  working_ = true;
  op_->busy(true);
  try {
    // The model stays as it is meanwhile: the events let run here leave out the person's input.
    std::future<QcReport> gathering =
        std::async(std::launch::async, [this, run = *last_run_] { return gather_qc_report(model_, run); });
    while (gathering.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) op_->let_events_run();
    const QcReport report = gathering.get();
    op_->busy(false);
    write_qc_report(report, path, *op_);
  } catch (const std::exception& e) {
    op_->busy(false);
    op_->message("The QC report could not be written to " + path + ": " + e.what());
  }
  working_ = false;
  if (close_pending_) close();
}

// The short guide of Help > Using Corvane: the three steps, the colours of the tree and
// where the program's settings come from.
void Form_main::menu_using_click() {
  if (auto* open = findChild<QDialog*>(QStringLiteral("frmUsing"))) {
    open->raise();
    open->activateWindow();
    return;
  }
  auto* page = new QDialog(this);
  page->setObjectName(QStringLiteral("frmUsing"));
  page->setWindowTitle(QStringLiteral("Using Corvane"));
  page->setAttribute(Qt::WA_DeleteOnClose);
  auto* text = new QTextBrowser(page);
  text->setObjectName(QStringLiteral("Text_using"));
  text->setHtml(
      QStringLiteral(
          "<h3>1. Choose the dump files</h3>"
          "<p>Pick a folder, type the file extension (<i>dat</i>, <i>.dat</i> and <i>*.dat</i> are the same), then "
          "double-click files, or select them and press <b>Add Selected Files</b>; <b>Find and Add All Files</b> also "
          "searches the folders below. Two files of the same name cannot both be listed (the name is the file's key); "
          "Corvane says which files it passed over. Check the <b>Date Order</b> before processing.</p>"
          "<h3>2. Process and inspect</h3>"
          "<p><b>Process Selected File</b> reads the list into a tree: one node per file and per block (a survey line "
          "or a base session). Click a node to see its readings: raw, base and corrected for a line, the base "
          "readings for a base session. Untick a block to leave it out; unticking a file leaves out all of its blocks. "
          "Unticking a base session matches the lines again.</p>"
          "<p>The lines of the tree show how a base session covers them, by colour and by mark:</p>"
          "<ul><li>&#9679; green: one base session covers the whole line</li>"
          "<li>&#9680; blue: base sessions cover only part of it; the larger part is used</li>"
          "<li>&#8856; red: no base session covers it; it is not exported unless <b>Export All Reading Data</b> is "
          "ticked</li></ul>"
          "<p>The tooltip of a line names its base session and the share it covers. <b>Survey Map</b> shows every "
          "ticked line in place, coloured by its corrected value (grey: no base value); click a dot to show its "
          "line.</p>"
          "<p>Readings that stand out from their neighbours are flagged as spikes: red marks on the graphs, a count in "
          "the tooltip, <b>Hide spikes</b> on the map. A flag never changes a reading. A base clock set wrong is "
          "mended with <b>Base clock shift (s)</b> on the file pane. <b>File &gt; QC Report</b> writes the day's "
          "checks as one page to mail.</p>"
          "<h3>3. Export</h3>"
          "<p><b>Export Data</b> opens the export pane. Choose the folder and type a file name: the pane shows the "
          "whole path. The base field value (first guessed from the base session's header) is added to the corrected "
          "readings. <b>Export XYZ Data</b> (Enter) writes a column file, <b>Export Oasis Database</b> a database. An "
          "existing file is replaced only when you agree, and only once the new one is complete. <b>Leave out "
          "spikes</b> keeps flagged base readings out of the base values and writes flagged line readings without a "
          "corrected value. Esc goes back.</p>"
          "<h3>Settings</h3>"
          "<p>Dates in the dumps are read in the order of the system's regional settings (LC_TIME, LC_ALL or LANG) "
          "unless another order is chosen on the file pane.</p>") +
      (settings_
           ? QStringLiteral("<p>The window's size, the last folder, the file extension, the Date "
                            "Order and the export folder are kept between runs in <tt>%1</tt> (start Corvane with "
                            "<tt>--no-settings</tt> to keep nothing).</p>")
                 .arg(settings_->fileName().toHtmlEscaped())
           : QStringLiteral("<p>This window keeps no settings between runs.</p>")));
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(text);
  page->resize(560, 520);
  page->show();
}

void Form_main::menu_about_click() {
  auto* about = new frmAbout(*op_, this);
  about->setAttribute(Qt::WA_DeleteOnClose);
  about->setWindowModality(Qt::ApplicationModal);
  about->show();
}

}  // namespace corvane::ui
