// The in-flight correction solver: the velocity that carries the vessel on a
// ballistic conic to the point altAboveTarget above the target, found by a
// finite-difference search over a one-parameter family of conics, continued
// from step to step.
#include "flight_solver.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "vector_ops.h"

namespace arvex {

namespace {

// Iterations of one pass; the first one always runs.
constexpr int kMaxIterations = 25;
// A pass ends once its step falls to this size or below.
constexpr double kStopStep = 50.0;
// Gain of the step and size of the finite-difference interval, both scaled
// by the search direction.
constexpr double kStepGain = 0.2;
constexpr double kPerturbation = 0.0005;
// Height of the default starting crossing point above the body radius [m].
constexpr double kStartHeight = 200000.0;
// Start steps of a cold and of a warm pass, over s.
constexpr double kColdStep = 50000.0;
constexpr double kWarmStep = 1000.0;
// The upper bound's constant: 400000/s with the body radius added to the
// ratio, far above every useful crossing point.
constexpr double kUpperBoundHeight = 400000.0;
// A near-side step that makes g larger is halved back toward the perturbed
// parameter at most this often. 2^-30 of a fixed-gain step is still above
// the rounding noise of g, so an improvement found within it is real.
constexpr int kMaxHalvings = 30;
// Warm passes that a cold solve may add to settle its answer, and how many
// in a row must end on their stopping rule: a warm pass's first difference
// interval is so small that its slope can be rounding noise, small enough to
// stop a pass far from the best member; the next pass starts a hair away
// and measures afresh. On random lunar hops at most 10 passes were needed.
constexpr int kMaxSettlingPasses = 16;
constexpr int kSettledPasses = 2;

struct Bounds {
  double bMin;  // near side lowest crossing parameter
  double bMax;  // magnitude of the highest crossing parameter
  double fMax;  // far side: highest (least negative) crossing parameter
};

// How one pass runs.
struct PassSetup {
  double b;              // starting crossing parameter
  double sigma;          // starting step
  int dir;               // +1 near side, -1 far side
  bool clampPerturbFar;  // the far-side pass keeps b' at or below fMax
  bool guardStep;        // never step to a b whose g exceeds the better candidate's
};

struct PassResult {
  bool found;      // a finite candidate was found
  VECTOR3 best;    // [m/s] the better candidate of the last iteration
  double bEnd;     // crossing parameter the pass ends on
  int iterations;  // iterations run
  // Ended on its stopping rule (a step of at most kStopStep) or held on a
  // bound, rather than on the iteration cap, a rest after two steps in a
  // row that found nothing better, or a slope that is not a number: those
  // come from rounding noise of a difference interval far below the
  // parameter's size, as a warm pass's first one is.
  bool settled;
};

// A far-side answer is taken only if its conic reaches the aim point to
// within this fraction of the aim point's radius.
constexpr double kAimTolerance = 1e-6;

double Distance(const VECTOR3& a, const VECTOR3& b) { return length(a - b); }

// Whether the conic of the vessel's position and velocity v passes through
// the aim point: T in its plane, and |T| + e.T = p (the conic equation with
// the eccentricity vector e and semi-latus rectum p).
bool ReachesAimPoint(const FlightGeometry& geo, const VECTOR3& v) {
  const VECTOR3 h = crossp(geo.P, v);
  const double hLength = length(h);
  if (!(hLength > 0) || !(geo.mu > 0)) return false;
  const VECTOR3 eccentricity = crossp(v, h) / geo.mu - geo.P / geo.rP;
  const double semiLatus = hLength * hLength / geo.mu;
  const double tolerance = kAimTolerance * geo.rT;
  return std::fabs(dotp(h, geo.T)) / hLength <= tolerance &&
         std::fabs(geo.rT + dotp(eccentricity, geo.T) - semiLatus) <= tolerance;
}

// One pass of the search and the state it carries from one iteration to the
// next: Run() takes the steps named there, from the candidate at b to the
// stop on a small enough step.
class Pass {
 public:
  Pass(const FlightGeometry& geometry, const VECTOR3& velocity, const Bounds& passBounds,
       const PassSetup& passSetup, int& evaluationCount);
  PassResult Run();

 private:
  // What the step guard made of the step just computed.
  enum class Guard {
    kTaken,         // a b no worse than the better candidate: go on from there
    kMeasureAgain,  // none: measure again on the better candidate
    kEnd,           // the pass ends here, its result set
  };

