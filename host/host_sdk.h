// The module's single way into its host. On Windows this is Orbiter's own
// SDK and the platform headers; elsewhere it is the simulated host's
// declarations of the same names, so the module's code is the same on both.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#include "Orbitersdk.h"  // Orbiter SDK include folder
#else
#include "OrbiterAPI.h"
#include "gdi.h"
#endif
