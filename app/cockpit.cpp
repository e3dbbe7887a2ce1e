#include "cockpit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace lobarc {
namespace {

using sim::Mat3;
using sim::Vec3;

Vec3 add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 scale(const Vec3& a, double f) { return {a.x * f, a.y * f, a.z * f}; }
double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double norm(const Vec3& a) { return std::sqrt(dot(a, a)); }
Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 mul(const Mat3& m, const Vec3& v) {
  return {m[0] * v.x + m[1] * v.y + m[2] * v.z, m[3] * v.x + m[4] * v.y + m[5] * v.z,
          m[6] * v.x + m[7] * v.y + m[8] * v.z};
}
Mat3 mul(const Mat3& a, const Mat3& b) {
  Mat3 out{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int n = 0; n < 3; ++n) out[i * 3 + j] += a[i * 3 + n] * b[n * 3 + j];
  return out;
}
Mat3 transposed(const Mat3& m) { return {m[0], m[3], m[6], m[1], m[4], m[7], m[2], m[5], m[8]}; }
Mat3 fromColumns(const Vec3& c0, const Vec3& c1, const Vec3& c2) {
  return {c0.x, c1.x, c2.x, c0.y, c1.y, c2.y, c0.z, c1.z, c2.z};
}

// Rotation by angle th about the unit axis k (Rodrigues).
Mat3 rotation(const Vec3& k, double th) {
  const double c = std::cos(th), s = std::sin(th), v = 1 - c;
  return {c + k.x * k.x * v,       k.x * k.y * v - k.z * s, k.x * k.z * v + k.y * s,
          k.y * k.x * v + k.z * s, c + k.y * k.y * v,       k.y * k.z * v - k.x * s,
          k.z * k.x * v - k.y * s, k.z * k.y * v + k.x * s, c + k.z * k.z * v};
}

// Axis and angle of a proper rotation matrix.
double axisAngle(const Mat3& e, Vec3& axis) {
  const double c = std::clamp((e[0] + e[4] + e[8] - 1) / 2, -1.0, 1.0);
  const double angle = std::acos(c);
  Vec3 k{e[7] - e[5], e[2] - e[6], e[3] - e[1]};
  double l = norm(k);
  if (l < 1e-9) {
    // No turn, or half a turn: the axis is the column of e + I that stands out.
    const Vec3 cols[3] = {{e[0] + 1, e[3], e[6]}, {e[1], e[4] + 1, e[7]}, {e[2], e[5], e[8] + 1}};
    k = *std::max_element(std::begin(cols), std::end(cols),
                          [](const Vec3& a, const Vec3& b) { return norm(a) < norm(b); });
    l = norm(k);
    if (l < 1e-12) k = {1, 0, 0}, l = 1;
  }
  axis = scale(k, 1 / l);
  return angle;
}

Vec3 unit(const Vec3& v) {
  const double l = norm(v);
  return l > 0 ? scale(v, 1 / l) : v;
}

}  // namespace

Cockpit::Cockpit(sim::Host& host, std::size_t vessel, int displayId, double refresh_s,
                 AttitudeLimits limits)
    : host_(host), vessel_(vessel), display_(displayId), refresh_s_(refresh_s), limits_(limits) {}

bool Cockpit::pressButton(int button) { return host_.pressButton(display_, button); }
bool Cockpit::pressKey(DWORD key) { return host_.pressKey(display_, key); }
bool Cockpit::dialogOpen() const { return host_.hasInputBox(); }
bool Cockpit::type(const std::string& text) { return host_.typeInput(text); }
void Cockpit::cancelDialog() { host_.cancelInputBox(); }

const sim::Surface& Cockpit::look() {
  if (last_ == nullptr) afterStep();
  return *last_;
}

void Cockpit::afterStep() {
  const double t = host_.simTime();
  if (last_ != nullptr && t < nextRedraw_s_) return;
  last_ = &host_.redraw(display_);
  ++redraws_;
  atRedraw_ = host_.world().vessel(vessel_).rotation();
  // Due again one interval on; within a hair of it counts as due, so that
  // steps adding up to the interval are not a step late by rounding.
  nextRedraw_s_ = t + refresh_s_ - 1e-9;
}

const sim::Surface& Cockpit::lastLook() const {
  if (last_ == nullptr) throw std::logic_error("the pilot has not looked at the display yet");
  return *last_;
}

std::optional<double> Cockpit::readNumber(const std::string& prefix) const {
  const sim::DrawnText* t = lastLook().findText(prefix);
  if (t == nullptr) return std::nullopt;
  const char* start = t->bytes.c_str() + prefix.size();
  char* end = nullptr;
  double v = std::strtod(start, &end);
  if (end == start || !std::isfinite(v)) return std::nullopt;
  return v;
}

bool Cockpit::shows(const std::string& prefix) const {
  return lastLook().findText(prefix) != nullptr;
}

std::optional<std::pair<int, int>> Cockpit::positionOf(const std::string& text) const {
  for (auto& t : lastLook().texts())
    if (!t.title && t.bytes == text) return std::make_pair(t.x, t.y);
  return std::nullopt;
}

