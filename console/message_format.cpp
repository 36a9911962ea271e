#include "message_format.h"

#include <cstdio>

namespace kavrel::console {

namespace {

std::u16string AsciiToUtf16(const char* text) {
  std::u16string result;
  for (; *text != '\0'; ++text) result.push_back(static_cast<char16_t>(*text));
  return result;
}

std::u16string FormatInteger(std::int64_t value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(value));
  return AsciiToUtf16(buffer);
}

// Only LC_CTYPE is taken from the environment, so printf keeps the "C"
// decimal point here.
std::u16string FormatReal(double value, int precision) {
  char buffer[400];  // %f of the largest double has 309 digits before the point
  std::snprintf(buffer, sizeof buffer, "%.*f", precision, value);
  return AsciiToUtf16(buffer);
}

}  // namespace

std::u16string FormatMessageText(std::u16string_view format,
                                 std::initializer_list<FormatArgument> arguments) {
  std::u16string result;
  const FormatArgument* next = arguments.begin();
  std::size_t i = 0;
  while (i < format.size()) {
    if (format[i] != u'%') {
      result.push_back(format[i++]);
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == u'%') {
      result.push_back(u'%');
      i += 2;
      continue;
    }
    // Parse "%[.N](d|s|f)".
    std::size_t j = i + 1;
    int precision = -1;
    if (j < format.size() && format[j] == u'.') {
      precision = 0;
      ++j;
      while (j < format.size() && format[j] >= u'0' && format[j] <= u'9' && precision < 100) {
        precision = precision * 10 + (format[j] - u'0');
        ++j;
      }
    }
    const char16_t conversion = j < format.size() ? format[j] : u'\0';
    const bool haveArgument = next != arguments.end();
    bool done = false;
    if (haveArgument && conversion == u'd' && precision < 0 &&
        next->kind() == FormatArgument::Kind::kInteger) {
      result += FormatInteger(next->integer());
      done = true;
    } else if (haveArgument && conversion == u's' && precision < 0 &&
               next->kind() == FormatArgument::Kind::kText) {
      result += next->text();
      done = true;
    } else if (haveArgument && conversion == u'f' && next->kind() == FormatArgument::Kind::kReal) {
      result += FormatReal(next->real(), precision < 0 ? 6 : precision);
      done = true;
    }
    if (done) {
      ++next;
      i = j + 1;
    } else {
      result.push_back(format[i++]);
    }
  }
  return result;
}

}  // namespace kavrel::console
