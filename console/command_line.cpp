#include "command_line.h"

#include <cmath>
#include <iterator>
#include <limits>
#include <string>

#include "kavrel/platform/text.h"

namespace kavrel::console {

namespace {

// A plain decimal number ("1000", "12.5"): metres, a percentage.
bool ReadDecimal(std::u16string_view text, double& value) {
  if (text.empty() || text.size() > 32) return false;
  std::string narrow;
  for (const char16_t c : text) {
    if ((c < u'0' || c > u'9') && c != u'.') return false;
    narrow.push_back(static_cast<char>(c));
  }
  std::size_t used = 0;
  try {
    value = std::stod(narrow, &used);
  } catch (const std::exception&) {
    return false;
  }
  return used == narrow.size() && std::isfinite(value);
}

std::int32_t CountOrDefault(std::u16string_view text, std::int32_t fallback) {
  const std::int32_t count = ParseCount(text);
  return IsSearchCount(count) ? count : fallback;
}

// The setters of the options that take a value, or that set a field at
// their word. Arguments keep the bytes that the console codeset cannot read
// (see main), for file names.
bool SetIn(CkavrelCommandLineInfo& info, std::u16string_view text) {
  info.m_strInFile = text;
  return true;
}
bool SetOut(CkavrelCommandLineInfo& info, std::u16string_view text) {
  info.m_strOutFile = text;
  return true;
}
bool SetLongitude(CkavrelCommandLineInfo& info, std::u16string_view text) {
  info.m_strLongitude = text;
  return true;
}
bool SetLatitude(CkavrelCommandLineInfo& info, std::u16string_view text) {
  info.m_strLatitude = text;
  return true;
}
// In a separator each kept byte stands for U+FFFD.
bool SetSeparator(CkavrelCommandLineInfo& info, std::u16string_view text) {
  info.m_settings.separator = platform::ReplaceKeptBytes(text);
  return true;
}
bool SetStep(CkavrelCommandLineInfo& info, std::u16string_view text) {
  info.m_settings.step = CountOrDefault(text, kDefaultStep);
  info.m_strStep = text;
  return true;
}
bool SetWidth(CkavrelCommandLineInfo& info, std::u16string_view text) {
  info.m_settings.width = CountOrDefault(text, kDefaultWidth);
  info.m_strWidth = text;
  return true;
}
bool SetKeep(CkavrelCommandLineInfo& info, std::u16string_view) {
  info.m_extended.format = OutputFormat::kKeep;
  return true;
}
bool SetJson(CkavrelCommandLineInfo& info, std::u16string_view) {
  info.m_extended.format = OutputFormat::kJson;
  return true;
}
bool SetNearest(CkavrelCommandLineInfo& info, std::u16string_view) {
  info.m_settings.nearest = true;
  return true;
}
bool SetMaxDistance(CkavrelCommandLineInfo& info, std::u16string_view text) {
  // No limit is a word: a value that starts with "-" is read as an option
  // word, so no negative number can stand for it.
  if (text == u"inf") {
    info.m_settings.maxDistance = std::numeric_limits<double>::infinity();
    return true;
  }
  return ReadDecimal(text, info.m_settings.maxDistance) && info.m_settings.maxDistance > 0.0;
}
bool SetDistance(CkavrelCommandLineInfo& info, std::u16string_view) {
  info.m_extended.distance = true;
  return true;
}
bool SetThreads(CkavrelCommandLineInfo& info, std::u16string_view text) {
  if (!IsWholeCount(text)) return false;
  info.m_extended.threads = ParseCount(text);
  return true;
}
bool SetData(CkavrelCommandLineInfo& info, std::u16string_view text) {
  info.m_extended.dataPath = text;
  return true;
}

bool SetColumns(CkavrelCommandLineInfo& info, std::u16string_view text) {
  return ParseColumnChoice(platform::Utf16ToConsoleKeepingBytes(text), info.m_extended.columns);
}
bool SetGzip(CkavrelCommandLineInfo& info, std::u16string_view) {
  info.m_extended.gzipOutput = true;
  return true;
}
// A percentage from 0 to 100, with or without its "%".
bool SetMaxFail(CkavrelCommandLineInfo& info, std::u16string_view text) {
  if (!text.empty() && text.back() == u'%') text.remove_suffix(1);
  double percent = 0.0;
  if (!ReadDecimal(text, percent) || percent > 100.0) return false;
  info.m_extended.maxFailPercent = percent;
  return true;
}

using V = OptionValue;

// The first matching entry wins, so the order is part of the meaning.
constexpr OptionDescriptor kOptions[] = {
    {u"mode", V::kIgnored, kActionNone, true, nullptr, nullptr, nullptr},
    {u"in", V::kPath, kActionWork, true, SetIn, nullptr, nullptr},
    {u"out", V::kPath, kActionWork, true, SetOut, nullptr, nullptr},
    {u"lon", V::kStored, kActionWork, true, SetLongitude, nullptr, nullptr},
    {u"lat", V::kStored, kActionWork, true, SetLatitude, nullptr, nullptr},
    {u"sep", V::kStored, kActionNone, true, SetSeparator, nullptr, nullptr},
    {u"step", V::kStored, kActionNone, true, SetStep, nullptr, nullptr},
    {u"width", V::kStored, kActionNone, true, SetWidth, nullptr, nullptr},
    {u"version", V::kNone, kActionVersion, true, nullptr, nullptr, nullptr},
    {u"help", V::kNone, kActionHelp, true, nullptr, nullptr, nullptr},
    {u"test", V::kNone, kActionTest, true, nullptr, nullptr, nullptr},
    {u"keep", V::kNone, kActionNone, false, SetKeep, nullptr,
     u"Keep each input line and append the address as CSV columns"},
    {u"json", V::kNone, kActionNone, false, SetJson, nullptr, u"Write one JSON object per line (UTF-8)"},
    {u"nearest", V::kNone, kActionNone, false, SetNearest, nullptr,
     u"Find the nearest address point of the whole package"},
    {u"maxdist", V::kStored, kActionNone, false, SetMaxDistance, u"metres",
     u"No address farther away than this (inf: no limit; /nearest alone reaches 25 km)"},
    {u"dist", V::kNone, kActionNone, false, SetDistance, nullptr,
     u"Add the distance to the point found, in metres"},
    {u"threads", V::kStored, kActionNone, false, SetThreads, u"count",
     u"Threads a conversion runs on, all in all; 0 takes every core"},
    {u"data", V::kStored, kActionNone, false, SetData, u"package",
     u"Use this data package instead of kavreldata.bin"},
    {u"package", V::kNone, kActionPackage, false, nullptr, nullptr,
     u"Show the library, the data package in use and its counts"},
    {u"cols", V::kStored, kActionNone, false, SetColumns, u"lat,lon",
     u"Read the pair from these two CSV fields only: header names or field numbers from 1"},
    {u"gzip", V::kNone, kActionNone, false, SetGzip, nullptr,
     u"Write the conversion's output gzip compressed (gzip input is read whatever its name)"},
    {u"maxfail", V::kStored, kActionNone, false, SetMaxFail, u"percent",
     u"Exit 1 when more than this share of the lines with content got no address"},
};

// What a word that no option matches stands for: its values are dropped.
constexpr OptionDescriptor kUnknownWord = {u"", V::kIgnored, kActionNone, true, nullptr, nullptr, nullptr};

bool TakesValue(const OptionDescriptor& option) {
  return option.value == V::kStored || option.value == V::kPath;
}

}  // namespace

OptionList Options() { return {kOptions, std::size(kOptions)}; }

void CkavrelCommandLineInfo::ParseArgument(std::u16string_view text, bool isOption,
                                           bool isLast) {
  // The designed reading ignores isLast; only the report of an option left
  // without its value looks at it.
  if (isOption && !m_bValueGiven) m_valuesMissing.push_back(m_strOptionWord);
  if (isOption) {
    const OptionDescriptor* found = LookupOption(text);
    m_option = found != nullptr ? found : &kUnknownWord;
    m_strOptionWord = u"/" + std::u16string(text);
    m_bValueGiven = !TakesValue(*m_option);
    if (found == nullptr) m_unknownWords.push_back(m_strOptionWord);
    if (!m_option->designed) m_extended.used = true;
    if (isLast && !m_bValueGiven) m_valuesMissing.push_back(m_strOptionWord);
    if (m_option->action != kActionNone) m_nAction = m_option->action;
    if (m_option->value == V::kNone && m_option->set != nullptr) m_option->set(*this, {});
    return;
  }
  m_bValueGiven = true;
  // No option yet, or one that takes no value.
  if (m_option == nullptr || m_option->value == V::kNone) {
    m_strayValues.emplace_back(text);
    return;
  }
  if (m_option->set != nullptr && !m_option->set(*this, text)) {
    m_badValues.push_back(m_strOptionWord + u" " + std::u16string(text));
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
    const bool isLast = i + 1 == arguments.size();
    // The whole words that most programs answer; "-h" and the like stay
    // unknown option words, as designed.
    if (text == u"--help" || text == u"--version") {
      info.ParseArgument(text.substr(2), true, isLast);
      if (text == u"--help") info.m_bListAllOptions = true;
      continue;
    }
    const bool standardStream =
        text == u"-" && info.CurrentOption() != nullptr && info.CurrentOption()->value == OptionValue::kPath;
    const bool isOption = !standardStream && IsOptionWord(text);
    if (isOption) text.remove_prefix(1);
    info.ParseArgument(text, isOption, isLast);
  }
}

const OptionDescriptor* LookupOption(std::u16string_view word) {
  for (const OptionDescriptor& option : kOptions) {
    if (word.substr(0, option.word.size()) == option.word) return &option;
  }
  return nullptr;
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
