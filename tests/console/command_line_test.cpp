#include "command_line.h"

#include <gtest/gtest.h>

#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace kavrel::console {
namespace {

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

CkavrelCommandLineInfo Parse(std::vector<std::u16string> arguments) {
  arguments.insert(arguments.begin(), u"kavrel");
  CkavrelCommandLineInfo info;
  ParseArguments(info, arguments);
  return info;
}

// The word of the option LookupOption finds, or "" for none.
std::u16string_view MatchedWord(std::u16string_view word) {
  const OptionDescriptor* option = LookupOption(word);
  return option != nullptr ? option->word : u"";
}

TEST(LookupOption, MatchesTableWordsAsPrefixesInTableOrder) {
  struct Case {
    std::u16string_view word;
    std::u16string_view matched;
  };
  const Case cases[] = {
      {u"mode", u"mode"},       {u"modem", u"mode"},       {u"in", u"in"},
      {u"input", u"in"},        {u"out", u"out"},          {u"output", u"out"},
      {u"lon", u"lon"},         {u"longitude", u"lon"},    {u"lat", u"lat"},
      {u"latitude", u"lat"},    {u"sep", u"sep"},          {u"separator", u"sep"},
      {u"step", u"step"},       {u"steps", u"step"},       {u"width", u"width"},
      {u"version", u"version"}, {u"help", u"help"},        {u"test", u"test"},
      // Shorter than the table word, other case, or other words: unknown.
      {u"h", u""},              {u"i", u""},               {u"la", u""},
      {u"ver", u""},            {u"tes", u""},             {u"IN", u""},
      {u"Help", u""},           {u"/in", u""},             {u"", u""},
      {u"x", u""},              {u"35.5", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchedWord(c.word), c.matched) << Narrow(std::u16string(c.word));
  }
}

TEST(ParseCount, ReadsLeadingDecimalDigitsOnly) {
  struct Case {
    std::u16string_view text;
    std::int32_t count;
  };
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  const Case cases[] = {
      {u"50", 50},        {u"12x", 12},     {u"007", 7},           {u"1.5", 1},
      {u"0", 0},          {u"", 0},         {u"abc", 0},           {u"-5", 0},
      {u"+5", 0},         {u" 5", 0},       {u"2147483647", kMax}, {u"2147483648", kMax},
      {u"99999999999999999999", kMax},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseCount(c.text), c.count) << Narrow(std::u16string(c.text));
  }
}

// Every field a command line can set, for one table row: the defaults
// unless a row says otherwise.
struct Expected {
  Expected& Action(std::int16_t v) { action = v; return *this; }
  Expected& In(std::u16string v) { in = std::move(v); return *this; }
  Expected& Out(std::u16string v) { out = std::move(v); return *this; }
  Expected& Lat(std::u16string v) { latitude = std::move(v); return *this; }
  Expected& Lon(std::u16string v) { longitude = std::move(v); return *this; }
  Expected& Sep(std::u16string v) { separator = std::move(v); return *this; }
  Expected& Step(std::int32_t v) { step = v; return *this; }
  Expected& Width(std::int32_t v) { width = v; return *this; }

  std::int16_t action = kActionNone;
  std::u16string in, out, latitude, longitude, separator;
  std::int32_t step = kDefaultStep;
  std::int32_t width = kDefaultWidth;
};
Expected Defaults() { return Expected(); }
Expected Work() { return Expected().Action(kActionWork); }

struct ArgumentCase {
  const char* name;
  std::vector<std::u16string> arguments;
  Expected expected;
};

void ExpectFields(const ArgumentCase& c) {
  const CkavrelCommandLineInfo info = Parse(c.arguments);
  EXPECT_EQ(info.m_nAction, c.expected.action) << c.name;
  EXPECT_EQ(info.m_strInFile, c.expected.in) << c.name;
  EXPECT_EQ(info.m_strOutFile, c.expected.out) << c.name;
  EXPECT_EQ(info.m_strLatitude, c.expected.latitude) << c.name;
  EXPECT_EQ(info.m_strLongitude, c.expected.longitude) << c.name;
  EXPECT_EQ(info.m_settings.separator, c.expected.separator) << c.name;
  EXPECT_EQ(info.m_settings.step, c.expected.step) << c.name;
  EXPECT_EQ(info.m_settings.width, c.expected.width) << c.name;
}

