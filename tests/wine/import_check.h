// What a module imports from the executable that loads it, read from the
// DLL's file before it is loaded: Windows' loader refuses a DLL with an
// unresolved import without saying which, so the test host names them.
#pragma once

#include <string>
#include <vector>

namespace testhost {

// The names that the DLL at path imports from exporter (by name, case
// ignored) and that this executable does not export, one line each; a line
// saying why when the file cannot be read as a DLL of this architecture.
std::vector<std::string> MissingImports(const char* path, const char* exporter);

}  // namespace testhost
