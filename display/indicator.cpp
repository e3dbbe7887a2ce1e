// The burn direction indicator's geometry and drawing (see indicator.h).
#include "display/indicator.h"

#include <cmath>

#include "display/texts.h"

namespace arvex {

namespace {

constexpr COLORREF kFrameColor = 0xFFFFFF;
constexpr COLORREF kMarkerColor = 0xE6E600;  // light cyan

// Ring angles: 5, 10 and 45 degrees [rad]; rings above the threshold are
// white, the innermost green.
constexpr double kRingAngles[3] = {0.08726646259971639, 0.17453292519943278, 0.7853981633974475};
constexpr double kWhiteRingAbove = 0.122;  // [rad]

// A marker further off than this is not on the display at all; it also keeps
// the conversion to int defined whatever the host's matrix holds [pixel].
constexpr double kMarkerLimit = 1.0e6;

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

}  // namespace

bool MarkerFrameUnits(const VECTOR3& reqVel, const VECTOR3& relVel, const MATRIX3& rotation,
                      bool useMainEngine, double& X, double& Y) {
  // 1 - Direction u of the change still needed, global frame.
  VECTOR3 d = reqVel - relVel;  // [m/s]
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

  // 2 - Thrust axis w and reference axis q of the chosen engine, and the
  // vessel's x axis, global frame; c's length is the sine of the angle
  // between the thrust axis and u.
  const VECTOR3 a = useMainEngine ? _V(0, 0, 1) : _V(0, 1, 0);
  const VECTOR3 r = useMainEngine ? _V(0, 1, 0) : _V(0, 0, 1);
  const VECTOR3 w = mul(rotation, a);
  const VECTOR3 c = crossp(w, u);
  const double hx = 0.5 * dotp(mul(rotation, r), c);
  Y = dotp(mul(rotation, _V(1, 0, 0)), c);

  // 3 - Behind the thrust axis the horizontal value is mirrored outwards.
  if (dotp(w, u) >= 0.0) {
    X = hx;
  } else {
    X = hx > 0.0 ? 1.0 - hx : -1.0 - hx;
  }
  return std::isfinite(X) && std::isfinite(Y);
}

IndicatorRing RingAround(unsigned int width, unsigned int height, int frameMargin, int x, int y,
                         double angle) {
  const double s = std::sin(angle);
  const int rx =
      static_cast<int>(std::floor(s * (static_cast<int>(width) - 2 * frameMargin) * 0.25));
  const int ry = static_cast<int>(std::floor(s * FrameRowsFor(height).halfHeight));
  return {x - rx, y - ry, x + rx, y + ry, angle > kWhiteRingAbove};
}

IndicatorGeometry LayOutIndicator(const IndicatorInput& in) {
  const int W = static_cast<int>(in.width);
  const int m = in.frameMargin;
  const FrameRows rows = FrameRowsFor(in.height);
  IndicatorGeometry g{};

  // 1 - Frame and cross.
  g.left = m / 2;
  g.right = W - m / 2;
  g.top = rows.top;
  g.centreY = rows.centre;
  g.bottom = rows.bottom;
  g.centreX = W / 2;

  // 2 - Rings about the cross's centre.
  for (int i = 0; i < 3; ++i) {
    g.rings[i] = RingAround(in.width, in.height, m, g.centreX, g.centreY, kRingAngles[i]);
  }

  // 3 - The marker, where the direction can be worked out and lands on the
  // display.
  double X = 0.0, Y = 0.0;
  g.markerShown = false;
  if (!in.vesselKnown ||
      !MarkerFrameUnits(in.reqVel, in.relVel, in.rotation, in.useMainEngine, X, Y)) {
    return g;
  }
  const double markerX = std::floor(m + 0.5 * (X + 1.0) * (W - 2 * m));       // [pixel]
  const double markerY = std::floor((Y + 1.0) * rows.halfHeight + rows.top);  // [pixel]
  if (std::fabs(markerX) > kMarkerLimit || std::fabs(markerY) > kMarkerLimit) return g;
  g.markerShown = true;
  g.markerX = static_cast<int>(markerX);
  g.markerY = static_cast<int>(markerY);
  return g;
}

void DrawIndicatorRing(HDC hDC, const IndicatorRing& ring, HPEN whitePen, HPEN greenPen) {
  const HPEN pen = ring.white ? whitePen : greenPen;
  const HGDIOBJ previousPen = pen != nullptr ? SelectObject(hDC, pen) : nullptr;
  Ellipse(hDC, ring.left, ring.top, ring.right, ring.bottom);
  if (pen != nullptr) SelectObject(hDC, previousPen);
}

void DrawIndicatorGeometry(HDC hDC, const IndicatorGeometry& g, HPEN whitePen, HPEN greenPen,
                           int charHeight) {
  // 1 - Frame, cross and rings, with a pen that lives for this redraw only.
  const HPEN framePen = CreatePen(PS_SOLID, 1, kFrameColor);
  const HGDIOBJ previousPen = framePen != nullptr ? SelectObject(hDC, framePen) : nullptr;
  MoveToEx(hDC, g.left, g.top, nullptr);
  LineTo(hDC, g.right, g.top);
  LineTo(hDC, g.right, g.bottom);
  LineTo(hDC, g.left, g.bottom);
  LineTo(hDC, g.left, g.top);
  MoveToEx(hDC, g.centreX, g.top, nullptr);
  LineTo(hDC, g.centreX, g.bottom);
  MoveToEx(hDC, g.left, g.centreY, nullptr);
  LineTo(hDC, g.right, g.centreY);
  for (const IndicatorRing& ring : g.rings) DrawIndicatorRing(hDC, ring, whitePen, greenPen);
  if (framePen != nullptr) {
    SelectObject(hDC, previousPen);
    DeleteObject(framePen);
  }

  // 2 - The "+" centred on the marker's point: the host's surface may come
  // with any alignment, and the glyph's middle lies half a character height
  // below the top of its cell. The surface's alignment is given back.
  if (!g.markerShown) return;
  const UINT savedAlign = GetTextAlign(hDC);
  SetTextAlign(hDC, TA_CENTER | TA_TOP);
  SetTextColor(hDC, kMarkerColor);
  TextOutA(hDC, g.markerX, g.markerY - charHeight / 2, kMarker, 1);
  if (savedAlign != GDI_ERROR) SetTextAlign(hDC, savedAlign);
}

}  // namespace arvex
