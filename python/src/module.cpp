// The extension module shindo._core: the computing core over NumPy arrays.
// It takes contiguous float32 arrays as they are (the package's Python layer
// converts and checks the input and raises the errors), computes without the
// GIL and hands the core's results out as objects whose arrays are views of
// the result's own memory.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <shindo/intensity.h>

#include "numtext/writing.h"

namespace py = pybind11;

namespace {

// A component as the Python layer passes it: contiguous float32, not cast.
using Samples = py::array_t<float, py::array::c_style>;

std::span<const float> span_of(const Samples& samples) {
  return {samples.data(), static_cast<std::size_t>(samples.size())};
}

// The core's result with the peak of the input vector beside it.
struct Computed {
  shindo::Intensity result;
  float pga = std::numeric_limits<float>::quiet_NaN();
};

bool complete(const Computed& c) { return c.result.fault == shindo::Fault::none; }

float intensity_of(const Computed& c) {
  return complete(c) ? c.result.shindo : std::numeric_limits<float>::quiet_NaN();
}

std::optional<std::int32_t> tenths_of(const Computed& c) {
  if (!complete(c)) return std::nullopt;
  return shindo::reported_tenths(c.result.shindo);
}

std::optional<std::string> label_of(const Computed& c, bool japanese) {
  const auto tenths = tenths_of(c);
  if (!tenths) return std::nullopt;
  const shindo::IntensityClass k = shindo::intensity_class(*tenths);
  return std::string(japanese ? shindo::class_label_ja(k) : shindo::class_label(k));
}

// A read-only one-dimensional view of `count` values `stride` bytes apart,
// kept alive by `owner`.
py::array read_only_view(py::dtype type, const void* data, std::size_t count, std::size_t stride,
                         py::handle owner) {
  py::array view(std::move(type), {static_cast<py::ssize_t>(count)}, {static_cast<py::ssize_t>(stride)}, data,
                 owner);
  view.attr("setflags")(py::arg("write") = false);
  return view;
}

// The dtype of one level row, laid out as shindo::LevelRow.
py::dtype level_row_type() {
  static_assert(sizeof(shindo::LevelRow) == 12 && offsetof(shindo::LevelRow, count) == 4 &&
                offsetof(shindo::LevelRow, duration) == 8);
  py::list fields;
  fields.append(py::make_tuple("level", "<f4"));
  fields.append(py::make_tuple("count", "<i4"));
  fields.append(py::make_tuple("duration", "<f4"));
  return py::dtype::from_args(fields);
}

std::string repr_of(const Computed& c) {
  const shindo::Intensity& r = c.result;
  std::string text = "<shindo.IntensityResult ";
  if (complete(c)) {
    const std::int32_t tenths = *tenths_of(c);
    text += "intensity=" + numtext::shortest_text(r.shindo) + " reported=" + numtext::reported_text(tenths) +
            " class=" + *label_of(c, false);
  } else {
    text += "fault=" + shindo::describe_fault(r.fault, r.stage);
  }
  text += " a0=" + numtext::shortest_text(r.a0) + " amax=" + numtext::shortest_text(r.amax);
  if (!std::isnan(c.pga)) text += " pga=" + numtext::shortest_text(c.pga);
  text += " samples=" + std::to_string(r.samples) + " dt=" + numtext::shortest_text(r.dt) + ">";
  return text;
}

std::shared_ptr<Computed> compute(const Samples& ns, const Samples& ew, const Samples& ud, float dt) {
  auto computed = std::make_shared<Computed>();
  {
    py::gil_scoped_release unlocked;
    computed->result = shindo::compute_intensity({span_of(ns), span_of(ew), span_of(ud), dt});
    computed->pga = shindo::peak_vector({span_of(ns), span_of(ew), span_of(ud)});
  }
  return computed;
}

shindo::RunningIntensity started(float dt, double window, double step) {
  const shindo::RunningSettings settings{dt, window, step};
  shindo::RunningStart start = shindo::start_running(settings);
  if (!start.stream) throw py::value_error(shindo::refusal_text(start.refusal, settings));
  return std::move(*start.stream);
}

// One completed step of a running intensity, for Python.
struct Step {
  double time = 0.0;
  std::int64_t end_sample = 0;
  std::int32_t window_samples = 0;
  std::shared_ptr<Computed> result;
};

Step step_of(const shindo::RunningStep& step) {
  auto computed = std::make_shared<Computed>();
  computed->result = step.result;
  return {step.time, step.end_sample, step.window_samples, std::move(computed)};
}

template <typename T>
py::array_t<T> array_of(const std::vector<T>& values) {
  return py::array_t<T>(static_cast<py::ssize_t>(values.size()), values.data());
}

// The running intensity of a whole record: (time, intensity, a0), the
// intensity NaN where a window could not be computed.
py::tuple running(const Samples& ns, const Samples& ew, const Samples& ud, float dt, double window, double step) {
  shindo::RunningIntensity stream = started(dt, window, step);
  std::vector<double> times;
  std::vector<float> intensities, a0s;
  {
    py::gil_scoped_release unlocked;
    const auto keep = [&](const shindo::RunningStep& s) {
      times.push_back(s.time);
      intensities.push_back(s.result.fault == shindo::Fault::none ? s.result.shindo
                                                                   : std::numeric_limits<float>::quiet_NaN());
      a0s.push_back(s.result.a0);
    };
    (void)stream.feed({span_of(ns), span_of(ew), span_of(ud)}, keep);
    stream.finish(keep);
  }
  return py::make_tuple(array_of(times), array_of(intensities), array_of(a0s));
}

// A stream fed from Python. The core's stream is for one thread at a time;
// the lock keeps two Python threads feeding one stream apart while neither
// holds the GIL.
class Stream {
 public:
  Stream(float dt, double window, double step) : stream_(started(dt, window, step)) {}

