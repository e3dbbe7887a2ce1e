// The display instance's redraw: Update gathers what the page shows from the
// instance and the host, lays the page out (display/pages.h) and draws it;
// on page 2/2 DrawIndicator does the same for the burn direction indicator
// (display/indicator.h).
#include "display/indicator.h"
#include "display/pages.h"
#include "module/ArvexMFD.h"

namespace arvex {

namespace {

// The host's name of a body or base into a page's name buffer.
void ReadName(OBJHANDLE object, char (&name)[kPageNameSize]) {
  name[0] = '\0';
  oapiGetObjectName(object, name, kPageNameSize);
  name[kPageNameSize - 1] = '\0';
}

// The own position shown [deg]: the launch point while grounded (the plan
// starts there), read afresh from the vessel in flight.
bool OwnPositionDeg(const ArvexMFD& mfd, double& latDeg, double& lngDeg) {
  if (mfd.inputs.flightMode != 1) return true;
  const VESSEL* vessel = moduleState.focusVessel;
  if (vessel == nullptr) return false;
  double lng = 0.0, lat = 0.0, radius = 0.0;  // [rad], [rad], [m]
  vessel->GetEquPos(lng, lat, radius);
  latDeg = lat * kDegPerRad;
  lngDeg = lng * kDegPerRad;
  return true;
}

// Everything a page shows, from the instance's records and fields and the
// host's names; charWidth [pixel] is the host font's character width.
void GatherPageInput(const ArvexMFD& mfd, int charWidth, PageInput& in) {
  in.width = mfd.width;
  in.height = mfd.height;
  in.marginX = mfd.marginX;
  in.column2X = mfd.column2X;
  in.charWidth = charWidth;
  in.english = mfd.english;
  in.inputs = mfd.inputs;
  in.bodyName[0] = in.targetName[0] = '\0';
  in.ownKnown = false;
  // Page 2/2 shows neither names nor positions: the host is not asked.
  if (mfd.inputs.flightMode != 1 || mfd.inputs.flightPage != 1) {
    ReadName(mfd.refBody, in.bodyName);
    in.ownKnown = OwnPositionDeg(mfd, in.inputs.ownLatDeg, in.inputs.ownLngDeg);
    ReadName(mfd.targetBase != nullptr ? mfd.targetBase : mfd.refBody, in.targetName);
  }
  in.targetBaseSet = mfd.targetBase != nullptr;
  const GroundPlan& plan = mfd.plan;
  in.groundSolValid = plan.groundSolValid;
  in.heading = plan.heading;
  in.launchAngle = plan.launchAngle;
  in.apoAltitude = plan.apoAltitude;
  in.vTan = plan.vTan;
  in.dvRemaining = plan.dvRemaining;
  in.flightPathAngle = mfd.flightPathAngle;
  in.pitchCmd = mfd.pitchCmd;
  in.actualPitch = mfd.actualPitch;
  in.flightSolValid = mfd.flightSolValid;
  in.dvToGo = mfd.dvToGo;
}

}  // namespace

// Called by the host at every refresh: draws the whole page afresh. Keeps
// nothing but cursorY and frameMargin; the page's lines live on the stack.
void ArvexMFD::Update(HDC hDC) {
  PageInput in;
  GatherPageInput(*this, static_cast<int>(cw), in);
  PageLayout layout;
  LayOutPage(in, layout);
  frameMargin = layout.frameMargin;
  cursorY = layout.cursorY;

  Title(hDC, layout.title);
  if (layout.showIndicator) DrawIndicator(hDC);
  DrawPageLayout(hDC, layout);
}

// Drawn by Update on page 2/2 when an in-flight solution is there.
void ArvexMFD::DrawIndicator(HDC hDC) {
  IndicatorInput in{};
  in.width = width;
  in.height = height;
  in.frameMargin = frameMargin;
  in.reqVel = search.reqVel;
  in.useMainEngine = inputs.useMainEngine;
  const VESSEL* vessel = moduleState.focusVessel;
  in.vesselKnown = vessel != nullptr;
  if (vessel != nullptr) {
    vessel->GetRelativeVel(refBody, in.relVel);
    vessel->GetRotationMatrix(in.rotation);
  }
  DrawIndicatorGeometry(hDC, LayOutIndicator(in), moduleState.whitePen, moduleState.greenPen,
                        static_cast<int>(ch));
}

}  // namespace arvex
