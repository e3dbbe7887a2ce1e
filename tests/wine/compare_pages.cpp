#include "wine/compare_pages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace testhost {

namespace {

BOOL WINAPI ModuleTextOut(HDC dc, int x, int y, LPCSTR text, int n) {
  return ListedTextOut(dc, x, y, text, n, false);
}

std::string Describe(const std::string& bytes, int x, int y, unsigned colour, unsigned align) {
  char line[200];
  std::snprintf(line, sizeof line, "\"%s\" at (%d, %d) colour %06x align %x", bytes.c_str(), x, y,
                colour, align);
  return line;
}

// The faintest pixel counted as a text's ink, against the outline's box on
// the simulated side: a stroke thinner than a pixel (a 6-pixel font's) has
// no pixel from half strength up.
constexpr double kFaintestInk = 0.25;

// The character cells a text covers, from its anchor and alignment: the
// neighbours' cells are where their ink is, not this text's.
struct Cells {
  int left, top, right, bottom;
  bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};
Cells CellsOf(const pagelist::Page& page, const pagelist::Text& t) {
  const int width = page.cw * static_cast<int>(t.bytes.size());
  const int left = (t.align & TA_CENTER) == TA_CENTER ? t.x - width / 2
                   : (t.align & TA_RIGHT) != 0        ? t.x - width
                                                      : t.x;
  return {left, t.y, left + width, t.y + page.ch};
}
// Whether the pixel lies in another text's cells and not in text i's own.
bool Neighbours(const std::vector<Cells>& cells, std::size_t i, int x, int y) {
  if (cells[i].contains(x, y)) return false;
  for (std::size_t j = 0; j < cells.size(); ++j) {
    if (j != i && cells[j].contains(x, y)) return true;
  }
  return false;
}

}  // namespace

bool OfColour(std::uint32_t pixel, COLORREF c, double least) {
  const int p[3] = {static_cast<int>(pixel >> 16 & 0xFF), static_cast<int>(pixel >> 8 & 0xFF),
                    static_cast<int>(pixel & 0xFF)};
  const int want[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
  const int strongest = static_cast<int>(std::max_element(want, want + 3) - want);
  if (want[strongest] == 0) return false;
  const double a = static_cast<double>(p[strongest]) / want[strongest];
  if (a < least) return false;
  for (int i = 0; i < 3; ++i) {
    if (std::fabs(p[i] - a * want[i]) > 3) return false;
  }
  return true;
}

bool ListTextOut(HMODULE dll) {
  auto* base = reinterpret_cast<BYTE*>(dll);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
  for (; library->Name != 0; ++library) {
    if (_stricmp(reinterpret_cast<const char*>(base + library->Name), "gdi32.dll") != 0) continue;
    auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; name->u1.AddressOfData != 0; ++name, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "TextOutA") != 0) continue;
      DWORD protection = 0;
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection);
      slot->u1.Function = reinterpret_cast<ULONG_PTR>(&ModuleTextOut);
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
      return true;
    }
  }
  return false;
}

Tolerance InkTolerance(const pagelist::Page& page, const TEXTMETRICA& gdi, std::size_t length) {
  const double advance = std::fabs(gdi.tmAveCharWidth - page.advance) * static_cast<double>(length);
  const double ascent = std::fabs(gdi.tmAscent - page.ascent);
  return {static_cast<int>(std::ceil(advance)) + 1, static_cast<int>(std::ceil(ascent)) + 1};
}

