// Small helpers on byte strings that every phase uses.

#ifndef ORBITPICK_BASE_TEXT_H_
#define ORBITPICK_BASE_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace orbitpick {

/// "s" without leading and trailing spaces, line feeds, carriage returns
/// and tabs, as a view into "s". Inner characters are kept; vertical tab
/// and form feed are not trimmed.
std::string_view trim_view(std::string_view s);

/// The eight bytes at "p" as a number, byte i in bits 8i to 8i + 7
/// whatever the processor's byte order.
inline std::uint64_t load_word(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  return word;
}

/// The UTF-8 byte order mark that spreadsheets and some editors put first
/// in a text file; lists and INI files are read after it.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

/// The length of the byte order mark "text" opens with: 3, or 0.
inline std::size_t byte_order_mark_size(std::string_view text) {
  return text.substr(0, kByteOrderMark.size()) == kByteOrderMark
             ? kByteOrderMark.size()
             : 0;
}

/// "s" as a message may show it on a terminal: every control byte (below
/// 0x20, and 0x7F) and every C1 control in UTF-8 (C2 80 to C2 9F) written
/// as "\xHH", so that a name or a path cannot move the cursor, retitle the
/// window or clear the screen. Other bytes, backslashes included, are kept,
/// so that escaping twice changes nothing more.
std::string escape_controls(std::string_view s);

}  // namespace orbitpick

#endif  // ORBITPICK_BASE_TEXT_H_
