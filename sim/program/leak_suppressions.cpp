// Compiled into every program that runs the simulated host (its tests, the
// lobarc program, the fuzzer, the benchmarks), not into the host's library:
// in a build with the address sanitizer, the leak checker asks the
// executable for these at exit. Fontconfig, Cairo, Pango and FreeType (the
// host's drawing surface) and PLplot with its plug-in loader (the program's
// plots) keep caches for the life of the process that they never free; those
// are not leaks of ours, and without this list every program that draws text
// would fail its leak check on them. Anything else still fails it.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\n"
         "leak:libcairo\n"
         "leak:libpango\n"
         "leak:libplplot\n"
         "leak:libfreetype\n"
         "leak:libltdl\n";
}
