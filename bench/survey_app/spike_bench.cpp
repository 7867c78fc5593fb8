// Spike flags on generated data with spikes injected at known places:
//  - field profiles of 400 stations: a regional gradient, narrow dipoles (500-2000 nT, a few
//    stations wide), steep contacts and 0.1-0.5 nT noise;
//  - base sessions of 3000 readings at 1-10 s: a smooth diurnal curve, pulsations of 0.5-3 nT
//    with periods of 10-300 s and 0.1 nT noise.
// Spikes are 5-200 nT (log-uniform), 1-3 readings wide, of either sign, at least 12 readings
// apart. A spike is found when any of its readings is flagged; a flag is right when it lies
// on a spike. A spike no larger than the clean signal's largest change between two readings,
// from the one before it to the one after it, counts as hidden by the signal. Prints recall and
// precision over windows, tolerances and noise factors, then for the defaults (marked *)
// recall by spike size and width, over all spikes and over those not hidden, and the time.
//   spike_bench [LINES [SEED]]   (run_spike_bench.sh builds it and prints the table)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "qc/spikes.h"

using namespace corvane;

namespace {

struct Spike {
  std::size_t at = 0;
  int width = 1;
  double size = 0.0;  // nT, unsigned
  bool hidden = false;
};

struct Sequence {
  std::vector<float> values;
  std::vector<std::uint8_t> on_spike;
  std::vector<Spike> spikes;
};

class Generator {
public:
  explicit Generator(std::uint32_t seed) : random_(seed) {}

  Sequence profile() {
    const std::size_t n = 400;
    std::vector<double> v(n);
    const double level = uniform(52000.0, 58000.0), gradient = uniform(-2.0, 2.0), noise = uniform(0.1, 0.5);
    for (std::size_t i = 0; i < n; ++i) v[i] = level + gradient * static_cast<double>(i);
    for (int d = 0, count = 1 + pick(3); d < count; ++d) {
      // The total field over a buried dipole: a main lobe about 2h wide with side lobes.
      const double x0 = uniform(10.0, n - 10.0), h = uniform(2.5, 5.0), a = sign() * uniform(500.0, 2000.0);
      for (std::size_t i = 0; i < n; ++i) {
        const double x = static_cast<double>(i) - x0, r2 = x * x + h * h;
        v[i] += a * (2.0 * h * h - x * x) / std::pow(r2, 2.5) * h * h * h / 2.0;
      }
    }
    for (int c = 0, count = pick(3); c < count; ++c) {
      const double x0 = uniform(10.0, n - 10.0), w = uniform(1.5, 4.0), step = sign() * uniform(100.0, 600.0);
      for (std::size_t i = 0; i < n; ++i) v[i] += step * std::tanh((static_cast<double>(i) - x0) / w);
    }
    for (double& x : v) x += noise * gauss();
    return with_spikes(v);
  }

  Sequence base_session() {
    const std::size_t n = 3000;
    const double dt = std::vector<double>{1.0, 2.0, 5.0, 10.0}[static_cast<std::size_t>(pick(4))];
    const double start = uniform(6.0, 12.0) * 3600.0;
    struct Wave {
      double amplitude, period, phase;
    };
    std::vector<Wave> waves;
    for (int k = 0, count = 1 + pick(3); k < count; ++k)
      waves.push_back({uniform(0.5, 3.0), std::exp(uniform(std::log(10.0), std::log(300.0))), uniform(0.0, 6.3)});
    std::vector<double> v(n);
    for (std::size_t i = 0; i < n; ++i) {
      const double t = start + dt * static_cast<double>(i);
      v[i] = 57500.0 - 25.0 * std::sin((t / 3600.0 - 7.0) / 12.0 * M_PI) + 0.1 * gauss();
      for (const Wave& w : waves) v[i] += w.amplitude * std::sin(2.0 * M_PI * t / w.period + w.phase);
    }
    return with_spikes(v);
  }

private:
  double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(random_); }
  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  double sign() { return pick(2) == 0 ? -1.0 : 1.0; }
  double gauss() { return std::normal_distribution<double>(0.0, 1.0)(random_); }

