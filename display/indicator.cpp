// The burn direction indicator of page 2/2: a frame with a cross and rings
// at 5, 10 and 45 degrees stands for the view along the chosen engine's
// thrust axis, and a "+" marks where the required velocity change points.
#include <cmath>

#include "ArvexMFD.h"
#include "texts.h"
#include "vector_ops.h"

namespace arvex {

namespace {

constexpr COLORREF kFrameColor = 0xFFFFFF;
constexpr COLORREF kMarkerColor = 0xE6E600;  // light cyan

// Fixed rows of the frame, whatever the surface's height [pixel].
constexpr int kFrameTop = 20;
constexpr int kFrameBottom = 220;
constexpr int kCentreY = 120;
constexpr double kFrameHalfHeight = 100.0;  // [pixel] per unit of Y

// Ring angles: 5, 10 and 45 degrees [rad]; rings above the threshold are
// white, the innermost green.
constexpr double kRingAngles[3] = {0.08726646259971639, 0.17453292519943278, 0.7853981633974475};
constexpr double kWhiteRingAbove = 0.122;  // [rad]

// A marker further off than this is not on the display at all; it also keeps
// the conversion to int defined whatever the host's matrix holds [pixel].
constexpr double kMarkerLimit = 1.0e6;

// Where the required velocity change points, in frame units: X and Y are 0
// at the centre and +-1 at the frame's inner edges. Returns false when the
// direction cannot be worked out from the values at hand.
bool MarkerFrameUnits(const ArvexMFD& mfd, double& X, double& Y) {
  const VESSEL* vessel = moduleState.focusVessel;
  if (vessel == nullptr) return false;

  // 1.-2. Direction u of the change still needed, global frame.
  VECTOR3 V;  // [m/s] global frame, relative to refBody
  vessel->GetRelativeVel(mfd.refBody, V);
  VECTOR3 d = mfd.reqVel - V;  // [m/s] global frame
  if (!isFinite(d)) return false;
  // Scaled by its largest component first, so that neither a tiny nor a
  // huge difference loses its direction in the squares of length().
  const double largest = std::fmax(std::fabs(d.x), std::fmax(std::fabs(d.y), std::fabs(d.z)));
  if (largest == 0.0) {
    // Nothing left to correct: no direction, so the "+" sits at the centre,
    // where the pilot is told to hold it.
    X = 0.0;
    Y = 0.0;
    return true;
  }
  d = d / largest;
  const VECTOR3 u = d / length(d);

  // 3.-7. Thrust axis w and reference axis q of the chosen engine, and the
  // vessel's x axis, global frame; c's length is the sine of the angle
  // between the thrust axis and u.
  const VECTOR3 a = mfd.useMainEngine ? _V(0, 0, 1) : _V(0, 1, 0);
  const VECTOR3 r = mfd.useMainEngine ? _V(0, 1, 0) : _V(0, 0, 1);
  MATRIX3 R;  // vessel frame -> global frame
  vessel->GetRotationMatrix(R);
  const VECTOR3 w = mul(R, a);
  const VECTOR3 c = crossp(w, u);
  const double hx = 0.5 * dotp(mul(R, r), c);
  Y = dotp(mul(R, _V(1, 0, 0)), c);

  // 8. Behind the thrust axis the horizontal value is mirrored outwards.
  if (dotp(w, u) >= 0.0) {
    X = hx;
  } else {
    X = hx > 0.0 ? 1.0 - hx : -1.0 - hx;
  }
  return std::isfinite(X) && std::isfinite(Y);
}

}  // namespace

// Drawn by Update on page 2/2 when an in-flight solution is there.
void ArvexMFD::DrawIndicator(HDC hDC) {
  const int W = static_cast<int>(width);
  const int m = frameMargin;
  const int centreX = W / 2;

  // 1.-6. Frame, cross and rings with a pen that lives for this redraw only.
  const HPEN framePen = CreatePen(PS_SOLID, 1, kFrameColor);
  const HGDIOBJ previousPen = framePen != nullptr ? SelectObject(hDC, framePen) : nullptr;
  MoveToEx(hDC, m / 2, kFrameTop, nullptr);
  LineTo(hDC, W - m / 2, kFrameTop);
  LineTo(hDC, W - m / 2, kFrameBottom);
  LineTo(hDC, m / 2, kFrameBottom);
  LineTo(hDC, m / 2, kFrameTop);
  MoveToEx(hDC, centreX, kFrameTop, nullptr);
  LineTo(hDC, centreX, kFrameBottom);
  MoveToEx(hDC, m / 2, kCentreY, nullptr);
  LineTo(hDC, W - m / 2, kCentreY);
  for (const double angle : kRingAngles) DrawRing(hDC, centreX, kCentreY, angle);
  if (framePen != nullptr) {
    SelectObject(hDC, previousPen);
    DeleteObject(framePen);
  }

  // 7. The marker, with the surface's alignment as it stands.
  double X = 0.0, Y = 0.0;
  if (!MarkerFrameUnits(*this, X, Y)) return;
  const double markerX = std::floor(m + 0.5 * (X + 1.0) * (W - 2 * m));         // [pixel]
  const double markerY = std::floor((Y + 1.0) * kFrameHalfHeight + kFrameTop);  // [pixel]
  if (std::fabs(markerX) > kMarkerLimit || std::fabs(markerY) > kMarkerLimit) return;
  SetTextColor(hDC, kMarkerColor);
  TextOutA(hDC, static_cast<int>(markerX), static_cast<int>(markerY), kMarker, 1);
}

// One ring of angle [rad] around (x, y): half-width and half-height are the
// marker's displacement for a direction that far off the thrust axis.
void ArvexMFD::DrawRing(HDC hDC, int x, int y, double angle) {
  const double s = std::sin(angle);
  const int rx =
      static_cast<int>(std::floor(s * (static_cast<int>(width) - 2 * frameMargin) * 0.25));
  const int ry = static_cast<int>(std::floor(s * 200 * 0.5));
  const HPEN pen = angle > kWhiteRingAbove ? moduleState.whitePen : moduleState.greenPen;
  const HGDIOBJ previousPen = pen != nullptr ? SelectObject(hDC, pen) : nullptr;
  Ellipse(hDC, x - rx, y - ry, x + rx, y + ry);
  if (pen != nullptr) SelectObject(hDC, previousPen);
}

}  // namespace arvex
