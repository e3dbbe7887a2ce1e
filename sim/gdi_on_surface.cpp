// The GDI calls of a display module, answered on sim::Surface. Every call
// given a null, stale or unknown handle fails with GDI's own failure value.
#include <cstdint>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "gdi.h"
#include "sim/surface.h"

namespace sim {
namespace {

struct PenInfo {
  int style = PS_SOLID;
  int width = 1;  // [pixel] kept for completeness; every line is drawn 1 pixel wide
  COLORREF color = 0;
};
struct BrushInfo {
  bool hollow = false;
  COLORREF color = 0;
};

// Object handles carry a tag in their low bits (surfaces use 1, pens 2,
// brushes 3), so no handle of one kind ever equals one of another, and a
// serial number that is never reused. Serials below kFirstSerial are the
// stock objects, which are never counted and never deleted.
constexpr std::uintptr_t kPenTag = 2, kBrushTag = 3;
constexpr std::uintptr_t kFirstSerial = 16;
constexpr std::uintptr_t stockValue(int index, std::uintptr_t tag) {
  return (static_cast<std::uintptr_t>(index + 1) << 4) | tag;
}
// The host's own display pen is permanent too: one past the GDI stock set.
constexpr int kDisplayPenIndex = 9;
constexpr COLORREF kDisplayPenColor = 0x0000FF00;

bool stockPenInfo(std::uintptr_t value, PenInfo& out) {
  switch (value) {
    case stockValue(WHITE_PEN, kPenTag):
      out = {PS_SOLID, 1, 0x00FFFFFF};
      return true;
    case stockValue(BLACK_PEN, kPenTag):
      out = {PS_SOLID, 1, 0};
      return true;
    case stockValue(NULL_PEN, kPenTag):
      out = {PS_NULL, 1, 0};
      return true;
    case stockValue(kDisplayPenIndex, kPenTag):
      out = {PS_SOLID, 1, kDisplayPenColor};
      return true;
    default:
      return false;
  }
}
bool stockBrushInfo(std::uintptr_t value, BrushInfo& out) {
  static constexpr BYTE kGreys[5] = {255, 192, 128, 64, 0};  // WHITE .. BLACK_BRUSH
  for (int i = WHITE_BRUSH; i <= BLACK_BRUSH; ++i) {
    if (value == stockValue(i, kBrushTag)) {
      out = {false, RGB(kGreys[i], kGreys[i], kGreys[i])};
      return true;
    }
  }
  if (value != stockValue(NULL_BRUSH, kBrushTag)) return false;
  out = {true, 0};
  return true;
}

class ObjectRegistry {
 public:
  HGDIOBJ create(const PenInfo& info) {
    std::lock_guard lock(mutex_);
    const std::uintptr_t value = (serial_++ << 4) | kPenTag;
    pens_.emplace(value, info);
    return reinterpret_cast<HGDIOBJ>(value);
  }
  HGDIOBJ create(const BrushInfo& info) {
    std::lock_guard lock(mutex_);
    const std::uintptr_t value = (serial_++ << 4) | kBrushTag;
    brushes_.emplace(value, info);
    return reinterpret_cast<HGDIOBJ>(value);
  }
  bool find(HGDIOBJ pen, PenInfo& out) const {
    const auto value = reinterpret_cast<std::uintptr_t>(pen);
    if (stockPenInfo(value, out)) return true;
    std::lock_guard lock(mutex_);
    const auto it = pens_.find(value);
    if (it == pens_.end()) return false;
    out = it->second;
    return true;
  }
  bool find(HGDIOBJ brush, BrushInfo& out) const {
    const auto value = reinterpret_cast<std::uintptr_t>(brush);
    if (stockBrushInfo(value, out)) return true;
    std::lock_guard lock(mutex_);
    const auto it = brushes_.find(value);
    if (it == brushes_.end()) return false;
    out = it->second;
    return true;
  }
  // GDI's answer for DeleteObject.
  BOOL erase(HGDIOBJ obj) {
    const auto value = reinterpret_cast<std::uintptr_t>(obj);
    if ((value >> 4) < kFirstSerial) {
      PenInfo pen;
      BrushInfo brush;
      return (stockPenInfo(value, pen) || stockBrushInfo(value, brush)) ? TRUE : FALSE;
    }
    std::lock_guard lock(mutex_);
    if (penInUse(obj)) return FALSE;  // lock order: objects, then surfaces
    return (pens_.erase(value) + brushes_.erase(value)) > 0 ? TRUE : FALSE;
  }
  int countPens() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(pens_.size());
  }

