// Reading INI text as the planetarium's reader does: lines, section headers
// and "key = value" lines (the rules are told in ini_merge.h). Shared by the
// merge and by the listing of a base file's bodies.

#ifndef ORBITPICK_OUTPUT_INI_TEXT_H_
#define ORBITPICK_OUTPUT_INI_TEXT_H_

#include <cstddef>
#include <cstring>
#include <string_view>

namespace orbitpick {

inline bool is_ini_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim_ini_blanks(std::string_view s);

inline char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_ignoring_case(std::string_view a, std::string_view b);

/// Splits text into lines ending at LF, CR LF or a lone CR. The next line
/// feed and carriage return are remembered, so that each byte is searched
/// once even in a file whose lines all end in a lone CR.
class LineSplitter {
 public:
  LineSplitter(std::string_view text, std::size_t start)
      : text_(text), pos_(start), lf_(find('\n')), cr_(find('\r')) {}

  /// Sets the line's content [*begin, *content_end) and its end after the
  /// line ending, *next; false at the end of the text.
  bool next(std::size_t* begin, std::size_t* content_end, std::size_t* next);

 private:
  static constexpr std::size_t npos_ = std::string_view::npos;

  std::size_t find(char c) const {
    if (pos_ >= text_.size()) return npos_;
    const void* at = std::memchr(text_.data() + pos_, c, text_.size() - pos_);
    return at == nullptr ? npos_ : static_cast<const char*>(at) - text_.data();
  }

  std::string_view text_;
  std::size_t pos_;
  std::size_t lf_;  // searched again once behind pos_
  std::size_t cr_;
};

/// The section name of a line starting with '[' after blanks, or false.
bool section_name(std::string_view line, std::string_view* name);

/// A "key = value" line: the key, and the value's offsets in the line, which
/// stop before a comment (';', or '#' after a blank) and its blanks.
struct KeyLine {
  std::string_view key;
  std::size_t value_begin = 0;
  std::size_t value_end = 0;
};

/// False for a line that is no key line (blank, comment, section header).
bool key_line(std::string_view line, KeyLine* out);

}  // namespace orbitpick

#endif  // ORBITPICK_OUTPUT_INI_TEXT_H_