std::vector<std::string> CompareTexts(const pagelist::Page& page,
                                      const std::vector<DrawnText>& drawn) {
  std::vector<std::string> faults;
  const std::size_t n = std::max(page.texts.size(), drawn.size());
  for (std::size_t i = 0; i < n; ++i) {
    const bool both = i < page.texts.size() && i < drawn.size();
    // A position the module computes and cuts to whole pixels (the marker)
    // may come out one pixel apart from two maths libraries.
    const bool anchorsAgree = both && std::abs(page.texts[i].x - drawn[i].x) <= kAnchorSlack &&
                              std::abs(page.texts[i].y - drawn[i].y) <= kAnchorSlack;
    const int x = anchorsAgree ? drawn[i].x : i < page.texts.size() ? page.texts[i].x : 0;
    const int y = anchorsAgree ? drawn[i].y : i < page.texts.size() ? page.texts[i].y : 0;
    const std::string simulated =
        i < page.texts.size()
            ? Describe(page.texts[i].bytes, x, y, page.texts[i].colour, page.texts[i].align) +
                  (page.texts[i].title ? " (title)" : "")
            : "nothing";
    const std::string real = i < drawn.size() ? Describe(drawn[i].bytes, drawn[i].x, drawn[i].y,
                                                         drawn[i].colour, drawn[i].align) +
                                                    (drawn[i].title ? " (title)" : "")
                                              : "nothing";
    if (simulated != real) {
      faults.push_back("text " + std::to_string(i + 1) + ": GDI " + real + ", simulated " +
                       simulated);
    }
  }
  return faults;
}

std::vector<std::string> CompareInk(const pagelist::Page& page, const std::vector<DrawnText>& drawn,
                                    const Pixels& full, const Pixels& bare,
                                    const TEXTMETRICA& gdi) {
  std::vector<std::string> faults;
  // The simulated texts, moved by the slack the anchors may differ by.
  std::vector<pagelist::Text> moved = page.texts;
  std::vector<Cells> cells;
  for (std::size_t i = 0; i < moved.size(); ++i) {
    pagelist::Text& t = moved[i];
    if (i < drawn.size() && std::abs(drawn[i].x - t.x) <= kAnchorSlack &&
        std::abs(drawn[i].y - t.y) <= kAnchorSlack) {
      const int dx = drawn[i].x - t.x, dy = drawn[i].y - t.y;
      t.x += dx;
      t.y += dy;
      t.left += dx;
      t.right += dx;
      t.top += dy;
      t.bottom += dy;
    }
    cells.push_back(CellsOf(page, t));
  }
  for (std::size_t i = 0; i < moved.size(); ++i) {
    const pagelist::Text& t = moved[i];
    if (t.right <= t.left) continue;  // no ink (blanks only)
    const Tolerance tol = InkTolerance(page, gdi, t.bytes.size());
    const int x0 = std::max(0, static_cast<int>(std::floor(t.left)) - tol.x - 1);
    const int x1 = std::min(full.w, static_cast<int>(std::ceil(t.right)) + tol.x + 1);
    const int y0 = std::max(0, static_cast<int>(std::floor(t.top)) - tol.y - 1);
    const int y1 = std::min(full.h, static_cast<int>(std::ceil(t.bottom)) + tol.y + 1);
    int left = x1, right = x0, top = y1, bottom = y0, count = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const std::uint32_t p = full.p[y * full.w + x] & 0xFFFFFF;
        if (p == (bare.p[y * bare.w + x] & 0xFFFFFF) || !OfColour(p, t.colour, kFaintestInk) ||
            Neighbours(cells, i, x, y)) {
          continue;
        }
        ++count;
        left = std::min(left, x);
        right = std::max(right, x + 1);
        top = std::min(top, y);
        bottom = std::max(bottom, y + 1);
      }
    }
    const bool agrees = count > 0 && std::fabs(left - t.left) <= tol.x &&
                        std::fabs(right - t.right) <= tol.x && std::fabs(top - t.top) <= tol.y &&
                        std::fabs(bottom - t.bottom) <= tol.y;
    if (!agrees) {
      char line[300];
      std::snprintf(line, sizeof line,
                    "ink of %s: GDI [%d, %d) x [%d, %d) (%d pixels), simulated [%.0f, %.0f) x "
                    "[%.0f, %.0f), tolerance %d, %d",
                    Describe(t.bytes, t.x, t.y, t.colour, t.align).c_str(), left, right, top,
                    bottom, count, t.left, t.right, t.top, t.bottom, tol.x, tol.y);
      faults.push_back(line);
    }
  }
  return faults;
}

}  // namespace testhost
