// The readers and the batch program in shindo._core: the records of paths
// with their arrays handed over without a copy, and the cells of a batch
// run's table. Both run without the GIL; the package's Python layer
// (python/shindo/_files.py) makes the records, the rows and the errors.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "batch/library.h"
#include "batch/options.h"
#include "readers/readers.h"

namespace py = pybind11;

namespace {

// A text of the C++ side as Python text: UTF-8, with the bytes of a file name
// that are not UTF-8 kept as the operating system's interface keeps them
// (surrogateescape, so that os.fsencode gives the bytes back).
py::str text_of(std::string_view text) {
  PyObject* decoded = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
  if (decoded == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(decoded);
}

py::list texts_of(const std::vector<std::string>& texts) {
  py::list out;
  for (const std::string& text : texts) out.append(text_of(text));
  return out;
}

// A float32 array that owns `values`, moved out of the record.
py::array_t<float> array_owning(std::vector<float>&& values) {
  auto* held = new std::vector<float>(std::move(values));
  py::capsule owner(held, [](void* p) { delete static_cast<std::vector<float>*>(p); });
  return py::array_t<float>(static_cast<py::ssize_t>(held->size()), held->data(), owner);
}

py::object optional_of(const std::optional<double>& value) {
  return value ? py::object(py::float_(*value)) : py::object(py::none());
}

py::tuple error_of(const readers::Error& error) {
  return py::make_tuple(text_of(error.file), error.line, text_of(error.message));
}

py::dict record_of(readers::Record&& record) {
  const readers::Metadata& meta = record.metadata;
  py::dict out;
  out["name"] = text_of(record.name);
  out["format"] = std::string(readers::format_name(record.format));
  out["ns"] = array_owning(std::move(record.acc1));
  out["ew"] = array_owning(std::move(record.acc2));
  out["ud"] = array_owning(std::move(record.acc3));
  out["dt"] = record.dt;
  out["station"] = text_of(meta.station_code);
  out["station_name"] = text_of(meta.station_name);
  out["latitude"] = optional_of(meta.station_latitude);
  out["longitude"] = optional_of(meta.station_longitude);
  out["height_m"] = optional_of(meta.station_height);
  out["event_latitude"] = optional_of(meta.epicentre_latitude);
  out["event_longitude"] = optional_of(meta.epicentre_longitude);
  out["depth_km"] = optional_of(meta.epicentre_depth);
  out["magnitude"] = optional_of(meta.magnitude);
  out["origin_time"] = text_of(meta.origin_time);
  out["record_time"] = text_of(meta.record_time);
  out["sampling_frequency"] = meta.sampling_frequency;
  py::list directions, files;
  for (const readers::Component& component : meta.components) {
    directions.append(text_of(component.direction));
    files.append(text_of(component.file));
  }
  out["directions"] = py::tuple(directions);
  out["files"] = py::tuple(files);
  out["warnings"] = texts_of(record.warnings);
  return out;
}

// (records, files skipped, None) or (None, 0, (file, line, message)).
py::tuple read_paths(const std::vector<std::string>& paths, bool keep_offset) {
  readers::Result<batch::Records> read;
  {
    py::gil_scoped_release unlocked;
    read = batch::read_records(paths, keep_offset ? readers::Offset::keep : readers::Offset::remove_mean);
  }
  if (const readers::Error* error = std::get_if<readers::Error>(&read)) {
    return py::make_tuple(py::none(), 0, error_of(*error));
  }
  batch::Records& found = std::get<batch::Records>(read);
  py::list records;
  for (readers::Record& record : found.records) records.append(record_of(std::move(record)));
  return py::make_tuple(records, found.skipped, py::none());
}

// The options of a run as the command line gives them, so that the program's
// checks and defaults apply: `jobs` 0 for the program's default.
batch::Options options_of(const std::vector<std::string>& paths, unsigned jobs, bool running) {
  std::vector<std::string> arguments;
  if (jobs > 0) arguments.insert(arguments.end(), {"--jobs", std::to_string(jobs)});
  if (running) arguments.emplace_back("--running");
  arguments.emplace_back("--");
  arguments.insert(arguments.end(), paths.begin(), paths.end());
  const std::vector<std::string_view> views(arguments.begin(), arguments.end());
  auto parsed = batch::parse_options(views, std::thread::hardware_concurrency());
  if (const batch::UsageError* usage = std::get_if<batch::UsageError>(&parsed)) throw py::value_error(usage->message);
  return std::get<batch::Options>(std::move(parsed));
}

// (columns, numeric columns, rows of texts or None, warnings, skipped).
py::tuple run_batch(const std::vector<std::string>& paths, unsigned jobs, bool running) {
  const batch::Options options = options_of(paths, jobs, running);
  batch::Table table;
  {
    py::gil_scoped_release unlocked;
    table = batch::run_table(options);
  }
  py::list columns;
  for (const std::string_view column : table.columns) columns.append(py::str(column.data(), column.size()));
  std::vector<bool> numeric(table.columns.size(), false);
  py::list rows;
  for (const std::vector<batch::TableCell>& cells : table.rows) {
    py::tuple row(cells.size());
    for (std::size_t i = 0; i < cells.size(); ++i) {
      numeric[i] = numeric[i] || cells[i].number;
      row[i] = cells[i].text ? py::object(text_of(*cells[i].text)) : py::object(py::none());
    }
    rows.append(std::move(row));
  }
  return py::make_tuple(columns, numeric, rows, texts_of(table.warnings), table.skipped);
}

}  // namespace

void add_files(py::module_& m) {
  m.def("read", &read_paths, py::arg("paths"), py::arg("keep_offset") = false,
        "The records of paths: (list of dicts, files skipped, None), or (None, 0, (file, line, message)).");
  m.def("batch", &run_batch, py::arg("paths"), py::arg("jobs") = 0, py::arg("running") = false,
        "The table of a batch run: (columns, numeric columns, rows of cell texts, warnings, files skipped).");
}
