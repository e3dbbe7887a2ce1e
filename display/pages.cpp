// The three display pages: grounded (plan and burn count), in flight page 1/2
// (position, target, parameters, delta-v to go) and page 2/2 (the burn
// direction indicator with the delta-v to go below it).
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "ArvexMFD.h"
#include "texts.h"

namespace {

constexpr COLORREF kGreen = 0x00FF00;   // left column: own position, parameters, engine
constexpr COLORREF kYellow = 0x00FFFF;  // right column: the target
constexpr COLORREF kTeal = 0x969600;    // the ground solution
constexpr COLORREF kWhite = 0xFFFFFF;   // delta-v, pitch, MECO, page numbers

constexpr int kLineBufferSize = 100;
using LineBuffer = char[kLineBufferSize];

// Formats one line into its buffer, never past the buffer's end whatever the
// values, and draws it with the formatted length.
void DrawLine(HDC hDC, int x, int y, LineBuffer& buffer, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (written < 0) return;
  const int length = written < kLineBufferSize ? written : kLineBufferSize - 1;
  TextOutA(hDC, x, y, buffer, length);
}

// A fixed text, drawn through the same buffer as every other line.
void DrawFixedText(HDC hDC, int x, int y, LineBuffer& buffer, const char* text) {
  DrawLine(hDC, x, y, buffer, "%s", text);
}

// The host's name of a body or base, as much of it as the buffer holds.
void DrawName(HDC hDC, int x, int y, LineBuffer& buffer, OBJHANDLE object) {
  buffer[0] = '\0';
  oapiGetObjectName(object, buffer, kLineBufferSize);
  buffer[kLineBufferSize - 1] = '\0';
  TextOutA(hDC, x, y, buffer, static_cast<int>(std::strlen(buffer)));
}

// A line showing one value; a value that is not a finite number is left out
// rather than shown as "nan" or "inf".
void DrawValue(HDC hDC, int x, int y, LineBuffer& buffer, const char* format, double value) {
  if (std::isfinite(value)) DrawLine(hDC, x, y, buffer, format, value);
}

// The own position: stored while grounded (the plan starts there), read
// afresh from the vessel in flight.
bool OwnPositionDeg(const ArvexMFD& mfd, double& latDeg, double& lngDeg) {
  if (mfd.flightMode != 1) {
    latDeg = mfd.ownLatDeg;
    lngDeg = mfd.ownLngDeg;
    return true;
  }
  const VESSEL* vessel = moduleState.focusVessel;
  if (vessel == nullptr) return false;
  double lng = 0.0, lat = 0.0, radius = 0.0;  // [rad], [rad], [m]
  vessel->GetEquPos(lng, lat, radius);
  latDeg = lat * kDegPerRad;
  lngDeg = lng * kDegPerRad;
  return true;
}

// Rows are laid out as on a display 290 pixels high, where a line is 10
// pixels and a half step 15, and scaled with the display's height: the
// host's font follows the height, and lines of a whole number of pixels
// (height / 28) would fall behind it (5-pixel lines under a 7-pixel font on
// a display 167 pixels high).
constexpr unsigned int kLayoutHeight = 290;  // [pixel]
constexpr int kLine = 10;                    // [pixel of the 290-pixel layout]
constexpr int kHalfStep = 15;                // [pixel of the 290-pixel layout]

int Scaled(const ArvexMFD& mfd, int at290) {
  return static_cast<int>(static_cast<unsigned int>(at290) * mfd.height / kLayoutHeight);
}

// The running row of a page, kept in the 290-pixel layout so that the
// steps' roundings do not add up; cursorY is its place on this display.
struct RowCursor {
  ArvexMFD& mfd;
  int at290 = 0;
  void MoveTo(int row) {
    at290 = row;
    mfd.cursorY = Scaled(mfd, at290);
  }
  void Advance(int step) { MoveTo(at290 + step); }
};

// Rows 1 to 7, shared by the grounded page and page 1/2.
void DrawCommonRows(RowCursor& row, HDC hDC, const DisplayTexts& texts, LineBuffer& left,
                    LineBuffer& right) {
  ArvexMFD& mfd = row.mfd;
  const int xl = mfd.marginX;
  const int xr = mfd.column2X;
  // Page 2/2 leaves centred alignment on the surface, and a host may keep it
  // until the next redraw; these columns start at their x.
  SetTextAlign(hDC, TA_LEFT | TA_TOP);

  // 1. Headers.
  row.Advance(3 * kLine);
  SetTextColor(hDC, kGreen);
  DrawFixedText(hDC, xl, mfd.cursorY, left, kPositionHeader);
  SetTextColor(hDC, kYellow);
  DrawFixedText(hDC, xr, mfd.cursorY, right, texts.targetHeader);

  // 2. Body, and the base if one is chosen.
  row.Advance(kHalfStep);
  SetTextColor(hDC, kGreen);
  DrawName(hDC, xl, mfd.cursorY, left, mfd.refBody);
  SetTextColor(hDC, kYellow);
  DrawName(hDC, xr, mfd.cursorY, right, mfd.targetBase != nullptr ? mfd.targetBase : mfd.refBody);

  // 3.-4. Own and target coordinates. An incomplete target shows which
  // coordinate is present under "No Target".
  double ownLatDeg = 0.0, ownLngDeg = 0.0;
  const bool ownKnown = OwnPositionDeg(mfd, ownLatDeg, ownLngDeg);
  const bool bothCoordinates = mfd.targetBase != nullptr || (mfd.tgtLatSet && mfd.tgtLngSet);

  row.Advance(kHalfStep);
  SetTextColor(hDC, kGreen);
  if (ownKnown) DrawValue(hDC, xl, mfd.cursorY, left, kLatFormat, ownLatDeg);
  SetTextColor(hDC, kYellow);
  if (bothCoordinates) {
    DrawValue(hDC, xr, mfd.cursorY, right, kLatFormat, mfd.tgtLatDeg);
  } else {
    DrawFixedText(hDC, xr, mfd.cursorY, right, texts.noTarget);
  }

  row.Advance(kHalfStep);
  SetTextColor(hDC, kGreen);
  if (ownKnown) DrawValue(hDC, xl, mfd.cursorY, left, kLngFormat, ownLngDeg);
  SetTextColor(hDC, kYellow);
  if (bothCoordinates) {
    DrawValue(hDC, xr, mfd.cursorY, right, kLngFormat, mfd.tgtLngDeg);
  } else if (mfd.tgtLatSet) {
    DrawValue(hDC, xr, mfd.cursorY, right, kLatFormat, mfd.tgtLatDeg);
  } else if (mfd.tgtLngSet) {
    DrawValue(hDC, xr, mfd.cursorY, right, kLngFormat, mfd.tgtLngDeg);
  }

  // 5.-7. Parameters and engine.
  SetTextColor(hDC, kGreen);
  row.Advance(3 * kLine);
  DrawValue(hDC, xl, mfd.cursorY, left, texts.securityAltFormat, mfd.securityAlt / 1000.0);
  if (mfd.flightMode == 1) {
    row.Advance(2 * kLine);
    DrawValue(hDC, xl, mfd.cursorY, left, texts.altAboveTargetFormat, mfd.altAboveTarget / 1000.0);
  }
  row.Advance(2 * kLine);
  DrawFixedText(hDC, xl, mfd.cursorY, left,
                mfd.useMainEngine ? texts.engineMain : texts.engineHover);
}

// Rows 8 to 13: the ground solution and the burn count down to MECO.
void DrawGroundSolution(RowCursor& row, HDC hDC, const DisplayTexts& texts, LineBuffer& left) {
  ArvexMFD& mfd = row.mfd;
  if (!mfd.groundSolValid) return;
  const int xl = mfd.marginX;

  SetTextColor(hDC, kTeal);
  row.Advance(3 * kLine);
  DrawValue(hDC, xl, mfd.cursorY, left, texts.headingFormat, mfd.heading);
  row.Advance(2 * kLine);
  if (std::isfinite(mfd.launchAngle) && std::isfinite(mfd.flightPathAngle)) {
    DrawLine(hDC, xl, mfd.cursorY, left, texts.velocityVectorFormat, mfd.launchAngle,
             mfd.flightPathAngle);
  }
  row.Advance(2 * kLine);
  DrawValue(hDC, xl, mfd.cursorY, left, kApoapsisFormat, mfd.apoAltitude / 1000.0);
  row.Advance(2 * kLine);
  DrawValue(hDC, xl, mfd.cursorY, left, kVTanFormat, mfd.vTan);

  SetTextColor(hDC, kWhite);
  row.Advance(3 * kLine);
  // A count that is not a number says neither how much is left nor that the
  // burn is over.
  if (!std::isfinite(mfd.dvRemaining)) return;
  DrawLine(hDC, xl, mfd.cursorY, left, kDeltaVFormat, mfd.dvRemaining);
  if (mfd.dvRemaining > 0.0) {
    row.Advance(2 * kLine);
    if (std::isfinite(mfd.pitchCmd) && std::isfinite(mfd.actualPitch)) {
      DrawLine(hDC, xl, mfd.cursorY, left, kPitchFormat, mfd.pitchCmd, mfd.actualPitch);
    }
  } else {
    row.Advance(3 * kLine);
    DrawFixedText(hDC, mfd.column2X - 10, mfd.cursorY, left, kMeco);
  }
}

// Two lines above the bottom.
constexpr int kPageNumberRow = static_cast<int>(kLayoutHeight) - 2 * kLine;
int PageNumberY(const ArvexMFD& mfd) { return Scaled(mfd, kPageNumberRow); }

// Page 1/2 below the common rows: the delta-v to go, centred, in white; the
// surface's alignment and colour are given back afterwards.
void DrawFirstPageFooter(RowCursor& row, HDC hDC, LineBuffer& right) {
  ArvexMFD& mfd = row.mfd;
  const UINT savedAlign = GetTextAlign(hDC);
  const COLORREF savedColor = GetTextColor(hDC);
  SetTextAlign(hDC, TA_CENTER);
  SetTextColor(hDC, kWhite);
  if (mfd.flightSolValid) {
    row.MoveTo(200);
    if (!std::isfinite(mfd.dvToGo)) {
      // Neither a delta-v nor MECO can be claimed.
    } else if (mfd.dvToGo > 0.0) {
      DrawLine(hDC, mfd.column2X, mfd.cursorY, right, kDvFirstPageFormat, mfd.dvToGo);
    } else {
      DrawFixedText(hDC, mfd.column2X, mfd.cursorY, right, kMeco);
    }
    DrawFixedText(hDC, mfd.column2X, PageNumberY(mfd), right, kFirstPageNumber);
  }
  if (savedAlign != GDI_ERROR) SetTextAlign(hDC, savedAlign);
  if (savedColor != CLR_INVALID) SetTextColor(hDC, savedColor);
}

// Where a centred text too wide for the display is broken in two: the space
// that leaves the longer half shortest; 0 when the text fits on one line of
// characters charWidth [pixel] wide.
int LineBreak(const ArvexMFD& mfd, const char* text, int charWidth) {
  const int length = static_cast<int>(std::strlen(text));
  if (length * charWidth <= static_cast<int>(mfd.width) - 2 * mfd.marginX) return 0;
  const auto longer = [length](int at) { return at > length - at - 1 ? at : length - at - 1; };
  int best = 0;
  for (int i = 1; i < length; ++i) {
    if (text[i] == ' ' && (best == 0 || longer(i) < longer(best))) best = i;
  }
  return best;
}

// Page 2/2: the indicator, then the delta-v to go and the closing words,
// centred in white (left set when the page ends).
void DrawSecondPage(RowCursor& row, HDC hDC, const DisplayTexts& texts, LineBuffer& right,
                    int charWidth) {
  ArvexMFD& mfd = row.mfd;
  if (mfd.flightSolValid) {
    mfd.DrawIndicator(hDC);
    row.MoveTo(230);
    SetTextAlign(hDC, TA_CENTER);
    SetTextColor(hDC, kWhite);
    if (!std::isfinite(mfd.dvToGo)) {
      // Neither a delta-v nor MECO can be claimed.
    } else if (mfd.dvToGo > 0.0) {
      // Closing words on two lines move up until the second sits one half
      // step above the page number, the spacing of every row of the pages.
      const int split = LineBreak(mfd, texts.closingWords, charWidth);
      const int twoLineRow = kPageNumberRow - 3 * kHalfStep;
      if (split > 0 && twoLineRow < row.at290) row.MoveTo(twoLineRow);
      DrawLine(hDC, mfd.column2X, mfd.cursorY, right, kDvSecondPageFormat, mfd.dvToGo);
      row.Advance(kHalfStep);
      if (split == 0) {
        DrawFixedText(hDC, mfd.column2X, mfd.cursorY, right, texts.closingWords);
      } else {
        DrawLine(hDC, mfd.column2X, mfd.cursorY, right, "%.*s", split, texts.closingWords);
        row.Advance(kHalfStep);
        DrawFixedText(hDC, mfd.column2X, mfd.cursorY, right, texts.closingWords + split + 1);
      }
    } else {
      row.Advance(kHalfStep);
      DrawFixedText(hDC, mfd.column2X, mfd.cursorY, right, kMeco);
    }
  }
  DrawFixedText(hDC, mfd.column2X, PageNumberY(mfd), right, kSecondPageNumber);
}

}  // namespace

// Called by the host at every refresh: draws the whole page afresh. Keeps
// nothing but cursorY and frameMargin; the line buffers live on the stack.
void ArvexMFD::Update(HDC hDC) {
  // 1. Layout of this redraw, empty buffers.
  cursorY = 0;
  frameMargin = static_cast<int>(std::floor(0.03 * width));
  LineBuffer left = {};
  LineBuffer right = {};
  const DisplayTexts& texts = TextsFor(english);
  RowCursor row{*this};

  // 2. Title.
  Title(hDC, flightMode == 1 ? texts.titleInFlight : texts.titleGrounded);

  // 3. Page 2/2 has none of the common rows.
  if (flightMode == 1 && flightPage == 1) {
    DrawSecondPage(row, hDC, texts, right, static_cast<int>(cw));
    return;
  }

  // 4.-6. Common rows, then the grounded plan or the delta-v to go.
  DrawCommonRows(row, hDC, texts, left, right);
  if (flightMode == 1) {
    DrawFirstPageFooter(row, hDC, right);
  } else {
    DrawGroundSolution(row, hDC, texts, left);
  }
}
