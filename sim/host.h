// The simulated Orbiter host: owns the world, loads modules as Orbiter does,
// registers their display modes, opens displays, feeds them buttons, keys
// and typed text, steps the simulation and calls the modules' hooks.
//
// The oapi... functions of host/OrbiterAPI.h act on the one current Host
// (the one constructed last and not yet destroyed); without one they fail
// cleanly (null handles, zeros, false).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "OrbiterAPI.h"
#include "mfd_api.h"
#include "sim/surface.h"
#include "sim/world.h"
#include "vessel_api.h"

namespace sim {

// Raised by Host operations for misuse by a caller (unknown mode, bad id,
// a module library that cannot be loaded); the message says what to do.
class HostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The entry points of a module, as found by name in its library.
struct ModuleEntries {
  BOOL (*dllMain)(HINSTANCE, DWORD, LPVOID) = nullptr;  // optional library entry
  void (*initModule)(HINSTANCE) = nullptr;
  void (*exitModule)(HINSTANCE) = nullptr;
  int (*getModuleVersion)() = nullptr;
  void (*postStep)(double simt, double simdt, double mjd) = nullptr;
  void (*focusChanged)(OBJHANDLE newFocus, OBJHANDLE oldFocus) = nullptr;
};

// An input box callback: (box, typed text, user data); true accepts.
using InputBoxCallback = bool (*)(void*, char*, void*);

struct InputBoxState {
  int id = 0;
  std::string title;
  InputBoxCallback callback = nullptr;
  void* usrdata = nullptr;
  int displayId = -1;  // display whose key or button opened it, -1 if none
  int moduleId = 0;    // module whose code opened it, 0 if none (its callback lives there)
};

// Colour of the page titles that MFD::Title draws (light grey).
constexpr COLORREF kTitleColor = RGB(224, 224, 224);
// Text colour and pen colour a display starts every redraw with.
constexpr COLORREF kDisplayGreen = RGB(0, 255, 0);
// Largest display width or height [pixel]: what a drawing surface takes.
constexpr int kMaxDisplaySize = 32767;

// Orbiter's default refresh interval of its displays, by release [s of
// simulated time], and the least real time between two scheduled redraws [s].
constexpr double kRefreshInterval2016 = 1.0, kRefreshInterval2024 = 0.5;
constexpr double kMinRealRefreshTime = 0.1;

// Mouse events of a display button (Orbiter's PANEL_MOUSE_LBDOWN, LBUP and
// LBPRESSED).
constexpr int kButtonDown = 0x01, kButtonUp = 0x04, kButtonHeld = 0x10;
// How display buttons reach a mode, as the two kinds of Orbiter display send
// them.
enum class ButtonStyle {
  GlassCockpit,    // 0x11 on the first frame, 0x10 every frame held, no release
  ExternalWindow,  // 0x01 on the press, 0x10 every frame held, 0x04 on the release
};

class Host {
 public:
  Host();
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;
  static Host* current();

  World& world() { return world_; }
  const World& world() const { return world_; }

  // Handles the module sees. Stale or foreign handles resolve to nothing.
  OBJHANDLE bodyHandle(int bodyIndex) const;
  OBJHANDLE vesselHandle(std::size_t vesselIndex) const;
  OBJHANDLE baseHandle(int bodyIndex, std::size_t baseIndex) const;
  const Body* bodyOf(OBJHANDLE h) const;
  Vessel* vesselOf(OBJHANDLE h) const;
  const Base* baseOf(OBJHANDLE h, const Body** body = nullptr) const;
  VESSEL* vesselInterface(OBJHANDLE h);  // host-owned, one per vessel

  OBJHANDLE thrusterGroupHandle(std::size_t vesselIndex,
                                THGROUP_TYPE group) const;  // null if absent
  // Index of the vessel or body behind a handle.
  std::optional<std::size_t> vesselIndexOf(OBJHANDLE h) const;
  std::optional<int> bodyIndexOf(OBJHANDLE h) const;

