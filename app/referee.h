// The referee: watches the vessel in the simulated world (never the module)
// and measures the closest approach to the aim point, which moves with the
// body, and the hop's outcome.
#pragma once

#include <string>

#include "app/scenario.h"
#include "app/session.h"

namespace lobarc {

class Referee {
 public:
  // aimAltitude_m: height of the aim point over the scenario's target [m].
  Referee(Session& session, double aimAltitude_m);

  // After every host step: the distance to the aim point now [m]. Between
  // two observations the vessel is taken to move along the straight segment
  // joining them, so a fast pass between samples is not missed.
  double observe();

  double distance() const { return lastDistance_; }    // [m] at the last observation
  double closest() const { return best_; }             // [m] closest approach so far
  double closestTime() const { return bestTime_; }     // [s] simulation time of it
  double closestAltitude() const { return bestAlt_; }  // [m] altitude there
  // [m] from the vessel to the target's ground point now (over the ground
  // once the vessel stands there)
  double groundDistanceToTarget() const;
  // Past the closest approach: moving away for a while, falling, below the
  // aim altitude plus a margin.
  bool pastClosestApproach(double verticalSpeed_mps, double altitude_m) const;

  // "arrived", "missed" or "timeout" for a flight that ended at simTime_s.
  static std::string outcome(bool success, double simTime_s, double maxTime_s);
  // Launch speed of the minimum-energy ballistic hop between the scenario's
  // two points on its body at rest [m/s], the floor no ballistic hop beats.
  static double minimumEnergySpeed(const Scenario& sc, double mu, double radius_m);

 private:
  void keepIfCloser(double d);

  Session& session_;
  double aimAltitude_m_;
  double best_ = 1e300;                    // [m]
  double bestTime_ = 0;                    // [s]
  double bestAlt_ = 0;                     // [m]
  double lastDistance_ = 1e300;            // [m]
  sim::Vec3 prevRel_ = sim::Vec3::Zero();  // [m] vessel minus aim point at the last observation
  bool havePrev_ = false;
  int receding_ = 0;  // observations in a row that moved away from the aim point
};

}  // namespace lobarc
