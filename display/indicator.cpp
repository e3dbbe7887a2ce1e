// The burn direction indicator of page 2/2: a frame with a cross and rings
// at 5, 10 and 45 degrees stands for the view along the chosen engine's
// thrust axis, and a "+" marks where the required velocity change points.
#include <cmath>

#include "ArvexMFD.h"
#include "texts.h"
#include "vector_ops.h"

namespace {

constexpr COLORREF kFrameColor = 0xFFFFFF;
constexpr COLORREF kMarkerColor = 0xE6E600;  // light cyan

// Rows of the frame, drawn for a display 290 pixels high and scaled with
// the height, so that the indicator keeps its share of any display: below
// the title, above the delta-v to go [pixel].
struct FrameRows {
  int top, centre, bottom;
  int halfHeight;  // [pixel] per unit of Y
};
FrameRows FrameRowsFor(unsigned int height) {
  const int halfHeight = static_cast<int>(100u * height / 290u);
  const int centre = static_cast<int>(120u * height / 290u);
  return {centre - halfHeight, centre, centre + halfHeight, halfHeight};
}

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

// The "+" centred on the marker's point (x, y): the host's surface may come
// with any alignment, and the glyph's middle lies half a character height
// below the top of its cell. The surface's alignment is given back.
void DrawMarker(HDC hDC, int x, int y, int charHeight) {
  const UINT savedAlign = GetTextAlign(hDC);
  SetTextAlign(hDC, TA_CENTER | TA_TOP);
  SetTextColor(hDC, kMarkerColor);
  TextOutA(hDC, x, y - charHeight / 2, kMarker, 1);
  if (savedAlign != GDI_ERROR) SetTextAlign(hDC, savedAlign);
}

}  // namespace

// Drawn by Update on page 2/2 when an in-flight solution is there.
void ArvexMFD::DrawIndicator(HDC hDC) {
  const int W = static_cast<int>(width);
  const int m = frameMargin;
  const int centreX = W / 2;
  const FrameRows rows = FrameRowsFor(height);

  // 1.-6. Frame, cross and rings with a pen that lives for this redraw only.
  const HPEN framePen = CreatePen(PS_SOLID, 1, kFrameColor);
  const HGDIOBJ previousPen = framePen != nullptr ? SelectObject(hDC, framePen) : nullptr;
  MoveToEx(hDC, m / 2, rows.top, nullptr);
  LineTo(hDC, W - m / 2, rows.top);
  LineTo(hDC, W - m / 2, rows.bottom);
  LineTo(hDC, m / 2, rows.bottom);
  LineTo(hDC, m / 2, rows.top);
  MoveToEx(hDC, centreX, rows.top, nullptr);
  LineTo(hDC, centreX, rows.bottom);
  MoveToEx(hDC, m / 2, rows.centre, nullptr);
  LineTo(hDC, W - m / 2, rows.centre);
  for (const double angle : kRingAngles) DrawRing(hDC, centreX, rows.centre, angle);
  if (framePen != nullptr) {
    SelectObject(hDC, previousPen);
    DeleteObject(framePen);
  }

  // 7. The marker.
  double X = 0.0, Y = 0.0;
  if (!MarkerFrameUnits(*this, X, Y)) return;
  const double markerX = std::floor(m + 0.5 * (X + 1.0) * (W - 2 * m));       // [pixel]
  const double markerY = std::floor((Y + 1.0) * rows.halfHeight + rows.top);  // [pixel]
  if (std::fabs(markerX) > kMarkerLimit || std::fabs(markerY) > kMarkerLimit) return;
  DrawMarker(hDC, static_cast<int>(markerX), static_cast<int>(markerY), static_cast<int>(ch));
}

// One ring of angle [rad] around (x, y): half-width and half-height are the
// marker's displacement for a direction that far off the thrust axis.
void ArvexMFD::DrawRing(HDC hDC, int x, int y, double angle) {
  const double s = std::sin(angle);
  const int rx =
      static_cast<int>(std::floor(s * (static_cast<int>(width) - 2 * frameMargin) * 0.25));
  const int ry = static_cast<int>(std::floor(s * FrameRowsFor(height).halfHeight));
  const HPEN pen = angle > kWhiteRingAbove ? moduleState.whitePen : moduleState.greenPen;
  const HGDIOBJ previousPen = pen != nullptr ? SelectObject(hDC, pen) : nullptr;
  Ellipse(hDC, x - rx, y - ry, x + rx, y + ry);
  if (pen != nullptr) SelectObject(hDC, previousPen);
}
