// The identities of a section, and the bodies of a base file.

#include "output/base_bodies.h"

#include <algorithm>
#include <utility>

#include "base/text.h"
#include "output/ini_text.h"
#include "selection/exact_match.h"

namespace orbitpick {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }

int hex_value(char c) {
  if (is_digit(c)) return c - '0';
  const char l = ascii_lower(c);
  return l >= 'a' && l <= 'f' ? l - 'a' + 10 : -1;
}

// Counts the bytes of "s" from "at" that "accept" takes.
template <typename Accept>
std::size_t span(std::string_view s, std::size_t at, Accept accept) {
  std::size_t n = 0;
  while (at + n < s.size() && accept(s[at + n])) ++n;
  return n;
}

// "-B", "-BT": a fragment's letters after "at", or 0.
std::size_t fragment(std::string_view s, std::size_t at) {
  if (at >= s.size() || s[at] != '-') return 0;
  const std::size_t letters = span(s, at + 1, is_upper);
  return letters == 0 ? 0 : letters + 1;
}

// "2P", "73P-B", "1I": the length of a periodic comet's designation at the
// start of "s", ended by the text's end or '/'; 0 when there is none.
std::size_t periodic_comet(std::string_view s) {
  std::size_t n = span(s, 0, is_digit);
  if (n == 0 || n >= s.size() || (s[n] != 'P' && s[n] != 'D' && s[n] != 'I')) {
    return 0;
  }
  ++n;
  n += fragment(s, n);
  return n == s.size() || s[n] == '/' ? n : 0;
}

// "C/1995 O1", "P/2010 V1", "C/2025 K1-C": a comet's provisional
// designation at the start of "s", ended by the text's end or a blank.
std::size_t provisional_comet(std::string_view s) {
  if (s.size() < 9 || std::string_view("CPDXIA").find(s[0]) ==
                          std::string_view::npos || s[1] != '/') {
    return 0;
  }
  if (span(s, 2, is_digit) != 4 || s[6] != ' ') return 0;
  const std::size_t letters = span(s, 7, is_upper);
  if (letters < 1 || letters > 2) return 0;
  std::size_t n = 7 + letters;
  n += span(s, n, is_digit);
  n += fragment(s, n);
  return n == s.size() || s[n] == ' ' ? n : 0;
}

// "2002 AA29", "1998 VF31", "2040 P-L", "3138 T-1": the whole of "s".
bool provisional_minor_planet(std::string_view s) {
  if (s.size() < 7 || span(s, 0, is_digit) != 4 || s[4] != ' ') return false;
  const std::string_view rest = s.substr(5);
  if (rest == "P-L" || rest == "T-1" || rest == "T-2" || rest == "T-3") {
    return true;
  }
  if (span(rest, 0, is_upper) != 2) return false;
  return span(rest, 2, is_digit) == rest.size() - 2;
}

void add_identity(const char* tag, std::string_view text,
                  std::vector<std::string>* out) {
  std::string id = tag;
  normalize_name(text, &id);
  if (id.size() > 2) out->push_back(std::move(id));
}

// The number and designation a name or iau_designation gives: "(433)
// Eros" is a number, "2P/Encke" a designation.
void name_identities(std::string_view text, std::vector<std::string>* ids,
                     std::vector<std::string>* lookups) {
  text = trim_ini_blanks(text);
  if (!text.empty() && text[0] == '(') {
    const std::size_t digits = span(text, 1, is_digit);
    if (digits > 0 && 1 + digits < text.size() && text[1 + digits] == ')') {
      const std::string_view number = text.substr(1, digits);
      add_identity("n:", number.substr(std::min(number.find_first_not_of('0'),
                                                number.size() - 1)),
                   ids);
      if (lookups != nullptr) lookups->emplace_back(number);
      text = trim_ini_blanks(text.substr(2 + digits));
    }
  }
  const std::string_view designation = designation_in_name(text);
  if (designation.empty()) return;
  add_identity("d:", designation, ids);
  if (lookups != nullptr) lookups->emplace_back(designation);
}

// The identities of "keys"; the texts to look the body up by go to
// "lookups" when it is not null.
std::vector<std::string> identities(const SectionKeys& keys,
                                    std::vector<std::string>* lookups) {
  std::vector<std::string> ids;
  const std::string decoded = decode_section_name(keys.section);
  add_identity("s:", decoded, &ids);
  if (lookups != nullptr && !decoded.empty()) lookups->push_back(decoded);
  const std::string_view number = trim_ini_blanks(keys.number);
  if (!number.empty() && span(number, 0, is_digit) == number.size()) {
    const std::size_t first = number.find_first_not_of('0');
    add_identity("n:", first == std::string_view::npos ? "0" : number.substr(first),
                 &ids);
    if (lookups != nullptr) lookups->emplace_back(number);
  }
  name_identities(keys.iau_designation, &ids, lookups);
  name_identities(keys.name, &ids, lookups);
  return ids;
}

}  // namespace

std::string decode_section_name(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '%' && i + 2 < name.size() &&
        hex_value(name[i + 1]) >= 0 && hex_value(name[i + 2]) >= 0) {
      out += static_cast<char>(hex_value(name[i + 1]) * 16 +
                               hex_value(name[i + 2]));
      i += 2;
    } else {
      out += name[i];
    }
  }
  return out;
}

std::string_view designation_in_name(std::string_view text) {
  text = trim_ini_blanks(text);
  if (const std::size_t n = periodic_comet(text)) return text.substr(0, n);
  if (const std::size_t n = provisional_comet(text)) return text.substr(0, n);
  if (provisional_minor_planet(text)) return text;
  return {};
}

std::vector<std::string> section_identities(const SectionKeys& keys) {
  return identities(keys, nullptr);
}

std::vector<BaseBody> read_base_bodies(std::string_view ini) {
  std::vector<BaseBody> bodies;
  SectionKeys keys;
  bool in_section = false;
  const auto finish = [&] {
    if (!in_section) return;
    BaseBody body;
    body.section = std::string(keys.section);
    identities(keys, &body.lookups);
    bodies.push_back(std::move(body));
  };
  LineSplitter lines(ini, byte_order_mark_size(ini));
  std::size_t begin, end, next;
  while (lines.next(&begin, &end, &next)) {
    const std::string_view line = ini.substr(begin, end - begin);
    std::string_view name;
    if (section_name(line, &name)) {
      finish();
      keys = SectionKeys();
      keys.section = name;
      in_section = true;
      continue;
    }
    KeyLine k;
    if (!in_section || !key_line(line, &k)) continue;
    const std::string_view value =
        line.substr(k.value_begin, k.value_end - k.value_begin);
    if (value.empty()) continue;
    // A key given twice: its first non-empty value says what the body is.
    for (auto [key, field] : {std::pair{"minor_planet_number", &keys.number},
                              std::pair{"iau_designation", &keys.iau_designation},
                              std::pair{"name", &keys.name}}) {
      if (field->empty() && equal_ignoring_case(k.key, key)) *field = value;
    }
  }
  finish();
  return bodies;
}

}  // namespace orbitpick
