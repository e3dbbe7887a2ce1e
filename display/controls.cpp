// Placeholder until the buttons, keys and dialogs land.
#include "ArvexMFD.h"

bool ArvexMFD::ConsumeKeyBuffered(DWORD) { return false; }
bool ArvexMFD::ConsumeButton(int, int) { return false; }
char* ArvexMFD::ButtonLabel(int) { return nullptr; }
int ArvexMFD::ButtonMenu(const MFDBUTTONMENU**) const { return 12; }
void ArvexMFD::OpenDialog(const char*, KeyFunc) {}
void ReleaseDialogTickets(ArvexMFD*) {}
