// Lobarc Launch: the display mode instance and the module-level state.
//
// One ArvexMFD exists per cockpit display showing the mode; the host builds
// it through MsgProc and owns it. ModuleState is the module's one record of
// shared state: the instances the hooks work on, the focus vessel, the pens and
// the parameters one instance leaves for the next.
#pragma once

#include "display/pilot_inputs.h"
#include "host_sdk.h"
#include "planning/burn_guidance.h"
#include "planning/constants.h"
#include "planning/flight_solver.h"
#include "planning/ground_plan.h"

namespace arvex {

class ArvexMFD;

// What a destroyed instance leaves for the next one: the pilot's inputs
// (saved whole; the next instance corrects what no longer fits its vessel)
// and the counts of the plan or correction in hand.
struct SavedParameters {
  PilotInputs inputs;
  double dvRemaining;  // [m/s] saved in grounded mode only
  double dvToGo;       // [m/s] saved in flight mode only
  // The focus vessel of the display that saved them, only compared: its
  // launch point is kept for the next display only while that is still the
  // focus vessel and in flight.
  const VESSEL* vessel;
  // The plan the burn count belongs to: a grounded plan existed, on this
  // body. A display rebuilt on the same vessel and plan counts on.
  bool groundSolValid;
  OBJHANDLE refBody;
};

// Orbiter names the display it builds and closes (0..11 in the cockpit, an
// address for an external window) and closes every display before it
// reopens any (a change of view or panel, a focus change). So each display
// keeps what its last instance left: after such a rebuild every display
// finds its own inputs, not those of whichever closed last.
struct DisplayRecord {
  bool valid;              // params hold what the display's last instance left
  UINT display;            // the display's index, as MsgProc was told
  unsigned closeRun;       // the run of closings it was saved in
  unsigned age;            // when it was saved, to replace the oldest when full
  SavedParameters params;  // what it left
};
constexpr int kMaxDisplayRecords = 16;

// Dialogs opened by an instance refer to it through a ticket owned by the
// module, so that a callback arriving after the instance was destroyed finds
// an empty ticket instead of a dangling instance.
struct DialogTicket {
  ArvexMFD* instance;   // null once the instance is destroyed or the dialog answered
  unsigned generation;  // bumped at each reuse, so an old dialog cannot match a new ticket
};
constexpr int kMaxDialogTickets = 32;

struct ModuleState {
  bool hooksEnabled;                // opcPostStep may work on the live instances
  HPEN greenPen;                    // solid, width 1 [pixel], 0x00FF00
  HPEN whitePen;                    // solid, width 1 [pixel], 0xFFFFFF
  int modeId;                       // identifier of the registered mode
  ArvexMFD* firstInstance;          // live instances, linked in build order (not owned)
  bool savedValid;                  // savedParameters holds a destroyed instance's inputs
  VESSEL* focusVessel;              // every vessel query goes here
  void (*exitHook)(HINSTANCE);      // found by name at library attach
  int moduleVersion;                // cached Date2Int result (a date as a number), 0 until computed
  SavedParameters savedParameters;  // the last destroyed instance's inputs
  // Each display's own inputs. A run of closings is the closings between
  // two constructions; a display finds its own record only when it was
  // closed in the latest run, otherwise the last destroyed instance's
  // inputs, as with a single display.
  DisplayRecord displayRecords[kMaxDisplayRecords];
  unsigned closeRun;   // the latest run of closings, counted from 1
  bool closeRunOpen;   // no instance has been built since that run's last closing
  unsigned recordAge;  // ages handed out to records
  DialogTicket dialogTickets[kMaxDialogTickets];  // one per open input dialog
};

// The one copy, zero at load (static storage).
extern ModuleState moduleState;

// Detaches every open dialog of an instance; run by its destructor.
void ReleaseDialogTickets(ArvexMFD* instance);
// Forgets every display's own inputs (a focus change: they were the old
// vessel's).
void ForgetDisplayRecords();

class ArvexMFD : public MFD {
 public:
  // Called by MsgProc when the host opens a display in this mode.
  ArvexMFD(DWORD w, DWORD h, VESSEL* vessel);
  // The same for a display that the host names (MsgProc's display index),
  // when displayKnown.
  ArvexMFD(DWORD w, DWORD h, VESSEL* vessel, UINT display, bool displayKnown);
  // Called by the host when the display leaves the mode or is rebuilt.
  ~ArvexMFD() override;

  // --- display (pages, indicator) -------------------------------------
  // Called by the host at every refresh of the display.
  void Update(HDC hDC) override;
  void DrawIndicator(HDC hDC);

  // --- buttons, keys and entry ----------------------------------------
  // Called by the host for a key pressed while the display has the focus.
  bool ConsumeKeyBuffered(DWORD key) override;
  // Called by the host for a button press or release.
  bool ConsumeButton(int bt, int event) override;
  char* ButtonLabel(int bt) override;
  int ButtonMenu(const MFDBUTTONMENU** menu) const override;
  bool SetTargetByName(const char* text);
  bool SetTargetLatitude(const char* text);
  bool SetTargetLongitude(const char* text);
  bool SetSecurityAltitude(const char* text);
  bool SetAltitudeAboveTarget(const char* text);
  void OpenDialog(const char* title, InputCallback callback);

