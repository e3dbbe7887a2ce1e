// The part of Orbiter's OrbiterAPI.h that a cockpit display module compiles
// against. Every name, type and argument list is the SDK's own (including its
// non-const char* parameters), so code written against this header compiles
// unchanged against Orbiter's headers. vessel_api.h and mfd_api.h (the SDK's VesselAPI.h and
// MFDAPI.h) hold the two classes, as in the SDK.
//
// The functions are implemented by a host: the simulated host library on
// Linux, the test host executable on Windows (built with OAPI_IMPLEMENTATION,
// as orbiter.exe is).
//
// Frames and units, as the host defines them:
//  - global frame: left-handed, non-rotating; metres and metres per second;
//  - body-fixed frame: x towards latitude 0 / longitude 0, y towards the north
//    pole, z towards latitude 0 / longitude +90 deg (east);
//  - vessel frame: +x right, +y up, +z forward; GetRotationMatrix turns it into
//    the global frame (its columns are the vessel's axes in global coordinates).
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include "gdi.h"
#endif

#include <math.h>

#if defined(_WIN32)
#define DLLEXPORT __declspec(dllexport)
#define DLLIMPORT __declspec(dllimport)
#define DLLCLBK extern "C" __declspec(dllexport)
#ifdef OAPI_IMPLEMENTATION
#define OAPIFUNC DLLEXPORT
#else
#define OAPIFUNC DLLIMPORT
#endif
#else
// A shared library's visible names: the host exports, a module sees them.
#define DLLEXPORT __attribute__((visibility("default")))
#define DLLIMPORT
#define DLLCLBK extern "C" __attribute__((visibility("default")))
#if defined(OAPI_IMPLEMENTATION) || defined(LOBARC_HOST_BUILD)
#define OAPIFUNC DLLEXPORT
#else
#define OAPIFUNC DLLIMPORT
#endif
#endif

// Result of a mode's message procedure. It carries an instance address, so
// the SDK makes it pointer sized on 64-bit Windows and keeps int on 32-bit
// Windows; a host that is not Windows is taken as 64-bit.
#if defined(_WIN64) || !defined(_WIN32)
#define OAPI_MSGTYPE LRESULT
#else
#define OAPI_MSGTYPE int
#endif

typedef void* OBJHANDLE;
typedef void* FILEHANDLE;
typedef void* THGROUP_HANDLE;

// Three doubles, x, y, z, with the array view data[].
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

typedef enum { FILE_IN, FILE_OUT, FILE_APP, FILE_IN_ZEROONFAIL } FileAccessMode;
// Path roots of oapiOpenFile; CONFIG is the host's configuration folder.
typedef enum { ROOT, CONFIG, SCENARIOS, TEXTURES, TEXTURES2, MESHES, MODULES } PathRoot;

// Default thruster groups by their old name: main 0, retro 1, hover 2.
typedef enum { ENGINE_MAIN, ENGINE_RETRO, ENGINE_HOVER, ENGINE_ATTITUDE } ENGINETYPE;

// Thruster group types: main 0, retro 1, hover 2, ...
enum THGROUP_TYPE {
  THGROUP_MAIN,
  THGROUP_RETRO,
  THGROUP_HOVER,
  THGROUP_ATT_PITCHUP,
  THGROUP_USER = 0x40
};

class VESSEL;

// A display mode's record: its name, its selection key (a PC keyboard scan
// code) and its message procedure.
typedef struct {
  char* name;
  DWORD key;
  OAPI_MSGTYPE (*msgproc)(UINT, UINT, WPARAM, LPARAM);
} MFDMODESPEC;

// The same with a pointer handed back in MFDMODEOPENSPEC::spec.
typedef struct {
  char* name;
  DWORD key;
  void* context;
  OAPI_MSGTYPE (*msgproc)(UINT, UINT, WPARAM, LPARAM);
} MFDMODESPECEX;

// Second message parameter of OAPI_MSG_MFD_OPENEDEX: the display's size.
typedef struct {
  int w, h;
  MFDMODESPECEX* spec;
} MFDMODEOPENSPEC;

// One button's help entry. Packed, as the host reads it.
#pragma pack(push, 1)
typedef struct {
  const char *line1, *line2;
  char selchar;
} MFDBUTTONMENU;
#pragma pack(pop)

// Messages that the host sends to a display mode's message procedure.
#define OAPI_MSG_MFD_OPENED 1
#define OAPI_MSG_MFD_CLOSED 2
#define OAPI_MSG_MFD_UPDATE 3
#define OAPI_MSG_MFD_OPENEDEX 4

// --- Vector and matrix operations, inline as in the SDK. -------------------

