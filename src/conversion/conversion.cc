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

void prepare_line(const LineKind& kind, SectionFormat format,
                  std::string_view line, PreparedLine* prepared,
                  std::string* text) {
  prepared->text_begin = prepared->text_end = text->size();
  prepared->ok = kind.check(line, &prepared->skip);
  if (!prepared->ok) return;
  kind.describe(line, &prepared->facts);
  if (!left_out_reason(prepared->facts).empty()) return;
  kind.write(line, text, format);
  prepared->text_end = text->size();
}

std::size_t prepare_matches(const LineKind& kind, SectionFormat format,
                            std::string_view body,
                            const std::vector<NameMatch>& matches,
                            std::size_t max_bytes,
                            std::vector<MatchedLine>* lines,
                            std::string* text) {
  lines->clear();
  text->clear();
  const char* p = body.data();
  const char* end = p + body.size();
  std::size_t i = 0;
  while (i < matches.size() && text->size() < max_bytes &&
         lines->size() <= max_bytes / 256) {
    // The matches of one line are its distinct names, and every one of
    // them gives the same section.
    MatchedLine& matched = lines->emplace_back();
    matched.line_start = matches[i].line_start;
    matched.first_match = static_cast<std::uint32_t>(i);
    const char* at = p + matches[i].offset;
    while (i < matches.size() && matches[i].line_start == matched.line_start) {
      ++i;
    }
    matched.end_match = static_cast<std::uint32_t>(i);
    const char* line_begin = p + matched.line_start;
    const char* line_end =
        static_cast<const char*>(std::memchr(at, '\n', end - at));
    if (line_end == nullptr) line_end = end;
    matched.line_end = static_cast<std::uint32_t>(line_end - p);
    prepare_line(kind, format,
                 std::string_view(line_begin, line_end - line_begin),
                 &matched.prepared, text);
  }
  return i;
}

namespace {

// The line of "number" (1-based in the file) is not converted: say why.
void warn_skipped(const Conversion& c, const Error& skip,
                  std::int64_t number) {
  if (c.options.warn) {
    c.options.warn(format_line_warning(c.options.path, number,
                                       skip.what + "; line skipped"));
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

// Appends "copies" sections of the prepared line, its section's text in
// "text", under the planetarium's rules, and hands them on once enough
// have gathered. REQUIRES: prepared.ok.
template <typename LineNumber>
bool add_sections(Conversion* c, const PreparedLine& prepared,
                  std::string_view text, std::size_t copies,
                  LineNumber number, Error* err) {
  const LineFacts& facts = prepared.facts;
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
  const std::string_view section = text.substr(
      prepared.text_begin, prepared.text_end - prepared.text_begin);
  for (std::size_t k = 0; k < copies; ++k) {
    if (suffix.empty()) {
      c->out.append(section);
    } else {
      // The section opens with "[" and its name.
      const std::size_t name_end = 1 + facts.section.size();
      c->out.append(section.substr(0, name_end));
      c->out.append(suffix);
      c->out.append(section.substr(name_end));
    }
  }
  if (c->out.size() < c->options.flush_bytes) return true;
  if (!c->options.write(c->out, err)) return false;
  c->out.clear();
  return true;
}

}  // namespace

bool convert_prepared(Conversion* c, std::string_view body,
                      const std::vector<NameMatch>& matches,
                      const std::vector<MatchedLine>& lines,
                      std::string_view text, std::int64_t lines_before,
                      Error* err) {
  const char* p = body.data();
  const char* counted = p;                // line feeds before here are counted
  std::int64_t line_base = lines_before;  // catalogue lines before "counted"
  for (const MatchedLine& matched : lines) {
    const char* line_begin = p + matched.line_start;
    const PreparedLine& prepared = matched.prepared;
    if (c->options.account != nullptr) {
      // A line that was refused has no facts: read from the line itself.
      const std::string_view designation =
          prepared.ok ? prepared.facts.designation
                      : c->kind.designation(body.substr(
                            matched.line_start,
                            matched.line_end - matched.line_start));
      for (std::uint32_t k = matched.first_match; k < matched.end_match; ++k) {
        count_line(c->options.account, c->kind.source, matches[k].name,
                   designation);
      }
    }
    // Lines are counted up to this one only for a warning about it.
    const auto number = [&] {
      line_base += count_newlines(counted, line_begin);
      counted = line_begin;
      return line_base + 1 + c->header_lines;
    };
    if (!prepared.ok) {
      warn_skipped(*c, prepared.skip, number());
      continue;
    }
    if (!add_sections(c, prepared, text,
                      matched.end_match - matched.first_match, number, err)) {
      return false;
    }
  }
  return true;
}

bool convert_matches(Conversion* c, std::string_view body,
                     const std::vector<NameMatch>& matches,
                     std::int64_t lines_before, Error* err) {
  prepare_matches(c->kind, c->options.format, body, matches,
                  static_cast<std::size_t>(-1), &c->matched, &c->text);
  return convert_prepared(c, body, matches, c->matched, c->text, lines_before,
                          err);
}

bool convert_selected(Conversion* c, std::string_view line, std::int64_t number,
                      const std::vector<std::uint32_t>& hits,
                      const PreparedLine& prepared, std::string_view text,
                      Error* err) {
  if (hits.empty()) return true;
  if (c->options.account != nullptr) {
    const std::string_view designation =
        prepared.ok ? prepared.facts.designation : c->kind.designation(line);
    for (const std::uint32_t name : hits) {
      count_line(c->options.account, c->kind.source, name, designation);
    }
  }
  if (!prepared.ok) {
    warn_skipped(*c, prepared.skip, number);
    return true;
  }
  return add_sections(c, prepared, text, 1, [number] { return number; }, err);
}

bool convert_selected(Conversion* c, std::string_view line, std::int64_t number,
                      const std::vector<std::uint32_t>& hits, Error* err) {
  if (hits.empty()) return true;
  c->text.clear();
  prepare_line(c->kind, c->options.format, line, &c->prepared, &c->text);
  return convert_selected(c, line, number, hits, c->prepared, c->text, err);
}

bool finish_conversion(Conversion* c, Error* err) {
  if (!c->options.write(c->out, err)) return false;
  c->out.clear();
  return true;
}

}  // namespace orbitpick
