#include "studio/daw-ways.h"

#include "platform/files.h"

namespace orvo {

DawMode dawModeFrom(std::optional<std::string_view> text) {
  if (!text) return DawMode::assisted;
  std::string line = files::trim(std::string(text->substr(0, text->find('\n'))));
  if (line == "guided") return DawMode::guided;
  if (line == "autonomous") return DawMode::autonomous;
  return DawMode::assisted;
}

std::string_view dawModeName(DawMode mode) {
  switch (mode) {
    case DawMode::guided:
      return "guided";
    case DawMode::autonomous:
      return "autonomous";
    case DawMode::assisted:
      break;
  }
  return "assisted";
}

DawStep dawStep(const DawAsk& ask, DawMode mode) {
  using Kind = DawStep::Kind;
  switch (ask.kind) {
    case DawAsk::Kind::say:
      return {Kind::say, ask.text, "daw say"};
    case DawAsk::Kind::question:
      return {Kind::question, ask.text, "daw question"};
    case DawAsk::Kind::plan:
      if (mode == DawMode::autonomous) return {Kind::perform, "", "daw plan"};
      return {Kind::confirm, ask.text + " Shall I go ahead?", "daw plan"};
    case DawAsk::Kind::op:
      break;
  }
  // A confirm text (deletes carry one) is asked in every mode.
  if (ask.confirm) return {Kind::confirm, *ask.confirm, "daw confirm"};
  if (mode == DawMode::guided) {
    return {Kind::confirm, "I am about to change the project. Shall I go ahead?", "daw confirm"};
  }
  return {Kind::perform, "", "daw op"};
}

}  // namespace orvo