  // --- instance life and saved state ----------------------------------
  void SaveParameters();
  void RestoreParameters(const SavedParameters& saved);
  const SavedParameters* ParametersToRestore() const;
  void KeepBurnCountOfSamePlan(const SavedParameters& saved);
  void ReadPosition();
  void ReadBody();
  void ResetSolution();
  void ResetParameters();
  void ResetFromVessel();
  bool ReadLanguage();
  bool ReadAimLead();

  // --- ground plan ----------------------------------------------------
  void RecomputePlan();
  VECTOR3 PlanetToGlobal(const VECTOR3& v);
  VECTOR3 AimPoint();
  bool TargetComplete() const;

  // --- guidance in flight and during the burn -------------------------
  // Body of opcPostStep, past its gate.
  void PostStep(double simdt);
  void UpdatePitchCommand(double dt, double thrusting);
  double BurnPitchCommand(double dt);
  double Thrusting() const;
  void ProposePitchNow();
  bool SolveInFlight();
  // A new target, mode or vessel: the in-flight search starts from its cold
  // solve again.
  void RestartSearch();

  // The instance's state. The pure functions' own records keep their
  // values between calls; the rest is what the host and the burn give the
  // instance. Angles ending in Deg are degrees (module factor), their twins
  // radians.
  PilotInputs inputs = kFreshInputs;    // the target, altitudes, launch point, mode, engine
  double tgtLat = 0;                    // [rad] inputs.tgtLatDeg over the module factor
  double tgtLng = 0;                    // [rad]
  double ownLat = 0;                    // [rad] inputs.ownLatDeg over the module factor
  double ownLng = 0;                    // [rad]
  OBJHANDLE targetBase = nullptr;       // the base chosen by name, or null
  GroundPlan plan;                      // the ground launch plan and its burn count
  PitchGains pitchGains = kPitchGains;  // the burn pitch law's gains
  PitchLawState pitchLaw;               // the burn pitch law's memory
  FlightSearchState search;             // the in-flight search and its answer reqVel
  double dvToGo = 0;                    // [m/s]
  bool flightSolValid = false;          // search.reqVel holds an in-flight solution
  OBJHANDLE refBody = nullptr;          // the body the vessel stands on or flies over
  double bodyRadius = 0;                // [m]
  double bodyMass = 0;                  // [kg]
  double surfaceGravity = 0;            // [m/s^2]
  double flightPathAngle = 0;           // [deg]
  double actualPitch = 0;               // [deg]
  double pitchCmd = 0;                  // [deg]
  bool launchPitchSet = false;          // the pre-burn proposal for this plan and engine is made
  VECTOR3 prevRelVel = _V(0, 0, 0);     // [m/s] global frame
  VECTOR3 relPos = _V(0, 0, 0);         // [m] global frame, relative to refBody, at the last solve
  bool hasMain = false;                 // the vessel has main engines
  bool hasHover = false;                // the vessel has hover engines
  unsigned int width = 0;               // [pixel]
  unsigned int height = 0;              // [pixel]
  // [pixel] h/28, kept for the plan record only: the pages scale from their
  // 290-pixel layout and no longer draw with it.
  int lineHeight = 0;
  // [pixel] the last row the latest redraw used; nothing reads it since the
  // pages are laid out whole at each redraw.
  int cursorY = 0;
  int column2X = 0;      // [pixel]
  int marginX = 3;       // [pixel]
  int frameMargin = 0;   // [pixel] of the indicator, set at each redraw
  bool english = true;   // texts in English, else French
  bool aimLead = false;  // the aim point leads the body's rotation ("AIM_LEAD")

  // --- bookkeeping of displays and rebuilds (each says why) -------------
  // prevRelVel is a sample from the grounded step just before; otherwise
  // the next grounded step only takes a fresh sample, so that a stretch in
  // flight or another vessel's velocity is never counted as burn.
  bool prevRelVelFresh = false;
  // Every open display of the mode is served by the hooks, not only the one
  // built last: the instances form a list from moduleState.firstInstance.
  ArvexMFD* nextInstance = nullptr;
  // The display the host built this instance for, when it named one: its
  // inputs are kept for it alone through a rebuild of every display.
  bool displayKnown;
  UINT displayIndex;
  // ownLat/ownLng are no launch point of the focus vessel: they were read
  // from another vessel, or from the new focus vessel in flight. The switch
  // to grounded planning reads the position afresh then.
  bool positionStale = false;
  // The last solve found the vessel near the antipode of the aim point,
  // where no correction is computed: the one shown stands, and the first
  // found past the band is shown even if the plan was made inside it.
  bool inAntipodeBand = false;
};

}  // namespace arvex
