// The module's entry points as linked into a test or benchmark executable,
// for sim::Host::attachModule.
#pragma once

#include "entry_points.h"
#include "sim/host.h"

using namespace arvex;  // the module's own names

namespace testsupport {

// With the library entry, detach runs the module's exit function as a loaded
// library would; without it the host calls ExitModule itself.
inline sim::ModuleEntries LinkedModuleEntries(bool withLibraryEntry = false) {
  sim::ModuleEntries e;
  if (withLibraryEntry) e.dllMain = DllMain;
  e.initModule = InitModule;
  e.exitModule = ExitModule;
  e.getModuleVersion = GetModuleVersion;
  e.postStep = opcPostStep;
  e.focusChanged = opcFocusChanged;
  return e;
}

}  // namespace testsupport
