// Matched catalogue lines turned into sections and handed on in blocks.

#include "conversion/conversion.h"

#include <cstring>

#include "base/text.h"

namespace orbitpick {

ScanOptions refresh_scan_options(const ScanOptions& options) {
  ScanOptions refresh = options;
  refresh.write = options.refresh_write;
  refresh.account = nullptr;
  refresh.refresh = nullptr;
  // A refreshed section replaces its body's section where it stands, by
  // identity: its name is not one of the names this run adds.
  refresh.sections = nullptr;
  return refresh;
}

Conversion::Conversion(const ScanOptions& o, const LineKind& k)
    : options(o),
      kind(k),
      sections(o.sections != nullptr ? o.sections : &own_sections) {
  out.reserve(o.flush_bytes + 4096);
}

namespace {

bool holds_control_byte(std::string_view text) {
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u < 0x20 && u != '\t') || u == 0x7F) return true;
  }
  return false;
}

}  // namespace

bool check_copied_columns(std::string_view line, const Column* copied,
                          std::size_t count, Column key, Error* err) {
  const std::string_view key_text = trim_view(field(line, key));
  bool control = holds_control_byte(key_text);
  for (std::size_t i = 0; i < count && !control; ++i) {
    control = holds_control_byte(trim_view(field(line, copied[i])));
  }
  if (control) {
    return fail(err, "control byte in a field written to the INI file");
  }
  if (key_text.find_first_of("[]") != std::string_view::npos) {
    return fail(err, "square bracket in the designation, which names the "
                     "section");
  }
  return true;
}

namespace {

// The line of "number" (1-based in the file) is not converted: say why.
void warn_skipped(const Conversion& c, std::int64_t number) {
  if (c.options.warn) {
    c.options.warn(format_line_warning(c.options.path, number,
                                       c.skip.what + "; line skipped"));
  }
}

// A warning about the line that "number()" (1-based in the file) gives:
// the number is counted only when there is something to say.
template <typename LineNumber>
void warn_line(const Conversion& c, LineNumber number, std::string_view what) {
  if (c.options.warn) {
    c.options.warn(format_line_warning(c.options.path, number(), what));
  }
}

// Appends "copies" sections of "line", under the planetarium's rules, and
// hands them on once enough have gathered. REQUIRES: the line's kind
// accepts it.
template <typename LineNumber>
bool add_sections(Conversion* c, std::string_view line, std::size_t copies,
                  LineNumber number, Error* err) {
  LineFacts facts;
  c->kind.describe(line, &facts);
  const std::string_view left_out = left_out_reason(facts);
  if (!left_out.empty()) {
    warn_line(*c, number,
              std::string(facts.designation) + " left out: " +
                  std::string(left_out));
    return true;
  }
  if (!facts.has_magnitude) {
    warn_line(*c, number, no_magnitude_warning(facts));
  }
  std::string suffix;
  std::string other;
  if (!claim_section_name(c->sections, facts, &suffix, &other)) {
    warn_line(*c, number, renamed_section_warning(facts, suffix, other));
  }
  for (std::size_t k = 0; k < copies; ++k) {
    const std::size_t start = c->out.size();
    c->kind.write(line, &c->out, c->options.format);
    // The section opens with "[" and its name.
    c->out.insert(start + 1 + facts.section.size(), suffix);
  }
  if (c->out.size() < c->options.flush_bytes) return true;
  if (!c->options.write(c->out, err)) return false;
  c->out.clear();
  return true;
}

}  // namespace

bool convert_matches(Conversion* c, std::string_view body,
                     const std::vector<NameMatch>& matches,
                     std::int64_t lines_before, Error* err) {
  const char* p = body.data();
  const char* end = p + body.size();
  const char* counted = p;                // line feeds before here are counted
  std::int64_t line_base = lines_before;  // catalogue lines before "counted"
  for (std::size_t i = 0; i < matches.size();) {
    // The matches of one line are its distinct names, and every one of
    // them gives the same section.
    const std::uint32_t line_start = matches[i].line_start;
    const char* at = p + matches[i].offset;
    const std::size_t first = i;
    while (i < matches.size() && matches[i].line_start == line_start) ++i;
    const char* line_begin = p + line_start;
    const char* line_end =
        static_cast<const char*>(std::memchr(at, '\n', end - at));
    if (line_end == nullptr) line_end = end;
    const std::string_view line(line_begin, line_end - line_begin);

    if (c->options.account != nullptr) {
      for (std::size_t k = first; k < i; ++k) {
        count_line(c->options.account, c->kind.source, matches[k].name,
                   c->kind.designation(line));
      }
    }
    // Lines are counted up to this one only for a warning about it.
    const auto number = [&] {
      line_base += count_newlines(counted, line_begin);
      counted = line_begin;
      return line_base + 1 + c->header_lines;
    };
    if (!c->kind.check(line, &c->skip)) {
      warn_skipped(*c, number());
      continue;
    }
    if (!add_sections(c, line, i - first, number, err)) return false;
  }
  return true;
}

bool convert_selected(Conversion* c, std::string_view line, std::int64_t number,
                      const std::vector<std::uint32_t>& hits, Error* err) {
  if (hits.empty()) return true;
  if (c->options.account != nullptr) {
    for (const std::uint32_t name : hits) {
      count_line(c->options.account, c->kind.source, name,
                 c->kind.designation(line));
    }
  }
  if (!c->kind.check(line, &c->skip)) {
    warn_skipped(*c, number);
    return true;
  }
  return add_sections(c, line, 1, [number] { return number; }, err);
}

bool finish_conversion(Conversion* c, Error* err) {
  if (!c->options.write(c->out, err)) return false;
  c->out.clear();
  return true;
}

}  // namespace orbitpick
