// The simulated world: rotating airless bodies with bases, and vessels under
// point-mass gravity and thrust.
//
// Frames (the host's, see host/OrbiterAPI.h): the global frame has the body
// at rest at its origin; a body-fixed vector is turned about y by the body's
// rotation angle, then multiplied by its obliquity matrix, to become global.
// Vessel frame: +x right, +y up, +z forward.
#pragma once

#include <Eigen/Dense>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "OrbiterAPI.h"

namespace sim {

// Vectors [m, m/s, N: as each name says] and matrices of the simulated
// world. Eigen's types do not start at zero: give every one a value.
using Vec3 = Eigen::Vector3d;
using Mat3 = Eigen::Matrix3d;

struct Base {
  std::string name;
  double lat_rad = 0;  // [rad]
  double lng_rad = 0;  // [rad]
};

struct BodySpec {
  std::string name;
  double radius_m = 0;               // [m]
  double mass_kg = 0;                // [kg]
  double rotation_period_s = 0;      // sidereal [s]; positive turns the surface eastward
  double obliquity_rad = 0;          // tilt of the rotation axis [rad]
  double rotation_at_epoch_rad = 0;  // rotation angle at t = 0 [rad]
  std::vector<Base> bases;
};

class Body {
 public:
  explicit Body(BodySpec spec);
  const BodySpec& spec() const { return spec_; }
  const std::string& name() const { return spec_.name; }
  double radius() const { return spec_.radius_m; }
  double mass() const { return spec_.mass_kg; }
  double mu() const;                     // G M [m^3/s^2]
  double rotationAngle(double t) const;  // [rad], in [0, 2 pi)
  Mat3 obliquityMatrix() const;          // proper rotation
  // Body-fixed -> global at time t, and back.
  Vec3 toGlobal(const Vec3& bodyFixed, double t) const;
  Vec3 toBodyFixed(const Vec3& global, double t) const;
  // Global position of a point fixed at (lat, lng, radius), and its velocity.
  Vec3 surfacePoint(double lat, double lng, double radius, double t) const;
  Vec3 surfaceVelocity(const Vec3& globalPos, double t) const;
  // Local (up, north, east) unit vectors, global frame, at a global position.
  void localFrame(const Vec3& globalPos, double t, Vec3& up, Vec3& north, Vec3& east) const;
  const Base* findBase(const std::string& name) const;  // exact, case-sensitive match

 private:
  BodySpec spec_;
};

// A group with an exhaust velocity burns propellant from the one tank, and
// falls silent when the tank is empty; a group without one (0) burns none,
// so a vessel with no exhaust velocities keeps its mass for ever.
struct VesselSpec {
  std::string name = "Vessel";
  double mass_kg = 10000;     // dry: without propellant [kg]
  double main_thrust_n = 0;   // 0: no main group
  double retro_thrust_n = 0;  // 0: no retro group
  double hover_thrust_n = 0;  // 0: no hover group
  double propellant_kg = 0;   // in the tank at the start [kg]
  double isp_main_mps = 0;    // exhaust velocities [m/s]; 0: burns no propellant
  double isp_retro_mps = 0;
  double isp_hover_mps = 0;
};

class World;

class Vessel {
 public:
  Vessel(World& world, int bodyIndex, VesselSpec spec);
  const VesselSpec& spec() const { return spec_; }
  const Body& body() const;
  int bodyIndex() const { return body_; }

  // Placement. landAt puts the vessel on the surface (ground contact) facing
  // north, level; placeInFlight sets position and velocity relative to the
  // turning surface (east, north, up) at an altitude.
  void landAt(double lat, double lng);
  void placeInFlight(double lat, double lng, double altitude_m, double vEast, double vNorth,
                     double vUp);
  void setState(const Vec3& pos, const Vec3& vel);  // global, relative to the body

  // Attitude. A horizon attitude (heading from north through east, pitch
  // nose up, bank right wing down; radians) is held relative to the local
  // horizon as the vessel moves; setRotation holds a fixed global attitude.
  void setHorizonAttitude(double heading, double pitch, double bank);
  void setRotation(const Mat3& vesselToGlobal);
  Mat3 rotation() const;  // vessel -> global; columns are the vessel axes

  // Throttles, 0..1, of THGROUP_MAIN / RETRO / HOVER. Absent groups stay 0.
  void setLevel(THGROUP_TYPE group, double level);
  double level(THGROUP_TYPE group) const;
  bool hasGroup(THGROUP_TYPE group) const;
  double maxThrust(THGROUP_TYPE group) const;

