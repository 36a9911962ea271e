// The command line of kavrel: option words introduced by "/" or "-",
// recognised by prefix, each followed by its values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "search_settings.h"

namespace kavrel::console {

// Actions a command line can ask for.
enum CommandAction : std::int16_t {
  kActionNone = 0,
  kActionWork = 1,  // set by in, out, lat and lon
  kActionVersion = 2,
  kActionHelp = 3,
  kActionTest = 4,
};

// Option identifiers as LookupOption gives them.
enum OptionId : int {
  kOptionUnknown = 1,
  kOptionMode = 2,
  kOptionIn = 3,
  kOptionOut = 4,
  kOptionLon = 5,
  kOptionLat = 6,
  kOptionSep = 7,
  kOptionStep = 8,
  kOptionWidth = 9,
  kOptionVersion = 10,
  kOptionHelp = 11,
  kOptionTest = 12,
};

// What the command line asked for. Nothing here is ever an error: unknown
// words and unusable values are dropped or replaced by defaults, and the
// driver reports a request that is incomplete.
class CkavrelCommandLineInfo {
public:
  // Takes one argument, with its introducing "/" or "-" already removed.
  // `isOption` says whether there was one: then `text` is an option word and
  // becomes the current option; otherwise `text` is a value for the current
  // option (the last value given wins). `isLast` is not consulted.
  void ParseArgument(std::u16string_view text, bool isOption, bool isLast);

  std::int16_t m_nAction = kActionNone;
  std::u16string m_strInFile;
  std::u16string m_strOutFile;
  std::u16string m_strLatitude;   // as typed
  std::u16string m_strLongitude;  // as typed
  // Separator, step and width as the engine is to receive them: a step or
  // width that is not IsSearchCount gives the default, and a byte that the
  // console codeset could not read stands for U+FFFD in the separator.
  SearchSettings m_settings;
  std::u16string m_strStep;   // the step as typed, for the warning about a value that is not a number
  std::u16string m_strWidth;  // likewise the width
  int m_nOption = -1;  // identifier of the last option word, -1 before the first
};

// Feeds arguments[1..] to info.ParseArgument in order (arguments[0] is the
// program name). One leading "/" or "-" marks an option word and is removed,
// except that a text starting with "/" that holds another "/" after its
// second character is a value: an absolute path (/home/a/in.csv).
void ParseArguments(CkavrelCommandLineInfo& info, const std::vector<std::u16string>& arguments);

// Identifier of option word `word`: the first table word (mode, in, out, lon,
// lat, sep, step, width, version, help, test, in this order) that `word`
// begins with, case-sensitively; kOptionUnknown when none does.
int LookupOption(std::u16string_view word);

// The decimal number formed by the leading digits of `text`; 0 when `text`
// does not begin with a digit. Digits beyond the range of a 32-bit signed
// integer give its largest value.
std::int32_t ParseCount(std::u16string_view text);

// True when `text` is a whole count: digits only, at least one.
bool IsWholeCount(std::u16string_view text);

}  // namespace kavrel::console
