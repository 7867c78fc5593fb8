// _corvane: the survey core for Python. The package corvane/ wraps it into pandas and
// xarray objects; here every call reads, matches, exports or grids with the GIL released,
// and hands its columns to NumPy without a copy.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <shared_mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "batch/batch_operator.h"
#include "batch/report.h"
#include "correction/base_match.h"
#include "export/export_command.h"
#include "export/export_core.h"
#include "grid/grid.h"
#include "grid/grid_input.h"
#include "reader/dump_reader.h"
#include "reader/file_list.h"
#include "util/date_time.h"
#include "util/memory_policy.h"
#include "util/ordered_pipeline.h"
#include "util/text.h"

namespace py = pybind11;

namespace corvane {
namespace {

// A message as corvane-batch prints it on stderr, without the last line end.
std::string as_printed(const std::string& text) {
  std::ostringstream out;
  BatchOperator(out).message(text);
  std::string printed = out.str();
  if (!printed.empty() && printed.back() == '\n') printed.pop_back();
  return printed;
}

// Collects the messages for the caller to warn with; an existing export file is replaced.
class CollectingOperator : public Operator {
public:
  std::vector<std::string> messages;
  void message(const std::string& text) override { messages.push_back(as_printed(text)); }
  bool ask_ok_cancel(const std::string&) override { return true; }
  void beep() override {}
  void busy(bool) override {}
  void status(int, const std::string&) override {}
  void let_events_run() override {}
};

// One processing run's model. Reading it (tables, exports, grids) takes the lock shared,
// changing its ticks takes it alone: the calls run without the GIL, so two Python threads
// may be inside at once.
struct Survey {
  SurveyModel model;
  std::vector<std::string> unread;
  mutable std::shared_mutex lock;
};

// Seconds since 1970 of a day number; NaT's value for one that is not a number.
std::int64_t unix_seconds(double day_number) {
  constexpr std::int64_t not_a_time = INT64_MIN;
  constexpr std::int64_t unix_epoch_day = 25569;
  if (!std::isfinite(day_number)) return not_a_time;
  return whole_seconds(day_number) - unix_epoch_day * seconds_per_day;
}

template <class T>
py::array to_numpy(std::vector<T>&& values, py::dtype dtype) {
  auto* owned = new std::vector<T>(std::move(values));
  py::capsule owner(owned, [](void* p) { delete static_cast<std::vector<T>*>(p); });
  return py::array(dtype, {static_cast<py::ssize_t>(owned->size())}, {static_cast<py::ssize_t>(sizeof(T))},
                   owned->data(), owner);
}

template <class T>
py::array to_numpy(std::vector<T>&& values) {
  return to_numpy(std::move(values), py::dtype::of<T>());
}

// A column filled once, whole, and handed to NumPy without a copy: its pages are first
// touched as it is filled, a fault per huge page where the system has them.
template <class T>
class Column {
  static_assert(std::is_trivially_copyable_v<T>);

public:
  Column() = default;
  explicit Column(std::size_t size) : data_(static_cast<T*>(allocate_for_one_fill(size * sizeof(T)))), size_(size) {
    if (!data_) throw std::bad_alloc();
  }
  T& operator[](std::size_t i) { return data_.get()[i]; }
  T* begin() { return data_.get(); }
  T* end() { return data_.get() + size_; }
  std::size_t size() const { return size_; }

private:
  struct Free {
    void operator()(T* p) const { std::free(p); }
  };
  std::unique_ptr<T, Free> data_;
  std::size_t size_ = 0;
};

template <class T>
py::array to_numpy(Column<T>&& values, py::dtype dtype = py::dtype::of<T>()) {
  auto* owned = new Column<T>(std::move(values));
  py::capsule owner(owned, [](void* p) { delete static_cast<Column<T>*>(p); });
  return py::array(dtype, {static_cast<py::ssize_t>(owned->size())}, {static_cast<py::ssize_t>(sizeof(T))},
                   owned->begin(), owner);
}

py::array to_datetimes(std::vector<std::int64_t>&& seconds) {
  return to_numpy(std::move(seconds), py::dtype("datetime64[s]"));
}

// A text of the model (a file or line name, a message) as Python text: bytes that are not
// UTF-8 come through as os.fsdecode gives them, as file names do.
py::str text(const std::string& s) {
  PyObject* decoded = PyUnicode_DecodeFSDefaultAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
  if (!decoded) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(decoded);
}

py::list texts(const std::vector<std::string>& strings) {
  py::list out;
  for (const std::string& s : strings) out.append(text(s));
  return out;
}

// The midnight that starts the day of `seconds` (NaT stays NaT).
std::int64_t day_start(std::int64_t seconds) {
  if (seconds == INT64_MIN) return seconds;
  return seconds - ((seconds % seconds_per_day) + seconds_per_day) % seconds_per_day;
}

float nan_for_null(float v) { return v == null_value ? std::nanf("") : v; }

struct ReadResult {
  std::shared_ptr<Survey> survey;
  std::vector<std::string> messages;
};

// The run of corvane-batch over `paths`: the file list keyed by name, the processing, and
// the messages it prints, in its order.
ReadResult read_survey(const std::vector<std::string>& paths, const std::string& date_order,
                       std::optional<long long> jobs) {
  const std::optional<DateOrder> order = parse_date_order(date_order);
  if (!order) throw py::value_error("date_order needs auto, mdy, dmy or ymd, not \"" + date_order + "\"");
  if (jobs && (*jobs < 1 || *jobs > 4096)) throw py::value_error("jobs needs a whole number of 1 or more");
  if (paths.empty()) throw py::value_error("no dump files given");
  ReadResult result{std::make_shared<Survey>(), {}};
  py::gil_scoped_release unlocked;
  DumpFileList files;
  for (const std::string& p : paths) files.add(dump_file_at(p));
  CollectingOperator op;
  if (const std::string passed_over = files.take_passed_over_message(); !passed_over.empty()) op.message(passed_over);
  const ProcessingSummary run = process_files(result.survey->model, files.files(), op, *order,
                                              jobs ? static_cast<unsigned>(*jobs) : default_jobs());
  if (!run.date_order_note.empty()) op.message(run.date_order_note);
  if (const std::string empty = files_without_blocks_message(run); !empty.empty()) op.message(empty);
  result.survey->unread = run.unreadable_files;
  result.messages = std::move(op.messages);
  return result;
}

// The node whose key is `key`, as --uncheck finds it (the key as printed, escapes and all),
// or whose key is `key` as it stands.
std::int32_t node_with_key(const SurveyModel& model, const std::string& key) {
  for (std::int32_t n = 1; n <= model.node_count; ++n)
    if (const std::string k = model.node_key(n); k == key || table_field(k) == key) return n;
  throw py::value_error("No node of the block tree has the key " + key);
}

void set_checked(Survey& survey, const std::string& key, bool checked) {
  py::gil_scoped_release unlocked;
  const std::unique_lock exclusive(survey.lock);
  set_node_checked(survey.model, node_with_key(survey.model, key), checked);
}

// How a field block's readings are covered by base data, by the colour the matching gave
// its node; None for a base block.
py::object cover_name(const SurveyModel& model, const Block& block) {
  if (block.kind == base_kind) return py::none();
  switch (model.node(block.node).colour) {
    case colour_green: return py::str("full");
    case colour_blue: return py::str("partial");
    default: return py::str("none");
  }
}

// The block table: one column a field, one row a block in block order.
py::dict block_table(const Survey& survey) {
  const std::shared_lock shared(survey.lock);
  const SurveyModel& m = survey.model;
  const auto n = static_cast<std::size_t>(m.block_count);
  std::vector<std::int32_t> number(n), readings(n);
  std::vector<std::int64_t> start(n), end(n), date(n);
  std::vector<bool> ticked(n);
  py::list file, key, kind, line, cover, base;
  for (std::int32_t b = 1; b <= m.block_count; ++b) {
    const auto i = static_cast<std::size_t>(b - 1);
    const Block& block = m.block(b);
    const std::int32_t file_node = m.node(block.node).parent;
    file.append(text(m.node_text(file_node)));
    number[i] = block.node - file_node;  // a file's block nodes follow its node in file order
    key.append(text(m.node_key(block.node)));
    kind.append(block.kind == base_kind ? "Base" : "Data");
    line.append(text(block.line));
    readings[i] = block.num_readings;
    start[i] = unix_seconds(block.start_time);
    end[i] = unix_seconds(block.end_time);
    date[i] = day_start(start[i]);
    ticked[i] = m.block_checked(b);
    cover.append(cover_name(m, block));
    const std::int32_t base_block = static_cast<std::size_t>(b) < m.match.size() ? m.match_of(b).base_block : 0;
    base.append(base_block > 0 ? py::object(text(m.node_key(m.block(base_block).node))) : py::object(py::none()));
  }
  py::array_t<bool> ticks(static_cast<py::ssize_t>(n));
  for (std::size_t i = 0; i < n; ++i) ticks.mutable_at(static_cast<py::ssize_t>(i)) = ticked[i];
  py::dict table;
  table["file"] = file;
  table["number"] = to_numpy(std::move(number));
  table["key"] = key;
  table["kind"] = kind;
  table["line"] = line;
  table["date"] = to_datetimes(std::move(date));
  table["readings"] = to_numpy(std::move(readings));
  table["start"] = to_datetimes(std::move(start));
  table["end"] = to_datetimes(std::move(end));
  table["ticked"] = ticks;
  table["cover"] = cover;
  table["base"] = base;
  return table;
}

// The value an export adds to corrected readings, checked as the export checks it.
float export_offset(double base_field) {
  float value = 0;
  if (!to_single(base_field, value) || !base_field_fits(value))
    throw py::value_error(
        "The base field value is not valid: give a number below 1,000,000 nT, without thousands separators");
  return value;
}

// The columns of the rows an export of these options writes, before its rounding.
struct ReadingColumns {
  Column<float> x, y, raw, base, corr;
  Column<std::int64_t> time;       // seconds, or nanoseconds, since 1970
  Column<std::int32_t> block_row;  // the block's row in the block table
};

// Times in nanoseconds hold the years 1677 to 2262 only.
constexpr std::int64_t nanoseconds_per_second = 1'000'000'000;
bool fits_nanoseconds(std::int64_t seconds) {
  return seconds != INT64_MIN && seconds > INT64_MIN / nanoseconds_per_second &&
         seconds < INT64_MAX / nanoseconds_per_second;
}

// The blocks' rows go to their own stretch of the columns, so the blocks are worked out on
// the cores in any order; the failure of the first block that fails is thrown, as the
// export, going in order, would meet it first.
ReadingColumns reading_columns(const SurveyModel& m, const ExportOptions& options) {
  ExportTally tally;
  const std::vector<WrittenBlock> written = blocks_to_write(m, options, tally);
  std::vector<std::size_t> first_row(written.size() + 1, 0);
  for (std::size_t k = 0; k < written.size(); ++k)
    first_row[k + 1] = first_row[k] + static_cast<std::size_t>(m.block(written[k].block).num_readings);
  const std::size_t rows = first_row.back();
  ReadingColumns out;
  for (auto* column : {&out.x, &out.y, &out.raw, &out.base, &out.corr}) *column = Column<float>(rows);
  out.time = Column<std::int64_t>(rows);
  out.block_row = Column<std::int32_t>(rows);

  std::atomic<std::size_t> next{0};
  std::vector<std::exception_ptr> failures(written.size());
  const auto work = [&] {
    WorkingColumns columns;
    for (std::size_t k = next++; k < written.size(); k = next++) {
      try {
        const WrittenBlock& w = written[k];
        const Block& block = m.block(w.block);
        build_working_columns(m, w.block, w.treatment, options.base_field_value, columns);
        const float coordinate = line_coordinate(block.line);
        const char direction = direction_letter(block.line);
        const std::size_t n = first_row[k + 1] - first_row[k];
        if (static_cast<std::size_t>(columns.rows()) != n)
          throw std::logic_error("block " + std::to_string(w.block) + " gave another count of rows than it holds");
        for (std::size_t i = 1, at = first_row[k]; i <= n; ++i, ++at) {
          const PlanPoint p = plan_point(coordinate, direction, columns.position[i]);
          out.x[at] = p.x;
          out.y[at] = p.y;
          out.raw[at] = nan_for_null(columns.raw[i]);
          out.base[at] = nan_for_null(columns.base[i]);
          out.corr[at] = nan_for_null(columns.corr[i]);
          out.time[at] = unix_seconds(columns.time[i]);
          out.block_row[at] = w.block - 1;
        }
      } catch (...) {
        failures[k] = std::current_exception();
      }
    }
  };
  const unsigned workers = std::min<std::size_t>(default_jobs(), std::max<std::size_t>(written.size(), 1));
  std::vector<std::thread> threads;
  for (unsigned t = 1; t < workers; ++t) threads.emplace_back(work);
  work();
  for (std::thread& t : threads) t.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
  return out;
}

// `nanoseconds`: the times as datetime64[ns], which pandas 1.x keeps without converting
// them, when every time fits; else as datetime64[s].
py::dict reading_table(const Survey& survey, bool corrected, bool export_all, bool export_base, double base_field,
                       bool nanoseconds) {
  ExportOptions options;
  options.apply_corrections = corrected;
  options.export_all = export_all;
  options.export_base = export_base;
  options.base_field_value = export_offset(base_field);
  ReadingColumns c;
  {
    py::gil_scoped_release unlocked;
    const std::shared_lock shared(survey.lock);
    try {
      c = reading_columns(survey.model, options);
    } catch (const ExportError& e) {
      throw py::value_error(std::string("An error occurred while exporting the data: ") + e.what());
    }
    nanoseconds = nanoseconds && std::all_of(c.time.begin(), c.time.end(), fits_nanoseconds);
    if (nanoseconds)
      for (std::int64_t& t : c.time) t *= nanoseconds_per_second;
  }
  py::dict table;
  table["x"] = to_numpy(std::move(c.x));
  table["y"] = to_numpy(std::move(c.y));
  table["raw"] = to_numpy(std::move(c.raw));
  table["base"] = to_numpy(std::move(c.base));
  table["corrected"] = to_numpy(std::move(c.corr));
  table["time"] = to_numpy(std::move(c.time), py::dtype(nanoseconds ? "datetime64[ns]" : "datetime64[s]"));
  table["block_row"] = to_numpy(std::move(c.block_row));
  return table;
}

const char* result_name(ExportResult result) {
  switch (result) {
    case ExportResult::refused: return "refused";
    case ExportResult::cancelled: return "cancelled";
    case ExportResult::failed: return "failed";
    case ExportResult::complete: return "complete";
  }
  return "failed";
}

// An export button's click with the batch tool's inputs: (how it ended, the messages, lines
// and readings written).
py::tuple export_file(const Survey& survey, const std::string& path, const std::string& base_field, int button,
                      bool no_corrections, bool export_all, bool export_base) {
  const std::filesystem::path target(path);
  ExportRequest request;
  request.file_name_text = target.filename().string();
  request.directory = target.has_parent_path() ? target.parent_path().string() : ".";
  request.base_field_text = base_field;
  request.apply_corrections = !no_corrections;
  request.export_all = export_all;
  request.export_base = export_base;
  CollectingOperator op;
  ExportTally written;
  ExportResult result = ExportResult::failed;
  {
    py::gil_scoped_release unlocked;
    const std::shared_lock shared(survey.lock);
    result = command_save_data(survey.model, request, button, op, -1, &written);
  }
  return py::make_tuple(result_name(result), texts(op.messages), written.lines, written.readings);
}

// The grid of the ticked field lines: (values rows x columns, south row first; x; y; the
// cell and blanking distance used).
py::tuple grid_survey(const Survey& survey, std::optional<double> cell, double tension, std::optional<double> blank,
                      const std::string& method, bool raw, double base_field) {
  GridOptions options;
  if (method == "mincurv")
    options.method = GridMethod::min_curvature;
  else if (method == "lines")
    options.method = GridMethod::lines;
  else
    throw py::value_error("method needs mincurv or lines, not \"" + method + "\"");
  if (cell && !(std::isfinite(*cell) && *cell > 0)) throw py::value_error("cell needs a number above 0");
  if (!(std::isfinite(tension) && tension >= 0 && tension < 1))
    throw py::value_error("tension needs a number from 0 to below 1");
  if (blank && !(std::isfinite(*blank) && *blank >= 0)) throw py::value_error("blank needs a number of 0 or more");
  options.cell = cell.value_or(0);
  options.tension = tension;
  options.blanking = blank.value_or(-1);
  const float offset = export_offset(base_field);
  Grid grid;
  double blanking = 0;
  {
    py::gil_scoped_release unlocked;
    const std::shared_lock shared(survey.lock);
    try {
      const GridInput input = grid_input(survey.model, raw, offset);
      grid = make_grid(input, options);
      blanking = blanking_distance(input, options);
    } catch (const GridError& e) {
      throw py::value_error(e.what());
    }
  }
  const GridGeometry g = grid.geometry;
  std::vector<double> x(static_cast<std::size_t>(g.columns)), y(static_cast<std::size_t>(g.rows));
  for (std::int32_t i = 0; i < g.columns; ++i) x[static_cast<std::size_t>(i)] = g.x(i);
  for (std::int32_t j = 0; j < g.rows; ++j) y[static_cast<std::size_t>(j)] = g.y(j);
  auto* owned = new std::vector<float>(std::move(grid.values));
  py::capsule owner(owned, [](void* p) { delete static_cast<std::vector<float>*>(p); });
  const py::ssize_t columns = g.columns, rows = g.rows;
  py::array values(py::dtype::of<float>(), {rows, columns},
                   {columns * static_cast<py::ssize_t>(sizeof(float)), static_cast<py::ssize_t>(sizeof(float))},
                   owned->data(), owner);
  return py::make_tuple(values, to_numpy(std::move(x)), to_numpy(std::move(y)), g.cell, blanking);
}

}  // namespace
}  // namespace corvane

