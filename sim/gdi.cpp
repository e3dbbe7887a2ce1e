// The GDI calls of a display module, answered on sim::Surface. Every call
// given a null, stale or unknown handle fails with GDI's own failure value.
#include "gdi.h"

#include <cstdint>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "sim/surface.h"

namespace sim {
namespace {

struct PenInfo {
  int style = PS_SOLID;
  int width = 1;  // [pixel] kept for completeness; every line is drawn 1 pixel wide
  COLORREF color = 0;
};

// Pen handles carry tag 2 in their low bits (surfaces use 1), so a pen
// handle never equals an HDC, and a serial number that is never reused.
constexpr std::uintptr_t kPenTag = 2;
constexpr std::uintptr_t kStockPenValue = (std::uintptr_t{1} << 4) | kPenTag;
constexpr COLORREF kStockPenColor = 0x00FFFFFF;

class PenRegistry {
 public:
  HGDIOBJ create(const PenInfo& info) {
    std::lock_guard lock(mutex_);
    const std::uintptr_t value = (++serial_ << 4) | kPenTag;
    pens_.emplace(value, info);
    return reinterpret_cast<HGDIOBJ>(value);
  }
  bool find(HGDIOBJ pen, PenInfo& out) const {
    if (reinterpret_cast<std::uintptr_t>(pen) == kStockPenValue) {
      out = PenInfo{PS_SOLID, 1, kStockPenColor};
      return true;
    }
    std::lock_guard lock(mutex_);
    const auto it = pens_.find(reinterpret_cast<std::uintptr_t>(pen));
    if (it == pens_.end()) return false;
    out = it->second;
    return true;
  }
  // GDI's answer for DeleteObject on a pen handle.
  BOOL erase(HGDIOBJ pen) {
    if (reinterpret_cast<std::uintptr_t>(pen) == kStockPenValue) return TRUE;
    std::lock_guard lock(mutex_);
    const auto it = pens_.find(reinterpret_cast<std::uintptr_t>(pen));
    if (it == pens_.end()) return FALSE;
    if (penInUse(pen)) return FALSE;  // lock order: pens, then surfaces
    pens_.erase(it);
    return TRUE;
  }
  int count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(pens_.size());
  }

 private:
  mutable std::mutex mutex_;
  std::uintptr_t serial_ = 1;  // 1 is the stock pen
  std::unordered_map<std::uintptr_t, PenInfo> pens_;
};

PenRegistry& pens() {
  // Never destroyed, so that surfaces and pens that outlive static
  // destruction order (globals in tests or programs) still find it.
  static PenRegistry* registry = new PenRegistry;
  return *registry;
}

// The pen a surface draws with; the stock pen when none is valid.
PenInfo selectedPen(const Surface& surface) {
  PenInfo info;
  if (!pens().find(surface.pen == nullptr ? stockPen() : surface.pen, info)) {
    pens().find(stockPen(), info);
  }
  return info;
}

}  // namespace

int livePenCount() { return pens().count(); }

COLORREF penColor(HGDIOBJ pen) {
  PenInfo info;
  return pens().find(pen, info) ? info.color : CLR_INVALID;
}

HGDIOBJ stockPen() { return reinterpret_cast<HGDIOBJ>(kStockPenValue); }

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
  sim::PenInfo info;
  if (surface == nullptr || obj == nullptr || !sim::pens().find(obj, info)) return nullptr;
  HGDIOBJ previous = surface->pen == nullptr ? sim::stockPen() : surface->pen;
  surface->pen = obj;
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

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom) {
  Surface* surface = surfaceFromHdc(hdc);
  if (surface == nullptr) return FALSE;
  const sim::PenInfo pen = sim::selectedPen(*surface);
  // A null pen and the surface's hollow brush leave nothing to see.
  if (pen.style != PS_NULL) {
    surface->addEllipse(sim::DrawnEllipse{left, top, right, bottom, pen.color, false});
  }
  return TRUE;
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
