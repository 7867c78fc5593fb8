#pragma once
// What reading one dump file gives before it joins the run (its tables, messages and
// dates), and the date rules the grammar and the run share. The reader's own header.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/survey_model.h"
#include "reader/dump_reader.h"
#include "util/date_time.h"
#include "util/text.h"

namespace corvane {

constexpr unsigned order_bit(DateOrder order) { return 1u << static_cast<unsigned>(order); }
inline constexpr std::array<DateOrder, 3> reading_orders{DateOrder::mdy, DateOrder::dmy, DateOrder::ymd};

// Seconds of a date text at 00:00:00 in the given order; nullopt when it is no date, or one
// outside the years a reading may have.
std::optional<std::int64_t> date_seconds(std::string_view text, DateOrder order);
// The set of orders that read a date text (see DateSetCounts).
unsigned orders_reading(std::string_view text);
// How many dates some order reads, and how many of them `order` reads.
std::int64_t dates_read(const DateSetCounts& counts);
std::int64_t dates_read_in(const DateSetCounts& counts, DateOrder order);

// The header dates of one file: how many of each set of orders that read them, and the
// first of each set with its place among the file's dates.
struct DateTally {
  DateSetCounts count{};
  std::array<std::string, 8> first_text;
  std::array<std::int64_t, 8> first_at{};
  std::int64_t dates = 0;

  // A blank date text is no date and is not counted.
  void add(std::string_view text) {
    if (trim_blanks(text).empty()) return;
    const unsigned set = orders_reading(text);
    if (count[set]++ == 0) {
      first_text[set] = trim_blanks(text);
      first_at[set] = dates;
    }
    ++dates;
  }
  // How many dates an order does not read.
  std::int64_t not_read_in(DateOrder order) const { return dates - dates_read_in(count, order); }
  // The set of the first date that `order` does not read and that every order of `also` does.
  std::optional<unsigned> first_not_read_in(DateOrder order, unsigned also = 0) const {
    std::optional<unsigned> first;
    for (unsigned set = 0; set < count.size(); ++set)
      if (count[set] > 0 && !(set & order_bit(order)) && (set & also) == also &&
          (!first || first_at[set] < first_at[*first]))
        first = set;
    return first;
  }
};

// What one file gave, numbered as though it were the only file of the run: its node is
// node 1, its blocks and readings count from 1. ProcessingRun::join moves it into the model.
struct FileTables {
  // Something to tell the operator, in file order: a message, or (when `message` is empty)
  // the base-field check of a base block, made at join against the blocks before it.
  struct Note {
    std::string message;
    float base_field = null_value;
    std::int32_t block_in_file = 0;
  };
  std::string name;
  std::string path;    // how messages name the file
  SurveyModel tables;  // its blocks, readings, nodes and their counts; no match yet
  std::vector<Note> notes;
  DateTally dates;
  bool unreadable = false;

  // Empty tables holding only the file's node; capacity is kept for the next file.
  void start(const std::string& file_name, const std::string& file_path) {
    name = file_name;
    path = file_path;
    tables.reset();
    tables.node_count = 1;
    tables.append_node(0, file_name, false);
    tables.node_block.push_back(0);
    notes.clear();
    dates = DateTally{};
    unreadable = false;
  }
  // Out of memory: the file keeps only its node, unchecked, and the operator is told.
  void out_of_memory() {
    const std::string file_name = std::move(name), file_path = std::move(path);
    *this = FileTables{};  // gives the memory back
    start(file_name, file_path);
    report("The file " + path + " could not be read to its end: there is not enough memory");
    unreadable = true;
  }
  void report(std::string message) {
    Note note;
    note.message = std::move(message);
    notes.push_back(std::move(note));
  }
};

// Room for `extra` more rows, growing geometrically so that joining file after file stays
// linear.
template <class T>
void reserve_more(T& v, std::size_t extra) {
  const std::size_t need = v.size() + extra;
  if (need > v.capacity()) v.reserve(std::max(need, 2 * v.capacity()));
}

// Room in the tables for all that `bytes` of dump files may give (see dump_grammar.cpp).
void reserve_rows(SurveyModel& t, std::uint64_t bytes);

// Reads one dump file into `out`.
void read_dump_file(const DumpFile& file, DateOrder order, FileTables& out);

// Reads a text held in memory, named `name`, into `out`.
void read_dump_text(const std::string& name, std::string_view text, DateOrder order, FileTables& out);

}  // namespace corvane
