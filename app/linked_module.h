// The module's entry points as linked into a program (the browser's
// playground, the benchmarks, the fuzzer, the white-box tests) rather than
// loaded from its library: for a Session, or for sim::Host::attachModule.
// Only a program that links the module's code can use it.
#pragma once

#include "app/session.h"
#include "lobarc/entry_points.h"
#include "sim/host.h"

namespace lobarc {

// With the library entry, detaching runs the module's exit function as a
// loaded library would; without it the host calls ExitModule itself.
inline sim::ModuleEntries linkedModuleEntries(bool withLibraryEntry = false) {
  sim::ModuleEntries e;
  if (withLibraryEntry) e.dllMain = DllMain;
  e.initModule = InitModule;
  e.exitModule = ExitModule;
  e.getModuleVersion = GetModuleVersion;
  e.postStep = opcPostStep;
  e.focusChanged = opcFocusChanged;
  return e;
}

// The module as a Session takes it linked in: as a library would be.
inline LinkedModule linkedModule() { return {linkedModuleEntries(true), ArvexGetPlan}; }

}  // namespace lobarc
