#include "pictures/describe_fault.h"

namespace shindo::pictures {

std::string describe_fault(Fault fault, Stage stage) {
  std::string text(fault_text(fault));
  text += " (";
  text += stage_name(stage);
  text += ')';
  return text;
}

}  // namespace shindo::pictures
