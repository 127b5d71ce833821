#include "base/text.h"

namespace orbitpick {
namespace {

bool is_trimmed(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

bool is_control(unsigned char c) { return c < 0x20 || c == 0x7F; }

// C2 80 to C2 9F: U+0080 to U+009F, which some terminals obey as controls.
bool is_c1_at(std::string_view s, std::size_t i) {
  return static_cast<unsigned char>(s[i]) == 0xC2 && i + 1 < s.size() &&
         (static_cast<unsigned char>(s[i + 1]) & 0xE0) == 0x80;
}

void append_escaped(unsigned char c, std::string* out) {
  static const char kHex[] = "0123456789abcdef";
  const char escaped[4] = {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
  out->append(escaped, 4);
}

}  // namespace

std::string escape_controls(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && !is_control(static_cast<unsigned char>(s[i])) &&
         !is_c1_at(s, i)) {
    ++i;
  }
  std::string out(s.substr(0, i));
  if (i == s.size()) return out;
  out.reserve(s.size() + 16);
  for (; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (is_control(c)) {
      append_escaped(c, &out);
    } else if (is_c1_at(s, i)) {
      append_escaped(c, &out);
      append_escaped(static_cast<unsigned char>(s[++i]), &out);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string_view trim_view(std::string_view s) {
  std::size_t begin = 0;
  std::size_t end = s.size();
  while (begin < end && is_trimmed(s[begin])) ++begin;
  while (end > begin && is_trimmed(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

}  // namespace orbitpick
