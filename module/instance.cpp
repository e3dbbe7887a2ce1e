// Lobarc Launch: the display instance's life. Construction from the focus
// vessel and the parameters a previous instance left, destruction that leaves
// them for the next one, and the three resets.
#include "module/ArvexMFD.h"
#include "planning/burn_guidance.h"

namespace arvex {

namespace {

// Defaults of the pilot's altitudes.
constexpr double kDefaultSecurityAlt = 40000.0;    // [m]
constexpr double kDefaultAltAboveTarget = 5000.0;  // [m]

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

const VECTOR3 kZero = {{0.0, 0.0, 0.0}};

}  // namespace

// A display the host does not name shares the one record of the last
// destroyed instance.
ArvexMFD::ArvexMFD(DWORD w, DWORD h, VESSEL* vessel) : ArvexMFD(w, h, vessel, 0, false) {}

// Built by MsgProc when the host opens a display in this mode. Every field
// gets a value, at its declaration or here: the host allocates the instance
// without clearing it.
ArvexMFD::ArvexMFD(DWORD w, DWORD h, VESSEL* vessel, UINT display, bool known)
    : MFD(w, h, vessel),
      pitchGainP(kPitchGains.p),
      pitchGainI(kPitchGains.i),
      pitchGainD(kPitchGains.d),
      securityAlt(kDefaultSecurityAlt),
      altAboveTarget(kDefaultAltAboveTarget),
      displayKnown(known),
      displayIndex(display) {
  // Hooks off: the per-step hook keeps off this instance until it is
  // complete; it joins the list of live instances at the end.
  moduleState.hooksEnabled = false;

  // Layout: unsigned divisions that drop the remainder. Both sizes are
  // 16-bit halves of the host's message parameter, so they fit an int.
  height = h;
  width = w;
  column2X = static_cast<int>(w / 2);
  lineHeight = static_cast<int>(h / 28);
  marginX = 3;

  // Language and aim, read afresh at every construction.
  english = ReadLanguage();
  aimLead = ReadAimLead();

  // Vessel: everything the module asks of a vessel it asks of the focus
  // vessel;
  // the vessel passed by the host goes to the base class, and stands in only
  // while the host names no focus vessel (MsgProc builds no instance
  // without either).
  moduleState.focusVessel = oapiGetFocusInterface();
  if (moduleState.focusVessel == nullptr) moduleState.focusVessel = vessel;
  VESSEL* focus = moduleState.focusVessel;

  // The body under the vessel, and its surface gravity [m/s^2].
  refBody = focus->GetSurfaceRef();
  bodyMass = oapiGetMass(refBody);
  bodyRadius = oapiGetSize(refBody);
  surfaceGravity = kGravConst * bodyMass / (bodyRadius * bodyRadius);

  // Engines; the main engine is chosen whenever there is one.
  hasMain = focus->GetThrusterGroupHandle(THGROUP_MAIN) != nullptr;
  useMainEngine = hasMain;
  hasHover = focus->GetThrusterGroupHandle(THGROUP_HOVER) != nullptr;

  // The pre-burn pitch proposal is still to be made.
  launchPitchSet = false;

  // Parameters: the pilot's from the previous instance, or defaults
  // with the mode that the vessel's ground contact gives.
  const SavedParameters* saved = ParametersToRestore();
  restored = saved != nullptr;
  if (saved != nullptr) {
    RestoreParameters(*saved);
  } else {
    ResetParameters();
    flightPage = 0;
    flightMode = focus->GroundContact() ? 0 : 1;
  }

  // The pitch controller starts afresh with its gains.
  pitchIntegral = 0;
  pitchGainP = kPitchGains.p;
  pitchGainI = kPitchGains.i;
  pitchGainD = kPitchGains.d;
  lastPitchCmd = 0;
  prevPitchCmd = 0;

  // The first burn-count step compares against this velocity.
  focus->GetRelativeVel(refBody, prevRelVel);

  // First-time target and position (nothing when restored).
  InitTargetAndPosition();

  // A restored complete target gets its plan again: the solution
  // itself is never saved. The burn count goes on where the same vessel
  // flies the same plan.
  if (saved != nullptr && TargetComplete()) {
    RecomputePlan();
    KeepBurnCountOfSamePlan(*saved);
  }
  // A new run of closings begins with the next destruction.
  moduleState.closeRunOpen = false;

  // Hooks on: the instance is complete, and the hooks serve it from
  // now on, beside every other open display of the mode.
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
  const bool samePlan = flightMode == 0 && saved.flightMode == 0 && groundSolValid &&
                        saved.groundSolValid && saved.vessel == moduleState.focusVessel &&
                        saved.refBody == refBody && saved.ownLatDeg == ownLatDeg &&
                        saved.ownLngDeg == ownLngDeg && saved.tgtLatDeg == tgtLatDeg &&
                        saved.tgtLngDeg == tgtLngDeg && saved.securityAlt == securityAlt;
  if (samePlan) dvRemaining = saved.dvRemaining;
}

// The pilot's inputs go to the module state for the next instance, and to
// the record of this display.
void ArvexMFD::SaveParameters() {
  SavedParameters& saved = moduleState.savedParameters;
  // Target, altitudes, position and mode.
  saved.tgtLatSet = tgtLatSet;
  saved.tgtLngSet = tgtLngSet;
  saved.securityAlt = securityAlt;
  saved.ownLatDeg = ownLatDeg;
  saved.ownLngDeg = ownLngDeg;
  saved.tgtLatDeg = tgtLatDeg;
  saved.tgtLngDeg = tgtLngDeg;
  saved.flightMode = flightMode;
  saved.altAboveTarget = altAboveTarget;
  // The count of the mode in use; the other mode's values stay as saved
  // earlier.
  if (flightMode == 0) {
    saved.dvRemaining = dvRemaining;
  } else if (flightMode == 1) {
    saved.flightPage = flightPage;
    saved.dvToGo = dvToGo;
  }
  // The engine choice, whatever the mode, and whose they were.
  saved.useMainEngine = useMainEngine;
  saved.vessel = moduleState.focusVessel;
  saved.groundSolValid = groundSolValid;
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

// The previous instance's inputs come back. Radians are derived again from
// the degrees that were saved.
void ArvexMFD::RestoreParameters(const SavedParameters& saved) {
  // A base chosen by name comes back as its coordinates.
  targetBase = nullptr;
  // Target flags, altitudes [m] and the burn count [m/s] as saved.
  tgtLatSet = saved.tgtLatSet;
  tgtLngSet = saved.tgtLngSet;
  securityAlt = saved.securityAlt;
  altAboveTarget = saved.altAboveTarget;
  dvRemaining = saved.dvRemaining;
  // Position: the launch point is where the focus vessel is now. Only the vessel
  // that saved it, still in flight, keeps it: a display rebuilt during the
  // launch burn goes on with the plan being flown. Another vessel (a focus
  // change with no display open), or one that has landed since, would be
  // planned from a point it does not stand on, even on another body.
  const VESSEL* focus = moduleState.focusVessel;
  if (saved.vessel == focus && !focus->GroundContact()) {
    ownLatDeg = saved.ownLatDeg;
    ownLat = ownLatDeg / kDegPerRad;
    ownLngDeg = saved.ownLngDeg;
    ownLng = ownLngDeg / kDegPerRad;
  } else {
    ReadPosition();
    // Another vessel's record read in flight gives the point passed over,
    // not where the vessel will launch from.
    positionStale = saved.vessel != focus && !focus->GroundContact();
  }
  tgtLatDeg = saved.tgtLatDeg;
  tgtLat = tgtLatDeg / kDegPerRad;
  tgtLngDeg = saved.tgtLngDeg;
  tgtLng = tgtLngDeg / kDegPerRad;
  // The mode is restored as it was, not compared with ground contact.
  flightMode = saved.flightMode;
  // In flight the page comes back, and the solution is found again; the
  // validity is the solver's own answer, so that no solution is claimed that
  // was not found.
  if (flightMode == 1) {
    flightPage = saved.flightPage;
    if (tgtLatSet && tgtLngSet) flightSolValid = SolveInFlight();
    dvToGo = saved.dvToGo;
  }
  // The engine choice comes back where the vessel has that engine;
  // otherwise it stays the one construction chose from the vessel's engines
  // (ENG could not change it: it needs both).
  if (saved.useMainEngine ? hasMain : hasHover) useMainEngine = saved.useMainEngine;
}

// The point under the focus vessel, on the ground or not; the radius is not
// kept.
void ArvexMFD::ReadPosition() {
  double radius = 0;
  moduleState.focusVessel->GetEquPos(ownLng, ownLat, radius);
  ownLatDeg = ownLat * kDegPerRad;
  ownLngDeg = ownLng * kDegPerRad;
  positionStale = false;
}

// First-time target, altitudes and vessel position, for an instance that
// restores nothing.
void ArvexMFD::InitTargetAndPosition() {
  if (restored) return;
  // No target, default altitudes.
  tgtLatSet = false;
  tgtLngSet = false;
  targetBase = nullptr;
  ownLatDeg = ownLngDeg = tgtLatDeg = tgtLngDeg = 0;
  tgtLat = ownLat = tgtLng = ownLng = 0;
  securityAlt = kDefaultSecurityAlt;
  altAboveTarget = kDefaultAltAboveTarget;
  // No position or velocity sample yet.
  relPos = kZero;
  prevRelVel = kZero;
  // The point under the vessel, on the ground or not.
  ReadPosition();
}

// Clears the solution, the pitch controller and the solver state, and the
// parameters kept for the next instance.
void ArvexMFD::ResetSolution() {
  // The plan's numbers, the required velocity and the pitch law's
  // memory.
  heading = launchAngle = launchSpeed = dvRemaining = vTan = apoAltitude = 0;
  reqVel = kZero;
  pitchIntegral = lastPitchCmd = prevPitchCmd = 0;
  // No solution in either mode; the solver and the pitch proposal start
  // over.
  groundSolValid = false;
  launchPitchSet = false;
  RestartSearch();
  flightSolValid = false;
  inAntipodeBand = false;
  // The saved parameters go back to their defaults; the saved mode, page,
  // dvToGo and engine are kept. This display's own record goes too; the
  // other displays keep theirs.
  if (displayKnown) {
    if (DisplayRecord* own = FindDisplayRecord(displayIndex)) own->valid = false;
  }
  moduleState.savedValid = false;
  SavedParameters& saved = moduleState.savedParameters;
  saved.tgtLatSet = false;
  saved.tgtLngSet = false;
  saved.securityAlt = kDefaultSecurityAlt;
  saved.altAboveTarget = kDefaultAltAboveTarget;
  saved.ownLatDeg = saved.ownLngDeg = saved.tgtLatDeg = saved.tgtLngDeg = 0;
  saved.dvRemaining = 0;
  moduleState.hooksEnabled = true;
}

// The planning parameters go back to their defaults; the vessel position and
// the solution values stay.
void ArvexMFD::ResetParameters() {
  // Default altitudes, no target.
  securityAlt = kDefaultSecurityAlt;
  altAboveTarget = kDefaultAltAboveTarget;
  targetBase = nullptr;
  tgtLatSet = false;
  tgtLngSet = false;
  tgtLatDeg = tgtLngDeg = tgtLat = tgtLng = 0;
  // No solution, and the pitch law's memory cleared.
  flightSolValid = false;
  groundSolValid = false;
  inAntipodeBand = false;
  pitchIntegral = lastPitchCmd = prevPitchCmd = 0;
  // Hooks on again.
  moduleState.hooksEnabled = true;
}

// Reads the mode, the position and the body afresh from the focus vessel,
// then starts from defaults. The engine flags are left alone: a focus change
// sets them before, the reset key keeps them.
void ArvexMFD::ResetFromVessel() {
  // With no vessel in focus (the host focused an object that is not a
  // vessel) there is nothing to read: the display stays as it is.
  VESSEL* focus = moduleState.focusVessel;
  if (focus == nullptr) return;
  // Hooks off while the instance is half read.
  moduleState.hooksEnabled = false;
  // Mode and position: only a grounded vessel's position is a launch point.
  if (focus->GroundContact()) {
    double radius = 0;
    focus->GetEquPos(ownLng, ownLat, radius);
    flightMode = 0;
    ownLatDeg = ownLat * kDegPerRad;
    ownLngDeg = ownLng * kDegPerRad;
    positionStale = false;
  } else {
    flightMode = 1;
  }
  // The body under the vessel, as at construction.
  refBody = focus->GetSurfaceRef();
  bodyMass = oapiGetMass(refBody);
  bodyRadius = oapiGetSize(refBody);
  surfaceGravity = kGravConst * bodyMass / (bodyRadius * bodyRadius);
  // The last velocity sample may belong to another vessel (a focus change):
  // the next grounded step only takes a fresh one.
  prevRelVelFresh = false;
  // Defaults for the parameters and the solution.
  ResetParameters();
  ResetSolution();
  // Hooks on again.
  moduleState.hooksEnabled = true;
}

// English unless "LANGUAGE" in the configuration file holds a non-zero
// integer. A missing file, an absent item or one the host's reader cannot
// read as an integer all give English.
bool ArvexMFD::ReadLanguage() { return ReadConfigInt(kLanguageItem) == 0; }

// The in-flight aim point leads the body's rotation when "AIM_LEAD" holds a
// non-zero integer; otherwise (and by default) it is where the target is now.
bool ArvexMFD::ReadAimLead() { return ReadConfigInt(kAimLeadItem) != 0; }

// A target is complete when a base was chosen or both coordinates are there.
bool ArvexMFD::TargetComplete() const { return targetBase != nullptr || (tgtLatSet && tgtLngSet); }

}  // namespace arvex
