#include "command_line.h"

#include <cmath>
#include <limits>
#include <string>

#include "kavrel/platform/text.h"

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
    {u"keep", kOptionKeep},   {u"json", kOptionJson}, {u"nearest", kOptionNearest},
    {u"maxdist", kOptionMaxDistance}, {u"dist", kOptionDistance},
    {u"threads", kOptionThreads}, {u"data", kOptionData}, {u"package", kOptionPackage},
};

// Options whose value the parser stores; a word of these with no value
// after it is reported. (mode takes a value and ignores it, as designed.)
bool TakesValue(int option) {
  switch (option) {
    case kOptionIn: case kOptionOut: case kOptionLon: case kOptionLat: case kOptionSep:
    case kOptionStep: case kOptionWidth: case kOptionMaxDistance: case kOptionThreads:
    case kOptionData: return true;
    default: return false;
  }
}

// A distance in metres written as a plain decimal number ("1000", "12.5").
bool ReadMetres(std::u16string_view text, double& metres) {
  if (text.empty() || text.size() > 32) return false;
  std::string narrow;
  for (const char16_t c : text) {
    if ((c < u'0' || c > u'9') && c != u'.') return false;
    narrow.push_back(static_cast<char>(c));
  }
  std::size_t used = 0;
  try {
    metres = std::stod(narrow, &used);
  } catch (const std::exception&) {
    return false;
  }
  return used == narrow.size() && std::isfinite(metres);
}

std::int32_t CountOrDefault(std::u16string_view text, std::int32_t fallback) {
  const std::int32_t count = ParseCount(text);
  return IsSearchCount(count) ? count : fallback;
}

}  // namespace

void CkavrelCommandLineInfo::ParseArgument(std::u16string_view text, bool isOption,
                                           bool isLast) {
  // The designed reading ignores isLast; only the report of an option left
  // without its value looks at it.
  if (isOption && !m_bValueGiven) m_valuesMissing.push_back(m_strOptionWord);
  if (isOption) {
    m_nOption = LookupOption(text);
    m_strOptionWord = u"/" + std::u16string(text);
    m_bValueGiven = !TakesValue(m_nOption);
    if (m_nOption == kOptionUnknown) m_unknownWords.push_back(m_strOptionWord);
    if (m_nOption >= kOptionKeep) m_extended.used = true;
    if (isLast && !m_bValueGiven) m_valuesMissing.push_back(m_strOptionWord);
    switch (m_nOption) {
      case kOptionIn:
      case kOptionOut:
      case kOptionLon:
      case kOptionLat: m_nAction = kActionWork; break;
      case kOptionVersion: m_nAction = kActionVersion; break;
      case kOptionHelp: m_nAction = kActionHelp; break;
      case kOptionTest: m_nAction = kActionTest; break;
      case kOptionPackage: m_nAction = kActionPackage; break;
      case kOptionKeep: m_extended.format = OutputFormat::kKeep; break;
      case kOptionJson: m_extended.format = OutputFormat::kJson; break;
      case kOptionNearest: m_settings.nearest = true; break;
      case kOptionDistance: m_extended.distance = true; break;
      default: break;
    }
    return;
  }
  m_bValueGiven = true;
  switch (m_nOption) {
    case kOptionIn: m_strInFile = text; break;
    case kOptionOut: m_strOutFile = text; break;
    case kOptionLon: m_strLongitude = text; break;
    case kOptionLat: m_strLatitude = text; break;
    // Arguments keep the bytes that the console codeset cannot read (see
    // main), for file names; in a separator each stands for U+FFFD.
    case kOptionSep: m_settings.separator = platform::ReplaceKeptBytes(text); break;
    case kOptionStep:
      m_settings.step = CountOrDefault(text, kDefaultStep);
      m_strStep = text;
      break;
    case kOptionWidth:
      m_settings.width = CountOrDefault(text, kDefaultWidth);
      m_strWidth = text;
      break;
    case kOptionMaxDistance:
    case kOptionThreads:
    case kOptionData: TakeExtendedValue(text); break;
    case kOptionUnknown:  // its value goes with the unknown word
    case kOptionMode: break;
    default: m_strayValues.emplace_back(text); break;  // no option yet, or one that takes no value
  }
}

void CkavrelCommandLineInfo::TakeExtendedValue(std::u16string_view text) {
  const auto bad = [&] { m_badValues.push_back(m_strOptionWord + u" " + std::u16string(text)); };
  switch (m_nOption) {
    case kOptionMaxDistance:
      if (!ReadMetres(text, m_settings.maxDistance) || m_settings.maxDistance <= 0.0) bad();
      break;
    case kOptionThreads:
      if (IsWholeCount(text)) {
        m_extended.threads = ParseCount(text);
      } else {
        bad();
      }
      break;
    case kOptionData: m_extended.dataPath = text; break;
    default: break;
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
      continue;
    }
    const bool standardStream =
        text == u"-" && (info.m_nOption == kOptionIn || info.m_nOption == kOptionOut);
    const bool isOption = !standardStream && IsOptionWord(text);
    if (isOption) text.remove_prefix(1);
    info.ParseArgument(text, isOption, isLast);
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
