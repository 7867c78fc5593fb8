// The processing run: the files read (on worker threads when asked), joined into the
// model in their order, the date order settled, and the blocks matched.
#include "reader/dump_reader.h"

#include <sys/stat.h>
#include <algorithm>
#include <filesystem>

#include "correction/base_match.h"
#include "reader/file_tables.h"
#include "reader/line_reader.h"
#include "util/text.h"

namespace corvane {

namespace {

// Room in the model for the rows of all the files (see reserve_rows).
void reserve_rows(SurveyModel& model, const std::vector<DumpFile>& files) {
  std::uint64_t bytes = 0;
  for (const DumpFile& f : files) {
    struct stat st {};
    if (::stat(dump_path(f).c_str(), &st) == 0 && S_ISREG(st.st_mode)) bytes += static_cast<std::uint64_t>(st.st_size);
  }
  reserve_rows(model, bytes);
}

// Whether a table of a model that holds nothing yet takes the file's table whole rather than
// a copy of its rows (a copy would hold them twice at once): when it has no more room than
// the file's. Nothing needs renumbering then.
template <class Table>
bool takes_whole(bool model_empty, const Table& model, const Table& file) {
  return model_empty && model.capacity() <= file.capacity();
}

// Room in the model's table for the rows of the file's that join_rows copies.
template <class Table>
void make_room(bool model_empty, Table& model, const Table& file) {
  if (!takes_whole(model_empty, model, file)) reserve_more(model, file.size());
}

// Joins the rows of a file's table, but row 0, to the model's; `renumber` gives each row
// its numbers in the model.
template <class T, class F>
void join_rows(bool model_empty, std::vector<T>& model, std::vector<T>& file, F renumber) {
  if (takes_whole(model_empty, model, file)) {
    model.swap(file);
    return;
  }
  const std::size_t at = model.size();
  model.resize(at + file.size() - 1);
  std::transform(std::make_move_iterator(file.begin() + 1), std::make_move_iterator(file.end()),
                 model.begin() + static_cast<std::ptrdiff_t>(at), renumber);
}

// Reads one dump file into `out`.

// "day/month" of "day/month/year": the two parts a date of the other order cannot be.
std::string_view first_two_parts(DateOrder order) {
  const std::string_view name = date_order_name(order);
  return name.substr(0, name.rfind('/'));
}

// "month/day/year or day/month/year" for a set of orders; "no order" for none.
std::string orders_named(unsigned set) {
  std::string text;
  for (const DateOrder order : reading_orders)
    if (set & order_bit(order)) text += (text.empty() ? "" : " or ") + std::string(date_order_name(order));
  return text.empty() ? "no order" : text;
}

}  // namespace

// The header dates of a run: counted over all its files, and kept per file for the files
// with a date that the order read in, or the regional one, does not read.
struct RunDates {
  struct File {
    std::string path;
    DateTally dates;
  };
  DateSetCounts count{};
  std::vector<File> files;

