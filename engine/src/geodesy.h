// Stateless geodesy helpers for callers working around Japan.
#pragma once

#include <cstdint>

namespace kavrel {

// The constants of HubenyDistance, for bounds that must agree with it.
inline constexpr double kPi = 3.141592653589793;
// GRS 80: the semi-major axis a in metres, and a (1 - e^2) in metres, the
// numerators of the prime vertical radius N = a / W and of the meridian
// radius M = a (1 - e^2) / W^3; W <= 1, so neither radius is ever below its
// numerator.
inline constexpr double kSemiMajorAxis = 6378137.0;
inline constexpr double kMeridianNumerator = 6335439.0;

// Distance in metres by Hubeny's formula on the GRS 80 ellipsoid.
double HubenyDistance(double latitude1, double longitude1, double latitude2, double longitude2);

// Tokyo datum to WGS 84 by a fixed linear approximation.
void TokyoToWgs84(double latitude, double longitude, double& wgsLatitude, double& wgsLongitude);

}  // namespace kavrel