 private:
  mutable std::mutex mutex_;
  std::uintptr_t serial_ = kFirstSerial;
  std::unordered_map<std::uintptr_t, PenInfo> pens_;
  std::unordered_map<std::uintptr_t, BrushInfo> brushes_;
};

ObjectRegistry& pens() {
  // Never destroyed, so that surfaces and pens that outlive static
  // destruction order (globals in tests or programs) still find it.
  static ObjectRegistry* registry = new ObjectRegistry;
  return *registry;
}

// The pen a surface draws with; the null pen when none is valid.
PenInfo selectedPen(const Surface& surface) {
  PenInfo info;
  if (!pens().find(surface.pen, info)) info = PenInfo{PS_NULL, 1, 0};
  return info;
}

// The brush a surface fills with; hollow when none is valid.
BrushInfo selectedBrush(const Surface& surface) {
  BrushInfo info;
  if (!pens().find(surface.brush, info)) info = BrushInfo{true, 0};
  return info;
}

}  // namespace

int livePenCount() { return pens().countPens(); }

COLORREF penColor(HGDIOBJ pen) {
  PenInfo info;
  return pens().find(pen, info) ? info.color : CLR_INVALID;
}

HGDIOBJ stockPen() { return reinterpret_cast<HGDIOBJ>(stockValue(WHITE_PEN, kPenTag)); }

HGDIOBJ displayPen() { return reinterpret_cast<HGDIOBJ>(stockValue(kDisplayPenIndex, kPenTag)); }

}  // namespace sim

using sim::Surface;
using sim::surfaceFromHdc;

extern "C" {

HPEN CreatePen(int style, int width, COLORREF color) {
  // PS_SOLID .. PS_INSIDEFRAME; user styles and geometric pens are not offered.
  if (style < PS_SOLID || style > 6) return nullptr;
  const int pixels = width < 1 ? 1 : width;  // width 0 is GDI's one-pixel pen
  return static_cast<HPEN>(sim::pens().create(sim::PenInfo{style, pixels, color}));
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj) {
  Surface* surface = surfaceFromHdc(hdc);
  if (surface == nullptr || obj == nullptr) return nullptr;
  sim::PenInfo pen;
  sim::BrushInfo brush;
  HGDIOBJ* slot = nullptr;
  if (sim::pens().find(obj, pen)) {
    slot = &surface->pen;
  } else if (sim::pens().find(obj, brush)) {
    slot = &surface->brush;
  } else {
    return nullptr;
  }
  HGDIOBJ previous = *slot;
  *slot = obj;
  return previous;
}

BOOL DeleteObject(HGDIOBJ obj) {
  if (obj == nullptr) return FALSE;
  return sim::pens().erase(obj);
}

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT previous) {
  Surface* surface = surfaceFromHdc(hdc);
  if (surface == nullptr) return FALSE;
  if (previous != nullptr) {
    previous->x = surface->curX;
    previous->y = surface->curY;
  }
  surface->curX = x;
  surface->curY = y;
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  Surface* surface = surfaceFromHdc(hdc);
  if (surface == nullptr) return FALSE;
  const sim::PenInfo pen = sim::selectedPen(*surface);
  if (pen.style != PS_NULL) {
    surface->addSegment(sim::DrawnSegment{surface->curX, surface->curY, x, y, pen.color});
  }
  surface->curX = x;
  surface->curY = y;
  return TRUE;
}

