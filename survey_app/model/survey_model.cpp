#include "model/survey_model.h"

namespace corvane {

void SurveyModel::reset() {
  blocks.assign(1, Block{});
  readings.assign(1, Reading{});
  nodes.assign(1, Node{});
  node_block.assign(1, 0);
  match.assign(1, Match{});
  base_time_breaks.assign(1, {});
  block_count = data_block_count = base_block_count = node_count = 0;
  selected_node = selected_block = 0;
  // Room for the first 512 rows of each table, as a run usually needs them.
  blocks.reserve(513);
  readings.reserve(513);
  nodes.reserve(513);
  node_block.reserve(513);
}

}  // namespace corvane
