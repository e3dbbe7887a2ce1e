// A small scene that every test suite can stand up in one line: a simulated
// host with a built-in body, one vessel landed at a base and in focus, a
// temporary configuration folder, and (where the module library is built)
// the module loaded with a display open in its mode.
//
//   testsupport::MoonHop hop;                // Moon, first base, lander in focus
//   hop.writeLanguage(1);                    // ArvexMFD.cfg: LANGUAGE = 1
//   hop.loadModule();                        // LOBARC_MODULE_PATH
//   int d = hop.openLaunchDisplay(400, 400);
//   bool accepted = hop.typeInto(d, 20, "Apollo 11");  // key T, then the text
//
// The host is the current one while the MoonHop lives; the configuration
// folder is removed when it ends.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "sim/host.h"
#include "sim/temp_dir.h"
#include "sim/world.h"

namespace testsupport {

using TempDir = sim::TempDir;

struct HopOptions {
  std::string body = "Moon";  // a built-in body (sim::builtinBody)
  std::string base;           // a base on it; empty: the body's first base
  sim::VesselSpec vessel{"Lander", 15000, 45000, 0, 30000};  // main and hover engines
};

// The standard scene. Members are public so that tests reach whatever they
// need directly.
struct MoonHop {
  explicit MoonHop(const HopOptions& options = {});

  TempDir config;  // behind oapiOpenFile's CONFIG root
  sim::Host host;
  int body = -1;                    // index of the body in host.world()
  std::size_t vessel = 0;           // index of the landed vessel, also the focus
  const sim::Base* base = nullptr;  // where the vessel stands

  sim::Vessel& lander() { return host.world().vessel(vessel); }
  OBJHANDLE bodyHandle() const { return host.bodyHandle(body); }
  OBJHANDLE vesselHandle() const { return host.vesselHandle(vessel); }

  // "ArvexMFD.cfg" with the single line "LANGUAGE = n".
  void writeLanguage(int n) const;

  // Loads the module library named by LOBARC_MODULE_PATH and returns its
  // loader id; throws sim::HostError when the test executable was built
  // without the module.
  int loadModule();
  // Opens a display of this size in the mode "Lobarc Launch" (HostError if
  // the mode is not registered or the instance was refused).
  int openLaunchDisplay(int width = 400, int height = 400);
  // Presses the key on the display, then types the text into the input box
  // that the key opened; returns the box callback's answer (true: accepted).
  bool typeInto(int displayId, DWORD key, const std::string& text);
};

}  // namespace testsupport
