// The simulated host: handles, configuration files, focus, modes, displays,
// input boxes and time steps. Module loading is in module_loader.cpp, the
// oapi... functions and VESSEL in oapi.cpp.
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "sim/host_internal.h"

namespace sim {

namespace {

Host* g_top = nullptr;       // the host constructed last and not yet destroyed
Host* g_override = nullptr;  // the host whose call into module code is running

// Names the display that handles a key or button while the handler runs, so
// that input boxes opened meanwhile belong to it.
class InputScope {
 public:
  InputScope(int& slot, int displayId) : slot_(slot), saved_(slot) { slot_ = displayId; }
  ~InputScope() { slot_ = saved_; }
  InputScope(const InputScope&) = delete;
  InputScope& operator=(const InputScope&) = delete;

 private:
  int& slot_;
  int saved_;
};

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowerAscii(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), asciiLower);
  return s;
}

std::string trim(const std::string& s) {
  const char* ws = " \t\r\n\v\f";
  const auto first = s.find_first_not_of(ws);
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(ws) - first + 1);
}

// Orbiter's configuration syntax: "ITEM = value" lines, ';' starts a comment,
// item names compare without regard to case.
ConfigFile parseConfig(const std::string& text) {
  ConfigFile file;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    line = line.substr(0, line.find(';'));
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string item = lowerAscii(trim(line.substr(0, eq)));
    if (item.empty()) continue;
    file.items.emplace(std::move(item), trim(line.substr(eq + 1)));
  }
  return file;
}

// A whole decimal integer in int range, optionally signed, nothing else.
std::optional<int> parseWholeInt(const std::string& text) {
  if (text.empty()) return std::nullopt;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (*first == '+') {
    ++first;
    if (first == last || *first < '0' || *first > '9') return std::nullopt;
  }
  int value = 0;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last) return std::nullopt;
  return value;
}

// A name below the configuration folder: relative, no "..". Backslashes,
// as Windows add-ons write them, separate folders too.
std::optional<std::filesystem::path> safeRelativePath(const char* name) {
  std::string s(name);
  std::replace(s.begin(), s.end(), '\\', '/');
  const std::filesystem::path p(s);
  if (p.empty() || p.has_root_name() || p.has_root_directory()) return std::nullopt;
  for (const auto& part : p) {
    if (part == "..") return std::nullopt;
  }
  return p;
}

}  // namespace

std::uintptr_t newHandleValue() {
  // Spaced by 16 so that the values look like aligned addresses in a
  // debugger; they are never dereferenced.
  static std::atomic<std::uintptr_t> next{0x10000};
  return next.fetch_add(0x10);
}

Host::CallScope::CallScope(Host& host, int moduleId)
    : host_(host), savedOverride_(g_override), savedModule_(host.activeModule_) {
  g_override = &host;
  host.activeModule_ = moduleId;
}

Host::CallScope::~CallScope() {
  g_override = savedOverride_;
  host_.activeModule_ = savedModule_;
}

void* Host::Registry::handleFor(const Target& t) {
  const auto key = std::make_tuple(static_cast<int>(t.kind), t.body, t.index, t.group);
  auto it = values.find(key);
  if (it == values.end()) {
    const std::uintptr_t value = newHandleValue();
    it = values.emplace(key, value).first;
    targets.emplace(value, t);
  }
  return reinterpret_cast<void*>(it->second);
}

const Host::Registry::Target* Host::Registry::resolve(const void* h, Kind kind) const {
  if (h == nullptr) return nullptr;
  const auto it = targets.find(reinterpret_cast<std::uintptr_t>(h));
  if (it == targets.end() || it->second.kind != kind) return nullptr;
  return &it->second;
}

// --- life -------------------------------------------------------------

Host::Host() : registry_(std::make_unique<Registry>()) {
  previous_ = g_top;
  g_top = this;
}

Host::~Host() {
  // 1 - Modules, newest first; each closes the displays whose code it holds.
  while (!modules_.empty()) {
    try {
      unloadModule(modules_.back()->id);
    } catch (...) {
      modules_.pop_back();  // closes the library without its exit; nothing better is left
    }
  }
  // 2 - Displays in modes registered from outside any module.
  for (int id : openDisplays()) {
    try {
      closeDisplay(id);
    } catch (...) {
      displays_.erase(id);
    }
  }
  box_.reset();
  // 3 - Leave the chain of current hosts, wherever this host sits in it.
  if (g_top == this) {
    g_top = previous_;
  } else {
    for (Host* h = g_top; h != nullptr; h = h->previous_) {
      if (h->previous_ == this) {
        h->previous_ = previous_;
        break;
      }
    }
  }
  if (g_override == this) g_override = nullptr;
}

