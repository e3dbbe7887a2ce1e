// Placeholder until burn monitoring and pitch guidance land.
#include "ArvexMFD.h"

void ArvexMFD::PostStep(double) {}
void ArvexMFD::UpdatePitchCommand(double, double) {}
double ArvexMFD::BurnPitchCommand(double) { return 0; }