inline VECTOR3 _V(double x, double y, double z) {
  VECTOR3 vec = {{x, y, z}};
  return vec;
}
inline VECTOR3 operator+(const VECTOR3& a, const VECTOR3& b) {
  return _V(a.x + b.x, a.y + b.y, a.z + b.z);
}
inline VECTOR3 operator-(const VECTOR3& a, const VECTOR3& b) {
  return _V(a.x - b.x, a.y - b.y, a.z - b.z);
}
inline VECTOR3 operator*(const VECTOR3& a, const double f) { return _V(a.x * f, a.y * f, a.z * f); }
inline VECTOR3 operator/(const VECTOR3& a, const double f) { return _V(a.x / f, a.y / f, a.z / f); }
inline VECTOR3& operator+=(VECTOR3& a, const VECTOR3& b) {
  a.x += b.x;
  a.y += b.y;
  a.z += b.z;
  return a;
}
inline VECTOR3& operator-=(VECTOR3& a, const VECTOR3& b) {
  a.x -= b.x;
  a.y -= b.y;
  a.z -= b.z;
  return a;
}
inline VECTOR3& operator*=(VECTOR3& a, const double f) {
  a.x *= f;
  a.y *= f;
  a.z *= f;
  return a;
}
inline VECTOR3& operator/=(VECTOR3& a, const double f) {
  a.x /= f;
  a.y /= f;
  a.z /= f;
  return a;
}
inline VECTOR3 operator-(const VECTOR3& a) { return _V(-a.x, -a.y, -a.z); }
inline double dotp(const VECTOR3& a, const VECTOR3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
// a x b = (a.y b.z - a.z b.y, a.z b.x - a.x b.z, a.x b.y - a.y b.x)
inline VECTOR3 crossp(const VECTOR3& a, const VECTOR3& b) {
  return _V(a.y * b.z - b.y * a.z, a.z * b.x - b.z * a.x, a.x * b.y - b.x * a.y);
}
inline double length(const VECTOR3& a) { return sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }
inline VECTOR3 unit(const VECTOR3& a) { return a / length(a); }
// Matrix (row major) times column vector, and its transpose times the vector.
inline VECTOR3 mul(const MATRIX3& A, const VECTOR3& b) {
  return _V(A.m11 * b.x + A.m12 * b.y + A.m13 * b.z, A.m21 * b.x + A.m22 * b.y + A.m23 * b.z,
            A.m31 * b.x + A.m32 * b.y + A.m33 * b.z);
}
inline VECTOR3 tmul(const MATRIX3& A, const VECTOR3& b) {
  return _V(A.m11 * b.x + A.m21 * b.y + A.m31 * b.z, A.m12 * b.x + A.m22 * b.y + A.m32 * b.z,
            A.m13 * b.x + A.m23 * b.y + A.m33 * b.z);
}

// --- Host functions. --------------------------------------------------------

OAPIFUNC int oapiRegisterMFDMode(MFDMODESPEC& spec);
OAPIFUNC bool oapiUnregisterMFDMode(int mode);

OAPIFUNC FILEHANDLE oapiOpenFile(const char* fname, FileAccessMode mode, PathRoot root = ROOT);
OAPIFUNC void oapiCloseFile(FILEHANDLE file, FileAccessMode mode);
// False, and i untouched, when the item is absent.
OAPIFUNC bool oapiReadItem_int(FILEHANDLE f, char* item, int& i);

// Input box: the host later calls Clbk(box, typed text, usrdata); true
// accepts the text and closes the box, false refuses it and keeps it open.
OAPIFUNC void oapiOpenInputBox(char* title, bool (*Clbk)(void*, char*, void*), char* buf = 0,
                               int vislen = 20, void* usrdata = 0);

OAPIFUNC OBJHANDLE oapiGetFocusObject();
OAPIFUNC VESSEL* oapiGetVesselInterface(OBJHANDLE hVessel);
OAPIFUNC VESSEL* oapiGetFocusInterface();

OAPIFUNC double oapiGetSize(OBJHANDLE hObj);  // mean radius [m]
OAPIFUNC double oapiGetMass(OBJHANDLE hObj);  // [kg]
OAPIFUNC void oapiGetObjectName(OBJHANDLE hObj, char* name, int n);

OAPIFUNC OBJHANDLE oapiGetBaseByName(OBJHANDLE hPlanet, char* name);
// Longitude and latitude [rad], radius [m].
OAPIFUNC void oapiGetBaseEquPos(OBJHANDLE hBase, double* lng, double* lat, double* rad = 0);

// Obliquity matrix and current rotation angle [rad]: a body-fixed vector
// turned about y by the angle, then multiplied by the matrix, is global.
OAPIFUNC void oapiGetPlanetObliquityMatrix(OBJHANDLE hPlanet, MATRIX3* mat);
OAPIFUNC double oapiGetPlanetCurrentRotation(OBJHANDLE hPlanet);
// Sidereal rotation period [s]; the rotation angle grows by 2 pi in it.
OAPIFUNC double oapiGetPlanetPeriod(OBJHANDLE hPlanet);
