// The host a hop runs in: the scenario's world, the module (loaded by path
// as Orbiter loads it, or linked into the program), and one display open in
// the module's mode on the focus vessel.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "app/scenario.h"
#include "lobarc/ArvexPlan.h"
#include "sim/host.h"
#include "sim/temp_dir.h"

namespace lobarc {

// Where the module library is: an explicit path, $LOBARC_MODULE, next to the
// program (../modules/ArvexMFD.so), or where the build put it.
std::filesystem::path findModuleLibrary(const std::optional<std::filesystem::path>& explicitPath);

// The module's entry points linked into the program (linked_module.h makes
// them): the host attaches them instead of finding them by name in the
// library, and the plan export is called directly.
struct LinkedModule {
  sim::ModuleEntries entries;
  ArvexGetPlanFunc getPlan = nullptr;
};
// The module as a session gets it: its library's path, or linked in.
using ModuleSource = std::variant<std::filesystem::path, LinkedModule>;

class Session {
 public:
  // aimLead: the display aims where the target will be at arrival.
  Session(const Scenario& sc, const std::string& language, const ModuleSource& module,
          bool aimLead = false);
  ~Session();
  sim::Host& host() { return *host_; }
  const sim::Host& host() const { return *host_; }
  std::size_t vessel() const { return vessel_; }
  int display() const { return display_; }
  int bodyIndex() const { return body_; }
  // The display's plan and solution, through the module's exported door
  // (never given to the pilot).
  ArvexPlan plan() const;
  // The point altAbove_m over the scenario's target, global frame, now [m].
  sim::Vec3 aimPoint(double altAbove_m) const;

 private:
  sim::TempDir config_;  // holds ArvexMFD.cfg for this session only
  std::unique_ptr<sim::Host> host_;
  int body_ = 0;                        // index of the scenario's body in the world
  std::size_t vessel_ = 0;              // index of the pilot's vessel, also the focus
  int module_ = 0;                      // the host's id of the loaded module
  ArvexGetPlanFunc getPlan_ = nullptr;  // the plan export
  int display_ = -1;                    // the host's id of the open display
  double tgtLat_ = 0;                   // [rad] the scenario's target
  double tgtLng_ = 0;                   // [rad]
};

}  // namespace lobarc
