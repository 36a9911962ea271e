#include "search_settings.h"

#include "engine_binding.h"
#include "failure_report.h"

namespace kavrel::console {

SettingsRefusal SendSettings(const CEngineBinding& engine, const SearchSettings& settings,
                             std::string& why) {
  if (engine.m_pSetStep == nullptr) {
    why = "the engine library has no function SetStep";
    return SettingsRefusal::kStep;
  }
  if (!IsSearchCount(settings.step) || !IsSearchCount(settings.width)) {
    why = "the step and the width must be greater than 0";
    return SettingsRefusal::kStep;
  }
  engine.m_pSetStep(settings.step, settings.width);
  if (engine.m_pSetSeparator == nullptr) {
    why = "the engine library has no function SetSeparator";
    return SettingsRefusal::kSeparator;
  }
  if (const std::int32_t result = engine.m_pSetSeparator(settings.separator.c_str()); result != 0) {
    why = "the engine refused the separator: " + ResultCodeMeaning(result);
    return SettingsRefusal::kSeparator;
  }
  return SettingsRefusal::kNone;
}

kavrel_query QueryOf(const SearchSettings& settings) {
  kavrel_query query{};
  query.mode = settings.nearest ? KAVREL_MODE_NEAREST : KAVREL_MODE_DESIGNED;
  query.step = settings.step;
  query.width = settings.width;
  query.max_distance = settings.maxDistance;
  return query;
}

}  // namespace kavrel::console
