#include "geodesy.h"

#include <cmath>

namespace kavrel {

double HubenyDistance(double latitude1, double longitude1, double latitude2, double longitude2) {
  // Degrees to radians with the division first, as the reference values were
  // computed.
  const double phi1 = latitude1 / 180.0 * kPi;
  const double lambda1 = longitude1 / 180.0 * kPi;
  const double phi2 = latitude2 / 180.0 * kPi;
  const double lambda2 = longitude2 / 180.0 * kPi;

  const double mu = (phi1 + phi2) * 0.5;
  const double sinMu = std::sin(mu);
  // W^2 = 1 - e^2 sin^2(mu); e^2 = 0.00669438 is the squared first
  // eccentricity of GRS 80.
  const double w2 = 1.0 - 0.00669438 * sinMu * sinMu;
  const double n = kSemiMajorAxis / std::sqrt(w2);
  const double m = kMeridianNumerator / std::sqrt(w2 * w2 * w2);
  const double dy = m * (phi1 - phi2);
  const double dx = n * std::cos(mu) * (lambda1 - lambda2);
  return std::sqrt(dy * dy + dx * dx);
}

void TokyoToWgs84(double latitude, double longitude, double& wgsLatitude, double& wgsLongitude) {
  // A fixed linear fit of the Tokyo datum to WGS 84 around Japan; accurate to
  // a few metres there, and meaningless far from it.
  wgsLatitude = latitude - 0.00010695 * latitude + 0.000017464 * longitude + 0.0046017;
  wgsLongitude = longitude - 0.000046038 * latitude - 0.000083043 * longitude + 0.01004;
}

}  // namespace kavrel
