#include "csv_fields.h"

#include <algorithm>

namespace kavrel::console {

std::string_view LineBody(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::size_t ReadCsvField(std::string_view body, std::size_t start, std::string* text) {
  std::size_t p = start;
  if (p < body.size() && body[p] == '"') {
    ++p;
    while (p < body.size()) {
      if (body[p] != '"') {
        if (text != nullptr) text->push_back(body[p]);
        ++p;
      } else if (p + 1 < body.size() && body[p + 1] == '"') {
        if (text != nullptr) text->push_back('"');
        p += 2;
      } else {
        ++p;  // the closing quote
        break;
      }
    }
  }
  const std::size_t comma = std::min(body.find(',', p), body.size());
  if (text != nullptr) text->append(body.substr(p, comma - p));
  return comma;
}

std::vector<std::string> CsvFields(std::string_view body) {
  std::vector<std::string> fields;
  std::size_t p = 0;
  while (true) {
    fields.emplace_back();
    p = ReadCsvField(body, p, &fields.back());
    if (p == body.size()) return fields;
    ++p;  // past the comma
  }
}

bool ReadTwoCsvFields(std::string_view body, std::size_t firstIndex, std::size_t secondIndex,
                      std::string& first, std::string& second) {
  first.clear();
  second.clear();
  const std::size_t last = std::max(firstIndex, secondIndex);
  std::size_t p = 0;
  for (std::size_t index = 0;; ++index) {
    p = ReadCsvField(body, p, index == firstIndex ? &first : index == secondIndex ? &second : nullptr);
    if (index == last) {
      if (firstIndex == secondIndex) second = first;
      return true;
    }
    if (p == body.size()) return false;
    ++p;
  }
}

}  // namespace kavrel::console
