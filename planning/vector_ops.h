// Vector and matrix operations shared by the plan, the burn count, the
// solver and the direction indicator. Plain functions on the host's types.
#pragma once

#include <cmath>

#include "host_sdk.h"

inline VECTOR3 operator+(const VECTOR3& a, const VECTOR3& b) {
  return _V(a.x + b.x, a.y + b.y, a.z + b.z);
}
inline VECTOR3 operator-(const VECTOR3& a, const VECTOR3& b) {
  return _V(a.x - b.x, a.y - b.y, a.z - b.z);
}
inline VECTOR3 operator*(const VECTOR3& a, double f) { return _V(a.x * f, a.y * f, a.z * f); }
inline VECTOR3 operator*(double f, const VECTOR3& a) { return a * f; }
inline VECTOR3 operator/(const VECTOR3& a, double f) { return _V(a.x / f, a.y / f, a.z / f); }

inline double dotp(const VECTOR3& a, const VECTOR3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// a x b = (a.y b.z - a.z b.y, a.z b.x - a.x b.z, a.x b.y - a.y b.x)
inline VECTOR3 crossp(const VECTOR3& a, const VECTOR3& b) {
  return _V(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

inline double length(const VECTOR3& a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }

// Matrix (row major) times column vector.
inline VECTOR3 mul(const MATRIX3& m, const VECTOR3& v) {
  return _V(m.m11 * v.x + m.m12 * v.y + m.m13 * v.z, m.m21 * v.x + m.m22 * v.y + m.m23 * v.z,
            m.m31 * v.x + m.m32 * v.y + m.m33 * v.z);
}

inline bool isFinite(const VECTOR3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
