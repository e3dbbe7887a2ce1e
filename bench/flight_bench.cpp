// The whole default hop of the lobarc program ("lobarc fly"): the pilot model
// flies it with the display alone, from the pad to the point above the
// target. The counter is simulated seconds per second of wall time (real
// time, as a pilot would feel it).
#include <benchmark/benchmark.h>

#include "app/flight.h"
#include "app/scenario.h"

namespace {

void BM_FlyDefaultHop(benchmark::State& state) {
  const lobarc::Scenario scenario = lobarc::loadScenario(lobarc::defaultScenarioName());
  lobarc::FlightOptions options;
  options.module = LOBARC_MODULE_PATH;
  double simulated = 0;  // [s]
  for (auto _ : state) {
    const lobarc::FlightResult result = lobarc::fly(scenario, options);
    if (!result.success) state.SkipWithError(("the hop did not arrive: " + result.outcome).c_str());
    simulated += result.time_s;
  }
  state.counters["sim_s_per_wall_s"] = benchmark::Counter(simulated, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_FlyDefaultHop)->Unit(benchmark::kMillisecond)->UseRealTime();
