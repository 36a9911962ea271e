// The command line of kavrel: option words introduced by "/" or "-",
// recognised by prefix, each followed by its values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kavrel/output/line_writers.h"
#include "pair_reader.h"
#include "search_settings.h"

namespace kavrel::console {

// Actions a command line can ask for.
enum CommandAction : std::int16_t {
  kActionNone = 0,
  kActionWork = 1,  // set by in, out, lat and lon
  kActionVersion = 2,
  kActionHelp = 3,
  kActionTest = 4,
  kActionPackage = 5,  // set by package
};

using output::OutputFormat;

// What the options beyond the designed ones ask for. Left at these values,
// the run is the designed one, byte for byte.
struct ExtendedOptions {
  OutputFormat format = OutputFormat::kDesigned;
  bool distance = false;       // /dist: the distance to the matched point, in metres
  std::int32_t threads = 1;    // /threads: threads of a conversion in all; 0 takes every core
  std::u16string dataPath;     // /data: the package to use instead of the search for kavreldata.bin
  ColumnChoice columns;          // /cols: the pair from these two CSV fields; not Given: the designed scan
  bool gzipOutput = false;     // /gzip: the conversion's output gzip compressed
  // /maxfail: a conversion in which more than this percentage (0 to 100) of
  // the lines with content got no answer fails; nothing: no limit.
  std::optional<double> maxFailPercent;
  // True when any option of this record was given (so the lookups go
  // through the thread-safe engine interface).
  bool used = false;
};

class CkavrelCommandLineInfo;

// What an option word does with the arguments after it.
enum class OptionValue {
  kNone,     // takes no value: one after it is reported as taken by no option
  kIgnored,  // a value may follow and is dropped without a word (mode, as designed)
  kStored,   // takes a value, given to the setter; the word without one is reported
  kPath,     // as kStored, and a lone "-" after it is its value (standard input or output)
};

// Everything the parser and --help know of one option.
struct OptionDescriptor {
  std::u16string_view word;  // lower case; a typed word matches when it begins with it
  OptionValue value;
  std::int16_t action;  // the CommandAction the word asks for; kActionNone leaves it
  // One of the designed options. Any other makes the run one with options
  // beyond the designed ones (ExtendedOptions::used).
  bool designed;
  // Called with each value of a kStored or kPath option, and with an empty
  // text at the word of a kNone one; null when the option sets no field.
  // False when the value does not read, which is then reported.
  bool (*set)(CkavrelCommandLineInfo& info, std::u16string_view value);
  const char16_t* valueName;  // what the value is, for --help; null without one
  const char16_t* help;       // --help's line; null for the designed options,
                              // which the designed usage text describes
};

// The options in the order words are matched against them (the first that
// matches wins): the designed table (mode, in, out, lon, lat, sep, step,
// width, version, help, test), then keep, json, nearest, maxdist, dist,
// threads, data, package, cols, gzip, maxfail. None of the later words begins with a designed
// word or is the start of one, so no designed word changes its meaning.
struct OptionList {
  const OptionDescriptor* first;
  std::size_t count;
  const OptionDescriptor* begin() const { return first; }
  const OptionDescriptor* end() const { return first + count; }
};
OptionList Options();

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
  ExtendedOptions m_extended;
  // Set by the whole argument "--help": the help lists every option, the
  // designed usage text first.
  bool m_bListAllOptions = false;
  // What the command line held that nothing takes, as typed, for the report
  // of an argument error: option words no table entry matches, values that
  // no option takes, options that need a value and were given none, and new
  // options whose value does not read.
  std::vector<std::u16string> m_unknownWords;
  std::vector<std::u16string> m_strayValues;
  std::vector<std::u16string> m_valuesMissing;
  std::vector<std::u16string> m_badValues;
  std::u16string m_strStep;   // the step as typed, for the warning about a value that is not a number
  std::u16string m_strWidth;  // likewise the width
  // The option of the last option word (a stand-in that takes its values
  // silently for a word no option matches); null before the first.
  const OptionDescriptor* CurrentOption() const { return m_option; }

private:
  const OptionDescriptor* m_option = nullptr;
  std::u16string m_strOptionWord;  // the last option word as typed, for reports
  bool m_bValueGiven = true;       // whether the last option word has had a value
};

// Feeds arguments[1..] to info.ParseArgument in order (arguments[0] is the
// program name). One leading "/" or "-" marks an option word and is removed,
// except that a text starting with "/" that holds another "/" after its
// second character is a value: an absolute path (/home/a/in.csv). Beyond
// the designed rules: a lone "-" right after /in or /out is their value
// (standard input or output), and the whole arguments "--help" and
// "--version" are /help and /version.
void ParseArguments(CkavrelCommandLineInfo& info, const std::vector<std::u16string>& arguments);

// The first of Options() whose word `word` begins with, case-sensitively;
// null when none does.
const OptionDescriptor* LookupOption(std::u16string_view word);

// The decimal number formed by the leading digits of `text`; 0 when `text`
// does not begin with a digit. Digits beyond the range of a 32-bit signed
// integer give its largest value.
std::int32_t ParseCount(std::u16string_view text);

// True when `text` is a whole count: digits only, at least one.
bool IsWholeCount(std::u16string_view text);

}  // namespace kavrel::console
