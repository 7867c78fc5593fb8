#include "ui/frm_about.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

#include <cmath>

#include "ui/qt_operator.h"

#ifndef CORVANE_VERSION
#define CORVANE_VERSION "0.0.0.0"
#endif

namespace corvane::ui {

QString version_text(const QString& version) {
  const QStringList parts = version.split(QLatin1Char('.'));
  const auto part = [&](int i) { return i < parts.size() ? parts[i].toInt() : 0; };
  return QStringLiteral("Version %1.%2.%3").arg(part(0)).arg(part(1)).arg(part(3));
}

QString program_version() { return QStringLiteral(CORVANE_VERSION); }

// A survey line seen from above: the ground in shades of green, stations along the line,
// and the magnetic profile over an anomaly drawn against them.
QImage about_picture() {
  QImage img(233, 233, QImage::Format_RGB32);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);

  QLinearGradient sky(0, 0, 0, 233);
  sky.setColorAt(0, QColor(18, 42, 74));
  sky.setColorAt(1, QColor(40, 96, 120));
  p.fillRect(img.rect(), sky);

  // Contours of the anomaly.
  p.setPen(QPen(QColor(120, 180, 200, 110), 1.2));
  for (int r = 14; r <= 110; r += 16) p.drawEllipse(QPointF(128, 150), r * 1.25, r * 0.8);

  // The survey line with its stations.
  p.setPen(QPen(QColor(230, 230, 210), 1.5, Qt::DashLine));
  p.drawLine(QPointF(16, 180), QPointF(217, 180));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(250, 210, 90));
  for (int x = 20; x <= 214; x += 16) p.drawEllipse(QPointF(x, 180), 2.6, 2.6);

  // The total field along the line: a dipole bump over a slow diurnal drift.
  QPainterPath profile;
  for (int x = 16; x <= 217; ++x) {
    const double u = (x - 128) / 28.0;
    const double y = 120 - 70 * std::exp(-u * u) + 26 * std::exp(-(u - 1.6) * (u - 1.6)) + (x - 16) * 0.06;
    if (x == 16)
      profile.moveTo(x, y);
    else
      profile.lineTo(x, y);
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(255, 120, 60), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(profile);

  // The sensor staff of the walking operator.
  p.setPen(QPen(QColor(240, 240, 240), 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(60, 206), QPointF(60, 150));
  p.setBrush(QColor(240, 240, 240));
  p.drawRoundedRect(QRectF(53, 140, 14, 12), 3, 3);

  // The letter of the program.
  QFont f(QStringLiteral("Sans Serif"));
  f.setPixelSize(44);
  f.setBold(true);
  p.setFont(f);
  p.setPen(QColor(255, 255, 255, 220));
  p.drawText(QRectF(12, 8, 100, 56), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("C"));
  p.end();
  return img;
}

QStringList system_info_tools() {
  return {QStringLiteral("hardinfo2"),
          QStringLiteral("hardinfo"),
          QStringLiteral("kinfocenter"),
          QStringLiteral("gnome-system-monitor"),
          QStringLiteral("mate-system-monitor"),
          QStringLiteral("plasma-systemmonitor"),
          QStringLiteral("ksysguard"),
          QStringLiteral("xfce4-taskmanager"),
          QStringLiteral("lxtask")};
}

QString find_system_info_tool(const QStringList& tools, const QStringList& directories) {
  for (const QString& t : tools) {
    const QString found = QStandardPaths::findExecutable(t, directories);
    if (!found.isEmpty()) return found;
  }
  return {};
}

frmAbout::frmAbout(Operator& op, QWidget* parent) : QDialog(parent), op_(op) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("About ") + program_title);

  auto* Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setPixmap(QPixmap::fromImage(about_picture()));
  Image1->setGeometry(12, 12, 233, 233);

  auto* lblTitle = new QLabel(program_title, this);
  lblTitle->setObjectName(QStringLiteral("lblTitle"));
  QFont title_font = lblTitle->font();
  title_font.setPointSizeF(title_font.pointSizeF() * 1.8);
  title_font.setBold(true);
  lblTitle->setFont(title_font);
  lblTitle->setGeometry(260, 16, 220, 40);

  auto* lblVersion = new QLabel(version_text(program_version()), this);
  lblVersion->setObjectName(QStringLiteral("lblVersion"));
  lblVersion->setGeometry(260, 60, 220, 24);

  auto* cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setDefault(true);
  cmdOK->setGeometry(360, 176, 120, 28);
  connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

  auto* cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
  cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
  cmdSysInfo->setGeometry(360, 212, 120, 28);
  connect(cmdSysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(); });

  setFixedSize(496, 257);
}

void frmAbout::StartSysInfo() {
  const QString tool = find_system_info_tool(system_info_tools(), tool_directories_);
  if (tool.isEmpty() || !QProcess::startDetached(tool, {})) {
    op_.message("System Information Is Unavailable At This Time");
  }
}

}  // namespace corvane::ui
