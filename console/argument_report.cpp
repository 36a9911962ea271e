#include "argument_report.h"

#include <string_view>
#include <vector>

#include "failure_report.h"
#include "kavrel/platform/text.h"

namespace kavrel::console {

namespace {

constexpr const char* kUnknown = "unknown option ";

std::string Typed(const std::u16string& text) {
  return platform::Utf16ToConsoleKeepingBytes(text);
}

void AddClauses(std::string& text, const char* what, const std::vector<std::u16string>& arguments) {
  for (const std::u16string& argument : arguments) {
    if (!text.empty()) text += "; ";
    text += what + Quoted(Typed(argument));
    // "/lat -35.5": the minus sign made the number an option word.
    const char16_t first = argument.size() > 1 ? argument[1] : u'\0';
    if (what == std::string_view(kUnknown) && ((first >= u'0' && first <= u'9') || first == u'.')) {
      text += " (a value that starts with \"-\" is read as an option word)";
    }
  }
}

// "/lat is given without /lon" when exactly one half of a pair is given.
std::string HalfPair(const std::u16string& first, const char* firstName,
                     const std::u16string& second, const char* secondName) {
  if (first.empty() == second.empty()) return {};
  const bool firstGiven = !first.empty();
  return std::string(firstGiven ? firstName : secondName) + " is given without " +
         (firstGiven ? secondName : firstName);
}

}  // namespace

std::string DescribeUnusedArguments(const CkavrelCommandLineInfo& info) {
  std::string text;
  AddClauses(text, kUnknown, info.m_unknownWords);
  AddClauses(text, "no option takes the value ", info.m_strayValues);
  AddClauses(text, "no value after ", info.m_valuesMissing);
  AddClauses(text, "unusable value: ", info.m_badValues);
  return text;
}

bool AsksForWork(const CkavrelCommandLineInfo& info) {
  const bool lookup = !info.m_strLatitude.empty() && !info.m_strLongitude.empty();
  const bool batch = !info.m_strInFile.empty() && !info.m_strOutFile.empty();
  return lookup || batch;
}

std::string DescribeArgumentError(const CkavrelCommandLineInfo& info) {
  std::string text;
  if (!AsksForWork(info)) {
    const std::string lookup = HalfPair(info.m_strLatitude, "/lat", info.m_strLongitude, "/lon");
    const std::string batch = HalfPair(info.m_strInFile, "/in", info.m_strOutFile, "/out");
    text = "nothing to do: ";
    if (lookup.empty() && batch.empty()) {
      text += "give /lat and /lon for one lookup, or /in and /out for a conversion";
    } else {
      text += lookup + (lookup.empty() || batch.empty() ? "" : ", and ") + batch;
    }
  }
  if (const std::string unused = DescribeUnusedArguments(info); !unused.empty()) {
    text += (text.empty() ? "" : "; ") + unused;
  }
  return text + " (/help and the kavrel man page list the options)";
}

}  // namespace kavrel::console
