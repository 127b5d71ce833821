#include "base/text.h"

namespace orbitpick {
namespace {

bool is_trimmed(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

}  // namespace

std::string_view trim_view(std::string_view s) {
  std::size_t begin = 0;
  std::size_t end = s.size();
  while (begin < end && is_trimmed(s[begin])) ++begin;
  while (end > begin && is_trimmed(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

}  // namespace orbitpick
