#include "command_line.h"

#include <limits>

namespace kavrel::console {

namespace {

struct OptionEntry {
  std::u16string_view word;
  int id;
};

// The first matching entry wins, so the order is part of the meaning.
constexpr OptionEntry kOptionTable[] = {
    {u"mode", kOptionMode},   {u"in", kOptionIn},     {u"out", kOptionOut},
    {u"lon", kOptionLon},     {u"lat", kOptionLat},   {u"sep", kOptionSep},
    {u"step", kOptionStep},   {u"width", kOptionWidth}, {u"version", kOptionVersion},
    {u"help", kOptionHelp},   {u"test", kOptionTest},
};

std::int32_t CountOrDefault(std::u16string_view text, std::int32_t fallback) {
  const std::int32_t count = ParseCount(text);
  return IsSearchCount(count) ? count : fallback;
}

// Arguments keep the bytes that the console codeset cannot read (see main),
// for file names; in a separator such a byte stands for U+FFFD, the
// replacement character, as in any other text read from the console.
std::u16string WithoutKeptBytes(std::u16string_view kept) {
  std::u16string text(kept);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool afterHigh = i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF;
    if (text[i] >= 0xDC00 && text[i] <= 0xDCFF && !afterHigh) text[i] = 0xFFFD;
  }
  return text;
}

}  // namespace

void CkavrelCommandLineInfo::ParseArgument(std::u16string_view text, bool isOption,
                                           bool /*isLast*/) {
  if (isOption) {
    m_nOption = LookupOption(text);
    switch (m_nOption) {
      case kOptionIn:
      case kOptionOut:
      case kOptionLon:
      case kOptionLat: m_nAction = kActionWork; break;
      case kOptionVersion: m_nAction = kActionVersion; break;
      case kOptionHelp: m_nAction = kActionHelp; break;
      case kOptionTest: m_nAction = kActionTest; break;
      default: break;
    }
    return;
  }
  switch (m_nOption) {
    case kOptionIn: m_strInFile = text; break;
    case kOptionOut: m_strOutFile = text; break;
    case kOptionLon: m_strLongitude = text; break;
    case kOptionLat: m_strLatitude = text; break;
    case kOptionSep: m_settings.separator = WithoutKeptBytes(text); break;
    case kOptionStep:
      m_settings.step = CountOrDefault(text, kDefaultStep);
      m_strStep = text;
      break;
    case kOptionWidth:
      m_settings.width = CountOrDefault(text, kDefaultWidth);
      m_strWidth = text;
      break;
    default: break;  // no option yet, or one that takes no value
  }
}

// True when `text` is introduced as an option word. An absolute path such as
// /home/a/in.csv also starts with "/"; no option word holds a "/" of its own
// after its first character, so a text with one is taken as a value. ("//in"
// stays an unknown option word, as it always was.)
bool IsOptionWord(std::u16string_view text) {
  if (text.empty()) return false;
  if (text.front() == u'-') return true;
  return text.front() == u'/' && text.find(u'/', 2) == std::u16string_view::npos;
}

void ParseArguments(CkavrelCommandLineInfo& info, const std::vector<std::u16string>& arguments) {
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    std::u16string_view text = arguments[i];
    const bool isOption = IsOptionWord(text);
    if (isOption) text.remove_prefix(1);
    info.ParseArgument(text, isOption, i + 1 == arguments.size());
  }
}

int LookupOption(std::u16string_view word) {
  for (const OptionEntry& entry : kOptionTable) {
    if (word.substr(0, entry.word.size()) == entry.word) return entry.id;
  }
  return kOptionUnknown;
}

std::int32_t ParseCount(std::u16string_view text) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  std::int64_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') break;
    value = value * 10 + (c - u'0');
    if (value > kMax) return static_cast<std::int32_t>(kMax);
  }
  return static_cast<std::int32_t>(value);
}

bool IsWholeCount(std::u16string_view text) {
  if (text.empty()) return false;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
  }
  return true;
}

}  // namespace kavrel::console
