// A scratch folder for a host session (its configuration folder, say).
#pragma once

#include <filesystem>
#include <string>

namespace sim {

// A fresh, empty folder under the system's temporary folder, removed with
// everything in it when the object ends.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes (or replaces) a file in the folder with exactly these bytes.
  void write(const std::string& name, const std::string& bytes) const;

 private:
  std::filesystem::path path_;
};

}  // namespace sim