  bool CandidateAtB(VECTOR3& vA);
  double PerturbedParam(double b0) const;
  double LimitedMove() const;
  double HeldInBounds(double bNew) const;
  Guard GuardStep(double b0, double bp, double move, double gBetter, double bBetter);
  bool HalveTowardPerturbed(double bp, double gBetter, VECTOR3& vN, int& halvings);
  Guard Missed(double bBetter);

  const FlightGeometry& geo;
  const VECTOR3& V;
  const Bounds& bounds;
  const PassSetup& setup;
  int& evaluations;
  const double s;
  const int dir;

  PassResult result;
  double b;
  double sigma;
  // Velocity at b, when the previous iteration's guard already has it.
  bool haveNext = false;
  VECTOR3 vNext = _V(0, 0, 0);
  // Crossing parameter of the better candidate so far.
  double bBetterLast;
  // After a step had to be halved: the next step goes at most twice as far
  // as the one taken [b], and the next difference interval is scaled on the
  // step taken rather than on the fixed-gain step (which across a sharp
  // minimum would straddle it). Without halvings both are the plain ones.
  double stepLimit = std::numeric_limits<double>::infinity();
  double sigmaTaken;
  bool missedBefore = false;  // the last iteration found no better b
};

Pass::Pass(const FlightGeometry& geometry, const VECTOR3& velocity, const Bounds& passBounds,
           const PassSetup& passSetup, int& evaluationCount)
    : geo(geometry),
      V(velocity),
      bounds(passBounds),
      setup(passSetup),
      evaluations(evaluationCount),
      s(geometry.s),
      dir(passSetup.dir),
      result{false, _V(0, 0, 0), passSetup.b, 0, false},
      b(passSetup.b),
      sigma(passSetup.sigma),
      bBetterLast(passSetup.b),
      sigmaTaken(passSetup.sigma) {}

PassResult Pass::Run() {
  for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
    // 1 - The candidate at b. A b without a finite velocity ends the pass on
    // the previous iteration's better candidate.
    VECTOR3 vA;
    if (!CandidateAtB(vA)) {
      result.bEnd = bBetterLast;
      break;
    }
    const double b0 = b;
    ++result.iterations;

    // 2 - The perturbed parameter.
    const double bp = PerturbedParam(b0);

    // 3 - The second candidate and both distances to the current velocity.
    VECTOR3 vB;
    ++evaluations;
    if (!Eval(bp, geo, vB)) {
      result = {true, vA, b0, result.iterations, false};
      break;
    }
    const double gA = Distance(vA, V);
    const double gB = Distance(vB, V);
    const bool takeB = gB <= gA;
    const double gBetter = takeB ? gB : gA;
    const double bBetter = takeB ? bp : b0;
    result.found = true;
    result.best = takeB ? vB : vA;
    bBetterLast = bBetter;

    // 4 - The step: the slope of g times the gain. Its sign carries dir, so
    // on the far side it climbs.
    const double step = (gB - gA) * (dir * kStepGain) / (b0 - bp);
    if (!std::isfinite(step)) {
      result.bEnd = bBetter;
      break;
    }
    sigma = step;
    sigmaTaken = step;

    // 5 - The update, held inside the bounds.
    const double move = LimitedMove();
    b = HeldInBounds(bp + move);
    // On the near side, no step to a b worse than the better candidate.
    if (setup.guardStep) {
      const Guard guard = GuardStep(b0, bp, move, gBetter, bBetter);
      if (guard == Guard::kEnd) break;
      if (guard == Guard::kMeasureAgain) continue;
    }
    result.bEnd = b;

    // 6 - Stop once the step has shrunk to kStopStep.
    if (!(std::fabs(sigma) > kStopStep)) {
      result.settled = true;
      break;
    }
  }
  return result;
}

// The velocity at b, reused from the step guard when it has it already;
// false when b has no finite velocity.
bool Pass::CandidateAtB(VECTOR3& vA) {
  if (haveNext) {
    vA = vNext;
    return true;
  }
  ++evaluations;
  return Eval(b, geo, vA);
}

// The parameter of the second candidate, a small interval from b0 toward the
// inside of the bounds. Where the bound leaves it on b0 itself the difference
// quotient would be 0/0: perturb to the other side instead.
double Pass::PerturbedParam(double b0) const {
  double bp = b0 - std::fabs(sigmaTaken) * (dir * kPerturbation) / s;
  if (dir == 1 && !(bp > bounds.bMin)) bp = bounds.bMin;
  if (setup.clampPerturbFar && !(bounds.fMax > bp)) bp = bounds.fMax;
  if (bp == b0) bp = b0 + std::fabs(sigmaTaken) * (dir * kPerturbation) / s;
  return bp;
}

// The step in b, cut to stepLimit after a halving so that the search does not
// leap back across the sharp minimum it just found.
double Pass::LimitedMove() const {
  double move = sigma / s;
  if (std::fabs(move) > stepLimit) move = std::copysign(stepLimit, move);
  return move;
}

// b pulled back inside its side's bounds, so that no candidate is sought
// where the family has no member on that side.
double Pass::HeldInBounds(double bNew) const {
  if (dir == 1) {
    if (!(bNew > bounds.bMin)) bNew = bounds.bMin;
    if (!(bounds.bMax > bNew)) bNew = bounds.bMax;
  } else {
    if (!(bNew < bounds.fMax)) bNew = bounds.fMax;
    if (!(-bounds.bMax < bNew)) bNew = -bounds.bMax;
  }
  return bNew;
}

// Where g has a sharp minimum the fixed-gain step overshoots and the answer
// bounces from step to step: take no b worse than the better candidate,
// halving the step back toward b' until it is not.
Pass::Guard Pass::GuardStep(double b0, double bp, double move, double gBetter, double bBetter) {
  VECTOR3 vN;
  int halvings = 0;
  if (!HalveTowardPerturbed(bp, gBetter, vN, halvings)) return Missed(bBetter);
  missedBefore = false;
  vNext = vN;
  haveNext = true;
  if (b == b0) {
    // Held on a bound: every further iteration would measure the same
    // slope at the same point. (A step that its limit and the halvings
    // shrank below the parameter's rounding ends here too, unsettled.)
    result.bEnd = b;
    result.settled = b == bounds.bMin || b == bounds.bMax;
    return Guard::kEnd;
  }
  if (halvings > 0 || std::fabs(move) < std::fabs(sigma / s)) {
    stepLimit = 2 * std::fabs(b - bp);
    sigmaTaken = (b - bp) * s;
  } else {
    stepLimit = std::numeric_limits<double>::infinity();
  }
  return Guard::kTaken;
}

// Halves b back toward bp until its velocity vN is no farther from V than
// gBetter; false when no such b was found within the halvings allowed.
bool Pass::HalveTowardPerturbed(double bp, double gBetter, VECTOR3& vN, int& halvings) {
  ++evaluations;
  bool ok = Eval(b, geo, vN);
  // On the pass's last iteration a worse b is simply not taken.
  const int maxHalvings = std::fabs(sigma) > kStopStep ? kMaxHalvings : 0;
  for (; halvings < maxHalvings && !(ok && Distance(vN, V) <= gBetter); ++halvings) {
    b = bp + (b - bp) * 0.5;
    ++evaluations;
    ok = Eval(b, geo, vN);
  }
  return ok && Distance(vN, V) <= gBetter;
}

// No better b along the step: its slope was wrong, either rounding noise of a
// tiny difference interval or an interval across the minimum. Stay on the
// better candidate and measure again over the plain interval; a second miss
// in a row means the search rests.
Pass::Guard Pass::Missed(double bBetter) {
  b = bBetter;
  vNext = result.best;
  haveNext = true;
  result.bEnd = b;
  stepLimit = std::numeric_limits<double>::infinity();
  if (missedBefore) return Guard::kEnd;
  missedBefore = true;
  if (!(std::fabs(sigma) > kStopStep)) {
    result.settled = true;
    return Guard::kEnd;
  }
  return Guard::kMeasureAgain;
}

// One pass from its setup, counting its calls of Eval into evaluations.
PassResult RunPass(const FlightGeometry& geo, const VECTOR3& V, const Bounds& bounds,
                   const PassSetup& setup, int& evaluations) {
  return Pass(geo, V, bounds, setup, evaluations).Run();
}

// The first pass of a warm solve: from the parameter kept, with the small
// start step.
PassSetup WarmPass(const FlightSearchState& state, double s) {
  PassSetup setup;
  setup.dir = state.dir;
  setup.b = state.param;
  setup.sigma = kWarmStep / s;
  setup.clampPerturbFar = false;
  setup.guardStep = state.dir == 1;
  return setup;
}

// The bounds of the crossing parameter. Below b = 1/2 the near-side conic
// would run the other way, so the near side keeps a hair above it even where
// the floor is lower.
Bounds SearchBounds(double R, double floorHeight, double s) {
  Bounds bounds;
  bounds.bMin = std::max((R + floorHeight) / s, kNearSideMinParam);
  bounds.bMax = kUpperBoundHeight / s + R;
  bounds.fMax = (-floorHeight - R) / s;
  return bounds;
}

// The first pass of a solve: warm from the last answer, or, before the first
// answer, cold from the default crossing point with the large start step.
PassSetup FirstPass(const FlightSearchState& state, double R, double s) {
  PassSetup first = WarmPass(state, s);
  if (!state.started) {
    first.b = (R + kStartHeight) * state.dir / s;
    first.sigma = kColdStep / s;
  }
  return first;
}

// The far-side pass of a cold solve, from the default crossing point behind
// the body, in case the best member lies there.
PassSetup FarSidePass(double R, double s) {
  PassSetup farSetup;
  farSetup.dir = -1;
  farSetup.b = -(R + kStartHeight) / s;
  farSetup.sigma = kColdStep / s;
  farSetup.clampPerturbFar = true;
  farSetup.guardStep = false;
  return farSetup;
}

// What the settling passes of a cold solve did.
struct Settling {
  int passes;      // warm passes run
  int iterations;  // their iterations
  bool settled;    // ended settled rather than on the cap of passes
};

// A cold solve's fixed-gain steps seldom settle within one pass of 25
// iterations: its answer could be many times the best member's. So it runs
// warm passes on next until kSettledPasses in a row end on their stopping
// rule before their cap (see PassResult::settled; firstSettled: the pass
// whose answer next holds did), or one ends where it began. At most
// kMaxSettlingPasses of them: a call never runs more than
// (2 + kMaxSettlingPasses) x kMaxIterations iterations.
Settling Settle(const FlightGeometry& geo, const VECTOR3& V, const Bounds& bounds,
                bool firstSettled, FlightSearchState& next, int& evaluations) {
  Settling settling{0, 0, true};
  int settledInARow = firstSettled ? 1 : 0;
  bool repeats = false;
  while (settledInARow < kSettledPasses && !repeats && settling.passes < kMaxSettlingPasses) {
    const PassResult warm = RunPass(geo, V, bounds, WarmPass(next, geo.s), evaluations);
    ++settling.passes;
    settling.iterations += warm.iterations;
    if (!warm.found) break;
    // A pass that ends where it began would only be run again as it was.
    repeats = warm.bEnd == next.param;
    next.reqVel = warm.best;
    next.param = warm.bEnd;
    settledInARow = warm.settled ? settledInARow + 1 : 0;
  }
  settling.settled = settledInARow >= kSettledPasses || repeats;
  return settling;
}

}  // namespace

