// Placeholder until the display pages land.
#include "ArvexMFD.h"

void ArvexMFD::Update(HDC) {}
void ArvexMFD::DrawIndicator(HDC) {}
void ArvexMFD::DrawRing(HDC, int, int, double) {}
