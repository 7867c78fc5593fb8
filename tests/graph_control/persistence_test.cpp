#include <QColor>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <cmath>

#include "test_support.h"

namespace vellum32 {
namespace {

using test::ChangeRecorder;
using test::expectError;
using test::StateOf;

const QStringList SavedKeysInOrder = {"BackColor",
                                      "ForeColor",
                                      "Enabled",
                                      "Font",
                                      "BackStyle",
                                      "BorderStyle",
                                      "ChartType",
                                      "DisplayLegend",
                                      "DisplayAxes",
                                      "PlotPoints",
                                      "Title",
                                      "TitleFont",
                                      "YAxisMin",
                                      "YAxisMax",
                                      "YTickInterval",
                                      "YAxisType",
                                      "YAxisCutoff",
                                      "YAxisLabel",
                                      "XAxisMin",
                                      "XAxisMax",
                                      "XTickInterval",
                                      "XAxisType",
                                      "XAxisCutoff",
                                      "XAxisLabel",
                                      "DataNull",
                                      "MarkerSize",
                                      "XBaseLog",
                                      "YBaseLog",
                                      "SetMargins",
                                      "YAxisTopMargin",
                                      "YAxisBottomMargin",
                                      "XAxisLeftMargin",
                                      "XAxisRightMargin",
                                      "DoZoom",
                                      "ZoomXSplit",
                                      "ZoomXSplitLeft",
                                      "ZoomXSplitRight",
                                      "ZoomYSplit",
                                      "ZoomYSplitTop",
                                      "ZoomYSplitBottom",
                                      "ZoomXType",
                                      "ZoomYType"};

// A store that records every read and write, and keeps every written value.
class RecordingStore : public PropertyStore {
public:
  QStringList reads;
  QStringList writes;
  MemoryPropertyStore values;

