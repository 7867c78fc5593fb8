#pragma once
// Reads Scintrex dump files (fixed-column and keyword-header layouts) into the survey
// model: one block per header, one tree node per file and per block.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/survey_model.h"
#include "util/date_time.h"
#include "util/operator.h"

namespace corvane {

class LineReader;

// One item of the file list: its name (the list's text, and the tree key) and directory.
struct DumpFile {
  std::string name;
  std::string directory;
};

std::string dump_path(const DumpFile& file);

// Reads lines until one that is not empty once spaces at both ends are removed, and
// returns it unchanged; at the end of the file, the last line read. nullopt when not a
// single line was left to read.
std::optional<std::string> read_nonblank_line(LineReader& in);

// The cycle of a base header: "30" or "30 SEC" give 30, "2 MIN" gives 120 (the number is
// rounded, halves to even, before it is multiplied). nullopt when it does not fit 32 bits.
std::optional<std::int32_t> cycle_seconds_from(std::string_view value);

// One processing run, step by step. process_files() below is the whole run; the steps are
// public so that a run can also be fed from memory.
class ProcessingRun {
public:
  ProcessingRun(SurveyModel& model, Operator& op, DateOrder order);
  // Empties the model and shows the hourglass.
  void start();
  // Adds the file's node and reads its blocks. A file that cannot be opened is reported
  // to the operator and gets an unchecked node.
  void read_file(const DumpFile& file);
  // The same for a text held in memory, listed under `name`.
  void read_text(const std::string& name, std::string_view text);
  // Creates the match table, matches field blocks with base blocks, restores the pointer.
  void finish();

private:
  struct Header;
  std::int32_t add_file_node(const std::string& name);
  void read_blocks(const std::string& name, std::int32_t file_node, LineReader& in);
  Header read_keyword_header(LineReader& in);
  Header read_fixed_header(LineReader& in);
  void base_field_check(const Header& h, const std::string& file_name, std::int32_t block_in_file);
  std::optional<std::string> read_field_lines(const Header& h, LineReader& in);
  std::optional<std::string> read_base_lines(const Header& h, LineReader& in);

  SurveyModel& model_;
  Operator& op_;
  DateOrder order_;
  float previous_base_field_ = null_value;
};

// The whole processing run over the listed files, in order. An empty list only beeps and
// returns false; the model is then left as it was.
bool process_files(SurveyModel& model, const std::vector<DumpFile>& files, Operator& op, DateOrder order);

}  // namespace corvane
