// The parts of a listed spelling.

#include "selection/spelling.h"

#include <cstddef>

#include "base/text.h"

namespace orbitpick {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Numbers reach seven digits today; nine keep room and stay far from
// what a year-and-letters designation could be mistaken for.
constexpr std::size_t kMaxNumberDigits = 9;

}  // namespace

bool is_provisional_designation(std::string_view text) {
  const std::string_view t = trim_view(text);
  if (t.size() < 6) return false;
  for (std::size_t i = 0; i < 4; ++i) {
    if (!is_digit(t[i])) return false;
  }
  std::size_t i = 4;
  if (!is_blank(t[i])) return false;
  while (i < t.size() && is_blank(t[i])) ++i;
  const std::string_view letters = t.substr(i);
  if (letters == "P-L" || letters == "T-1" || letters == "T-2" ||
      letters == "T-3") {
    return true;
  }
  if (letters.size() < 2 || !is_letter(letters[0]) || !is_letter(letters[1])) {
    return false;
  }
  for (std::size_t k = 2; k < letters.size(); ++k) {
    if (!is_digit(letters[k])) return false;
  }
  return true;
}

Spelling read_spelling(std::string_view text) {
  Spelling s;
  const std::string_view t = trim_view(text);
  std::string_view h = t;
  if (!t.empty() && t.back() == ')') {
    const std::size_t open = t.rfind('(');
    if (open != std::string_view::npos && open > 0) {
      const std::string_view head = trim_view(t.substr(0, open));
      if (!head.empty()) {
        s.head = head;
        s.parenthesis = trim_view(t.substr(open + 1, t.size() - open - 2));
        h = head;
      }
    }
  }

  // "(1) Ceres", "1) Ceres", "1566 Icarus", "4953" before "(1990 MU)".
  std::size_t i = 0;
  const bool opened = !h.empty() && h[0] == '(';
  if (opened) ++i;
  const std::size_t start = i;
  while (i < h.size() && is_digit(h[i])) ++i;
  const std::size_t digits = i - start;
  if (digits == 0 || digits > kMaxNumberDigits) return s;
  const bool closed = i < h.size() && h[i] == ')';
  if (closed) {
    ++i;
  } else if (opened || (i < h.size() && !is_blank(h[i]))) {
    return s;  // "(433", "88P", "2I/Borisov", "141P-G/Machholz"
  }
  const std::string_view rest = trim_view(h.substr(i));
  // A number alone is one identity among others: the whole decides.
  if (rest.empty() && s.head.empty()) return s;
  if (!closed && is_provisional_designation(h)) return s;
  std::string_view number = h.substr(start, digits);
  while (number.size() > 1 && number[0] == '0') number.remove_prefix(1);
  s.number = number;
  s.rest = rest;
  return s;
}

}  // namespace orbitpick
