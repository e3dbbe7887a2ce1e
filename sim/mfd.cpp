// The display base class MFD: what a mode inherits when it does not override
// an operation, and the title the host draws for it.
#include <cstring>

#include "sim/host.h"

// The font follows the display's height, so its measures are known as soon
// as the size is.
MFD::MFD(DWORD w, DWORD h, VESSEL* vessel)
    : W(w),
      H(h),
      cw(static_cast<DWORD>(sim::fontCharWidth(static_cast<int>(h)))),
      ch(static_cast<DWORD>(sim::fontCharHeight(static_cast<int>(h)))),
      pV(vessel),
      instr(nullptr) {}

MFD::~MFD() = default;

// A mode that does not override these consumes no input and offers no labels,
// menus or saved status.
bool MFD::ConsumeKeyBuffered(DWORD) { return false; }
bool MFD::ConsumeKeyImmediate(char*) { return false; }
bool MFD::ConsumeButton(int, int) { return false; }
char* MFD::ButtonLabel(int) { return nullptr; }
int MFD::ButtonMenu(const MFDBUTTONMENU** menu) const {
  if (menu != nullptr) *menu = nullptr;
  return 0;
}
void MFD::ReadStatus(FILEHANDLE) {}
void MFD::WriteStatus(FILEHANDLE) const {}
void MFD::StoreStatus() const {}
void MFD::RecallStatus() {}

// As Orbiter's: the title in light grey at (cw/2, 0), with whatever font and
// alignment the mode has selected; the grey stays the text colour.
void MFD::Title(HDC hDC, const char* title) const {
  sim::Surface* surface = sim::surfaceFromHdc(hDC);
  if (surface == nullptr || title == nullptr) return;
  SetTextColor(hDC, sim::kTitleColor);
  const std::size_t before = surface->texts().size();
  TextOutA(hDC, surface->charWidth() / 2, 0, title, static_cast<int>(std::strlen(title)));
  if (surface->texts().size() > before) surface->markLastTextAsTitle();
}

// The next refresh check of this display redraws it.
void MFD::InvalidateDisplay() {
  if (sim::Host* host = sim::Host::current()) host->invalidateDisplay(this);
}
// Labels are asked for whenever a caller wants them, so there is nothing to mark.
void MFD::InvalidateButtons() {}
