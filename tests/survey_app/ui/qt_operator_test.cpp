// The window's operator: message texts, the hourglass and the status panels.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include "recording_operator.h"
#include "ui/qt_operator.h"

namespace corvane::ui {
namespace {

TEST(QtOperatorTest, CarriageReturnStartsANewLine) {
  EXPECT_EQ(shown_text("one\rtwo"), QStringLiteral("one\ntwo"));
  EXPECT_EQ(shown_text("one\r\ntwo\r"), QStringLiteral("one\ntwo\n"));
  EXPECT_EQ(shown_text("plain"), QStringLiteral("plain"));
}

TEST(QtOperatorTest, DefaultPointerEndsEveryHourglass) {
  QWidget parent;
  QtOperator op(&parent);
  op.busy(true);
  op.busy(true);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  op.busy(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  op.busy(false);  // already the default
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtOperatorTest, EnterOnAQuestionCancels) {
  QWidget parent;
  QtOperator op(&parent);
  QTimer::singleShot(0, [] {
    QWidget* box = QApplication::activeModalWidget();
    if (box) QTest::keyClick(box, Qt::Key_Return);
  });
  EXPECT_FALSE(op.ask_ok_cancel("The specified data file already exists. Overwrite?"));
}

TEST(WindowOperatorTest, StatusGoesToThePanelsAndOn) {
  QLabel p1, p2, p3, p4;
  test::RecordingOperator rec;
  WindowOperator op(rec, {&p1, &p2, &p3, &p4});
  op.status(1, "Exporting Mag Data");
  op.status(4, "Total 12");
  op.status(5, "nowhere");
  EXPECT_EQ(p1.text(), QStringLiteral("Exporting Mag Data"));
  EXPECT_EQ(p2.text(), QString());
  EXPECT_EQ(p4.text(), QStringLiteral("Total 12"));
  op.message("m");
  op.beep();
  rec.answers = {true};
  EXPECT_TRUE(op.ask_ok_cancel("q"));
  EXPECT_EQ(rec.events, (std::vector<std::string>{"status 1: Exporting Mag Data", "status 4: Total 12",
                                                  "status 5: nowhere", "message: m", "beep", "ask: q"}));
}

}  // namespace
}  // namespace corvane::ui
