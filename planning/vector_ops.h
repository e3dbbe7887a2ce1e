// Vector helpers that the SDK's VECTOR3 operations (OrbiterAPI.h) lack.
#pragma once

#include <cmath>

#include "host_sdk.h"

namespace arvex {

inline bool isFinite(const VECTOR3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace arvex
