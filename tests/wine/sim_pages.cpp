// The page script played on the simulated host, with the module loaded by
// path as the Windows test host loads its DLL: the display list of every
// page drawn (texts, anchors, colours, alignment, and where Cairo put their
// ink) goes to a file that the Windows test host compares with its real-GDI
// drawing of the same pages; each page is also rendered to PNG beside it.
//
// usage: sim_pages <module library> <output folder>
// Writes <output folder>/pages.txt; any failure ends it with a message and
// exit code 1.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/host.h"
#include "sim/temp_dir.h"
#include "wine/page_list.h"
#include "wine/page_script.h"

namespace {

using pagescript::Action;
using pagescript::Op;

sim::Vec3 V(const pagescript::Vec& v) { return {v.x, v.y, v.z}; }

class Player {
 public:
  Player(const std::filesystem::path& module, std::filesystem::path out) : out_(std::move(out)) {
    host_.setConfigDir(config_.path());
    host_.world().addBody(sim::BodySpec{
        pagescript::kBodyName, pagescript::kBodyRadius, pagescript::kBodyMass, 0, 0, 0, {}});
    host_.world().addVessel(0,
                            sim::VesselSpec{pagescript::kVesselName, pagescript::kVesselMass,
                                            pagescript::kMainThrust, 0, pagescript::kHoverThrust});
    host_.setFocus(0);
    entries_ = host_.moduleEntries(host_.loadModule(module));
  }

  void Session(const pagescript::Session& session) {
    config_.write("ArvexMFD.cfg", "LANGUAGE = " + std::to_string(session.language) + "\n");
    for (const Action& a : pagescript::kPages) Play(a, session);
    for (const Action& a : pagescript::kLeave) Play(a, session);
  }

  const std::vector<pagelist::Page>& pages() const { return pages_; }

 private:
  void Play(const Action& a, const pagescript::Session& session) {
    switch (a.op) {
      case Op::Place:
        Place(a.state);
        break;
      case Op::Open:
        display_ = host_.openDisplay("Lobarc Launch", session.w, session.h);
        break;
      case Op::Button:
        for (int event : {sim::kButtonDown, sim::kButtonHeld, sim::kButtonUp}) {
          host_.buttonEvent(display_, a.n, event);
        }
        break;
      case Op::Answer:
        if (!host_.typeInput(a.text)) throw sim::HostError(std::string("refused: ") + a.text);
        break;
      case Op::Key:
        host_.pressKey(display_, static_cast<DWORD>(a.n));
        break;
      case Op::Steps:
        // The hook itself, as the Windows test host calls it: the world
        // does not move the vessel from the scripted state.
        for (int i = 0; i < a.n; ++i, time_ += pagescript::kStep) {
          entries_.postStep(time_, pagescript::kStep, 60000.0 + time_ / 86400);
        }
        break;
      case Op::Draw:
        Keep(host_.redraw(display_), std::string(session.tag) + "-page-" + a.text);
        break;
      case Op::Refocus:
        entries_.focusChanged(host_.vesselHandle(0), host_.vesselHandle(0));
        break;
      case Op::Close:
        host_.closeDisplay(display_);
        break;
    }
  }

  void Place(const pagescript::State& s) {
    sim::Vessel& v = host_.world().vessel(0);
    if (s.contact) {
      if (s.altitude != 0) throw sim::HostError("a vessel on the ground stands at altitude 0");
      v.landAt(0, 0);
    } else {
      v.setState({pagescript::kBodyRadius + s.altitude, 0, 0}, V(s.vel));
    }
    sim::Mat3 r;
    r << V(s.axes.right), V(s.axes.up), V(s.axes.forward);  // the columns
    v.setRotation(r);
    v.setLevel(THGROUP_MAIN, s.mainLevel);
  }

  void Keep(const sim::Surface& surface, const std::string& name) {
    pagelist::Page page{name,
                        surface.width(),
                        surface.height(),
                        static_cast<double>(surface.charWidth()),
                        surface.fontAscent(),
                        surface.charWidth(),
                        surface.charHeight(),
                        {}};
    for (const sim::DrawnText& t : surface.texts()) {
      const sim::TextBox ink = surface.textInk(t);
      page.texts.push_back(
          {t.x, t.y, t.color, t.align, t.title, ink.left, ink.top, ink.right, ink.bottom, t.bytes});
    }
    pages_.push_back(page);
    surface.renderPng(out_ / (name + ".png"));
  }

  std::filesystem::path out_;
  sim::TempDir config_;
  sim::Host host_;
  sim::ModuleEntries entries_;
  int display_ = 0;
  double time_ = 0;
  std::vector<pagelist::Page> pages_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: sim_pages <module library> <output folder>\n");
    return 2;
  }
  try {
    const std::filesystem::path out = argv[2];
    std::filesystem::create_directories(out);
    Player player(argv[1], out);
    for (const pagescript::Session& s : pagescript::kSessions) player.Session(s);
    const std::string list = (out / "pages.txt").string();
    if (!pagelist::Write(list, player.pages())) {
      std::fprintf(stderr, "sim_pages: cannot write %s\n", list.c_str());
      return 1;
    }
    std::printf("sim_pages: %zu pages with their texts in %s\n", player.pages().size(),
                list.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sim_pages: %s\n", e.what());
    return 1;
  }
  return 0;
}