std::optional<std::pair<double, double>> Cockpit::inkCentreOf(const std::string& text) const {
  for (auto& t : lastLook().texts()) {
    if (t.title || t.bytes != text) continue;
    const sim::TextBox ink = lastLook().textInk(t);
    return std::make_pair(0.5 * (ink.left + ink.right), 0.5 * (ink.top + ink.bottom));
  }
  return std::nullopt;
}

int Cockpit::displayWidth() const { return host_.surface(display_).width(); }
int Cockpit::displayHeight() const { return host_.surface(display_).height(); }

double Cockpit::altitude() const { return host_.world().vessel(vessel_).altitude(); }
double Cockpit::verticalSpeed() const { return host_.world().vessel(vessel_).horizonAirspeed().y; }
double Cockpit::airspeed() const { return norm(host_.world().vessel(vessel_).horizonAirspeed()); }
double Cockpit::pitch() const { return host_.world().vessel(vessel_).pitch(); }
double Cockpit::heading() const { return host_.world().vessel(vessel_).heading(); }
bool Cockpit::groundContact() const { return host_.world().vessel(vessel_).groundContact(); }
double Cockpit::mass() const { return host_.world().vessel(vessel_).mass(); }
double Cockpit::maxThrust(THGROUP_TYPE group) const {
  return host_.world().vessel(vessel_).maxThrust(group);
}
double Cockpit::level(THGROUP_TYPE group) const {
  return host_.world().vessel(vessel_).level(group);
}

void Cockpit::holdAttitude(double heading, double pitch, double bank) {
  horizonHold_ = commanding_ = true;
  hdg_ = heading;
  pit_ = pitch;
  bnk_ = bank;
}

void Cockpit::pointAxis(const Vec3& axis, const Vec3& toward) {
  // The turn that carries the axis onto the direction, both as they stood
  // at the last redraw, applied to the attitude of that moment.
  const Vec3 a = unit(mul(atRedraw_, axis)), u = unit(mul(atRedraw_, toward));
  Vec3 k = cross(a, u);
  const double s = norm(k), c = dot(a, u);
  if (s < 1e-12) {
    if (c > 0) {
      fixed_ = atRedraw_;
    } else {  // straight behind: any axis at right angles will do
      k = unit(cross(a, std::fabs(a.x) < 0.9 ? Vec3{1, 0, 0} : Vec3{0, 1, 0}));
      fixed_ = mul(rotation(k, std::acos(-1.0)), atRedraw_);
    }
  } else {
    fixed_ = mul(rotation(scale(k, 1 / s), std::atan2(s, c)), atRedraw_);
  }
  horizonHold_ = false;
  commanding_ = true;
}

Mat3 Cockpit::commanded() const {
  const sim::Vessel& v = host_.world().vessel(vessel_);
  if (!horizonHold_) return fixed_;
  // The attitude that the vessel holds relative to the horizon here and now,
  // built as the vessel builds it (right = up x forward).
  Vec3 up, north, east;
  v.body().localFrame(v.position(), host_.simTime(), up, north, east);
  const double ch = std::cos(hdg_), sh = std::sin(hdg_);
  const double cp = std::cos(pit_), sp = std::sin(pit_);
  const Vec3 levelDir = add(scale(north, ch), scale(east, sh));
  const Vec3 forward = add(scale(levelDir, cp), scale(up, sp));
  const Vec3 right0 = add(scale(east, ch), scale(north, -sh));
  const Vec3 up0 = cross(forward, right0);
  const double cb = std::cos(bnk_), sb = std::sin(bnk_);
  const Vec3 right = add(scale(right0, cb), scale(up0, -sb));
  const Vec3 upAxis = add(scale(right0, sb), scale(up0, cb));
  return fromColumns(right, upAxis, forward);
}

double Cockpit::attitudeError() const {
  if (!commanding_) return 0;
  Vec3 k;
  return axisAngle(mul(commanded(), transposed(host_.world().vessel(vessel_).rotation())), k);
}

void Cockpit::control(double dt) {
  if (!commanding_ || dt <= 0) return;
  sim::Vessel& v = host_.world().vessel(vessel_);
  const Mat3 now = v.rotation();
  Vec3 k;
  const double angle = axisAngle(mul(commanded(), transposed(now)), k);
  // The fastest rate at the end of this step from which the vessel can
  // still stop on the attitude, braking at the limited acceleration; the
  // rate changes by at most that acceleration, and the step turns by the
  // mean of the rates at its ends.
  const double a = limits_.maxAccel_rad_s2, halfStep = 0.5 * a * dt;
  const double room = angle - 0.5 * rate_ * dt;  // [rad] left after this step at the rate now
  const double stoppable = room > 0 ? std::sqrt(halfStep * halfStep + 2 * a * room) - halfStep : 0;
  const double next =
      std::max({0.0, rate_ - a * dt, std::min({stoppable, limits_.maxRate_rad_s, rate_ + a * dt})});
  const double turn = 0.5 * (rate_ + next) * dt;
  rate_ = next;
  if (turn >= angle) {
    rate_ = 0;
    if (horizonHold_) {
      v.setHorizonAttitude(hdg_, pit_, bnk_);
    } else {
      v.setRotation(fixed_);
    }
    return;
  }
  v.setRotation(mul(rotation(k, turn), now));
}

void Cockpit::throttle(THGROUP_TYPE group, double level) {
  host_.world().vessel(vessel_).setLevel(group, level);
}

}  // namespace lobarc