  std::vector<Step> feed(const Samples& ns, const Samples& ew, const Samples& ud) {
    std::vector<Step> steps;
    py::gil_scoped_release unlocked;
    const std::lock_guard lock(mutex_);
    (void)stream_.feed({span_of(ns), span_of(ew), span_of(ud)},
                       [&](const shindo::RunningStep& s) { steps.push_back(step_of(s)); });
    return steps;
  }

  std::vector<Step> finish() {
    std::vector<Step> steps;
    py::gil_scoped_release unlocked;
    const std::lock_guard lock(mutex_);
    stream_.finish([&](const shindo::RunningStep& s) { steps.push_back(step_of(s)); });
    return steps;
  }

  const shindo::RunningIntensity& core() const { return stream_; }

 private:
  shindo::RunningIntensity stream_;
  std::mutex mutex_;
};

}  // namespace

void register_ground_motion(py::module_& m);  // ground_motion.cpp
// The readers and the batch program (files.cpp).
void add_files(py::module_& m);

PYBIND11_MODULE(_core, m) {
  m.doc() = "The computing core of shindo over NumPy arrays (use the package shindo).";
  m.attr("__version__") = SHINDO_VERSION;
  m.attr("MAX_SAMPLES") = shindo::kMaxSamples;
  m.attr("LEVELS") = shindo::kLevels;

  py::enum_<shindo::Fault>(m, "Fault", "What stopped a computation.")
      .value("none", shindo::Fault::none)
      .value("length_mismatch", shindo::Fault::length_mismatch)
      .value("too_long", shindo::Fault::too_long)
      .value("not_finite", shindo::Fault::not_finite)
      .value("divide_by_zero", shindo::Fault::divide_by_zero)
      .value("overflow", shindo::Fault::overflow)
      .value("invalid", shindo::Fault::invalid)
      .value("sqrt_domain", shindo::Fault::sqrt_domain)
      .value("log10_singularity", shindo::Fault::log10_singularity)
      .value("log10_domain", shindo::Fault::log10_domain);
  py::enum_<shindo::Stage>(m, "Stage", "The stages of the computation, in the order they run.")
      .value("none", shindo::Stage::none)
      .value("input", shindo::Stage::input)
      .value("spectrum", shindo::Stage::spectrum)
      .value("filter", shindo::Stage::filter)
      .value("vector", shindo::Stage::vector)
      .value("level_scan", shindo::Stage::level_scan)
      .value("intensity", shindo::Stage::intensity);

  py::class_<Computed, std::shared_ptr<Computed>>(m, "IntensityResult",
                                                  "The intensity of one record and every intermediate value.")
      .def_property_readonly("fault", [](const Computed& c) { return c.result.fault; })
      .def_property_readonly("stage", [](const Computed& c) { return c.result.stage; })
      .def_property_readonly("message",
                             [](const Computed& c) { return std::string(shindo::fault_text(c.result.fault)); })
      .def_property_readonly("intensity", [](const Computed& c) { return intensity_of(c); })
      .def_property_readonly("reported_tenths", [](const Computed& c) { return tenths_of(c); })
      .def_property_readonly("reported",
                             [](const Computed& c) {
                               const auto tenths = tenths_of(c);
                               return tenths ? *tenths / 10.0 : std::numeric_limits<double>::quiet_NaN();
                             })
      .def_property_readonly("intensity_class", [](const Computed& c) { return label_of(c, false); })
      .def_property_readonly("class_ja", [](const Computed& c) { return label_of(c, true); })
      .def_property_readonly("a0", [](const Computed& c) { return c.result.a0; })
      .def_property_readonly("amax", [](const Computed& c) { return c.result.amax; })
      .def_property_readonly("pga", [](const Computed& c) { return c.pga; })
      .def_property_readonly("samples", [](const Computed& c) { return c.result.samples; })
      .def_property_readonly("dt", [](const Computed& c) { return c.result.dt; })
      .def_property_readonly("transform_size", [](const Computed& c) { return c.result.transform_size; })
      .def_property_readonly("wave",
                             [](py::object self) {
                               const auto& wave = self.cast<const Computed&>().result.wave;
                               return read_only_view(py::dtype::of<float>(), wave.data(), wave.size(),
                                                     sizeof(float), self);
                             })
      .def_property_readonly("levels",
                             [](py::object self) {
                               const auto& levels = self.cast<const Computed&>().result.levels;
                               return read_only_view(level_row_type(), levels.data(), levels.size(),
                                                     sizeof(shindo::LevelRow), self);
                             })
      .def("__repr__", &repr_of);

  py::class_<Step>(m, "RunningStep", "One completed step of a running intensity.")
      .def_readonly("time", &Step::time)
      .def_readonly("end_sample", &Step::end_sample)
      .def_readonly("window_samples", &Step::window_samples)
      .def_readonly("result", &Step::result)
      .def("__repr__", [](const Step& s) {
        return "<shindo.RunningStep time=" + py::repr(py::float_(s.time)).cast<std::string>() +
               " window_samples=" + std::to_string(s.window_samples) + " result=" + repr_of(*s.result) + ">";
      });

  py::class_<Stream>(m, "Stream")
      .def(py::init<float, double, double>())
      .def("feed", &Stream::feed)
      .def("finish", &Stream::finish)
      .def_property_readonly("dt", [](const Stream& s) { return s.core().dt(); })
      .def_property_readonly("window_samples", [](const Stream& s) { return s.core().window_samples(); })
      .def_property_readonly("step_samples", [](const Stream& s) { return s.core().step_samples(); })
      .def_property_readonly("samples_received", [](const Stream& s) { return s.core().samples_received(); });

  m.def("compute", &compute, "The intensity of three contiguous float32 components of equal length.");
  m.def("running", &running, "The running intensity of a whole record: (time, intensity, a0).");
  m.def("stage_name", [](shindo::Stage stage) { return std::string(shindo::stage_name(stage)); });
  m.def("reported_tenths", &shindo::reported_tenths, "The intensity reported the JMA way, in tenths.");
  m.def("class_labels", [](std::int32_t tenths) {
    const shindo::IntensityClass k = shindo::intensity_class(tenths);
    return py::make_tuple(std::string(shindo::class_label(k)), std::string(shindo::class_label_ja(k)));
  });
  register_ground_motion(m);
  add_files(m);
}
