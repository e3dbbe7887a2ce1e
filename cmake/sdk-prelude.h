// Force-included (-include) into every file of a build against
// Orbiter's own SDK headers, which assume what MSVC gives them for free.
#include <algorithm>
using std::max;         // VesselAPI.h calls max unqualified (MSVC's windows.h has it)
using std::min;         // and min
class ATMOSPHERE;       // CelBodyAPI.h names it before it declares it
class Instrument_User;  // MFDAPI.h befriends it without declaring it
