// The part of the Orbiter SDK that a cockpit display module compiles against,
// for hosts that are not Windows. The names, shapes and argument lists follow
// the SDK; the functions are implemented by the simulated host library, as
// Orbiter's are exported by orbiter.exe. On Windows orbitersdk.h takes the
// real SDK instead.
//
// Frames and units, as the host defines them:
//  - global frame: left-handed, non-rotating, the reference body at rest at
//    its origin; metres and metres per second;
//  - body-fixed frame: x towards latitude 0 / longitude 0, y towards the north
//    pole, z towards latitude 0 / longitude +90 deg (east);
//  - vessel frame: +x right, +y up, +z forward; GetRotationMatrix turns it into
//    the global frame (its columns are the vessel's axes in global coordinates).
#pragma once

#include <cstddef>
#include <cstdint>

#include "gdi.h"

#if defined(LOBARC_HOST_BUILD)
#define OAPIFUNC __attribute__((visibility("default")))
#else
#define OAPIFUNC
#endif

// Exported, undecorated entry points of a module.
#define DLLCLBK extern "C" __attribute__((visibility("default")))

typedef void* OBJHANDLE;
typedef void* FILEHANDLE;
typedef void* THGROUP_HANDLE;

// Three doubles, x, y, z. The union keeps the SDK's data[] view.
typedef union {
  double data[3];
  struct {
    double x, y, z;
  };
} VECTOR3;

// Nine doubles, row major: m11 m12 m13 / m21 m22 m23 / m31 m32 m33.
typedef union {
  double data[9];
  struct {
    double m11, m12, m13, m21, m22, m23, m31, m32, m33;
  };
} MATRIX3;

inline VECTOR3 _V(double x, double y, double z) {
  VECTOR3 v;
  v.x = x;
  v.y = y;
  v.z = z;
  return v;
}

// Thruster group types (THGROUP_TYPE): main 0, retro 1, hover 2.
enum THGROUP_TYPE {
  THGROUP_MAIN = 0,
  THGROUP_RETRO = 1,
  THGROUP_HOVER = 2,
  THGROUP_ATT_PITCHUP = 3,
  THGROUP_USER = 0x40
};

// Engine types (ENGINETYPE): main 0, retro 1, hover 2.
enum ENGINETYPE { ENGINE_MAIN = 0, ENGINE_RETRO = 1, ENGINE_HOVER = 2, ENGINE_ATTITUDE = 3 };

enum FileAccessMode { FILE_IN = 0, FILE_OUT = 1, FILE_APP = 2, FILE_IN_ZEROONFAIL = 3 };
// Path roots of oapiOpenFile; CONFIG (1) is the host's configuration folder.
enum PathRoot { ROOT = 0, CONFIG = 1, SCENARIOS = 2, TEXTURES = 3, TEXTURES2 = 4, MESHES = 5, MODULES = 6 };

// Messages that the host sends to a display mode's message procedure.
#define OAPI_MSG_MFD_OPENED 1
#define OAPI_MSG_MFD_CLOSED 2
#define OAPI_MSG_MFD_OPENEDEX 4

// The result of a mode's message procedure carries an instance address, so it
// is pointer sized.
typedef LRESULT OAPI_MSGTYPE;
typedef OAPI_MSGTYPE (*MFD_MSGPROC)(UINT msg, UINT mfd, WPARAM wparam, LPARAM lparam);

typedef struct {
  const char* name;    // mode name shown in the display's mode list
  DWORD key;           // selection key (PC keyboard scan code)
  MFD_MSGPROC msgproc;  // called with OAPI_MSG_MFD_OPENED to build an instance
} MFDMODESPEC;

// First parameter of OAPI_MSG_MFD_OPENEDEX: the display size [pixel] and the
// host's copy of the mode's registration.
typedef struct {
  DWORD w, h;
  MFDMODESPEC* spec;
} MFDMODEOPENSPEC;

typedef struct {
  const char* line1;
  const char* line2;
  char selchar;
} MFDBUTTONMENU;

// Input box callback: (box identity, typed text, user data). Returning true
// accepts the text and closes the box; false refuses it and keeps it open.
typedef bool (*KeyFunc)(void* id, char* str, void* usrdata);

// Interface to one vessel of the simulation.
class OAPIFUNC VESSEL {
 public:
  explicit VESSEL(OBJHANDLE hVessel, int fmodel = 1);
  virtual ~VESSEL();

  OBJHANDLE GetHandle() const;
  const char* GetName() const;

  // Body the vessel stands on or flies closest to.
  OBJHANDLE GetSurfaceRef() const;
  // Equatorial position over the surface reference: longitude and latitude
  // [rad], distance from the body centre [m].
  bool GetEquPos(double& longitude, double& latitude, double& radius) const;
  bool GroundContact() const;

