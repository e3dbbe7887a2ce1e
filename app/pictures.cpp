#include "app/pictures.h"

namespace lobarc {

Pictures Pictures::everyMoment(const std::filesystem::path& dir, const std::string& format) {
  Pictures p;
  p.dir_ = dir;
  p.format_ = format;
  p.everyMoment_ = true;
  std::filesystem::create_directories(dir);
  return p;
}

Pictures Pictures::pages(const std::filesystem::path& dir, const std::string& format,
                         bool grounded) {
  Pictures p;
  p.dir_ = dir;
  p.format_ = format;
  p.names_ = {
      {"pad", "page-grounded"}, {"page1", "page-flight-1"}, {"page2-before", "page-flight-2"}};
  if (!grounded) p.names_.erase("pad");
  std::filesystem::create_directories(dir);
  return p;
}

void Pictures::take(const std::string& moment, Cockpit& cockpit) {
  std::string stem;
  if (everyMoment_) {
    stem = "display-" + moment;
  } else if (auto it = names_.find(moment); it != names_.end()) {
    stem = it->second;
  } else {
    return;
  }
  const std::filesystem::path file = dir_ / (stem + "." + format_);
  const sim::Surface& s = cockpit.look();
  if (format_ == "svg")
    s.renderSvg(file);
  else
    s.renderPng(file);
  files_.push_back(file);
}

bool Pictures::complete() const {
  return !everyMoment_ && !names_.empty() && files_.size() == names_.size();
}

}  // namespace lobarc
