#include "cockpit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace lobarc {

Cockpit::Cockpit(sim::Host& host, std::size_t vessel, int displayId)
    : host_(host), vessel_(vessel), display_(displayId) {}

bool Cockpit::pressButton(int button) { return host_.pressButton(display_, button); }
bool Cockpit::pressKey(DWORD key) { return host_.pressKey(display_, key); }
bool Cockpit::dialogOpen() const { return host_.hasInputBox(); }
bool Cockpit::type(const std::string& text) { return host_.typeInput(text); }
void Cockpit::cancelDialog() { host_.cancelInputBox(); }

const sim::Surface& Cockpit::look() {
  last_ = &host_.redraw(display_);
  return *last_;
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

int Cockpit::displayWidth() const { return host_.surface(display_).width(); }
int Cockpit::displayHeight() const { return host_.surface(display_).height(); }

double Cockpit::altitude() const { return host_.world().vessel(vessel_).altitude(); }
double Cockpit::verticalSpeed() const {
  return host_.world().vessel(vessel_).horizonAirspeed().y();
}
double Cockpit::airspeed() const { return host_.world().vessel(vessel_).horizonAirspeed().norm(); }
double Cockpit::pitch() const { return host_.world().vessel(vessel_).pitch(); }
double Cockpit::heading() const { return host_.world().vessel(vessel_).heading(); }
bool Cockpit::groundContact() const { return host_.world().vessel(vessel_).groundContact(); }
double Cockpit::mass() const { return host_.world().vessel(vessel_).mass(); }
double Cockpit::maxThrust(THGROUP_TYPE group) const {
  return host_.world().vessel(vessel_).maxThrust(group);
}

void Cockpit::holdAttitude(double heading, double pitch, double bank) {
  host_.world().vessel(vessel_).setHorizonAttitude(heading, pitch, bank);
}

double Cockpit::turnAxisToward(const sim::Vec3& axis, const sim::Vec3& toward, double maxAngle) {
  const sim::Vec3 a = axis.normalized(), u = toward.normalized();
  const double angle = std::acos(std::clamp(a.dot(u), -1.0, 1.0));  // [rad]
  // Rotation axis a x u; for u opposite a any axis at right angles will do.
  sim::Vec3 k = a.cross(u);
  if (k.norm() < 1e-12) {
    if (a.dot(u) > 0) return 0;
    k = a.unitOrthogonal();
  }
  const double th = std::min(angle, maxAngle);  // [rad] turned this time
  // The turn is about an axis of the vessel frame, so it comes after the
  // vessel-to-global rotation: the new one is R * Rot.
  sim::Vessel& v = host_.world().vessel(vessel_);
  v.setRotation(v.rotation() * Eigen::AngleAxisd(th, k.normalized()).toRotationMatrix());
  return angle - th;
}

void Cockpit::throttle(THGROUP_TYPE group, double level) {
  host_.world().vessel(vessel_).setLevel(group, level);
}

}  // namespace lobarc
