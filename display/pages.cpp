// The display pages' layout and its replay on the surface (see pages.h).
#include "display/pages.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "display/texts.h"

namespace arvex {

namespace {

constexpr COLORREF kGreen = 0x00FF00;   // left column: own position, parameters, engine
constexpr COLORREF kYellow = 0x00FFFF;  // right column: the target
constexpr COLORREF kTeal = 0x969600;    // the ground solution
constexpr COLORREF kWhite = 0xFFFFFF;   // delta-v, pitch, MECO, page numbers

// Rows are laid out as on a display 290 pixels high, where a line is 10
// pixels and a half step 15, and scaled with the display's height: the
// host's font follows the height, and lines of a whole number of pixels
// (height / 28) would fall behind it (5-pixel lines under a 7-pixel font on
// a display 167 pixels high).
constexpr unsigned int kLayoutHeight = 290;  // [pixel]
constexpr int kLine = 10;                    // [pixel of the 290-pixel layout]
constexpr int kHalfStep = 15;                // [pixel of the 290-pixel layout]
// The page number: two lines above the bottom.
constexpr int kPageNumberRow = static_cast<int>(kLayoutHeight) - 2 * kLine;

// Builds a page's ops. The running row is kept in the 290-pixel layout so
// that the steps' roundings do not add up; y is its place on this display.
struct PageWriter {
  const PageInput& in;
  PageLayout& out;
  int at290 = 0;

  int Scaled(int row) const {
    return static_cast<int>(static_cast<unsigned int>(row) * in.height / kLayoutHeight);
  }
  int y() const { return out.cursorY; }
  void MoveTo(int row) {
    at290 = row;
    out.cursorY = Scaled(at290);
  }
  void Advance(int step) { MoveTo(at290 + step); }

  // A new op, or null when the page has no room left (never with the pages
  // as they are: kMaxPageOps is above the longest page's count).
  PageOp* Add(PageOpKind kind, unsigned int value = 0) {
    if (out.count >= kMaxPageOps) return nullptr;
    PageOp& op = out.ops[out.count++];
    op.kind = kind;
    op.value = value;
    op.x = op.y = op.length = 0;
    op.text[0] = '\0';
    return &op;
  }
  void Align(unsigned int flags) { Add(PageOpKind::kAlign, flags); }
  void Color(COLORREF color) { Add(PageOpKind::kColor, color); }

