// The program's pilot model (lobarc::Pilot) flying in the playground: between
// two simulation steps it runs the pilot on until the pilot lets time pass,
// and says how long. The visitor may switch it on at any moment: the pilot's
// hop starts from where it finds the display and the vessel. The hop is over
// at the closest approach to the aim point, as the referee sees it, or on
// the ground.
#pragma once

#include <memory>
#include <optional>

#include "app/cockpit.h"
#include "app/pilot.h"
#include "app/referee.h"
#include "app/scenario.h"

namespace web {

class Autopilot {
 public:
  enum class Phase { kTakeOver, kPad, kBurn, kClimb, kSwitch, kCoast, kCorrect, kDone };

  Autopilot(lobarc::Cockpit& cockpit, const lobarc::Scenario& sc, bool french,
            const lobarc::Referee& referee);
  ~Autopilot();

  // Runs the pilot on to its next wait and returns how long [s] it lets the
  // simulation run before it acts again, as one step (once the hop is over,
  // a step of idle coasting). Throws std::runtime_error when the display
  // refuses an entry or the hop cannot go on; the engines are off then.
  double nextWait();
  Phase phase() const { return phase_; }
  static const char* name(Phase p);
  int corrections() const { return corrections_; }
  // Engines off; the next wait starts a new hop from the state it finds.
  void release();

 private:
  // What the autopilot does when the pilot tells a moment; false: the hop
  // is over.
  bool at(lobarc::Moment m);

  lobarc::Cockpit& c_;
  const lobarc::Scenario& sc_;
  bool fr_;
  const lobarc::Referee& referee_;
  std::optional<lobarc::Pilot> pilot_;   // a fresh one for every hop
  std::unique_ptr<lobarc::ActRun> hop_;  // the pilot's hop, while it flies
  Phase phase_ = Phase::kTakeOver;
  int corrections_ = 0;
};

}  // namespace web
