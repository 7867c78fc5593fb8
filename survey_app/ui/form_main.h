#pragma once
// Form_main: the program's working window. Three panes of the same size in the same
// place: choosing dump files (Frame_select_binary_files), the blocks read from them
// (Frame_main) and, over the blocks, the export pane (Frame_export).
//
// The window shows, asks and forwards: reading, matching and exporting are the survey
// core's; the recursive file search is in file_search.h.
#include <QMainWindow>
#include <QString>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/survey_model.h"
#include "qc/spikes.h"
#include "reader/file_list.h"
#include "util/date_time.h"
#include "util/operator.h"

class QAction;
class QCheckBox;
class QSettings;
class QUrl;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

namespace vellum32 {
class ControlOperator;
class Vellum32;
}  // namespace vellum32

namespace corvane {
class SurveyMapView;
struct QcRunFacts;
}  // namespace corvane

namespace corvane::ui {

class AnchoredPane;
class BlockGraphs;
class DirChooser;
class DriveChooser;
class FileChooser;
class WindowOperator;

class Form_main : public QMainWindow {
  Q_OBJECT
public:
  // Starts in `start_directory`. Messages, questions, the beep and the hourglass go to
  // `op` when one is given (tests pass a recording operator), otherwise to message boxes.
  explicit Form_main(const QString& start_directory, Operator* op = nullptr, QWidget* parent = nullptr);
  ~Form_main() override;

  // The day/month order of the dump files' dates; automatic unless set, here or with the
  // file pane's date order box.
  void setDateOrder(DateOrder order);
  DateOrder dateOrder() const { return date_order_; }

  // Keeps the window's size, the last file folder, the file extension, the date order (the
  // chosen entry's order) and the export folder in `settings` (not owned): restored now (the
  // file folder only with `restore_folder`), saved when the window closes. Without a call
  // nothing is kept between runs; an order set afterwards wins over the kept one.
  void keepSettingsIn(QSettings* settings, bool restore_folder);

  const SurveyModel& model() const { return model_; }
  // The spike flags of the model's readings, worked out off the window's thread after each
  // processing run and base clock shift; empty until then.
  const SpikeFlags& spikeFlags() const { return spikes_; }
  bool spikeFlagsPending() const;
  // The "Survey Map" window, once opened.
  SurveyMapView* surveyMap() const { return map_view_; }
  // Who is asked for the QC report's file; not owned, null for Qt's save-file dialog.
  void setFileAsker(vellum32::ControlOperator* person) { file_asker_ = person; }
  // The graphs of Frame_main, the control array Vellum32_scan with indexes 0 to 2.
  vellum32::Vellum32* Vellum32_scan(int index) const { return scan_.at(static_cast<std::size_t>(index)); }

protected:
  void closeEvent(QCloseEvent* e) override;
  // Enter and Esc that no control of a pane took: the pane's default button, and back.
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  void build_menus();
  void build_status_bar();
  void build_select_pane();
  void build_main_pane();
  void build_export_pane();
  void place_panes();

  // Event handlers, named after their controls.
  void Drive_binary_change();
  void Dir_binary_change();
  void Text_file_extension_change();
  void File_binary_dblclick(const QString& name);
  void Command_add_selected_click();
  void Command_find_and_add_files_click();
  void Command_clear_selected_click();
  void Command_clear_list_click();
  void Command_process_files_click();
  void Command_done_select_files_click();
  void Command_done_process_click();
  void Command_export_data_click();
  void Command_done_export_click();
  void Command_survey_map_click();
  // Moves the base times to the field's shift and shows the new matching.
  void Spin_base_clock_shift_change();
  // The field's shift on a freshly read model.
  void apply_base_clock_shift();
  // Starts working out the spike flags of the model, which must not change meanwhile.
  void start_spike_flags();
  void spike_flags_done();
  // Before the model changes: waits for the flags being worked out and drops them.
  void wait_for_spike_flags();
  // Shows the selected node again, after its data changed.
  void show_selected_node();
  // A click on a dot of the map: its block's node is selected and shown.
  void map_reading_clicked(std::int32_t block);
  // Files and folders dropped onto the file pane.
  void add_dropped(const QList<QUrl>& urls);
  // One action that adds files (false) and the pattern's files in folders and below (true).
  void add_found(const std::vector<std::pair<QString, bool>>& items);
  void save_settings();
  void Command_save_data_click(int index);
  void Drive_xyz_change();
  void menu_exit_click();
  // Writes the last processing run's QC report to a file the operator names.
  void menu_qc_report_click();
  void menu_about_click();
  void menu_using_click();
  void TreeView_blocks_nodeclick(QTreeWidgetItem* item);
  void TreeView_blocks_nodecheck(QTreeWidgetItem* item);
  void Vellum32_scan_mousemove(int index, std::int32_t inview, float xp, float yp);
  void clear_graphs();

