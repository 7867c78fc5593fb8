#pragma once
// The tables corvane-batch prints: tab-separated, one header line (blocks, readings).
#include <ostream>
#include <string>
#include <string_view>

#include "display/block_display.h"
#include "model/survey_model.h"
#include "qc/qc_table.h"

namespace corvane {

std::string colour_name(std::int32_t colour);  // green, blue, red or -
// A text as one field of a row: a tab, line feed and carriage return are written as \t, \n
// and \r, and a backslash as \\, so a file or line name holding them neither splits the
// row nor reads back as another name.
std::string table_field(std::string_view text);
void print_tree(const SurveyModel& model, std::ostream& out);
void print_blocks(const SurveyModel& model, std::ostream& out);
void print_readings(const SurveyModel& model, std::ostream& out);
// The quality control rows of the field lines.
void print_qc(const std::vector<QcLine>& lines, std::ostream& out);
// What the block pane shows for a node: the text boxes, then per graph its title, point
// count, axes ("-" when it gets none) and registered points.
void print_graphs(const BlockView& view, std::ostream& out);

}  // namespace corvane
