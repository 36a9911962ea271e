#include "search_settings.h"

namespace kavrel::console {

kavrel_query QueryOf(const SearchSettings& settings) {
  kavrel_query query{};
  query.mode = settings.nearest ? KAVREL_MODE_NEAREST : KAVREL_MODE_DESIGNED;
  query.step = settings.step;
  query.width = settings.width;
  query.max_distance = settings.maxDistance;
  return query;
}

}  // namespace kavrel::console
