// Matched catalogue lines turned into sections and handed on in blocks.

#include "conversion/conversion.h"

#include <algorithm>
#include <cstring>

namespace orbitpick {

Conversion::Conversion(const ScanOptions& o, const LineKind& k)
    : options(o), kind(k) {
  out.reserve(std::min<std::size_t>(o.flush_bytes, 1 << 20) + 4096);
}

namespace {

// The line of "number" (1-based in the file) is not converted: say why.
void warn_skipped(const Conversion& c, std::int64_t number,
                  const std::string& reason) {
  if (c.log != nullptr) {
    c.log->skipped.emplace_back(number, reason);
  } else if (c.options.warn) {
    c.options.warn(format_line_warning(c.options.path, number,
                                       reason + "; line skipped"));
  }
}

// Counts one line of listed name "name" in the account.
void count_name(Conversion* c, std::uint32_t name,
                std::string_view designation) {
  if (c->log != nullptr) {
    c->log->counted.emplace_back(name, designation);
  } else if (c->options.account != nullptr) {
    count_line(c->options.account, c->kind.source, name, designation);
  }
}

// Hands on the sections held once enough have gathered.
bool flush_sections(Conversion* c, Error* err) {
  if (c->log != nullptr || c->out.size() < c->options.flush_bytes) {
    return true;
  }
  if (!c->options.write(c->out, err)) return false;
  c->out.clear();
  return true;
}

// Appends "copies" sections of "line" and hands them on once enough
// have gathered. REQUIRES: the line's kind accepts it.
bool add_sections(Conversion* c, std::string_view line, std::size_t copies,
                  Error* err) {
  for (std::size_t k = 0; k < copies; ++k) {
    c->kind.write(line, &c->out, c->options.format);
  }
  return flush_sections(c, err);
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

    if (c->options.account != nullptr || c->log != nullptr) {
      for (std::size_t k = first; k < i; ++k) {
        count_name(c, matches[k].name, c->kind.designation(line));
      }
    }
    if (!c->kind.check(line, &c->skip)) {
      line_base += count_newlines(counted, line_begin);
      counted = line_begin;
      warn_skipped(*c, line_base + 1 + c->header_lines, c->skip.what);
      continue;
    }
    if (!add_sections(c, line, i - first, err)) return false;
  }
  return true;
}

bool convert_selected(Conversion* c, std::string_view line, std::int64_t number,
                      const std::vector<std::uint32_t>& hits, Error* err) {
  if (hits.empty()) return true;
  if (c->options.account != nullptr || c->log != nullptr) {
    for (const std::uint32_t name : hits) {
      count_name(c, name, c->kind.designation(line));
    }
  }
  if (!c->kind.check(line, &c->skip)) {
    warn_skipped(*c, number, c->skip.what);
    return true;
  }
  return add_sections(c, line, 1, err);
}

void replay_piece(Conversion* c, const PieceLog& log,
                  std::int64_t lines_before) {
  for (const auto& [name, designation] : log.counted) {
    count_name(c, name, designation);
  }
  for (const auto& [number, reason] : log.skipped) {
    warn_skipped(*c, lines_before + c->header_lines + number, reason);
  }
}

bool add_piece_sections(Conversion* c, std::string_view sections,
                        Error* err) {
  c->out.append(sections);
  return flush_sections(c, err);
}

void report_progress(const ScanOptions& options, std::int64_t lines_before,
                     std::int64_t lines) {
  if (!options.progress) return;
  for (std::int64_t next =
           (lines_before / kProgressEvery + 1) * kProgressEvery;
       next <= lines_before + lines; next += kProgressEvery) {
    options.progress(next);
  }
}

bool finish_conversion(Conversion* c, Error* err) {
  if (!c->options.write(c->out, err)) return false;
  c->out.clear();
  return true;
}

}  // namespace orbitpick
