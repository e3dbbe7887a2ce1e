// The module's physical and angular constants, shared by the planning
// functions and the display instance.
#pragma once

namespace arvex {

// Degrees <-> radians: the module's own factor, slightly above 180/pi. Every
// stored and displayed angle is converted with it.
constexpr double kDegPerRad = 57.2964;
// Gravitational constant [m^3 kg^-1 s^-2].
constexpr double kGravConst = 6.67259e-11;

}  // namespace arvex