  // Configuration folder behind path root CONFIG. Until one is set (empty
  // path) no configuration file opens.
  void setConfigDir(std::filesystem::path dir);
  const std::filesystem::path& configDir() const { return configDir_; }
  // oapiOpenFile / oapiReadItem_int / oapiCloseFile. Only reading from the
  // CONFIG root is offered; names with ".." or absolute names are refused.
  FILEHANDLE openFile(const char* name, FileAccessMode mode, PathRoot root);
  bool readItemInt(FILEHANDLE f, const char* item, int& value) const;
  void closeFile(FILEHANDLE f);
  std::size_t openFileCount() const;

  // Focus. As Orbiter's: a change of vessel first rebuilds every open
  // display for the new vessel (rebuildAllDisplays), then calls every loaded
  // module's opcFocusChanged(new, old).
  void setFocus(std::size_t vesselIndex);
  std::optional<std::size_t> focus() const { return focus_; }
  OBJHANDLE focusHandle() const;  // null without a focus vessel

  // Modules. loadModule opens the shared library by path, runs its library
  // entry (attach), finds the exports by name and calls InitModule.
  // attachModule does the same for entries linked into the caller.
  int loadModule(const std::filesystem::path& library);
  int attachModule(const ModuleEntries& entries, const std::string& name);
  // Closes the displays in the module's modes and its input boxes, runs its
  // exit (ExitModule, or the library entry's detach, which runs it), drops
  // what it left registered and closes the library.
  void unloadModule(int moduleId);
  const ModuleEntries& moduleEntries(int moduleId) const;
  bool isLoaded(int moduleId) const;
  std::vector<int> loadedModules() const;  // in load order
  HINSTANCE moduleInstance(int moduleId) const;

  // Modes registered through oapiRegisterMFDMode.
  int registerMode(const MFDMODESPEC& spec);
  bool unregisterMode(int modeId);
  std::optional<int> findMode(const std::string& name) const;
  std::optional<int> findModeByKey(DWORD key) const;
  int modeOwner(int modeId) const;  // module that registered it, 0 if none or unknown
  int displayMode(int displayId) const;

  // Displays. openDisplay sends OAPI_MSG_MFD_OPENEDEX (the size and the
  // mode's registration), and only if that answers 0 OAPI_MSG_MFD_OPENED
  // (the size packed into the first parameter, width low 16 bits), each with
  // the focus vessel's interface as the second. A mode that answers 0 to
  // both is at fault (Orbiter would use the null instance and crash): that
  // throws HostError and opens nothing.
  int openDisplay(int modeId, int width, int height);
  int openDisplay(const std::string& modeName, int width, int height);
  // After the instance is built it gets RecallStatus, as at an interactive
  // opening in Orbiter.
  // Closing, as Orbiter: the instance's StoreStatus, then OAPI_MSG_MFD_CLOSED
  // to the mode (if it is still registered), then the instance is destroyed
  // through its virtual destructor. An input box that it opened stays open,
  // as Orbiter's does: its callback may still come, with the user data the
  // instance gave it.
  void closeDisplay(int displayId);
  // Destroys the instance and builds a new one in the same mode and size.
  void rebuildDisplay(int displayId);
  // What a change of cockpit view or panel (F8, 2D panel / virtual cockpit)
  // does in Orbiter: every open display is closed, in the order of their
  // ids, and only then each is opened again in that order, in its mode and
  // size. A display whose mode is no longer registered stays closed.
  void rebuildAllDisplays();
  bool isOpen(int displayId) const;
  MFD* display(int displayId) const;
  std::vector<int> openDisplays() const;
  // Redraws the display now, as Orbiter does at a refresh: the surface
  // cleared to black, a fresh device context set up with green text, font
  // 0, transparent background, the null brush and a one-pixel green pen,
  // the glass cockpit's frame (setGlassCockpit), then the instance's Update. step() redraws on its
  // own schedule; this is for callers that want a picture at once.
  Surface& redraw(int displayId);
  // What the display showed at its last redraw (empty before the first).
  Surface& surface(int displayId);
  std::uint64_t redrawCount(int displayId) const;
  // Refresh schedule: a display is redrawn in a step when the simulated time
  // has reached its next due time (last redraw + interval) and at least
  // kMinRealRefreshTime of real time has passed since its last redraw;
  // real time runs at simulated time / time acceleration. Orbiter's 2024
  // interval is the default. HostError for a value that is not > 0.
  void setRefreshInterval(double seconds);
  double refreshInterval() const { return refreshInterval_; }
  void setTimeAcceleration(double factor);
  // MFD::InvalidateDisplay: the display is redrawn at the next refresh check
  // (at the end of the running step, or of the next one).
  void invalidateDisplay(const MFD* instance);

