#include "kavrel/output/visible_names.h"

namespace kavrel::output {

bool IsControlCharacter(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

std::u16string VisibleName(std::u16string_view name) {
  std::u16string visible(name);
  MakeNamesVisible(visible, {});
  return visible;
}

void AppendVisibleUtf8(std::string& out, std::string_view name) {
  std::size_t copied = 0;  // name[0, copied) is in `out`
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    std::size_t length = 0;  // bytes of a control character at i
    if (byte < 0x20 || byte == 0x7F) {
      length = 1;
    } else if (byte == 0xC2 && i + 1 < name.size()) {
      const auto next = static_cast<unsigned char>(name[i + 1]);
      if (next >= 0x80 && next <= 0x9F) length = 2;
    }
    if (length == 0) continue;
    out.append(name, copied, i - copied);
    out.push_back('?');
    i += length - 1;
    copied = i + 1;
  }
  out.append(name, copied, std::string_view::npos);
}

void MakeNamesVisible(std::u16string& address, std::u16string_view separator) {
  for (std::size_t i = 0; i < address.size();) {
    if (!separator.empty() && address.compare(i, separator.size(), separator) == 0) {
      i += separator.size();
      continue;
    }
    if (IsControlCharacter(address[i])) address[i] = u'?';
    ++i;
  }
}

}  // namespace kavrel::output
