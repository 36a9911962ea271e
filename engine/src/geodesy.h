// Stateless geodesy helpers for callers working around Japan.
#pragma once

#include <cstdint>

namespace kavrel {

// 1 when 24 <= latitude < 46 and 122 <= longitude < 149, else 0. Built from
// four rejections, so NaN passes.
std::int32_t IsInJapanBox(double latitude, double longitude);

// Distance in metres by Hubeny's formula on the GRS 80 ellipsoid.
double HubenyDistance(double latitude1, double longitude1, double latitude2, double longitude2);

// Tokyo datum to WGS 84 by a fixed linear approximation.
void TokyoToWgs84(double latitude, double longitude, double& wgsLatitude, double& wgsLongitude);

}  // namespace kavrel
