// The simulated world: rotating airless bodies, and vessels that stand on
// them or fly under point-mass gravity and their own thrust.
//
// Conventions that every function here relies on:
//  - body-fixed -> global: turn about y by the rotation angle r,
//      u = (x cos r - z sin r, y, x sin r + z cos r),
//    then multiply by the obliquity matrix. A growing r carries the point at
//    longitude 0 towards where longitude +90 deg was: the surface turns east.
//  - the local frame at a point: up, north (towards the pole along the
//    meridian) and east (towards growing longitude).
//  - the vessel's rotation matrix has as columns its +x (right), +y (up) and
//    +z (forward) axes in global coordinates, with right = up x forward.
#include "sim/world.h"

#include <algorithm>
#include <boost/numeric/odeint.hpp>
#include <cmath>
#include <stdexcept>
#include <string>

#include "sim/units.h"

namespace sim {

namespace {

constexpr double kTwoPi = 2.0 * kPi;
constexpr double kGravConstant = 6.67259e-11;  // [m^3 kg^-1 s^-2]

// The integrator's accuracy and its longest sub-step. The tolerances keep a
// free low lunar orbit's energy to a few 1e-14 relative per revolution; the
// sub-step cap keeps a falling vessel from passing far below the surface (or
// through the body) before the touchdown test sees it.
constexpr double kAbsTolerance = 1e-10;
constexpr double kRelTolerance = 1e-13;
constexpr double kMaxSubstep_s = 10.0;  // [s]
constexpr double kMinSubstep_s = 1e-9;  // [s]
// Distance from a pole's axis within which a held horizon attitude's
// horizontal thrust fades out [m].
constexpr double kPolarFade_m = 1.0;
constexpr double kTouchdownTimeTolerance_s = 1e-10;  // [s]

// Length by hypot, not the square root of the sum of squares: exact for the
// tiniest and the largest vectors, where the squares underflow or overflow.
double norm(const Vec3& a) { return std::hypot(a.x(), a.y(), a.z()); }

void requireFinite(bool ok, const char* what) {
  if (!ok) {
    throw std::invalid_argument(std::string(what) + ": every value must be a finite number");
  }
}

// Latitude and longitude (longitude in (-pi, pi]) of a body-fixed vector.
// The centre itself reads as latitude 0, longitude 0.
void latLng(const Vec3& bodyFixed, double& lat, double& lng) {
  lat = std::atan2(bodyFixed.y(), std::hypot(bodyFixed.x(), bodyFixed.z()));
  lng = std::atan2(bodyFixed.z(), bodyFixed.x());
  if (lng <= -kPi) lng = kPi;
}

int groupIndex(THGROUP_TYPE group) {
  switch (group) {
    case THGROUP_MAIN:
      return 0;
    case THGROUP_RETRO:
      return 1;
    case THGROUP_HOVER:
      return 2;
    default:
      return -1;
  }
}

// The integrated state: global position [m], global velocity [m/s], then
// the propellant left [kg], so that thrust over mass follows the falling
// mass exactly within a step.
using State = std::array<double, 7>;

Vec3 positionOf(const State& x) { return {x[0], x[1], x[2]}; }
Vec3 velocityOf(const State& x) { return {x[3], x[4], x[5]}; }

// Where, inside an accepted sub-step of length h [s] that started from
// `before` at tauBefore and ended below the surface at `after`, the vessel
// reaches radius [m]: bisected to kTouchdownTimeTolerance_s, re-integrating
// from the sub-step's start with one step of the same method, so that the
// vessel lands where the surface is, not a sub-step below it. Returns the
// state just below the surface; crossing_s is its time after tauBefore.
template <class Rhs>
State surfaceCrossing(Rhs& rhs, const State& before, double tauBefore, double h, const State& after,
                      double radius, double& crossing_s) {
  boost::numeric::odeint::runge_kutta_dopri5<State> single;
  State dxdtBefore;
  rhs(before, dxdtBefore, tauBefore);
  State probe = after, dxdtProbe;
  double lo = 0, hi = h;  // [s] above the surface at lo, below at hi
  State atHi = after;
  while (hi - lo > kTouchdownTimeTolerance_s) {
    const double mid = 0.5 * (lo + hi);
    if (mid <= lo || mid >= hi) break;
    single.do_step(rhs, before, dxdtBefore, tauBefore, probe, dxdtProbe, mid);
    if (norm(positionOf(probe)) < radius) {
      hi = mid;
      atHi = probe;
    } else {
      lo = mid;
    }
  }
  crossing_s = hi;
  return atHi;
}

// Tries one sub-step from tau of at most stepHint [s], never past span, h
// being its length: the step control either accepts it (true, x and tau
// advanced, stepHint what the control proposes next) or rejects it (false,
// stepHint the shorter step to try instead). A step it can neither take nor
// shorten means the state is out of the integrator's range.
template <class Controlled, class Rhs>
bool trySubstep(Controlled& controlled, Rhs& rhs, State& x, double& tau, double span,
                double& stepHint, double& h, const std::string& vesselName) {
  const double remaining = span - tau;
  const bool last = stepHint >= remaining;
  h = last ? remaining : stepHint;
  const double tauBefore = tau;
  double hTry = h;
  const bool failed = controlled.try_step(rhs, x, tau, hTry) == boost::numeric::odeint::fail;
  if ((failed && !(hTry >= kMinSubstep_s)) || (!failed && tau == tauBefore)) {
    throw std::runtime_error("Vessel::advance: the integrator cannot meet its tolerance for \"" +
                             vesselName + "\"; give it a position and velocity in range");
  }
  if (failed) {
    stepHint = hTry;
    return false;
  }
  stepHint =
      last ? std::max(stepHint, std::min(hTry, kMaxSubstep_s)) : std::min(hTry, kMaxSubstep_s);
  if (last) tau = span;
  return true;
}

// The body's turn about its axis (y) by the rotation angle r, body-fixed to
// the frame of the axis: u = (x cos r - z sin r, y, x sin r + z cos r).
Eigen::AngleAxisd spin(double r) { return Eigen::AngleAxisd(-r, Vec3::UnitY()); }

}  // namespace

// ---------------------------------------------------------------------------
// Body

Body::Body(BodySpec spec) : spec_(std::move(spec)) {
  const std::string who = "Body \"" + spec_.name + "\"";
  if (!(std::isfinite(spec_.radius_m) && spec_.radius_m > 0)) {
    throw std::invalid_argument(who + ": the radius must be a positive number of metres");
  }
  if (!(std::isfinite(spec_.mass_kg) && spec_.mass_kg >= 0)) {
    throw std::invalid_argument(who + ": the mass must be zero or a positive number of kg");
  }
  requireFinite(std::isfinite(spec_.rotation_period_s) && std::isfinite(spec_.obliquity_rad) &&
                    std::isfinite(spec_.rotation_at_epoch_rad),
                (who + " rotation").c_str());
  for (const Base& b : spec_.bases) {
    requireFinite(std::isfinite(b.lat_rad) && std::isfinite(b.lng_rad),
                  (who + " base \"" + b.name + "\"").c_str());
  }
}

double Body::mu() const { return kGravConstant * spec_.mass_kg; }

double Body::rotationAngle(double t) const {
  double angle = spec_.rotation_at_epoch_rad;
  if (spec_.rotation_period_s != 0) angle += kTwoPi * t / spec_.rotation_period_s;
  angle = std::fmod(angle, kTwoPi);
  if (angle < 0) angle += kTwoPi;
  // -tiny + 2 pi rounds to 2 pi itself.
  if (angle >= kTwoPi) angle = 0;
  return angle;
}

// The tilt of the rotation axis: a turn about x by the obliquity.
Mat3 Body::obliquityMatrix() const {
  return Eigen::AngleAxisd(spec_.obliquity_rad, Vec3::UnitX()).toRotationMatrix();
}

Vec3 Body::toGlobal(const Vec3& v, double t) const {
  return obliquityMatrix() * (spin(rotationAngle(t)) * v);
}

Vec3 Body::toBodyFixed(const Vec3& g, double t) const {
  return spin(rotationAngle(t)).inverse() * (obliquityMatrix().transpose() * g);
}

Vec3 Body::surfacePoint(double lat, double lng, double radius, double t) const {
  const Vec3 v{radius * std::cos(lat) * std::cos(lng), radius * std::sin(lat),
               radius * std::cos(lat) * std::sin(lng)};
  return toGlobal(v, t);
}

Vec3 Body::surfaceVelocity(const Vec3& globalPos, double /*t*/) const {
  if (spec_.rotation_period_s == 0) return Vec3::Zero();
  // d/dt of u = (x cos r - z sin r, y, x sin r + z cos r) is
  // r' (-u.z, 0, u.x) = omega x u with omega = -r' along y; the obliquity
  // matrix does not change with time.
  const double rate = kTwoPi / spec_.rotation_period_s;  // [rad/s]
  const Vec3 u = obliquityMatrix().transpose() * globalPos;
  return obliquityMatrix() * Vec3(-rate * u.z(), 0, rate * u.x());
}

void Body::localFrame(const Vec3& globalPos, double t, Vec3& up, Vec3& north, Vec3& east) const {
  double lat = 0, lng = 0;
  latLng(toBodyFixed(globalPos, t), lat, lng);
  const double sLat = std::sin(lat), cLat = std::cos(lat);
  const double sLng = std::sin(lng), cLng = std::cos(lng);
  up = toGlobal(Vec3(cLat * cLng, sLat, cLat * sLng), t);
  north = toGlobal(Vec3(-sLat * cLng, cLat, -sLat * sLng), t);
  east = toGlobal(Vec3(-sLng, 0, cLng), t);
}

const Base* Body::findBase(const std::string& name) const {
  for (const Base& b : spec_.bases) {
    if (b.name == name) return &b;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Vessel

Vessel::Vessel(World& world, int bodyIndex, VesselSpec spec)
    : world_(world), body_(bodyIndex), spec_(std::move(spec)) {
  if (bodyIndex < 0 || static_cast<std::size_t>(bodyIndex) >= world_.bodyCount()) {
    throw std::out_of_range("Vessel \"" + spec_.name + "\": body index " +
                            std::to_string(bodyIndex) + " does not exist; add the body first");
  }
  if (!(std::isfinite(spec_.mass_kg) && spec_.mass_kg > 0)) {
    throw std::invalid_argument("Vessel \"" + spec_.name +
                                "\": the mass must be a positive number of kg");
  }
  for (double thrust : {spec_.main_thrust_n, spec_.retro_thrust_n, spec_.hover_thrust_n}) {
    if (!(std::isfinite(thrust) && thrust >= 0)) {
      throw std::invalid_argument("Vessel \"" + spec_.name +
                                  "\": a maximum thrust must be zero or a positive number of N");
    }
  }
  for (double v :
       {spec_.propellant_kg, spec_.isp_main_mps, spec_.isp_retro_mps, spec_.isp_hover_mps}) {
    if (!(std::isfinite(v) && v >= 0)) {
      throw std::invalid_argument(
          "Vessel \"" + spec_.name +
          "\": the propellant mass and the exhaust velocities must be zero or positive numbers");
    }
  }
  propellant_ = spec_.propellant_kg;
  landAt(0, 0);
}

const Body& Vessel::body() const { return world_.body(body_); }

void Vessel::landAt(double lat, double lng) {
  requireFinite(std::isfinite(lat) && std::isfinite(lng), "Vessel::landAt");
  landed_ = true;
  landLat_ = lat;
  landLng_ = lng;
  holdHorizon_ = true;
  hdg_ = pit_ = bnk_ = 0;
  followSurface(world_.time());
}

void Vessel::placeInFlight(double lat, double lng, double altitude_m, double vEast, double vNorth,
                           double vUp) {
  requireFinite(std::isfinite(lat) && std::isfinite(lng) && std::isfinite(altitude_m) &&
                    std::isfinite(vEast) && std::isfinite(vNorth) && std::isfinite(vUp),
                "Vessel::placeInFlight");
  const Body& b = body();
  const double t = world_.time();
  landed_ = false;
  pos_ = b.surfacePoint(lat, lng, b.radius() + altitude_m, t);
  Vec3 up, north, east;
  b.localFrame(pos_, t, up, north, east);
  vel_ = b.surfaceVelocity(pos_, t) + (east * vEast + (north * vNorth + up * vUp));
}

void Vessel::setState(const Vec3& pos, const Vec3& vel) {
  requireFinite(pos.allFinite() && vel.allFinite(), "Vessel::setState");
  landed_ = false;
  pos_ = pos;
  vel_ = vel;
}

void Vessel::setHorizonAttitude(double heading, double pitch, double bank) {
  requireFinite(std::isfinite(heading) && std::isfinite(pitch) && std::isfinite(bank),
                "Vessel::setHorizonAttitude");
  holdHorizon_ = true;
  hdg_ = heading;
  pit_ = pitch;
  bnk_ = bank;
}

void Vessel::setRotation(const Mat3& vesselToGlobal) {
  requireFinite(vesselToGlobal.allFinite(), "Vessel::setRotation");
  holdHorizon_ = false;
  rot_ = vesselToGlobal;
}

Mat3 Vessel::rotationAt(const Vec3& pos, double t) const {
  if (!holdHorizon_) return rot_;
  Vec3 up, north, east;
  body().localFrame(pos, t, up, north, east);
  // 1 - The nose from heading and pitch; the level right wing points to
  //     heading + 90 deg.
  const double ch = std::cos(hdg_), sh = std::sin(hdg_);
  const double cp = std::cos(pit_), sp = std::sin(pit_);
  const Vec3 level = north * ch + east * sh;
  const Vec3 forward = level * cp + up * sp;
  const Vec3 right0 = east * ch - north * sh;
  // 2 - The unbanked up axis completes a proper frame: up = forward x right.
  const Vec3 up0 = forward.cross(right0);
  // 3 - Bank turns right and up about the nose, right wing down for bank > 0.
  const double cb = std::cos(bnk_), sb = std::sin(bnk_);
  const Vec3 right = right0 * cb - up0 * sb;
  const Vec3 upAxis = right0 * sb + up0 * cb;
  Mat3 axes;
  axes << right, upAxis, forward;  // the columns
  return axes;
}

Mat3 Vessel::rotation() const { return rotationAt(pos_, world_.time()); }

void Vessel::setLevel(THGROUP_TYPE group, double level) {
  const int i = groupIndex(group);
  if (i < 0 || !hasGroup(group)) return;
  levels_[i] = std::isnan(level) ? 0.0 : std::clamp(level, 0.0, 1.0);
}

double Vessel::level(THGROUP_TYPE group) const {
  const int i = groupIndex(group);
  return i < 0 ? 0.0 : levels_[i];
}

bool Vessel::hasGroup(THGROUP_TYPE group) const { return maxThrust(group) > 0; }

double Vessel::maxThrust(THGROUP_TYPE group) const {
  switch (group) {
    case THGROUP_MAIN:
      return spec_.main_thrust_n;
    case THGROUP_RETRO:
      return spec_.retro_thrust_n;
    case THGROUP_HOVER:
      return spec_.hover_thrust_n;
    default:
      return 0;
  }
}

double Vessel::exhaustVelocity(int index) const {
  const std::array<double, 3> ve{spec_.isp_main_mps, spec_.isp_retro_mps, spec_.isp_hover_mps};
  return ve[index];
}

bool Vessel::groupLit(int index) const { return exhaustVelocity(index) == 0 || propellant_ > 0; }

Vec3 Vessel::thrustVesselFrame() const {
  const auto f = [&](int i, double maxThrust) {
    return groupLit(i) ? maxThrust * levels_[i] : 0.0;
  };
  return {0, f(2, spec_.hover_thrust_n), f(0, spec_.main_thrust_n) - f(1, spec_.retro_thrust_n)};
}

double Vessel::propellantFlow() const {
  const std::array<double, 3> thrust{spec_.main_thrust_n, spec_.retro_thrust_n,
                                     spec_.hover_thrust_n};
  double flow = 0;  // [kg/s]
  for (int i = 0; i < 3; ++i) {
    if (exhaustVelocity(i) > 0 && groupLit(i)) flow += thrust[i] * levels_[i] / exhaustVelocity(i);
  }
  return flow;
}

Vec3 Vessel::thrustAt(const Vec3& pos, double t) const {
  return thrustAt(pos, t, thrustVesselFrame());
}

Vec3 Vessel::thrustAt(const Vec3& pos, double t, const Vec3& vesselFrameThrust) const {
  Vec3 thrust = rotationAt(pos, t) * vesselFrameThrust;
  if (!holdHorizon_) return thrust;
  // At a pole the horizon has no north: a held heading turns half round as
  // the vessel passes over the pole, so a horizontal thrust towards the pole
  // pushes it back and forth across it faster than any integrator step can
  // follow (the step shrinks without end). Within kPolarFade_m of the axis
  // the horizontal part fades out with the distance, which makes the force
  // continuous there: the vessel settles on the pole instead.
  const Vec3 b = body().toBodyFixed(pos, t);
  const double axisDistance = std::hypot(b.x(), b.z());  // [m]
  if (axisDistance >= kPolarFade_m) return thrust;
  // The local vertical from latitude and longitude, defined also at the
  // centre and for the tiniest positions, where pos / |pos| is not.
  Vec3 up, north, east;
  body().localFrame(pos, t, up, north, east);
  const Vec3 vertical = up * thrust.dot(up);
  return vertical + (thrust - vertical) * (axisDistance / kPolarFade_m);
}

bool Vessel::thrustBeatsWeight(double t) const {
  const Body& b = body();
  Vec3 up, north, east;
  b.localFrame(pos_, t, up, north, east);
  const double weight = mass() * b.mu() / (b.radius() * b.radius());  // [N]
  return thrustAt(pos_, t).dot(up) > weight;
}

void Vessel::equPos(double& lng, double& lat, double& radius) const {
  const Vec3 b = body().toBodyFixed(pos_, world_.time());
  latLng(b, lat, lng);
  radius = norm(b);
}

double Vessel::altitude() const { return norm(pos_) - body().radius(); }

Vec3 Vessel::horizonAirspeed() const {
  const Body& b = body();
  const double t = world_.time();
  Vec3 up, north, east;
  b.localFrame(pos_, t, up, north, east);
  const Vec3 air = vel_ - b.surfaceVelocity(pos_, t);
  return {air.dot(east), air.dot(up), air.dot(north)};
}

double Vessel::pitch() const {
  Vec3 up, north, east;
  body().localFrame(pos_, world_.time(), up, north, east);
  return std::asin(std::clamp(rotation().col(2).dot(up), -1.0, 1.0));
}

double Vessel::heading() const {
  Vec3 up, north, east;
  body().localFrame(pos_, world_.time(), up, north, east);
  const Vec3 forward = rotation().col(2);
  double h = std::atan2(forward.dot(east), forward.dot(north));
  if (h < 0) h += kTwoPi;
  if (h >= kTwoPi) h = 0;
  return h;
}

double Vessel::bank() const {
  Vec3 up, north, east;
  body().localFrame(pos_, world_.time(), up, north, east);
  const Mat3 r = rotation();
  return std::atan2(-r.col(0).dot(up), r.col(1).dot(up));
}

double Vessel::aoa() const {
  const Vec3 air = vel_ - body().surfaceVelocity(pos_, world_.time());
  const Vec3 v = rotation().transpose() * air;  // vessel frame
  if (v.y() == 0 && v.z() == 0) return 0;
  return std::atan2(-v.y(), v.z());
}

void Vessel::followSurface(double t) {
  const Body& b = body();
  pos_ = b.surfacePoint(landLat_, landLng_, b.radius(), t);
  vel_ = b.surfaceVelocity(pos_, t);
}

void Vessel::touchDown(const Vec3& pos, const Vec3& vel, double t) {
  const Body& b = body();
  touchdownSpeed_ = norm(vel - b.surfaceVelocity(pos, t));
  latLng(b.toBodyFixed(pos, t), landLat_, landLng_);
  landed_ = true;
}

void Vessel::advance(double t0, double dt) {
  requireFinite(std::isfinite(t0) && std::isfinite(dt), "Vessel::advance");
  if (dt < 0) {
    throw std::invalid_argument("Vessel::advance: the time step must not be negative");
  }
  if (dt == 0) return;
  const double t1 = t0 + dt;
  if (landed_) {
    followSurface(t0);
    if (!thrustBeatsWeight(t0)) {
      // Engines that do not lift it still burn.
      propellant_ = std::max(0.0, propellant_ - propellantFlow() * dt);
      followSurface(t1);
      return;
    }
    landed_ = false;  // lift-off: the whole step is flown
    fly(t0, t1, true);
  } else {
    fly(t0, t1, false);
  }
  if (landed_) followSurface(t1);
}

// Flies from t0 to t1, or until the surface is met. The tank's flow is
// constant while the throttles are, so the moment it runs dry is known: the
// flight stops there and goes on with the burning groups silent, and no
// sub-step straddles the jump in thrust.
void Vessel::fly(double t0, double t1, bool fromSurface) {
  const double flow = propellantFlow();  // [kg/s]
  if (flow > 0) {
    const double tEmpty = t0 + propellant_ / flow;
    if (tEmpty < t1) {
      if (tEmpty > t0) {
        flyStretch(t0, tEmpty, fromSurface);
        if (landed_) return;
        fromSurface = false;
        t0 = tEmpty;
      }
      propellant_ = 0;
    }
  }
  flyStretch(t0, t1, fromSurface);
}

// The forces on the vessel during one stretch, as the integrator's
// right-hand side: point-mass gravity plus thrust; the thrust direction
// follows the position when the attitude is held to the horizon. A vessel
// placed below the surface feels the field of a uniform sphere, which falls
// to zero at the centre instead of growing without bound, and its thrust
// keeps the direction it had at the start: at the centre the horizon has
// none. The flow is clipped at an empty tank: the burning groups fall silent
// and the mass stays at the dry mass. A stretch never runs on past empty (fly
// splits it there), so the rounding residue of a tank drained to the very end
// of a stretch (a few 1e-13 of its content, either sign) still counts as
// burning: otherwise the thrust would switch off in the last stage of every
// attempt at the final sub-step, which the step control would reject again
// and again.
struct Vessel::StretchForces {
  StretchForces(Vessel& vessel, double t0);
  // dx/dt at tau [s] after t0: the integrator counts time from t0, so that
  // sub-steps keep their precision however long the simulation has run.
  void operator()(const State& x, State& dxdt, double tau) const;

  const Vessel& vessel;
  double t0;          // [s] start of the stretch
  double mu;          // [m^3/s^2] of the body
  double radius;      // [m] of the body
  double dryMass;     // [kg]
  double flow;        // [kg/s] while burning
  Vec3 thrustLit_N;   // [N] vessel frame, the tank burning
  Vec3 thrustDry_N;   // [N] vessel frame, the tank empty
  double emptyBelow;  // [kg] tank content below which it counts as empty
};

Vessel::StretchForces::StretchForces(Vessel& v, double start)
    : vessel(v),
      t0(start),
      mu(v.body().mu()),
      radius(v.body().radius()),
      dryMass(v.spec_.mass_kg),
      flow(v.propellantFlow()),
      thrustLit_N(v.thrustVesselFrame()),
      thrustDry_N(thrustLit_N),
      emptyBelow(-1e-9 * std::max(v.propellant_, 1.0)) {
  const double saved = v.propellant_;
  v.propellant_ = 0;
  thrustDry_N = v.thrustVesselFrame();
  v.propellant_ = saved;
}

void Vessel::StretchForces::operator()(const State& x, State& dxdt, double tau) const {
  const double t = t0 + tau;
  const Vec3 p = positionOf(x);
  const double r = norm(p);
  const bool burning = x[6] > emptyBelow;
  const Vec3& thrust_N = burning ? thrustLit_N : thrustDry_N;
  const double mass = dryMass + std::max(x[6], 0.0);  // [kg]
  Vec3 a;                                             // [m/s^2]
  if (r >= radius) {
    a = p * (-mu / (r * r) / r);
    if (thrust_N.y() != 0 || thrust_N.z() != 0) a += vessel.thrustAt(p, t, thrust_N) * (1.0 / mass);
  } else {
    a = p * (-mu / (radius * radius) / radius);
    a += vessel.thrustAt(vessel.pos_, t0, thrust_N) * (1.0 / mass);
  }
  dxdt = {x[3], x[4], x[5], a.x(), a.y(), a.z(), burning ? -flow : 0.0};
}

// Flies from t0 to t1 under gravity and thrust, or until the surface is met.
void Vessel::flyStretch(double t0, double t1, bool fromSurface) {
  namespace odeint = boost::numeric::odeint;
  StretchForces rhs(*this, t0);
  const double radius = rhs.radius;

  auto controlled =
      odeint::make_controlled(kAbsTolerance, kRelTolerance, odeint::runge_kutta_dopri5<State>());
  State x{pos_.x(), pos_.y(), pos_.z(), vel_.x(), vel_.y(), vel_.z(), propellant_};
  const double span = t1 - t0;
  double tau = 0;
  stepHint_ = std::clamp(stepHint_, kMinSubstep_s, kMaxSubstep_s);

  while (tau < span) {
    // 1 - One accepted sub-step, never past t1.
    const State before = x;
    const double tauBefore = tau;
    double h = 0;
    if (!trySubstep(controlled, rhs, x, tau, span, stepHint_, h, spec_.name)) continue;

    // 2 - Touchdown: the surface met while descending.
    const Vec3 pBefore = positionOf(before), vBefore = velocityOf(before);
    const Vec3 pAfter = positionOf(x), vAfter = velocityOf(x);
    // Right after lift-off the vessel stands on the surface with no
    // vertical speed; rounding must not land it again at once.
    const double rBefore = fromSurface ? radius : norm(pBefore);
    fromSurface = false;
    if (norm(pAfter) < radius) {
      if (rBefore < radius) {
        // Already below the surface (placed there): land at once unless it
        // is climbing out.
        if (pBefore.dot(vBefore) < 0 || pAfter.dot(vAfter) < 0) {
          propellant_ = std::max(before[6], 0.0);
          touchDown(pBefore, vBefore, t0 + tauBefore);
          return;
        }
      } else {
        // 3 - Land where the surface was met inside the sub-step.
        double crossing_s = 0;
        const State atHi = surfaceCrossing(rhs, before, tauBefore, h, x, radius, crossing_s);
        propellant_ = std::max(atHi[6], 0.0);
        touchDown(positionOf(atHi), velocityOf(atHi), t0 + tauBefore + crossing_s);
        return;
      }
    }
  }
  pos_ = positionOf(x);
  vel_ = velocityOf(x);
  propellant_ = std::max(x[6], 0.0);
}

// ---------------------------------------------------------------------------
// World

int World::addBody(BodySpec spec) {
  bodies_.push_back(std::make_unique<Body>(std::move(spec)));
  return static_cast<int>(bodies_.size()) - 1;
}

Vessel& World::addVessel(int bodyIndex, VesselSpec spec) {
  vessels_.push_back(std::make_unique<Vessel>(*this, bodyIndex, std::move(spec)));
  return *vessels_.back();
}

int World::bodyIndex(const std::string& name) const {
  for (std::size_t i = 0; i < bodies_.size(); ++i) {
    if (bodies_[i]->name() == name) return static_cast<int>(i);
  }
  return -1;
}

void World::advance(double dt) {
  if (!std::isfinite(dt) || dt < 0) {
    throw std::invalid_argument("World::advance: the time step must be a finite number >= 0 s");
  }
  for (auto& v : vessels_) v->advance(t_, dt);
  t_ += dt;
}

}  // namespace sim
