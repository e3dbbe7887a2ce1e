// The display instance's input: the buttons and keys (display/controls.h
// holds their tables), the five input dialogs through which the target and
// the two altitudes are entered, and the handlers that store what the pilot
// typed (display/parameter_entry.h reads it) and replan.
#include <cstdint>

#include "display/controls.h"
#include "display/parameter_entry.h"
#include "display/texts.h"
#include "module/ArvexMFD.h"

namespace arvex {

namespace {

// --- Dialog tickets ------------------------------------------------------
// The host keeps an input box open for as long as the pilot likes, and may
// destroy the display that opened it meanwhile. So a dialog's user data is
// not the instance but a ticket: the slot index and the slot's generation
// packed into the pointer-sized value. A callback reaches an instance only
// through a slot whose generation still matches and whose instance is set;
// the destructor clears its slots, and an accepted answer frees its slot.

constexpr unsigned kSlotBits = 6;  // 2^6 > kMaxDialogTickets
static_assert((1 << kSlotBits) > kMaxDialogTickets);

// Never zero: slot 0 of generation 0 still gives 1.
void* EncodeTicket(int slot, unsigned generation) {
  const std::uintptr_t value = (static_cast<std::uintptr_t>(generation) << kSlotBits) |
                               static_cast<std::uintptr_t>(slot + 1);
  return reinterpret_cast<void*>(value);
}

// The slot that a dialog's user data names, or -1 when it names no live
// ticket (freed, reused or never issued).
int FindTicket(void* usrdata) {
  const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(usrdata);
  const int slot = static_cast<int>(value & ((std::uintptr_t{1} << kSlotBits) - 1)) - 1;
  if (slot < 0 || slot >= kMaxDialogTickets) return -1;
  const DialogTicket& ticket = moduleState.dialogTickets[slot];
  // Compare whole encodings, so a pointer too narrow for the generation
  // still matches only its own ticket.
  if (ticket.instance == nullptr || EncodeTicket(slot, ticket.generation) != usrdata) return -1;
  return slot;
}

// Takes a free slot, or the oldest busy one when all are taken (a dialog
// that the pilot dismissed never answers, so its slot would stay busy). Each
// issue gets a generation above every other slot's, which also orders the
// slots by age.
int IssueTicket(ArvexMFD* instance) {
  int freeSlot = -1;
  int oldestSlot = 0;
  unsigned newest = 0;
  for (int i = 0; i < kMaxDialogTickets; ++i) {
    const DialogTicket& t = moduleState.dialogTickets[i];
    if (t.generation > newest) newest = t.generation;
    if (freeSlot < 0 && t.instance == nullptr) freeSlot = i;
    if (t.generation < moduleState.dialogTickets[oldestSlot].generation) oldestSlot = i;
  }
  const int slot = freeSlot >= 0 ? freeSlot : oldestSlot;
  moduleState.dialogTickets[slot].instance = instance;
  moduleState.dialogTickets[slot].generation = newest + 1;
  return slot;
}

// Runs one handler of the instance that opened the dialog. A dialog whose
// instance is gone is closed (accepted) without effect: no answer could
// ever reach it, and the pilot should not be left with a box that refuses
// everything.
bool Answer(char* text, void* usrdata, bool (ArvexMFD::*handler)(const char*)) {
  if (text == nullptr) return false;
  const int slot = FindTicket(usrdata);
  if (slot < 0) return true;
  ArvexMFD* instance = moduleState.dialogTickets[slot].instance;
  if (!(instance->*handler)(text)) return false;
  moduleState.dialogTickets[slot].instance = nullptr;
  return true;
}

// --- The five dialog callbacks: called by the host with the typed text.
bool TargetInput(void*, char* text, void* usrdata) {
  return Answer(text, usrdata, &ArvexMFD::SetTargetByName);
}
bool LatitudeInput(void*, char* text, void* usrdata) {
  return Answer(text, usrdata, &ArvexMFD::SetTargetLatitude);
}
bool LongitudeInput(void*, char* text, void* usrdata) {
  return Answer(text, usrdata, &ArvexMFD::SetTargetLongitude);
}
bool SecurityAltInput(void*, char* text, void* usrdata) {
  return Answer(text, usrdata, &ArvexMFD::SetSecurityAltitude);
}
bool AltAboveTargetInput(void*, char* text, void* usrdata) {
  return Answer(text, usrdata, &ArvexMFD::SetAltitudeAboveTarget);
}

}  // namespace

void ReleaseDialogTickets(ArvexMFD* instance) {
  if (instance == nullptr) return;
  for (DialogTicket& ticket : moduleState.dialogTickets) {
    if (ticket.instance == instance) ticket.instance = nullptr;
  }
}

void ArvexMFD::OpenDialog(const char* title, InputCallback callback) {
  const int slot = IssueTicket(this);
  // No initial text, 20 characters visible.
  // The host only reads the title, whatever its signature says.
  oapiOpenInputBox(const_cast<char*>(title), callback, nullptr, 20,
                   EncodeTicket(slot, moduleState.dialogTickets[slot].generation));
}

// Called by the host for the label of each of the twelve buttons.
char* ArvexMFD::ButtonLabel(int bt) {
  if (bt < 0 || bt >= kButtonCount) return nullptr;
  // The host's signature is not const-correct; it only reads the label.
  return const_cast<char*>(kButtonLabels[bt]);
}

// Called by the host for the button menu (the help page of the buttons).
int ArvexMFD::ButtonMenu(const MFDBUTTONMENU** menu) const {
  if (menu != nullptr) *menu = ButtonMenuFor(english);
  return kButtonCount;
}

// Called by the host for a button press (bit 0 of event) or release.
bool ArvexMFD::ConsumeButton(int bt, int event) {
  if ((event & 1) == 0 || bt < 0 || bt >= kButtonCount) return false;
  return ConsumeKeyBuffered(kButtonKeys[bt]);
}

// Called by the host for a key pressed while the display has the focus.
bool ArvexMFD::ConsumeKeyBuffered(DWORD key) {
  const DisplayTexts& texts = TextsFor(english);
  switch (key) {
    case kKeyE:
      // The pitch proposal belongs to the engine, so it is worked out again.
      if (hasHover && hasMain) {
        launchPitchSet = false;
        inputs.useMainEngine = !inputs.useMainEngine;
        ProposePitchNow();
      }
      return true;
    case kKeyR:
      // The reset reads the vessel afresh; with none in focus (an object
      // without a vessel interface) it does nothing at all.
      ResetFromVessel();
      return true;
    case kKeyT:
      OpenDialog(texts.targetPrompt, TargetInput);
      return true;
    case kKeyP:
      // Page 2/2 needs a solution to show; going back needs nothing.
      if (inputs.flightMode == 1)
        inputs.flightPage = (inputs.flightPage != 1 && flightSolValid) ? 1 : 0;
      return true;
    case kKeyS: {
      // The mode follows the vessel: no free toggle.
      const VESSEL* vessel = moduleState.focusVessel;
      if (vessel != nullptr) {
        const bool contact = vessel->GroundContact();
        if (inputs.flightMode == 1 && contact) {
          inputs.flightMode = 0;
          // A launch point that is not this vessel's (a focus change in
          // flight) is read again: the plan starts where the vessel stands.
          if (positionStale) ReadPosition();
        } else if (inputs.flightMode == 0 && !contact) {
          inputs.flightMode = 1;
        }
      }
      RecomputePlan();
      return true;
    }
    case kKeyL:
      OpenDialog(texts.latitudePrompt, LatitudeInput);
      return true;
    case kKeyZ:
      OpenDialog(texts.securityAltPrompt, SecurityAltInput);
      return true;
    case kKeyB:
      if (inputs.flightMode == 1) OpenDialog(texts.altAboveTargetPrompt, AltAboveTargetInput);
      return true;
    case kKeyN:
      OpenDialog(texts.longitudePrompt, LongitudeInput);
      return true;
    default:
      return false;
  }
}

// Target dialog: a surface base of the reference body, by its exact name.
bool ArvexMFD::SetTargetByName(const char* text) {
  if (text == nullptr) return false;
  // The host only reads the name, whatever its signature says.
  OBJHANDLE base = oapiGetBaseByName(refBody, const_cast<char*>(text));
  if (base == nullptr) return false;
  targetBase = base;
  inputs.tgtLatSet = true;
  inputs.tgtLngSet = true;
  double radius = 0;  // [m] not kept
  oapiGetBaseEquPos(base, &tgtLng, &tgtLat, &radius);
  // A new target: the in-flight solver searches from the start.
  RestartSearch();
  inputs.tgtLatDeg = tgtLat * kDegPerRad;
  inputs.tgtLngDeg = tgtLng * kDegPerRad;
  RecomputePlan();
  return true;
}

// Latitude dialog [deg]. A latitude drops the base but keeps the longitude,
// so the plan follows at once when that is there.
bool ArvexMFD::SetTargetLatitude(const char* text) {
  double x = 0;
  if (!ReadLatitudeEntry(text, x)) return false;
  inputs.tgtLatDeg = x;
  targetBase = nullptr;
  inputs.tgtLatSet = true;
  RestartSearch();
  tgtLat = x / kDegPerRad;
  if (inputs.tgtLngSet) RecomputePlan();
  return true;
}

// Longitude dialog [deg].
bool ArvexMFD::SetTargetLongitude(const char* text) {
  double x = 0;
  if (!ReadLongitudeEntry(text, x)) return false;
  inputs.tgtLngDeg = x;
  inputs.tgtLngSet = true;
  targetBase = nullptr;
  RestartSearch();
  tgtLng = x / kDegPerRad;
  if (inputs.tgtLatSet) RecomputePlan();
  return true;
}

// Security altitude dialog [km, whole].
bool ArvexMFD::SetSecurityAltitude(const char* text) {
  if (!ReadSecurityAltitudeEntry(text, inputs.securityAlt)) return false;
  if (TargetComplete()) RecomputePlan();
  return true;
}

// Altitude above target dialog [km, whole]. The in-flight solver picks it up
// at its next run, so nothing is recomputed here.
bool ArvexMFD::SetAltitudeAboveTarget(const char* text) {
  return ReadAltitudeAboveTargetEntry(text, inputs.altAboveTarget);
}

}  // namespace arvex
