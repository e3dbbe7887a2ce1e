#include "support/host_fixture.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace testsupport {

MoonHop::MoonHop(const HopOptions& options) {
  host.setConfigDir(config.path());
  auto spec = sim::builtinBody(options.body);
  if (!spec) throw sim::HostError("MoonHop: no built-in body named '" + options.body + "'");
  if (spec->bases.empty()) throw sim::HostError("MoonHop: body '" + options.body + "' has no base");
  body = host.world().addBody(*spec);
  const sim::Body& b = host.world().body(body);
  base = options.base.empty() ? &b.spec().bases.front() : b.findBase(options.base);
  if (base == nullptr) {
    throw sim::HostError("MoonHop: no base '" + options.base + "' on " + options.body);
  }
  sim::Vessel& v = host.world().addVessel(body, options.vessel);
  vessel = host.world().vesselCount() - 1;
  v.landAt(base->lat_rad, base->lng_rad);
  host.setFocus(vessel);
}

void MoonHop::writeLanguage(int n) const {
  config.write("ArvexMFD.cfg", "LANGUAGE = " + std::to_string(n) + "\n");
}

int MoonHop::loadModule() {
#if defined(LOBARC_MODULE_PATH)
  return host.loadModule(LOBARC_MODULE_PATH);
#else
  throw sim::HostError("MoonHop::loadModule: this test executable was built without the module");
#endif
}

int MoonHop::openLaunchDisplay(int width, int height) {
  const int id = host.openDisplay("Lobarc Launch", width, height);
  if (id < 0) throw sim::HostError("MoonHop: the mode refused to open a display");
  return id;
}

bool MoonHop::typeInto(int displayId, DWORD key, const std::string& text) {
  const int before = host.hasInputBox() ? host.inputBox()->id : 0;
  host.pressKey(displayId, key);
  if (!host.hasInputBox() || host.inputBox()->id == before) {
    throw sim::HostError("typeInto: key " + std::to_string(key) +
                         " opened no input box on display " + std::to_string(displayId));
  }
  return host.typeInput(text);
}

}  // namespace testsupport