// Both figures fill their inside with the selected brush and outline it with
// the selected pen, as GDI does; either may be null.
BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom) {
  Surface* surface = surfaceFromHdc(hdc);
  if (surface == nullptr) return FALSE;
  const sim::PenInfo pen = sim::selectedPen(*surface);
  const sim::BrushInfo brush = sim::selectedBrush(*surface);
  if (pen.style != PS_NULL || !brush.hollow) {
    surface->addEllipse(sim::DrawnEllipse{left, top, right, bottom, pen.color, !brush.hollow,
                                          brush.color, pen.style != PS_NULL});
  }
  return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  Surface* surface = surfaceFromHdc(hdc);
  if (surface == nullptr) return FALSE;
  const sim::PenInfo pen = sim::selectedPen(*surface);
  const sim::BrushInfo brush = sim::selectedBrush(*surface);
  if (pen.style != PS_NULL || !brush.hollow) {
    surface->addRectangle(sim::DrawnRectangle{
        {left, top, right, bottom, pen.color, !brush.hollow, brush.color, pen.style != PS_NULL}});
  }
  return TRUE;
}

// The brushes WHITE_BRUSH .. NULL_BRUSH and the pens WHITE_PEN .. NULL_PEN;
// fonts and palettes are not offered.
HGDIOBJ GetStockObject(int index) {
  if (index < WHITE_BRUSH || index > NULL_PEN) return nullptr;
  const std::uintptr_t tag = index >= WHITE_PEN ? sim::kPenTag : sim::kBrushTag;
  return reinterpret_cast<HGDIOBJ>(sim::stockValue(index, tag));
}

HBRUSH CreateSolidBrush(COLORREF color) {
  return static_cast<HBRUSH>(sim::pens().create(sim::BrushInfo{false, color & 0x00FFFFFF}));
}

int SetBkMode(HDC hdc, int mode) {
  Surface* surface = surfaceFromHdc(hdc);
  if (surface == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  const int previous = surface->bkMode;
  surface->bkMode = mode;
  return previous;
}

int GetBkMode(HDC hdc) {
  const Surface* surface = surfaceFromHdc(hdc);
  return surface == nullptr ? 0 : surface->bkMode;
}

BOOL TextOutA(HDC hdc, int x, int y, LPCSTR text, int length) {
  Surface* surface = surfaceFromHdc(hdc);
  if (surface == nullptr || text == nullptr || length < 0) return FALSE;
  if (length == 0) return TRUE;
  // A length beyond the terminator must not read past the caller's buffer.
  const std::size_t bytes = strnlen(text, static_cast<std::size_t>(length));
  if (bytes == 0) return TRUE;
  sim::DrawnText drawn;
  drawn.x = x;
  drawn.y = y;
  drawn.bytes.assign(text, bytes);
  drawn.color = surface->textColor;
  drawn.align = surface->textAlign;
  drawn.opaque = surface->bkMode == OPAQUE;
  drawn.background = surface->bkColor;
  surface->addText(std::move(drawn));
  return TRUE;
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  Surface* surface = surfaceFromHdc(hdc);
  if (surface == nullptr) return CLR_INVALID;
  const COLORREF previous = surface->textColor;
  surface->textColor = color;
  return previous;
}

COLORREF GetTextColor(HDC hdc) {
  const Surface* surface = surfaceFromHdc(hdc);
  return surface == nullptr ? CLR_INVALID : surface->textColor;
}

UINT SetTextAlign(HDC hdc, UINT align) {
  Surface* surface = surfaceFromHdc(hdc);
  if (surface == nullptr) return GDI_ERROR;
  const UINT previous = surface->textAlign;
  surface->textAlign = align;
  return previous;
}

UINT GetTextAlign(HDC hdc) {
  const Surface* surface = surfaceFromHdc(hdc);
  return surface == nullptr ? GDI_ERROR : surface->textAlign;
}

}  // extern "C"
