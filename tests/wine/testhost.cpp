// The Windows test host: loads ArvexMFD.dll as Orbiter does and drives it
// through a session (attach and InitModule, focus, opening a display through
// MsgProc, buttons, input boxes answered through their callback, steps,
// redraws into a device context prepared as Orbiter prepares one, closing,
// detach), drawing with the real GDI into a 32-bit DIB section. Every page is
// saved as a PNG image; every check prints one line, and the exit code is
// the number of failed checks.
//
// usage: arvex_testhost <ArvexMFD.dll> <output folder>
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "png_writer.h"
#include "scripted_world.h"

namespace {

using testhost::world;

int failures = 0;
void Check(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
  if (!ok) ++failures;
}

struct Module {
  HMODULE dll = nullptr;
  void (*postStep)(double, double, double) = nullptr;
  void (*focusChanged)(OBJHANDLE, OBJHANDLE) = nullptr;
  int (*version)() = nullptr;
};

template <class F>
F Find(HMODULE dll, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
}

// On a 64-bit host, keep the low 4 GiB busy so that what the module
// allocates from here on lies above it: an instance address that went
// through an int would be cut. Returns the number of blocks it took.
int ReserveLowAddresses() {
#if !defined(_WIN64)
  return 0;
#else
  MEMORY_BASIC_INFORMATION info;
  for (std::uintptr_t p = 0x10000; p < (1ull << 32);) {
    if (VirtualQuery(reinterpret_cast<void*>(p), &info, sizeof info) == 0) break;
    if (info.State == MEM_FREE) {
      const std::uintptr_t end = std::min<std::uintptr_t>(
          reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize, 1ull << 32);
      VirtualAlloc(info.BaseAddress, end - reinterpret_cast<std::uintptr_t>(info.BaseAddress),
                   MEM_RESERVE, PAGE_NOACCESS);
    }
    p = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
  }
  // Use up what the heap already holds below 4 GiB (kept until exit).
  // The heap keeps free blocks by size, so every size up to a few pages.
  int blocks = 0;
  for (std::size_t size = 16; size <= 8192; size += 16) {
    for (int i = 0; i < 1 << 14; ++i, ++blocks) {
      void* block = std::malloc(size);
      if (block == nullptr || (reinterpret_cast<std::uintptr_t>(block) >> 32) != 0) break;
    }
  }
  return blocks;
#endif
}

// The vessel states of the script. Body-fixed frame = global frame here: x to
// latitude 0 / longitude 0, y to the north pole, z to longitude +90 deg.
MATRIX3 Attitude(VECTOR3 right, VECTOR3 up, VECTOR3 forward) {
  return MATRIX3{{right.x, up.x, forward.x, right.y, up.y, forward.y, right.z, up.z, forward.z}};
}
void Place(double altitude, VECTOR3 vel, const MATRIX3& rot, bool contact, double mainLevel) {
  world().vessel =
      testhost::VesselState{_V(world().radius + altitude, 0, 0), vel, rot, contact, mainLevel, 0.0};
}
// Upright on the pad: up is radial (+x), forward is north (+y).
const MATRIX3 kUpright = Attitude(_V(0, 0, 1), _V(1, 0, 0), _V(0, 1, 0));

// One redraw in a device context prepared as Orbiter's BeginDrawHDC does.
struct Frame {
  HDC dc;
  HBITMAP bitmap;
  std::uint32_t* pixels;
  int w, h;
};
HFONT Font0(int h) {
  const int height = (h * 9) / 200;
  return CreateFontA(-height, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, OUT_STROKE_PRECIS, CLIP_STROKE_PRECIS,
                     DRAFT_QUALITY, FIXED_PITCH | FF_MODERN, "Courier New");
}

void Redraw(MFD* mfd, int w, int h, HFONT font, HPEN pen, Frame& frame, bool check) {
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = w;
  bmi.bmiHeader.biHeight = -h;  // top-down
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  frame.dc = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  frame.bitmap = CreateDIBSection(frame.dc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  frame.pixels = static_cast<std::uint32_t*>(bits);
  frame.w = w;
  frame.h = h;
  HGDIOBJ oldBitmap = SelectObject(frame.dc, frame.bitmap);
  std::fill(frame.pixels, frame.pixels + w * h, 0u);  // cleared to black
  SetTextColor(frame.dc, RGB(0, 255, 0));
  HGDIOBJ oldFont = SelectObject(frame.dc, font);
  SetBkMode(frame.dc, TRANSPARENT);
  HGDIOBJ oldBrush = SelectObject(frame.dc, GetStockObject(NULL_BRUSH));
  HGDIOBJ oldPen = SelectObject(frame.dc, pen);
  mfd->Update(frame.dc);
  if (check) {
    Check(GetCurrentObject(frame.dc, OBJ_PEN) == pen, "the pen is given back");
    Check(GetCurrentObject(frame.dc, OBJ_BRUSH) == GetStockObject(NULL_BRUSH),
          "the brush is untouched");
    Check(GetCurrentObject(frame.dc, OBJ_FONT) == font, "the font is untouched");
    Check(GetBkMode(frame.dc) == TRANSPARENT, "the background mode is untouched");
  }
  // EndDrawHDC: null pen and brush, then the DC goes.
  SelectObject(frame.dc, GetStockObject(NULL_PEN));
  SelectObject(frame.dc, GetStockObject(NULL_BRUSH));
  GdiFlush();
  SelectObject(frame.dc, oldPen);
  SelectObject(frame.dc, oldBrush);
  SelectObject(frame.dc, oldFont);
  SelectObject(frame.dc, oldBitmap);
}
void Release(Frame& frame) {
  DeleteDC(frame.dc);
  DeleteObject(frame.bitmap);
}

std::uint32_t Pixel(const Frame& f, int x, int y) { return f.pixels[y * f.w + x] & 0xFFFFFF; }
// Pixels of a COLORREF in the box [x0, x1) x [y0, y1).
int CountColour(const Frame& f, COLORREF c, int x0, int y0, int x1, int y1) {
  const std::uint32_t bgr = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
  int n = 0;
  for (int y = std::max(0, y0); y < std::min(f.h, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(f.w, x1); ++x) n += Pixel(f, x, y) == bgr;
  return n;
}

struct Session {
  Module module;
  MFD* mfd = nullptr;
  int w = 0, h = 0;
  HFONT font = nullptr;
  HPEN pen = nullptr;
  std::string out;
};

MFD* Open(Session& s) {
  const auto msgproc = world().mode.msgproc;
  MFDMODEOPENSPEC open = {s.w, s.h, nullptr};
  OAPI_MSGTYPE r = msgproc(OAPI_MSG_MFD_OPENEDEX, 0, reinterpret_cast<WPARAM>(&open),
                           reinterpret_cast<LPARAM>(testhost::vesselInterface()));
  if (r == 0) {
    r = msgproc(OAPI_MSG_MFD_OPENED, 0, MAKEWPARAM(s.w, s.h),
                reinterpret_cast<LPARAM>(testhost::vesselInterface()));
  }
  MFD* mfd = reinterpret_cast<MFD*>(r);
  if (mfd == nullptr) return nullptr;
  // Orbiter measures font 0 and hands the size over after MsgProc.
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, s.font);
  TEXTMETRICA tm;
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  DeleteDC(dc);
  testhost::SetCharSize(mfd, tm.tmAveCharWidth, tm.tmHeight - tm.tmInternalLeading);
  mfd->RecallStatus();
  return mfd;
}
void Close(Session& s) {
  s.mfd->StoreStatus();
  world().mode.msgproc(OAPI_MSG_MFD_CLOSED, 0, 0, 0);
  delete s.mfd;
  s.mfd = nullptr;
}
// A button as an external display window sends it: press, held, released.
void Button(Session& s, int bt) {
  s.mfd->ConsumeButton(bt, 0x01);
  s.mfd->ConsumeButton(bt, 0x10);
  s.mfd->ConsumeButton(bt, 0x04);
}
bool Answer(const char* text) {
  if (!world().box.open) return false;
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, "%s", text);
  world().box.open = !world().box.callback(&world().box, buffer, world().box.usrdata);
  return !world().box.open;
}
void Steps(Session& s, int n) {
  static double t = 0;
  for (int i = 0; i < n; ++i, t += 0.1) s.module.postStep(t, 0.1, 60000.0 + t / 86400);
}

void Save(Session& s, const Frame& f, const std::string& name) {
  const std::string file = s.out + "\\" + name + ".png";
  Check(WritePng(file, f.pixels, f.w, f.h), "saved " + file);
}

// The rings of page 2/2 are outlines: the points halfway between the centre
// and each ring, off the cross, are background.
void CheckRingsHollow(const Frame& f) {
  const int cx = f.w / 2, cy = 120;
  const int m = static_cast<int>(std::floor(0.03 * f.w));
  const double angles[3] = {0.0872665, 0.1745329, 0.7853982};
  bool hollow = true;
  for (double a : angles) {
    const int rx = static_cast<int>(std::floor(std::sin(a) * (f.w - 2 * m) * 0.25));
    const int ry = static_cast<int>(std::floor(std::sin(a) * 100));
    const int x = cx - rx / 2 + 1, y = cy + ry / 2 - 1;
    if (rx >= 6 && ry >= 6 && Pixel(f, x, y) != 0) hollow = false;
  }
  Check(hollow, "the rings are outlines, not filled discs");
}

void RunPages(Session& s, const std::string& tag) {
  Frame f{};
  // On the pad, target 2 deg N, 5 deg E typed into the latitude and
  // longitude boxes.
  Place(0, _V(0, 0, 0), kUpright, true, 0);
  s.mfd = Open(s);
  Check(s.mfd != nullptr, tag + ": MsgProc built an instance");
  if (s.mfd == nullptr) return;
  char where[96];
  std::snprintf(where, sizeof where, ": the instance at %p lies above 4 GiB and came back whole",
                static_cast<void*>(s.mfd));
  const std::uint64_t address = reinterpret_cast<std::uintptr_t>(s.mfd);
  Check(sizeof(void*) < 8 || (address >> 32) != 0, tag + where);
  // The glass cockpit paints the labels and asks for the menu's size.
  int labels = 0;
  for (int bt = 0; bt < 12; ++bt) labels += s.mfd->ButtonLabel(bt) != nullptr;
  Check(labels == 12 && s.mfd->ButtonMenu(nullptr) == 12, tag + ": 12 labels and menu lines");
  Button(s, 1);
  Check(Answer("2"), tag + ": latitude accepted through the callback");
  Button(s, 2);
  Check(Answer("5"), tag + ": longitude accepted through the callback");
  Steps(s, 3);
  Redraw(s.mfd, s.w, s.h, s.font, s.pen, f, true);
  Check(CountColour(f, RGB(0, 150, 150), 0, 0, s.w, s.h) > 20, tag + ": the plan is drawn in teal");
  Save(s, f, tag + "-page-grounded");
  Release(f);

  // After the burn: lifted, at speed, engines off, still in grounded mode.
  Place(3000, _V(900, 0, 900), kUpright, false, 1.0);
  Steps(s, 1);
  Place(3000, _V(900, 0, 900), kUpright, false, 0.0);
  Steps(s, 1);
  Redraw(s.mfd, s.w, s.h, s.font, s.pen, f, true);
  Save(s, f, tag + "-page-after-burn");
  Release(f);

  // In flight, nose east: switch to the in-flight pages.
  Place(10000, _V(300, 20, 0), Attitude(_V(0, -1, 0), _V(1, 0, 0), _V(0, 0, 1)), false, 0);
  Button(s, 6);
  Steps(s, 5);
  Redraw(s.mfd, s.w, s.h, s.font, s.pen, f, true);
  Check(CountColour(f, RGB(255, 255, 0), 0, 0, s.w, s.h) > 20,
        tag + ": the target column is yellow");
  Save(s, f, tag + "-page-flight-1");
  Release(f);
  // Page 2/2 by its key (Shift-P reaches the display as the scan code of P).
  Check(s.mfd->ConsumeKeyBuffered(0x19), tag + ": the key P is consumed");
  Redraw(s.mfd, s.w, s.h, s.font, s.pen, f, true);
  CheckRingsHollow(f);
  Check(CountColour(f, RGB(0, 230, 230), 0, 0, s.w, s.h) > 0, tag + ": the marker is drawn");
  Save(s, f, tag + "-page-flight-2");
  Release(f);
  // Nose west and nose up: the marker moves, the page stays whole.
  Place(10000, _V(300, 20, 0), Attitude(_V(0, 1, 0), _V(1, 0, 0), _V(0, 0, -1)), false, 0);
  Steps(s, 2);
  Redraw(s.mfd, s.w, s.h, s.font, s.pen, f, false);
  Save(s, f, tag + "-page-flight-2-behind");
  Release(f);
  Place(10000, _V(300, 20, 0), Attitude(_V(0, 0, 1), _V(0, -1, 0), _V(1, 0, 0)), false, 0);
  Steps(s, 2);
  Redraw(s.mfd, s.w, s.h, s.font, s.pen, f, false);
  Save(s, f, tag + "-page-flight-2-up");
  Release(f);
}

void CheckNoLeak(Session& s) {
  const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  HPEN probeBefore = CreatePen(PS_SOLID, 1, 0);
  DeleteObject(probeBefore);
  for (int i = 0; i < 1000; ++i) {
    Frame f{};
    Redraw(s.mfd, s.w, s.h, s.font, s.pen, f, false);
    Release(f);
  }
  const DWORD after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  HPEN probeAfter = CreatePen(PS_SOLID, 1, 0);
  DeleteObject(probeAfter);
  char line[160];
  std::snprintf(line, sizeof line,
                "no GDI object leaks over 1000 redraws of page 2/2 (objects %lu -> %lu, "
                "a new pen's slot %04x -> %04x)",
                static_cast<unsigned long>(before), static_cast<unsigned long>(after),
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(probeBefore) & 0xFFFF),
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(probeAfter) & 0xFFFF));
  Check(after <= before && (reinterpret_cast<std::uintptr_t>(probeAfter) & 0xFFFF) ==
                               (reinterpret_cast<std::uintptr_t>(probeBefore) & 0xFFFF),
        line);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: arvex_testhost <ArvexMFD.dll> <output folder>\n");
    return 100;
  }
  Session s;
  s.out = argv[2];
  world().configDir = s.out + "\\";
  // Attach: the library entry runs InitLib, which runs InitModule.
  s.module.dll = LoadLibraryA(argv[1]);
  Check(s.module.dll != nullptr, std::string("LoadLibrary ") + argv[1]);
  if (s.module.dll == nullptr) return 1;
  Check(world().modeId != 0 && world().modeName == "Lobarc Launch" && world().mode.key == 0x21,
        "InitModule registered \"Lobarc Launch\" on key F");
  s.module.postStep = Find<void (*)(double, double, double)>(s.module.dll, "opcPostStep");
  s.module.focusChanged = Find<void (*)(OBJHANDLE, OBJHANDLE)>(s.module.dll, "opcFocusChanged");
  s.module.version = Find<int (*)()>(s.module.dll, "GetModuleVersion");
  Check(s.module.postStep && s.module.focusChanged && s.module.version, "the hooks are exported");
  Check(s.module.version() == 20060425, "GetModuleVersion goes through Date2Int");
  s.module.focusChanged(testhost::vesselHandle(), nullptr);
  std::printf("note: %d heap blocks taken below 4 GiB\n", ReserveLowAddresses());

  for (int language = 0; language < 2; ++language) {
    FILE* cfg = std::fopen((world().configDir + "ArvexMFD.cfg").c_str(), "w");
    std::fprintf(cfg, "LANGUAGE = %d\n", language);
    std::fclose(cfg);
    for (int size : {290, 256}) {
      s.w = s.h = size;
      s.font = Font0(size);
      s.pen = CreatePen(PS_SOLID, 0, RGB(0, 255, 0));
      const std::string tag = std::string(language ? "fr" : "en") + "-" + std::to_string(size);
      RunPages(s, tag);
      if (s.mfd != nullptr && language == 0 && size == 290) CheckNoLeak(s);
      if (s.mfd != nullptr) {
        // The pilot switches vessel with the display open (standing on the
        // pad, so the next display starts grounded); Orbiter rebuilds it.
        Place(0, _V(0, 0, 0), kUpright, true, 0);
        s.module.focusChanged(testhost::vesselHandle(), testhost::vesselHandle());
        Close(s);
      }
      DeleteObject(s.pen);
      DeleteObject(s.font);
    }
  }
  Check(world().openFiles == 0, "every configuration file was closed");
  // Detach: the library entry runs ExitModule, which withdraws the mode.
  FreeLibrary(s.module.dll);
  Check(world().modeId == 0, "detach withdrew the mode");
  std::printf("%d failed\n", failures);
  return failures;
}
