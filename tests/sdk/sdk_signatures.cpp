// Every host declaration the module uses, with the type it must have. This
// file is compiled against host/ in every build and against Orbiter's own
// SDK headers when ORBITER_SDK names them, so host/ cannot drift from the
// SDK without one of the two compiles failing. A function is named through a
// cast to its exact pointer type, which picks an overload only on a perfect
// match.
#include <cstddef>
#include <type_traits>
#include <utility>

#include "host_sdk.h"

namespace {

using arvex::MsgProcResult;

#define EXPECT_FUNCTION(name, type) [[maybe_unused]] auto name##_ = static_cast<type>(&name)
#define EXPECT_MEMBER(cls, name, type) \
  [[maybe_unused]] auto cls##_##name##_ = static_cast<type>(&cls::name)

// The module's calls into the host.
void HostFunctions() {
  EXPECT_FUNCTION(oapiRegisterMFDMode, int (*)(MFDMODESPEC&));
  EXPECT_FUNCTION(oapiUnregisterMFDMode, bool (*)(int));
  EXPECT_FUNCTION(oapiOpenFile, FILEHANDLE(*)(const char*, FileAccessMode, PathRoot));
  EXPECT_FUNCTION(oapiCloseFile, void (*)(FILEHANDLE, FileAccessMode));
  EXPECT_FUNCTION(oapiReadItem_int, bool (*)(FILEHANDLE, char*, int&));
  EXPECT_FUNCTION(oapiOpenInputBox,
                  void (*)(char*, bool (*)(void*, char*, void*), char*, int, void*));
  EXPECT_FUNCTION(oapiGetFocusInterface, VESSEL * (*)());
  EXPECT_FUNCTION(oapiGetVesselInterface, VESSEL * (*)(OBJHANDLE));
  EXPECT_FUNCTION(oapiGetMass, double (*)(OBJHANDLE));
  EXPECT_FUNCTION(oapiGetSize, double (*)(OBJHANDLE));
  EXPECT_FUNCTION(oapiGetObjectName, void (*)(OBJHANDLE, char*, int));
  EXPECT_FUNCTION(oapiGetBaseByName, OBJHANDLE(*)(OBJHANDLE, char*));
  EXPECT_FUNCTION(oapiGetBaseEquPos, void (*)(OBJHANDLE, double*, double*, double*));
  EXPECT_FUNCTION(oapiGetPlanetObliquityMatrix, void (*)(OBJHANDLE, MATRIX3*));
  EXPECT_FUNCTION(oapiGetPlanetCurrentRotation, double (*)(OBJHANDLE));
  EXPECT_FUNCTION(oapiGetPlanetPeriod, double (*)(OBJHANDLE));
}

void VesselMembers() {
  EXPECT_MEMBER(VESSEL, GetEquPos, OBJHANDLE(VESSEL::*)(double&, double&, double&) const);
  EXPECT_MEMBER(VESSEL, GroundContact, bool(VESSEL::*)() const);
  EXPECT_MEMBER(VESSEL, GetGlobalPos, void(VESSEL::*)(VECTOR3&) const);
  EXPECT_MEMBER(VESSEL, GetGlobalVel, void(VESSEL::*)(VECTOR3&) const);
  EXPECT_MEMBER(VESSEL, GetRelativePos, void(VESSEL::*)(OBJHANDLE, VECTOR3&) const);
  EXPECT_MEMBER(VESSEL, GetRelativeVel, void(VESSEL::*)(OBJHANDLE, VECTOR3&) const);
  EXPECT_MEMBER(VESSEL, GetHorizonAirspeedVector, bool(VESSEL::*)(VECTOR3&) const);
  EXPECT_MEMBER(VESSEL, GetRotationMatrix, void(VESSEL::*)(MATRIX3&) const);
  EXPECT_MEMBER(VESSEL, GetPitch, double(VESSEL::*)() const);
  EXPECT_MEMBER(VESSEL, GetAOA, double(VESSEL::*)() const);
  EXPECT_MEMBER(VESSEL, GetMass, double(VESSEL::*)() const);
  EXPECT_MEMBER(VESSEL, GetMaxThrust, double(VESSEL::*)(ENGINETYPE) const);
  EXPECT_MEMBER(VESSEL, GetThrusterGroupHandle, THGROUP_HANDLE(VESSEL::*)(THGROUP_TYPE) const);
  EXPECT_MEMBER(VESSEL, GetThrusterGroupLevel, double(VESSEL::*)(THGROUP_TYPE) const);
}

// The SDK returns "const OBJHANDLE" here, a qualifier that a call drops.
static_assert(std::is_same_v<decltype(std::declval<const VESSEL&>().GetSurfaceRef()), OBJHANDLE>);

// The display base class: what the module calls and what it overrides.
struct MfdProbe : MFD {
  static void Members() {
    EXPECT_MEMBER(MFD, Title, void(MFD::*)(HDC, const char*) const);
    EXPECT_MEMBER(MFD, Update, void(MFD::*)(HDC));
    EXPECT_MEMBER(MFD, ConsumeKeyBuffered, bool(MFD::*)(DWORD));
    EXPECT_MEMBER(MFD, ConsumeButton, bool(MFD::*)(int, int));
    EXPECT_MEMBER(MFD, ButtonLabel, char* (MFD::*)(int));
    EXPECT_MEMBER(MFD, ButtonMenu, int(MFD::*)(const MFDBUTTONMENU**) const);
    [[maybe_unused]] DWORD MFD::*width = &MfdProbe::W;
    [[maybe_unused]] DWORD MFD::*charHeight = &MfdProbe::ch;
    [[maybe_unused]] VESSEL* MFD::*vessel = &MfdProbe::pV;
  }
};

static_assert(std::is_same_v<decltype(MFDMODESPEC::name), char*>);
static_assert(std::is_same_v<decltype(MFDMODESPEC::key), DWORD>);
static_assert(
    std::is_same_v<decltype(MFDMODESPEC::msgproc), MsgProcResult (*)(UINT, UINT, WPARAM, LPARAM)>);
static_assert(sizeof(MsgProcResult) == sizeof(void*), "an instance address must fit");
// The host reads the button menu packed.
static_assert(sizeof(MFDBUTTONMENU) == 2 * sizeof(const char*) + 1);
static_assert(offsetof(MFDBUTTONMENU, selchar) == 2 * sizeof(const char*));
static_assert(sizeof(VECTOR3) == 3 * sizeof(double) && sizeof(MATRIX3) == 9 * sizeof(double));
static_assert(OAPI_MSG_MFD_OPENED == 1 && OAPI_MSG_MFD_CLOSED == 2 && OAPI_MSG_MFD_OPENEDEX == 4);
static_assert(THGROUP_MAIN == 0 && THGROUP_RETRO == 1 && THGROUP_HOVER == 2);
static_assert(ENGINE_MAIN == 0 && ENGINE_HOVER == 2);
static_assert(FILE_IN == 0 && CONFIG == 1);

// The vector operations the module uses come from the host's header.
[[maybe_unused]] void VectorOperations() {
  EXPECT_FUNCTION(dotp, double (*)(const VECTOR3&, const VECTOR3&));
  EXPECT_FUNCTION(crossp, VECTOR3(*)(const VECTOR3&, const VECTOR3&));
  EXPECT_FUNCTION(length, double (*)(const VECTOR3&));
  [[maybe_unused]] auto times = static_cast<VECTOR3 (*)(const VECTOR3&, const double)>(&operator*);
  [[maybe_unused]] auto over = static_cast<VECTOR3 (*)(const VECTOR3&, const double)>(&operator/);
  [[maybe_unused]] auto rotate = static_cast<VECTOR3 (*)(const MATRIX3&, const VECTOR3&)>(&mul);
}

}  // namespace

// Referenced so that nothing above is dropped unchecked.
void LobarcSdkSignatures() {
  HostFunctions();
  VesselMembers();
  MfdProbe::Members();
  VectorOperations();
}
