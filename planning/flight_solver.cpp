// The in-flight correction solver: the velocity that carries the vessel on a
// ballistic conic to the point altAboveTarget above the target, the member of
// a one-parameter family of conics closest to the vessel's velocity, found in
// closed form at every step.
#include "planning/flight_solver.h"

#include <algorithm>
#include <cmath>
#include <limits>


namespace arvex {

namespace {

// The upper bound's constant: 400000/s with the body radius added to the
// ratio, far above every useful crossing point.
constexpr double kUpperBoundHeight = 400000.0;
// Steps of one root search: Newton's, or halving the bracket where Newton
// would leave it. Newton settles to the last bit in well under a dozen.
constexpr int kMaxRootSteps = 80;
// Relative size of the Newton step at which a root is taken as found: a few
// hundred times the rounding of x, where the step is rounding noise. At a
// minimum of g an error in x changes g only to second order.
constexpr double kRootTolerance = 1e-13;
// The turns of q only split it into monotone pieces; q is so flat at them
// that a looser root does not move a minimum.
constexpr double kTurnTolerance = 1e-9;
// Solves that settle the led aim point, and the motion of that point [m]
// between two solves below which it is settled: a few centimetres, far
// below what the pilot's burns resolve, and one solve per call as a rule.
constexpr int kMaxAimSolves = 8;
constexpr double kAimSettled = 0.05;

constexpr double kTwoPi = 6.283185307179586;

// |P| |T| (1 - cos theta), theta the angle from P to T, without the
// cancellation of |P| |T| - P.T for short hops: there it is
// |P x T|^2 / (|P| |T| + P.T).
double OneMinusCosTimesRadii(const FlightGeometry& geo) {
  const double radii = geo.rP * geo.rT;
  const double dot = dotp(geo.P, geo.T);
  if (dot > 0) {
    const VECTOR3 normal = crossp(geo.P, geo.T);
    return dotp(normal, normal) / (radii + dot);
  }
  return radii - dot;
}

// The family's velocities at P as v(x) = x a + c / x, x = sqrt(p) > 0.
struct Hodograph {
  VECTOR3 a;      // along the chord P -> T [m/s per sqrt(m)]
  VECTOR3 c;      // along P [m/s times sqrt(m)]
  double sqrtMu;  // [m^1.5/s]
};

// The chord term is sqrt(mu) (T - P) / |P x T| and the radial term
// sqrt(mu) tan(theta/2) P / |P|, theta the angle from P to T: from the f and
// g functions, T = f P + g v with f = 1 - |T| (1 - cos theta) / p and
// g = |P| |T| sin theta / sqrt(mu p).
bool MakeHodograph(const FlightGeometry& geo, Hodograph& h) {
  if (!(geo.mu > 0) || !std::isfinite(geo.mu)) return false;
  const double w = dotp(crossp(geo.P, geo.T), geo.n);  // |P| |T| sin theta > 0
  const double k = OneMinusCosTimesRadii(geo);         // |P| |T| (1 - cos theta)
  h.sqrtMu = std::sqrt(geo.mu);
  h.a = (geo.T - geo.P) * (h.sqrtMu / w);
  h.c = geo.P * (h.sqrtMu * k / (w * geo.rP));
  return std::isfinite(w) && w > 0 && isFinite(h.a) && isFinite(h.c);
}

VECTOR3 MemberAt(const Hodograph& h, double x) { return h.a * x + h.c / x; }

// The crossing parameter of the member's conic: where it crosses the ray
// through P + T, over s. Infinite where it never does.
double ParamOf(const FlightGeometry& geo, const VECTOR3& v) {
  const VECTOR3 hVec = crossp(geo.P, v);
  const double p = dotp(hVec, hVec) / geo.mu;
  const VECTOR3 eccentricity = crossp(v, hVec) / geo.mu - geo.P / geo.rP;
  const double denominator = 1 + dotp(eccentricity, geo.P + geo.T) / geo.s;
  if (!(denominator > 0)) return std::numeric_limits<double>::infinity();
  return p / denominator / geo.s;
}

// g^2 = |v(x) - V|^2 has the slope 2 q(x) / x^3, with the quartic
// q(x) = A x^4 - B x^3 + C x - D: A = a.a, B = a.V, C = c.V, D = c.c.
struct Quartic {
  double A, B, C, D;
  double q(double x) const { return ((A * x - B) * x * x + C) * x - D; }
  double dq(double x) const { return (4 * A * x - 3 * B) * x * x + C; }
  double ddq(double x) const { return (12 * A * x - 6 * B) * x; }
};

// The root of f between lo and hi, f monotone there with a change of sign;
// Newton's step while it stays inside the bracket, halving otherwise, from
// the guess when it lies inside, until the step is below tolerance times x.
template <class F, class DF>
double RootBetween(F f, DF df, double lo, double hi, double guess, double tolerance, int& steps) {
  const bool rising = f(lo) < 0;
  double x = guess > lo && guess < hi ? guess : 0.5 * (lo + hi);
  for (int i = 0; i < kMaxRootSteps; ++i) {
    ++steps;
    const double fx = f(x);
    if (fx == 0) return x;
    if ((fx < 0) == rising) {
      lo = x;
    } else {
      hi = x;
    }
    double next = x - fx / df(x);
    // Newton's step has shrunk to the rounding of x's last few bits: done.
    if (std::fabs(next - x) <= tolerance * std::fabs(x)) return next;
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    if (!(lo < hi)) return next;
    x = next;
  }
  return x;
}

// The local minima of g over x > 0, in increasing x; returns their count (at
// most two). q is negative at 0 and positive far out; it changes monotony
// where its derivative, a cubic, vanishes, and the cubic's own turn is at
// B / (2A).
int MinimaOfG(const Quartic& Q, double guess, double xs[2], int& steps) {
  // All positive roots of q and of its derivative lie below this bound
  // (Fujiwara's, on the monic polynomials).
  const double bound = 2 * std::max({std::fabs(Q.B) / Q.A, std::cbrt(std::fabs(Q.C) / Q.A),
                                     std::sqrt(std::sqrt(Q.D / (2 * Q.A)))});
  // The ends of q's monotone pieces: 0, the roots of q' and the bound.
  double ends[4] = {0, 0, 0, 0};
  int count = 1;
  const double turn = Q.B > 0 ? Q.B / (2 * Q.A) : 0;
  const auto dq = [&](double x) { return Q.dq(x); };
  const auto ddq = [&](double x) { return Q.ddq(x); };
  if (Q.dq(turn) < 0) {
    if (Q.C > 0 && turn > 0)
      ends[count++] = RootBetween(dq, ddq, 0.0, turn, 0.5 * turn, kTurnTolerance, steps);
    ends[count++] =
        RootBetween(dq, ddq, turn, std::max(bound, turn), 2 * turn, kTurnTolerance, steps);
  }
  const double last = std::max(bound, ends[count - 1]);
  ends[count++] = last;
  int minima = 0;
  const auto q = [&](double x) { return Q.q(x); };
  for (int i = 0; i + 1 < count && minima < 2; ++i) {
    // A minimum of g where q rises through zero.
    if (Q.q(ends[i]) < 0 && Q.q(ends[i + 1]) > 0)
      xs[minima++] = RootBetween(q, dq, ends[i], ends[i + 1], guess, kRootTolerance, steps);
  }
  return minima;
}

// A candidate answer.
struct Candidate {
  VECTOR3 v;
  double b;
  double g;
};

// The member at crossing parameter b, as a candidate; false if it has none.
bool BoundMember(const FlightGeometry& geo, const VECTOR3& V, double b, Candidate& out,
                 int& evaluations) {
  ++evaluations;
  VECTOR3 v;
  if (!Eval(b, geo, v)) return false;
  out = {v, b, length(v - V)};
  return std::isfinite(out.g);
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

bool TimeOfFlight(const FlightGeometry& geo, const VECTOR3& v, double& seconds) {
  // Universal variables: with alpha = 1/a, z = alpha chi^2 and the Stumpff
  // function S, t = g + chi^3 S(z) / sqrt(mu), and chi follows from the f
  // and fdot functions of the transfer: chi^2 C(z) = k / p and
  // chi (1 - z S(z)) = L below, that is (1 - cos psi) / alpha = k / p and
  // sin psi / sqrt(alpha) = L with psi = sqrt(alpha) chi (the change of
  // eccentric anomaly on an ellipse). No case splits at the parabola.
  if (!(geo.mu > 0)) return false;
  const double sqrtMu = std::sqrt(geo.mu);
  const double h = dotp(v, geo.nxP);  // |P x v|, v in the plane of the hop
  const double w = dotp(crossp(geo.P, geo.T), geo.n);
  const double k = OneMinusCosTimesRadii(geo);
  const double p = h * h / geo.mu;
  const double x = h / sqrtMu;
  const double alpha = 2 / geo.rP - dotp(v, v) / geo.mu;
  const double K = k / p;
  const double L = k / (w * x) * (geo.rP + geo.rT - K);
  double chi;
  if (alpha > 0) {
    const double root = std::sqrt(alpha);
    double psi = std::atan2(L * root, 1 - alpha * K);
    if (psi < 0) psi += kTwoPi;
    chi = psi / root;
  } else if (alpha < 0) {
    const double root = std::sqrt(-alpha);
    chi = std::asinh(L * root) / root;
  } else {
    chi = L;
  }
  const double z = alpha * chi * chi;
  double stumpffS;
  if (std::fabs(z) < 0.1) {
    stumpffS = 1.0 / 6 - z * (1.0 / 120 - z * (1.0 / 5040 - z * (1.0 / 362880 - z / 39916800)));
  } else if (z > 0) {
    const double r = std::sqrt(z);
    stumpffS = (r - std::sin(r)) / (z * r);
  } else {
    const double r = std::sqrt(-z);
    stumpffS = (std::sinh(r) - r) / (-z * r);
  }
  const double g = w / h;  // |P| |T| sin theta / sqrt(mu p)
  seconds = g + chi * chi * chi * stumpffS / sqrtMu;
  return std::isfinite(seconds) && seconds > 0;
}

bool SearchFamily(const FlightGeometry& geo, const VECTOR3& V, double bodyRadius,
                  double floorHeight, FlightSearchState& state, FlightSearchTrace* trace) {
  FlightSearchTrace local{0, 0, 0, false, 1, 0};
  FlightSearchTrace& t = trace != nullptr ? *trace : local;
  t = local;
  Hodograph hodo;
  if (!isFinite(V) || !MakeHodograph(geo, hodo)) return false;
  const double bMin = std::max((bodyRadius + floorHeight) / geo.s, kNearSideMinParam);
  const double bMax = kUpperBoundHeight / geo.s + bodyRadius;
  const auto admissible = [&](double b) { return b >= bMin && b <= bMax; };

  // The local minima of g over the whole family, then those inside the
  // bounds. When the deepest is inside, it is the answer; otherwise the
  // answer is the better of the other one inside and the bounds' members
  // (g is continuous along the family, so its least value between the
  // bounds is at one of them or at a local minimum).
  const Quartic Q{dotp(hodo.a, hodo.a), dotp(hodo.a, V), dotp(hodo.c, V), dotp(hodo.c, hodo.c)};
  double xs[2];
  // The current velocity's own x is where the search starts: the best member
  // is, as a rule, close to it.
  const double guess = dotp(V, geo.nxP) / hodo.sqrtMu;
  const int minima = MinimaOfG(Q, guess, xs, t.rootIterations);
  Candidate inside[2];
  int insideCount = 0;
  bool deepestInside = false;
  double deepest = std::numeric_limits<double>::infinity();
  for (int i = 0; i < minima; ++i) {
    const VECTOR3 v = MemberAt(hodo, xs[i]);
    const double g = length(v - V);
    const double b = ParamOf(geo, v);
    if (!isFinite(v) || !std::isfinite(g)) continue;
    const bool in = admissible(b);
    if (in) inside[insideCount++] = {v, b, g};
    if (g < deepest) {
      deepest = g;
      deepestInside = in;
    }
  }
  t.minima = insideCount;

  Candidate best{_V(0, 0, 0), 0, std::numeric_limits<double>::infinity()};
  for (int i = 0; i < insideCount; ++i)
    if (inside[i].g < best.g) best = inside[i];
  if (!deepestInside || insideCount == 0) {
    for (double b : {bMin, bMax}) {
      Candidate end;
      if (BoundMember(geo, V, b, end, t.evaluations) && end.g < best.g) {
        best = end;
        t.onBound = true;
      }
    }
  }
  if (!std::isfinite(best.g)) return false;

  double seconds = 0;
  state.timeOfFlight = TimeOfFlight(geo, best.v, seconds) ? seconds : 0;
  state.solverStarted = true;
  state.searchDir = +1;
  state.solverParam = best.b;
  state.reqVel = best.v;
  state.aim = geo.T;
  t.distance = best.g;
  return true;
}

namespace {

// The time [s] the target at T takes to turn to the point aim, at most one
// turn; 0 where it does not turn or aim is not finite.
double TimeToReach(const VECTOR3& T, const VECTOR3& aim, const AimLead& lead) {
  if (!(lead.rate != 0) || !isFinite(aim)) return 0.0;
  const VECTOR3& k = lead.axis;
  const VECTOR3 from = T - k * dotp(k, T), to = aim - k * dotp(k, aim);
  double angle = std::atan2(dotp(k, crossp(from, to)), dotp(from, to)) / lead.rate;
  if (angle < 0) angle += kTwoPi / std::fabs(lead.rate);
  return std::isfinite(angle) ? angle : 0.0;
}

}  // namespace

VECTOR3 LedAimPoint(const VECTOR3& T, const AimLead& lead, double t) {
  // Rodrigues' rotation of T about the axis.
  const double angle = lead.rate * t;
  const double c = std::cos(angle), s = std::sin(angle);
  const VECTOR3& k = lead.axis;
  return T * c + crossp(k, T) * s + k * (dotp(k, T) * (1 - c));
}

bool SearchFamilyLeading(const VECTOR3& P, const VECTOR3& T, double mu, const AimLead& lead,
                         const VECTOR3& V, double bodyRadius, double floorHeight,
                         FlightSearchState& state, FlightSearchTrace* trace) {
  // The aim point's speed [m/s]: a change of the arrival time by dt moves it
  // about speed * dt.
  const double speed = std::fabs(lead.rate) * length(crossp(lead.axis, T));
  // The time of flight t* is a fixed point: the member aimed at where the
  // target is after t* arrives after t*. Secant steps on r(t) = tof(t) - t,
  // from the last answer's aim point when there is one: the target reaches
  // it as late as the last answer arrives, which a coast does not change.
  double t0 = state.solverStarted ? TimeToReach(T, state.aim, lead) : 0.0;
  double tPrev = 0, rPrev = 0;
  bool havePrev = false;
  FlightSearchState best = state;
  bool found = false;
  FlightSearchTrace total{0, 0, 0, false, 0, 0};
  for (int solve = 0; solve < kMaxAimSolves; ++solve) {
    FlightGeometry geo;
    if (!MakeFlightGeometry(P, LedAimPoint(T, lead, t0), mu, geo)) break;
    FlightSearchState trial = state;
    FlightSearchTrace one{};
    if (!SearchFamily(geo, V, bodyRadius, floorHeight, trial, &one)) break;
    ++total.aimIterations;
    total.evaluations += one.evaluations;
    total.rootIterations += one.rootIterations;
    total.minima = one.minima;
    total.onBound = one.onBound;
    total.distance = one.distance;
    best = trial;
    found = true;
    const double r = trial.timeOfFlight - t0;
    if (!(std::fabs(r) * speed > kAimSettled)) break;
    double next = trial.timeOfFlight;  // the plain fixed-point step
    if (havePrev && r != rPrev) {
      const double secant = t0 - r * (t0 - tPrev) / (r - rPrev);
      if (std::isfinite(secant) && secant > 0) next = secant;
    }
    tPrev = t0;
    rPrev = r;
    havePrev = true;
    t0 = next;
  }
  if (trace != nullptr) *trace = total;
  if (!found) return false;
  state = best;
  return true;
}

}  // namespace arvex
