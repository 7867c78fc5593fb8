// Places a graph control, registers a small table and checks what the control reports.
#include <vellum32/vellum32.h>

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  vellum32::Vellum32 graph;
  graph.setChartType(vellum32::ChartTypes::Line);
  graph.setDataNull(-99999);
  graph.setYAxisCutoff(0.05f);

  vellum32::DataTable table(2, 4);
  for (int k = 1; k <= 3; ++k) {
    table(0, k) = k;
    table(1, k) = 10.0 * k;
  }
  table(1, 2) = -99999;
  graph.RegisterData(table);
  graph.setBackColor(0xFFFFFF);
  graph.setyTickInterval(10);
  graph.Refresh();

  int failures = 0;
  const auto check = [&failures](bool ok, const char* what) {
    if (!ok) {
      std::fprintf(stderr, "host check failed: %s\n", what);
      ++failures;
    }
  };
  // Frame, ticks and numbers: the picture holds black pixels on white.
  const QImage& picture = graph.Picture();
  int black = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) black += picture.pixel(x, y) == qRgb(0, 0, 0);
  check(black > picture.width(), "plot drawn");
  check(graph.YAxisMin() == 10 && graph.YAxisMax() == 30, "automatic limits skip the missing value");
  check(graph.YAxisCutoff() == 0.01f, "cutoff snapping");
  check(graph.findChild<QWidget*>(QStringLiteral("Picture_graph")) != nullptr, "picture child");
  try {
    graph.PointMarker(2, 1, 1);
    check(false, "error raised for a missing group");
  } catch (const vellum32::Vellum32Error& e) {
    check(e.Number() == 9, "error number");
  }
  // A host's own operator: the printer it hands out is complete in the installed headers.
  struct NoPrinter : vellum32::ControlOperator {
    std::unique_ptr<QPrinter> DefaultPrinter() override { return nullptr; }
  } noPrinter;
  graph.setOperator(&noPrinter);
  check(noPrinter.DefaultPrinter() == nullptr, "host operator");
  graph.setOperator(nullptr);
  vellum32::MemoryPropertyStore bag;
  graph.WriteProperties(bag);
  check(bag.ReadProperty(QStringLiteral("charttype")).toInt() == 1, "persisted chart type");
  if (failures == 0) std::puts("vellum32 host: ok");
  return failures == 0 ? 0 : 1;
}
