#include "window/key-bytes.h"

#include <gdk/gdkkeysyms.h>

namespace orvo::window {

std::string keyBytes(unsigned keyval, std::uint32_t unicode) {
  switch (keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
      return "\n";
    case GDK_KEY_Delete:
    case GDK_KEY_KP_Delete:
    case GDK_KEY_BackSpace:
      return "\x7f";
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
      return "\x1b[D";
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
      return "\x1b[C";
    case GDK_KEY_Escape:
      return "\x1b";
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
      return "";
    default:
      break;
  }
  // Printable ASCII only: "~" would start a typed line, which the entry does.
  if (unicode >= 0x20 && unicode < 0x7f && unicode != '~') return std::string(1, char(unicode));
  return "";
}

namespace {
std::string oneLine(const std::string& text) {
  std::string line;
  for (char c : text) line += c == '\n' || c == '\r' ? ' ' : c;
  return line;
}
}  // namespace

std::string typedRequest(const std::string& text) {
  return "~say " + oneLine(text) + "\n";
}

std::string outputChoice(const std::string& what, const std::string& name) {
  return "~output " + what + (name.empty() ? "" : " " + oneLine(name)) + "\n";
}

}  // namespace orvo::window
