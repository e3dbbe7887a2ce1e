// The part of Orbiter's MFDAPI.h that a cockpit display module derives from:
// the display base class, with the SDK's virtual operations in the SDK's
// order and its data members.
#pragma once

#include "OrbiterAPI.h"

class Instrument_User;  // the host's own side of a display

class OAPIFUNC MFD {
 public:
  MFD(DWORD w, DWORD h, VESSEL* vessel);
  virtual ~MFD();
  virtual void Update(HDC hDC) = 0;
  void InvalidateDisplay();
  void InvalidateButtons();
  // Draws the mode's title at the top of the display.
  void Title(HDC hDC, const char* title) const;
  virtual bool ConsumeKeyBuffered(DWORD key);
  virtual bool ConsumeKeyImmediate(char* kstate);
  virtual bool ConsumeButton(int bt, int event);
  virtual char* ButtonLabel(int bt);
  virtual int ButtonMenu(const MFDBUTTONMENU** menu) const;
  virtual void WriteStatus(FILEHANDLE scn) const;
  virtual void ReadStatus(FILEHANDLE scn);
  virtual void StoreStatus() const;
  virtual void RecallStatus();

 protected:
  DWORD W, H;    // display size [pixel]
  DWORD cw, ch;  // character width and height of the host's font 0 [pixel]
  VESSEL* pV;    // the vessel the host passed at construction

 private:
  friend class Instrument_User;
  Instrument_User* instr;
};
