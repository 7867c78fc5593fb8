#pragma once
// What both export writers share: which blocks are written, their working columns
// (position, time, raw, base, corrected), the line coordinate and the column routine.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "correction/base_match.h"
#include "model/survey_model.h"
#include "qc/spikes.h"
#include "util/operator.h"
#include "util/ordered_pipeline.h"

namespace corvane {

// A failure inside an export; its text is the description after
// "An error occurred while exporting the data: ".
struct ExportError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A failure of an export whose text is the whole message shown.
struct ExportMessage : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A failure of an export already shown to the operator (by the GX library's error display).
struct ExportFailureShown {};

// "An error occurred while exporting the data: " followed by the description.
void report_export_error(Operator& op, const std::string& description);

// The spikes an export leaves out, flagged once for the whole export.
struct LeftOutSpikes {
  LeftOutSpikes(const SurveyModel& model, const SpikeOptions& options)
      : flags(flag_spikes(model, options)), base(model, flags.reading) {}
  SpikeFlags flags;
  KeptBaseValues base;
  bool flagged(std::int32_t reading) const { return flags.reading[static_cast<std::size_t>(reading)] != 0; }
};

struct ExportOptions {
  bool apply_corrections = true;
  bool export_all = false;
  bool export_base = false;
  float base_field_value = 0.0f;          // added to corrected readings
  const LeftOutSpikes* spikes = nullptr;  // none: every reading counts
};

enum class BlockTreatment {
  skip,         // not written
  uncovered,    // not written: a ticked field line that no base session covers
  corrected,    // field block corrected with its base block
  uncorrected,  // field block written as read
  base,         // base block
};

// Whether and how block b is written: its node must be checked and it must have at least
// two readings; then the options decide.
BlockTreatment select_block(const SurveyModel& model, std::int32_t b, const ExportOptions& options);

// Working columns of one block, rows 1..num_readings in reading-table order (row 0 unused).
struct WorkingColumns {
  std::vector<float> position;
  std::vector<double> time;
  std::vector<float> raw, base, corr;
  std::int32_t rows() const { return static_cast<std::int32_t>(position.size()) - 1; }
};

// Fills the working columns of block b for the given treatment. Values that do not exist
// (no raw reading at a base station, no base value outside the base block's span) are
// null_value. `offset` is added to corrected values only. Throws ExportError when a base
// or corrected value overflows the 32-bit float range, so that no column holds "inf".
void build_working_columns(const SurveyModel& model, std::int32_t b, BlockTreatment treatment, float offset,
                           WorkingColumns& out);

// build_working_columns with spikes left out: the base values come from the unflagged base
// readings, and a flagged field reading has no corrected value. Base blocks are as read.
void build_despiked_working_columns(const SurveyModel& model, std::int32_t b, BlockTreatment treatment, float offset,
                                    const LeftOutSpikes& spikes, WorkingColumns& out);

// The working columns an export with `options` writes for block b.
inline void build_export_columns(const SurveyModel& model, std::int32_t b, BlockTreatment treatment,
                                 const ExportOptions& options, WorkingColumns& out) {
  if (options.spikes)
    build_despiked_working_columns(model, b, treatment, options.base_field_value, *options.spikes, out);
  else
    build_working_columns(model, b, treatment, options.base_field_value, out);
}

struct SpikesLeftOut {
  std::int64_t base = 0;   // flagged readings of the base sessions the written lines are corrected with
  std::int64_t field = 0;  // flagged readings of the written field lines
};

struct ExportTally {
  std::int32_t lines = 0;
  std::int64_t readings = 0;
  std::vector<std::int32_t> nameless;   // left out for want of a line name
  std::vector<std::int32_t> uncovered;  // ticked field lines left out: no base session covers them
  std::optional<SpikesLeftOut> spikes;  // when the export left spikes out
};

// A block an export writes, and how.
struct WrittenBlock {
  std::int32_t block = 0;
  BlockTreatment treatment = BlockTreatment::skip;
};

// The blocks an export writes, in block order. The ticked blocks it leaves out are added to
// the tally's lists: a block without a line name has no line coordinate.
std::vector<WrittenBlock> blocks_to_write(const SurveyModel& model, const ExportOptions& options, ExportTally& tally);

// What leaving out `spikes` takes from the blocks `written`.
SpikesLeftOut count_spikes_left_out(const SurveyModel& model, const std::vector<WrittenBlock>& written,
                                    const LeftOutSpikes& spikes);

// The written blocks cut into batches of about 8,192 readings, each as the place of its
// first block in `written`, and written.size() at the end: enough readings that handing a
// batch from thread to thread costs next to nothing.
std::vector<std::size_t> export_batches(const SurveyModel& model, const std::vector<WrittenBlock>& written);

// The threads that prepare an export's batches: one a core, but the one left to a writer
// whose own work takes a core.
unsigned export_workers(bool writing_takes_a_core);

// Status panels 2 and 3 name the block about to be written; after it is written, panel 4
// shows the running total of readings.
void show_block_started(Operator& op, const Block& block);
void count_block_written(Operator& op, const Block& block, ExportTally& tally);

// Walks the blocks an export writes, in block order, in batches (`Batch` is the writer's,
// reused from batch to batch). On `workers` threads, ahead of the writing, each block's working
// columns are built and handed to prepare(j, block, columns, batch), j being its place in
// the batch. On the calling thread, in block order, write(j, block, batch) writes it between
// show_block_started and count_block_written. What a preparation throws is thrown at its
// block's turn, once the blocks before it are written; what `write` throws ends the walk.
template <class Batch, class Prepare, class Write>
ExportTally for_each_written_block(const SurveyModel& model, const ExportOptions& options, Operator& op,
                                   unsigned workers, Prepare&& prepare, Write&& write) {
  ExportTally tally;
  const std::vector<WrittenBlock> written = blocks_to_write(model, options, tally);
  if (options.spikes) tally.spikes = count_spikes_left_out(model, written, *options.spikes);
  const std::vector<std::size_t> starts = export_batches(model, written);
  struct Slot {
    WorkingColumns columns;
    Batch batch;
    std::size_t failed_at = SIZE_MAX;  // the block, from the batch's first, whose preparation threw
    std::exception_ptr failure;
  };
  run_in_order<Slot>(
      starts.size() - 1, workers, 2 * std::size_t{workers},
      [&](std::size_t n, Slot& slot) {
        slot.failed_at = SIZE_MAX;
        slot.failure = nullptr;
        for (std::size_t j = 0; j < starts[n + 1] - starts[n]; ++j) {
          const WrittenBlock& w = written[starts[n] + j];
          try {
            build_export_columns(model, w.block, w.treatment, options, slot.columns);
            prepare(j, model.block(w.block), slot.columns, slot.batch);
          } catch (...) {
            slot.failed_at = j;
            slot.failure = std::current_exception();
            return;
          }
        }
      },
      [&](std::size_t n, Slot& slot) {
        for (std::size_t j = 0; j < starts[n + 1] - starts[n]; ++j) {
          const Block& block = model.block(written[starts[n] + j].block);
          show_block_started(op, block);
          if (j == slot.failed_at) std::rethrow_exception(slot.failure);
          write(j, block, slot.batch);
          count_block_written(op, block, tally);
        }
      });
  return tally;
}

// "Export complete"; then how many lines and readings went to `path`; then one line for each
// block left out, in the style of the reader's messages ("File : a.dat Block : 3"); then the
// base times' shift, when they were moved, and the spikes left out, when they were.
std::string export_complete_message(const SurveyModel& model, const ExportTally& tally, const std::string& path);

// "The base times were moved by +37 s before matching"
std::string base_shift_message(std::int64_t seconds);

// The line coordinate: the numeric value of the line name without its last character.
// Throws ExportError for an empty line name.
float line_coordinate(std::string_view line);
// The direction letter: the last character of the trimmed line name (0 when empty).
char direction_letter(std::string_view line);

// Where a reading lies on the plan, east (X) and north (Y). A line whose direction letter
// is "N" (upper case only) runs north: the reading's position is X and the line coordinate
// Y. Every other line is placed as an "E" line: the line coordinate is X, the position Y.
inline bool position_is_x(char direction) { return direction == 'N'; }
struct PlanPoint {
  float x = 0.0f;
  float y = 0.0f;
};
inline PlanPoint plan_point(float line_coord, char direction, float position) {
  return position_is_x(direction) ? PlanPoint{position, line_coord} : PlanPoint{line_coord, position};
}

// Pads `text` on the left with blanks to `width`, or keeps its first `width` characters.
std::string fit_field(std::string_view text, std::size_t width);

// The number column of both writers: fit_field(format_fixed(v, 1), 10), written to
// out[0..10) without building a text.
constexpr std::size_t value_field_width = 10;
void fit_value(char* out, float v);

}  // namespace corvane
