// The module's single way into its host: Orbiter's SDK headers (or host/,
// which declares the same names the same way) and the platform's GDI. The
// include path decides which: the build puts either host/ or an Orbitersdk
// include folder on it, and the module's code is the same on both. The
// headers are named in angle brackets so that this file's own folder (host/)
// is not searched first: a build against the real SDK finds this file through
// host/ placed after the SDK's folder, and still takes the SDK's headers.
#pragma once

#include <cmath>

#if defined(_WIN32)
#include <windows.h>
// 16-bit leftovers that windows.h defines as empty macros; the module uses
// them as plain names.
#undef near
#undef far
#else
#include <gdi.h>
#endif
// In the SDK's order: the API, then the two classes.
#include <OrbiterAPI.h>

#if __has_include(<VesselAPI.h>)  // an Orbitersdk include folder
#include <MFDAPI.h>
#include <VesselAPI.h>
#else  // host/, which keeps the same declarations under its own names
#include <mfd_api.h>
#include <vessel_api.h>
#endif

// Library glue that the host exports but the SDK's headers do not declare
// (Orbiter's own glue declares it in its static library's source).
OAPIFUNC void InitLib(HINSTANCE hModule);
OAPIFUNC int Date2Int(char* date);

namespace arvex {

// What the mode's message procedure returns: the SDK's pointer-sized type
// where the SDK has one, int where it predates it (a 32-bit host).
#ifdef OAPI_MSGTYPE
typedef OAPI_MSGTYPE MsgProcResult;
#else
typedef int MsgProcResult;
#endif

// The input box callback: (box, typed text, user data).
typedef bool (*InputCallback)(void* box, char* text, void* usrdata);

// What the SDK's VECTOR3 operations lack, for the planning functions and the
// display alike: all three components finite.
inline bool isFinite(const VECTOR3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace arvex
