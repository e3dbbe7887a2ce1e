// Lobarc Launch: the display mode instance and the module-level state.
//
// One ArvexMFD exists per cockpit display showing the mode; the host builds
// it through MsgProc and owns it. ModuleState is the module's one record of
// shared state: the instances the hooks work on, the focus vessel, the pens and
// the parameters one instance leaves for the next.
#pragma once

#include "constants.h"
#include "host_sdk.h"

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
};

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
  DialogTicket dialogTickets[kMaxDialogTickets];  // one per open input dialog
};

// The one copy, zero at load (static storage).
extern ModuleState moduleState;

// Detaches every open dialog of an instance; run by its destructor.
void ReleaseDialogTickets(ArvexMFD* instance);

class ArvexMFD : public MFD {
 public:
  // Called by MsgProc when the host opens a display in this mode.
  ArvexMFD(DWORD w, DWORD h, VESSEL* vessel);
  // Called by the host when the display leaves the mode or is rebuilt.
  ~ArvexMFD() override;

  // --- display (pages, indicator) -------------------------------------
  // Called by the host at every refresh of the display.
  void Update(HDC hDC) override;
  void DrawIndicator(HDC hDC);
  void DrawRing(HDC hDC, int x, int y, double angle);

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
  void RestoreParameters();
  void InitTargetAndPosition();
  void ReadPosition();
  void ResetSolution();
  void ResetParameters();
  void ResetFromVessel();
  bool ReadLanguage();

  // --- ground plan ----------------------------------------------------
  void RecomputePlan();
  void ComputeGroundSolution();
  bool ComputeHeading();
  VECTOR3 ComputeLaunchVelocity();
  VECTOR3 PlanetToGlobal(const VECTOR3& v);
  bool TargetComplete() const;

  // --- guidance in flight and during the burn -------------------------
  // Body of opcPostStep, past its gate.
  void PostStep(double simdt);
  void UpdatePitchCommand(double dt, double thrusting);
  double BurnPitchCommand(double dt);
  double Thrusting() const;
  void ProposePitchNow();
  bool SolveInFlight();

  // Fields, in the order of the instance's data model. Angles ending in Deg
  // are degrees (module factor), their twins radians.
  bool tgtLatSet;          // a target latitude was entered (or a base chosen)
  bool tgtLngSet;          // a target longitude was entered (or a base chosen)
  double pitchGainP;       // [deg/deg] proportional gain of the burn pitch law
  double pitchGainI;       // [1/s] integral gain
  double pitchGainD;       // [s] derivative gain
  double pitchIntegral;    // [deg s]
  double lastPitchCmd;     // [deg] the burn law's last command
  double prevPitchCmd;     // [deg] the command before that
  OBJHANDLE refBody;       // the body the vessel stands on or flies over
  double bodyRadius;       // [m]
  double bodyMass;         // [kg]
  double surfaceGravity;   // [m/s^2]
  double heading;          // [deg] launch azimuth from north through east
  double launchAngle;      // [deg] planned elevation of the launch velocity
  double launchSpeed;      // [m/s] with its 2 % margin
  double dvRemaining;      // [m/s]
  double vTan;             // [m/s] speed at apoapsis
  double apoAltitude;      // [m] above bodyRadius
  VECTOR3 launchVelocity;  // [m/s] global frame
  bool groundSolValid;     // the ground plan's fields hold a plan
  VECTOR3 reqVel;          // [m/s] global frame, relative to refBody
  double dvToGo;           // [m/s]
  bool flightSolValid;     // reqVel holds an in-flight solution
  int flightPage;          // 0 = page 1/2, 1 = page 2/2
  bool solverStarted;      // the cold solve (both passes) has been done
  int searchDir;           // +1 near side, -1 far side
  double solverParam;      // crossing parameter b kept between solves (a ratio, no unit)
  double flightPathAngle;  // [deg]
  double actualPitch;      // [deg]
  double pitchCmd;         // [deg]
  bool launchPitchSet;     // the pre-burn proposal for this plan and engine is made
  VECTOR3 prevRelVel;      // [m/s] global frame
  bool hasMain;            // the vessel has main engines
  bool hasHover;           // the vessel has hover engines
  bool useMainEngine;      // main engine chosen, else hover
  int flightMode;          // 0 grounded planning, 1 in-flight correction
  unsigned int width;      // [pixel]
  unsigned int height;     // [pixel]
  int lineHeight;          // [pixel]
  int cursorY;             // [pixel]
  int column2X;            // [pixel]
  int marginX;             // [pixel]
  int frameMargin;         // [pixel]
  bool english;            // texts in English, else French
  OBJHANDLE targetBase;    // the base chosen by name, or null
  double securityAlt;      // [m]
  double ownLatDeg;        // [deg]
  double ownLngDeg;        // [deg]
  double tgtLatDeg;        // [deg]
  double tgtLngDeg;        // [deg]
  double tgtLat;           // [rad]
  double ownLat;           // [rad]
  double tgtLng;           // [rad]
  double ownLng;           // [rad]
  double altAboveTarget;   // [m]
  VECTOR3 relPos;          // [m] global frame, relative to refBody

  // --- state beyond the data model (each says why) ----------------------
  // prevRelVel is a sample from the grounded step just before; otherwise
  // the next grounded step only takes a fresh sample, so that a stretch in
  // flight or another vessel's velocity is never counted as burn.
  bool prevRelVelFresh;
  // Every open display of the mode is served by the hooks, not only the one
  // built last: the instances form a list from moduleState.firstInstance.
  ArvexMFD* nextInstance;
};

}  // namespace arvex
