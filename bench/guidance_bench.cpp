// The per-step guidance's cost on this machine, and its heap allocations:
//  - a warm opcPostStep in flight, along a recorded coast (every call sees a
//    new position, as in the host), on the conic through the aim point and
//    off it;
//  - a cold solve on the scene's state in flight and on 64 random lunar hop
//    states;
//  - a cold call and a warm call one second after it, each timed on its
//    own on 510 states on the Moon, Mercury and Mars: the median and the
//    worst state; the same with the aim that leads the body's rotation;
//  - a grounded opcPostStep;
//  - the simulated host's answers to the queries of a grounded and of an
//    in-flight step, alone: the module's own cost of a hook is the hook's
//    less these.
// Global operator new/delete and malloc/calloc/realloc are replaced by
// counting versions; the counter "allocs" is allocations per call.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "app/linked_module.h"
#include "lobarc/ArvexPlan.h"
#include "lobarc/entry_points.h"
#include "planning/flight_solver.h"
#include "sim/host.h"
#include "sim/two_body.h"
#include "sim/world.h"

using namespace arvex;  // the module's own names

// --- Counting allocations --------------------------------------------------

namespace {
std::atomic<long> allocations{0};
}

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t n) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(n);
}
void* calloc(std::size_t n, std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t n) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, n);
}
void free(void* p) { __libc_free(p); }
}

void* operator new(std::size_t n) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = __libc_malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, std::size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, std::size_t) noexcept { __libc_free(p); }

namespace {

// --- The scene ---------------------------------------------------------------

constexpr double kStep = 0.02;  // [s] host step: 50 steps a second

// A lander on the Moon, the module attached and a display open, the target
// some 170 km east of the vessel. The scene is set as a pilot sets it,
// through the display's buttons and dialogs, and read through the module's
// plan export: the benchmarks time the module as the host runs it.
struct Scene {
  // The display's buttons, as their labels name them.
  static constexpr int kBtnLat = 1, kBtnLng = 2, kBtnSwitch = 6;

  Scene() {
    body = host.world().addBody(*sim::builtinBody("Moon"));
    host.world().addVessel(body, sim::VesselSpec{"Lander", 15000, 45000, 0, 30000});
    host.world().vessel(0).landAt(0.02, 0.40);
    host.setFocus(0);
    host.attachModule(lobarc::linkedModuleEntries(), "ArvexMFD (linked)");
    display = host.openDisplay("Lobarc Launch", 400, 400);
  }
  sim::Vessel& vessel() { return host.world().vessel(0); }
  ArvexPlan plan() {
    ArvexPlan p{};
    p.size = sizeof p;
    ArvexGetPlan(host.display(display), &p);
    return p;
  }
  void dialog(int button, double value) {
    host.pressButton(display, button);
    host.typeInput(std::to_string(value));
  }
  void Target(double latDeg, double lngDeg) {
    dialog(kBtnLat, latDeg);
    dialog(kBtnLng, lngDeg);
  }
  // In flight, the display follows the vessel into its correction mode.
  void SwitchToFlightMode() { host.pressButton(display, kBtnSwitch); }