TEST(ParseArguments, OptionWordsAndTheirValues) {
  const ArgumentCase cases[] = {
      {"nothing", {}, Defaults()},
      {"slash", {u"/in", u"a.csv", u"/out", u"b.csv"}, Work().In(u"a.csv").Out(u"b.csv")},
      {"dash", {u"-in", u"a.csv", u"-out", u"b.csv"}, Work().In(u"a.csv").Out(u"b.csv")},
      {"only one introducer is dropped", {u"//in", u"a.csv"}, Defaults()},
      {"last value wins", {u"/in", u"a.csv", u"b.csv", u"/out", u"c.csv"},
       Work().In(u"b.csv").Out(u"c.csv")},
      {"value before any option is dropped", {u"a.csv", u"/in"}, Work()},
      {"latitude and longitude", {u"/latitude", u"35.6", u"/longitude", u"139.7"},
       Work().Lat(u"35.6").Lon(u"139.7")},
      {"negative value reads as an option word", {u"/lat", u"-35.5"}, Work()},
      {"separator", {u"/sep", u" / "}, Defaults().Sep(u" / ")},
      {"empty separator replaces", {u"/sep", u"x", u"/sep", u""}, Defaults()},
      // A byte the codeset could not read is kept as U+DC80..U+DCFF; in a
      // separator it is the replacement character. A real pair stays.
      {"kept byte in the separator", {u"/sep", u"a\xDC80\xD83D\xDE00"},
       Defaults().Sep(u"a\uFFFD\xD83D\xDE00")},
      {"mode changes nothing", {u"/mode", u"anything"}, Defaults()},
      {"unknown word drops its value", {u"/x", u"a.csv"}, Defaults()},
      {"version takes no value", {u"/in", u"a", u"/version", u"b"},
       Defaults().Action(kActionVersion).In(u"a")},
      {"test alone", {u"/test"}, Defaults().Action(kActionTest)},
      {"absolute paths are values", {u"/in", u"/home/a/in.csv", u"-out", u"/tmp/b/"},
       Work().In(u"/home/a/in.csv").Out(u"/tmp/b/")},
      {"a top-level path still reads as an option word", {u"/in", u"/in.csv"}, Work()},
  };
  for (const ArgumentCase& c : cases) ExpectFields(c);
}

TEST(ParseArguments, StepAndWidthFallBackToDefaultsWhenNotPositive) {
  const ArgumentCase cases[] = {
      // Values read as ParseCount reads them (see its own table).
      {"step 0", {u"/step", u"0"}, Defaults()},
      {"step -5 is an option word", {u"/step", u"-5"}, Defaults()},
      {"steps prefix", {u"/steps", u"7"}, Defaults().Step(7)},
      {"width 1.5", {u"/width", u"1.5"}, Defaults().Width(1)},
      {"width 0 after 20", {u"/width", u"20", u"0"}, Defaults()},
      {"both", {u"/step", u"100", u"/width", u"300"}, Defaults().Step(100).Width(300)},
  };
  for (const ArgumentCase& c : cases) ExpectFields(c);
}

TEST(ParseArguments, LastActionWordWins) {
  const ArgumentCase cases[] = {
      {"help then work", {u"/help", u"/in", u"a", u"/out", u"b"}, Work().In(u"a").Out(u"b")},
      {"work then help", {u"/in", u"a", u"/out", u"b", u"/help"},
       Defaults().Action(kActionHelp).In(u"a").Out(u"b")},
      {"version then help", {u"/version", u"/help"}, Defaults().Action(kActionHelp)},
      {"help then version", {u"/help", u"/version"}, Defaults().Action(kActionVersion)},
      {"test then lat", {u"/test", u"/lat", u"35.5"}, Work().Lat(u"35.5")},
      {"sep and step keep the action", {u"/help", u"/sep", u",", u"/step", u"9"},
       Defaults().Action(kActionHelp).Sep(u",").Step(9)},
      {"mode keeps the action", {u"/version", u"/mode", u"x"}, Defaults().Action(kActionVersion)},
  };
  for (const ArgumentCase& c : cases) ExpectFields(c);
}

