#pragma once
// The survey model: everything one processing run read from the dump files.
//
// Every table keeps row 0 as an unused row, so blocks, readings and tree nodes are
// numbered from 1 and a node's index is its row in the node table.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

constexpr float null_value = -99999.0f;
constexpr std::int32_t no_colour = -1;
constexpr std::int32_t colour_green = 65280;
constexpr std::int32_t colour_blue = 16711680;
constexpr std::int32_t colour_red = 255;

enum BlockKind : std::int32_t { base_kind = 0, field_kind = 1 };

struct Block {
  std::int32_t kind = base_kind;
  std::int32_t node = 0;
  std::int32_t first_reading = 0;
  double start_time = 0.0;  // day numbers
  double end_time = 0.0;
  std::string line;
  std::int32_t num_readings = 0;
  float base_field = null_value;  // a base block's header value; null_value when it gives none
};

struct Reading {
  double time = 0.0;  // day number
  float station = 0.0f;
  float mag = 0.0f;
};

// One node of the block tree. The window mirrors these into its tree widget. Its key and
// text are made from its label when asked for (SurveyModel::node_key, node_text), so that a
// run of millions of blocks keeps no string per node.
struct Node {
  std::uint64_t label_at = 0;  // where its label starts in SurveyModel::labels
  std::uint32_t label_size = 0;
  std::int32_t parent = 0;  // 0: top level
  std::int32_t colour = no_colour;
  bool checked = false;
};

struct Match {
  std::int32_t base_block = 0;
  std::int32_t base_cover = 0;
};

struct SurveyModel {
  std::vector<Block> blocks{1};
  std::vector<Reading> readings{1};
  std::vector<Node> nodes{1};
  // The nodes' labels one after another: a top-level node's is its key and text (a file
  // name); a block node's is what its header gave, its text after the block's number.
  std::string labels;
  std::vector<std::int32_t> node_block{0};
  std::vector<Match> match{1};  // rows 0..block_count once a run has ended
  // Also from the matching, for every block (none but base blocks have any): the positions
  // j within the block (1 for its first reading) where T(j) <= T(j + 1) fails. Between two of them the reading times
  // rise, so the base-value search may gallop there. Block b's positions are
  // base_time_breaks[base_time_breaks_end[b - 1] .. base_time_breaks_end[b]).
  std::vector<std::int32_t> base_time_breaks;
  std::vector<std::int32_t> base_time_breaks_end{0};

  std::int32_t block_count = 0;
  std::int32_t data_block_count = 0;
  std::int32_t base_block_count = 0;
  std::int32_t node_count = 0;
  std::int32_t selected_node = 0;
  std::int32_t selected_block = 0;
  // The seconds every base time has been moved by since it was read (shift_base_times).
  std::int64_t base_shift_seconds = 0;

  // Empties every table (keeping row 0) and zeroes the counters.
  void reset();

  // Appends a node labelled `label` and returns its index; the counters are the caller's.
  std::int32_t append_node(std::int32_t parent, std::string_view label, bool checked);
  std::string_view label_of(std::int32_t node) const;
  // A top-level node's key and text are its label. A block node's key is "file", its
  // file's name, "block" and its number within the file (four digits at least); its text
  // that number, a space and its label. The number is the node's distance from its file's
  // node, as a file's block nodes follow its node in file order.
  std::string node_key(std::int32_t node) const;
  std::string node_text(std::int32_t node) const;
  // A block's time breaks (see base_time_breaks); nullopt before the matching saw it.
  std::optional<std::span<const std::int32_t>> time_breaks_of(std::int32_t block) const;

  std::int32_t reading_count() const { return static_cast<std::int32_t>(readings.size()) - 1; }
  // The check mark of a block's node.
  bool block_checked(std::int32_t block) const { return node(this->block(block).node).checked; }
  const Block& block(std::int32_t b) const { return blocks[static_cast<std::size_t>(b)]; }
  const Node& node(std::int32_t n) const { return nodes[static_cast<std::size_t>(n)]; }
  Node& node(std::int32_t n) { return nodes[static_cast<std::size_t>(n)]; }
  // Node `n` becomes the selected node, and its block (0 for a file node) the selected block.
  void select(std::int32_t n) {
    selected_node = n;
    selected_block = node_block[static_cast<std::size_t>(n)];
  }
  const Reading& reading(std::int32_t r) const { return readings[static_cast<std::size_t>(r)]; }
  const Match& match_of(std::int32_t b) const { return match[static_cast<std::size_t>(b)]; }
};

// Whether row `row` is set in `flags`, a table by reading row (as flag_spikes gives one);
// rows beyond its end are not.
inline bool row_flagged(std::span<const std::uint8_t> flags, std::int32_t row) {
  return row >= 0 && static_cast<std::size_t>(row) < flags.size() && flags[static_cast<std::size_t>(row)] != 0;
}

}  // namespace corvane