  sim::Host host;
  int body = 0;
  int display = -1;
};

struct Sample {
  sim::Vec3 pos, vel;
};

// Records a coast of n host steps in flight mode. onTarget: first give the
// vessel the velocity that the solver asks for, as a correction burn would.
std::vector<Sample> RecordCoast(Scene& scene, bool onTarget, int n) {
  sim::Vessel& v = scene.vessel();
  v.placeInFlight(0.02, 0.40, 25000, 900, 30, 40);
  scene.SwitchToFlightMode();
  scene.Target(0.0, 28.65);
  for (int i = 0; i < 50; ++i) scene.host.step(kStep);
  if (onTarget) {
    const ArvexPlan p = scene.plan();
    v.setState(v.position(), {p.reqVel[0], p.reqVel[1], p.reqVel[2]});
    for (int i = 0; i < 50; ++i) scene.host.step(kStep);
  }
  std::vector<Sample> coast;
  for (int i = 0; i < n; ++i) {
    scene.host.step(kStep);
    coast.push_back({v.position(), v.velocity()});
  }
  return coast;
}

void WarmInFlight(benchmark::State& state, bool onTarget) {
  Scene scene;
  const std::vector<Sample> coast = RecordCoast(scene, onTarget, 3000);
  sim::Vessel& v = scene.vessel();
  v.setState(coast[0].pos, coast[0].vel);
  opcPostStep(0, kStep, 0);
  std::size_t i = 0;
  const long before = allocations.load();
  for (auto _ : state) {
    i = (i + 1) % coast.size();
    v.setState(coast[i].pos, coast[i].vel);
    opcPostStep(0, kStep, 0);
    benchmark::ClobberMemory();
  }
  state.counters["allocs"] = benchmark::Counter(static_cast<double>(allocations.load() - before),
                                                benchmark::Counter::kAvgIterations);
}

void BM_WarmInFlightPostStep_OnTarget(benchmark::State& state) { WarmInFlight(state, true); }
void BM_WarmInFlightPostStep_OffTarget(benchmark::State& state) { WarmInFlight(state, false); }

// The search from scratch on the scene's state in flight: the vessel's
// position and velocity and the aim point, as the display has them.
void BM_ColdSolveInFlight(benchmark::State& state) {
  Scene scene;
  sim::Vessel& v = scene.vessel();
  v.placeInFlight(0.02, 0.40, 25000, 900, 30, 40);
  scene.SwitchToFlightMode();
  scene.Target(0.0, 28.65);
  scene.host.step(kStep);
  const ArvexPlan p = scene.plan();
  const sim::Body& moon = scene.host.world().body(scene.body);
  const VECTOR3 P = _V(v.position().x(), v.position().y(), v.position().z());
  const VECTOR3 V = _V(v.velocity().x(), v.velocity().y(), v.velocity().z());
  FlightGeometry geo;
  if (!MakeFlightGeometry(P, _V(p.aimPoint[0], p.aimPoint[1], p.aimPoint[2]), moon.mu(), geo)) {
    state.SkipWithError("no flight geometry for the scene's state");
    return;
  }
  const long before = allocations.load();
  for (auto _ : state) {
    FlightSearchState search;
    benchmark::DoNotOptimize(SearchFamily(geo, V, moon.radius(), p.securityAlt, search, nullptr));
  }
  state.counters["allocs"] = benchmark::Counter(static_cast<double>(allocations.load() - before),
                                                benchmark::Counter::kAvgIterations);
}

// A vessel somewhere along a lunar hop of 3 to 30 degrees (apoapsis 20 to
// 150 km), off its ellipse by up to 80 m/s, aiming 5 km above the target.
struct HopState {
  FlightGeometry geo;
  VECTOR3 V;
  double floorHeight;
};

std::vector<HopState> RandomHops(int n) {
  using namespace twobody;
  std::mt19937 rng(20261208u);
  std::uniform_real_distribution<double> u(0, 1);
  auto unit = [&] {
    const double z = 2 * u(rng) - 1, phi = 2 * kPi * u(rng), r = std::sqrt(1 - z * z);
    return _V(r * std::cos(phi), r * std::sin(phi), z);
  };
  std::vector<HopState> hops;
  while (static_cast<int>(hops.size()) < n) {
    const VECTOR3 L = unit();
    const VECTOR3 W = Unit(crossp(crossp(L, unit()), L));
    const double hop = (3 + 27 * u(rng)) * kPi / 180;
    const VECTOR3 target = (L * std::cos(hop) + W * std::sin(hop)) * kMoonRadius;
    const Conic ellipse =
        HopEllipse(kMoonMu, kMoonRadius, 20000 + 130000 * u(rng), L * kMoonRadius, target);
    const double theta = TrueAnomaly(ellipse, L) + (0.05 + 0.85 * u(rng)) * hop;
    HopState h;
    const VECTOR3 P = PositionAt(ellipse, theta);
    h.V = VelocityAt(ellipse, theta) + unit() * (80 * u(rng));
    h.floorHeight = dotp(P, h.V) > 0 ? 40000.0 : 0.0;
    if (MakeFlightGeometry(P, Unit(target) * (kMoonRadius + 5000), kMoonMu, h.geo))
      hops.push_back(h);
  }
  return hops;
}

// The mean over the states; "evals" counts trial velocities per solve,
// "roots" the steps of its root search.
void BM_ColdSolveRandomHops(benchmark::State& state) {
  const std::vector<HopState> hops = RandomHops(64);
  std::size_t i = 0;
  long evaluations = 0, roots = 0;
  for (auto _ : state) {
    const HopState& h = hops[i++ % hops.size()];
    FlightSearchState search;
    FlightSearchTrace trace{};
    benchmark::DoNotOptimize(
        SearchFamily(h.geo, h.V, twobody::kMoonRadius, h.floorHeight, search, &trace));
    evaluations += trace.evaluations;
    roots += trace.rootIterations;
  }
  state.counters["evals"] =
      benchmark::Counter(static_cast<double>(evaluations), benchmark::Counter::kAvgIterations);
  state.counters["roots"] =
      benchmark::Counter(static_cast<double>(roots), benchmark::Counter::kAvgIterations);
}

// --- Per call, on many states of three bodies ------------------------------

struct BodyFigures {
  double radius, mu;
  double period;  // [s] sidereal rotation
};
constexpr BodyFigures kThreeBodies[] = {{twobody::kMoonRadius, twobody::kMoonMu, 655.72 * 3600},
                                        {2439700.0, 2.2032e13, 1407.5 * 3600},
                                        {3389500.0, 4.2828e13, 24.6229 * 3600}};

// A state on a hop of 3 to 30 degrees on the Moon, Mercury or Mars, anywhere
// from just after launch to just before arrival, off its ellipse by up to
// 200 m/s; and the same vessel one second of coasting later.
struct HopPair {
  FlightGeometry geo, later;
  VECTOR3 V, laterV;
  double floorHeight, laterFloor, radius;
  AimLead turn;  // the body's rotation, about the global y axis
};

std::vector<HopPair> ThreeBodyHops(int n) {
  using namespace twobody;
  std::mt19937 rng(20261209u);
  std::uniform_real_distribution<double> u(0, 1);
  auto unit = [&] {
    const double z = 2 * u(rng) - 1, phi = 2 * kPi * u(rng), r = std::sqrt(1 - z * z);
    return _V(r * std::cos(phi), r * std::sin(phi), z);
  };
  const double dvMax[] = {30, 80, 200};
  std::vector<HopPair> hops;
  for (int i = 0; static_cast<int>(hops.size()) < n; ++i) {
    const BodyFigures& body = kThreeBodies[i % 3];
    const VECTOR3 L = unit();
    const VECTOR3 W = Unit(crossp(crossp(L, unit()), L));
    const double hop = (3 + 27 * u(rng)) * kPi / 180;
    const VECTOR3 target = (L * std::cos(hop) + W * std::sin(hop)) * body.radius;
    const Conic ellipse =
        HopEllipse(body.mu, body.radius, 20000 + 130000 * u(rng), L * body.radius, target);
    const double theta = TrueAnomaly(ellipse, L) + (0.03 + 0.94 * u(rng)) * hop;
    HopPair h;
    VECTOR3 P = PositionAt(ellipse, theta);
    h.V = VelocityAt(ellipse, theta) + unit() * (dvMax[i % 3] * u(rng));
    h.floorHeight = dotp(P, h.V) > 0 ? 40000.0 : 0.0;
    h.radius = body.radius;
    h.turn = AimLead{_V(0, 1, 0), -2 * kPi / body.period};
    const VECTOR3 T = Unit(target) * (body.radius + 5000);
    if (!MakeFlightGeometry(P, T, body.mu, h.geo)) continue;
    h.laterV = h.V;
    Propagate(P, h.laterV, body.mu, 1.0);
    h.laterFloor = dotp(P, h.laterV) > 0 ? 40000.0 : 0.0;
    if (MakeFlightGeometry(P, T, body.mu, h.later)) hops.push_back(h);
  }
  return hops;
}

// Times one call on each state: each state's batch of calls is timed on its
// own, and the fastest of its batches over the benchmark's iterations is its
// time per call (the others met the other programs on this machine). Reports
// the median and the worst state [us] and, through count, what a call did.
template <class Call>
void PerStateTimes(benchmark::State& state, std::size_t n, Call call) {
  constexpr int kBatch = 16;
  std::vector<double> best(n, std::numeric_limits<double>::infinity());
  for (auto _ : state) {
    for (std::size_t i = 0; i < n; ++i) {
      const auto start = std::chrono::steady_clock::now();
      for (int r = 0; r < kBatch; ++r) call(i);
      const std::chrono::duration<double, std::micro> took =
          std::chrono::steady_clock::now() - start;
      best[i] = std::min(best[i], took.count() / kBatch);
    }
  }
  std::vector<double> sorted = best;
  std::sort(sorted.begin(), sorted.end());
  state.counters["median_us"] = sorted[sorted.size() / 2];
  state.counters["worst_us"] = sorted.back();
  state.counters["states"] = static_cast<double>(n);
}

// Trial velocities ("evals") and root-search steps ("roots") per call.
void CountPerCall(benchmark::State& state, const std::vector<FlightSearchTrace>& traces) {
  double evaluations = 0, roots = 0;
  for (const FlightSearchTrace& t : traces) {
    evaluations += t.evaluations;
    roots += t.rootIterations;
  }
  state.counters["evals"] = evaluations / traces.size();
  state.counters["roots"] = roots / traces.size();
}

// A cold call: the first after a reset, as the switch to flight mode or a
// replan makes it.
void BM_ColdSolveThreeBodies(benchmark::State& state) {
  const std::vector<HopPair> hops = ThreeBodyHops(510);
  std::vector<FlightSearchTrace> traces(hops.size());
  PerStateTimes(state, hops.size(), [&](std::size_t i) {
    const HopPair& h = hops[i];
    FlightSearchState search;
    benchmark::DoNotOptimize(SearchFamily(h.geo, h.V, h.radius, h.floorHeight, search, &traces[i]));
  });
  CountPerCall(state, traces);
}

// A warm call one second after the last, as a display refreshed once a
// second makes it.
void BM_WarmSolveOneSecondRefresh(benchmark::State& state) {
  const std::vector<HopPair> hops = ThreeBodyHops(510);
  std::vector<FlightSearchState> before(hops.size());
  for (std::size_t i = 0; i < hops.size(); ++i) {
    before[i] = FlightSearchState{};
    SearchFamily(hops[i].geo, hops[i].V, hops[i].radius, hops[i].floorHeight, before[i]);
  }
  std::vector<FlightSearchTrace> traces(hops.size());
  PerStateTimes(state, hops.size(), [&](std::size_t i) {
    const HopPair& h = hops[i];
    FlightSearchState search = before[i];
    benchmark::DoNotOptimize(
        SearchFamily(h.later, h.laterV, h.radius, h.laterFloor, search, &traces[i]));
  });
  CountPerCall(state, traces);
}

void BM_GroundedPostStep(benchmark::State& state) {
  Scene scene;
  scene.Target(0.0, 28.65);
  opcPostStep(0, kStep, 0);                    // engines off: the pitch proposal
  scene.vessel().setLevel(THGROUP_MAIN, 0.1);  // thrusting, on the pad: the burn law runs
  opcPostStep(0, kStep, 0);
  const long before = allocations.load();
  for (auto _ : state) {
    opcPostStep(0, kStep, 0);
    benchmark::ClobberMemory();
  }
  state.counters["allocs"] = benchmark::Counter(static_cast<double>(allocations.load() - before),
                                                benchmark::Counter::kAvgIterations);
}

// The host's own share: the vessel queries that a grounded step makes.
void BM_HostQueriesOfAGroundedStep(benchmark::State& state) {
  Scene scene;
  VESSEL* vessel = oapiGetVesselInterface(oapiGetFocusObject());
  OBJHANDLE ref = vessel->GetSurfaceRef();
  const long before = allocations.load();
  for (auto _ : state) {
    VECTOR3 v, r;
    double sum = vessel->GetThrusterGroupLevel(THGROUP_MAIN) +
                 vessel->GetThrusterGroupLevel(THGROUP_RETRO) +
                 vessel->GetThrusterGroupLevel(THGROUP_HOVER);
    vessel->GetRelativeVel(ref, v);
    vessel->GetRelativePos(ref, r);
    sum += vessel->GroundContact() + vessel->GetPitch() + vessel->GetAOA() + vessel->GetPitch() +
           vessel->GetAOA();
    benchmark::DoNotOptimize(sum + v.x + r.x);
  }
  state.counters["allocs"] = benchmark::Counter(static_cast<double>(allocations.load() - before),
                                                benchmark::Counter::kAvgIterations);
}

// The same two calls with the aim that leads the body's rotation.
void BM_ColdSolveThreeBodies_Lead(benchmark::State& state) {
  const std::vector<HopPair> hops = ThreeBodyHops(510);
  std::vector<FlightSearchTrace> traces(hops.size());
  PerStateTimes(state, hops.size(), [&](std::size_t i) {
    const HopPair& h = hops[i];
    FlightSearchState search;
    benchmark::DoNotOptimize(SearchFamilyLeading(h.geo.P, h.geo.T, h.geo.mu, h.turn, h.V, h.radius,
                                                 h.floorHeight, search, &traces[i]));
  });
  CountPerCall(state, traces);
}

void BM_WarmSolveOneSecondRefresh_Lead(benchmark::State& state) {
  const std::vector<HopPair> hops = ThreeBodyHops(510);
  std::vector<FlightSearchState> before(hops.size());
  for (std::size_t i = 0; i < hops.size(); ++i) {
    const HopPair& h = hops[i];
    before[i] = FlightSearchState{};
    SearchFamilyLeading(h.geo.P, h.geo.T, h.geo.mu, h.turn, h.V, h.radius, h.floorHeight,
                        before[i]);
  }
  std::vector<FlightSearchTrace> traces(hops.size());
  PerStateTimes(state, hops.size(), [&](std::size_t i) {
    const HopPair& h = hops[i];
    // The aim point of now: the target has turned on by a second.
    const VECTOR3 T = LedAimPoint(h.later.T, h.turn, 1.0);
    FlightSearchState search = before[i];
    benchmark::DoNotOptimize(SearchFamilyLeading(h.later.P, T, h.later.mu, h.turn, h.laterV,
                                                 h.radius, h.laterFloor, search, &traces[i]));
  });
  CountPerCall(state, traces);
}

// The host's own share of an in-flight step: the queries that the hook and
// the solver make, in their order.
void BM_HostQueriesOfAFlightStep(benchmark::State& state) {
  Scene scene;
  scene.vessel().placeInFlight(0.02, 0.40, 25000, 900, 30, 40);
  scene.SwitchToFlightMode();
  scene.Target(0.0, 28.65);
  VESSEL* vessel = oapiGetVesselInterface(oapiGetFocusObject());
  OBJHANDLE ref = vessel->GetSurfaceRef();
  const long before = allocations.load();
  for (auto _ : state) {
    VECTOR3 v, r, v2, air;
    MATRIX3 m;
    double sum = vessel->GetThrusterGroupLevel(THGROUP_MAIN) +
                 vessel->GetThrusterGroupLevel(THGROUP_RETRO) +
                 vessel->GetThrusterGroupLevel(THGROUP_HOVER);
    vessel->GetRelativeVel(ref, v);
    oapiGetPlanetObliquityMatrix(ref, &m);
    sum += oapiGetPlanetCurrentRotation(ref);
    vessel->GetRelativePos(ref, r);
    vessel->GetRelativeVel(ref, v2);
    vessel->GetHorizonAirspeedVector(air);
    benchmark::DoNotOptimize(sum + v.x + r.x + v2.x + air.y + m.m11);
  }
  state.counters["allocs"] = benchmark::Counter(static_cast<double>(allocations.load() - before),
                                                benchmark::Counter::kAvgIterations);
}

}  // namespace

BENCHMARK(BM_ColdSolveThreeBodies);
BENCHMARK(BM_WarmSolveOneSecondRefresh);
BENCHMARK(BM_ColdSolveThreeBodies_Lead);
BENCHMARK(BM_WarmSolveOneSecondRefresh_Lead);
BENCHMARK(BM_HostQueriesOfAFlightStep);
BENCHMARK(BM_WarmInFlightPostStep_OnTarget);
BENCHMARK(BM_WarmInFlightPostStep_OffTarget);
BENCHMARK(BM_ColdSolveInFlight);
BENCHMARK(BM_ColdSolveRandomHops);
BENCHMARK(BM_GroundedPostStep);
BENCHMARK(BM_HostQueriesOfAGroundedStep);
BENCHMARK_MAIN();
