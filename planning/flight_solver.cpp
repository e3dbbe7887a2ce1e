// Placeholder until the in-flight solver lands: it claims no solution.
#include "ArvexMFD.h"

bool ArvexMFD::SolveInFlight() { return false; }
