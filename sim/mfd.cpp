// The display base class MFD: what a mode inherits when it does not override
// an operation, and the title the host draws for it.
#include "host.h"

// The font follows the display's height, so its measures are known as soon
// as the size is.
MFD::MFD(DWORD w, DWORD h, VESSEL* vessel)
    : W(w),
      H(h),
      cw(static_cast<DWORD>(sim::fontCharWidth(static_cast<int>(h)))),
      ch(static_cast<DWORD>(sim::fontCharHeight(static_cast<int>(h)))),
      pV(vessel) {}

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

void MFD::Title(HDC hDC, const char* title) const {
  sim::Surface* surface = sim::surfaceFromHdc(hDC);
  if (surface == nullptr || title == nullptr) return;
  // Drawn straight into the display list in the host's own colour, so the
  // mode's text colour and alignment are left exactly as they were.
  sim::DrawnText text;
  text.x = sim::kTitleX;
  text.y = sim::kTitleY;
  text.bytes = title;
  text.color = sim::kTitleColor;
  text.align = TA_LEFT | TA_TOP;
  text.title = true;
  surface->addText(std::move(text));
}

// This host redraws a display and asks for its labels whenever a caller
// wants them, so there is nothing to mark.
void MFD::InvalidateDisplay() {}
void MFD::InvalidateButtons() {}
