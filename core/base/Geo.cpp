#include "base/Geo.h"

#include <cmath>

namespace orvex {

double routeDistanceKm(float lat1, float lon1, float lat2, float lon2)
{
    constexpr double k = 0.017453292222222222; // 3.1415926 / 180
    constexpr double radiusKm = 6378.137;
    const double phi1 = lat1 * k;
    const double phi2 = lat2 * k;
    const double dLambda = lon1 * k - lon2 * k;
    const double s1 = std::sin(dLambda / 2);
    const double s2 = std::sin((phi1 - phi2) / 2);
    double h = s1 * s1 * std::cos(phi2) * std::cos(phi1) + s2 * s2;
    // Rounding can push h a hair past 1 for antipodal points; asin would give NaN.
    if (h > 1.0)
        h = 1.0;
    if (!(h >= 0.0))
        h = 0.0;
    return 2 * std::asin(std::sqrt(h)) * radiusKm;
}

} // namespace orvex