TEST(ParseArguments, StandardStreamsAndWholeWordHelp) {
  const ArgumentCase cases[] = {
      {"lone dash after in and out", {u"/in", u"-", u"/out", u"-"}, Work().In(u"-").Out(u"-")},
      // Elsewhere a lone "-" is the empty option word, as designed: the value
      // after it is dropped.
      {"lone dash after sep", {u"/sep", u"-", u"x"}, Defaults()},
      {"lone dash first", {u"-", u"/in", u"a"}, Work().In(u"a")},
      {"--help", {u"--help"}, Defaults().Action(kActionHelp)},
      {"--version", {u"/in", u"a", u"--version"}, Defaults().Action(kActionVersion).In(u"a")},
      {"-h stays unknown", {u"-h"}, Defaults()},
      {"--helpme stays unknown", {u"--helpme"}, Defaults()},
  };
  for (const ArgumentCase& c : cases) ExpectFields(c);
}

TEST(ParseArguments, NewOptionsAndWhatNothingTakes) {
  struct Case {
    const char* name;
    std::vector<std::u16string> arguments;
    bool used;
    OutputFormat format;
    bool distance, nearest;
    double maxDistance;
    std::int32_t threads;
    std::u16string data;
    std::vector<std::u16string> unknown, stray, missing, bad;
  };
  using F = OutputFormat;
  const Case cases[] = {
      {"designed only", {u"/lat", u"35", u"/lon", u"139"}, false, F::kDesigned, false, false, 0, 1, u"",
       {}, {}, {}, {}},
      {"keep dist nearest", {u"/keep", u"/dist", u"/nearest"}, true, F::kKeep, true, true, 0, 1, u"",
       {}, {}, {}, {}},
      {"json wins when last", {u"/keep", u"/json"}, true, F::kJson, false, false, 0, 1, u"",
       {}, {}, {}, {}},
      {"values", {u"/maxdist", u"1000", u"/threads", u"0", u"/data", u"a.bin"}, true, F::kDesigned,
       false, false, 1000, 0, u"a.bin", {}, {}, {}, {}},
      {"maxdist without a limit", {u"/maxdist", u"inf"}, true, F::kDesigned, false, false,
       std::numeric_limits<double>::infinity(), 1, u"", {}, {}, {}, {}},
      {"maxdist with decimals", {u"/maxdist", u"12.5"}, true, F::kDesigned, false, false, 12.5, 1,
       u"", {}, {}, {}, {}},
      {"bad values", {u"/threads", u"two", u"/maxdist", u"-5", u"/maxdist", u"0"}, true,
       F::kDesigned, false, false, 0, 1, u"", {u"/5"}, {}, {u"/maxdist"},
       {u"/threads two", u"/maxdist 0"}},
      {"unknown words and stray values", {u"a.csv", u"/IN", u"b.csv", u"/keep", u"c"}, true, F::kKeep,
       false, false, 0, 1, u"", {u"/IN"}, {u"a.csv", u"c"}, {}, {}},
      {"value missing at the end", {u"/lat", u"35", u"/lon"}, false, F::kDesigned, false, false, 0, 1,
       u"", {}, {}, {u"/lon"}, {}},
      {"mode takes its value silently", {u"/mode", u"x"}, false, F::kDesigned, false, false, 0, 1, u"",
       {}, {}, {}, {}},
  };
  for (const Case& c : cases) {
    const CkavrelCommandLineInfo info = Parse(c.arguments);
    EXPECT_EQ(info.m_extended.used, c.used) << c.name;
    EXPECT_EQ(info.m_extended.format, c.format) << c.name;
    EXPECT_EQ(info.m_extended.distance, c.distance) << c.name;
    EXPECT_EQ(info.m_settings.nearest, c.nearest) << c.name;
    EXPECT_EQ(info.m_settings.maxDistance, c.maxDistance) << c.name;
    EXPECT_EQ(info.m_extended.threads, c.threads) << c.name;
    EXPECT_EQ(info.m_extended.dataPath, c.data) << c.name;
    EXPECT_EQ(info.m_unknownWords, c.unknown) << c.name;
    EXPECT_EQ(info.m_strayValues, c.stray) << c.name;
    EXPECT_EQ(info.m_valuesMissing, c.missing) << c.name;
    EXPECT_EQ(info.m_badValues, c.bad) << c.name;
  }
}