  Sequence with_spikes(const std::vector<double>& v) {
    Sequence s;
    s.on_spike.assign(v.size(), 0);
    for (std::size_t at = 3 + static_cast<std::size_t>(pick(40)); at + 3 < v.size();
         at += 12 + static_cast<std::size_t>(pick(90))) {
      const Spike spike{at, 1 + pick(3), std::exp(uniform(std::log(5.0), std::log(200.0)))};
      double change = 0.0;
      for (std::size_t i = at - 1; i < at + static_cast<std::size_t>(spike.width); ++i)
        change = std::max(change, std::fabs(v[i + 1] - v[i]));
      s.spikes.push_back(spike);
      s.spikes.back().hidden = spike.size <= change;
      for (int k = 0; k < spike.width; ++k) s.on_spike[at + static_cast<std::size_t>(k)] = 1;
    }
    std::vector<double> out = v;
    for (const Spike& spike : s.spikes) {
      const double sg = sign();
      for (int k = 0; k < spike.width; ++k)
        out[spike.at + static_cast<std::size_t>(k)] += sg * spike.size * uniform(0.8, 1.0);
    }
    for (double x : out) s.values.push_back(static_cast<float>(x));
    return s;
  }

  std::mt19937 random_;
};

constexpr double bands[] = {5.0, 10.0, 20.0, 50.0, 200.01};
constexpr int band_count = 4;

struct Tally {
  std::int64_t spikes = 0, found = 0;
  void add(bool hit) { ++spikes, found += hit; }
  double recall() const { return spikes ? static_cast<double>(found) / static_cast<double>(spikes) : 1.0; }
};

struct Score {
  std::int64_t spikes = 0, found = 0, flags = 0, right = 0;
  Tally band[band_count], band_shown[band_count], width[3], width_shown[3], shown;

  void add(const Sequence& s, const std::vector<std::uint8_t>& flagged) {
    for (std::size_t i = 0; i < flagged.size(); ++i)
      if (flagged[i]) ++flags, right += s.on_spike[i];
    for (const Spike& spike : s.spikes) {
      bool hit = false;
      for (int k = 0; k < spike.width; ++k) hit = hit || flagged[spike.at + static_cast<std::size_t>(k)];
      int band = 0;
      while (band + 1 < band_count && spike.size >= bands[band + 1]) ++band;
      ++spikes;
      if (hit) ++found;
      this->band[band].add(hit);
      width[spike.width - 1].add(hit);
      if (!spike.hidden) band_shown[band].add(hit), width_shown[spike.width - 1].add(hit), shown.add(hit);
    }
  }
  double recall() const { return spikes ? static_cast<double>(found) / static_cast<double>(spikes) : 1.0; }
  double precision() const { return flags ? static_cast<double>(right) / static_cast<double>(flags) : 1.0; }
};

