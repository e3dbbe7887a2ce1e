// Lobarc Launch: the display instance's life. Construction from the focus
// vessel and the parameters a previous instance left, destruction that leaves
// them for the next one, and the three resets.
#include "module/ArvexMFD.h"
#include "planning/burn_guidance.h"

namespace arvex {

namespace {

// What a reset leaves for the next instance: the inputs of a fresh display,
// no counts, no vessel or plan they belong to.
constexpr SavedParameters kNothingSaved = {kFreshInputs, 0, 0, nullptr, false, nullptr};

// The language file in the host's configuration folder.
const char* const kConfigFile = "ArvexMFD.cfg";
// Not const: the SDK takes the item name as a char*.
char kLanguageItem[] = "LANGUAGE";
char kAimLeadItem[] = "AIM_LEAD";

// The integer item of the configuration file, or 0 when the file, the item
// or a number there is missing.
int ReadConfigInt(char* item) {
  int value = 0;
  FILEHANDLE file = oapiOpenFile(kConfigFile, FILE_IN, CONFIG);
  if (file != nullptr) {
    int read = 0;
    if (oapiReadItem_int(file, item, read)) value = read;
    oapiCloseFile(file, FILE_IN);
  }
  return value;
}

}  // namespace

// A display the host does not name shares the one record of the last
// destroyed instance.
ArvexMFD::ArvexMFD(DWORD w, DWORD h, VESSEL* vessel) : ArvexMFD(w, h, vessel, 0, false) {}

// Built by MsgProc when the host opens a display in this mode. The host
// allocates the instance without clearing it, so every field has its start
// value at its declaration; what follows is what the display, the
// configuration file and the focus vessel give it.
ArvexMFD::ArvexMFD(DWORD w, DWORD h, VESSEL* vessel, UINT display, bool known)
    : MFD(w, h, vessel), displayKnown(known), displayIndex(display) {
  // The per-step hook must not run on a half-built instance.
  moduleState.hooksEnabled = false;

  // Unsigned divisions that drop the remainder. Both sizes are 16-bit
  // halves of the host's message parameter, so they fit an int.
  height = h;
  width = w;
  column2X = static_cast<int>(w / 2);
  lineHeight = static_cast<int>(h / 28);

  // Read afresh at every construction, so that an edit of the file shows
  // at the next display.
  english = ReadLanguage();
  aimLead = ReadAimLead();

  // Everything the module asks of a vessel it asks of the focus vessel; the
  // vessel passed by the host goes to the base class, and stands in only
  // while the host names no focus vessel (MsgProc builds no instance
  // without either).
  moduleState.focusVessel = oapiGetFocusInterface();
  if (moduleState.focusVessel == nullptr) moduleState.focusVessel = vessel;
  VESSEL* focus = moduleState.focusVessel;
  ReadBody();

  // The main engine is chosen whenever there is one.
  hasMain = focus->GetThrusterGroupHandle(THGROUP_MAIN) != nullptr;
  inputs.useMainEngine = hasMain;
  hasHover = focus->GetThrusterGroupHandle(THGROUP_HOVER) != nullptr;

  const SavedParameters* saved = ParametersToRestore();
  if (saved == nullptr) {
    // A fresh start: from the point under the vessel, in the mode that its
    // ground contact gives.
    inputs.flightMode = focus->GroundContact() ? 0 : 1;
    ReadPosition();
  } else {
    // The pilot's inputs from the previous instance. The solution itself is
    // never saved: a complete target is planned again, and the burn count
    // goes on where the same vessel flies the same plan.
    RestoreParameters(*saved);
    if (TargetComplete()) {
      RecomputePlan();
      KeepBurnCountOfSamePlan(*saved);
    }
  }
  // A new run of closings begins with the next destruction.
  moduleState.closeRunOpen = false;

  // Complete now: the hooks serve it from here on, beside every other open
  // display of the mode.
  ArvexMFD** link = &moduleState.firstInstance;
  while (*link != nullptr) link = &(*link)->nextInstance;
  *link = this;
  moduleState.hooksEnabled = true;
}

// Called by the host when the display leaves the mode or is rebuilt.
ArvexMFD::~ArvexMFD() {
  // The hooks stop serving this display and no other; any dialog this
  // instance opened must not reach it any more.
  for (ArvexMFD** link = &moduleState.firstInstance; *link != nullptr;
       link = &(*link)->nextInstance) {
    if (*link == this) {
      *link = nextInstance;
      break;
    }
  }
  if (moduleState.firstInstance == nullptr) moduleState.hooksEnabled = false;
  ReleaseDialogTickets(this);
  SaveParameters();
}

namespace {

DisplayRecord* FindDisplayRecord(UINT display) {
  for (DisplayRecord& r : moduleState.displayRecords) {
    if (r.valid && r.display == display) return &r;
  }
  return nullptr;
}

// The display's record, or a free one, or the oldest when all are taken.
DisplayRecord& RecordToWrite(UINT display) {
  if (DisplayRecord* own = FindDisplayRecord(display)) return *own;
  DisplayRecord* pick = &moduleState.displayRecords[0];
  for (DisplayRecord& r : moduleState.displayRecords) {
    if (!r.valid) return r;
    if (r.age < pick->age) pick = &r;
  }
  return *pick;
}

}  // namespace

void ForgetDisplayRecords() {
  for (DisplayRecord& r : moduleState.displayRecords) r.valid = false;
}

// A display closed in the latest run of closings takes back its own inputs;
// any other takes the last destroyed instance's, if there are any.
const SavedParameters* ArvexMFD::ParametersToRestore() const {
  if (displayKnown) {
    const DisplayRecord* own = FindDisplayRecord(displayIndex);
    if (own != nullptr && own->closeRun == moduleState.closeRun) return &own->params;
  }
  return moduleState.savedValid ? &moduleState.savedParameters : nullptr;
}

// The recompute at construction starts the count over at the planned
// launch speed. When the vessel that was counting still flies the plan that
// was counted, on the same launch point, target, security altitude and
// body, the burn so far was delivered all the same: the count goes on from
// where it was, or the cut-off would come late by everything burnt so far.
void ArvexMFD::KeepBurnCountOfSamePlan(const SavedParameters& saved) {
  const PilotInputs& was = saved.inputs;
  const bool samePlan = inputs.flightMode == 0 && was.flightMode == 0 && plan.groundSolValid &&
                        saved.groundSolValid && saved.vessel == moduleState.focusVessel &&
                        saved.refBody == refBody && was.ownLatDeg == inputs.ownLatDeg &&
                        was.ownLngDeg == inputs.ownLngDeg && was.tgtLatDeg == inputs.tgtLatDeg &&
                        was.tgtLngDeg == inputs.tgtLngDeg && was.securityAlt == inputs.securityAlt;
  if (samePlan) plan.dvRemaining = saved.dvRemaining;
}

// The pilot's inputs go to the module state for the next instance, and to
// the record of this display.
void ArvexMFD::SaveParameters() {
  SavedParameters& saved = moduleState.savedParameters;
  saved.inputs = inputs;
  // The count of the mode in use; the other mode's count stays as saved
  // earlier.
  if (inputs.flightMode == 0) {
    saved.dvRemaining = plan.dvRemaining;
  } else if (inputs.flightMode == 1) {
    saved.dvToGo = dvToGo;
  }
  saved.vessel = moduleState.focusVessel;
  saved.groundSolValid = plan.groundSolValid;
  saved.refBody = refBody;
  moduleState.savedValid = true;
  // This display's own copy, in the current run of closings.
  if (!displayKnown) return;
  if (!moduleState.closeRunOpen) {
    ++moduleState.closeRun;
    moduleState.closeRunOpen = true;
  }
  DisplayRecord& record = RecordToWrite(displayIndex);
  record.valid = true;
  record.display = displayIndex;
  record.closeRun = moduleState.closeRun;
  record.age = ++moduleState.recordAge;
  record.params = saved;
}

// The previous instance's inputs come back, but for what no longer fits
// this instance's vessel.
void ArvexMFD::RestoreParameters(const SavedParameters& saved) {
  // A base chosen by name comes back as its coordinates (targetBase stays
  // null), and the page as it was only in flight.
  inputs = saved.inputs;
  if (inputs.flightMode != 1) inputs.flightPage = 0;
  plan.dvRemaining = saved.dvRemaining;
  // The launch point stays where the vessel that saved it still flies: a
  // display rebuilt during the launch burn goes on with the plan being
  // flown. Another vessel (a focus change with no display open), or one
  // that has landed since, would be planned from a point it does not stand
  // on, even on another body.
  const VESSEL* focus = moduleState.focusVessel;
  if (saved.vessel == focus && !focus->GroundContact()) {
    ownLat = inputs.ownLatDeg / kDegPerRad;
    ownLng = inputs.ownLngDeg / kDegPerRad;
  } else {
    ReadPosition();
    // Another vessel's record read in flight gives the point passed over,
    // not where the vessel will launch from.
    positionStale = saved.vessel != focus && !focus->GroundContact();
  }
  // Radians from the degrees saved, as for a typed target: a base's target
  // is planned from the coordinates the page showed.
  tgtLat = inputs.tgtLatDeg / kDegPerRad;
  tgtLng = inputs.tgtLngDeg / kDegPerRad;
  // In flight the solution is found again; the validity is the solver's
  // own answer, so that no solution is claimed that was not found.
  if (inputs.flightMode == 1) {
    if (inputs.tgtLatSet && inputs.tgtLngSet) flightSolValid = SolveInFlight();
    dvToGo = saved.dvToGo;
  }
  // The engine choice comes back where the vessel has that engine;
  // otherwise it is the one construction chose from the vessel's engines
  // (ENG could not change it: it needs both).
  if (!(inputs.useMainEngine ? hasMain : hasHover)) inputs.useMainEngine = hasMain;
}

// The point under the focus vessel, on the ground or not; the radius is not
// kept.
void ArvexMFD::ReadPosition() {
  double radius = 0;
  moduleState.focusVessel->GetEquPos(ownLng, ownLat, radius);
  inputs.ownLatDeg = ownLat * kDegPerRad;
  inputs.ownLngDeg = ownLng * kDegPerRad;
  positionStale = false;
}

// The body under the focus vessel, and its surface gravity [m/s^2].
void ArvexMFD::ReadBody() {
  refBody = moduleState.focusVessel->GetSurfaceRef();
  bodyMass = oapiGetMass(refBody);
  bodyRadius = oapiGetSize(refBody);
  surfaceGravity = kGravConst * bodyMass / (bodyRadius * bodyRadius);
}

// Clears the solution, the pitch law's memory and the solver state, and the
// parameters kept for the next instance, and leaves the hooks on. The
// target, the mode, the page and dvToGo stay.
void ArvexMFD::ResetSolution() {
  plan = GroundPlan{};
  pitchLaw = PitchLawState{};
  search = FlightSearchState{};
  launchPitchSet = false;
  flightSolValid = false;
  inAntipodeBand = false;
  // Nothing is kept for the next instance: neither the last one destroyed
  // nor this display's own record. The other displays keep theirs.
  if (displayKnown) {
    if (DisplayRecord* own = FindDisplayRecord(displayIndex)) own->valid = false;
  }
  moduleState.savedValid = false;
  moduleState.savedParameters = kNothingSaved;
  moduleState.hooksEnabled = true;
}

// The target and the altitudes go back to their defaults, with no solution;
// the launch point, the mode, the page and the engine stay.
void ArvexMFD::ResetParameters() {
  inputs.securityAlt = kFreshInputs.securityAlt;
  inputs.altAboveTarget = kFreshInputs.altAboveTarget;
  inputs.tgtLatSet = kFreshInputs.tgtLatSet;
  inputs.tgtLngSet = kFreshInputs.tgtLngSet;
  inputs.tgtLatDeg = kFreshInputs.tgtLatDeg;
  inputs.tgtLngDeg = kFreshInputs.tgtLngDeg;
  tgtLat = tgtLng = 0;
  targetBase = nullptr;
  flightSolValid = false;
  plan.groundSolValid = false;
  inAntipodeBand = false;
  pitchLaw = PitchLawState{};
}

// Reads the mode, the position and the body afresh from the focus vessel,
// then starts from defaults. The engine flags are left alone: a focus change
// sets them before, the reset key keeps them.
void ArvexMFD::ResetFromVessel() {
  // With no vessel in focus (the host focused an object that is not a
  // vessel) there is nothing to read: the display stays as it is.
  VESSEL* focus = moduleState.focusVessel;
  if (focus == nullptr) return;
  // Only a grounded vessel's position is a launch point.
  if (focus->GroundContact()) {
    ReadPosition();
    inputs.flightMode = 0;
  } else {
    inputs.flightMode = 1;
  }
  ReadBody();
  // The last velocity sample may belong to another vessel (a focus change):
  // the next grounded step only takes a fresh one.
  prevRelVelFresh = false;
  ResetParameters();
  ResetSolution();
}

// English unless "LANGUAGE" in the configuration file holds a non-zero
// integer. A missing file, an absent item or one the host's reader cannot
// read as an integer all give English.
bool ArvexMFD::ReadLanguage() { return ReadConfigInt(kLanguageItem) == 0; }

// The in-flight aim point leads the body's rotation when "AIM_LEAD" holds a
// non-zero integer; otherwise (and by default) it is where the target is now.
bool ArvexMFD::ReadAimLead() { return ReadConfigInt(kAimLeadItem) != 0; }

// A target is complete when a base was chosen or both coordinates are there.
bool ArvexMFD::TargetComplete() const {
  return targetBase != nullptr || (inputs.tgtLatSet && inputs.tgtLngSet);
}

}  // namespace arvex
