#pragma once
// Reads Scintrex dump files (fixed-column and keyword-header layouts) into the survey
// model: one block per header, one tree node per file and per block.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/survey_model.h"
#include "util/date_time.h"
#include "util/operator.h"
#include "util/ordered_pipeline.h"  // default_jobs: the files read at once unless told otherwise

namespace corvane {

class LineReader;

// One item of the file list: its name (the list's text, and the tree key) and directory.
struct DumpFile {
  std::string name;
  std::string directory;
};

std::string dump_path(const DumpFile& file);
// The file at `path` as a command line names it: its name, and its folder ("." for none).
DumpFile dump_file_at(const std::string& path);

// Reads lines until one that is not empty once spaces at both ends are removed, and
// returns it unchanged; at the end of the file, the last line read. nullopt when not a
// single line was left to read. The view is valid until the next read from `in`.
std::optional<std::string_view> read_nonblank_line(LineReader& in);

// The cycle of a base header: "30" or "30 SEC" give 30, "2 MIN" gives 120 (the number is
// rounded, halves to even, before it is multiplied). nullopt when it does not fit 32 bits.
std::optional<std::int32_t> cycle_seconds_from(std::string_view value);

// What one file gave, before it is joined into the model.
struct FileTables;
// The dates of a run's headers, by the orders that read them.
struct RunDates;

// One processing run, step by step. process_files() below is the whole run; the steps are
// public so that a run can also be fed from memory.
class ProcessingRun {
public:
  // With DateOrder::automatic, read_files chooses the order (see automatic_date_order);
  // read_file and read_text read in the regional order. `regional` is one of the three
  // orders, the one the user's settings give.
  ProcessingRun(SurveyModel& model, Operator& op, DateOrder order, DateOrder regional = system_date_order());
  ~ProcessingRun();
  // Empties the model and shows the hourglass.
  void start();
  // Adds the file's node and reads its blocks. A file that cannot be opened (or read to
  // its end) is reported to the operator, counted, and keeps what was read of it.
  void read_file(const DumpFile& file);
  // read_file over every file, up to `jobs` files at a time on worker threads. Whatever
  // the timing, the model, its numbering and the operator's calls (all made on the calling
  // thread) are those of read_file over the files in list order.
  void read_files(const std::vector<DumpFile>& files, unsigned jobs);
  // The same as read_file for a text held in memory, listed under `name`.
  void read_text(const std::string& name, std::string_view text);
  // Creates the match table, matches field blocks with base blocks, restores the pointer,
  // then names in one message the files whose headers hold dates not read in the order used.
  void finish();
  // The order the dates were read in.
  DateOrder date_order() const { return reading_order_; }
  // Which order an automatic choice took and why, when it is not the regional one or reads
  // not every date ("Dates read as month/day/year: 05/17/96 cannot be day/month"); else empty.
  const std::string& date_order_note() const { return date_order_note_; }
  // Files of this run that could not be opened or read to their end (out of memory too).
  std::int32_t unreadable_inputs() const { return unreadable_inputs_; }
  // Their paths, in list order.
  const std::vector<std::string>& unreadable_files() const { return unreadable_files_; }
  // Files of this run that were read but gave no block (a text that is not a dump), by path.
  const std::vector<std::string>& files_without_blocks() const { return files_without_blocks_; }

private:
  void read_in_order(const std::vector<DumpFile>& files, unsigned jobs);
  void clear_results();
  void tell(std::string message);
  void join(FileTables& file);
  void base_field_check(float base_field, const std::string& file_name, std::int32_t block_in_file);

  SurveyModel& model_;
  Operator& op_;
  DateOrder order_;
  DateOrder regional_;
  DateOrder reading_order_;
  // While the first reading of an automatic choice may still be read again, what the run
  // would tell is held back; it is told once that reading is kept.
  bool holding_ = false;
  std::vector<std::string> held_;
  std::unique_ptr<RunDates> dates_;
  std::string date_order_note_;
  float previous_base_field_ = null_value;  // of the last base block that had a base field
  std::int32_t unreadable_inputs_ = 0;
  std::vector<std::string> unreadable_files_;
  std::vector<std::string> files_without_blocks_;
  std::unique_ptr<FileTables> scratch_;  // reused by the files read on the calling thread
};

struct ProcessingSummary {
  bool ran = false;  // false: the list was empty, the model is as it was
  std::int32_t unreadable_inputs = 0;
  std::vector<std::string> files_without_blocks;  // read, but no block in them (paths)
  std::string date_order_note;                    // see ProcessingRun::date_order_note
  std::vector<std::string> unreadable_files;      // the unreadable inputs' paths
  DateOrder date_order = DateOrder::automatic;    // the order the dates were read in
  explicit operator bool() const { return ran; }
};

// The whole processing run over the listed files, in order, reading up to `jobs` files at
// a time (1: every file on the calling thread). An empty list only beeps.
// After a run: one line naming the files that gave no block, empty when there are none.
std::string files_without_blocks_message(const ProcessingSummary& summary);

ProcessingSummary process_files(SurveyModel& model, const std::vector<DumpFile>& files, Operator& op, DateOrder order,
                                unsigned jobs = default_jobs(), DateOrder regional = system_date_order());

// The counts of dates by the set of orders that read each: index bit (1 << order) is set
// for each of month/day/year, day/month/year and year/month/day that reads the date.
using DateSetCounts = std::array<std::int64_t, 8>;
// The order an automatic choice reads in: the one that reads every date that some order
// reads; of several such, the regional one if among them; when none reads them all, the
// one that reads most (the regional one on a tie). The regional one when no date is read.
DateOrder automatic_date_order(const DateSetCounts& counts, DateOrder regional);

}  // namespace corvane