bool MakeFlightGeometry(const VECTOR3& P, const VECTOR3& T, double mu, FlightGeometry& geo) {
  if (!isFinite(P) || !isFinite(T) || !std::isfinite(mu)) return false;
  const VECTOR3 normal = crossp(P, T);
  const double normalLength = length(normal);
  const double s = length(P + T);
  // Over the aim point or its antipode the plane of the hop is undefined.
  if (!(normalLength > 0) || !std::isfinite(normalLength) || !(s > 0) || !std::isfinite(s))
    return false;
  geo.P = P;
  geo.T = T;
  geo.n = normal / normalLength;
  geo.nxP = crossp(geo.n, P);
  geo.rP = length(P);
  geo.rT = length(T);
  geo.s = s;
  geo.mu = mu;
  return true;
}

bool Eval(double b, const FlightGeometry& geo, VECTOR3& v) {
  const VECTOR3& P = geo.P;
  const VECTOR3& T = geo.T;
  // 1 - The crossing point.
  const VECTOR3 M = (P + T) * b;
  const double m = length(M);
  // 2 - Gibbs' vectors and the eccentricity.
  const VECTOR3 S = P * (m - geo.rT) + M * (geo.rT - geo.rP) + T * (geo.rP - m);
  const VECTOR3 D = crossp(M - P, T - P);
  const double sLength = length(S);
  const double e = sLength / length(D);
  // 3 - True anomaly nu of P from Q, the direction of periapsis; P.S < 0
  // puts it in the second half turn (2 pi - acos). Only cos nu and sin nu
  // are used, so they are taken straight from the cosine: cos(acos c) = c
  // and sin = +-sqrt(1 - c^2), which spares three transcendental calls per
  // evaluation. A circle (S = 0) has no periapsis; its velocity does not
  // depend on the anomaly.
  const VECTOR3 Q = crossp(S, geo.n);
  const double qLength = length(Q);
  double cosNu = 1, sinNu = 0;
  if (qLength > 0) {
    // Rounding can push the cosine a hair outside [-1, 1].
    cosNu = std::clamp(dotp(Q, P) / (qLength * geo.rP), -1.0, 1.0);
    sinNu = std::sqrt(1 - cosNu * cosNu);
    if (dotp(P, S) < 0) sinNu = -sinNu;
  } else if (sLength != 0) {
    return false;
  }
  // 4 - k = p / rP; a conic through P has a positive semi-latus rectum.
  const double k = 1 + e * cosNu;
  const double semiLatus = geo.rP * k;
  if (!(semiLatus > 0)) return false;
  // 5 - Radial and transverse parts of the velocity on the conic.
  const VECTOR3 velocity =
      (P * (e * sinNu / geo.rP) + geo.nxP * (k / geo.rP)) * std::sqrt(geo.mu / semiLatus);
  if (!isFinite(velocity)) return false;
  v = velocity;
  return true;
}