  // Appends a file to ListView_binary unless an item of that name is listed.
  void add_file(const QString& name, const QString& directory);
  // After an action that adds files: the operator hears of those passed over for their name.
  void tell_passed_over();
  void fill_tree();
  // The tree's one column as wide as its widest node (its text, mark and depth), measured
  // once per processing run so that a tick measures nothing.
  void fit_tree_column();
  // Gives the tree room for its longest node text, as far as the block's view can spare
  // it whole; longer names scroll.
  void widen_tree_for_names();
  // What a node's item shows: its tick, its cover colour and mark, its tooltip's match.
  struct NodeLook {
    bool checked = false;
    std::int32_t colour = no_colour;
    std::int32_t base_block = 0;
    std::int32_t base_cover = 0;
    bool operator==(const NodeLook&) const = default;
  };
  std::vector<NodeLook> node_looks() const;
  // Dresses again only the items whose node looks different from `before`.
  void redress_changed_nodes(const std::vector<NodeLook>& before);
  // A tree item's colour, cover mark and tooltip from its node.
  void dress_item(QTreeWidgetItem* item, std::int32_t node);
  // The ticks of the last run's nodes by key, and after a new run those of the nodes that
  // are still there (same file, same block number), matched once.
  std::vector<std::pair<std::string, bool>> remembered_ticks() const;
  void restore_ticks(const std::vector<std::pair<std::string, bool>>& ticks);
  void clear_detail_boxes();
  void show_export_path();
  void show_pane(QWidget* pane, QWidget* first_control);

  SurveyModel model_;
  SpikeFlags spikes_;
  struct SpikeJob;
  std::unique_ptr<SpikeJob> spike_job_;
  DateOrder date_order_;
  std::unique_ptr<Operator> own_op_;
  std::unique_ptr<WindowOperator> op_;
  bool working_ = false;        // a long handler is running
  bool close_pending_ = false;  // the window was asked to close meanwhile
  bool filling_tree_ = false;
  DumpFileList file_list_;
  QSettings* settings_ = nullptr;
  QString export_folder_;  // the folder of the last export, when settings are kept
  QMainWindow* map_window_ = nullptr;
  std::unique_ptr<QcRunFacts> last_run_;  // of the last processing run, for its QC report
  vellum32::ControlOperator* file_asker_ = nullptr;
  SurveyMapView* map_view_ = nullptr;

  AnchoredPane* panes_ = nullptr;
  AnchoredPane* Frame_select_binary_files = nullptr;
  AnchoredPane* Frame_main = nullptr;
  AnchoredPane* Frame_export = nullptr;
  std::array<QLabel*, 4> panels_{};

  DriveChooser* Drive_binary = nullptr;
  DirChooser* Dir_binary = nullptr;
  FileChooser* File_binary = nullptr;
  QLineEdit* Text_file_extension = nullptr;
  QComboBox* Combo_date_order = nullptr;
  QSpinBox* Spin_base_clock_shift = nullptr;
  QTreeWidget* ListView_binary = nullptr;

  QTreeWidget* TreeView_blocks = nullptr;
  std::vector<QTreeWidgetItem*> tree_items_;  // by node number; row 0 unused
  AnchoredPane* block_view_ = nullptr;        // the text boxes, graphs and buttons right of the tree
  std::array<vellum32::Vellum32*, 3> scan_{};
  bool base_view_ = false;  // graph 0 spans the three places
  BlockGraphs* block_graphs_ = nullptr;
  QLabel* Label_no_cover = nullptr;
  QLineEdit* Text_line = nullptr;
  QLineEdit* Text_num_readings = nullptr;
  QLineEdit* Text_time_start = nullptr;
  QLineEdit* Text_time_end = nullptr;
  QLabel* Label_spikes = nullptr;

  DriveChooser* Drive_xyz = nullptr;
  DirChooser* Dir_xyz = nullptr;
  QLineEdit* Text_xyz_name = nullptr;
  QLabel* Label_xyz_path = nullptr;
  QLineEdit* Text_base_field = nullptr;
  QCheckBox* Check_apply_corrections = nullptr;
  QCheckBox* Check_export_all = nullptr;
  QCheckBox* Check_export_base_station_data = nullptr;
  QCheckBox* Check_leave_out_spikes = nullptr;
};

}  // namespace corvane::ui
