// The matching and the base-value search on hostile but valid data, each against a plain
// linear pass over the same tables:
//  - BLOCKS base blocks and BLOCKS field blocks, alternating and never overlapping, through
//    scan_base_blocks and through one uncheck of a base block;
//  - one base block of READINGS readings a second apart and a field block whose reading
//    times alternate between morning and evening, through base_value_at with k carried.
//   match_bench [BLOCKS [READINGS]]   (run_match_bench.sh builds it and prints the figures)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "correction/base_match.h"
#include "model/survey_model.h"

using namespace corvane;

namespace {

constexpr double second = 1.0 / 86400.0;
constexpr double day = 35197.0;  // 12 May 1996

void add_block(SurveyModel& m, BlockKind kind, std::int32_t count, double (*time_of)(std::int32_t, std::int32_t),
               std::int32_t which) {
  Block b;
  b.kind = kind;
  b.first_reading = m.reading_count() + 1;
  b.num_readings = count;
  b.line = kind == field_kind ? "100N" : "BS1";
  for (std::int32_t j = 0; j < count; ++j) {
    const double t = time_of(which, j);
    m.readings.push_back(Reading{t, static_cast<float>(j), 57500.0f + static_cast<float>(j % 97)});
    b.start_time = j == 0 ? t : std::min(b.start_time, t);
    b.end_time = j == 0 ? t : std::max(b.end_time, t);
  }
  m.node_count += 1;
  b.node = m.node_count;
  m.append_node(0, "block" + std::to_string(m.block_count + 1), true);
  m.blocks.push_back(b);
  m.block_count += 1;
  m.node_block.push_back(m.block_count);
  (kind == field_kind ? m.data_block_count : m.base_block_count) += 1;
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Every block's span and check mark read once: the least any matching must do (best of 3).
double plain_block_pass(const SurveyModel& m) {
  double best = 1e300, sum = 0.0;
  for (int run = 0; run < 3; ++run) {
    const auto t0 = std::chrono::steady_clock::now();
    for (std::int32_t b = 1; b <= m.block_count; ++b)
      if (m.block(b).num_readings >= 2 && m.block_checked(b)) sum += m.block(b).end_time - m.block(b).start_time;
    best = std::min(best, seconds_since(t0));
  }
  if (sum == 42.0) std::puts("");
  return best;
}

// Every reading of a block read once, in table order (best of 3).
double plain_reading_pass(const SurveyModel& m, std::int32_t b) {
  double best = 1e300, sum = 0.0;
  for (int run = 0; run < 3; ++run) {
    const auto t0 = std::chrono::steady_clock::now();
    for (std::int32_t r = m.block(b).first_reading; r < m.block(b).first_reading + m.block(b).num_readings; ++r)
      sum += m.reading(r).time * static_cast<double>(m.reading(r).mag);
    best = std::min(best, seconds_since(t0));
  }
  if (sum == 42.0) std::puts("");
  return best;
}

double walk(const SurveyModel& m, std::int32_t field, double& checksum) {
  const auto t0 = std::chrono::steady_clock::now();
  std::int32_t k = 1;
  const Block& b = m.block(field);
  for (std::int32_t r = b.first_reading; r < b.first_reading + b.num_readings; ++r)
    if (const auto v = base_value_at(m, field, m.reading(r).time, k)) checksum += *v + k;
  return seconds_since(t0);
}

}  // namespace

int main(int argc, char** argv) {
  const std::int32_t blocks = argc > 1 ? std::atoi(argv[1]) : 80000;
  const std::int32_t readings = argc > 2 ? std::atoi(argv[2]) : 80000;
  if (blocks < 1 || readings < 8000) {
    std::fprintf(stderr, "usage: match_bench [BLOCKS [READINGS]]\n");
    return 2;
  }

  // Block pair i: a base session of 2 s, then a field line of 2 s that starts after it.
  SurveyModel scan;
  for (std::int32_t i = 0; i < blocks; ++i) {
    add_block(
        scan, base_kind, 2, [](std::int32_t w, std::int32_t j) { return day + (10.0 * w + j) * second; }, i);
    add_block(
        scan, field_kind, 2, [](std::int32_t w, std::int32_t j) { return day + (10.0 * w + 5 + j) * second; }, i);
  }
  const double scan_pass = plain_block_pass(scan);
  auto t0 = std::chrono::steady_clock::now();
  scan_base_blocks(scan);
  const double scan_time = seconds_since(t0);
  t0 = std::chrono::steady_clock::now();
  set_node_checked(scan, scan.block(1).node, false);
  const double uncheck_time = seconds_since(t0);

  // One base session from 01:00, a reading a second; the field line's times alternate
  // between the first and the last hour of it.
  static std::int32_t base_readings;
  base_readings = readings;
  SurveyModel interp;
  add_block(
      interp, base_kind, readings, [](std::int32_t, std::int32_t j) { return day + (3600.0 + j) * second; }, 0);
  add_block(
      interp, field_kind, readings,
      [](std::int32_t, std::int32_t j) {
        const double early = 3600.5 + (j / 2) % 3600, late = 3600.5 + base_readings - 3601 - (j / 2) % 3600;
        return day + (j % 2 == 0 ? early : late) * second;
      },
      0);
  add_block(
      interp, field_kind, readings,
      [](std::int32_t, std::int32_t j) { return day + (3600.5 + j * (base_readings - 2.0) / base_readings) * second; },
      0);
  scan_base_blocks(interp);
  double checksum = 0.0;
  const double interp_pass = plain_reading_pass(interp, 2);
  const double alternating = walk(interp, 2, checksum);
  const double in_order = walk(interp, 3, checksum);

  std::printf("scan_base_blocks, %d base and %d field blocks, none overlapping\n", blocks, blocks);
  std::printf("  plain pass over the blocks   %9.4f s\n", scan_pass);
  std::printf("  scan_base_blocks             %9.4f s  (%.0f x the plain pass)\n", scan_time, scan_time / scan_pass);
  std::printf("  uncheck of one base block    %9.4f s  (%.0f x the plain pass)\n", uncheck_time,
              uncheck_time / scan_pass);
  std::printf("base_value_at, a base block of %d readings, field lines of %d readings\n", readings, readings);
  std::printf("  plain pass over the readings %9.4f s\n", interp_pass);
  std::printf("  alternating morning/evening  %9.4f s  (%.0f x the plain pass)\n", alternating,
              alternating / interp_pass);
  std::printf("  times in order               %9.4f s  (%.0f x the plain pass)\n", in_order, in_order / interp_pass);
  std::printf("  (checksum %.6g)\n", checksum);
  return 0;
}