  QVariant ReadProperty(const QString& name, const QVariant& defaultValue) const override {
    const_cast<RecordingStore*>(this)->reads.append(name);
    return values.ReadProperty(name, defaultValue);
  }
  void WriteProperty(const QString& name, const QVariant& value, const QVariant& defaultValue) override {
    writes.append(name);
    values.WriteProperty(name, value);  // keep everything, whatever the default
  }
};

TEST(PropertyStoreTest, KeysCompareWithoutRegardToCase) {
  MemoryPropertyStore store;
  store.WriteProperty(QStringLiteral("XAxisType"), QVariant::fromValue(qint32(1)));
  EXPECT_EQ(store.ReadProperty(QStringLiteral("xAxisType"), 0).toInt(), 1);
  EXPECT_EQ(store.ReadProperty(QStringLiteral("XAXISTYPE"), 0).toInt(), 1);
  EXPECT_EQ(store.ReadProperty(QStringLiteral("YAxisType"), 7).toInt(), 7);  // the default
  store.WriteProperty(QStringLiteral("xaxistype"), QVariant::fromValue(qint32(0)));
  EXPECT_EQ(store.size(), 1);
  EXPECT_EQ(store.keys(), QStringList{"xaxistype"});
}

TEST(PropertyStoreTest, ValueEqualToItsDefaultIsNotKept) {
  MemoryPropertyStore store;
  store.WriteProperty(QStringLiteral("MarkerSize"), QVariant::fromValue(qint32(40)), QVariant::fromValue(qint32(35)));
  EXPECT_TRUE(store.contains(QStringLiteral("markersize")));
  store.WriteProperty(QStringLiteral("MarkerSize"), QVariant::fromValue(qint32(35)), QVariant::fromValue(qint32(35)));
  EXPECT_FALSE(store.contains(QStringLiteral("MarkerSize")));
  EXPECT_EQ(store.ReadProperty(QStringLiteral("MarkerSize"), QVariant::fromValue(qint32(35))).toInt(), 35);
  store.WriteProperty(QStringLiteral("Title"), QStringLiteral("x"));
  store.WriteProperty(QStringLiteral("Title"), QVariant());
  EXPECT_FALSE(store.contains(QStringLiteral("Title")));
}

TEST(PropertyStoreTest, FileStoreRoundTripsEveryStoredType) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("graph.props"));
  QFont font(QStringLiteral("DejaVu Sans"), 11);
  font.setItalic(true);
  {
    FilePropertyStore store(path);
    store.WriteProperty(QStringLiteral("Long"), QVariant::fromValue(qint32(-2147483633)));
    store.WriteProperty(QStringLiteral("Integer"), QVariant::fromValue(qint16(-32768)));
    store.WriteProperty(QStringLiteral("Single"), QVariant::fromValue(0.05f));
    store.WriteProperty(QStringLiteral("Tiny"), QVariant::fromValue(1.17549435e-38f));
    store.WriteProperty(QStringLiteral("Double"), QVariant::fromValue(0.1));
    store.WriteProperty(QStringLiteral("Flag"), QVariant(true));
    store.WriteProperty(QStringLiteral("Off"), QVariant(false));
    store.WriteProperty(QStringLiteral("Text"), QStringLiteral(" two\nlines\t\\ = 100% \u00e9 \x01 "));
    store.WriteProperty(QStringLiteral("Empty"), QString(QLatin1String("")));
    store.WriteProperty(QStringLiteral("Font"), QVariant::fromValue(font));
    store.WriteProperty(QStringLiteral("Colour"), QVariant::fromValue(QColor(10, 20, 30, 40)));
    store.save();
  }
  FilePropertyStore back(path);
  back.load();
  EXPECT_EQ(back.keys(), (QStringList{"Long", "Integer", "Single", "Tiny", "Double", "Flag", "Off", "Text", "Empty",
                                      "Font", "Colour"}));
  const QVariant l = back.ReadProperty(QStringLiteral("long"));
  EXPECT_EQ(l.typeId(), QMetaType::Int);
  EXPECT_EQ(l.toInt(), -2147483633);
  const QVariant i = back.ReadProperty(QStringLiteral("Integer"));
  EXPECT_EQ(i.typeId(), QMetaType::Short);
  EXPECT_EQ(i.value<qint16>(), -32768);
  const QVariant f = back.ReadProperty(QStringLiteral("Single"));
  EXPECT_EQ(f.typeId(), QMetaType::Float);
  EXPECT_EQ(f.toFloat(), 0.05f);  // exactly the same single
  EXPECT_EQ(back.ReadProperty(QStringLiteral("Tiny")).toFloat(), 1.17549435e-38f);
  EXPECT_EQ(back.ReadProperty(QStringLiteral("Double")).toDouble(), 0.1);
  EXPECT_EQ(back.ReadProperty(QStringLiteral("Flag")).typeId(), QMetaType::Bool);
  EXPECT_TRUE(back.ReadProperty(QStringLiteral("Flag")).toBool());
  EXPECT_FALSE(back.ReadProperty(QStringLiteral("Off")).toBool());
  EXPECT_EQ(back.ReadProperty(QStringLiteral("Text")).toString(),
            QStringLiteral(" two\nlines\t\\ = 100% \u00e9 \x01 "));
  EXPECT_EQ(back.ReadProperty(QStringLiteral("Empty"), QStringLiteral("default")).toString(), QString());
  const QFont f2 = back.ReadProperty(QStringLiteral("Font")).value<QFont>();
  EXPECT_EQ(f2.family(), font.family());
  EXPECT_EQ(f2.pointSize(), 11);
  EXPECT_TRUE(f2.italic());
  EXPECT_EQ(back.ReadProperty(QStringLiteral("Colour")).value<QColor>(), QColor(10, 20, 30, 40));
}

TEST(PropertyStoreTest, MissingFileGivesAnEmptyStore) {
  QTemporaryDir dir;
  FilePropertyStore store(dir.filePath(QStringLiteral("none.props")));
  store.WriteProperty(QStringLiteral("Stale"), 1);
  store.load();
  EXPECT_EQ(store.size(), 0);
}

TEST(PropertyStoreTest, MalformedFileRaisesTypeMismatch) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("bad.props"));
  const char* bad[] = {"Title = str:ok\nMarkerSize = i32:twelve\n", "no equals sign\n", "Size = i16:40000\n",
                       "Text = str:bad\\q\n", "Value = widget:1\n"};
  const int numbers[] = {TypeMismatch, TypeMismatch, Overflow, TypeMismatch, TypeMismatch};
  for (std::size_t n = 0; n < std::size(bad); ++n) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bad[n]);
    file.close();
    FilePropertyStore store(path);
    store.WriteProperty(QStringLiteral("Kept"), 1);
    expectError(numbers[n], [&] { store.load(); });
    EXPECT_TRUE(store.contains(QStringLiteral("Kept"))) << "a failed load leaves the store as it was";
  }
}

