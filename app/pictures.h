// Pictures of the display at the moments of a flight ("pad", "meco",
// "page1", "page2-before", "page2-after"): every moment for `fly --out`, or
// only the three pages for `render`, each written under its final name.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/cockpit.h"

namespace lobarc {

class Pictures {
 public:
  // No pictures at all: the display is not even looked at.
  Pictures() = default;
  // Every moment, as display-<moment>.<format> in dir.
  static Pictures everyMoment(const std::filesystem::path& dir, const std::string& format);
  // The display pages as page-grounded (unless the vessel starts in flight),
  // page-flight-1 and page-flight-2.<format> in dir.
  static Pictures pages(const std::filesystem::path& dir, const std::string& format,
                        bool grounded = true);

  // Looks at the display and writes it, if this moment is wanted.
  void take(const std::string& moment, Cockpit& cockpit);
  // Every wanted moment has been written (never when every moment is wanted).
  bool complete() const;
  const std::vector<std::filesystem::path>& files() const { return files_; }

 private:
  std::filesystem::path dir_;
  std::string format_ = "png";  // "png" or "svg"
  bool everyMoment_ = false;
  std::map<std::string, std::string> names_;  // moment -> file stem, when not every moment
  std::vector<std::filesystem::path> files_;
};

}  // namespace lobarc
