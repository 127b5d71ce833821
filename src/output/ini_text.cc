// INI lines, section headers and key lines.

#include "output/ini_text.h"

namespace orbitpick {

std::string_view trim_ini_blanks(std::string_view s) {
  while (!s.empty() && is_ini_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_ini_blank(s.back())) s.remove_suffix(1);
  return s;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

bool LineSplitter::next(std::size_t* begin, std::size_t* content_end,
                        std::size_t* next) {
  if (pos_ >= text_.size()) return false;
  if (lf_ != npos_ && lf_ < pos_) lf_ = find('\n');
  if (cr_ != npos_ && cr_ < pos_) cr_ = find('\r');
  *begin = pos_;
  if (cr_ < lf_) {
    *content_end = cr_;
    *next = cr_ + 1 == lf_ ? lf_ + 1 : cr_ + 1;
  } else if (lf_ != npos_) {
    *content_end = lf_;
    *next = lf_ + 1;
  } else {
    *content_end = text_.size();
    *next = text_.size();
  }
  pos_ = *next;
  return true;
}

bool section_name(std::string_view line, std::string_view* name) {
  const std::size_t open = line.find_first_not_of(" \t");
  if (open == std::string_view::npos || line[open] != '[') return false;
  std::string_view rest = line.substr(open + 1);
  const std::size_t close = rest.find(']');
  if (close != std::string_view::npos) rest = rest.substr(0, close);
  *name = trim_ini_blanks(rest);
  return true;
}

bool key_line(std::string_view line, KeyLine* out) {
  const std::size_t start = line.find_first_not_of(" \t");
  if (start == std::string_view::npos) return false;
  if (line[start] == ';' || line[start] == '#' || line[start] == '[') {
    return false;
  }
  const std::size_t equals = line.find('=', start);
  if (equals == std::string_view::npos) return false;
  out->key = trim_ini_blanks(line.substr(start, equals - start));
  std::size_t begin = equals + 1;
  while (begin < line.size() && is_ini_blank(line[begin])) ++begin;
  std::size_t end = begin;
  while (end < line.size() && line[end] != ';' &&
         !(line[end] == '#' && is_ini_blank(line[end - 1]))) {
    ++end;
  }
  while (end > begin && is_ini_blank(line[end - 1])) --end;
  out->value_begin = begin;
  out->value_end = end;
  return true;
}

}  // namespace orbitpick
