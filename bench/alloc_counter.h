// Counts heap allocations in this process (operator new and malloc are
// replaced) and, on request, names who asked for each one: the module
// library or the host library, from the first frame of the call stack that
// lies in either. The module is loaded by path, as the host loads it, so its
// code is its own shared object and the attribution is by object file.
#pragma once

namespace allocs {

struct Counts {
  long total = 0;   // every allocation
  long module = 0;  // asked for by code in the module library
  long host = 0;    // asked for by code in the host library
};

// Every allocation since the start of the process (attributed ones only
// while attribution is on).
Counts now();
// Attribution walks the call stack of every allocation: off while timing.
void attribute(bool on);
Counts operator-(const Counts& a, const Counts& b);

}  // namespace allocs
