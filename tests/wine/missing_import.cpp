// A module that imports a function Orbiter.exe does not export: the test
// host must refuse it and name the function, rather than report the loader's
// bare failure.
#include "OrbiterAPI.h"

OAPIFUNC void oapiNotExported();

DLLCLBK void InitModule(HINSTANCE) { oapiNotExported(); }
