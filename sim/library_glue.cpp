// The SDK's library glue: what a module's library entry calls at attach, and
// the build-date integer behind a module's version. Orbiter exports both
// without declaring them in the SDK's headers; they are declared here as a
// module declares them.
#include <cstdio>
#include <cstring>

#include "OrbiterAPI.h"

OAPIFUNC void InitLib(HINSTANCE hModule);
OAPIFUNC int Date2Int(char* date);

void InitLib(HINSTANCE) {
  // Orbiter's glue records the module handle for resource lookups; this host
  // keeps modules by their loader id and needs nothing here.
}

// "Mmm dd yyyy" (the __DATE__ form) -> yyyymmdd, e.g. "Apr 25 2006" -> 20060425.
// 0 for anything else, so a caller caching a non-zero result asks again.
int Date2Int(char* date) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (date == nullptr) return 0;
  char month[4] = {0};
  int day = 0, year = 0;
  if (std::sscanf(date, "%3s %d %d", month, &day, &year) != 3) return 0;
  if (day < 1 || day > 31 || year < 1 || year > 9999) return 0;
  for (int m = 0; m < 12; ++m) {
    if (std::strcmp(month, kMonths[m]) == 0) return year * 10000 + (m + 1) * 100 + day;
  }
  return 0;
}