Host* Host::current() { return g_override != nullptr ? g_override : g_top; }

// --- handles ----------------------------------------------------------

OBJHANDLE Host::bodyHandle(int bodyIndex) const {
  if (bodyIndex < 0 || static_cast<std::size_t>(bodyIndex) >= world_.bodyCount()) return nullptr;
  return registry_->handleFor({Registry::Kind::Body, bodyIndex, 0, 0});
}

OBJHANDLE Host::vesselHandle(std::size_t vesselIndex) const {
  if (vesselIndex >= world_.vesselCount()) return nullptr;
  return registry_->handleFor({Registry::Kind::Vessel, -1, vesselIndex, 0});
}

OBJHANDLE Host::baseHandle(int bodyIndex, std::size_t baseIndex) const {
  if (bodyIndex < 0 || static_cast<std::size_t>(bodyIndex) >= world_.bodyCount()) return nullptr;
  if (baseIndex >= world_.body(bodyIndex).spec().bases.size()) return nullptr;
  return registry_->handleFor({Registry::Kind::Base, bodyIndex, baseIndex, 0});
}

OBJHANDLE Host::thrusterGroupHandle(std::size_t vesselIndex, THGROUP_TYPE group) const {
  if (vesselIndex >= world_.vesselCount()) return nullptr;
  // The world only knows the main, retro and hover groups.
  if (group != THGROUP_MAIN && group != THGROUP_RETRO && group != THGROUP_HOVER) return nullptr;
  // World::vessel has no const overload; hasGroup only reads.
  if (!const_cast<World&>(world_).vessel(vesselIndex).hasGroup(group)) return nullptr;
  return registry_->handleFor({Registry::Kind::Group, -1, vesselIndex, static_cast<int>(group)});
}

std::optional<std::size_t> Host::vesselIndexOf(OBJHANDLE h) const {
  const auto* t = registry_->resolve(h, Registry::Kind::Vessel);
  if (t == nullptr) return std::nullopt;
  return t->index;
}

std::optional<int> Host::bodyIndexOf(OBJHANDLE h) const {
  const auto* t = registry_->resolve(h, Registry::Kind::Body);
  if (t == nullptr) return std::nullopt;
  return t->body;
}

const Body* Host::bodyOf(OBJHANDLE h) const {
  const auto index = bodyIndexOf(h);
  return index ? &world_.body(*index) : nullptr;
}

Vessel* Host::vesselOf(OBJHANDLE h) const {
  const auto index = vesselIndexOf(h);
  // A vessel handle gives the module a vessel it may steer (thrust levels),
  // hence the mutable vessel from a const lookup.
  return index ? &const_cast<World&>(world_).vessel(*index) : nullptr;
}

const Base* Host::baseOf(OBJHANDLE h, const Body** body) const {
  const auto* t = registry_->resolve(h, Registry::Kind::Base);
  if (t == nullptr) return nullptr;
  const Body& b = world_.body(t->body);
  if (body != nullptr) *body = &b;
  return &b.spec().bases.at(t->index);
}

VESSEL* Host::vesselInterface(OBJHANDLE h) {
  const auto index = vesselIndexOf(h);
  if (!index) return nullptr;
  auto& slot = interfaces_[*index];
  if (!slot) slot = std::make_unique<VESSEL>(vesselHandle(*index));
  return slot.get();
}

// --- configuration files ------------------------------------------------

void Host::setConfigDir(std::filesystem::path dir) { configDir_ = std::move(dir); }

