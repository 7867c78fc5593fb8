#include "vellum32/property_store.h"

#include <QColor>
#include <QFile>
#include <QFont>
#include <QSaveFile>
#include <QTextStream>
#include <charconv>
#include <cmath>

#include "vellum32/errors.h"

namespace vellum32 {

PropertyStore::~PropertyStore() = default;

// ---------------------------------------------------------------------------------------
// MemoryPropertyStore

QVariant MemoryPropertyStore::ReadProperty(const QString& name, const QVariant& defaultValue) const {
  const auto it = entries_.constFind(name.toLower());
  return it == entries_.cend() ? defaultValue : it->value;
}

void MemoryPropertyStore::WriteProperty(const QString& name, const QVariant& value, const QVariant& defaultValue) {
  if (!value.isValid() || (defaultValue.isValid() && value == defaultValue)) {
    removeValue(name);
    return;
  }
  setValue(name, value);
}

bool MemoryPropertyStore::contains(const QString& name) const { return entries_.contains(name.toLower()); }

QStringList MemoryPropertyStore::keys() const {
  QStringList out;
  out.reserve(order_.size());
  for (const QString& lower : order_) out.append(entries_.value(lower).key);
  return out;
}

void MemoryPropertyStore::clear() {
  entries_.clear();
  order_.clear();
}

void MemoryPropertyStore::setValue(const QString& name, const QVariant& value) {
  const QString lower = name.toLower();
  auto it = entries_.find(lower);
  if (it == entries_.end()) {
    entries_.insert(lower, Entry{name, value});
    order_.append(lower);
  } else {
    it->key = name;
    it->value = value;
  }
}

void MemoryPropertyStore::removeValue(const QString& name) {
  const QString lower = name.toLower();
  if (entries_.remove(lower) > 0) order_.removeOne(lower);
}

// ---------------------------------------------------------------------------------------
// FilePropertyStore

namespace {

QString escapeText(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    switch (c.unicode()) {
      case '\\': out += QLatin1String("\\\\"); break;
      case '\n': out += QLatin1String("\\n"); break;
      case '\r': out += QLatin1String("\\r"); break;
      case '\t': out += QLatin1String("\\t"); break;
      default:
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
          out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
          out += c;
        }
    }
  }
  return out;
}

QString unescapeText(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c != QLatin1Char('\\')) {
      out += c;
      continue;
    }
    if (++i >= text.size()) throw Vellum32Error(TypeMismatch);
    switch (text.at(i).unicode()) {
      case '\\': out += QLatin1Char('\\'); break;
      case 'n': out += QLatin1Char('\n'); break;
      case 'r': out += QLatin1Char('\r'); break;
      case 't': out += QLatin1Char('\t'); break;
      case 'u': {
        const QString hex = text.mid(i + 1, 4);
        if (hex.size() != 4) throw Vellum32Error(TypeMismatch);
        ushort code = 0;
        for (const QChar h : hex) {
          const int digit = QStringLiteral("0123456789abcdef").indexOf(h.toLower());
          if (digit < 0) throw Vellum32Error(TypeMismatch);
          code = ushort(code * 16 + digit);
        }
        out += QChar(code);
        i += 4;
        break;
      }
      default: throw Vellum32Error(TypeMismatch);
    }
  }
  return out;
}

template <typename T>
QString shortestText(T value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return QString::fromLatin1(buffer, result.ptr - buffer);
}

template <typename T>
T parseFloating(const QString& text) {
  const QByteArray latin = text.toLatin1();
  T value{};
  const char* first = latin.constData();
  const char* last = first + latin.size();
  const auto result = std::from_chars(first, last, value);
  if (result.ec != std::errc() || result.ptr != last) throw Vellum32Error(TypeMismatch);
  return value;
}

qlonglong parseWhole(const QString& text, qlonglong low, qlonglong high) {
  bool ok = false;
  const qlonglong v = text.toLongLong(&ok);
  if (!ok) throw Vellum32Error(TypeMismatch);
  if (v < low || v > high) throw Vellum32Error(Overflow);
  return v;
}

}  // namespace

FilePropertyStore::FilePropertyStore(QString path) : path_(std::move(path)) {}

QString FilePropertyStore::encodeValue(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Int: return QStringLiteral("i32:") + QString::number(value.toInt());
    case QMetaType::Short: return QStringLiteral("i16:") + QString::number(value.value<qint16>());
    case QMetaType::Float: return QStringLiteral("f32:") + shortestText(value.toFloat());
    case QMetaType::Double: return QStringLiteral("f64:") + shortestText(value.toDouble());
    case QMetaType::Bool: return value.toBool() ? QStringLiteral("bool:true") : QStringLiteral("bool:false");
    case QMetaType::QString: return QStringLiteral("str:") + escapeText(value.toString());
    case QMetaType::QFont: return QStringLiteral("font:") + escapeText(value.value<QFont>().toString());
    case QMetaType::QColor: {
      const QColor c = value.value<QColor>();
      return QStringLiteral("colour:") + (c.isValid() ? c.name(QColor::HexArgb) : QString());
    }
    default: throw Vellum32Error(TypeMismatch);
  }
}

