// Stateless geodesy helpers for callers working around Japan.
#pragma once

#include <cstdint>

namespace kavrel {

// Distance in metres by Hubeny's formula on the GRS 80 ellipsoid.
double HubenyDistance(double latitude1, double longitude1, double latitude2, double longitude2);

// Tokyo datum to WGS 84 by a fixed linear approximation.
void TokyoToWgs84(double latitude, double longitude, double& wgsLatitude, double& wgsLongitude);

}  // namespace kavrel
