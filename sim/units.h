// Pi and the degree, for the simulated host and every program built on it
// (app/, web/, bench/, fuzz/): true angles, as Orbiter's world has them. The
// module converts with a factor of its own, 57.2964 degrees per radian
// (arvex::kDegPerRad, published as ARVEX_DEG_PER_RAD): a different constant,
// not a rounding of this one.
#pragma once

#include <numbers>

namespace sim {

inline constexpr double kPi = std::numbers::pi;
inline constexpr double kDeg = kPi / 180;  // [rad per deg]

}  // namespace sim
