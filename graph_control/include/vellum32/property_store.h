#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "vellum32/export.h"

namespace vellum32 {

// Where a host keeps the persisted properties of a control. Keys compare without
// regard to letter case. Values are QVariants of these types: qint32 (long integers
// and colours), qint16, float (singles), bool, QString, QFont and QColor.
class VELLUM32_EXPORT PropertyStore {
public:
  virtual ~PropertyStore();

  // The value stored under `name`, or `defaultValue` when there is none.
  virtual QVariant ReadProperty(const QString& name, const QVariant& defaultValue = QVariant()) const = 0;
  // Stores `value` under `name`. A value equal to a valid `defaultValue` is not kept
  // (reading it back with that default gives the same value); an invalid `value`
  // removes the key.
  virtual void WriteProperty(const QString& name, const QVariant& value, const QVariant& defaultValue = QVariant()) = 0;
};

// A property store held in memory. Keeps each key in the letter case of its last write.
class VELLUM32_EXPORT MemoryPropertyStore : public PropertyStore {
public:
  QVariant ReadProperty(const QString& name, const QVariant& defaultValue = QVariant()) const override;
  void WriteProperty(const QString& name, const QVariant& value, const QVariant& defaultValue = QVariant()) override;

  bool contains(const QString& name) const;
  // The keys as last written, in the order they were first written.
  QStringList keys() const;
  qsizetype size() const { return order_.size(); }
  void clear();

protected:
  void setValue(const QString& name, const QVariant& value);
  void removeValue(const QString& name);

private:
  struct Entry {
    QString key;
    QVariant value;
  };
  QHash<QString, Entry> entries_;  // by lower-case key
  QStringList order_;              // lower-case keys in first-write order
};

// A property store kept in a text file, one "key = type:value" line per property in
// the order the keys were first written. The types round-trip exactly: i32, i16, f32
// (shortest text that reads back as the same single), bool, str (escaped), font
// (QFont::toString) and colour (#aarrggbb).
class VELLUM32_EXPORT FilePropertyStore : public MemoryPropertyStore {
public:
  explicit FilePropertyStore(QString path);

  const QString& path() const { return path_; }

  // Replaces the contents with the file's. A missing file gives an empty store.
  // Throws Vellum32Error 75 when the file cannot be read and 13 for a line that
  // does not hold a valid "key = type:value".
  void load();
  // Writes the contents to the file. Throws Vellum32Error 75 when it cannot be written.
  void save() const;

  // The text form of one value ("i32:255"); throws Vellum32Error 13 for an unsupported type.
  static QString encodeValue(const QVariant& value);
  // The value of a text form; throws Vellum32Error 13 when it is not valid.
  static QVariant decodeValue(const QString& text);

private:
  QString path_;
};

}  // namespace vellum32