Score score(const std::vector<Sequence>& set, const SpikeOptions& o, BlockKind kind) {
  Score s;
  for (const Sequence& q : set) s.add(q, spike_flags(q.values, o, kind));
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const int lines = argc > 1 ? std::atoi(argv[1]) : 300;
  const auto seed = static_cast<std::uint32_t>(argc > 2 ? std::atoi(argv[2]) : 1996);
  Generator g(seed);
  std::vector<Sequence> field, base;
  for (int k = 0; k < lines; ++k) field.push_back(g.profile());
  for (int k = 0; k < std::max(1, lines / 10); ++k) base.push_back(g.base_session());
  std::int64_t field_spikes = 0, base_spikes = 0;
  for (const auto& s : field) field_spikes += static_cast<std::int64_t>(s.spikes.size());
  for (const auto& s : base) base_spikes += static_cast<std::int64_t>(s.spikes.size());
  const SpikeOptions defaults;
  std::printf("%d profiles (%lld spikes), %d base sessions (%lld spikes); noise factor %.1f\n\n", lines,
              static_cast<long long>(field_spikes), std::max(1, lines / 10), static_cast<long long>(base_spikes),
              static_cast<double>(defaults.noise_factor));
  std::printf("   window  tol nT | field recall precision | base recall precision\n");
  for (int w : {4, 6, 8, 10, 12})
    for (float tol : {2.0f, 3.0f, 4.0f, 5.0f, 6.0f}) {
      SpikeOptions o = defaults;
      o.window = w;
      o.tolerance_nt = tol;
      const Score f = score(field, o, field_kind), b = score(base, o, base_kind);
      const bool is_default = w == defaults.window && tol == defaults.tolerance_nt;
      std::printf(" %s %6d  %6.1f |       %6.3f    %6.3f |      %6.3f    %6.3f\n", is_default ? "*" : " ", w,
                  static_cast<double>(tol), f.recall(), f.precision(), b.recall(), b.precision());
    }
  std::printf("\n   noise factor (default window and tolerance)\n");
  for (float nf : {3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 10.0f}) {
    SpikeOptions o = defaults;
    o.noise_factor = nf;
    const Score f = score(field, o, field_kind), b = score(base, o, base_kind);
    std::printf(" %s %6.1f          |       %6.3f    %6.3f |      %6.3f    %6.3f\n",
                nf == defaults.noise_factor ? "*" : " ", static_cast<double>(nf), f.recall(), f.precision(), b.recall(),
                b.precision());
  }
  std::printf("\n   base sessions' scatter and noise factors (default window and tolerance)\n");
  for (float sf : {2.5f, 3.0f, 4.0f})
    for (float nf : {2.0f, 2.5f, 3.0f}) {
      SpikeOptions o = defaults;
      o.base_scatter_factor = sf;
      o.base_noise_factor = nf;
      const Score b = score(base, o, base_kind);
      std::printf(" %s %6.1f  %6.1f  |                         |      %6.3f    %6.3f\n",
                  sf == defaults.base_scatter_factor && nf == defaults.base_noise_factor ? "*" : " ",
                  static_cast<double>(sf), static_cast<double>(nf), b.recall(), b.precision());
    }
  const auto start = std::chrono::steady_clock::now();
  const Score f = score(field, defaults, field_kind), b = score(base, defaults, base_kind);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::int64_t readings = 0;
  for (const auto* set : {&field, &base})
    for (const Sequence& s : *set) readings += static_cast<std::int64_t>(s.values.size());
  std::printf(
      "\n   defaults: window %d, tolerance %.1f nT, noise and scatter factors %.1f and %.1f (base %.1f and %.1f)\n",
      defaults.window, static_cast<double>(defaults.tolerance_nt), static_cast<double>(defaults.noise_factor),
      static_cast<double>(defaults.scatter_factor), static_cast<double>(defaults.base_noise_factor),
      static_cast<double>(defaults.base_scatter_factor));
  std::printf("   field recall %.3f precision %.3f | base recall %.3f precision %.3f\n", f.recall(), f.precision(),
              b.recall(), b.precision());
  std::printf("   not hidden by the signal: field recall %.3f (%lld) | base recall %.3f (%lld)\n", f.shown.recall(),
              static_cast<long long>(f.shown.spikes), b.shown.recall(), static_cast<long long>(b.shown.spikes));
  const auto row = [](const char* label, const Tally& fa, const Tally& fs, const Tally& ba, const Tally& bs) {
    std::printf("   %-10s |  %6.3f (%4lld)  %6.3f (%4lld) |  %6.3f (%4lld)  %6.3f (%4lld)\n", label, fa.recall(),
                static_cast<long long>(fa.spikes), fs.recall(), static_cast<long long>(fs.spikes), ba.recall(),
                static_cast<long long>(ba.spikes), bs.recall(), static_cast<long long>(bs.spikes));
  };
  std::printf("\n   recall     |  field: all    not hidden   |  base: all     not hidden\n");
  for (int k = 0; k < band_count; ++k) {
    char label[32];
    std::snprintf(label, sizeof label, "%.0f-%.0f nT", bands[k], std::floor(bands[k + 1]));
    row(label, f.band[k], f.band_shown[k], b.band[k], b.band_shown[k]);
  }
  for (int w = 0; w < 3; ++w) {
    char label[32];
    std::snprintf(label, sizeof label, "%d wide", w + 1);
    row(label, f.width[w], f.width_shown[w], b.width[w], b.width_shown[w]);
  }
  std::printf("\n   time: %.0f ms for %lld readings (%.1f M readings/s)\n", 1000.0 * seconds,
              static_cast<long long>(readings), static_cast<double>(readings) / seconds / 1e6);
  return 0;
}
