// The simulated Orbiter host: owns the world, loads modules as Orbiter does,
// registers their display modes, opens displays, feeds them buttons, keys
// and typed text, steps the simulation and calls the modules' hooks.
//
// The oapi... functions of host/OrbiterAPI.h act on the one current Host
// (the one constructed last and not yet destroyed); without one they fail
// cleanly (null handles, zeros, false).
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "OrbiterAPI.h"
#include "surface.h"
#include "world.h"

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

struct InputBoxState {
  int id = 0;
  std::string title;
  KeyFunc callback = nullptr;
  void* usrdata = nullptr;
  int displayId = -1;  // display whose key or button opened it, -1 if none
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

  // Configuration folder behind path root CONFIG.
  void setConfigDir(std::filesystem::path dir);
  const std::filesystem::path& configDir() const { return configDir_; }

  // Focus. setFocus calls every loaded module's opcFocusChanged(new, old).
  void setFocus(std::size_t vesselIndex);
  std::optional<std::size_t> focus() const { return focus_; }

  // Modules. loadModule opens the shared library by path, runs its library
  // entry (attach), finds the exports by name and calls InitModule.
  // attachModule does the same for entries linked into the caller.
  int loadModule(const std::filesystem::path& library);
  int attachModule(const ModuleEntries& entries, const std::string& name);
  // ExitModule, library entry (detach), then the library is closed.
  void unloadModule(int moduleId);
  const ModuleEntries& moduleEntries(int moduleId) const;

  // Modes registered through oapiRegisterMFDMode.
  int registerMode(const MFDMODESPEC& spec);
  bool unregisterMode(int modeId);
  std::optional<int> findMode(const std::string& name) const;
  std::optional<int> findModeByKey(DWORD key) const;

  // Displays. openDisplay sends message 1 with the size packed into the
  // first parameter (width low 16 bits) and the focus vessel's interface as
  // the second; a null result opens nothing (returns -1).
  int openDisplay(int modeId, int width, int height);
  int openDisplay(const std::string& modeName, int width, int height);
  // Destroys the instance through its virtual destructor; input boxes that
  // it opened are closed so no later callback can reach it.
  void closeDisplay(int displayId);
  // Destroys the instance and builds a new one in the same mode and size.
  void rebuildDisplay(int displayId);
  bool isOpen(int displayId) const;
  MFD* display(int displayId) const;
  std::vector<int> openDisplays() const;
  // Calls Update on the display's own surface (kept between redraws).
  Surface& redraw(int displayId);
  Surface& surface(int displayId);
  // A press (event 1) followed by a release (event 2); returns the press result.
  bool pressButton(int displayId, int button);
  bool buttonEvent(int displayId, int button, int event);
  bool pressKey(int displayId, DWORD key);
  std::string buttonLabel(int displayId, int button);  // "" when null

  // Input boxes. The newest open box receives typed text; it closes when the
  // callback accepts and stays open when it refuses.
  int openInputBox(const char* title, KeyFunc cb, void* usrdata);
  const std::vector<InputBoxState>& inputBoxes() const { return boxes_; }
  bool hasInputBox() const { return !boxes_.empty(); }
  std::string inputBoxTitle() const;  // newest box, "" if none
  bool typeInput(const std::string& text);  // HostError if no box is open
  void cancelInputBox();

  // Simulation. step advances the world by dt, then calls every loaded
  // module's opcPostStep(simt, dt, mjd).
  void step(double dt);
  double simTime() const { return world_.time(); }
  double mjd() const;

 private:
  struct Module;
  struct Display;
  World world_;
  std::filesystem::path configDir_;
  std::optional<std::size_t> focus_;
  std::vector<std::unique_ptr<Module>> modules_;
  std::map<int, MFDMODESPEC> modes_;
  std::map<int, std::string> modeNames_;
  std::map<int, std::unique_ptr<Display>> displays_;
  std::vector<InputBoxState> boxes_;
  std::map<std::size_t, std::unique_ptr<VESSEL>> interfaces_;
  int nextModule_ = 1, nextMode_ = 1, nextDisplay_ = 1, nextBox_ = 1;
  int inputDisplay_ = -1;  // display currently handling a key or button
  Host* previous_ = nullptr;
};

}  // namespace sim