  void add(const FileTables& file, DateOrder read_in, DateOrder regional) {
    for (std::size_t set = 0; set < count.size(); ++set) count[set] += file.dates.count[set];
    if (file.dates.not_read_in(read_in) > 0 || file.dates.not_read_in(regional) > 0)
      files.push_back(File{file.path, file.dates});
  }
  // The first date text, in file order, that `order` does not read and `instead` does.
  std::string first_not_read_in(DateOrder order, DateOrder instead) const {
    for (const File& f : files)
      if (const auto set = f.dates.first_not_read_in(order, order_bit(instead))) return f.dates.first_text[*set];
    return {};
  }
  // One message naming each file with dates that `order` does not read: how many, the first
  // of them and the order that reads it. Empty when it reads them all.
  std::string not_read_message(DateOrder order) const {
    std::string text;
    for (const File& f : files) {
      const std::int64_t n = f.dates.not_read_in(order);
      if (n == 0) continue;
      const unsigned set = *f.dates.first_not_read_in(order);
      text += "\r" + f.path + ": " + format_int(n) + (n == 1 ? " date" : " dates") + ", the first \"" +
              f.dates.first_text[set] + "\", which " + orders_named(set) + " reads";
    }
    if (text.empty()) return {};
    return "Blocks whose date cannot be read as " + std::string(date_order_name(order)) + " have no readings:" + text;
  }
};

DateOrder automatic_date_order(const DateSetCounts& counts, DateOrder regional) {
  // The most dates read is every date when some order reads them all; a tie keeps the
  // regional order, or the earlier one.
  DateOrder best = regional;
  for (const DateOrder order : reading_orders)
    if (dates_read_in(counts, order) > dates_read_in(counts, best)) best = order;
  return best;
}

namespace {

// Which order an automatic choice took and why, when it is not the regional one or reads
// not every date; else empty.
std::string automatic_order_note(const RunDates& dates, DateOrder chosen, DateOrder regional) {
  const std::int64_t all = dates_read(dates.count), read = dates_read_in(dates.count, chosen);
  const std::string head = "Dates read as " + std::string(date_order_name(chosen));
  if (read < all)
    return head + ": no order reads every date; this one reads " + format_int(read) + " of " + format_int(all);
  if (chosen == regional) return {};
  return head + ": " + dates.first_not_read_in(regional, chosen) + " cannot be " +
         std::string(first_two_parts(regional));
}

}  // namespace

std::string dump_path(const DumpFile& file) {
  if (file.directory.empty()) return file.name;
  if (file.directory.back() == '/') return file.directory + file.name;
  return file.directory + "/" + file.name;
}

DumpFile dump_file_at(const std::string& path) {
  const std::filesystem::path p(path);
  DumpFile file{p.filename().string(), p.parent_path().string()};
  if (file.directory.empty()) file.directory = ".";
  return file;
}

ProcessingRun::ProcessingRun(SurveyModel& model, Operator& op, DateOrder order, DateOrder regional)
    : model_(model),
      op_(op),
      order_(order),
      regional_(regional),
      reading_order_(order == DateOrder::automatic ? regional : order),
      dates_(std::make_unique<RunDates>()),
      scratch_(std::make_unique<FileTables>()) {}

ProcessingRun::~ProcessingRun() = default;

void ProcessingRun::clear_results() {
  model_.reset();
  previous_base_field_ = null_value;
  unreadable_inputs_ = 0;
  unreadable_files_.clear();
  files_without_blocks_.clear();
  *dates_ = RunDates{};
  held_.clear();
}

void ProcessingRun::start() {
  clear_results();
  date_order_note_.clear();
  op_.busy(true);
}

void ProcessingRun::tell(std::string message) {
  if (holding_)
    held_.push_back(std::move(message));
  else
    op_.message(message);
}

void ProcessingRun::read_file(const DumpFile& file) {
  read_dump_file(file, reading_order_, *scratch_);
  join(*scratch_);
}

void ProcessingRun::read_text(const std::string& name, std::string_view text) {
  read_dump_text(name, text, reading_order_, *scratch_);
  join(*scratch_);
}

void ProcessingRun::read_files(const std::vector<DumpFile>& files, unsigned jobs) {
  if (order_ != DateOrder::automatic) {
    read_in_order(files, jobs);
    return;
  }
  // Read in the regional order, which nearly always reads every date; read again only when
  // the dates call for another. Either way the files are read in one order only.
  holding_ = true;
  read_in_order(files, jobs);
  holding_ = false;
  const DateOrder chosen = automatic_date_order(dates_->count, regional_);
  if (chosen == reading_order_) {
    std::vector<std::string> held = std::move(held_);
    for (std::string& message : held) tell(std::move(message));
  } else {
    clear_results();
    reading_order_ = chosen;
    read_in_order(files, jobs);
  }
  date_order_note_ = automatic_order_note(*dates_, chosen, regional_);
}

void ProcessingRun::read_in_order(const std::vector<DumpFile>& files, unsigned jobs) {
  reserve_rows(model_, files);
  // Workers read files in list order and the calling thread joins them in the same order;
  // no worker runs more than two files a worker past the join, so memory holds only a few
  // files beyond the model. A file's tables, once joined, are filled again by a later file.
  // One job reads every file on the calling thread.
  const std::size_t count = files.size();
  const auto workers = static_cast<unsigned>(jobs > 1 ? std::min<std::size_t>(jobs, count) : 0);
  run_in_order<FileTables>(
      count, workers, 2 * std::size_t{workers},
      [&](std::size_t i, FileTables& tables) { read_dump_file(files[i], reading_order_, tables); },
      [&](std::size_t, FileTables& tables) { join(tables); });
}

void ProcessingRun::join(FileTables& file) {
  SurveyModel& t = file.tables;
  const std::int32_t node_base = model_.node_count;
  const std::int32_t block_base = model_.block_count;
  const std::int32_t reading_base = model_.reading_count();
  const std::uint64_t label_base = model_.labels.size();
  const bool empty = model_.node_count == 0;  // every table holds row 0 only, labels none
  try {
    make_room(empty, model_.nodes, t.nodes);
    make_room(empty, model_.node_block, t.node_block);
    make_room(empty, model_.blocks, t.blocks);
    make_room(empty, model_.readings, t.readings);
    make_room(empty, model_.labels, t.labels);
  } catch (const std::bad_alloc&) {
    file.out_of_memory();
  }
  if (takes_whole(empty, model_.labels, t.labels))
    model_.labels.swap(t.labels);
  else
    model_.labels += t.labels;
  join_rows(empty, model_.nodes, t.nodes, [&](Node n) {
    n.label_at += label_base;
    if (n.parent != 0) n.parent += node_base;
    return n;
  });
  join_rows(empty, model_.node_block, t.node_block, [&](std::int32_t b) { return b == 0 ? 0 : b + block_base; });
  join_rows(empty, model_.blocks, t.blocks, [&](Block b) {
    b.node += node_base;
    b.first_reading += reading_base;
    return b;
  });
  join_rows(empty, model_.readings, t.readings, [](const Reading& r) { return r; });
  model_.node_count += t.node_count;
  model_.block_count += t.block_count;
  model_.data_block_count += t.data_block_count;
  model_.base_block_count += t.base_block_count;
  dates_->add(file, reading_order_, regional_);
  if (file.unreadable) {
    unreadable_inputs_ += 1;
    unreadable_files_.push_back(file.path);
  } else if (t.block_count == 0)
    files_without_blocks_.push_back(file.path);
  for (const FileTables::Note& note : file.notes) {
    if (note.message.empty())
      base_field_check(note.base_field, file.name, note.block_in_file);
    else
      tell(note.message);
  }
}

void ProcessingRun::base_field_check(float base_field, const std::string& file_name, std::int32_t block_in_file) {
  // A base block without a base field is neither compared nor remembered: the next one
  // that has a field is compared with the last one that had one.
  if (base_field == null_value) return;
  if (previous_base_field_ == null_value) previous_base_field_ = base_field;
  const float drop = previous_base_field_ - base_field;
  if (drop > 0.5f) {
    tell("The base station field value has changed from " + format_fixed(previous_base_field_, 1) + " to " +
         format_fixed(base_field, 1) + "\r" + "File : " + file_name + " Block : " + format_int(block_in_file));
  }
  previous_base_field_ = base_field;
}

void ProcessingRun::finish() {
  model_.match.assign(static_cast<std::size_t>(model_.block_count) + 1, Match{});
  scan_base_blocks(model_);
  op_.busy(false);
  if (const std::string not_read = dates_->not_read_message(reading_order_); !not_read.empty()) op_.message(not_read);
}

ProcessingSummary process_files(SurveyModel& model, const std::vector<DumpFile>& files, Operator& op, DateOrder order,
                                unsigned jobs, DateOrder regional) {
  if (files.empty()) {
    op.beep();
    return {};
  }
  ProcessingRun run(model, op, order, regional);
  run.start();
  run.read_files(files, jobs);
  run.finish();
  return ProcessingSummary{true,
                           run.unreadable_inputs(),
                           run.files_without_blocks(),
                           run.date_order_note(),
                           run.unreadable_files(),
                           run.date_order()};
}

std::string files_without_blocks_message(const ProcessingSummary& summary) {
  const auto& files = summary.files_without_blocks;
  if (files.empty()) return {};
  std::string text = files.size() == 1 ? "No block was found in " : "No block was found in these files: ";
  for (std::size_t i = 0; i < files.size(); ++i) text += (i ? ", " : "") + files[i];
  return text;
}

}  // namespace corvane