  // The cockpit's pane: in the glass cockpit (Orbiter's panel mode 1, the
  // default here) every redraw starts with a one-pixel green frame,
  // Rectangle(0, 0, W, H) with the display pen, drawn by the host before
  // the mode's Update; a 2D panel or the virtual cockpit draws none.
  void setGlassCockpit(bool on) { glassCockpit_ = on; }
  bool glassCockpit() const { return glassCockpit_; }

  // Buttons. pressButton is a click: the press, then (external window) the
  // release; holdButton presses and keeps the button held, so every step
  // sends 0x10, until releaseButton. Both return whether the mode consumed
  // the press. buttonEvent hands one raw event to the mode.
  void setButtonStyle(ButtonStyle style) { buttonStyle_ = style; }
  ButtonStyle buttonStyle() const { return buttonStyle_; }
  bool pressButton(int displayId, int button);
  bool holdButton(int displayId, int button);
  void releaseButton(int displayId);
  bool buttonEvent(int displayId, int button, int event);
  bool pressKey(int displayId, DWORD key);
  std::string buttonLabel(int displayId, int button);  // "" when null

  // Input boxes. As in Orbiter there is one box at a time: opening one
  // replaces the box that is open (the plain form has no cancel callback,
  // so the replaced box hears nothing). Typed text goes to the open box; it
  // closes when the callback accepts and stays open when it refuses.
  int openInputBox(const char* title, InputBoxCallback cb, void* usrdata);
  const std::optional<InputBoxState>& inputBox() const { return box_; }
  bool hasInputBox() const { return box_.has_value(); }
  std::string inputBoxTitle() const;        // "" if none
  bool typeInput(const std::string& text);  // HostError if no box is open
  void cancelInputBox();

  // Simulation. step is one frame: it advances the world by dt, calls every
  // loaded module's opcPostStep(simt, dt, mjd), redraws the displays that
  // are due and sends the held button its event. The glass cockpit, as
  // Orbiter's pane does, redraws every due display first and then sends
  // the held button's event; an external window sends it just before that
  // display's redraw.
  void step(double dt);
  double simTime() const { return world_.time(); }
  double mjd() const;

 private:
  struct Module;
  struct Display;
  struct Registry;  // opaque handles and open files
  class CallScope;  // makes this host current while module code runs
  Module* findModule(int moduleId) const;
  Display& displayRef(int displayId) const;
  int openDisplayWithId(int displayId, int modeId, int width, int height,
                        std::unique_ptr<Surface> surface);
  void closeBoxIf(const std::function<bool(const InputBoxState&)>& pred);
  void drawDisplay(Display& display);
  void refreshDisplays();
  int registerModule(std::unique_ptr<Module> module);
  void dropModule(int moduleId);
  World world_;
  std::filesystem::path configDir_;
  std::optional<std::size_t> focus_;
  std::vector<std::unique_ptr<Module>> modules_;
  std::map<int, MFDMODESPEC> modes_;
  std::map<int, std::string> modeNames_;
  std::map<int, std::unique_ptr<Display>> displays_;
  std::optional<InputBoxState> box_;  // the one input box, if open
  std::map<std::size_t, std::unique_ptr<VESSEL>> interfaces_;
  int nextModule_ = 1, nextMode_ = 1, nextDisplay_ = 1, nextBox_ = 1;
  int inputDisplay_ = -1;         // display currently handling a key or button
  std::map<int, int> modeOwner_;  // mode id -> registering module id (0: none)
  int activeModule_ = 0;          // module whose code the host is running, 0 if none
  std::unique_ptr<Registry> registry_;
  Host* previous_ = nullptr;                       // the host that was current before this one
  double refreshInterval_ = kRefreshInterval2024;  // [s] simulated
  double timeAcceleration_ = 1;                    // simulated seconds per real second
  double realTime_ = 0;                            // [s] since the host was made
  ButtonStyle buttonStyle_ = ButtonStyle::GlassCockpit;
  bool glassCockpit_ = true;
};

}  // namespace sim
