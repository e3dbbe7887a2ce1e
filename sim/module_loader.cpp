// Loading modules as Orbiter does: open the library by path, run its library
// entry, find its exports by name, InitModule; at unload the reverse. The
// HINSTANCE a module gets is an opaque handle that GetProcAddress resolves.
#include <dlfcn.h>
#ifndef __EMSCRIPTEN__
#include <link.h>
#endif

#include <map>
#include <mutex>
#include <string_view>

#include "sim/host_internal.h"

namespace sim {

namespace {

// Every live HINSTANCE, process-wide: GetProcAddress is a free function and
// a module may call it before InitModule (from its library entry).
struct InstanceTable {
  std::mutex mutex;
  std::map<std::uintptr_t, InstanceHandle::Resolver> resolvers;
};

InstanceTable& instanceTable() {
  // Never destroyed, so that hosts that outlive static destruction (a global
  // Host in a program) still find it.
  static InstanceTable* table = new InstanceTable;
  return *table;
}

template <class F>
F entryPoint(const ModuleLibrary& library, const char* name) {
  return reinterpret_cast<F>(library.symbol(name));
}

void* asAddress(auto function) { return reinterpret_cast<void*>(function); }

}  // namespace

// --- the library ------------------------------------------------------------

ModuleLibrary::ModuleLibrary(const std::filesystem::path& path) : path_(path) {
  std::string name = path.string();
  // A bare file name would make the loader search the library path instead
  // of the folder the caller means.
  if (name.find('/') == std::string::npos) name = "./" + name;
  dlerror();
  handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* reason = dlerror();
    throw HostError("loadModule: cannot load '" + path.string() +
                    "': " + (reason != nullptr ? reason : "unknown reason") +
                    "; check the path and that it names a module library built for this host");
  }
}

ModuleLibrary::~ModuleLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

void* ModuleLibrary::symbol(const char* name) const {
  if (name == nullptr || handle_ == nullptr) return nullptr;
  void* address = dlsym(handle_, name);
  if (address == nullptr) return nullptr;
#ifdef __EMSCRIPTEN__
  // The browser build links its module in (attachModule) and has no loader
  // records to tell a library's own exports from its dependencies'.
  return address;
#else
  // dlsym also searches the libraries this one depends on; only the
  // module's own exports count.
  link_map* own = nullptr;
  if (dlinfo(handle_, RTLD_DI_LINKMAP, &own) != 0) return nullptr;
  Dl_info info;
  link_map* where = nullptr;
  if (dladdr1(address, &info, reinterpret_cast<void**>(&where), RTLD_DL_LINKMAP) == 0) {
    return nullptr;
  }
  return where == own ? address : nullptr;
#endif
}

void* ModuleLibrary::native() const { return handle_; }

// --- module handles -----------------------------------------------------------

InstanceHandle::InstanceHandle(Resolver resolver)
    : handle_(reinterpret_cast<HINSTANCE>(newHandleValue())) {
  InstanceTable& table = instanceTable();
  std::lock_guard lock(table.mutex);
  table.resolvers.emplace(reinterpret_cast<std::uintptr_t>(handle_), std::move(resolver));
}

InstanceHandle::~InstanceHandle() {
  InstanceTable& table = instanceTable();
  std::lock_guard lock(table.mutex);
  table.resolvers.erase(reinterpret_cast<std::uintptr_t>(handle_));
}

// --- the host's side ------------------------------------------------------------

Host::Module* Host::findModule(int moduleId) const {
  for (const auto& m : modules_) {
    if (m->id == moduleId) return m.get();
  }
  return nullptr;
}

int Host::loadModule(const std::filesystem::path& library) {
  auto lib = std::make_unique<ModuleLibrary>(library);
  for (const auto& m : modules_) {
    if (m->library && m->library->native() == lib->native()) {
      // Loading it twice would share one copy of its state between two
      // InitModule calls.
      throw HostError("loadModule: '" + library.string() + "' is already loaded as module " +
                      std::to_string(m->id) + "; unload it first");
    }
  }
  auto module = std::make_unique<Module>();
  module->name = library.filename().string();
  module->entries.dllMain = entryPoint<decltype(ModuleEntries::dllMain)>(*lib, "DllMain");
  module->entries.initModule = entryPoint<decltype(ModuleEntries::initModule)>(*lib, "InitModule");
  module->entries.exitModule = entryPoint<decltype(ModuleEntries::exitModule)>(*lib, "ExitModule");
  module->entries.getModuleVersion =
      entryPoint<decltype(ModuleEntries::getModuleVersion)>(*lib, "GetModuleVersion");
  module->entries.postStep = entryPoint<decltype(ModuleEntries::postStep)>(*lib, "opcPostStep");
  module->entries.focusChanged =
      entryPoint<decltype(ModuleEntries::focusChanged)>(*lib, "opcFocusChanged");
  const ModuleLibrary* raw = lib.get();
  module->instance =
      std::make_unique<InstanceHandle>([raw](const char* name) { return raw->symbol(name); });
  module->library = std::move(lib);
  return registerModule(std::move(module));
}

