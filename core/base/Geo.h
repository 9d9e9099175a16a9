#pragma once
// Distances on the earth, shared by routes, the map's measure tool and flight summaries.

namespace orvex {

// Great-circle distance in km between two points given in degrees, single precision in,
// double precision computed: haversine with k = 3.1415926 / 180 and radius 6378.137 km.
double routeDistanceKm(float lat1, float lon1, float lat2, float lon2);

} // namespace orvex
