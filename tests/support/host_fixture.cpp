#include "support/host_fixture.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace testsupport {

TempDir::TempDir() {
  // Process id, a counter and a random word keep parallel test processes
  // and several folders of one test apart.
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("lobarc-test-" + std::to_string(::getpid()) + "-" +
                             std::to_string(counter++) + "-" + std::to_string(rd() % 100000));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("TempDir: cannot create a folder under " + base.string() +
                           "; check that it exists and is writable");
}

TempDir::~TempDir() {
  std::error_code ec;  // a destructor must not throw; a leftover folder is harmless
  std::filesystem::remove_all(path_, ec);
}

void TempDir::write(const std::string& name, const std::string& bytes) const {
  std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("TempDir: cannot write " + (path_ / name).string());
}

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
  const std::size_t before = host.inputBoxes().size();
  host.pressKey(displayId, key);
  if (host.inputBoxes().size() <= before) {
    throw sim::HostError("typeInto: key " + std::to_string(key) +
                         " opened no input box on display " + std::to_string(displayId));
  }
  return host.typeInput(text);
}

}  // namespace testsupport