QVariant FilePropertyStore::decodeValue(const QString& text) {
  const qsizetype colon = text.indexOf(QLatin1Char(':'));
  if (colon < 0) throw Vellum32Error(TypeMismatch);
  const QString type = text.left(colon);
  const QString body = text.mid(colon + 1);
  if (type == QLatin1String("i32")) return QVariant::fromValue(qint32(parseWhole(body, INT32_MIN, INT32_MAX)));
  if (type == QLatin1String("i16")) return QVariant::fromValue(qint16(parseWhole(body, INT16_MIN, INT16_MAX)));
  if (type == QLatin1String("f32")) return QVariant::fromValue(parseFloating<float>(body));
  if (type == QLatin1String("f64")) return QVariant::fromValue(parseFloating<double>(body));
  if (type == QLatin1String("bool")) {
    if (body == QLatin1String("true")) return QVariant(true);
    if (body == QLatin1String("false")) return QVariant(false);
    throw Vellum32Error(TypeMismatch);
  }
  if (type == QLatin1String("str")) return QVariant(unescapeText(body));
  if (type == QLatin1String("font")) {
    QFont font;
    if (!font.fromString(unescapeText(body))) throw Vellum32Error(TypeMismatch);
    return QVariant::fromValue(font);
  }
  if (type == QLatin1String("colour")) {
    if (body.isEmpty()) return QVariant::fromValue(QColor());
    const QColor c = QColor::fromString(body);
    if (!c.isValid()) throw Vellum32Error(TypeMismatch);
    return QVariant::fromValue(c);
  }
  throw Vellum32Error(TypeMismatch);
}

void FilePropertyStore::load() {
  QFile file(path_);
  if (!file.exists()) {
    clear();
    return;
  }
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    throw Vellum32Error(PathFileAccessError, QString::fromLatin1(ErrorSource),
                        StandardErrorMessage(PathFileAccessError) + QStringLiteral(": ") + path_);
  }
  QTextStream in(&file);
  in.setEncoding(QStringConverter::Utf8);
  MemoryPropertyStore loaded;
  int lineNumber = 0;
  while (!in.atEnd()) {
    const QString line = in.readLine();
    ++lineNumber;
    if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    const QString key = equals < 0 ? QString() : line.left(equals).trimmed();
    if (key.isEmpty()) {
      throw Vellum32Error(TypeMismatch, QString::fromLatin1(ErrorSource),
                          QStringLiteral("Type mismatch: line %1 of %2").arg(lineNumber).arg(path_));
    }
    QString text = line.mid(equals + 1);
    if (text.startsWith(QLatin1Char(' '))) text.remove(0, 1);
    try {
      loaded.WriteProperty(key, decodeValue(text));
    } catch (const Vellum32Error& e) {
      throw Vellum32Error(e.Number(), e.Source(),
                          e.Description() + QStringLiteral(": line %1 of %2").arg(lineNumber).arg(path_));
    }
  }
  clear();
  for (const QString& key : loaded.keys()) setValue(key, loaded.ReadProperty(key));
}

void FilePropertyStore::save() const {
  QSaveFile file(path_);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
    throw Vellum32Error(PathFileAccessError, QString::fromLatin1(ErrorSource),
                        StandardErrorMessage(PathFileAccessError) + QStringLiteral(": ") + path_);
  }
  QTextStream out(&file);
  out.setEncoding(QStringConverter::Utf8);
  out << "# Vellum32 properties\n";
  for (const QString& key : keys()) {
    if (key.contains(QLatin1Char('=')) || key.contains(QLatin1Char('\n')) || key.trimmed() != key ||
        key.startsWith(QLatin1Char('#'))) {
      throw Vellum32Error(InvalidProcedureCall, QString::fromLatin1(ErrorSource),
                          QStringLiteral("Invalid property name: ") + key);
    }
    out << key << " = " << encodeValue(ReadProperty(key)) << '\n';
  }
  out.flush();
  if (!file.commit()) {
    throw Vellum32Error(PathFileAccessError, QString::fromLatin1(ErrorSource),
                        StandardErrorMessage(PathFileAccessError) + QStringLiteral(": ") + path_);
  }
}

}  // namespace vellum32
