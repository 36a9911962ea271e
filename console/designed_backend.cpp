#include "designed_backend.h"

#include "batch.h"
#include "failure_report.h"
#include "kavrel/output/visible_names.h"

namespace kavrel::console {

bool DesignedBackend::Start(const std::u16string& dataFile, std::string& why) {
  const std::int32_t loaded = m_engine.LoadEngine(dataFile);
  if (loaded != 0) why = m_engine.DescribeLoadFailure(loaded);
  return loaded == 0;
}

std::string DesignedBackend::PackagePath() const { return m_engine.DataFilePath(); }

std::int32_t DesignedBackend::Prepare(const SearchSettings& settings, bool wholePackage,
                                      std::string& why) {
  if (!IsSearchCount(settings.step) || !IsSearchCount(settings.width)) {
    why = "the step and the width must be greater than 0";
    return kBatchStepRefused;
  }
  if (m_engine.SetStep(settings.step, settings.width) == kEntryMissing) {
    why = "the engine library has no function SetStep";
    return kBatchStepRefused;
  }
  if (const std::int32_t result = m_engine.SetSeparator(settings.separator); result != 0) {
    why = result == kEntryMissing ? "the engine library has no function SetSeparator"
                                  : "the engine refused the separator: " + ResultCodeMeaning(result);
    return kBatchSeparatorRefused;
  }
  m_separator = settings.separator;
  if (!wholePackage) return kBatchCompleted;
  if (const std::int32_t result = m_engine.PreloadData(); result != 0) {
    why = result == kEntryMissing ? "the engine library has no function PreloadData"
                                  : "cannot load the data package " + Quoted(m_engine.DataFilePath()) +
                                        " into memory: " + ResultCodeMeaning(result);
    return kBatchPreloadRefused;
  }
  return kBatchCompleted;
}

void DesignedBackend::Lookup(const double* latitudes, const double* longitudes, std::size_t count,
                             PointAnswer* answers) {
  for (std::size_t i = 0; i < count; ++i) {
    answers[i].address.clear();
    answers[i].result = m_engine.ReverseLookup(latitudes[i], longitudes[i], answers[i].address);
    // A name from a package built elsewhere must not start a line or steer
    // the terminal it is written to.
    output::MakeNamesVisible(answers[i].address, m_separator);
  }
}

std::string DesignedBackend::Meaning(std::int32_t result) const { return ResultCodeMeaning(result); }

}  // namespace kavrel::console