FILEHANDLE Host::openFile(const char* name, FileAccessMode mode, PathRoot root) {
  // This host offers its configuration folder for reading and nothing else:
  // the module never writes files.
  if (name == nullptr || root != CONFIG) return nullptr;
  if (mode != FILE_IN && mode != FILE_IN_ZEROONFAIL) return nullptr;
  const auto relative = safeRelativePath(name);
  if (!relative) return nullptr;

  std::optional<ConfigFile> file;
  if (!configDir_.empty()) {
    const auto full = configDir_ / *relative;
    std::error_code ec;
    if (std::filesystem::is_regular_file(full, ec)) {
      std::ifstream in(full, std::ios::binary);
      if (in) {
        const std::string text{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        file = parseConfig(text);
      }
    }
  }
  // FILE_IN_ZEROONFAIL opens an empty file where reading failed, as Orbiter does.
  if (!file && mode == FILE_IN_ZEROONFAIL) file.emplace();
  if (!file) return nullptr;
  const std::uintptr_t value = newHandleValue();
  registry_->files.emplace(value, std::move(*file));
  return reinterpret_cast<FILEHANDLE>(value);
}

bool Host::readItemInt(FILEHANDLE f, const char* item, int& value) const {
  if (f == nullptr || item == nullptr) return false;
  const auto file = registry_->files.find(reinterpret_cast<std::uintptr_t>(f));
  if (file == registry_->files.end()) return false;
  const auto entry = file->second.items.find(lowerAscii(trim(item)));
  if (entry == file->second.items.end()) return false;
  const auto parsed = parseWholeInt(entry->second);
  if (!parsed) return false;
  value = *parsed;
  return true;
}

void Host::closeFile(FILEHANDLE f) { registry_->files.erase(reinterpret_cast<std::uintptr_t>(f)); }

std::size_t Host::openFileCount() const { return registry_->files.size(); }

// --- focus --------------------------------------------------------------

OBJHANDLE Host::focusHandle() const { return focus_ ? vesselHandle(*focus_) : nullptr; }

void Host::setFocus(std::size_t vesselIndex) {
  if (vesselIndex >= world_.vesselCount()) {
    throw HostError("setFocus: no vessel with index " + std::to_string(vesselIndex) +
                    " (the world has " + std::to_string(world_.vesselCount()) +
                    "); add the vessel first");
  }
  // As in Orbiter, only a change of vessel is an event.
  if (focus_ == vesselIndex) return;
  const OBJHANDLE previous = focusHandle();
  focus_ = vesselIndex;
  const OBJHANDLE now = focusHandle();
  // The cockpit is rebuilt for the new vessel before any module hears of the
  // change, as Orbiter's pane does.
  rebuildAllDisplays();
  for (int id : loadedModules()) {
    const Module* m = findModule(id);
    if (m == nullptr || m->entries.focusChanged == nullptr) continue;
    CallScope scope(*this, id);
    m->entries.focusChanged(now, previous);
  }
}

// --- modes --------------------------------------------------------------

int Host::registerMode(const MFDMODESPEC& spec) {
  const int id = nextMode_++;
  // The name is copied: the module's text goes away with its library.
  const std::string& name = modeNames_[id] = spec.name != nullptr ? spec.name : "";
  MFDMODESPEC copy = spec;
  copy.name = const_cast<char*>(name.c_str());  // read only
  modes_[id] = copy;
  modeOwner_[id] = activeModule_;
  return id;
}

bool Host::unregisterMode(int modeId) {
  // Open displays keep their instances: their code stays loaded until the
  // module goes, and unloading closes them.
  modeNames_.erase(modeId);
  modeOwner_.erase(modeId);
  return modes_.erase(modeId) > 0;
}

std::optional<int> Host::findMode(const std::string& name) const {
  for (const auto& [id, spec] : modes_) {
    if (name == spec.name) return id;
  }
  return std::nullopt;
}

std::optional<int> Host::findModeByKey(DWORD key) const {
  for (const auto& [id, spec] : modes_) {
    if (spec.key == key) return id;
  }
  return std::nullopt;
}

int Host::modeOwner(int modeId) const {
  const auto it = modeOwner_.find(modeId);
  return it == modeOwner_.end() ? 0 : it->second;
}

// --- displays -------------------------------------------------------------

Host::Display& Host::displayRef(int displayId) const {
  const auto it = displays_.find(displayId);
  if (it == displays_.end()) {
    throw HostError("display " + std::to_string(displayId) +
                    " is not open; use the id that openDisplay returned");
  }
  return *it->second;
}

int Host::displayMode(int displayId) const { return displayRef(displayId).modeId; }

int Host::openDisplay(int modeId, int width, int height) {
  if (width < 1 || height < 1 || width > kMaxDisplaySize || height > kMaxDisplaySize) {
    throw HostError("openDisplay: a display is 1 to " + std::to_string(kMaxDisplaySize) +
                    " pixels wide and high, not " + std::to_string(width) + " x " +
                    std::to_string(height));
  }
  if (modes_.count(modeId) == 0) {
    throw HostError("openDisplay: no mode with id " + std::to_string(modeId) +
                    " is registered; load the module that registers it");
  }
  const int id = nextDisplay_++;
  return openDisplayWithId(id, modeId, width, height, std::make_unique<Surface>(width, height));
}

int Host::openDisplay(const std::string& modeName, int width, int height) {
  const auto mode = findMode(modeName);
  if (!mode) {
    throw HostError("openDisplay: no mode named '" + modeName +
                    "' is registered; load the module that registers it");
  }
  return openDisplay(*mode, width, height);
}

int Host::openDisplayWithId(int displayId, int modeId, int width, int height,
                            std::unique_ptr<Surface> surface) {
  const MFDMODESPEC& spec = modes_.at(modeId);
  if (spec.msgproc == nullptr) {
    throw HostError("openDisplay: mode '" + std::string(spec.name) +
                    "' has no message procedure to build an instance");
  }
  VESSEL* vessel = vesselInterface(focusHandle());
  if (vessel == nullptr) {
    throw HostError("openDisplay: a display belongs to the focus vessel; call setFocus first");
  }
  auto display = std::make_unique<Display>();
  display->modeId = modeId;
  display->width = width;
  display->height = height;
  display->ownerModule = modeOwner(modeId);

  // As Orbiter: the extended message first, the plain one only if that
  // built nothing.
  MFDMODESPECEX registration{spec.name, spec.key, nullptr, spec.msgproc};
  MFDMODEOPENSPEC openSpec{width, height, &registration};
  LRESULT result = 0;
  {
    CallScope scope(*this, display->ownerModule);
    result = spec.msgproc(OAPI_MSG_MFD_OPENEDEX, static_cast<UINT>(displayId),
                          reinterpret_cast<WPARAM>(&openSpec), reinterpret_cast<LPARAM>(vessel));
    if (result == 0) {
      result = spec.msgproc(OAPI_MSG_MFD_OPENED, static_cast<UINT>(displayId),
                            static_cast<WPARAM>(MAKELONG(width, height)),
                            reinterpret_cast<LPARAM>(vessel));
    }
  }
  if (result == 0) {
    throw HostError("module fault: the message procedure of mode '" + std::string(spec.name) +
                    "' answered 0 to both OAPI_MSG_MFD_OPENEDEX and OAPI_MSG_MFD_OPENED, so "
                    "there is no display instance (Orbiter would use the null pointer and "
                    "crash); the mode must return its new MFD for one of the two messages");
  }
  display->instance.reset(reinterpret_cast<MFD*>(result));
  display->surface = std::move(surface);
  MFD& instance = *display->instance;
  displays_[displayId] = std::move(display);
  {
    // An interactive opening, as Orbiter's: the instance takes back what its
    // mode stored when a display in it last closed.
    CallScope scope(*this, modeOwner(modeId));
    instance.RecallStatus();
  }
  return displayId;
}

void Host::closeDisplay(int displayId) {
  const auto it = displays_.find(displayId);
  if (it == displays_.end()) {
    throw HostError("closeDisplay: display " + std::to_string(displayId) + " is not open");
  }
  std::unique_ptr<Display> display = std::move(it->second);
  displays_.erase(it);
  {
    // As Orbiter closes one: the instance stores its status, the mode hears
    // that the display closes, then the instance goes.
    CallScope scope(*this, display->ownerModule);
    display->instance->StoreStatus();
    const auto mode = modes_.find(display->modeId);
    if (mode != modes_.end() && mode->second.msgproc != nullptr) {
      mode->second.msgproc(OAPI_MSG_MFD_CLOSED, static_cast<UINT>(displayId), 0, 0);
    }
    display->instance.reset();
  }
}

void Host::rebuildDisplay(int displayId) {
  Display& display = displayRef(displayId);
  const int modeId = display.modeId;
  if (modes_.count(modeId) == 0) {
    throw HostError("rebuildDisplay: the mode of display " + std::to_string(displayId) +
                    " is no longer registered; close the display instead");
  }
  const int width = display.width, height = display.height;
  // The surface belongs to the display, not to the instance: it stays.
  auto surface = std::move(display.surface);
  closeDisplay(displayId);
  openDisplayWithId(displayId, modeId, width, height, std::move(surface));
}

void Host::rebuildAllDisplays() {
  struct Closed {
    int id, modeId, width, height;
    std::unique_ptr<Surface> surface;  // the display's, kept for its next instance
  };
  std::vector<Closed> closed;
  for (int id : openDisplays()) {
    if (!isOpen(id)) continue;  // closed by an earlier instance's code
    Display& display = displayRef(id);
    closed.push_back(
        {id, display.modeId, display.width, display.height, std::move(display.surface)});
    closeDisplay(id);
  }
  for (Closed& c : closed) {
    if (modes_.count(c.modeId) == 0 || isOpen(c.id)) continue;
    openDisplayWithId(c.id, c.modeId, c.width, c.height, std::move(c.surface));
  }
}

bool Host::isOpen(int displayId) const { return displays_.count(displayId) > 0; }

MFD* Host::display(int displayId) const {
  const auto it = displays_.find(displayId);
  return it == displays_.end() ? nullptr : it->second->instance.get();
}

std::vector<int> Host::openDisplays() const {
  std::vector<int> ids;
  for (const auto& entry : displays_) ids.push_back(entry.first);
  return ids;
}

void Host::drawDisplay(Display& display) {
  Surface& surface = *display.surface;
  const HDC hdc = surface.hdc();
  surface.beginFrame();
  // The settings Orbiter makes on the fresh context before every Update;
  // font 0 is the surface's only font and is in place already.
  SetTextColor(hdc, kDisplayGreen);
  SetBkMode(hdc, TRANSPARENT);
  SelectObject(hdc, GetStockObject(NULL_BRUSH));
  SelectObject(hdc, displayPen());
  // The glass cockpit frames every display, external windows too, with
  // that pen before the mode draws.
  if (glassCockpit_) Rectangle(hdc, 0, 0, surface.width(), surface.height());
  {
    CallScope scope(*this, display.ownerModule);
    display.instance->Update(hdc);
  }
  surface.endFrame();
  ++display.redraws;
  // Set after drawing, so an invalidation from within Update has no effect.
  display.nextDue = simTime() + refreshInterval_;
  display.lastRealRedraw = realTime_;
}

Surface& Host::redraw(int displayId) {
  Display& display = displayRef(displayId);
  drawDisplay(display);
  return *display.surface;
}

Surface& Host::surface(int displayId) { return *displayRef(displayId).surface; }

std::uint64_t Host::redrawCount(int displayId) const { return displayRef(displayId).redraws; }

void Host::setRefreshInterval(double seconds) {
  if (!std::isfinite(seconds) || seconds <= 0) {
    throw HostError(
        "setRefreshInterval: the interval must be a finite number of seconds > 0 "
        "(Orbiter 2016 uses 1.0, 2024 uses 0.5), not " +
        std::to_string(seconds));
  }
  refreshInterval_ = seconds;
}

void Host::setTimeAcceleration(double factor) {
  if (!std::isfinite(factor) || factor <= 0) {
    throw HostError("setTimeAcceleration: the factor must be a finite number > 0, not " +
                    std::to_string(factor));
  }
  timeAcceleration_ = factor;
}

void Host::invalidateDisplay(const MFD* instance) {
  for (auto& [id, display] : displays_) {
    if (display->instance.get() != instance) continue;
    display->nextDue = -std::numeric_limits<double>::infinity();
    display->lastRealRedraw = -std::numeric_limits<double>::infinity();
  }
}

void Host::refreshDisplays() {
  const bool glass = buttonStyle_ == ButtonStyle::GlassCockpit;
  const auto sendHeld = [this](int id) {
    if (!isOpen(id)) return;  // closed by an earlier display's code
    const int button = displayRef(id).heldButton;
    if (button >= 0) buttonEvent(id, button, kButtonHeld);
  };
  for (int id : openDisplays()) {
    if (!glass) sendHeld(id);
    if (!isOpen(id)) continue;
    Display& display = displayRef(id);
    if (simTime() >= display.nextDue && realTime_ >= display.lastRealRedraw + kMinRealRefreshTime) {
      drawDisplay(display);
    }
  }
  // Orbiter's pane redraws its displays, then hands the held button of the
  // glass cockpit its event: what the event changes shows at the next redraw.
  if (glass) {
    for (int id : openDisplays()) sendHeld(id);
  }
}

bool Host::buttonEvent(int displayId, int button, int event) {
  Display& display = displayRef(displayId);
  CallScope scope(*this, display.ownerModule);
  InputScope input(inputDisplay_, displayId);
  return display.instance->ConsumeButton(button, event);
}

bool Host::holdButton(int displayId, int button) {
  releaseButton(displayId);
  // The glass cockpit reports the press with the held bit already set.
  const int press =
      buttonStyle_ == ButtonStyle::GlassCockpit ? (kButtonDown | kButtonHeld) : kButtonDown;
  const bool consumed = buttonEvent(displayId, button, press);
  if (isOpen(displayId)) displayRef(displayId).heldButton = button;
  return consumed;
}

void Host::releaseButton(int displayId) {
  Display& display = displayRef(displayId);
  const int button = display.heldButton;
  if (button < 0) return;
  display.heldButton = -1;
  if (buttonStyle_ == ButtonStyle::ExternalWindow) buttonEvent(displayId, button, kButtonUp);
}

bool Host::pressButton(int displayId, int button) {
  const bool consumed = holdButton(displayId, button);
  if (isOpen(displayId)) releaseButton(displayId);
  return consumed;
}

bool Host::pressKey(int displayId, DWORD key) {
  Display& display = displayRef(displayId);
  CallScope scope(*this, display.ownerModule);
  InputScope input(inputDisplay_, displayId);
  return display.instance->ConsumeKeyBuffered(key);
}

std::string Host::buttonLabel(int displayId, int button) {
  Display& display = displayRef(displayId);
  CallScope scope(*this, display.ownerModule);
  const char* label = display.instance->ButtonLabel(button);
  return label != nullptr ? label : "";
}

// --- input boxes ------------------------------------------------------------

int Host::openInputBox(const char* title, InputBoxCallback cb, void* usrdata) {
  if (cb == nullptr) return 0;  // a box nobody can answer opens nothing
  InputBoxState box;
  box.id = nextBox_++;
  box.title = title != nullptr ? title : "";
  box.callback = cb;
  box.usrdata = usrdata;
  box.displayId = inputDisplay_;
  box.moduleId = activeModule_;
  box_ = std::move(box);  // the open box, if any, is replaced
  return box_->id;
}

std::string Host::inputBoxTitle() const { return box_ ? box_->title : ""; }

bool Host::typeInput(const std::string& text) {
  if (!box_) {
    throw HostError(
        "typeInput: no input box is open; press the key or button that opens one first");
  }
  const InputBoxState box = *box_;  // a copy: the callback may open or close boxes
  // The callback may write into the text, as into Orbiter's own buffer.
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  bool accepted = false;
  {
    CallScope scope(*this, box.moduleId);
    InputScope input(inputDisplay_, box.displayId);
    void* identity = reinterpret_cast<void*>(static_cast<std::uintptr_t>(box.id));
    accepted = box.callback(identity, buffer.data(), box.usrdata);
  }
  if (accepted) {
    // Unless the callback opened another box, which then stays.
    closeBoxIf([&box](const InputBoxState& b) { return b.id == box.id; });
  }
  return accepted;
}

void Host::cancelInputBox() { box_.reset(); }

void Host::closeBoxIf(const std::function<bool(const InputBoxState&)>& pred) {
  if (box_ && pred(*box_)) box_.reset();
}

// --- simulation ---------------------------------------------------------

void Host::step(double dt) {
  if (!std::isfinite(dt) || dt < 0) {
    throw HostError("step: the time step must be a finite number of seconds >= 0, not " +
                    std::to_string(dt));
  }
  world_.advance(dt);
  realTime_ += dt / timeAcceleration_;
  const double simt = simTime();
  const double date = mjd();
  for (int id : loadedModules()) {
    const Module* m = findModule(id);
    if (m == nullptr || m->entries.postStep == nullptr) continue;
    CallScope scope(*this, id);
    m->entries.postStep(simt, dt, date);
  }
  refreshDisplays();
}

// The simulation starts at J2000 (MJD 51544.5).
double Host::mjd() const { return 51544.5 + simTime() / 86400.0; }

}  // namespace sim
