// The lookup backend of a run with the designed options only: the engine's
// designed exports, called in their designed order (Initialize; SetStep and
// SetSeparator; PreloadData before a conversion; IsJapanRegion and
// ReverseGeocoding per point).
#pragma once

#include "engine_binding.h"
#include "lookup_backend.h"

namespace kavrel::console {

class DesignedBackend : public LookupBackend {
public:
  // `engine` (not owned) must outlive the backend.
  explicit DesignedBackend(CEngineBinding& engine) : m_engine(engine) {}

  // LoadEngine with `dataFile`; `why` from DescribeLoadFailure.
  bool Start(const std::u16string& dataFile, std::string& why) override;
  // The engine's GetDatafilename.
  std::string PackagePath() const override;
  // Sends step and width (SetStep), then the separator (SetSeparator), then
  // for a whole package PreloadData. kBatchStepRefused when SetStep is not
  // bound or step or width is not IsSearchCount (nothing is sent then);
  // kBatchSeparatorRefused when SetSeparator is not bound or refuses;
  // kBatchPreloadRefused when PreloadData is not bound or refuses.
  std::int32_t Prepare(const SearchSettings& settings, bool wholePackage, std::string& why) override;
  // One point at a time, as the designed exports answer.
  std::size_t BlockSize() const override { return 1; }
  // ReverseLookup per point; the answer's address is left empty when not
  // found. Control characters of the names are shown as '?'
  // (MakeNamesVisible), the separator sent by Prepare kept whole.
  void Lookup(const double* latitudes, const double* longitudes, std::size_t count,
              PointAnswer* answers) override;
  // ResultCodeMeaning.
  std::string Meaning(std::int32_t result) const override;

private:
  CEngineBinding& m_engine;
  std::u16string m_separator;  // as last sent
};

}  // namespace kavrel::console
