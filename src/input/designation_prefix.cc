// Recognising the designation a line of a list starts with.

#include "input/designation_prefix.h"

#include <cstring>

namespace orbitpick {
namespace {

constexpr std::size_t kNo = std::string_view::npos;

bool digit(char c) { return c >= '0' && c <= '9'; }
bool upper(char c) { return c >= 'A' && c <= 'Z'; }
bool lower(char c) { return c >= 'a' && c <= 'z'; }
bool letter(char c) { return upper(c) || lower(c); }

char at(std::string_view s, std::size_t i) { return i < s.size() ? s[i] : '\0'; }

// Where a designation may end.
bool boundary(std::string_view s, std::size_t i) {
  return i >= s.size() || std::strchr(" \t,;\"\r", s[i]) != nullptr;
}

// Bytes of the letter at s[i]: an ASCII letter, or a Latin letter with a
// diacritic (U+00C0 to U+017F, two bytes in UTF-8); 0 for anything else.
std::size_t letter_bytes(std::string_view s, std::size_t i) {
  if (letter(at(s, i))) return 1;
  const unsigned char lead = static_cast<unsigned char>(at(s, i));
  const unsigned char next = static_cast<unsigned char>(at(s, i + 1));
  if (lead >= 0xC3 && lead <= 0xC5 && (next & 0xC0) == 0x80) return 2;
  return 0;
}

// End of the run of digits from i, at most "most" of them and at least one.
std::size_t digits(std::string_view s, std::size_t i, std::size_t most) {
  std::size_t j = i;
  while (j < s.size() && digit(s[j]) && j - i < most) ++j;
  if (j == i || digit(at(s, j))) return kNo;
  return j;
}

// One word of a name: a letter, then letters, hyphens, apostrophes and
// periods (Mr. Spock, D'Arrest). "capital": the first letter must be one.
std::size_t name_word(std::string_view s, std::size_t i, bool capital) {
  std::size_t n = letter_bytes(s, i);
  if (n == 0 || (capital && n == 1 && !upper(s[i]))) return kNo;
  std::size_t j = i + n;
  while (j < s.size()) {
    if ((n = letter_bytes(s, j)) != 0) {
      j += n;
    } else if (s[j] == '-' || s[j] == '\'' || s[j] == '.') {
      ++j;
    } else {
      break;
    }
  }
  return j;
}

// A provisional designation from i: 2004 PC112, 1990 MU, 2040 P-L.
std::size_t provisional(std::string_view s, std::size_t i) {
  const std::size_t year = digits(s, i, 4);
  if (year != i + 4 || at(s, year) != ' ') return kNo;
  const std::size_t j = year + 1;
  for (const char* survey : {"P-L", "T-1", "T-2", "T-3"}) {
    if (s.substr(j, 3) == survey) return j + 3;
  }
  if (!upper(at(s, j)) || !upper(at(s, j + 1))) return kNo;
  std::size_t k = j + 2;
  while (digit(at(s, k))) ++k;
  return k;
}

// "(" provisional ")" from i.
std::size_t provisional_in_parentheses(std::string_view s, std::size_t i) {
  if (at(s, i) != '(') return kNo;
  const std::size_t end = provisional(s, i + 1);
  if (end == kNo || at(s, end) != ')') return kNo;
  return end + 1;
}

// A comet's provisional designation: C/2020 F8, C/-146 P1, P/2004 V5-A,
// with the name in parentheses that follows it: C/2020 F8 (SWAN).
std::size_t comet_provisional(std::string_view s, std::size_t i) {
  if (std::strchr("PCDXAI", at(s, i)) == nullptr || at(s, i) == '\0' ||
      at(s, i + 1) != '/') {
    return kNo;
  }
  std::size_t j = i + 2;
  if (at(s, j) == '-') ++j;
  j = digits(s, j, 4);
  if (j == kNo || at(s, j) != ' ' || !upper(at(s, j + 1))) return kNo;
  j += 2;
  if (upper(at(s, j))) ++j;
  while (digit(at(s, j))) ++j;
  if (at(s, j) == '-' && upper(at(s, j + 1))) {  // a fragment
    j += 2;
    if (upper(at(s, j))) ++j;
  }
  if (!boundary(s, j)) return kNo;
  if (at(s, j) == ' ' && at(s, j + 1) == '(') {
    const std::size_t close = s.find(')', j + 2);
    if (close != std::string_view::npos) return close + 1;
  }
  return j;
}

// A numbered periodic or interstellar comet: 88P, 2P/Encke,
// 141P-G/Machholz, 2I/Borisov.
std::size_t numbered_comet(std::string_view s, std::size_t i) {
  std::size_t j = digits(s, i, 4);
  if (j == kNo || std::strchr("PDI", at(s, j)) == nullptr || at(s, j) == '\0') {
    return kNo;
  }
  ++j;
  if (at(s, j) == '-' && upper(at(s, j + 1))) {
    j += 2;
    if (upper(at(s, j))) ++j;
  }
  if (at(s, j) == '/') {
    ++j;
    while (!boundary(s, j)) ++j;
  }
  return boundary(s, j) ? j : kNo;
}

// What may follow a minor planet's number: a name (and the provisional
// designation in parentheses), a provisional designation, or that in
// parentheses. From i, just after the blank(s); kNo when none follows.
std::size_t after_number(std::string_view s, std::size_t i) {
  std::size_t end = provisional_in_parentheses(s, i);
  if (end != kNo) return end;
  end = provisional(s, i);
  if (end != kNo) return boundary(s, end) ? end : kNo;
  end = name_word(s, i, false);
  if (end == kNo || !boundary(s, end)) return kNo;
  while (at(s, end) == ' ') {
    std::size_t more = provisional_in_parentheses(s, end + 1);
    if (more != kNo) return more;
    more = name_word(s, end + 1, true);
    if (more == kNo || !boundary(s, more)) break;
    end = more;
  }
  return end;
}

// A numbered minor planet: 433, (433), 433), each perhaps with a name or
// provisional designation after it.
std::size_t numbered(std::string_view s, std::size_t i) {
  const bool open = at(s, i) == '(';
  std::size_t j = digits(s, open ? i + 1 : i, 7);
  if (j == kNo) return kNo;
  const bool close = at(s, j) == ')';
  if (open && !close) return kNo;
  if (close) {
    ++j;
    // Aligned tables put several blanks between "(1)" and the name.
    std::size_t k = j;
    while (at(s, k) == ' ') ++k;
    if (k > j) {
      const std::size_t more = after_number(s, k);
      if (more != kNo) return more;
    }
    return boundary(s, j) ? j : kNo;
  }
  if (!boundary(s, j)) return kNo;
  if (at(s, j) == ' ') {
    const std::size_t more = after_number(s, j + 1);
    if (more != kNo) return more;
  }
  return j;
}

bool header_word(std::string_view word) {
  static const char* const kWords[] = {
      "Designation", "Name",   "Object", "Target",   "Number",
      "Comet",       "Asteroid", "Body", "Full_name", "Pdes"};
  for (const char* w : kWords) {
    if (word.size() == std::strlen(w)) {
      bool same = true;
      for (std::size_t k = 0; k < word.size() && same; ++k) {
        const char a = word[k];
        const char b = w[k];
        same = a == b || (lower(b) && a == b - 'a' + 'A');
      }
      if (same) return true;
    }
  }
  return false;
}

// A name standing alone (see the header).
std::size_t name_alone(std::string_view s, std::size_t i) {
  const std::size_t end = name_word(s, i, true);
  if (end == kNo) return kNo;
  if (end < s.size() && std::strchr("\t,;\"\r", s[end]) == nullptr &&
      !(s[end] == ' ' && (at(s, end + 1) == ' ' || end + 1 == s.size()))) {
    return kNo;
  }
  bool capitals = end - i >= 2;
  for (std::size_t k = i; k < end && capitals; ++k) {
    capitals = !lower(s[k]) && letter_bytes(s, k) != 2;
  }
  if (capitals || header_word(s.substr(i, end - i))) return kNo;
  return end;
}

std::size_t skip_blanks(std::string_view s, std::size_t i) {
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return i;
}

}  // namespace

std::size_t designation_length(std::string_view text) {
  // A provisional designation before a number: "2004 PC112" is not (2004).
  std::size_t end = provisional(text, 0);
  if (end != kNo && boundary(text, end)) return end;
  for (auto form : {comet_provisional, numbered_comet, numbered,
                    provisional_in_parentheses, name_alone}) {
    end = form(text, 0);
    if (end != kNo) return end;
  }
  return 0;
}

std::string_view line_designation(std::string_view line) {
  std::size_t i = skip_blanks(line, 0);
  // A priority (digits) or class (one letter) code in a column of its own.
  std::size_t code = i;
  while (code < line.size() && digit(line[code])) ++code;
  if (code == i && letter(at(line, code))) ++code;
  if (code > i && code - i <= 2) {
    const std::size_t next = skip_blanks(line, code);
    const bool own_column =
        at(line, code) == '\t' || (at(line, code) == ' ' && next - code >= 2);
    if (next < line.size() &&
        (at(line, next) == '"' ||
         (own_column && designation_length(line.substr(next)) > 0))) {
      i = next;
    }
  }
  if (at(line, i) == '"') {
    std::string_view field = line.substr(i + 1);
    field = field.substr(0, field.find('"'));
    const std::size_t start = skip_blanks(field, 0);
    field = field.substr(start);
    return field.substr(0, designation_length(field));
  }
  const std::string_view rest = line.substr(i);
  return rest.substr(0, designation_length(rest));
}

}  // namespace orbitpick
