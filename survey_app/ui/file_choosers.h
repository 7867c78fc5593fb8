#pragma once
// The drive, directory and file choosers of the file-selection and export panes.
#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QStringList>

namespace corvane::ui {

// A path without "." or ".." parts and without a trailing "/" (except the root).
QString clean_directory(const QString& path);

// Chooses a place to start from: the file-system root, the home folder and every
// mounted volume. The "drive" of a directory is the deepest of these places that holds it.
class DriveChooser : public QComboBox {
  Q_OBJECT
public:
  explicit DriveChooser(QWidget* parent = nullptr);
  QString drive() const;
  // Selects the place (added to the list when missing); emits driveChanged when the
  // selection changes.
  void setDrive(const QString& path);
  // The place that holds `directory`.
  QString driveOf(const QString& directory) const;
  QStringList drives() const;

signals:
  void driveChanged(const QString& drive);

private:
  int addDrive(const QString& path, const QString& label);
};

// Shows the current directory with the directories above it and the subdirectories in
// it; activating an entry (double click or Enter) moves there.
class DirChooser : public QListWidget {
  Q_OBJECT
public:
  explicit DirChooser(QWidget* parent = nullptr);
  QString path() const { return path_; }
  // Moves to a directory and emits pathChanged when it differs from the current one.
  void setPath(const QString& path);
  // Lists the entries again.
  void refresh();

signals:
  void pathChanged(const QString& path);

private:
  QString path_;
};

// The files of a directory that match a pattern, in name order; several may be selected.
class FileChooser : public QListWidget {
  Q_OBJECT
public:
  explicit FileChooser(QWidget* parent = nullptr);
  QString path() const { return path_; }
  QString pattern() const { return pattern_; }
  void setPath(const QString& path);
  void setPattern(const QString& pattern);
  void refresh();
  QStringList fileNames() const;
  // The selected file names, in list order.
  QStringList selectedFileNames() const;

private:
  QString path_;
  QString pattern_ = QStringLiteral("*.*");
};

}  // namespace corvane::ui
