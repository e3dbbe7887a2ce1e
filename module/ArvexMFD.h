// Lobarc Launch: the display mode instance and the module-level state.
//
// One ArvexMFD exists per cockpit display showing the mode; the host builds
// it through MsgProc and owns it. ModuleState is the module's one record of
// shared state: the instances the hooks work on, the focus vessel, the pens and
// the parameters one instance leaves for the next.
#pragma once

#include "host_sdk.h"
#include "planning/constants.h"

namespace arvex {

class ArvexMFD;

// The pilot's inputs carried from a destroyed instance to the next one.
struct SavedParameters {
  bool tgtLatSet;         // a target latitude was entered
  bool tgtLngSet;         // a target longitude was entered
  double securityAlt;     // [m]
  double altAboveTarget;  // [m]
  double ownLatDeg;       // [deg, module factor]
  double ownLngDeg;       // [deg, module factor]
  double tgtLatDeg;       // [deg, module factor]
  double tgtLngDeg;       // [deg, module factor]
  double dvRemaining;     // [m/s] saved in grounded mode only
  int flightMode;         // 0 grounded planning, 1 in-flight correction
  int flightPage;         // 0 = page 1/2, 1 = page 2/2; saved in flight mode only
  double dvToGo;          // [m/s] saved in flight mode only
  bool useMainEngine;     // main engine chosen, else hover
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
  void InitTargetAndPosition();
  void ReadPosition();
  void ResetSolution();
  void ResetParameters();
  void ResetFromVessel();
  bool ReadLanguage();
  bool ReadAimLead();

  // --- ground plan ----------------------------------------------------
  void RecomputePlan();
  void ComputeGroundSolution();
  bool ComputeHeading();
  VECTOR3 ComputeLaunchVelocity();
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

  // The instance's state, under the names an add-on's reader knows from the
  // pages. Angles ending in Deg are degrees (module factor), their twins
  // radians.
  bool tgtLatSet = false;                // a target latitude was entered (or a base chosen)
  bool tgtLngSet = false;                // a target longitude was entered (or a base chosen)
  double pitchGainP;                     // [deg/deg] proportional gain of the burn pitch law
  double pitchGainI;                     // [1/s] integral gain
  double pitchGainD;                     // [s] derivative gain
  double pitchIntegral = 0;              // [deg s]
  double lastPitchCmd = 0;               // [deg] the burn law's last command
  double prevPitchCmd = 0;               // [deg] the command before that
  OBJHANDLE refBody = nullptr;           // the body the vessel stands on or flies over
  double bodyRadius = 0;                 // [m]
  double bodyMass = 0;                   // [kg]
  double surfaceGravity = 0;             // [m/s^2]
  double heading = 0;                    // [deg] launch azimuth from north through east
  double launchAngle = 0;                // [deg] planned elevation of the launch velocity
  double launchSpeed = 0;                // [m/s] with its 2 % margin
  double dvRemaining = 0;                // [m/s]
  double vTan = 0;                       // [m/s] speed at apoapsis
  double apoAltitude = 0;                // [m] above bodyRadius
  VECTOR3 launchVelocity = _V(0, 0, 0);  // [m/s] global frame
  bool groundSolValid = false;           // the ground plan's fields hold a plan
  VECTOR3 reqVel = _V(0, 0, 0);          // [m/s] global frame, relative to refBody
  double dvToGo = 0;                     // [m/s]
  bool flightSolValid = false;           // reqVel holds an in-flight solution
  int flightPage = 0;                    // 0 = page 1/2, 1 = page 2/2
  bool solverStarted = false;            // the cold solve (both passes) has been done
  int searchDir = +1;                    // +1 near side, -1 far side
  double solverParam = 0;            // crossing parameter b kept between solves (a ratio, no unit)
  double flightPathAngle = 0;        // [deg]
  double actualPitch = 0;            // [deg]
  double pitchCmd = 0;               // [deg]
  bool launchPitchSet = false;       // the pre-burn proposal for this plan and engine is made
  VECTOR3 prevRelVel = _V(0, 0, 0);  // [m/s] global frame
  bool hasMain = false;              // the vessel has main engines
  bool hasHover = false;             // the vessel has hover engines
  bool useMainEngine = false;        // main engine chosen, else hover
  int flightMode = 0;                // 0 grounded planning, 1 in-flight correction
  unsigned int width = 0;            // [pixel]
  unsigned int height = 0;           // [pixel]
  // [pixel] h/28, kept for the plan record only: the pages scale from their
  // 290-pixel layout and no longer draw with it.
  int lineHeight = 0;
  int cursorY = 0;                  // [pixel]
  int column2X = 0;                 // [pixel]
  int marginX = 0;                  // [pixel]
  int frameMargin = 0;              // [pixel]
  bool english = true;              // texts in English, else French
  bool aimLead = false;             // the aim point leads the body's rotation ("AIM_LEAD")
  VECTOR3 solverAim = _V(0, 0, 0);  // [m] global frame: the aim point of reqVel's conic
  OBJHANDLE targetBase = nullptr;   // the base chosen by name, or null
  double securityAlt;               // [m]
  double ownLatDeg = 0;             // [deg]
  double ownLngDeg = 0;             // [deg]
  double tgtLatDeg = 0;             // [deg]
  double tgtLngDeg = 0;             // [deg]
  double tgtLat = 0;                // [rad]
  double ownLat = 0;                // [rad]
  double tgtLng = 0;                // [rad]
  double ownLng = 0;                // [rad]
  double altAboveTarget;            // [m]
  VECTOR3 relPos = _V(0, 0, 0);     // [m] global frame, relative to refBody

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
  // Built from saved parameters (first-time values are not set then).
  bool restored = false;
  // The last solve found the vessel near the antipode of the aim point,
  // where no correction is computed: the one shown stands, and the first
  // found past the band is shown even if the plan was made inside it.
  bool inAntipodeBand = false;
};

}  // namespace arvex
