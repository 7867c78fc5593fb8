// Fuzz target: any bytes as a dump file, read in each of the three date orders.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "reader/dump_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvane;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const DateOrder order = size > 0 ? static_cast<DateOrder>(data[0] % 3) : DateOrder::mdy;
  SurveyModel model;
  SilentOperator op;
  ProcessingRun run(model, op, order);
  run.start();
  run.read_text("fuzz.dat", text);
  run.read_text("again.dat", text.substr(size / 2));
  run.finish();
  // The model must hold together whatever the input was.
  std::int32_t readings = 0;
  for (std::int32_t b = 1; b <= model.block_count; ++b) {
    const Block& k = model.block(b);
    if (k.first_reading != readings + 1 || k.num_readings < 0) __builtin_trap();
    readings += k.num_readings;
    if (k.num_readings > 0 && k.start_time > k.end_time && k.kind == field_kind) __builtin_trap();
  }
  if (readings != model.reading_count()) __builtin_trap();
  // Every node's label lies in the label buffer, and a block node follows its file's node.
  for (std::int32_t n = 1; n <= model.node_count; ++n) {
    const Node& node = model.nodes[static_cast<std::size_t>(n)];
    if (node.label_at > model.labels.size() || node.label_size > model.labels.size() - node.label_at) __builtin_trap();
    if (node.parent < 0 || node.parent >= n) __builtin_trap();
  }
  return 0;
}