TEST(PropertyStoreTest, UnwritableFileRaisesPathFileAccessError) {
  QTemporaryDir dir;
  FilePropertyStore store(dir.filePath(QStringLiteral("missing/dir/graph.props")));
  store.WriteProperty(QStringLiteral("A"), 1);
  expectError(PathFileAccessError, [&] { store.save(); });
}

// The 42 keys, then the keys added since, each with a default that old stores fall back to.
QStringList savedKeysAndLater() { return SavedKeysInOrder + QStringList{QStringLiteral("WheelZoom")}; }

TEST(Vellum32Persistence, SavesTheFortyTwoKeysInOrder) {
  Vellum32 c;
  RecordingStore store;
  c.WriteProperties(store);
  EXPECT_EQ(store.writes, savedKeysAndLater());
}

TEST(Vellum32Persistence, WheelZoomRoundTripsAndDefaultsOnForOldStores) {
  MemoryPropertyStore store;
  Vellum32 old;
  old.WriteProperties(store);
  EXPECT_FALSE(store.contains(QStringLiteral("WheelZoom")));  // equal to its default
  Vellum32 loaded;
  loaded.setWheelZoom(false);
  loaded.ReadProperties(store);
  EXPECT_TRUE(loaded.WheelZoom());
  loaded.setWheelZoom(false);
  loaded.WriteProperties(store);
  Vellum32 back;
  back.ReadProperties(store);
  EXPECT_FALSE(back.WheelZoom());
}

TEST(Vellum32Persistence, LoadsTheFortyTwoKeysInOrderWithTheLowerCaseXKeys) {
  Vellum32 c;
  RecordingStore store;
  c.ReadProperties(store);
  QStringList expected = savedKeysAndLater();
  expected[21] = QStringLiteral("xAxisType");
  expected[22] = QStringLiteral("xAxisCutoff");
  EXPECT_EQ(store.reads, expected);
}

TEST(Vellum32Persistence, SavedLogLinearXAxisComesBackAsLogLinear) {
  MemoryPropertyStore store;
  {
    Vellum32 c;
    c.setXAxisType(AxisTypes::LogLinear);
    c.setXAxisCutoff(100);
    c.WriteProperties(store);
  }
  EXPECT_TRUE(store.keys().contains(QStringLiteral("XAxisType")));
  EXPECT_TRUE(store.keys().contains(QStringLiteral("XAxisCutoff")));
  Vellum32 back;
  back.ReadProperties(store);
  EXPECT_EQ(back.XAxisType(), AxisTypes::LogLinear);
  EXPECT_EQ(back.XAxisCutoff(), 100.0f);
}

TEST(Vellum32Persistence, ValuesAreStoredWithTheirTypes) {
  Vellum32 c;
  c.setChartType(ChartTypes::Line);
  c.setBorderStyle(BorderStyleTypes::None);
  c.setPlotPoints(true);
  c.setXAxisMin(1.5f);
  c.setTitle(QStringLiteral("Base station"));
  RecordingStore store;
  c.WriteProperties(store);
  const auto type = [&](const char* key) { return store.values.ReadProperty(QString::fromLatin1(key)).typeId(); };
  EXPECT_EQ(type("BackColor"), QMetaType::Int);
  EXPECT_EQ(type("ChartType"), QMetaType::Int);
  EXPECT_EQ(type("MarkerSize"), QMetaType::Int);
  EXPECT_EQ(type("ZoomXSplitLeft"), QMetaType::Int);
  EXPECT_EQ(type("BackStyle"), QMetaType::Short);
  EXPECT_EQ(type("BorderStyle"), QMetaType::Short);
  EXPECT_EQ(type("PlotPoints"), QMetaType::Bool);
  EXPECT_EQ(type("DoZoom"), QMetaType::Bool);
  EXPECT_EQ(type("XAxisMin"), QMetaType::Float);
  EXPECT_EQ(type("XBaseLog"), QMetaType::Float);
  EXPECT_EQ(type("YAxisTopMargin"), QMetaType::Float);
  EXPECT_EQ(type("Title"), QMetaType::QString);
  EXPECT_EQ(type("Font"), QMetaType::QFont);
  EXPECT_EQ(store.values.ReadProperty(QStringLiteral("BorderStyle")).value<qint16>(), 0);
  EXPECT_EQ(store.values.ReadProperty(QStringLiteral("BackColor")).toInt(), SystemButtonFace);
}

