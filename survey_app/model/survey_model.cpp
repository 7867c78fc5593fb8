#include "model/survey_model.h"

#include "util/text.h"

namespace corvane {

void SurveyModel::reset() {
  blocks.assign(1, Block{});
  readings.assign(1, Reading{});
  nodes.assign(1, Node{});
  labels.clear();
  node_block.assign(1, 0);
  match.assign(1, Match{});
  base_time_breaks.clear();
  base_time_breaks_end.assign(1, 0);
  block_count = data_block_count = base_block_count = node_count = 0;
  selected_node = selected_block = 0;
  base_shift_seconds = 0;
  // Room for the first 512 rows of each table, as a run usually needs them.
  blocks.reserve(513);
  readings.reserve(513);
  nodes.reserve(513);
  node_block.reserve(513);
}

std::int32_t SurveyModel::append_node(std::int32_t parent, std::string_view label, bool checked) {
  Node n;
  n.label_at = labels.size();
  n.label_size = static_cast<std::uint32_t>(label.size());
  n.parent = parent;
  n.checked = checked;
  labels += label;
  nodes.push_back(n);
  return static_cast<std::int32_t>(nodes.size()) - 1;
}

std::string_view SurveyModel::label_of(std::int32_t node) const {
  const Node& n = this->node(node);
  return std::string_view(labels).substr(n.label_at, n.label_size);
}

namespace {

// A block node follows its file's node and the blocks before it in the file.
std::string number_in_file(const SurveyModel& m, std::int32_t node) {
  return format_padded(node - m.node(node).parent, 4);
}

}  // namespace

std::string SurveyModel::node_key(std::int32_t node) const {
  const std::int32_t parent = this->node(node).parent;
  if (parent == 0) return std::string(label_of(node));
  return "file" + std::string(label_of(parent)) + "block" + number_in_file(*this, node);
}

std::string SurveyModel::node_text(std::int32_t node) const {
  if (this->node(node).parent == 0) return std::string(label_of(node));
  return number_in_file(*this, node) + " " + std::string(label_of(node));
}

std::optional<std::span<const std::int32_t>> SurveyModel::time_breaks_of(std::int32_t block) const {
  const auto b = static_cast<std::size_t>(block);
  if (b == 0 || b >= base_time_breaks_end.size()) return std::nullopt;
  const auto from = static_cast<std::size_t>(base_time_breaks_end[b - 1]);
  return std::span<const std::int32_t>(base_time_breaks)
      .subspan(from, static_cast<std::size_t>(base_time_breaks_end[b]) - from);
}

}  // namespace corvane
