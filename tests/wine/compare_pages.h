// The real-GDI drawing of a page against the simulated host's display list
// of the same page (tests/wine/page_list.h): the same texts drawn, and each
// text's ink where the simulated host's picture has it, in its colour.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "wine/page_list.h"
#include "wine/scripted_world.h"

namespace testhost {

// Points the DLL's import of TextOutA at ListedTextOut, so that every text
// the module draws is listed. False if the DLL does not import it.
bool ListTextOut(HMODULE dll);

// Pixels of a 32-bit top-down DIB (0x00RRGGBB).
struct Pixels {
  const std::uint32_t* p;
  int w, h;
};

// Whether a pixel (0x00RRGGBB) is the colour c at some intensity from
// `least` up: text drawn with grey antialiasing on black is c scaled by its
// coverage, and a small font has few pixels at full strength.
bool OfColour(std::uint32_t pixel, COLORREF c, double least = 0.5);

// How far the two fonts may put the same text's ink apart [pixel]: the
// difference of the character advances over the text's length, and of the
// ascents, plus one pixel for rasterising the same outline twice.
struct Tolerance {
  int x, y;
};
Tolerance InkTolerance(const pagelist::Page& page, const TEXTMETRICA& gdi, std::size_t length);

// How far the two drawings' anchors of one text may lie apart [pixel]: a
// position that the module computes in floating point and cuts to whole
// pixels (the marker of page 2/2) can fall one pixel apart where two maths
// libraries round its last bit differently.
inline constexpr int kAnchorSlack = 1;

// One line per disagreement; empty when they agree. The texts must match
// in order, bytes, colour, alignment and title, and their anchors within
// kAnchorSlack.
std::vector<std::string> CompareTexts(const pagelist::Page& page,
                                      const std::vector<DrawnText>& drawn);
// For each text of the page: the pixels that its drawing added to the page
// (full minus bare, the same page drawn without texts) of its colour, near
// its ink on the simulated host's picture (moved with its anchor, when the
// anchors lie within kAnchorSlack), span that ink within the tolerance.
std::vector<std::string> CompareInk(const pagelist::Page& page, const std::vector<DrawnText>& drawn,
                                    const Pixels& full, const Pixels& bare, const TEXTMETRICA& gdi);

}  // namespace testhost