TEST(Vellum32Persistence, LoadingSetsFieldsWithoutTheAssignmentChecks) {
  MemoryPropertyStore store;
  store.WriteProperty(QStringLiteral("XAxisCutoff"), QVariant::fromValue(0.05f));
  store.WriteProperty(QStringLiteral("YAxisCutoff"), QVariant::fromValue(0.05f));
  store.WriteProperty(QStringLiteral("DoZoom"), true);
  Vellum32 c;
  c.resize(400, 300);
  c.ReadProperties(store);
  EXPECT_EQ(c.XAxisCutoff(), 0.05f);  // no snapping on load
  EXPECT_EQ(c.YAxisCutoff(), 0.05f);
  EXPECT_TRUE(c.DoZoom());
  auto* zoom = c.findChild<QAction*>(QStringLiteral("mnuZoom"));
  ASSERT_NE(zoom, nullptr);
  EXPECT_TRUE(zoom->isChecked());
  // The strip is laid out by the next Refresh, not by loading.
  EXPECT_TRUE(c.findChild<QWidget*>(QStringLiteral("HScroll_zoom"))->isHidden());
  c.Refresh();
  EXPECT_FALSE(c.findChild<QWidget*>(QStringLiteral("HScroll_zoom"))->isHidden());

  c.setXAxisCutoff(0.05f);  // assigning snaps
  EXPECT_FLOAT_EQ(c.XAxisCutoff(), 0.01f);
}

TEST(Vellum32Persistence, LoadingCopiesLimitsIntoTheHomeLimits) {
  MemoryPropertyStore store;
  store.WriteProperty(QStringLiteral("XAxisMin"), QVariant::fromValue(2.0f));
  store.WriteProperty(QStringLiteral("XAxisMax"), QVariant::fromValue(8.0f));
  store.WriteProperty(QStringLiteral("YAxisMin"), QVariant::fromValue(-1.0f));
  store.WriteProperty(QStringLiteral("YAxisMax"), QVariant::fromValue(1.0f));
  Vellum32 c;
  c.ReadProperties(store);
  EXPECT_EQ(StateOf(c).X.HomeMin, 2.0f);
  EXPECT_EQ(StateOf(c).X.HomeMax, 8.0f);
  EXPECT_EQ(StateOf(c).Y.HomeMin, -1.0f);
  EXPECT_EQ(StateOf(c).Y.HomeMax, 1.0f);
}

TEST(Vellum32Persistence, SavingWhileZoomedMakesTheZoomedRangeTheNewHome) {
  Vellum32 c;
  c.setXAxisMin(0);
  c.setXAxisMax(100);
  c.setXaxisZoomRange(50);
  MemoryPropertyStore store;
  c.WriteProperties(store);
  Vellum32 back;
  back.ReadProperties(store);
  EXPECT_FLOAT_EQ(back.XAxisMin(), 25);
  EXPECT_FLOAT_EQ(back.XAxisMax(), 75);
  EXPECT_FLOAT_EQ(StateOf(back).X.HomeMin, 25);
  EXPECT_FLOAT_EQ(StateOf(back).X.HomeMax, 75);
  EXPECT_EQ(back.XaxisZoomRange(), 100.0f);  // percentages are not persisted
}

TEST(Vellum32Persistence, LoadedBaseNotAboveZeroBecomesTen) {
  MemoryPropertyStore store;
  store.WriteProperty(QStringLiteral("XBaseLog"), QVariant::fromValue(-3.0f));
  store.WriteProperty(QStringLiteral("YBaseLog"), QVariant::fromValue(2.0f));
  Vellum32 c;
  c.setXBaseLog(5);
  c.ReadProperties(store);
  EXPECT_EQ(c.XBaseLog(), 10.0f);
  EXPECT_FLOAT_EQ(StateOf(c).X.LnBase, float(std::log(10.0)));
  EXPECT_EQ(c.YBaseLog(), 2.0f);
  EXPECT_FLOAT_EQ(StateOf(c).Y.LnBase, float(std::log(2.0)));
}

