// The ground launch plan: the ellipse, the heading, the launch direction and
// the turn from the body-fixed into the global frame (see ground_plan.h).
#include "planning/ground_plan.h"

#include <cmath>

namespace arvex {

namespace {

// pi/2 rounded to 9 digits in the heading's colatitudes and to 16 in the
// launch-velocity turns: the two are kept apart because the rounding shifts
// the heading in its last digits, and the plans, and so every flight, are
// fixed to those digits. 2 pi for wrapping.
constexpr double kHalfPiHeading = 1.57079633;
constexpr double kHalfPiTurns = 1.570796326794895;
constexpr double kTwoPi = 6.28318530717958;

// Margin on the launch speed: the plan asks for 2 % more than the ellipse.
constexpr double kLaunchSpeedMargin = 1.02;

// Turn about y by t: (x, y, z) -> (x cos t - z sin t, y, x sin t + z cos t).
VECTOR3 TurnAboutY(const VECTOR3& v, double t) {
  const double c = std::cos(t), s = std::sin(t);
  return _V(v.x * c - v.z * s, v.y, v.x * s + v.z * c);
}

// Turn about x by t: (x, y, z) -> (x, y cos t + z sin t, -y sin t + z cos t).
VECTOR3 TurnAboutX(const VECTOR3& v, double t) {
  const double c = std::cos(t), s = std::sin(t);
  return _V(v.x, v.y * c + v.z * s, -v.y * s + v.z * c);
}

// Longitude difference to - from wrapped into (-pi, pi], so that a hop
// across the +-180 deg meridian is seen going the short way round.
double WrappedLngDiff(double from, double to) {
  double d = std::remainder(to - from, kTwoPi);  // [-pi, pi]
  if (d <= -kTwoPi * 0.5) d += kTwoPi;
  return d;
}

// Initial course [rad] from north, east positive, west negative, in
// (-pi, pi], from its two spherical components. Used where the
// law-of-cosines form has no value; 0 when even this has none (both points
// on one pole, or the same point), where no direction is better than another.
double InitialCourse(double lat1, double lng1, double lat2, double lng2) {
  const double dLng = lng2 - lng1;
  const double east = std::sin(dLng) * std::cos(lat2);
  const double north =
      std::cos(lat1) * std::sin(lat2) - std::sin(lat1) * std::cos(lat2) * std::cos(dLng);
  if (!std::isfinite(east) || !std::isfinite(north) || (east == 0 && north == 0)) return 0;
  return std::atan2(east, north);
}

}  // namespace

// The ellipse of the plan and the numbers the pilot flies it by.
GroundEllipse SolveGroundEllipse(const GroundPlanInput& in) {
  const double R = in.bodyRadius;       // [m]
  const double hs = in.securityAlt;     // [m]
  const double g0 = in.surfaceGravity;  // [m/s^2]
  GroundEllipse out{};

  // 1 - Half the great-circle angle, by the haversine form, which keeps its
  // precision for close points.
  const double s1 = std::sin((in.tgtLat - in.ownLat) * 0.5);
  const double s2 = std::sin((in.tgtLng - in.ownLng) * 0.5);
  const double alpha =
      std::asin(std::sqrt(s1 * s1 + std::cos(in.tgtLat) * std::cos(in.ownLat) * s2 * s2));

  // 2 - The natural ellipse: both points at radius R, alpha either side of
  // the apoapsis.
  double e = 1 - std::sin(alpha);
  double a = R * (1 - e * std::cos(alpha)) / (1 - e * e);
  const double h = (1 + e) * a - R;

  // 3 - The security floor. A natural apoapsis that cannot be computed (not
  // a number, for points a hair apart) also takes the security ellipse,
  // whose apoapsis lies exactly hs up.
  if (h >= hs) {
    out.apoAltitude = h;
  } else {
    out.apoAltitude = hs;
    const double c = R * (1 - std::cos(alpha));
    e = hs / (c + hs);
    a = (c + hs) * (R + hs) / (c + 2 * hs);
  }

  // 4 - Speed at apoapsis, where the velocity is horizontal.
  out.vTan = std::sqrt(kGravConst * in.bodyMass * (1 - e) / (a * (1 + e)));

  // 5 - The launch speed that still leaves vTan after climbing apoAltitude
  // against constant surface gravity, plus the margin.
  out.launchSpeed =
      std::sqrt(2 * (0.5 * out.vTan * out.vTan + g0 * out.apoAltitude)) * kLaunchSpeedMargin;

  // 6 - The elevation of the launch velocity: the flight-path angle of the
  // ellipse at the launch point.
  if (a < R) {
    // A closed form from the ellipse's axes, which equals the flight-path
    // angle while a < R; kept because the pilots' figures are built on it.
    const double k = 1 - e * e;
    const double A1 = std::atan(-std::sqrt(k / (e * e * a * a / ((R - a) * (R - a)) - 1)));
    const double A2 = std::atan((k * a - R) / std::sqrt(k * (e * e * a * a - (a - R) * (a - R))));
    out.launchAngle = std::fabs((A1 - A2) * kDegPerRad);
  } else {
    // For a >= R that form no longer gives the flight-path angle (a near
    // antipodal hop, or a high security altitude); the conic's own one does.
    out.launchAngle = std::atan(e * std::sin(alpha) / (1 - e * std::cos(alpha))) * kDegPerRad;
  }
  return out;
}

double LaunchHeading(double ownLat, double ownLng, double tgtLat, double tgtLng) {
  // 1 - The central angle, by the spherical law of cosines.
  const double d = std::acos(std::sin(ownLat) * std::sin(tgtLat) +
                             std::cos(ownLng - tgtLng) * std::cos(ownLat) * std::cos(tgtLat));

  // 2 - The cosine of the initial course, clamped against rounding. It has
  // no value (not a number) when d has none, or when both its numerator and
  // sin d are 0.
  double q = (std::cos(kHalfPiHeading - tgtLat) - std::cos(kHalfPiHeading - ownLat) * std::cos(d)) /
             (std::sin(kHalfPiHeading - ownLat) * std::sin(d));
  if (q > 1) {
    q = 1;
  } else if (q < -1) {
    q = -1;
  }

  // 3 - Exactly on the same meridian: due north, due south, or (same point)
  // north.
  if (ownLng == tgtLng) return (ownLat > tgtLat) ? 180 : 0;

  // 4 - Where q has no value, the course from its spherical components (0 if
  // even those have none), so the heading is always a finite number. It is
  // scaled as below: east c * 57.2964, west 360 - c * 57.2964.
  if (std::isnan(q)) {
    const double signedCourse = InitialCourse(ownLat, ownLng, tgtLat, tgtLng);
    const double course = std::fabs(signedCourse) * kDegPerRad;
    return (signedCourse >= 0) ? course : 360 - course;
  }

  // 5 - Otherwise east or west by the sign of the longitude difference taken
  // the short way round.
  const double course = std::acos(q) * kDegPerRad;
  return (WrappedLngDiff(ownLng, tgtLng) >= 0) ? course : 360 - course;
}

VECTOR3 LaunchDirectionBodyFixed(double launchAngle, double heading, double ownLat, double ownLng) {
  // 1 - Elevation and azimuth in radians.
  const double gamma = launchAngle / kDegPerRad;
  const double psi = heading / kDegPerRad;
  // 2 - Components along up, north and east.
  const VECTOR3 local =
      _V(std::sin(gamma), std::cos(psi) * std::cos(gamma), std::sin(psi) * std::cos(gamma));
  // 3 - Into the body-fixed frame at the launch point: the result is
  // sin g up + cos g cos psi north + cos g sin psi east.
  VECTOR3 b = TurnAboutY(local, -kHalfPiTurns);
  b = TurnAboutX(b, -ownLat);
  return TurnAboutY(b, ownLng + kHalfPiTurns);
}

VECTOR3 BodyFixedToGlobal(const VECTOR3& v, const MATRIX3& obliquity, double rotation) {
  // The body's rotation about its axis, then its tilt.
  return mul(obliquity, TurnAboutY(v, rotation));
}

GroundPlan PlanGroundLaunch(const GroundPlanInput& in, const MATRIX3& obliquity, double rotation) {
  const GroundEllipse ellipse = SolveGroundEllipse(in);
  GroundPlan plan;
  plan.heading = LaunchHeading(in.ownLat, in.ownLng, in.tgtLat, in.tgtLng);
  plan.launchAngle = ellipse.launchAngle;
  plan.launchSpeed = ellipse.launchSpeed;
  plan.dvRemaining = ellipse.launchSpeed;
  plan.vTan = ellipse.vTan;
  plan.apoAltitude = ellipse.apoAltitude;
  const VECTOR3 direction =
      LaunchDirectionBodyFixed(plan.launchAngle, plan.heading, in.ownLat, in.ownLng);
  plan.launchVelocity = BodyFixedToGlobal(direction, obliquity, rotation) * plan.launchSpeed;
  plan.groundSolValid = true;
  return plan;
}

}  // namespace arvex