  void GetGlobalPos(VECTOR3& pos) const;  // [m], global frame
  void GetGlobalVel(VECTOR3& vel) const;  // [m/s], global frame
  // Position and velocity minus those of hRef, global axes [m], [m/s].
  void GetRelativePos(OBJHANDLE hRef, VECTOR3& pos) const;
  void GetRelativeVel(OBJHANDLE hRef, VECTOR3& vel) const;
  // Velocity relative to the turning surface in the local horizon frame
  // (x east, y up, z north) [m/s]; y is the vertical speed.
  bool GetHorizonAirspeedVector(VECTOR3& v) const;
  // Vessel frame to global frame.
  void GetRotationMatrix(MATRIX3& R) const;

  double GetPitch() const;    // elevation of +z above the local horizon [rad]
  double GetBank() const;     // roll about +z [rad]
  double GetYaw() const;      // heading of +z from north through east [rad]
  double GetAOA() const;      // angle of attack [rad]
  double GetAltitude() const;  // above the body radius [m]
  double GetMass() const;     // [kg]

  double GetMaxThrust(ENGINETYPE eng) const;                    // [N]
  THGROUP_HANDLE GetThrusterGroupHandle(THGROUP_TYPE thg) const;  // null if absent
  double GetThrusterGroupLevel(THGROUP_TYPE thg) const;           // 0..1
  void SetThrusterGroupLevel(THGROUP_TYPE thg, double level);

 protected:
  OBJHANDLE hObj;
};

// Base class of a display mode instance. The virtual operations are declared
// in the SDK's slot order.
class OAPIFUNC MFD {
 public:
  MFD(DWORD w, DWORD h, VESSEL* vessel);
  virtual ~MFD();
  virtual void Update(HDC hDC) = 0;
  virtual bool ConsumeKeyBuffered(DWORD key);
  virtual bool ConsumeKeyImmediate(char* kstate);
  virtual bool ConsumeButton(int bt, int event);
  virtual char* ButtonLabel(int bt);
  virtual int ButtonMenu(const MFDBUTTONMENU** menu) const;
  virtual void ReadStatus(FILEHANDLE scn);
  virtual void WriteStatus(FILEHANDLE scn) const;
  virtual void StoreStatus() const;
  virtual void RecallStatus();

  // Draws the mode's title at the top of the display.
  void Title(HDC hDC, const char* title) const;
  void InvalidateDisplay();
  void InvalidateButtons();

 protected:
  DWORD W, H;   // display size [pixel]
  DWORD cw, ch; // character width and height of the display's font [pixel]
  VESSEL* pV;   // the vessel the host passed at construction
};

extern "C" {
OAPIFUNC int oapiRegisterMFDMode(MFDMODESPEC& spec);
OAPIFUNC bool oapiUnregisterMFDMode(int mode);

OAPIFUNC FILEHANDLE oapiOpenFile(const char* fname, FileAccessMode mode, PathRoot root);
OAPIFUNC void oapiCloseFile(FILEHANDLE f, FileAccessMode mode);
OAPIFUNC bool oapiReadItem_int(FILEHANDLE f, const char* item, int& val);

OAPIFUNC void oapiOpenInputBox(const char* title, KeyFunc Clbk, const char* buf, int vislen,
                               void* usrdata);

OAPIFUNC OBJHANDLE oapiGetFocusObject();
OAPIFUNC VESSEL* oapiGetFocusInterface();
OAPIFUNC VESSEL* oapiGetVesselInterface(OBJHANDLE hVessel);

OAPIFUNC double oapiGetMass(OBJHANDLE hObj);  // [kg]
OAPIFUNC double oapiGetSize(OBJHANDLE hObj);  // mean radius [m]
OAPIFUNC void oapiGetObjectName(OBJHANDLE hObj, char* name, int n);

OAPIFUNC OBJHANDLE oapiGetBaseByName(OBJHANDLE hPlanet, const char* name);
OAPIFUNC void oapiGetBaseEquPos(OBJHANDLE hBase, double* lng, double* lat, double* rad);

// Obliquity matrix and current rotation angle [rad]: a body-fixed vector
// turned about y by the angle, then multiplied by the matrix, is global.
OAPIFUNC void oapiGetPlanetObliquityMatrix(OBJHANDLE hPlanet, MATRIX3* mat);
OAPIFUNC double oapiGetPlanetCurrentRotation(OBJHANDLE hPlanet);

// Library glue: InitLib at library attach; Date2Int turns a build date such as
// "Apr 25 2006" into an integer (this host: yyyymmdd, 20060425; 0 if malformed).
OAPIFUNC void InitLib(HINSTANCE hModule);
OAPIFUNC int Date2Int(const char* date);
}