bool Eval(double b, const VECTOR3& P, const VECTOR3& T, double mu, VECTOR3& v) {
  FlightGeometry geo;
  if (!MakeFlightGeometry(P, T, mu, geo)) return false;
  return Eval(b, geo, v);
}

bool SearchFamily(const FlightGeometry& geo, const VECTOR3& V, double bodyRadius,
                  double floorHeight, FlightSearchState& state, FlightSearchTrace* trace) {
  const double R = bodyRadius;
  const double s = geo.s;
  int evaluations = 0;
  const Bounds bounds = SearchBounds(R, floorHeight, s);

  // First pass: warm from the last answer, or cold from the default start.
  const PassResult near = RunPass(geo, V, bounds, FirstPass(state, R, s), evaluations);

  FlightSearchState next = state;
  if (near.found) {
    next.reqVel = near.best;
    next.param = near.bEnd;
  }

  // Far-side pass, only on a cold solve. Its answer replaces the first
  // pass's only when strictly better, and only if it leads to the aim point
  // at all: with the crossing point behind the body the formulas give a
  // velocity whose conic in general misses the aim point by tens of
  // kilometres, and it would win merely because the first pass has not yet
  // converged; the warm calls that followed would then stay on the far side.
  PassResult far{false, _V(0, 0, 0), 0, 0, false};
  bool farWon = false;
  if (!state.started) {
    far = RunPass(geo, V, bounds, FarSidePass(R, s), evaluations);
    if (far.found && (!near.found || Distance(next.reqVel, V) > Distance(far.best, V)) &&
        ReachesAimPoint(geo, far.best)) {
      next.dir = -1;
      next.reqVel = far.best;
      farWon = true;
    }
  }

  // A cold solve's answer is shown at once (the switch to flight mode, a
  // replan), so it goes on with the passes that the next steps' warm solves
  // would run until its answer settles.
  Settling settling{0, 0, true};
  if (!state.started && (near.found || farWon)) {
    const bool firstSettled = farWon ? far.settled : near.settled;
    settling = Settle(geo, V, bounds, firstSettled, next, evaluations);
  }

  if (trace != nullptr) {
    trace->nearIterations = near.iterations;
    trace->farIterations = far.iterations;
    trace->farSideRan = !state.started;
    trace->farSideWon = farWon;
    const double none = std::numeric_limits<double>::infinity();
    trace->nearDistance = near.found ? Distance(near.best, V) : none;
    trace->farDistance = far.found ? Distance(far.best, V) : none;
    trace->evaluations = evaluations;
    trace->settlingPasses = settling.passes;
    trace->settlingIterations = settling.iterations;
    trace->settled = settling.settled;
  }
  if (!near.found && !far.found) return false;
  next.started = true;
  state = next;
  return true;
}

}  // namespace arvex