TEST(Vellum32Persistence, SurfaceKeysBypassThePublicPropertiesAndFontGoesThroughIt) {
  MemoryPropertyStore store;
  store.WriteProperty(QStringLiteral("BackColor"), QVariant::fromValue(qint32(255)));
  store.WriteProperty(QStringLiteral("BackStyle"), QVariant::fromValue(qint16(0)));
  store.WriteProperty(QStringLiteral("BorderStyle"), QVariant::fromValue(qint16(0)));
  store.WriteProperty(QStringLiteral("Enabled"), false);
  Vellum32 c;
  ChangeRecorder changes(c);
  c.ReadProperties(store);
  EXPECT_EQ(changes.names, QStringList{"Font"});
  EXPECT_EQ(c.BackColor(), 255);
  EXPECT_EQ(c.palette().color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_FALSE(c.autoFillBackground());
  EXPECT_EQ(c.BackStyle(), BackStyleTypes::Transparent);
  EXPECT_EQ(c.BorderStyle(), BorderStyleTypes::None);
  EXPECT_FALSE(c.Enabled());

  MemoryPropertyStore saved;
  c.WriteProperties(saved);
  EXPECT_EQ(saved.ReadProperty(QStringLiteral("BackStyle")).value<qint16>(), 0);
}

TEST(Vellum32Persistence, DefaultsMatchANewControl) {
  MemoryPropertyStore empty;
  Vellum32 c;
  c.setMarkerSize(1);
  c.setXAxisType(AxisTypes::LogLinear);
  c.setTitle(QStringLiteral("t"));
  c.ReadProperties(empty);
  Vellum32 fresh;
  EXPECT_EQ(c.MarkerSize(), fresh.MarkerSize());
  EXPECT_EQ(c.XAxisType(), fresh.XAxisType());
  EXPECT_EQ(c.Title(), fresh.Title());
  EXPECT_EQ(c.BackColor(), fresh.BackColor());
  EXPECT_EQ(c.ZoomXType(), ZoomXTypes::ZoomXCentre);
  EXPECT_EQ(c.ZoomYType(), ZoomYTypes::ZoomyCentre);
  EXPECT_EQ(c.DataNull(), -999.0f);
  ASSERT_TRUE(c.TitleFont().has_value());  // loading gives the ambient font
  EXPECT_EQ(*c.TitleFont(), c.AmbientFont());

  // Saving a new control keeps only what differs from the write defaults.
  MemoryPropertyStore saved;
  fresh.WriteProperties(saved);
  EXPECT_FALSE(saved.contains(QStringLiteral("BackColor")));
  EXPECT_FALSE(saved.contains(QStringLiteral("ChartType")));
  EXPECT_FALSE(saved.contains(QStringLiteral("TitleFont")));
  EXPECT_TRUE(saved.contains(QStringLiteral("XAxisMin")));  // always written
  EXPECT_TRUE(saved.contains(QStringLiteral("ZoomYType")));
}

TEST(Vellum32Persistence, FullRoundTripThroughAFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("graph.props"));
  {
    Vellum32 c;
    c.setBackColor(RGBColour(1, 2, 3));
    c.setForeColor(SystemButtonText);
    c.setTitle(QStringLiteral("Corrected\nvalues"));
    c.setTitleFont(QFont(QStringLiteral("DejaVu Serif"), 14));
    c.setChartType(ChartTypes::Line);
    c.setPlotPoints(true);
    c.setDisplayLegend(true);
    c.setDisplayAxes(false);
    c.setYAxisMin(-1.25f);
    c.setYAxisMax(3.5f);
    c.setyTickInterval(0.25f);
    c.setYAxisType(AxisTypes::LogLinear);
    c.setYAxisCutoff(0.05f);
    c.setYAxisLabel(QStringLiteral("nT"));
    c.setXAxisMin(10);
    c.setXAxisMax(20);
    c.setxTickInterval(2);
    c.setXAxisLabel(QStringLiteral("Station"));
    c.setDataNull(-99999);
    c.setMarkerSize(60);
    c.setXBaseLog(2);
    c.setYBaseLog(3);
    c.setSetMargins(true);
    c.setYAxisTopMargin(500);
    c.setYAxisBottomMargin(400);
    c.setXAxisLeftMargin(300);
    c.setXAxisRightMargin(200);
    c.setDoZoom(true);
    c.setZoomXSplit(30);
    c.setZoomXSplitLeft(1);
    c.setZoomXSplitRight(2);
    c.setZoomYSplit(40);
    c.setZoomYSplitTop(3);
    c.setZoomYSplitBottom(4);
    c.setZoomXType(ZoomXTypes::ZoomXLeft);
    c.setZoomYType(ZoomYTypes::ZoomYBottom);
    FilePropertyStore store(path);
    c.WriteProperties(store);
    store.save();
  }
  FilePropertyStore store(path);
  store.load();
  Vellum32 c;
  c.ReadProperties(store);
  EXPECT_EQ(c.BackColor(), RGBColour(1, 2, 3));
  EXPECT_EQ(c.ForeColor(), SystemButtonText);
  EXPECT_EQ(c.Title(), QStringLiteral("Corrected\nvalues"));
  ASSERT_TRUE(c.TitleFont().has_value());
  EXPECT_EQ(c.TitleFont()->pointSize(), 14);
  EXPECT_EQ(c.ChartType(), ChartTypes::Line);
  EXPECT_TRUE(c.PlotPoints());
  EXPECT_TRUE(c.DisplayLegend());
  EXPECT_FALSE(c.DisplayAxes());
  EXPECT_EQ(c.YAxisMin(), -1.25f);
  EXPECT_EQ(c.YAxisMax(), 3.5f);
  EXPECT_EQ(c.yTickInterval(), 0.25f);
  EXPECT_EQ(c.YAxisType(), AxisTypes::LogLinear);
  EXPECT_FLOAT_EQ(c.YAxisCutoff(), 0.01f);
  EXPECT_EQ(c.YAxisLabel(), QStringLiteral("nT"));
  EXPECT_EQ(c.XAxisMin(), 10.0f);
  EXPECT_EQ(c.XAxisMax(), 20.0f);
  EXPECT_EQ(c.xTickInterval(), 2.0f);
  EXPECT_EQ(c.XAxisLabel(), QStringLiteral("Station"));
  EXPECT_EQ(c.DataNull(), -99999.0f);
  EXPECT_EQ(c.MarkerSize(), 60);
  EXPECT_EQ(c.XBaseLog(), 2.0f);
  EXPECT_EQ(c.YBaseLog(), 3.0f);
  EXPECT_FLOAT_EQ(StateOf(c).Y.LnBase, float(std::log(3.0)));
  EXPECT_TRUE(c.SetMargins());
  EXPECT_EQ(c.YAxisTopMargin(), 500.0f);
  EXPECT_EQ(c.YAxisBottomMargin(), 400.0f);
  EXPECT_EQ(c.XAxisLeftMargin(), 300.0f);
  EXPECT_EQ(c.XAxisRightMargin(), 200.0f);
  EXPECT_TRUE(c.DoZoom());
  EXPECT_EQ(c.ZoomXSplit(), 30);
  EXPECT_EQ(c.ZoomXSplitLeft(), 1);
  EXPECT_EQ(c.ZoomXSplitRight(), 2);
  EXPECT_EQ(c.ZoomYSplit(), 40);
  EXPECT_EQ(c.ZoomYSplitTop(), 3);
  EXPECT_EQ(c.ZoomYSplitBottom(), 4);
  EXPECT_EQ(c.ZoomXType(), ZoomXTypes::ZoomXLeft);
  EXPECT_EQ(c.ZoomYType(), ZoomYTypes::ZoomYBottom);
}

