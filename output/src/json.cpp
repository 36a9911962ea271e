#include "kavrel/output/json.h"

namespace kavrel::output {

namespace {

bool NeedsEscape(char c) { return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20; }

}  // namespace

void AppendJsonEscaped(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  // Runs without a byte to escape are copied whole: names and licences
  // seldom hold one.
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!NeedsEscape(c)) continue;
    out.append(text.data() + start, i - start);
    start = i + 1;
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else {
      const auto byte = static_cast<unsigned char>(c);
      out += "\\u00";
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0xF]);
    }
  }
  out.append(text.data() + start, text.size() - start);
}

void AppendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  AppendJsonEscaped(out, text);
  out.push_back('"');
}

}  // namespace kavrel::output
