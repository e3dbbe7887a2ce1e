// Inside the simulated host: the records behind its opaque handles, its
// loaded modules and its open displays. Shared by the host's own sources
// only; nothing outside sim/ includes this.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "sim/host.h"

namespace sim {

// A fresh handle value, never handed out before in this process (a counter,
// so a stale handle can never name a newer object by accident).
std::uintptr_t newHandleValue();

// An opened module library. Closing it (the destructor) unloads the code.
class ModuleLibrary {
 public:
  // Throws HostError naming the path and the loader's reason.
  explicit ModuleLibrary(const std::filesystem::path& path);
  ~ModuleLibrary();
  ModuleLibrary(const ModuleLibrary&) = delete;
  ModuleLibrary& operator=(const ModuleLibrary&) = delete;

  // A function or object that the library itself exports under this plain
  // name; null for names it does not export (those of the libraries it
  // depends on included, as Windows' GetProcAddress does).
  void* symbol(const char* name) const;
  const std::filesystem::path& path() const { return path_; }
  void* native() const;  // the loader's handle; equal for two openings of one library

 private:
  void* handle_ = nullptr;
  std::filesystem::path path_;
};

// The HINSTANCE a module is given, registered for GetProcAddress for as long
// as this object lives.
class InstanceHandle {
 public:
  using Resolver = std::function<void*(const char* name)>;
  explicit InstanceHandle(Resolver resolver);
  ~InstanceHandle();
  InstanceHandle(const InstanceHandle&) = delete;
  InstanceHandle& operator=(const InstanceHandle&) = delete;
  HINSTANCE get() const { return handle_; }

 private:
  HINSTANCE handle_;
};

struct Host::Module {
  int id = 0;
  std::string name;
  std::unique_ptr<ModuleLibrary> library;  // null for entry points linked into the caller
  ModuleEntries entries;
  std::unique_ptr<InstanceHandle> instance;  // declared after library: unregistered first
};

struct Host::Display {
  int modeId = 0;
  int width = 0, height = 0;  // [pixel]
  int ownerModule = 0;        // module whose code the instance runs, 0 if none
  std::unique_ptr<Surface> surface;
  std::unique_ptr<MFD> instance;  // declared after surface: destroyed first
  // Refresh schedule: a new instance is drawn at the first check.
  double nextDue = -std::numeric_limits<double>::infinity();         // [s] simulated
  double lastRealRedraw = -std::numeric_limits<double>::infinity();  // [s] real
  std::uint64_t redraws = 0;
  int heldButton = -1;  // button held down, -1 if none
};

// A configuration file read whole at opening: item name (lower case) ->
// value text (trimmed, comment removed). The first line naming an item wins.
struct ConfigFile {
  std::map<std::string, std::string> items;
};

struct Host::Registry {
  enum class Kind { Body, Vessel, Base, Group };
  struct Target {
    Kind kind = Kind::Body;
    int body = -1;          // body index (Body, Base)
    std::size_t index = 0;  // vessel index (Vessel, Group) or base index (Base)
    int group = 0;          // THGROUP_TYPE (Group)
  };
  // The handle of a target, made on first request and kept for this host's life.
  void* handleFor(const Target& t);
  // What a handle names, if it is one of this host's handles of that kind.
  const Target* resolve(const void* h, Kind kind) const;

  std::map<std::uintptr_t, Target> targets;
  std::map<std::tuple<int, int, std::size_t, int>, std::uintptr_t> values;
  std::map<std::uintptr_t, ConfigFile> files;
};

// While alive, the host is the current one (oapi calls made by module code
// reach the host that called the module) and names the module it is running.
class Host::CallScope {
 public:
  CallScope(Host& host, int moduleId);
  ~CallScope();
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

 private:
  Host& host_;
  Host* savedOverride_;
  int savedModule_;
};

}  // namespace sim
