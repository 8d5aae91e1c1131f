// shindo._core's ground-motion values: compute_ground_motion over NumPy
// arrays, its result handed out as an object whose arrays are read-only views
// of the result's own memory. The package's Python layer checks and converts
// the input; the settings are checked by the core, whose sentence becomes a
// ValueError.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <shindo/ground_motion.h>

#include "numtext/writing.h"

namespace py = pybind11;

namespace {

using Samples = py::array_t<float, py::array::c_style>;
using Periods = py::array_t<double, py::array::c_style>;

std::span<const float> span_of(const Samples& samples) {
  return {samples.data(), static_cast<std::size_t>(samples.size())};
}

// A read-only view of `values`, kept alive by `owner`.
template <typename T>
py::array view_of(const std::vector<T>& values, py::handle owner) {
  py::array view(py::dtype::of<T>(), {static_cast<py::ssize_t>(values.size())}, {static_cast<py::ssize_t>(sizeof(T))},
                 values.data(), owner);
  view.attr("setflags")(py::arg("write") = false);
  return view;
}

// The dtype of one step of the long-period class, laid out as shindo::LongPeriodStep.
py::dtype long_period_step_type() {
  static_assert(offsetof(shindo::LongPeriodStep, period) == 0 && offsetof(shindo::LongPeriodStep, sva) == 8 &&
                offsetof(shindo::LongPeriodStep, lp_class) == 24);
  py::list names, formats, offsets;
  for (const char* name : {"period", "sva", "lp_class"}) names.append(name);
  formats.append("<f8");
  formats.append("(2,)<f8");
  formats.append("<i4");
  for (const int offset : {0, 8, 24}) offsets.append(offset);
  py::dict fields;
  fields["names"] = names;
  fields["formats"] = formats;
  fields["offsets"] = offsets;
  fields["itemsize"] = sizeof(shindo::LongPeriodStep);
  return py::dtype::from_args(fields);
}

std::shared_ptr<shindo::GroundMotion> compute(const Samples& ns, const Samples& ew, const Samples& ud, float dt,
                                              double damping, double highpass, const std::optional<Periods>& periods) {
  shindo::GroundMotionSettings settings{.damping = damping, .highpass_hz = highpass};
  if (periods) settings.periods = std::span<const double>(periods->data(), static_cast<std::size_t>(periods->size()));
  auto motion = std::make_shared<shindo::GroundMotion>();
  {
    py::gil_scoped_release unlocked;
    *motion = shindo::compute_ground_motion({span_of(ns), span_of(ew), span_of(ud), dt}, settings);
  }
  if (motion->fault != shindo::GroundMotionFault::none) {
    throw py::value_error(std::string(shindo::ground_motion_fault_text(motion->fault)));
  }
  return motion;
}

std::string repr_of(const shindo::GroundMotion& m) {
  const auto number = [](double value) { return numtext::shortest_text(value); };
  return "<shindo.GroundMotionResult pga_h=" + number(m.pga_horizontal) + " pgv_h=" + number(m.pgv_horizontal) +
         " si=" + number(m.si_max) + " sva_max=" + number(m.lp_sva) + " sva_period=" + number(m.lp_period) +
         " lp_class=" + std::to_string(m.lp_class) + " periods=" + std::to_string(m.periods.size()) +
         " damping=" + number(m.damping) + " highpass=" + number(m.highpass_hz) + ">";
}

}  // namespace

void register_ground_motion(py::module_& m) {
  using Motion = shindo::GroundMotion;
  py::class_<Motion, std::shared_ptr<Motion>> result(m, "GroundMotionResult",
                                                     "The ground-motion values of one record.");
  result.def_property_readonly("dt", [](const Motion& g) { return g.dt; })
      .def_property_readonly("damping", [](const Motion& g) { return g.damping; })
      .def_property_readonly("highpass", [](const Motion& g) { return g.highpass_hz; })
      .def_property_readonly("lead_samples", [](const Motion& g) { return g.lead_samples; });
  // The values of one component each, named as the batch program's columns.
  const char* const components[] = {"ns", "ew", "ud"};
  for (std::size_t c = 0; c < 3; ++c) {
    result.def_property_readonly(("pga_" + std::string(components[c])).c_str(), [c](const Motion& g) { return g.pga[c]; });
    result.def_property_readonly(("pgv_" + std::string(components[c])).c_str(), [c](const Motion& g) { return g.pgv[c]; });
    result.def_property_readonly(("velocity_" + std::string(components[c])).c_str(), [c](py::object self) {
      return view_of(self.cast<const Motion&>().velocity[c], self);
    });
  }
  result.def_property_readonly("pga_h", [](const Motion& g) { return g.pga_horizontal; })
      .def_property_readonly("pga_vector", [](const Motion& g) { return g.pga_vector; })
      .def_property_readonly("pgv_h", [](const Motion& g) { return g.pgv_horizontal; })
      .def_property_readonly("periods", [](py::object self) { return view_of(self.cast<const Motion&>().periods, self); });
  // The spectra of the two horizontal components, named as the columns of the spectra file.
  using Curve = std::vector<double> shindo::ResponseSpectrum::*;
  const std::pair<const char*, Curve> curves[] = {{"psa", &shindo::ResponseSpectrum::psa},
                                                  {"sa", &shindo::ResponseSpectrum::sa},
                                                  {"sd", &shindo::ResponseSpectrum::sd},
                                                  {"sv", &shindo::ResponseSpectrum::sv},
                                                  {"sva", &shindo::ResponseSpectrum::sva}};
  for (const auto& [name, curve] : curves) {
    for (std::size_t c = 0; c < 2; ++c) {
      result.def_property_readonly((std::string(name) + "_" + components[c]).c_str(), [c, curve](py::object self) {
        return view_of(self.cast<const Motion&>().spectra[c].*curve, self);
      });
    }
  }
  for (std::size_t c = 0; c < 2; ++c) {
    const std::string suffix = std::string("_") + components[c];
    result.def_property_readonly(("si" + suffix).c_str(), [c](const Motion& g) { return g.si[c]; });
    result.def_property_readonly(("sva_max" + suffix).c_str(), [c](const Motion& g) { return g.sva_max[c]; });
    result.def_property_readonly(("sva_period" + suffix).c_str(), [c](const Motion& g) { return g.sva_period[c]; });
  }
  result.def_property_readonly("si", [](const Motion& g) { return g.si_max; })
      .def_property_readonly("sva_max", [](const Motion& g) { return g.lp_sva; })
      .def_property_readonly("sva_period", [](const Motion& g) { return g.lp_period; })
      .def_property_readonly("lp_class", [](const Motion& g) { return g.lp_class; })
      .def_property_readonly("lp_steps",
                             [](py::object self) {
                               const auto& steps = self.cast<const Motion&>().lp_steps;
                               py::array view(long_period_step_type(), {static_cast<py::ssize_t>(steps.size())},
                                              {static_cast<py::ssize_t>(sizeof(shindo::LongPeriodStep))},
                                              steps.data(), self);
                               view.attr("setflags")(py::arg("write") = false);
                               return view;
                             })
      .def("__repr__", [](const Motion& g) { return repr_of(g); });

  m.attr("DEFAULT_PERIODS") = py::array_t<double>(static_cast<py::ssize_t>(shindo::default_periods().size()),
                                                  shindo::default_periods().data());
  m.def("ground_motion", &compute, py::arg("ns"), py::arg("ew"), py::arg("ud"), py::arg("dt"), py::arg("damping"),
        py::arg("highpass"), py::arg("periods"),
        "The ground-motion values of three contiguous float32 components of equal length.");
}