  // State, global frame relative to the body centre.
  Vec3 position() const { return pos_; }
  Vec3 velocity() const { return vel_; }
  bool groundContact() const { return landed_; }
  double mass() const { return spec_.mass_kg + propellant_; }  // dry + propellant [kg]
  double propellant() const { return propellant_; }            // left in the tank [kg]
  // Net thrust of the groups at their throttles, none from groups whose tank
  // is empty [N].
  double netThrust() const { return thrustVesselFrame().norm(); }
  void equPos(double& lng, double& lat, double& radius) const;
  double altitude() const;
  Vec3 horizonAirspeed() const;  // (east, up, north) relative to the surface
  double pitch() const;
  double bank() const;
  double heading() const;
  double aoa() const;
  double touchdownSpeed() const { return touchdownSpeed_; }  // last landing [m/s]

  // Advance by dt under gravity and thrust (Boost.Odeint inside the step).
  void advance(double t0, double dt);

 private:
  World& world_;
  int body_;
  VesselSpec spec_;
  Vec3 pos_ = Vec3::Zero();                // [m] global frame, relative to the body's centre
  Vec3 vel_ = Vec3::Zero();                // [m/s]
  bool landed_ = false;                    // stands on the surface
  double landLat_ = 0, landLng_ = 0;       // [rad] where it stands, while landed_
  bool holdHorizon_ = true;                // attitude held to the horizon, else rot_
  double hdg_ = 0, pit_ = 0, bnk_ = 0;     // [rad] the held horizon attitude
  Mat3 rot_ = Mat3::Identity();            // vessel -> global, while not holdHorizon_
  std::array<double, 3> levels_{0, 0, 0};  // throttles of main, retro, hover, 0..1
  double touchdownSpeed_ = 0;              // [m/s]
  double propellant_ = 0;                  // [kg] left in the tank
  double stepHint_ = 1;  // integrator step carried from one advance to the next [s]

  // Vessel -> global rotation for a vessel at pos (global) at time t.
  Mat3 rotationAt(const Vec3& pos, double t) const;
  // Sum of the groups' thrust, global frame, for a vessel at pos [N].
  Vec3 thrustAt(const Vec3& pos, double t) const;
  Vec3 thrustAt(const Vec3& pos, double t, const Vec3& vesselFrameThrust) const;
  // Sum of the groups [N]; groups that burn propellant are silent when the
  // tank is empty.
  Vec3 thrustVesselFrame() const;
  double propellantFlow() const;  // [kg/s] at the present throttles
  bool groupLit(int index) const;
  double exhaustVelocity(int index) const;  // of main, retro, hover [m/s]; 0: burns none
  bool thrustBeatsWeight(double t) const;
  // Puts the vessel down where (pos, vel) meet the surface at time t.
  void touchDown(const Vec3& pos, const Vec3& vel, double t);
  void followSurface(double t);  // landed: position and velocity at t
  // Flies from t0 to t1 or to a touchdown; fromSurface: lifting off now.
  void fly(double t0, double t1, bool fromSurface);
  // One stretch of fly with the tank's flow unchanged throughout.
  void flyStretch(double t0, double t1, bool fromSurface);
  // The forces of one stretch, the integrator's right-hand side.
  struct StretchForces;
};

class World {
 public:
  int addBody(BodySpec spec);  // returns its index
  Vessel& addVessel(int bodyIndex, VesselSpec spec);
  Body& body(int i) { return *bodies_.at(i); }
  const Body& body(int i) const { return *bodies_.at(i); }
  int bodyIndex(const std::string& name) const;  // -1 if none
  std::size_t bodyCount() const { return bodies_.size(); }
  std::size_t vesselCount() const { return vessels_.size(); }
  Vessel& vessel(std::size_t i) { return *vessels_.at(i); }
  const Vessel& vessel(std::size_t i) const { return *vessels_.at(i); }
  double time() const { return t_; }
  void advance(double dt);  // every vessel, then the clock

 private:
  std::vector<std::unique_ptr<Body>> bodies_;
  std::vector<std::unique_ptr<Vessel>> vessels_;
  double t_ = 0;  // simulated time since the epoch [s]
};

// Built-in bodies with their bases: "Moon", "Earth", "Mars".
std::optional<BodySpec> builtinBody(const std::string& name);
std::vector<std::string> builtinBodyNames();

}  // namespace sim