int Host::attachModule(const ModuleEntries& entries, const std::string& name) {
  auto module = std::make_unique<Module>();
  module->name = name;
  module->entries = entries;
  // GetProcAddress finds the entry points under their exported names.
  module->instance = std::make_unique<InstanceHandle>([entries](const char* symbol) -> void* {
    const std::string_view s(symbol);
    if (s == "DllMain") return asAddress(entries.dllMain);
    if (s == "InitModule") return asAddress(entries.initModule);
    if (s == "ExitModule") return asAddress(entries.exitModule);
    if (s == "GetModuleVersion") return asAddress(entries.getModuleVersion);
    if (s == "opcPostStep") return asAddress(entries.postStep);
    if (s == "opcFocusChanged") return asAddress(entries.focusChanged);
    return nullptr;
  });
  return registerModule(std::move(module));
}

int Host::registerModule(std::unique_ptr<Module> module) {
  Module& m = *module;
  m.id = nextModule_++;
  modules_.push_back(std::move(module));
  const HINSTANCE h = m.instance->get();
  const int id = m.id;

  CallScope scope(*this, id);
  // 1 - Library entry, attach. A refusal unloads the library again, after a
  //     detach, as Windows does.
  if (m.entries.dllMain != nullptr && !m.entries.dllMain(h, DLL_PROCESS_ATTACH, nullptr)) {
    m.entries.dllMain(h, DLL_PROCESS_DETACH, nullptr);
    const std::string name = m.name;
    dropModule(id);
    throw HostError("loadModule: the library entry of '" + name + "' refused to attach");
  }
  // 2 - InitModule: the modes it registers now belong to it.
  if (m.entries.initModule != nullptr) m.entries.initModule(h);
  return id;
}

void Host::unloadModule(int moduleId) {
  Module* m = findModule(moduleId);
  if (m == nullptr) {
    throw HostError("unloadModule: no module with id " + std::to_string(moduleId) + " is loaded");
  }
  // 1 - Displays whose instances run this module's code, and its input boxes.
  for (int id : openDisplays()) {
    if (displays_.at(id)->ownerModule == moduleId) closeDisplay(id);
  }
  closeBoxIf([moduleId](const InputBoxState& b) { return b.moduleId == moduleId; });
  // 2 - Its exit runs once. A module with a library entry runs it from the
  //     detach (the SDK glue calls the exit function it found at attach), so
  //     the host calling ExitModule as well would run it twice; a module
  //     without one gets ExitModule from the host.
  {
    CallScope scope(*this, moduleId);
    const HINSTANCE h = m->instance->get();
    if (m->entries.dllMain != nullptr) {
      m->entries.dllMain(h, DLL_PROCESS_DETACH, nullptr);
    } else if (m->entries.exitModule != nullptr) {
      m->entries.exitModule(h);
    }
  }
  // 3 - What it left behind, then the library itself.
  dropModule(moduleId);
}

void Host::dropModule(int moduleId) {
  for (auto it = modeOwner_.begin(); it != modeOwner_.end();) {
    const int mode = it->first;
    ++it;
    if (modeOwner(mode) == moduleId) unregisterMode(mode);
  }
  for (int id : openDisplays()) {
    if (displays_.at(id)->ownerModule == moduleId) closeDisplay(id);
  }
  closeBoxIf([moduleId](const InputBoxState& b) { return b.moduleId == moduleId; });
  std::erase_if(modules_, [moduleId](const auto& m) { return m->id == moduleId; });
}

const ModuleEntries& Host::moduleEntries(int moduleId) const {
  const Module* m = findModule(moduleId);
  if (m == nullptr) {
    throw HostError("moduleEntries: no module with id " + std::to_string(moduleId) + " is loaded");
  }
  return m->entries;
}

bool Host::isLoaded(int moduleId) const { return findModule(moduleId) != nullptr; }

std::vector<int> Host::loadedModules() const {
  std::vector<int> ids;
  for (const auto& m : modules_) ids.push_back(m->id);
  return ids;
}

HINSTANCE Host::moduleInstance(int moduleId) const {
  const Module* m = findModule(moduleId);
  if (m == nullptr) {
    throw HostError("moduleInstance: no module with id " + std::to_string(moduleId) + " is loaded");
  }
  return m->instance->get();
}

}  // namespace sim

extern "C" FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (module == nullptr || name == nullptr) return nullptr;
  sim::InstanceHandle::Resolver resolver;
  {
    auto& table = sim::instanceTable();
    std::lock_guard lock(table.mutex);
    const auto it = table.resolvers.find(reinterpret_cast<std::uintptr_t>(module));
    if (it == table.resolvers.end()) return nullptr;
    resolver = it->second;
  }
  return reinterpret_cast<FARPROC>(resolver(name));
}
