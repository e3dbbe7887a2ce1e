// The part of Orbiter's VesselAPI.h that a cockpit display module calls: the
// interface to one vessel, with the SDK's member signatures. The SDK writes
// "const OBJHANDLE" for two results: a qualifier on a returned value means
// nothing to the compiler, but MSVC's name decoration keeps it, and Orbiter.exe
// exports the functions under those names, so it is kept here too (with the
// compilers' warning about it silenced for these two).
#pragma once

#include "OrbiterAPI.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-qualifiers"
#endif

class OAPIFUNC VESSEL {
 public:
  VESSEL(OBJHANDLE hVessel, int fmodel = 1);
  virtual ~VESSEL();

  const OBJHANDLE GetHandle() const;
  char* GetName() const;

  double GetMass() const;                 // [kg]
  void GetGlobalPos(VECTOR3& pos) const;  // [m], global frame
  void GetGlobalVel(VECTOR3& vel) const;  // [m/s], global frame
  // Position and velocity minus those of hRef, global axes [m], [m/s].
  void GetRelativePos(OBJHANDLE hRef, VECTOR3& pos) const;
  void GetRelativeVel(OBJHANDLE hRef, VECTOR3& vel) const;
  bool GroundContact() const;

  // Body the vessel stands on or flies closest to.
  const OBJHANDLE GetSurfaceRef() const;
  double GetAltitude() const;  // above the body radius [m]
  double GetPitch() const;     // elevation of +z above the local horizon [rad]
  double GetBank() const;      // roll about +z [rad]
  double GetYaw() const;       // heading of +z from north through east [rad]
  // Equatorial position over the surface reference: longitude and latitude
  // [rad], distance from the body centre [m]; returns that body.
  OBJHANDLE GetEquPos(double& longitude, double& latitude, double& radius) const;
  // Velocity relative to the turning surface in the local horizon frame
  // (x east, y up, z north) [m/s]; y is the vertical speed.
  bool GetHorizonAirspeedVector(VECTOR3& v) const;
  double GetAOA() const;  // angle of attack [rad]

  THGROUP_HANDLE GetThrusterGroupHandle(THGROUP_TYPE thgt) const;  // null if absent
  void SetThrusterGroupLevel(THGROUP_TYPE thgt, double level) const;
  double GetThrusterGroupLevel(THGROUP_TYPE thgt) const;  // 0..1

  // Vessel frame to global frame.
  void GetRotationMatrix(MATRIX3& R) const;
  double GetMaxThrust(ENGINETYPE eng) const;  // [N]

 protected:
  OBJHANDLE hObj;
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