TEST(LookupOption, NewWordsLeaveEveryDesignedWordAsItWas) {
  const std::u16string_view designed[] = {u"mode", u"in", u"out", u"lon", u"lat", u"sep",
                                          u"step", u"width", u"version", u"help", u"test"};
  // The designed table comes first, in its order, and nothing else is designed.
  std::size_t index = 0;
  for (const OptionDescriptor& option : Options()) {
    const bool inTable = index < std::size(designed);
    EXPECT_EQ(option.designed, inTable) << Narrow(std::u16string(option.word));
    if (inTable) {
      EXPECT_EQ(option.word, designed[index]);
    }
    ++index;
  }
  for (const std::u16string_view word : designed) {
    ASSERT_NE(LookupOption(word), nullptr) << Narrow(std::u16string(word));
    EXPECT_TRUE(LookupOption(word)->designed) << Narrow(std::u16string(word));
  }
  struct Case {
    std::u16string_view word;
    std::u16string_view matched;
  };
  const Case cases[] = {{u"keep", u"keep"},       {u"json", u"json"},       {u"nearest", u"nearest"},
                        {u"maxdist", u"maxdist"}, {u"distance", u"dist"},   {u"threads", u"threads"},
                        {u"data", u"data"},       {u"package", u"package"}, {u"max", u""},
                        {u"d", u""},              {u"cols", u"cols"},       {u"columns", u""},
                        {u"gzip", u"gzip"},       {u"maxfail", u"maxfail"}, {u"maxfails", u"maxfail"}};
  for (const Case& c : cases) EXPECT_EQ(MatchedWord(c.word), c.matched) << Narrow(std::u16string(c.word));
  // Every word reaches its own option: no word before it in the table is
  // the start of it, which would take it over.
  for (const OptionDescriptor& option : Options()) {
    EXPECT_EQ(LookupOption(option.word), &option) << Narrow(std::u16string(option.word));
  }
}

TEST(ParseArguments, ConversionOptionsColsGzipMaxfail) {
  struct Case {
    const char* name;
    std::vector<std::u16string> arguments;
    std::string latitude, longitude;
    bool gzip;
    std::optional<double> maxFail;
    std::vector<std::u16string> bad;
  };
  const Case cases[] = {
      {"names", {u"/cols", u"lat,lon"}, "lat", "lon", false, std::nullopt, {}},
      {"numbers, gzip, percent", {u"/cols", u"5,6", u"/gzip", u"/maxfail", u"5"}, "5", "6", true, 5.0, {}},
      {"percent sign and decimals", {u"/maxfail", u"2.5%"}, "", "", false, 2.5, {}},
      {"none may fail", {u"/maxfail", u"0"}, "", "", false, 0.0, {}},
      {"unusable", {u"/cols", u"lat", u"/maxfail", u"101", u"/maxfail", u"x"}, "", "", false, std::nullopt,
       {u"/cols lat", u"/maxfail 101", u"/maxfail x"}},
  };
  for (const Case& c : cases) {
    const CkavrelCommandLineInfo info = Parse(c.arguments);
    EXPECT_TRUE(info.m_extended.used) << c.name;
    EXPECT_EQ(info.m_extended.columns.latitude, c.latitude) << c.name;
    EXPECT_EQ(info.m_extended.columns.longitude, c.longitude) << c.name;
    EXPECT_EQ(info.m_extended.gzipOutput, c.gzip) << c.name;
    EXPECT_EQ(info.m_extended.maxFailPercent, c.maxFail) << c.name;
    EXPECT_EQ(info.m_badValues, c.bad) << c.name;
  }
}

// --help lists what the usage text does not: every option beyond the
// designed ones has a line, and no designed option has one.
TEST(Options, EveryNewOptionHasAHelpLineAndItsValueANameWhenItTakesOne) {
  for (const OptionDescriptor& option : Options()) {
    const std::string word = Narrow(std::u16string(option.word));
    EXPECT_EQ(option.help != nullptr, !option.designed) << word;
    const bool takesValue = option.value == OptionValue::kStored || option.value == OptionValue::kPath;
    if (!option.designed) {
      EXPECT_EQ(option.valueName != nullptr, takesValue) << word;
    }
    // A setter for every option that stores a value.
    if (takesValue) {
      EXPECT_NE(option.set, nullptr) << word;
    }
  }
}

TEST(ParseArguments, WholeWordHelpAloneListsEveryOption) {
  EXPECT_TRUE(Parse({u"--help"}).m_bListAllOptions);
  EXPECT_FALSE(Parse({u"/help"}).m_bListAllOptions);
  EXPECT_FALSE(Parse({u"-help"}).m_bListAllOptions);
  EXPECT_FALSE(Parse({u"--version"}).m_bListAllOptions);
}

}  // namespace
}  // namespace kavrel::console
