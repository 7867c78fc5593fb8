// The about box.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "recording_operator.h"
#include "temp_dir.h"
#include "ui/frm_about.h"

namespace corvane::ui {
namespace {

namespace fs = std::filesystem;
using test::RecordingOperator;
using test::TempDir;

TEST(AboutTest, VersionShowsMajorMinorRevision) {
  EXPECT_EQ(version_text(QStringLiteral("1.1.0.1")), QStringLiteral("Version 1.1.1"));
  EXPECT_EQ(version_text(QStringLiteral("2.7.3.14")), QStringLiteral("Version 2.7.14"));
  EXPECT_EQ(version_text(QStringLiteral("3.2")), QStringLiteral("Version 3.2.0"));
  EXPECT_EQ(program_version(), QStringLiteral(CORVANE_VERSION_EXPECTED));
}

TEST(AboutTest, ShowsTitleVersionAndPicture) {
  RecordingOperator op;
  frmAbout about(op);
  EXPECT_EQ(about.windowTitle(), QStringLiteral("About Corvane"));
  auto* title = about.findChild<QLabel*>(QStringLiteral("lblTitle"));
  auto* version = about.findChild<QLabel*>(QStringLiteral("lblVersion"));
  auto* image = about.findChild<QLabel*>(QStringLiteral("Image1"));
  ASSERT_TRUE(title && version && image);
  EXPECT_EQ(title->text(), QStringLiteral("Corvane"));
  EXPECT_EQ(version->text(), QStringLiteral("Version 1.1.1"));
  EXPECT_EQ(image->pixmap().size(), QSize(233, 233));
  auto* ok = about.findChild<QPushButton*>(QStringLiteral("cmdOK"));
  auto* sys = about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"));
  ASSERT_TRUE(ok && sys);
  EXPECT_EQ(ok->text(), QStringLiteral("OK"));
  EXPECT_EQ(sys->text(), QStringLiteral("&System Info..."));

  about.show();
  QTest::mouseClick(ok, Qt::LeftButton);
  EXPECT_FALSE(about.isVisible());
  EXPECT_TRUE(op.events.empty());
}

TEST(AboutTest, PictureIsDrawnNotBlank) {
  const QImage img = about_picture();
  ASSERT_EQ(img.size(), QSize(233, 233));
  QSet<QRgb> colours;
  for (int y = 0; y < img.height(); y += 7)
    for (int x = 0; x < img.width(); x += 7) colours.insert(img.pixel(x, y));
  EXPECT_GT(colours.size(), 20);
}

TEST(AboutTest, WithoutAToolTheButtonSaysSo) {
  TempDir empty;
  RecordingOperator op;
  frmAbout about(op);
  about.setToolDirectories({QString::fromStdString(empty.dir())});
  about.show();
  QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo")), Qt::LeftButton);
  EXPECT_EQ(op.messages, std::vector<std::string>{"System Information Is Unavailable At This Time"});
}

TEST(AboutTest, FindsTheFirstInstalledTool) {
  TempDir bin;
  for (const char* name : {"kinfocenter", "xfce4-taskmanager"}) {
    const std::string p = bin.write(name, "#!/bin/sh\nexit 0\n");
    fs::permissions(p, fs::perms::owner_all);
  }
  bin.write("hardinfo", "not executable\n");
  const QString dir = QString::fromStdString(bin.dir());
  EXPECT_EQ(find_system_info_tool(system_info_tools(), {dir}), dir + QStringLiteral("/kinfocenter"));
  EXPECT_EQ(find_system_info_tool({QStringLiteral("none-such")}, {dir}), QString());
}

TEST(AboutTest, StartsTheToolWithoutWaiting) {
  TempDir bin;
  const fs::path mark = bin.path() / "started";
  const std::string p = bin.write("hardinfo", "#!/bin/sh\necho started > '" + mark.string() + "'\n");
  fs::permissions(p, fs::perms::owner_all);
  RecordingOperator op;
  frmAbout about(op);
  about.setToolDirectories({QString::fromStdString(bin.dir())});
  about.show();
  QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo")), Qt::LeftButton);
  EXPECT_TRUE(op.events.empty());
  // The tool runs on its own; wait for its mark.
  EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(mark); }, 20000));
}

}  // namespace
}  // namespace corvane::ui