PYBIND11_MODULE(_corvane, m) {
  using namespace corvane;
  m.doc() = "The Corvane survey core; use the corvane package, which wraps it.";
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const std::bad_alloc&) {
      PyErr_SetString(PyExc_MemoryError, "there is not enough memory");
    }
  });

  py::class_<Survey, std::shared_ptr<Survey>>(m, "Survey")
      .def_property_readonly("unread", [](const Survey& s) { return texts(s.unread); })
      .def_property_readonly("reading_count", [](const Survey& s) { return s.model.reading_count(); })
      .def("blocks", &block_table, "The block table as a dict of columns.")
      .def("readings", &reading_table, py::arg("corrected"), py::arg("export_all"), py::arg("export_base"),
           py::arg("base_field"), py::arg("nanoseconds") = false,
           "The rows an export of these options writes, as a dict of columns.")
      .def(
          "set_checked", [](Survey& s, const std::string& key, bool checked) { set_checked(s, key, checked); },
          py::arg("key"), py::arg("checked"), "Ticks or unticks the tree node `key`; matching runs again.")
      .def("export", &export_file, py::arg("path"), py::arg("base_field"), py::arg("button"), py::arg("no_corrections"),
           py::arg("export_all"), py::arg("export_base"), "An export: (how it ended, messages, lines, readings).")
      .def("grid", &grid_survey, py::arg("cell"), py::arg("tension"), py::arg("blank"), py::arg("method"),
           py::arg("raw"), py::arg("base_field"), "The grid: (values, x, y, cell, blanking).");

  m.def(
      "read",
      [](const std::vector<std::string>& paths, const std::string& date_order, std::optional<long long> jobs) {
        ReadResult r = read_survey(paths, date_order, jobs);
        return py::make_tuple(r.survey, texts(r.messages));
      },
      py::arg("paths"), py::arg("date_order"), py::arg("jobs"),
      "Reads and matches the dump files: (survey, messages).");
  m.attr("export_xyz_button") = export_xyz_button;
  m.attr("export_oasis_button") = export_oasis_button;
}
