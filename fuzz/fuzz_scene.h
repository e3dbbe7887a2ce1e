// The world every fuzz input starts from: bodies from a pebble without mass
// to a giant, bases on the poles and on the +-180 deg meridian, and vessels
// with every combination of thruster groups, the first one landed and in
// focus.
#pragma once

#include <cstddef>

#include "sim/host.h"

namespace fuzz {

// Adds the bodies and vessels to the host's empty world and puts the focus
// on vessel 0.
void buildScene(sim::Host& host);

}  // namespace fuzz
