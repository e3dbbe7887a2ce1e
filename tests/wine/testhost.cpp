// The Windows test host: loads ArvexMFD.dll as Orbiter does and drives it
// through a session (attach and InitModule, focus, opening a display through
// MsgProc, buttons, input boxes answered through their callback, steps,
// redraws into a device context prepared as Orbiter prepares one, closing,
// detach), drawing with the real GDI into a 32-bit DIB section. Every page is
// saved as a PNG image; every check prints one line, and the exit code is
// the number of failed checks. The session is the page script shared with
// the simulated host (page_script.h); given the simulated host's list of
// the pages it drew (page_list.h), every page is held against it text by
// text.
//
// Built as Orbiter.exe, exporting what Orbiter.exe exports (host_api.cpp):
// the DLL's imports from Orbiter.exe are resolved against it by name, as in
// Orbiter. An import it does not export is named before the DLL is loaded.
//
// usage: Orbiter <Modules\Plugin\ArvexMFD.dll> <output folder> [<simulated pages.txt>]
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "wine/compare_pages.h"
#include "wine/import_check.h"
#include "wine/page_list.h"
#include "wine/page_script.h"
#include "wine/png_writer.h"
#include "wine/scripted_world.h"

namespace {

using testhost::world;

int failures = 0;
void Check(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
  if (!ok) ++failures;
}
// One check from a list of faults, each fault on a line of its own.
void Report(const std::vector<std::string>& faults, const std::string& what) {
  Check(faults.empty(), what);
  for (const std::string& f : faults) std::printf("  %s\n", f.c_str());
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

// The script's states. Body-fixed frame = global frame here: x to latitude
// 0 / longitude 0, y to the north pole, z to longitude +90 deg.
VECTOR3 V(const pagescript::Vec& v) { return _V(v.x, v.y, v.z); }
void SetVessel(const pagescript::State& s) {
  const pagescript::Axes& a = s.axes;
  const MATRIX3 rot{{a.right.x, a.up.x, a.forward.x, a.right.y, a.up.y, a.forward.y, a.right.z,
                     a.up.z, a.forward.z}};
  world().vessel = testhost::VesselState{
      _V(world().radius + s.altitude, 0, 0), V(s.vel), rot, s.contact, s.mainLevel, 0.0};
}

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
  Rectangle(frame.dc, 0, 0, w, h);  // the glass cockpit's frame
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
  int n = 0;
  for (int y = std::max(0, y0); y < std::min(f.h, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(f.w, x1); ++x)
      n += testhost::OfColour(Pixel(f, x, y), c);
  return n;
}

struct Session {
  Module module;
  MFD* mfd = nullptr;
  int w = 0, h = 0;
  HFONT font = nullptr;
  HPEN pen = nullptr;
  TEXTMETRICA metrics{};  // of font 0, as measured at the last opening
  std::string out;
  const std::vector<pagelist::Page>* reference = nullptr;  // the simulated host's pages
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
  TEXTMETRICA& tm = s.metrics;
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
  for (int i = 0; i < n; ++i, t += pagescript::kStep) {
    s.module.postStep(t, pagescript::kStep, 60000.0 + t / 86400);
  }
}
// Opens the display with the checks of what Orbiter relies on.
void OpenChecked(Session& s, const std::string& tag) {
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
}

void Save(Session& s, const Frame& f, const std::string& name) {
  const std::string file = s.out + "\\" + name + ".png";
  Check(WritePng(file, f.pixels, f.w, f.h), "saved " + file);
}

// The rings of page 2/2 are outlines: the points halfway between the centre
// and each ring, off the cross, are background.
void CheckRingsHollow(const Frame& f) {
  // The cross's centre and the rings' height scale with the display's height
  // from 120 and 100 pixels at 290.
  const int cx = f.w / 2, cy = 120 * f.h / 290, halfHeight = 100 * f.h / 290;
  const int m = static_cast<int>(std::floor(0.03 * f.w));
  const double angles[3] = {0.0872665, 0.1745329, 0.7853982};
  bool hollow = true;
  for (double a : angles) {
    const int rx = static_cast<int>(std::floor(std::sin(a) * (f.w - 2 * m) * 0.25));
    const int ry = static_cast<int>(std::floor(std::sin(a) * halfHeight));
    const int x = cx - rx / 2 + 1, y = cy + ry / 2 - 1;
    if (rx >= 6 && ry >= 6 && Pixel(f, x, y) != 0) hollow = false;
  }
  Check(hollow, "the rings are outlines, not filled discs");
}

// The checks of one page of the script that need no reference.
void CheckPage(Session& s, const Frame& f, const std::string& page, const std::string& tag) {
  if (page == "grounded") {
    Check(CountColour(f, RGB(0, 150, 150), 0, 0, s.w, s.h) > 20,
          tag + ": the plan is drawn in teal");
  } else if (page == "flight-1") {
    Check(CountColour(f, RGB(255, 255, 0), 0, 0, s.w, s.h) > 20,
          tag + ": the target column is yellow");
  } else if (page == "flight-2") {
    CheckRingsHollow(f);
    Check(CountColour(f, RGB(0, 230, 230), 0, 0, s.w, s.h) > 0, tag + ": the marker is drawn");
  }
}

// Draws the page twice, with and without its texts, and holds it against
// the simulated host's drawing of the same page when there is one.
void DrawPage(Session& s, const std::string& page, const std::string& tag) {
  Frame f{}, bare{};
  world().drawn.clear();
  Redraw(s.mfd, s.w, s.h, s.font, s.pen, f, true);
  const std::vector<testhost::DrawnText> drawn = world().drawn;
  world().drawTexts = false;
  Redraw(s.mfd, s.w, s.h, s.font, s.pen, bare, false);
  world().drawTexts = true;
  CheckPage(s, f, page, tag);
  const std::string name = tag + "-page-" + page;
  Save(s, f, name);
  if (s.reference != nullptr) {
    const auto found = std::find_if(s.reference->begin(), s.reference->end(),
                                    [&](const pagelist::Page& p) { return p.name == name; });
    if (found == s.reference->end()) {
      Check(false, name + ": the simulated host drew this page");
    } else {
      Report(testhost::CompareTexts(*found, drawn),
             name + ": the " + std::to_string(drawn.size()) +
                 " texts drawn through GDI are the simulated host's, in order (bytes, colour, "
                 "alignment; anchor within 1 pixel)");
      Report(testhost::CompareInk(*found, drawn, {f.pixels, f.w, f.h},
                                  {bare.pixels, bare.w, bare.h}, s.metrics),
             name +
                 ": every text's ink lies where the simulated host's picture has it, in its "
                 "colour");
    }
  }
  Release(f);
  Release(bare);
}

void Play(Session& s, const pagescript::Action& a, const std::string& tag) {
  using pagescript::Op;
  switch (a.op) {
    case Op::Place:
      SetVessel(a.state);
      break;
    case Op::Open:
      OpenChecked(s, tag);
      break;
    case Op::Button:
      Button(s, a.n);
      break;
    case Op::Answer:
      Check(Answer(a.text), tag + ": \"" + a.text + "\" accepted through the callback");
      break;
    case Op::Key:
      Check(s.mfd->ConsumeKeyBuffered(a.n),
            tag + ": the key " + std::to_string(a.n) + " is consumed");
      break;
    case Op::Steps:
      Steps(s, a.n);
      break;
    case Op::Draw:
      DrawPage(s, a.text, tag);
      break;
    case Op::Refocus:
      s.module.focusChanged(testhost::vesselHandle(), testhost::vesselHandle());
      break;
    case Op::Close:
      Close(s);
      break;
  }
}

// The two fonts behind the tolerance of the ink comparison.
void NoteMetrics(const Session& s) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, s.font);
  char face[LF_FACESIZE] = "";
  GetTextFaceA(dc, sizeof face, face);
  SelectObject(dc, old);
  DeleteDC(dc);
  const TEXTMETRICA& tm = s.metrics;
  std::printf("note: %dx%d: GDI font 0 is %s, advance %ld, ascent %ld, cell %ldx%ld\n", s.w, s.h,
              face, static_cast<long>(tm.tmAveCharWidth), static_cast<long>(tm.tmAscent),
              static_cast<long>(tm.tmAveCharWidth),
              static_cast<long>(tm.tmHeight - tm.tmInternalLeading));
  if (s.reference == nullptr) return;
  for (const pagelist::Page& p : *s.reference) {
    if (p.width != s.w || p.height != s.h) continue;
    std::printf(
        "note: %dx%d: simulated font 0: advance %.2f, ascent %.2f, cell %dx%d; ink "
        "tolerance 1 + ceil(n x %.2f) across a text of n characters, %d down\n",
        s.w, s.h, p.advance, p.ascent, p.cw, p.ch, std::fabs(tm.tmAveCharWidth - p.advance),
        testhost::InkTolerance(p, tm, 1).y);
    // GDI sets a fixed-pitch font's characters whole pixels apart; the
    // simulated surface must set them as far apart, or its line breaking and
    // text widths hold only on Linux.
    char line[160];
    std::snprintf(line, sizeof line,
                  "%dx%d: the simulated advance and cell width (%.2f, %d) are GDI's %ld px", s.w,
                  s.h, p.advance, p.cw, static_cast<long>(tm.tmAveCharWidth));
    Check(p.advance == tm.tmAveCharWidth && p.cw == tm.tmAveCharWidth, line);
    return;
  }
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
  // Unbuffered: should the host or the module crash, every line before the
  // crash has reached the log.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: Orbiter <ArvexMFD.dll> <output folder> [<simulated pages.txt>]\n");
    return 100;
  }
  Session s;
  s.out = argv[2];
  std::vector<pagelist::Page> reference;
  if (argc == 4) {
    std::string error;
    reference = pagelist::Read(argv[3], error);
    Check(!reference.empty(), std::string("read the simulated host's pages from ") + argv[3] +
                                  (error.empty() ? "" : ": " + error));
    s.reference = &reference;
  }
  world().configDir = s.out + "\\";
  const std::vector<std::string> missing = testhost::MissingImports(argv[1], "Orbiter.exe");
  Report(missing, std::string("every name ") + argv[1] + " imports from Orbiter.exe is exported");
  if (!missing.empty()) return failures;
  // Attach: the library entry runs InitLib, which runs InitModule.
  s.module.dll = LoadLibraryA(argv[1]);
  Check(s.module.dll != nullptr, std::string("LoadLibrary ") + argv[1]);
  if (s.module.dll == nullptr) return 1;
  Check(testhost::ListTextOut(s.module.dll), "the module's TextOutA import is listed");
  Check(world().modeId != 0 && world().modeName == "Lobarc Launch" && world().mode.key == 0x21,
        "InitModule registered \"Lobarc Launch\" on key F");
  s.module.postStep = Find<void (*)(double, double, double)>(s.module.dll, "opcPostStep");
  s.module.focusChanged = Find<void (*)(OBJHANDLE, OBJHANDLE)>(s.module.dll, "opcFocusChanged");
  s.module.version = Find<int (*)()>(s.module.dll, "GetModuleVersion");
  Check(s.module.postStep && s.module.focusChanged && s.module.version, "the hooks are exported");
  Check(s.module.version() == 20060425, "GetModuleVersion goes through Date2Int");
  s.module.focusChanged(testhost::vesselHandle(), nullptr);
  std::printf("note: %d heap blocks taken below 4 GiB\n", ReserveLowAddresses());

  for (const pagescript::Session& session : pagescript::kSessions) {
    FILE* cfg = std::fopen((world().configDir + "ArvexMFD.cfg").c_str(), "w");
    std::fprintf(cfg, "LANGUAGE = %d\n", session.language);
    std::fclose(cfg);
    s.w = session.w;
    s.h = session.h;
    s.font = Font0(session.h);
    s.pen = CreatePen(PS_SOLID, 0, RGB(0, 255, 0));
    for (const pagescript::Action& a : pagescript::kPages) {
      Play(s, a, session.tag);
      if (a.op == pagescript::Op::Open && s.mfd == nullptr) break;  // the rest needs it
    }
    if (s.mfd != nullptr) {
      NoteMetrics(s);
      if (session.language == 0 && session.w == 290 && session.h == 290) CheckNoLeak(s);
      for (const pagescript::Action& a : pagescript::kLeave) Play(s, a, session.tag);
    }
    DeleteObject(s.pen);
    DeleteObject(s.font);
  }
  Check(world().openFiles == 0, "every configuration file was closed");
  // Detach: the library entry runs ExitModule, which withdraws the mode.
  FreeLibrary(s.module.dll);
  Check(world().modeId == 0, "detach withdrew the mode");
  std::printf("%d failed\n", failures);
  return failures;
}
