// Picking the list's layout and handing it the lines.

#include "input/list_format.h"

#include <utility>

#include "base/text.h"
#include "input/list_csv.h"
#include "input/list_edb.h"
#include "input/list_json.h"
#include "input/list_text.h"
#include "input/target_list.h"

namespace orbitpick {
namespace {

// How many lines with text "auto" looks at, and how many bytes at most.
constexpr std::size_t kSampleLines = 64;
constexpr std::size_t kSampleBytes = 64 * 1024;


const char* layout_name(ListFormat format) {
  switch (format) {
    case ListFormat::kText:
      return "text, the designation each line starts with";
    case ListFormat::kEdb:
      return "XEphem edb, designations from the first field";
    default:
      return "";
  }
}

// Most of "lines", and at least one, pass "test".
template <typename Test>
bool most(const std::vector<std::string_view>& lines, Test test) {
  std::size_t pass = 0;
  for (std::string_view line : lines) pass += test(line) ? 1 : 0;
  return !lines.empty() && pass * 5 >= lines.size() * 4;
}

// What a layout carries from one line of the list to the next.
struct Layouts {
  ListFormat format = ListFormat::kAuto;
  CsvList csv;
  std::string json;
};

void feed(Layouts* layouts, std::string_view line, std::int64_t number,
          ListRead* read) {
  switch (layouts->format) {
    case ListFormat::kCsv:
      csv_line(&layouts->csv, line, number, read);
      break;
    case ListFormat::kText:
      text_line(line, number, read);
      break;
    case ListFormat::kEdb:
      edb_line(line, number, read);
      break;
    case ListFormat::kJson:
      layouts->json.append(line);
      layouts->json += '\n';
      break;
    default:
      break;
  }
}

std::string no_object_count(const ListRead& read, bool json) {
  const std::int64_t n = read.no_object_lines;
  std::string text = std::to_string(n);
  if (json) return text + (n == 1 ? " entry is" : " entries are") +
                   " no minor planet or comet";
  text += n == 1 ? " line holds" : " lines hold";
  text += " no object (the first is line " +
          std::to_string(read.first_no_object_line) + ")";
  return text;
}

bool read_quoted(LineBuffer* lines, const std::string& path,
                 const WarningSink& warn, ListRead* read, Error* err) {
  if (!read_target_list(lines, path, warn, &read->names, &read->first_lines,
                        err)) {
    return false;
  }
  if (!read->names.empty()) return true;
  // An export without quotes, an empty file or swapped arguments: an
  // empty INI over the old one would look like success.
  return fail(err, path,
              "no object names: expected a header line, then one object per "
              "line whose first field is its name in double quotes "
              "(\"Ceres\",...); --list-format auto reads other layouts");
}

}  // namespace

bool parse_list_format(std::string_view name, ListFormat* format) {
  static const std::pair<const char*, ListFormat> kNames[] = {
      {"quoted", ListFormat::kQuoted}, {"csv", ListFormat::kCsv},
      {"text", ListFormat::kText},     {"json", ListFormat::kJson},
      {"edb", ListFormat::kEdb},       {"auto", ListFormat::kAuto}};
  for (const auto& entry : kNames) {
    if (name == entry.first) {
      *format = entry.second;
      return true;
    }
  }
  return false;
}

ListFormat detect_list_format(const std::vector<std::string>& first_lines) {
  std::vector<std::string_view> text;  // the lines with text, no comments
  bool comments = false;
  for (const std::string& line : first_lines) {
    std::string_view t = line;
    if (text.empty() && !comments && t.substr(0, 3) == kByteOrderMark) {
      t.remove_prefix(3);
    }
    t = trim_view(t);
    if (t.empty()) continue;
    if (text.empty() && !comments && (t.front() == '{' || t.front() == '[')) {
      return ListFormat::kJson;
    }
    if (t.front() == '#') {
      comments = true;
      continue;
    }
    text.push_back(t);
  }
  if (most(text, [](std::string_view line) {
        const std::size_t comma = line.find(',');
        if (comma == std::string_view::npos || comma == 0) return false;
        std::string_view type = line.substr(comma + 1);
        type = trim_view(type.substr(0, type.find(',')));
        return type.size() == 1 &&
               std::string_view("fehpEPB").find(type[0]) != std::string_view::npos;
      })) {
    return ListFormat::kEdb;
  }
  if (!text.empty() && !comments) {
    const char separator = csv_separator(text.front());
    const std::size_t header = count_csv_fields(text.front(), separator);
    const std::vector<std::string_view> rows(text.begin() + 1, text.end());
    if (header >= 2 &&
        (rows.empty() || most(rows, [&](std::string_view line) {
           return count_csv_fields(line, separator) >= 2;
         }))) {
      return ListFormat::kCsv;
    }
  }
  return ListFormat::kText;
}

bool read_list(LineBuffer* lines, const std::string& path,
               const ListOptions& options, const WarningSink& warn,
               ListRead* read, Error* err) {
  *read = ListRead();
  *err = Error();
  if (options.format == ListFormat::kQuoted) {
    return read_quoted(lines, path, warn, read, err);
  }
  Layouts layouts;
  layouts.format = options.format;
  layouts.csv.column = options.column;
  // With auto, the first lines wait until they show the layout.
  std::vector<std::string> sample;
  std::size_t sample_bytes = 0;
  std::size_t sample_text = 0;
  const auto decide = [&] {
    layouts.format = detect_list_format(sample);
    for (std::size_t i = 0; i < sample.size(); ++i) {
      feed(&layouts, sample[i], static_cast<std::int64_t>(i + 1), read);
    }
    sample.clear();
  };
  const bool read_all = for_each_line(
      lines,
      [&](std::string_view line, std::int64_t number) {
        if (layouts.format != ListFormat::kAuto) {
          feed(&layouts, line, number, read);
          return;
        }
        sample.emplace_back(line);
        sample_bytes += line.size();
        if (!trim_view(line).empty()) ++sample_text;
        if (sample_text >= kSampleLines || sample_bytes >= kSampleBytes) {
          decide();
        }
      },
      err);
  if (!read_all) {
    name_path(err, path);
    return false;
  }
  if (layouts.format == ListFormat::kAuto) decide();
  const ListFormat format = layouts.format;
  if (format == ListFormat::kCsv) {
    csv_end(&layouts.csv, read);
    if (!layouts.csv.failure.empty()) {
      return fail(err, path, layouts.csv.failure);
    }
  } else if (format == ListFormat::kJson) {
    if (!read_json_list(layouts.json, read, err)) {
      name_path(err, path);
      return false;
    }
  } else {
    read->layout = layout_name(format);
  }
  if (options.format == ListFormat::kAuto) {
    warn("orbitpick: " + path + ": read as " + read->layout);
  }
  finish_list(read);
  const bool json = format == ListFormat::kJson;
  if (read->names.empty()) {
    std::string what = "no object names: read as " + read->layout;
    if (read->no_object_lines > 0) what += "; " + no_object_count(*read, json);
    if (options.format != ListFormat::kAuto) {
      what += "; --list-format auto tells the layout from the content";
    }
    return fail(err, path, what);
  }
  if (read->no_object_lines > 0) {
    warn("orbitpick: " + path + ": " + no_object_count(*read, json));
  }
  return true;
}

}  // namespace orbitpick
