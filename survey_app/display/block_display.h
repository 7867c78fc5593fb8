#pragma once
// What the block pane shows for a node of the block tree: the four text boxes and, per
// graph, the table handed to it and its axis settings. The window hands these to its
// three graphs; corvane-batch --graphs prints them.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/survey_model.h"
#include "util/operator.h"

namespace corvane {

// A tick interval from 1, 2, 5, 10, 20, 50, ... (and 0.5, 0.2, 0.1, ... downwards) giving
// about `intervals` intervals, and limits on multiples of it around min and max. The tick
// is never so small that adding it leaves a value between the limits unchanged: a range of
// a few float steps gets fewer intervals. With max <= min, or a range beyond the float
// range, the tick is 1 and there are no limits; limits beyond it are left out.
struct NiceAxis {
  float tick = 1.0f;
  std::optional<float> lower;
  std::optional<float> upper;
};
NiceAxis nice_axis(float min, float max, int intervals);

// The most values axis_ticks hands back, whatever axis it is given.
inline constexpr int max_axis_ticks = 1000;
// The tick values lower, lower + tick, ..., upper of an axis with limits, each reckoned from
// lower rather than summed; none without limits.
std::vector<float> axis_ticks(const NiceAxis& axis);

struct GraphAxes {
  float x_tick = 1, x_min = 0, x_max = 0;
  float y_tick = 1, y_min = 0, y_max = 0;
};

// One graph's data: x and y of the table's columns 1..n (-99999 is the null), and its
// axes; none when no value is usable, so the graph keeps its data undrawn.
struct GraphData {
  int index = 0;
  std::vector<float> x;
  std::vector<float> y;
  std::optional<GraphAxes> axes;
  // The readings flagged as spikes, where the graph marks them; the axes take them in.
  std::vector<float> marked_x;
  std::vector<float> marked_y;
};

struct BlockView {
  std::string line;
  std::string num_readings;
  std::string time_start;  // hh:mm:ss; empty without readings
  std::string time_end;
  // yyyy/mm/dd of the same times, so that a day/month mix-up can be seen; empty alike.
  std::string date_start, date_end;
  bool base_view = false;  // graph 0 spans all three places
  std::int32_t shown_base_block = 0;
  // Which block it is, for the graphs' titles: "line 100N, envimag_0709.dat, 1996/07/09
  // 08:25–08:44" (the end's date only when it is another day); empty for a file node.
  std::string block;
  // The same with less in it, each shorter than the one before: without the file's name
  // ("line 100N, 1996/07/09 08:25–08:44"), then without the dates ("line 100N, 08:25–08:44").
  std::vector<std::string> shorter_blocks;
  std::vector<GraphData> graphs;  // in index order; the graphs not listed stay empty
  std::string spikes;             // spikes_text of the block's flagged readings
};

inline constexpr float display_null = -99999.0f;

// The messages the display routines put before an error's description.
inline constexpr const char* display_mag_data_error = "An error occurred while displaying the mag data: ";
inline constexpr const char* display_base_data_error = "An error occurred while displaying the base data: ";
inline constexpr const char* display_corrected_data_error = "An error occurred while displaying the corrected data: ";
inline constexpr const char* display_data_error = "An error occurred while displaying the data: ";

// What a click on node `node` shows (the window keeps the selection). A routine that fails
// reports its message through the operator and the view keeps what was built before the
// failure. `spike_flags` (by reading row, as flag_spikes gives them) are marked: on the raw
// and corrected graphs the block's flagged readings; on the base graph of a line the
// flagged readings of its base block within the line's time span, at the station the line
// passed at that time; on a base block's graph its own. Rows beyond the flags are unflagged.
BlockView show_node(const SurveyModel& model, std::int32_t node, Operator& op,
                    std::span<const std::uint8_t> spike_flags = {});

// "1 spike flagged", "3 spikes flagged"; empty for none.
std::string spikes_text(std::int64_t count);
// A tree node's tooltip: its cover_description and, on a line of its own, the spikes_text
// of its block.
std::string node_tooltip(const SurveyModel& model, std::int32_t node, std::span<const std::uint8_t> spike_flags);

// What a field line without base cover says, on its tooltip and in place of its graphs.
inline constexpr const char* no_cover_text = "No base session covers this line";

// How a field block's node is covered, in words: "Base session 0001 covers 100 %" (the base
// block's number in its file, and the file when it is another), or "No base session covers
// this line". Empty for base blocks and file nodes.
std::string cover_description(const SurveyModel& model, std::int32_t node);

// The axes of a graph's table (display_data without the graph): the usable values'
// ranges, widened to at least 0.1, on nice limits (6 Y intervals in the base view, else
// 4; 8 X intervals).
std::optional<GraphAxes> graph_axes(const std::vector<float>& x, const std::vector<float>& y, bool base_view);

// The axes of the part of a graph shown between x_min and x_max (a zoomed station range):
// X is that range with a tick for it, Y the nice limits of the values and marks shown
// there, as graph_axes gives them; none when no value lies in the range.
std::optional<GraphAxes> shown_axes(const GraphData& graph, float x_min, float x_max, bool base_view);

// What the window writes on graph `index`: its title (what it shows and, after a comma,
// the view's block), and its axis labels. corvane-batch --graphs leaves these out.
struct GraphCaption {
  std::string title;
  // The title with less in it, for a graph too narrow for all of it, each shorter than the
  // one before: without the note on the base field, then with the view's shorter blocks.
  std::vector<std::string> shorter_titles;
  std::string x_label;
  std::string y_label;
};
GraphCaption graph_caption(int index, const BlockView& view);

// What status panel 1 calls the data of graph `index` ("" for another index).
std::string graph_title(int index, bool base_view);

// The status panels for a pointer over graph `index`: the data's name, and inside the
// plot area x ("0") and y ("0.0000").
void show_pointer(Operator& op, int index, bool base_view, std::int32_t inview, float xp, float yp);

}  // namespace corvane
