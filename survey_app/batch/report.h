#pragma once
// The tables corvane-batch prints: tab-separated, one header line (blocks, readings).
#include <ostream>
#include <string>

#include "display/block_display.h"
#include "model/survey_model.h"

namespace corvane {

std::string colour_name(std::int32_t colour);  // green, blue, red or -
void print_tree(const SurveyModel& model, std::ostream& out);
void print_blocks(const SurveyModel& model, std::ostream& out);
void print_readings(const SurveyModel& model, std::ostream& out);
// What the block pane shows for a node: the text boxes, then per graph its title, point
// count, axes ("-" when it gets none) and registered points.
void print_graphs(const BlockView& view, std::ostream& out);

}  // namespace corvane
