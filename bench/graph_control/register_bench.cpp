// RegisterData against a plain copy of the same doubles: time and peak heap memory; and
// the plain-array registration against the store it builds.
//
// Two tables: one group of 1,000,000 points (an X row and a Y row) and one group of
// 100 series of 10,000 points. For each, the same doubles are also copied out of the
// table into a plain std::vector<double> (the least any registration has to do), and
// the figures are printed side by side with their ratios.
#include <malloc.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <span>
#include <vector>

#include "control_access.h"
#include "vellum32/vellum32.h"

// --- Heap accounting: every operator new of the process (the library's too) ---------------
namespace {
std::size_t g_current = 0;
std::size_t g_peak = 0;

void* track(void* p) {
  if (!p) throw std::bad_alloc();
  g_current += malloc_usable_size(p);
  g_peak = std::max(g_peak, g_current);
  return p;
}
void untrack(void* p) noexcept {
  if (!p) return;
  g_current -= malloc_usable_size(p);
  std::free(p);
}
}  // namespace

void* operator new(std::size_t n) { return track(std::malloc(n ? n : 1)); }
void* operator new[](std::size_t n) { return track(std::malloc(n ? n : 1)); }
void* operator new(std::size_t n, std::align_val_t a) {
  return track(std::aligned_alloc(
      std::size_t(a), (std::max<std::size_t>(n, 1) + std::size_t(a) - 1) / std::size_t(a) * std::size_t(a)));
}
void* operator new[](std::size_t n, std::align_val_t a) { return operator new(n, a); }
void operator delete(void* p) noexcept { untrack(p); }
void operator delete[](void* p) noexcept { untrack(p); }
void operator delete(void* p, std::size_t) noexcept { untrack(p); }
void operator delete[](void* p, std::size_t) noexcept { untrack(p); }
void operator delete(void* p, std::align_val_t) noexcept { untrack(p); }
void operator delete[](void* p, std::align_val_t) noexcept { untrack(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { untrack(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { untrack(p); }

namespace {

using Clock = std::chrono::steady_clock;

struct Measure {
  double seconds = 0;
  std::size_t peakBytes = 0;
};

// Runs `work` `runs` times; the median time and the largest heap growth over the run.
template <typename F>
Measure measure(int runs, F&& work) {
  std::vector<double> times;
  std::size_t peak = 0;
  for (int r = 0; r < runs; ++r) {
    const std::size_t start = g_current;
    g_peak = g_current;
    const auto t0 = Clock::now();
    work();
    const auto t1 = Clock::now();
    times.push_back(std::chrono::duration<double>(t1 - t0).count());
    peak = std::max(peak, g_peak - start);
  }
  std::sort(times.begin(), times.end());
  return {times[times.size() / 2], peak};
}

vellum32::DataTable makeTable(int series, int points) {
  vellum32::DataTable table(series + 1, points + 1);
  for (int k = 1; k <= points; ++k) table(0, k) = double(k);
  for (int s = 1; s <= series; ++s)
    for (int k = 1; k <= points; ++k) table(s, k) = double((qint64(k) * 7919 + s * 104729) % 100003) * 0.01 - 500.0;
  return table;
}

// The plain copy: the same doubles, read out of the same table, into one array.
std::vector<double> plainCopy(const vellum32::DataTable& table) {
  std::vector<double> out(std::size_t(table.rowCount()) * std::size_t(table.cellCount() - 1));
  double* d = out.data();
  for (qsizetype r = 0; r < table.rowCount(); ++r)
    for (qsizetype k = 1; k < table.cellCount(); ++k) *d++ = table(r, k).toDouble();
  return out;
}

void runCase(const char* name, int series, int points, int runs) {
  const vellum32::DataTable table = makeTable(series, points);
  const double doubles = double(series + 1) * points;

  volatile double checksum = 0;
  const Measure copy = measure(runs, [&] {
    const std::vector<double> copied = plainCopy(table);
    checksum = checksum + copied[copied.size() / 2];
  });

  vellum32::Vellum32 control;
  const Measure reg = measure(runs, [&] {
    control.Clear();
    control.RegisterData(table);
  });
  if (vellum32::ControlAccess::State(control).Store.SeriesCount() != series ||
      vellum32::ControlAccess::State(control).Store.MaxPoints() != points) {
    std::fprintf(stderr, "registration gave the wrong store\n");
    std::exit(1);
  }

  // The same numbers as arrays, one group whose series share its X values.
  const std::vector<double> numbers = plainCopy(table);
  const auto row = [&](int r) { return std::span(numbers).subspan(std::size_t(r) * std::size_t(points), points); };
  std::vector<vellum32::GroupData> groups{{row(0), {}}};
  for (int s = 1; s <= series; ++s) groups[0].Y.push_back(row(s));
  const Measure typed = measure(runs, [&] {
    control.Clear();
    control.RegisterData(groups);
  });

  std::printf("%s (%d series x %d points, %.0f doubles, median of %d runs)\n", name, series, points, doubles, runs);
  std::printf("  plain copy     %9.2f ms  %9.2f MiB peak\n", copy.seconds * 1e3, copy.peakBytes / 1048576.0);
  std::printf("  RegisterData   %9.2f ms  %9.2f MiB peak   (a table of variants)\n", reg.seconds * 1e3,
              reg.peakBytes / 1048576.0);
  std::printf("  typed          %9.2f ms  %9.2f MiB peak   (arrays of doubles)\n", typed.seconds * 1e3,
              typed.peakBytes / 1048576.0);
  std::printf("  table / copy   %9.2fx    %9.2fx\n", reg.seconds / copy.seconds,
              double(reg.peakBytes) / double(copy.peakBytes));
  std::printf("  store holds    %9.2f MiB\n\n",
              vellum32::ControlAccess::State(control).Store.allocatedBytes() / 1048576.0);
}

// The plain-array forms for one series and its marker colours: their peak heap growth
// against the store they build (the store itself and nothing per point besides).
void runTypedCase(int points, int runs) {
  const auto n = static_cast<std::size_t>(points);
  std::vector<double> x(n), y(n);
  std::vector<qint32> colours(n);
  for (int k = 0; k < points; ++k) {
    x[std::size_t(k)] = k;
    y[std::size_t(k)] = double((qint64(k) * 7919) % 100003) * 0.01 - 500.0;
    colours[std::size_t(k)] = k % 0xFFFFFF;
  }
  vellum32::Vellum32 control;
  const Measure reg = measure(runs, [&] {
    control.Clear();
    control.RegisterData(x, y);
    control.RegisterMarkerColour(colours, 1, 1);
  });
  const std::size_t store = vellum32::ControlAccess::State(control).Store.allocatedBytes();
  std::printf("one series of %d points from plain arrays, with marker colours (median of %d runs)\n", points, runs);
  std::printf("  RegisterData + RegisterMarkerColour %9.2f ms  %9.2f MiB peak\n", reg.seconds * 1e3,
              reg.peakBytes / 1048576.0);
  std::printf("  store holds                         %9.2f MiB (%.1f bytes a point)\n\n", store / 1048576.0,
              double(store) / points);
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  runCase("one group of 1,000,000 points", 1, 1000000, 5);
  runCase("100 series of 10,000 points", 100, 10000, 5);
  runTypedCase(1000000, 5);
  return 0;
}
