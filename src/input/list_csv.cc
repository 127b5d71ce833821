// CSV records, which may span lines, and the designation column.

#include "input/list_csv.h"

#include <cctype>

#include "base/text.h"

namespace orbitpick {
namespace {


// Headers that name the designation column, best first. JPL's full_name
// and pdes come before name, which is empty for objects without one.
constexpr const char* kDesignationHeaders[] = {
    "fullname", "designation", "pdes",   "des",  "objectdesignation",
    "object",   "objectname",  "target", "targetname", "name",
    "objname",  "body",        "asteroid", "comet", "minorplanet"};

// Lower case, without blanks, underscores, hyphens and periods:
// "Full_Name", "full name" and "full-name" are one header.
std::string header_key(std::string_view header) {
  std::string key;
  for (char c : trim_view(header)) {
    if (c == ' ' || c == '_' || c == '-' || c == '.') continue;
    key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return key;
}

bool same_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

void choose_column(CsvList* csv, ListRead* read) {
  const std::vector<std::string>& header = csv->header;
  const std::string& column = csv->column;
  bool found = false;
  if (!column.empty() &&
      column.find_first_not_of("0123456789") == std::string::npos) {
    const unsigned long n = std::stoul(column.substr(0, 9));
    if (n == 0) {
      csv->failure = "--column counts from 1";
      return;
    }
    csv->designation = n - 1;
    found = true;
  } else if (!column.empty()) {
    for (std::size_t i = 0; i < header.size() && !found; ++i) {
      if (same_ignoring_case(trim_view(header[i]), trim_view(column))) {
        csv->designation = i;
        found = true;
      }
    }
    if (!found) {
      std::string names;
      for (const std::string& h : header) {
        names += names.empty() ? "" : ", ";
        names += "\"" + std::string(trim_view(h)) + "\"";
      }
      csv->failure = "no column \"" + column + "\" in the header line (" +
                     names + ")";
      return;
    }
  }
  for (const char* wanted : kDesignationHeaders) {
    for (std::size_t i = 0; i < header.size() && !found; ++i) {
      if (header_key(header[i]) == wanted) {
        csv->designation = i;
        found = true;
      }
    }
    if (found) break;
  }
  const std::size_t i = csv->designation;
  const std::string_view name =
      i < header.size() ? trim_view(header[i]) : std::string_view();
  read->layout = "CSV, designations from column ";
  read->layout += name.empty() ? std::to_string(i + 1)
                               : "\"" + std::string(name) + "\"";
}

// The record just ended: the header, or one object (or none).
void end_record(CsvList* csv, ListRead* read) {
  csv->in_record = false;
  if (!csv->have_header) {
    csv->header.push_back(std::move(csv->value));
    csv->have_header = true;
    choose_column(csv, read);
  } else {
    const std::string_view name = trim_view(csv->value);
    if (name.empty()) {
      count_no_object(read, csv->record_line);
    } else {
      add_name(read, name, csv->record_line);
    }
  }
  csv->value.clear();
}

void end_field(CsvList* csv) {
  if (!csv->have_header) {
    csv->header.push_back(std::move(csv->value));
    csv->value.clear();
  }
  ++csv->field;
}

}  // namespace

std::size_t count_csv_fields(std::string_view line, char separator) {
  std::size_t fields = 1;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;  // "" inside quotes toggles twice
    } else if (c == separator && !quoted) {
      ++fields;
    }
  }
  return fields;
}

char csv_separator(std::string_view line) {
  char best = ',';
  std::size_t most = 0;
  for (char separator : {',', ';', '\t'}) {
    const std::size_t n = count_csv_fields(line, separator) - 1;
    if (n > most) {
      most = n;
      best = separator;
    }
  }
  return best;
}

void csv_line(CsvList* csv, std::string_view line, std::int64_t number,
              ListRead* read) {
  if (!csv->failure.empty()) return;
  line = without_cr(line);
  if (!csv->in_record) {
    if (number == 1 && line.substr(0, 3) == kByteOrderMark) {
      line.remove_prefix(3);
    }
    if (trim_view(line).empty()) return;  // no record on a blank line
    if (!csv->have_header) csv->separator = csv_separator(line);
    csv->in_record = true;
    csv->in_quotes = false;
    csv->field = 0;
    csv->record_line = number;
  } else {
    // A line break inside quotes belongs to the field.
    if (csv->field == csv->designation || !csv->have_header) {
      csv->value += '\n';
    }
  }
  const char separator = csv->separator;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    const bool keep = csv->field == csv->designation || !csv->have_header;
    if (csv->in_quotes) {
      if (c != '"') {
        if (keep) csv->value += c;
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        if (keep) csv->value += '"';
        ++i;
      } else {
        csv->in_quotes = false;
      }
    } else if (c == separator) {
      end_field(csv);
    } else if (c == '"') {
      csv->in_quotes = true;
    } else if (keep) {
      csv->value += c;
    }
  }
  if (!csv->in_quotes) end_record(csv, read);
}

void csv_end(CsvList* csv, ListRead* read) {
  if (csv->in_record && csv->failure.empty()) end_record(csv, read);
}

}  // namespace orbitpick