TEST(Vellum32Persistence, StoredValueOfTheWrongTypeRaisesTypeMismatch) {
  MemoryPropertyStore store;
  store.WriteProperty(QStringLiteral("MarkerSize"), QStringLiteral("large"));
  Vellum32 c;
  expectError(TypeMismatch, [&] { c.ReadProperties(store); });
  MemoryPropertyStore font;
  font.WriteProperty(QStringLiteral("Font"), 12);
  expectError(TypeMismatch, [&] { c.ReadProperties(font); });
}

// Bad values do not stop the loading: their properties take the defaults, every other
// key loads, and the first error is raised at the end.
TEST(Vellum32Persistence, BadValuesRaiseAfterTheRestIsLoaded) {
  MemoryPropertyStore store;
  store.WriteProperty(QStringLiteral("BorderStyle"), QVariant::fromValue(qint16(7)));
  store.WriteProperty(QStringLiteral("MarkerSize"), QStringLiteral("large"));
  store.WriteProperty(QStringLiteral("Title"), QStringLiteral("loaded"));
  store.WriteProperty(QStringLiteral("WheelZoom"), false);
  Vellum32 c;
  c.setMarkerSize(3);
  c.setBorderStyle(BorderStyleTypes::None);
  expectError(InvalidPropertyValue, [&] { c.ReadProperties(store); });
  EXPECT_EQ(c.BorderStyle(), BorderStyleTypes::Solid);
  EXPECT_EQ(c.MarkerSize(), 35);
  EXPECT_EQ(c.Title(), QStringLiteral("loaded"));
  EXPECT_FALSE(c.WheelZoom());
}

}  // namespace
}  // namespace vellum32