  // Formats one line into its buffer, never past the buffer's end whatever
  // the values; drawn with the formatted length.
  void Line(int x, int yAt, const char* format, ...) {
    char buffer[kPageLineSize];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (written < 0) return;
    PageOp* op = Add(PageOpKind::kText);
    if (op == nullptr) return;
    op->x = x;
    op->y = yAt;
    op->length = written < kPageLineSize ? written : kPageLineSize - 1;
    std::memcpy(op->text, buffer, static_cast<size_t>(op->length) + 1);
  }
  // A fixed text, formatted like every other line.
  void Fixed(int x, int yAt, const char* text) { Line(x, yAt, "%s", text); }
  // A line showing one value; a value that is not a finite number is left
  // out rather than shown as "nan" or "inf".
  void Value(int x, int yAt, const char* format, double value) {
    if (std::isfinite(value)) Line(x, yAt, format, value);
  }
  // A name as the host gave it, as much of it as a line holds.
  void Name(int x, int yAt, const char* name) {
    PageOp* op = Add(PageOpKind::kText);
    if (op == nullptr) return;
    op->x = x;
    op->y = yAt;
    int n = 0;
    for (; n < kPageLineSize - 1 && name[n] != '\0'; ++n) op->text[n] = name[n];
    op->text[n] = '\0';
    op->length = n;
  }
};

// Rows 1 to 4 of the common rows: headers, body or base, coordinates. An
// incomplete target shows which coordinate is present under "No Target".
void PlacePositionRows(PageWriter& w, const DisplayTexts& texts) {
  const PageInput& in = w.in;
  const int xl = in.marginX, xr = in.column2X;

  // 1 - Headers.
  w.Advance(3 * kLine);
  w.Color(kGreen);
  w.Fixed(xl, w.y(), kPositionHeader);
  w.Color(kYellow);
  w.Fixed(xr, w.y(), texts.targetHeader);

  // 2 - Body, and the base if one is chosen.
  w.Advance(kHalfStep);
  w.Color(kGreen);
  w.Name(xl, w.y(), in.bodyName);
  w.Color(kYellow);
  w.Name(xr, w.y(), in.targetName);

  // 3 - Latitudes.
  const bool bothCoordinates = in.targetBaseSet || (in.inputs.tgtLatSet && in.inputs.tgtLngSet);
  w.Advance(kHalfStep);
  w.Color(kGreen);
  if (in.ownKnown) w.Value(xl, w.y(), kLatFormat, in.inputs.ownLatDeg);
  w.Color(kYellow);
  if (bothCoordinates) {
    w.Value(xr, w.y(), kLatFormat, in.inputs.tgtLatDeg);
  } else {
    w.Fixed(xr, w.y(), texts.noTarget);
  }

  // 4 - Longitudes, or the one coordinate of an incomplete target.
  w.Advance(kHalfStep);
  w.Color(kGreen);
  if (in.ownKnown) w.Value(xl, w.y(), kLngFormat, in.inputs.ownLngDeg);
  w.Color(kYellow);
  if (bothCoordinates) {
    w.Value(xr, w.y(), kLngFormat, in.inputs.tgtLngDeg);
  } else if (in.inputs.tgtLatSet) {
    w.Value(xr, w.y(), kLatFormat, in.inputs.tgtLatDeg);
  } else if (in.inputs.tgtLngSet) {
    w.Value(xr, w.y(), kLngFormat, in.inputs.tgtLngDeg);
  }
}

// Rows 1 to 7, shared by the grounded page and page 1/2.
void PlaceCommonRows(PageWriter& w, const DisplayTexts& texts) {
  const PageInput& in = w.in;
  const int xl = in.marginX;
  // Page 2/2 leaves centred alignment on the surface, and a host may keep it
  // until the next redraw; these columns start at their x.
  w.Align(TA_LEFT | TA_TOP);
  PlacePositionRows(w, texts);

  // Rows 5 to 7 - Parameters [km] and engine.
  w.Color(kGreen);
  w.Advance(3 * kLine);
  w.Value(xl, w.y(), texts.securityAltFormat, in.inputs.securityAlt / 1000.0);
  if (in.inputs.flightMode == 1) {
    w.Advance(2 * kLine);
    w.Value(xl, w.y(), texts.altAboveTargetFormat, in.inputs.altAboveTarget / 1000.0);
  }
  w.Advance(2 * kLine);
  w.Fixed(xl, w.y(), in.inputs.useMainEngine ? texts.engineMain : texts.engineHover);
}

// Rows 8 to 13: the ground solution and the burn count down to MECO.
void PlaceGroundSolution(PageWriter& w, const DisplayTexts& texts) {
  const PageInput& in = w.in;
  if (!in.groundSolValid) return;
  const int xl = in.marginX;

  w.Color(kTeal);
  w.Advance(3 * kLine);
  w.Value(xl, w.y(), texts.headingFormat, in.heading);
  w.Advance(2 * kLine);
  if (std::isfinite(in.launchAngle) && std::isfinite(in.flightPathAngle)) {
    w.Line(xl, w.y(), texts.velocityVectorFormat, in.launchAngle, in.flightPathAngle);
  }
  w.Advance(2 * kLine);
  w.Value(xl, w.y(), kApoapsisFormat, in.apoAltitude / 1000.0);
  w.Advance(2 * kLine);
  w.Value(xl, w.y(), kVTanFormat, in.vTan);

  w.Color(kWhite);
  w.Advance(3 * kLine);
  // A count that is not a number says neither how much is left nor that the
  // burn is over.
  if (!std::isfinite(in.dvRemaining)) return;
  w.Line(xl, w.y(), kDeltaVFormat, in.dvRemaining);
  if (in.dvRemaining > 0.0) {
    w.Advance(2 * kLine);
    if (std::isfinite(in.pitchCmd) && std::isfinite(in.actualPitch)) {
      w.Line(xl, w.y(), kPitchFormat, in.pitchCmd, in.actualPitch);
    }
  } else {
    w.Advance(3 * kLine);
    w.Fixed(in.column2X - 10, w.y(), kMeco);
  }
}

// Page 1/2 below the common rows: the delta-v to go, centred, in white; the
// surface's alignment and colour are given back afterwards.
void PlaceFirstPageFooter(PageWriter& w) {
  const PageInput& in = w.in;
  w.Add(PageOpKind::kSaveStyle);
  w.Align(TA_CENTER);
  w.Color(kWhite);
  if (in.flightSolValid) {
    w.MoveTo(200);
    if (!std::isfinite(in.dvToGo)) {
      // Neither a delta-v nor MECO can be claimed.
    } else if (in.dvToGo > 0.0) {
      w.Line(in.column2X, w.y(), kDvFirstPageFormat, in.dvToGo);
    } else {
      w.Fixed(in.column2X, w.y(), kMeco);
    }
    w.Fixed(in.column2X, w.Scaled(kPageNumberRow), kFirstPageNumber);
  }
  w.Add(PageOpKind::kRestoreStyle);
}

// Where a centred text too wide for the display is broken in two: the space
// that leaves the longer half shortest; 0 when the text fits on one line.
int LineBreak(const PageInput& in, const char* text) {
  const int length = static_cast<int>(std::strlen(text));
  if (length * in.charWidth <= static_cast<int>(in.width) - 2 * in.marginX) return 0;
  const auto longer = [length](int at) { return at > length - at - 1 ? at : length - at - 1; };
  int best = 0;
  for (int i = 1; i < length; ++i) {
    if (text[i] == ' ' && (best == 0 || longer(i) < longer(best))) best = i;
  }
  return best;
}

// The delta-v to go and the closing words of page 2/2, broken in two when
// too wide: two lines move up until the second sits one half step above the
// page number, the spacing of every row of the pages.
void PlaceClosingWords(PageWriter& w, const DisplayTexts& texts) {
  const PageInput& in = w.in;
  const int split = LineBreak(in, texts.closingWords);
  const int twoLineRow = kPageNumberRow - 3 * kHalfStep;
  if (split > 0 && twoLineRow < w.at290) w.MoveTo(twoLineRow);
  w.Line(in.column2X, w.y(), kDvSecondPageFormat, in.dvToGo);
  w.Advance(kHalfStep);
  if (split == 0) {
    w.Fixed(in.column2X, w.y(), texts.closingWords);
  } else {
    w.Line(in.column2X, w.y(), "%.*s", split, texts.closingWords);
    w.Advance(kHalfStep);
    w.Fixed(in.column2X, w.y(), texts.closingWords + split + 1);
  }
}

// Page 2/2: the indicator, then the delta-v to go and the closing words,
// centred in white (left set when the page ends).
void PlaceSecondPage(PageWriter& w, const DisplayTexts& texts) {
  const PageInput& in = w.in;
  if (in.flightSolValid) {
    w.out.showIndicator = true;
    w.MoveTo(230);
    w.Align(TA_CENTER);
    w.Color(kWhite);
    if (!std::isfinite(in.dvToGo)) {
      // Neither a delta-v nor MECO can be claimed.
    } else if (in.dvToGo > 0.0) {
      PlaceClosingWords(w, texts);
    } else {
      w.Advance(kHalfStep);
      w.Fixed(in.column2X, w.y(), kMeco);
    }
  }
  w.Fixed(in.column2X, w.Scaled(kPageNumberRow), kSecondPageNumber);
}

}  // namespace

void LayOutPage(const PageInput& in, PageLayout& out) {
  // 1 - Layout of this redraw: the frame margin follows the width, the rows
  // start at the top.
  out.cursorY = 0;
  out.frameMargin = static_cast<int>(std::floor(0.03 * in.width));
  out.showIndicator = false;
  out.count = 0;
  const DisplayTexts& texts = TextsFor(in.english);
  PageWriter w{in, out};

  // 2 - Title by mode.
  out.title = in.inputs.flightMode == 1 ? texts.titleInFlight : texts.titleGrounded;

  // 3 - Page 2/2 has none of the common rows.
  if (in.inputs.flightMode == 1 && in.inputs.flightPage == 1) {
    PlaceSecondPage(w, texts);
    return;
  }

  // 4 - Common rows, then the grounded plan or the delta-v to go.
  PlaceCommonRows(w, texts);
  if (in.inputs.flightMode == 1) {
    PlaceFirstPageFooter(w);
  } else {
    PlaceGroundSolution(w, texts);
  }
}

void DrawPageLayout(HDC hDC, const PageLayout& layout) {
  UINT savedAlign = GDI_ERROR;
  COLORREF savedColor = CLR_INVALID;
  for (int i = 0; i < layout.count; ++i) {
    const PageOp& op = layout.ops[i];
    switch (op.kind) {
      case PageOpKind::kAlign:
        SetTextAlign(hDC, op.value);
        break;
      case PageOpKind::kColor:
        SetTextColor(hDC, op.value);
        break;
      case PageOpKind::kText:
        TextOutA(hDC, op.x, op.y, op.text, op.length);
        break;
      case PageOpKind::kSaveStyle:
        savedAlign = GetTextAlign(hDC);
        savedColor = GetTextColor(hDC);
        break;
      case PageOpKind::kRestoreStyle:
        if (savedAlign != GDI_ERROR) SetTextAlign(hDC, savedAlign);
        if (savedColor != CLR_INVALID) SetTextColor(hDC, savedColor);
        break;
    }
  }
}

}  // namespace arvex
