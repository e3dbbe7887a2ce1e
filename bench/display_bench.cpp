// The cost of what the pilot sees, with the module library loaded by path as
// the host loads it:
//  - the ground plan, recomputed by the switch key on the pad;
//  - a redraw of each page (grounded, in flight 1/2 and 2/2) onto the host's
//    recording surface: the display list is kept, nothing is rendered;
//  - a whole host step in flight and on the ground (world and hook).
// Counters: "allocs" is heap allocations per call, all of them; "module" and
// "host" are those asked for by each library, counted over a separate run
// of the same calls after the timed loop (the stack walk that names the
// library is too slow to time).
#include <benchmark/benchmark.h>

#include <cmath>

#include "bench/alloc_counter.h"
#include "lobarc/ArvexPlan.h"
#include "sim/host.h"
#include "sim/surface.h"
#include "sim/world.h"

namespace {

constexpr DWORD kKeyT = 20, kKeyP = 25, kKeyS = 31;
constexpr int kAttributedCalls = 1000;

// A lander on the Moon's Apollo 11 site with the module loaded and a
// 290 x 290 display open, the target Apollo 16 chosen by name.
class Scene {
 public:
  explicit Scene(bool inFlight) {
    const int body = host.world().addBody(*sim::builtinBody("Moon"));
    const sim::Base& site = *host.world().body(body).findBase("Apollo11");
    sim::Vessel& v =
        host.world().addVessel(body, sim::VesselSpec{"Lander", 15000, 45000, 0, 30000});
    v.landAt(site.lat_rad, site.lng_rad);
    if (inFlight) {
      // A circular orbit 100 km up, eastward: in flight however long the
      // benchmark runs.
      const sim::Body& moon = host.world().body(body);
      const double speed = std::sqrt(moon.mu() / (moon.radius() + 100000));  // [m/s]
      v.placeInFlight(site.lat_rad, site.lng_rad, 100000, speed, 0, 0);
    }
    host.setFocus(0);
    module = host.loadModule(LOBARC_MODULE_PATH);
    display = host.openDisplay("Lobarc Launch", 290, 290);
    host.pressKey(display, kKeyT);
    host.typeInput("Apollo16");
  }
  // The display's plan, through the module's exported door.
  ArvexPlan plan() {
    const auto get = reinterpret_cast<ArvexGetPlanFunc>(
        GetProcAddress(host.moduleInstance(module), ARVEX_GET_PLAN_NAME));
    ArvexPlan p{};
    p.size = sizeof p;
    if (get == nullptr || get(host.display(display), &p) == 0) p.version = 0;
    return p;
  }
  // The page the display showed at its last redraw: "1/2" or "2/2".
  bool showsPage(const char* page) { return host.surface(display).findText(page) != nullptr; }
  sim::Vessel& vessel() { return host.world().vessel(0); }

  sim::Host host;
  int module = 0;
  int display = -1;
};

// Runs `call` as the benchmark's timed loop, then kAttributedCalls more
// times naming who allocates.
template <class F>
void Measure(benchmark::State& state, F call) {
  const allocs::Counts before = allocs::now();
  for (auto _ : state) call();
  const allocs::Counts timed = allocs::now() - before;
  state.counters["allocs"] =
      benchmark::Counter(static_cast<double>(timed.total), benchmark::Counter::kAvgIterations);
  allocs::attribute(true);
  const allocs::Counts start = allocs::now();
  for (int i = 0; i < kAttributedCalls; ++i) call();
  const allocs::Counts named = allocs::now() - start;
  allocs::attribute(false);
  state.counters["module"] = static_cast<double>(named.module) / kAttributedCalls;
  state.counters["host"] = static_cast<double>(named.host) / kAttributedCalls;
}

// The switch key on the pad keeps the grounded mode and recomputes the plan.
void BM_RecomputePlanOnTheGround(benchmark::State& state) {
  Scene scene(false);
  MFD& mfd = *scene.host.display(scene.display);
  Measure(state, [&] { benchmark::DoNotOptimize(mfd.ConsumeKeyBuffered(kKeyS)); });
  if (scene.plan().groundSolValid == 0) state.SkipWithError("no ground solution");
}

void Redraw(benchmark::State& state, Scene& scene) {
  Measure(state, [&] {
    const sim::Surface& surface = scene.host.redraw(scene.display);
    benchmark::DoNotOptimize(surface.texts().data());
  });
}

void BM_RedrawGrounded(benchmark::State& state) {
  Scene scene(false);
  scene.host.step(0.02);  // a pitch proposal to show
  Redraw(state, scene);
}

void BM_RedrawInFlightPage1(benchmark::State& state) {
  Scene scene(true);
  scene.host.step(0.02);
  Redraw(state, scene);
  if (!scene.showsPage("1/2")) state.SkipWithError("not on page 1/2");
}

void BM_RedrawInFlightPage2(benchmark::State& state) {
  Scene scene(true);
  scene.host.step(0.02);
  scene.host.pressKey(scene.display, kKeyP);
  Redraw(state, scene);
  if (!scene.showsPage("2/2")) state.SkipWithError("not on page 2/2");
}

// A whole host step: the world advances, then the hook runs on the display.
void BM_HostStepInFlight(benchmark::State& state) {
  Scene scene(true);
  scene.host.step(0.02);
  Measure(state, [&] { scene.host.step(0.02); });
  if (scene.vessel().groundContact()) state.SkipWithError("landed during the run");
}

void BM_HostStepOnTheGround(benchmark::State& state) {
  Scene scene(false);
  scene.host.step(0.02);
  Measure(state, [&] { scene.host.step(0.02); });
}

// The counter's own check: opening a display allocates exactly the
// instance in the module.
void BM_OpenAndCloseDisplay(benchmark::State& state) {
  Scene scene(false);
  Measure(state, [&] {
    const int d = scene.host.openDisplay("Lobarc Launch", 290, 290);
    scene.host.closeDisplay(d);
  });
}

}  // namespace

BENCHMARK(BM_RecomputePlanOnTheGround);
BENCHMARK(BM_RedrawGrounded);
BENCHMARK(BM_RedrawInFlightPage1);
BENCHMARK(BM_RedrawInFlightPage2);
BENCHMARK(BM_HostStepInFlight);
BENCHMARK(BM_HostStepOnTheGround);
BENCHMARK(BM_OpenAndCloseDisplay);
