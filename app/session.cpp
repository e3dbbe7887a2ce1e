#include "app/session.h"

#include <cstdlib>
#include <fstream>

#include "sim/units.h"

namespace lobarc {
namespace {

using sim::kDeg;

}  // namespace

std::filesystem::path findModuleLibrary(const std::optional<std::filesystem::path>& explicitPath) {
  namespace fs = std::filesystem;
  if (explicitPath) {
    if (!fs::exists(*explicitPath))
      throw sim::HostError("module library " + explicitPath->string() +
                           " does not exist; build it (cmake --build build) or fix --module");
    return *explicitPath;
  }
  if (const char* env = std::getenv("LOBARC_MODULE"); env && *env) {
    if (fs::exists(env)) return env;
    throw sim::HostError(std::string("LOBARC_MODULE names ") + env +
                         ", which does not exist; unset it or point it at ArvexMFD.so");
  }
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    fs::path p = self.parent_path().parent_path() / "modules" / "ArvexMFD.so";
    if (fs::exists(p)) return p;
  }
#ifdef LOBARC_MODULE_PATH
  if (fs::exists(LOBARC_MODULE_PATH)) return LOBARC_MODULE_PATH;
#endif
  throw sim::HostError(
      "cannot find the module library ArvexMFD.so; build it (cmake --build build) or give "
      "--module PATH");
}

Session::Session(const Scenario& sc, const std::string& language, const ModuleSource& module,
                 bool aimLead) {
  {
    std::ofstream cfg(config_.path() / "ArvexMFD.cfg");
    cfg << "; written by lobarc for this flight\nLANGUAGE = " << (language == "fr" ? 1 : 0) << "\n";
    if (aimLead) cfg << "AIM_LEAD = 1\n";
  }
  host_ = std::make_unique<sim::Host>();
  host_->setConfigDir(config_.path());
  body_ = host_->world().addBody(sc.body);
  vessel_ = addScenarioVessel(host_->world(), body_, sc);
  tgtLat_ = sc.target.lat_deg * kDeg;
  tgtLng_ = sc.target.lng_deg * kDeg;
  host_->setFocus(vessel_);
  if (const auto* linked = std::get_if<LinkedModule>(&module)) {
    module_ = host_->attachModule(linked->entries, "ArvexMFD");
    getPlan_ = linked->getPlan;
  } else {
    module_ = host_->loadModule(std::get<std::filesystem::path>(module));
    getPlan_ = reinterpret_cast<ArvexGetPlanFunc>(
        GetProcAddress(host_->moduleInstance(module_), ARVEX_GET_PLAN_NAME));
  }
  display_ = host_->openDisplay("Lobarc Launch", sc.display.width, sc.display.height);
  if (display_ < 0)
    throw sim::HostError("the module did not open its display; check the module library");
}

Session::~Session() = default;

ArvexPlan Session::plan() const {
  if (getPlan_ == nullptr)
    throw sim::HostError(std::string("the module library exports no ") + ARVEX_GET_PLAN_NAME +
                         "; rebuild it (cmake --build build) or give --module PATH");
  ArvexPlan p{};
  p.size = sizeof p;
  if (getPlan_(host_->display(display_), &p) == 0)
    throw sim::HostError("the module did not report the plan of its display");
  return p;
}

sim::Vec3 Session::aimPoint(double altAbove_m) const {
  const sim::Body& b = host_->world().body(body_);
  return b.surfacePoint(tgtLat_, tgtLng_, b.radius() + altAbove_m, host_->simTime());
}

}  // namespace lobarc
