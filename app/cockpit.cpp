#include "app/cockpit.h"

#include <Eigen/Geometry>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace lobarc {
namespace {

using sim::Mat3;
using sim::Vec3;

// Axis and angle of a proper rotation matrix.
double axisAngle(const Mat3& e, Vec3& axis) {
  const Eigen::AngleAxisd aa(e);
  axis = aa.axis();
  return aa.angle();
}

}  // namespace

Cockpit::Cockpit(sim::Host& host, std::size_t vessel, int displayId, double refresh_s,
                 AttitudeLimits limits)
    : host_(host), vessel_(vessel), display_(displayId), limits_(limits) {
  host_.setRefreshInterval(refresh_s);
}

bool Cockpit::pressButton(int button) { return host_.pressButton(display_, button); }
bool Cockpit::pressKey(DWORD key) { return host_.pressKey(display_, key); }
bool Cockpit::dialogOpen() const { return host_.hasInputBox(); }
bool Cockpit::type(const std::string& text) { return host_.typeInput(text); }
void Cockpit::cancelDialog() { host_.cancelInputBox(); }

const sim::Surface& Cockpit::look() {
  if (redraws() == 0) host_.redraw(display_);  // a display is drawn once it opens
  last_ = &host_.surface(display_);
  return *last_;
}

void Cockpit::afterStep() {
  if (redraws() == seenRedraws_) return;
  seenRedraws_ = redraws();
  atRedraw_ = host_.world().vessel(vessel_).rotation();
}

std::uint64_t Cockpit::redraws() const { return host_.redrawCount(display_); }
double Cockpit::refreshInterval() const { return host_.refreshInterval(); }

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
double Cockpit::verticalSpeed() const {
  return host_.world().vessel(vessel_).horizonAirspeed().y();
}
double Cockpit::airspeed() const { return host_.world().vessel(vessel_).horizonAirspeed().norm(); }
double Cockpit::pitch() const { return host_.world().vessel(vessel_).pitch(); }
double Cockpit::heading() const { return host_.world().vessel(vessel_).heading(); }
double Cockpit::bank() const { return host_.world().vessel(vessel_).bank(); }
void Cockpit::equPos(double& lng, double& lat) const {
  double rad = 0;
  host_.world().vessel(vessel_).equPos(lng, lat, rad);
}
sim::Vec3 Cockpit::groundVelocity() const {
  const sim::Vec3 a = host_.world().vessel(vessel_).horizonAirspeed();  // east, up, north
  return {a.x(), a.z(), a.y()};
}
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
  const Vec3 a = (atRedraw_ * axis).normalized(), u = (atRedraw_ * toward).normalized();
  const Vec3 k = a.cross(u);
  if (k.norm() < 1e-12) {
    // Straight ahead: no turn; straight behind: about any axis at right angles.
    fixed_ = a.dot(u) > 0 ? atRedraw_
                          : Mat3(Eigen::AngleAxisd(EIGEN_PI, a.unitOrthogonal()) * atRedraw_);
  } else {
    fixed_ = Eigen::AngleAxisd(std::atan2(k.norm(), a.dot(u)), k.normalized()) * atRedraw_;
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
  const Vec3 forward = (north * ch + east * sh) * cp + up * sp;
  const Vec3 right0 = east * ch - north * sh;
  const Vec3 up0 = forward.cross(right0);
  const double cb = std::cos(bnk_), sb = std::sin(bnk_);
  Mat3 m;
  m.col(0) = right0 * cb - up0 * sb;
  m.col(1) = right0 * sb + up0 * cb;
  m.col(2) = forward;
  return m;
}

double Cockpit::attitudeError() const {
  if (!commanding_) return 0;
  Vec3 k;
  return axisAngle(commanded() * host_.world().vessel(vessel_).rotation().transpose(), k);
}

void Cockpit::control(double dt) {
  if (!commanding_ || dt <= 0) return;
  sim::Vessel& v = host_.world().vessel(vessel_);
  const Mat3 now = v.rotation();
  Vec3 k;
  const double angle = axisAngle(commanded() * now.transpose(), k);
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
  v.setRotation(Eigen::AngleAxisd(turn, k) * now);
}

void Cockpit::throttle(THGROUP_TYPE group, double level) {
  host_.world().vessel(vessel_).setLevel(group, level);
}

}  // namespace lobarc
