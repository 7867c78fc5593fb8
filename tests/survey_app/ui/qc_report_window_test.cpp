// File > QC Report... writes the page corvane-batch --qc-report writes for the same files.
#include <gtest/gtest.h>

#include <vellum32/control_operator.h>
#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <string>

#include "batch_runner.h"
#include "recording_operator.h"
#include "temp_dir.h"
#include "ui/file_choosers.h"
#include "ui/form_main.h"

namespace corvane::ui {
namespace {

namespace fs = std::filesystem;

// Names the file of the save-file dialog.
struct FileAsker : vellum32::ControlOperator {
  QString file_name;
  QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return file_name; }
};

TEST(QcReportWindow, TheMenuWritesTheBatchToolsPage) {
  test::TempDir tmp;
  for (const char* f : {"envimag_0709.dat", "mp2_0710.dat"})
    fs::copy_file(fs::path(CORVANE_SAMPLES_DIR) / f, tmp.path() / f);
  test::RecordingOperator op;
  Form_main w(QString::fromStdString(tmp.dir()), &op);
  w.setDateOrder(DateOrder::mdy);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  auto* extension = w.findChild<QLineEdit*>(QStringLiteral("Text_file_extension"));
  extension->selectAll();
  QTest::keyClicks(extension, QStringLiteral("dat"));
  auto* files = w.findChild<FileChooser*>(QStringLiteral("File_binary"));
  files->setFocus();
  QTest::keyClick(files, Qt::Key_A, Qt::ControlModifier);
  QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("Command_add_selected")), Qt::LeftButton);
  QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("Command_process_files")), Qt::LeftButton);
  ASSERT_GT(w.model().block_count, 0);

  FileAsker asker;
  asker.file_name = QString::fromStdString((tmp.path() / "window.html").string());
  w.setFileAsker(&asker);
  op.messages.clear();
  w.findChild<QAction*>(QStringLiteral("menu_qc_report"))->trigger();
  EXPECT_EQ(op.messages, std::vector<std::string>{"QC report written to " + asker.file_name.toStdString()});
  EXPECT_EQ(op.busy_depth, 0);

  const test::Result batch = test::run_batch("--date-order mdy --qc-report " + tmp.dir() + "/batch.html " + tmp.dir() +
                                                 "/envimag_0709.dat " + tmp.dir() + "/mp2_0710.dat",
                                             tmp);
  ASSERT_EQ(batch.code, 0) << batch.err;
  const std::string page = tmp.read("window.html");
  EXPECT_NE(page.find("envimag_0709.dat"), std::string::npos);
  EXPECT_TRUE(page == tmp.read("batch.html")) << "the pages differ";
}

}  // namespace
}  // namespace corvane::ui
