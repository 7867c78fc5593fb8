#include "ui/file_choosers.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

#include "ui/file_search.h"

namespace corvane::ui {

namespace {

bool name_less(const QString& a, const QString& b) {
  const int c = QString::compare(a, b, Qt::CaseInsensitive);
  return c != 0 ? c < 0 : a < b;
}

// Whether `dir` is `place` or lies below it.
bool holds(const QString& place, const QString& dir) {
  if (place == QLatin1String("/")) return dir.startsWith(QLatin1Char('/'));
  return dir == place || dir.startsWith(place + QLatin1Char('/'));
}

constexpr int path_role = Qt::UserRole;

}  // namespace

QString clean_directory(const QString& path) {
  QString p = QDir::cleanPath(QDir(path).absolutePath());
  while (p.size() > 1 && p.endsWith(QLatin1Char('/'))) p.chop(1);
  return p;
}

DriveChooser::DriveChooser(QWidget* parent) : QComboBox(parent) {
  addDrive(QStringLiteral("/"), QString());
  addDrive(QDir::homePath(), tr("Home"));
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
    if (!v.isValid() || !v.isReady()) continue;
    const QString root = clean_directory(v.rootPath());
    // Pseudo file systems hold no survey data.
    if (root.startsWith(QLatin1String("/proc")) || root.startsWith(QLatin1String("/sys")) ||
        root.startsWith(QLatin1String("/dev")) || root.startsWith(QLatin1String("/run/user")))
      continue;
    addDrive(root, v.displayName() != root ? v.displayName() : QString());
  }
  connect(this, &QComboBox::currentIndexChanged, this, [this](int) { emit driveChanged(drive()); });
}

int DriveChooser::addDrive(const QString& path, const QString& label) {
  const QString p = clean_directory(path);
  const int found = findData(p, path_role);
  if (found >= 0) return found;
  addItem(label.isEmpty() ? p : p + QStringLiteral("  [") + label + QLatin1Char(']'), p);
  return count() - 1;
}

QString DriveChooser::drive() const { return currentData(path_role).toString(); }

QStringList DriveChooser::drives() const {
  QStringList l;
  for (int i = 0; i < count(); ++i) l << itemData(i, path_role).toString();
  return l;
}

void DriveChooser::setDrive(const QString& path) { setCurrentIndex(addDrive(path, QString())); }

QString DriveChooser::driveOf(const QString& directory) const {
  const QString dir = clean_directory(directory);
  QString best = QStringLiteral("/");
  for (const QString& d : drives())
    if (holds(d, dir) && d.size() > best.size()) best = d;
  return best;
}

DirChooser::DirChooser(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  connect(this, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { setPath(item->data(path_role).toString()); });
}

void DirChooser::setPath(const QString& path) {
  const QString p = clean_directory(path);
  if (p == path_) return;
  path_ = p;
  refresh();
  emit pathChanged(path_);
}

void DirChooser::refresh() {
  clear();
  // The directories from the root down to the current one, then its subdirectories.
  QStringList chain;
  for (QString p = path_; !p.isEmpty();) {
    chain.prepend(p);
    if (p == QLatin1String("/")) break;
    const int slash = p.lastIndexOf(QLatin1Char('/'));
    p = slash <= 0 ? QStringLiteral("/") : p.left(slash);
  }
  int depth = 0;
  for (const QString& p : chain) {
    const QString name = p == QLatin1String("/") ? p : p.mid(p.lastIndexOf(QLatin1Char('/')) + 1);
    auto* item = new QListWidgetItem(
        QString(depth * 2, QLatin1Char(' ')) + QStringLiteral("[") + name + QStringLiteral("]"), this);
    item->setData(path_role, p);
    ++depth;
  }
  if (count() > 0) setCurrentRow(count() - 1);
  QStringList subdirs = QDir(path_).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
  std::sort(subdirs.begin(), subdirs.end(), name_less);
  for (const QString& s : subdirs) {
    auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + s, this);
    item->setData(path_role, path_ == QLatin1String("/") ? path_ + s : path_ + QLatin1Char('/') + s);
  }
}

FileChooser::FileChooser(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void FileChooser::setPath(const QString& path) {
  path_ = clean_directory(path);
  refresh();
}

void FileChooser::setPattern(const QString& pattern) {
  pattern_ = pattern;
  refresh();
}

void FileChooser::refresh() {
  clear();
  if (path_.isEmpty()) return;
  const std::string pattern = pattern_.toStdString();
  QStringList names;
  for (const QFileInfo& f : QDir(path_).entryInfoList(QDir::Files, QDir::NoSort))
    if (matches_pattern(pattern, f.fileName().toStdString())) names << f.fileName();
  std::sort(names.begin(), names.end(), name_less);
  addItems(names);
}

QStringList FileChooser::fileNames() const {
  QStringList l;
  for (int i = 0; i < count(); ++i) l << item(i)->text();
  return l;
}

QStringList FileChooser::selectedFileNames() const {
  QStringList l;
  for (int i = 0; i < count(); ++i)
    if (item(i)->isSelected()) l << item(i)->text();
  return l;
}

}  // namespace corvane::ui
