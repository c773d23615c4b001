#include "platform/utf8.h"

namespace orvo {

std::string repairUtf8(const std::string& bytes) {
  static const std::string replacement = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  auto cont = [&](std::size_t at) {
    return at < bytes.size() && (static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80;
  };
  while (i < bytes.size()) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    unsigned int min = 0, code = 0;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      length = 2, code = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3, code = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4, code = c & 0x07, min = 0x10000;
    }
    bool valid = length > 0;
    for (std::size_t k = 1; valid && k < length; ++k) {
      if (!cont(i + k)) {
        valid = false;
      } else {
        code = (code << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
      }
    }
    valid = valid && code >= min && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
    if (valid) {
      out.append(bytes, i, length);
      i += length;
    } else {
      out += replacement;
      ++i;
    }
  }
  return out;
}

std::string escapeMarkup(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string cutUtf8(const std::string& text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = maxBytes;
  // Continuation bytes are 10xxxxxx: back up to the start of the character cut through.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace orvo
