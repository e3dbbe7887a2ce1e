// Pictures of a flight: render's three pages under their final names and
// nothing else; fly --out's every moment; none at all when none are asked for.
#include "app/pictures.h"

#include <gtest/gtest.h>

#include "app/session.h"
#include "sim/temp_dir.h"

namespace {

TEST(Pictures, EachKindWritesItsMomentsUnderTheirNames) {
  const lobarc::Scenario sc = lobarc::loadScenario("moon-hop");
  lobarc::Session session{sc, "en", LOBARC_MODULE_PATH};
  lobarc::Cockpit cockpit{session.host(), session.vessel(), session.display()};
  sim::TempDir dir;
  struct Case {
    lobarc::Pictures pictures;
    std::vector<std::string> files;  // written, in order
    bool complete;
  };
  Case cases[] = {
      {lobarc::Pictures::pages(dir.path() / "pages", "svg"),
       {"page-grounded.svg", "page-flight-1.svg", "page-flight-2.svg"},
       true},
      {lobarc::Pictures::everyMoment(dir.path() / "all", "png"),
       {"display-pad.png", "display-meco.png", "display-page1.png", "display-page2-before.png",
        "display-page2-after.png"},
       false},
      {lobarc::Pictures{}, {}, false},
  };
  for (Case& c : cases) {
    for (const char* moment : {"pad", "meco", "page1", "page2-before", "page2-after"})
      c.pictures.take(moment, cockpit);
    std::vector<std::string> written;
    for (const auto& f : c.pictures.files()) {
      EXPECT_GT(std::filesystem::file_size(f), 0u) << f;
      written.push_back(f.filename().string());
    }
    EXPECT_EQ(written, c.files);
    EXPECT_EQ(c.pictures.complete(), c.complete);
  }
}

}  // namespace
