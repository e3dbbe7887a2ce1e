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
  last_ = &host_.surface(display_);
  return *last_;
}

std::uint64_t Cockpit::redraws() const { return host_.redrawCount(display_); }

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
double Cockpit::verticalSpeed() const { return host_.world().vessel(vessel_).horizonAirspeed().y; }
double Cockpit::airspeed() const {
  sim::Vec3 v = host_.world().vessel(vessel_).horizonAirspeed();
  return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}
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
  auto norm = [](sim::Vec3 v) {
    double l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return l > 0 ? sim::Vec3{v.x / l, v.y / l, v.z / l} : v;
  };
  sim::Vec3 a = norm(axis), u = norm(toward);
  double c = std::clamp(a.x * u.x + a.y * u.y + a.z * u.z, -1.0, 1.0);
  double angle = std::acos(c);
  // Rotation axis a x u; for u opposite a any axis at right angles will do.
  sim::Vec3 k{a.y * u.z - a.z * u.y, a.z * u.x - a.x * u.z, a.x * u.y - a.y * u.x};
  double kl = std::sqrt(k.x * k.x + k.y * k.y + k.z * k.z);
  if (kl < 1e-12) {
    if (c > 0) return 0;
    k = std::fabs(a.x) < 0.9 ? sim::Vec3{0, -a.z, a.y} : sim::Vec3{a.z, 0, -a.x};
    kl = std::sqrt(k.x * k.x + k.y * k.y + k.z * k.z);
  }
  k = {k.x / kl, k.y / kl, k.z / kl};
  double th = std::min(angle, maxAngle);
  // Rodrigues: Rot v = v cos th + (k x v) sin th + k (k.v)(1 - cos th), as a
  // matrix in the vessel frame; the new vessel-to-global matrix is R * Rot.
  double ct = std::cos(th), st = std::sin(th), vt = 1 - ct;
  sim::Mat3 rot{ct + k.x * k.x * vt,       k.x * k.y * vt - k.z * st, k.x * k.z * vt + k.y * st,
                k.y * k.x * vt + k.z * st, ct + k.y * k.y * vt,       k.y * k.z * vt - k.x * st,
                k.z * k.x * vt - k.y * st, k.z * k.y * vt + k.x * st, ct + k.z * k.z * vt};
  sim::Vessel& v = host_.world().vessel(vessel_);
  sim::Mat3 r = v.rotation(), out{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int n = 0; n < 3; ++n) out[i * 3 + j] += r[i * 3 + n] * rot[n * 3 + j];
  v.setRotation(out);
  return angle - th;
}

void Cockpit::throttle(THGROUP_TYPE group, double level) {
  host_.world().vessel(vessel_).setLevel(group, level);
}

}  // namespace lobarc
