#!/usr/bin/env python3
"""The README's figures that the build produces, written into its marked blocks

    <!-- figures: NAME -->...<!-- /figures -->

(a block may be whole lines, such as a table, or a part of one line).

    readme-numbers.py [--build DIR] [--check | --present] numbers|timing|wine|web|stages

numbers: the built-in hops as `lobarc fly --json` reports them (with the aim
    lead, with --land, at a redraw every 0.5 s) and the Windows DLLs' sizes and
    imports. Flights are deterministic, so --check (the test
    readme_figures_numbers) wants every block exactly as generated, and shows
    the difference of each block that is not.
wine: the Windows test host's report of the test wine_gdi's run (fonts,
    checks), deterministic on the same Debian packages: --check (the test
    readme_figures_wine) wants them exactly; exit 77 without a Wine run.
timing: what depends on the machine (the benchmarks, the flights' simulated
    seconds per wall second). Generated only on demand (a few minutes);
    --check holds every number of each timing block within a factor of
    TIMING_NOISE, or TIMING_FLOOR, of this run's, and the test only checks that
    the blocks are there and each has a figure (--present).
web: the browser test's (scripts/test-web.sh): each run leaves its figures in
    build-web/figures.json and a copy in build-web/figures-runs/; the blocks
    give the range over the runs kept there, and the page's size. With
    --check (test-web.sh, after its run) the page's size must be as stated and
    the run within the noise that web_noise() states, since the autopilot
    takes over at a moment that differs from run to run.
stages: the wall-clock times of scripts/test.sh's stages, its Windows
    sub-builds, the Wine run and the compile against Orbiter's SDK, from the
    build/stage-times.json its run writes. They are written only from a whole
    run (no stage skipped, ORBITER_SDK set) from new build folders without a
    compiler cache, as CI's clean clone builds. --check (test.sh, at its end)
    holds each within a factor of TIMING_NOISE, or STAGE_FLOOR seconds, of
    this run's, where the run is comparable: a build's time only when its
    folder was new and no compiler cache was at work (the Wine run's and the
    SDK compile's, the native build's), the whole command's only for a whole
    such run; the dependencies' never (the network, what is installed).
Without --check the blocks of the set are rewritten in README.md.
"""
import argparse
import csv
import difflib
import functools
import glob
import importlib.util
import json
import math
import os
import re
import statistics
import subprocess
import sys
import tempfile
import textwrap

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
README = os.path.join(ROOT, "README.md")
HOPS = ["moon-hop", "moon-hover", "moon-dateline", "moon-in-flight", "mars-hop"]
MOON = HOPS[:4]
TIMING_NOISE = 3.0  # a timing figure may be this factor off this run's
TIMING_FLOOR = 0.1  # ... or this much in its own unit (a difference of two timings)
STAGE_FLOOR = 5.0  # seconds: a stage's time may also be this much off this run's
BLOCK = re.compile(r"<!-- figures: ([a-z0-9-]+) -->(.*?)<!-- /figures -->", re.S)

# The machine and the durations are written as the stage timer writes them, so
# that the README's times and its own table read alike.
_spec = importlib.util.spec_from_file_location(
    "stage_times", os.path.join(ROOT, "scripts", "stage-times.py"))
stage_times = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(stage_times)
machine = stage_times.machine
duration = stage_times.duration


def fail(message):
    print(f"readme-numbers: {message}", file=sys.stderr)
    sys.exit(1)


# --- formatting ---------------------------------------------------------------


def m(x):
    """A distance in metres as the README gives it: a tenth below 10 m."""
    return f"{x:.1f}" if x < 9.95 else f"{x:.0f}"


def n0(x):
    return f"{x:.0f}"


def span(values, fmt, unit=""):
    """'a to b', 'a or b' for neighbouring whole numbers, 'a' when all equal."""
    lo, hi = fmt(min(values)), fmt(max(values))
    if lo == hi:
        return lo + unit
    if all(isinstance(v, int) for v in values) and max(values) - min(values) == 1:
        return f"{lo} or {hi}{unit}"
    return f"{lo} to {hi}{unit}"


def paragraph(text):
    """A whole paragraph, its markers on lines of their own (a line that starts
    with a marker is raw HTML to Markdown), wrapped as the README is."""
    # A number keeps its unit on its line.
    text = re.sub(r"(\d) (?=(?:m|m/s|kg|km|km/s|s)\b)", "\\1\0", text)
    return "\n" + textwrap.fill(text, 100, break_on_hyphens=False).replace("\0", " ") + "\n"


def thousands(x):
    return f"{x:,.0f}"


# --- the flights ----------------------------------------------------------------


class Flights:
    def __init__(self, build):
        self.lobarc = os.path.join(build, "app", "lobarc")
        if not os.access(self.lobarc, os.X_OK):
            fail(f"{self.lobarc} is missing; build it first (cmake --build {build} --target lobarc)")
        self.cache = {}

    def fly(self, hop, *options):
        key = (hop,) + options
        if key not in self.cache:
            args = [self.lobarc, "fly"] + ([hop] if hop else []) + list(options) + ["--json"]
            run = subprocess.run(args, capture_output=True, text=True)
            # Exit 1 is a missed goal (the Mars lander's empty tank): still a report.
            if run.returncode not in (0, 1) or not run.stdout.strip():
                fail(f"'{' '.join(args)}' failed (exit {run.returncode}): {run.stderr.strip()[-300:]}")
            self.cache[key] = json.loads(run.stdout)
        return self.cache[key]

    def telemetry(self, hop, *options):
        """The rows of telemetry.csv of a flight with --out."""
        key = ("telemetry", hop) + options
        if key not in self.cache:
            with tempfile.TemporaryDirectory() as out:
                self.fly(hop, *options, "--out", out)
                with open(os.path.join(out, "telemetry.csv"), newline="") as f:
                    self.cache[key] = [
                        {k: (v if k == "phase" else float(v)) for k, v in row.items()}
                        for row in csv.DictReader(f)
                    ]
        return self.cache[key]


def tank(r):
    p = r["propellant"]
    return p["launch_kg"] + p["correction_kg"] + p["braking_kg"] + p["landing_kg"] + p["left_kg"]


def hops_table(f):
    default = f.fly("")["scenario"]
    rows = [
        "| Scenario | Outcome | Miss [m] | Goal [m] | Delta-v: launch + corrections = total [m/s] "
        "| Corrections | Min-energy [m/s] | Ratio | Propellant: launch + corrections, left [kg] |",
        "|---|---|---|---|---|---|---|---|---|",
    ]
    for hop in HOPS:
        r = f.fly(hop)
        p = r["propellant"]
        name = f"`{hop}`" + (" (default)" if hop == default else "")
        launched = r["dv_ratio"] is not None
        emin = n0(r["dv_min_energy_mps"]) if launched else ""
        ratio = f"{r['dv_ratio']:.2f}" if launched else ""
        rows.append(
            f"| {name} | {r['outcome']} | {m(r['miss_m'])} | {n0(r['goal_miss_m'])} "
            f"| {n0(r['dv_launch_mps'])} + {n0(r['dv_correction_mps'])} = {n0(r['dv_total_mps'])} "
            f"| {r['corrections']} | {emin} | {ratio} "
            f"| {n0(p['launch_kg'])} + {n0(p['correction_kg'])}, {n0(p['left_kg'])} of {n0(tank(r))} |"
        )
    return "\n" + "\n".join(rows) + "\n"


def hops_summary(f):
    moon = [f.fly(h) for h in MOON]
    launched = [r for r in moon if r["dv_ratio"] is not None]
    ratios = [r["dv_ratio"] for r in launched]
    mars = f.fly("mars-hop")
    return paragraph(
        f"The targets on the Moon hold: misses of {span([r['miss_m'] for r in moon], m, ' m')}, "
        f"{span([r['corrections'] for r in moon], str)} corrections, ratios "
        f"{span(ratios, lambda x: f'{x:.2f}')} (median {statistics.median(ratios):.2f}). On Mars "
        f"the miss is {mars['miss_m'] / 1000:.1f} km with {mars['corrections']} corrections and a "
        f"ratio of {mars['dv_ratio']:.2f} (see below why)."
    )


def hops_lead_table(f):
    rows = [
        "| Scenario | Miss [m]: now / lead | Corrections: now / lead "
        "| Delta-v of corrections [m/s]: now / lead | Ratio: now / lead "
        "| Propellant left [kg]: now / lead |",
        "|---|---|---|---|---|---|",
    ]
    for hop in HOPS:
        a, b = f.fly(hop), f.fly(hop, "--aim-lead")
        ratio = f"{a['dv_ratio']:.2f} / {b['dv_ratio']:.2f}" if a["dv_ratio"] is not None else ""
        rows.append(
            f"| `{hop}` | {m(a['miss_m'])} / {m(b['miss_m'])} | {a['corrections']} / {b['corrections']} "
            f"| {n0(a['dv_correction_mps'])} / {n0(b['dv_correction_mps'])} | {ratio} "
            f"| {n0(a['propellant']['left_kg'])} / {n0(b['propellant']['left_kg'])} |"
        )
    return "\n" + "\n".join(rows) + "\n"


def landed_distance(r):
    land = r["landing"]
    if land["touched_down"]:
        return f"{land['distance_m']:.2f}"
    return f"({land['distance_m'] / 1000:.1f} km, still flying)"


def hops_land_table(f):
    rows = [
        "| Scenario | Outcome | Landed from the target [m] | Touchdown [m/s] | Corrections "
        "| Delta-v: launch + corrections + braking + landing = whole hop [m/s] "
        "| Twice min-energy [m/s] | Ratio (launch + corrections) "
        "| Propellant: launch + corrections + braking + landing, left [kg] |",
        "|---|---|---|---|---|---|---|---|---|",
    ]
    for hop in HOPS:
        r = f.fly(hop, "--land")
        land, p = r["landing"], r["propellant"]
        launched = r["dv_ratio"] is not None
        speed = f"{land['touchdown_speed_mps']:.1f}" if land["touched_down"] else ""
        ratio = f"{r['dv_ratio']:.2f}" if launched else ""
        emin2 = n0(land["dv_min_energy_mps"]) if launched else ""
        rows.append(
            f"| `{hop}` | {r['outcome']} | {landed_distance(r)} | {speed} | {r['corrections']} "
            f"| {n0(r['dv_launch_mps'])} + {n0(r['dv_correction_mps'])} + {n0(r['dv_braking_mps'])} "
            f"+ {n0(r['dv_landing_mps'])} = {n0(land['dv_total_mps'])} "
            f"| {emin2} | {ratio} "
            f"| {n0(p['launch_kg'])} + {n0(p['correction_kg'])} + {n0(p['braking_kg'])} "
            f"+ {n0(p['landing_kg'])}, {n0(p['left_kg'])} left |"
        )
    return "\n" + "\n".join(rows) + "\n"


WORDS = "zero one two three four five six seven eight nine ten eleven twelve".split()


def words(n):
    return WORDS[n] if 0 <= n < len(WORDS) else str(n)


def distance(x):
    return f"{m(x)} m" if x < 999.5 else f"{x / 1000:.1f} km"


def tens(x):
    return f"{round(x, -1):.0f}"


def arrival(rows):
    """The row nearest the aim point."""
    return min(rows, key=lambda row: row["aim_distance_m"])


def phases(rows, name):
    """(start, end) of every run of rows in that phase."""
    runs, start, last = [], None, None
    for row in rows:
        if row["phase"] == name and start is None:
            start = row
        elif row["phase"] != name and start is not None:
            runs.append((start, last))
            start = None
        last = row
    if start is not None:
        runs.append((start, last))
    return runs


def arrival_speeds(f):
    a = arrival(f.telemetry(""))
    return f"about {tens(-a['vertical_speed_mps'])} m/s down and {tens(a['airspeed_mps'])} m/s in all"


def braking(f, hop):
    (start, end), = phases(f.telemetry(hop, "--land"), "braking")
    return start, end


def braking_minutes(f):
    start, end = braking(f, "")
    return f"{words(round((end['t_s'] - start['t_s']) / 60))} minutes"


def land_takeover(f):
    start, _ = braking(f, "")
    return f"some {tens(f.fly('')['time_s'] - start['t_s'])} s"


def hops_land_summary(f):
    land = f.fly("", "--land")
    arrived = arrival(f.telemetry(""))["airspeed_mps"]
    descents = [f.fly(h, "--land")["dv_landing_mps"] for h in MOON]
    descent = (
        f"{n0(descents[0])} m/s every time"
        if len({n0(d) for d in descents}) == 1
        else f"{span(descents, n0)} m/s"
    )
    flight = f.fly("moon-in-flight", "--land")
    v0 = f.telemetry("moon-in-flight")[0]["airspeed_mps"]
    mars = f.fly("mars-hop", "--land")
    p = mars["propellant"]
    mars_arrival = arrival(f.telemetry("mars-hop"))["airspeed_mps"]
    mars_end = (
        f"it runs dry {mars['landing']['distance_m'] / 1000:.0f} km from the target"
        if not mars["landing"]["touched_down"]
        else f"it lands {m(mars['landing']['distance_m'])} m from the target"
    )
    return paragraph(
        f"Braking costs about {land['dv_braking_mps'] / arrived:.1f} times the speed it takes out "
        f"({n0(land['dv_braking_mps'])} m/s against about {tens(arrived)} m/s on the default hop): "
        f"constant decelerations pay gravity over some {braking_minutes(f)}. The descent from the "
        f"gate costs "
        f"{descent} (it is the same 100 m at the same decelerations). The in-flight start arrives "
        f"fast (it starts at {tens(v0)} m/s and climbs), so its braking is long and leaves "
        f"{n0(flight['propellant']['left_kg'])} kg. The Mars lander arrives at about "
        f"{mars_arrival / 1000:.1f} km/s, and what its tank holds after the hop "
        f"({n0(p['braking_kg'] + p['landing_kg'] + p['left_kg'])} kg of {n0(tank(mars))}) brakes it "
        f"by {n0(mars['dv_braking_mps'])} m/s: {mars_end}."
    )


def hops_refresh(f):
    moon = [f.fly(h, "--refresh", "0.5") for h in MOON]
    ratios = [r["dv_ratio"] for r in moon if r["dv_ratio"] is not None]
    mars = f.fly("mars-hop", "--refresh", "0.5")
    landed = [f.fly(h, "--refresh", "0.5", "--land") for h in MOON]
    mars_land = f.fly("mars-hop", "--refresh", "0.5", "--land")
    if all(r["landing"]["touched_down"] for r in landed):
        moon_land = (
            f"touch down within {max(r['landing']['distance_m'] for r in landed):.2f} m of the "
            f"target at {span([r['landing']['touchdown_speed_mps'] for r in landed], lambda x: f'{x:.1f}')}"
            f" m/s with {span([r['propellant']['left_kg'] for r in landed], n0)} kg left"
        )
    else:
        moon_land = "do not all touch down: " + ", ".join(
            f"{h} {r['outcome']}" for h, r in zip(MOON, landed)
        )
    mars_end = (
        "runs out of propellant braking"
        if mars_land["outcome"] == "out of propellant"
        else f"{mars_land['outcome']} {distance(mars_land['landing']['distance_m'])} from the target"
    )
    return paragraph(
        "With the display redrawn every 0.5 s (`--refresh 0.5`, Orbiter 2024's interval) the Moon "
        f"hops miss by {span([r['miss_m'] for r in moon], m, ' m')} with "
        f"{span([r['corrections'] for r in moon], str)} corrections and ratios "
        f"{span(ratios, lambda x: f'{x:.2f}')}; Mars misses by {distance(mars['miss_m'])} with "
        f"{mars['corrections']} corrections (ratio {mars['dv_ratio']:.2f}, "
        f"{n0(mars['propellant']['left_kg'])} kg of propellant left). With `--land` as well the "
        f"Moon hops {moon_land}, and Mars {mars_end}."
    )


def corrections(rows):
    """(size shown [m/s], start time) of each correction of a flight."""
    return [(s["display_dv_mps"], s["t_s"]) for s, _ in phases(rows, "correct")]


def launch_ratio(f):
    r = f.fly("")
    return f"about {r['dv_launch_mps'] / r['dv_min_energy_mps']:.2f} times"


def first_correction(f):
    return f"about {tens(corrections(f.telemetry(''))[0][0])} m/s"


def later_corrections(f):
    later = [dv for dv, _ in corrections(f.telemetry(""))[1:]]
    return f"{span([round(dv) for dv in later], str)} m/s each"


def last_correction(f):
    before = []
    for hop in MOON:
        rows = f.telemetry(hop)
        before.append(round(f.fly(hop)["time_s"] - corrections(rows)[-1][1]))
    return f"some {span(before, str)} s before arrival"


def mars_drift(f):
    r = f.fly("mars-hop")
    return f"(about {distance(r['miss_m'])})"


def mars_counts(f):
    r = f.fly("mars-hop")
    return f"({r['corrections']}) and ratio ({r['dv_ratio']:.2f})"


# --- the Windows DLLs -------------------------------------------------------------


def dll_imports(path):
    """{dll name: number of names imported} of a PE file."""
    try:
        dump = subprocess.run(
            [os.environ.get("LLVM_OBJDUMP", "llvm-objdump-16"), "-p", path],
            capture_output=True, text=True, check=True,
        ).stdout
    except (OSError, subprocess.CalledProcessError) as e:
        fail(f"cannot read the imports of {path} ({e}); is llvm-objdump-16 installed?")
    counts, dll = {}, None
    for line in dump.splitlines():
        if line.strip().startswith("DLL Name:"):
            dll = line.split()[2]
            counts[dll] = 0
        elif not line.strip():
            dll = None
        elif dll and not line.strip().startswith("Hint/Ord") and len(line.split()) >= 2:
            counts[dll] += 1
    return counts


ORDER = ["Orbiter.exe", "GDI32.dll", "KERNEL32.dll", "msvcrt.dll"]


class Dlls:
    def __init__(self, build):
        self.info = {}
        for arch in ("x86_64", "i686"):
            path = os.path.join(build, f"windows-{arch}", "orbiter", "Modules", "Plugin", "ArvexMFD.dll")
            if not os.path.isfile(path):
                fail(f"{path} is missing; build it first (cmake --build {build} --target windows_{arch})")
            self.info[arch] = (os.path.getsize(path), dll_imports(path))

    def sizes(self):
        size64, imp64 = self.info["x86_64"]
        size32, imp32 = self.info["i686"]
        names = ", ".join(f"{d} {imp64.get(d, 0)}" for d in ORDER)
        return (
            f"the x64 DLL is {thousands(size64)} bytes and imports {names} names; the x86 one "
            f"{thousands(size32)} bytes, {'/'.join(str(imp32.get(d, 0)) for d in ORDER)}"
        )

    def sdk_names(self):
        return f"{self.info['x86_64'][1].get('Orbiter.exe', 0)} names each"


# --- the Wine run ------------------------------------------------------------------


class WineRun:
    """The Windows test host's report of its last run under Wine (test wine_gdi)."""

    def __init__(self, build):
        path = os.path.join(build, "windows-x86_64", "wine-out", "host.log")
        if not os.path.isfile(path):
            print(f"readme-numbers: skipped, no Wine run's report {path} (the test wine_gdi was "
                  "skipped or not run)")
            sys.exit(77)
        with open(path, errors="replace") as f:
            self.lines = f.read().splitlines()
        self.gdi, self.cairo = {}, {}
        for line in self.lines:
            g = re.match(r"note: (\d+)x\1: GDI font 0 is (.+), advance (\d+), ascent (\d+),", line)
            c = re.match(r"note: (\d+)x\1: simulated font 0: advance ([\d.]+), ascent ([\d.]+),.*"
                         r"ceil\(n x ([\d.]+)\) across a text of n characters, (\d+) down", line)
            if g:
                self.gdi[int(g[1])] = (g[2], int(g[3]), int(g[4]))
            if c:
                self.cairo[int(c[1])] = (float(c[2]), float(c[3]), float(c[4]), int(c[5]))
        if 290 not in self.gdi or 256 not in self.cairo:
            fail(f"{path} has no font notes for 290 and 256 pixels: is it a whole run?")

    def sizes(self):
        seen = []
        for line in self.lines:
            g = re.match(r"note: (\d+)x(\d+): GDI font 0", line)
            if g and g.groups() not in seen:
                seen.append(g.groups())
        return f"{len(seen)} sizes (" + ", ".join(f"{w} × {h}" for w, h in seen) + " pixels)"

    def checks(self):
        return f"{sum(line.startswith('ok: ') for line in self.lines)} checks pass"

    def fonts(self):
        def cairo(size):
            adv, asc, _, _ = self.cairo[size]
            return f"(Cairo: {adv:g} / {asc:g})"

        diffs = sorted({self.cairo[size][2] for size in (290, 256)})
        across = "1 pixel" if diffs == [0] else " or ".join(f"1 + n x {d:g} pixels" for d in diffs)
        (face, adv290, asc290), (_, adv256, asc256) = self.gdi[290], self.gdi[256]
        return (
            f"Wine's GDI takes {face} for\n  \"Courier New\" (no antialiasing), advance {adv290} / "
            f"ascent {asc290} at 290 pixels {cairo(290)} and {adv256} / {asc256}\n  at 256 {cairo(256)}, "
            f"so the tolerance is {across} across and {self.cairo[290][3]} (290) or "
            f"{self.cairo[256][3]} (256) down"
        )


# --- the machine-dependent figures ----------------------------------------------


def hop_rate(f):
    rates = [f.fly(h)["sim_seconds_per_wall_second"] for h in HOPS]
    return f"{span([round(r, -3) for r in rates], thousands)} simulated seconds per second"


class Bench:
    """The medians of 5 repetitions of every benchmark (a few minutes)."""

    def __init__(self, build):
        self.medians = {}
        for program in ("guidance_bench", "module_bench"):
            path = os.path.join(build, "bench", program)
            if not os.access(path, os.X_OK):
                fail(f"{path} is missing; build it first (cmake --build {build} --target {program})")
            print(f"== timing: {program} (5 repetitions of each benchmark)", file=sys.stderr)
            run = subprocess.run(
                [path, "--benchmark_repetitions=5", "--benchmark_report_aggregates_only=true",
                 "--benchmark_format=json"], capture_output=True, text=True,
            )
            if run.returncode != 0:
                fail(f"{path} failed (exit {run.returncode}): {run.stderr.strip()[-300:]}")
            for b in json.loads(run.stdout)["benchmarks"]:
                if b.get("aggregate_name") == "median":
                    self.medians[b["run_name"].split("/")[0]] = b

    def get(self, name):
        if name not in self.medians:
            fail(f"no benchmark {name}: the README's table names one the suite no longer has")
        return self.medians[name]

    def us(self, name, key="cpu_time"):
        b = self.get(name)
        scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3}[b["time_unit"]]
        return b[key] * scale

    def whole_host_module(self, whole, host):
        w, h = self.us(whole), self.us(host)
        return f"{w:.2f} / {h:.2f} / {w - h:.2f} us"

    def allocs(self, name, whose="the host's"):
        b = self.get(name)
        n = b.get("allocs", 0)
        count = f"{n:.0f}" if abs(n - round(n)) < 0.05 else f"{n:.1f}"
        if round(n, 1) == 0:
            return "0"
        if round(b.get("module", 0), 1) == 0:
            return f"{count}, {whose}; 0 in the module"
        return f"{count}, {b.get('module', 0):.0f} in the module"

    def spread(self, name):
        b = self.get(name)
        return f"{b['median_us']:.2f} / {b['worst_us']:.2f} us"

    def counts(self, name, evals=True):
        b = self.get(name)
        trials = f"{b['evals']:.2f} trial velocities, " if evals else ""
        return f"{trials}{b['roots']:.1f} root steps"

    def table(self):
        host_list = "all the host's display list"
        rows = [
            ("warm in-flight `opcPostStep`, on the conic through the aim point: whole / the host's "
             "queries / the module's own", "< 5 us",
             self.whole_host_module("BM_WarmInFlightPostStep_OnTarget", "BM_HostQueriesOfAFlightStep"),
             self.allocs("BM_WarmInFlightPostStep_OnTarget")),
            ("warm in-flight `opcPostStep`, off it: whole / host / module", "< 5 us",
             self.whole_host_module("BM_WarmInFlightPostStep_OffTarget", "BM_HostQueriesOfAFlightStep"),
             self.allocs("BM_WarmInFlightPostStep_OffTarget")),
            ("cold solve on the scene's state in flight", "< 4 us",
             f"{self.us('BM_ColdSolveInFlight'):.2f} us", self.allocs("BM_ColdSolveInFlight")),
            (f"cold solve, mean over 64 random lunar hop states ({self.counts('BM_ColdSolveRandomHops')})",
             "< 4 us", f"{self.us('BM_ColdSolveRandomHops'):.2f} us", self.allocs("BM_ColdSolveRandomHops")),
            (f"cold call, each of {self.get('BM_ColdSolveThreeBodies')['states']:.0f} states on the Moon, "
             f"Mercury and Mars ({self.counts('BM_ColdSolveThreeBodies')}): median / worst", "4 / 8 us",
             self.spread("BM_ColdSolveThreeBodies"), self.allocs("BM_ColdSolveThreeBodies")),
            ("warm call 1 s after it, same states: median / worst", "0.5 us median",
             self.spread("BM_WarmSolveOneSecondRefresh"), self.allocs("BM_WarmSolveOneSecondRefresh")),
            (f"the same with `AIM_LEAD = 1`, cold: median / worst ({self.counts('BM_ColdSolveThreeBodies_Lead')})",
             "4 / 8 us", self.spread("BM_ColdSolveThreeBodies_Lead"),
             self.allocs("BM_ColdSolveThreeBodies_Lead")),
            ("the same with `AIM_LEAD = 1`, warm 1 s later: median / worst "
             f"({self.counts('BM_WarmSolveOneSecondRefresh_Lead', evals=False)})", "0.5 us median",
             self.spread("BM_WarmSolveOneSecondRefresh_Lead"),
             self.allocs("BM_WarmSolveOneSecondRefresh_Lead")),
            ("grounded `opcPostStep` (burning): whole / host / module", "< 0.3 us",
             self.whole_host_module("BM_GroundedPostStep", "BM_HostQueriesOfAGroundedStep"),
             self.allocs("BM_GroundedPostStep")),
            ("`RecomputePlan` on the ground (switch key on the pad)", "",
             f"{self.us('BM_RecomputePlanOnTheGround'):.2f} us", self.allocs("BM_RecomputePlanOnTheGround")),
            ("redraw, grounded page", "< 20 us", f"{self.us('BM_RedrawGrounded'):.1f} us",
             self.allocs("BM_RedrawGrounded", host_list)),
            ("redraw, in flight page 1/2", "< 20 us", f"{self.us('BM_RedrawInFlightPage1'):.1f} us",
             self.allocs("BM_RedrawInFlightPage1", "all the host's")),
            ("redraw, in flight page 2/2 (indicator)", "< 20 us", f"{self.us('BM_RedrawInFlightPage2'):.1f} us",
             self.allocs("BM_RedrawInFlightPage2", "all the host's")),
            ("whole host step in flight (world and hook)", "", f"{self.us('BM_HostStepInFlight'):.2f} us",
             self.allocs("BM_HostStepInFlight")),
            ("whole host step on the ground", "", f"{self.us('BM_HostStepOnTheGround'):.2f} us",
             self.allocs("BM_HostStepOnTheGround")),
            ("opening and closing a display", "", f"{self.us('BM_OpenAndCloseDisplay'):.1f} us",
             self.allocs("BM_OpenAndCloseDisplay")),
        ]
        lines = ["| Benchmark | Target | Measured | Heap allocations |", "|---|---|---|---|"]
        lines += [f"| {a} | {b} | {c} | {d} |" for a, b, c, d in rows]
        return "\n" + "\n".join(lines)

    def hop(self):
        b = self.get("BM_FlyDefaultHop")
        return (f"{self.us('BM_FlyDefaultHop', 'real_time') / 1e3:.0f} ms: "
                f"{thousands(round(b['sim_s_per_wall_s'], -2))} simulated s per wall s")

    def grounded_share(self):
        return (f"{self.us('BM_HostQueriesOfAGroundedStep'):.2f} us of its "
                f"{self.us('BM_GroundedPostStep'):.2f} us")


def load():
    try:
        with open("/proc/loadavg") as f:
            return f"{float(f.read().split()[0]):.1f}"
    except (OSError, ValueError, IndexError):
        return "unknown"


def default_hop_time(f):
    return f"{f.fly('')['time_s']:.0f} s"


# --- the browser test's figures ---------------------------------------------------


class WebRuns:
    def __init__(self, root_dir, check):
        self.web = os.path.join(root_dir, "build-web")
        pattern = "figures.json" if check else os.path.join("figures-runs", "*.json")
        self.runs = []
        for path in sorted(glob.glob(os.path.join(self.web, pattern))):
            with open(path) as f:
                self.runs.append(json.load(f))
        if not self.runs:
            fail(f"no figures in {os.path.join(self.web, pattern)}: run scripts/test-web.sh first "
                 "(a few times: the range is over the runs kept in build-web/figures-runs/)")

    def page_size(self):
        site = os.path.join(self.web, "site")
        size = lambda *names: sum(os.path.getsize(os.path.join(site, n)) for n in names)
        return (f"{size('lobarc.wasm') / 1e6:.1f} MB of WebAssembly and "
                f"{size('lobarc.js', 'app.js') / 1e6:.1f} MB of script")

    def hop(self):
        hops = [r["hop"] for r in self.runs]
        return (
            f"{span([round(h['miss_m']) for h in hops], str, ' m')} from the aim point with "
            f"{span([h['corrections'] for h in hops], str)} corrections, some "
            f"{span([int(tens(h['closest_t_s'])) for h in hops], str)} simulated seconds in, in about "
            f"{statistics.median(h['wall_s'] for h in hops):.0f} s of real time"
        )

    def test_time(self):
        return f"about {tens(statistics.median(r['test_s'] for r in self.runs))} s"


WEB_HOP = re.compile(r"(.*) from the aim point with (.*) corrections, some (.*) simulated "
                     r"seconds in, in about (.*) s of real time", re.S)


def web_noise(stated, run):
    """What is wrong with a run against the README's figures, or "". A run may
    miss by up to twice the most stated (a closer pass is never stale: the
    autopilot's moment of taking over spreads the misses from a few metres
    up), make one correction more or fewer, pass 100 s earlier or later, and
    take a third to three times the stated real time."""
    wrong = []
    parts = WEB_HOP.fullmatch(stated["web-hop"][0]) if stated.get("web-hop") else None
    if not parts:
        return "README.md's block 'web-hop' is missing or not in the generator's words"
    miss, corr, t, wall = (numbers_in(g) for g in parts.groups())
    hop = run["hop"]
    if not hop["miss_m"] <= 2 * max(miss):
        wrong.append(f"missed by {hop['miss_m']:.0f} m")
    if not min(corr) - 1 <= hop["corrections"] <= max(corr) + 1:
        wrong.append(f"{hop['corrections']} corrections")
    if not min(t) - 100 <= hop["closest_t_s"] <= max(t) + 100:
        wrong.append(f"arrived at {hop['closest_t_s']:.0f} s")
    if not wall[0] / TIMING_NOISE <= hop["wall_s"] <= wall[0] * TIMING_NOISE:
        wrong.append(f"flew in {hop['wall_s']:.0f} s of real time")
    total = numbers_in(stated.get("web-test-time", ["0"])[0])[0]
    if not total / TIMING_NOISE <= run["test_s"] <= total * TIMING_NOISE:
        wrong.append(f"the whole test took {run['test_s']:.0f} s")
    return ", ".join(wrong)


# --- the test command's stages -----------------------------------------------------

STAGE_NAMES = stage_times.STAGES
# The README's figures of parts of a stage, as a check names them.
PARTS = {
    "stages-total": "the whole command",
    "stages-web-build": "the web build (as the playground's section gives it)",
    "stages-windows": "the Windows sub-builds",
    "stages-wine": "the Wine run",
    "stages-sdk": "the compile against Orbiter's SDK",
}
DURATION = r"\d+ min \d+ s|\d+ s"


def seconds_in(text):
    """The seconds of a duration as duration() writes it, or None."""
    mm = re.fullmatch(r"(?:(\d+) min )?(\d+) s", text.strip())
    return int(mm[1] or 0) * 60 + int(mm[2]) if mm else None


class StageRun:
    """The times of the last run of scripts/test.sh (build/stage-times.json)."""

    def __init__(self, build, check):
        self.path = path = os.path.join(build, "stage-times.json")
        if not os.path.isfile(path):
            fail(f"{path} is missing: run scripts/test.sh first (it writes it at its end)")
        with open(path) as f:
            self.run = json.load(f)
        if not check:
            self.whole_or_fail()

    def cold(self, stage):
        """Whether this run built that stage from nothing, as a clean clone does."""
        return self.run["new_build_folder"].get(stage, False) and not self.run["compiler_cache"]

    def whole(self):
        """What keeps this run from being one to write the README's figures from."""
        r, why = self.run, []
        if r["skipped"]:
            why.append("it skipped " + ", ".join(STAGE_NAMES[s] for s in r["skipped"]))
        warm = [STAGE_NAMES[s] for s in r["new_build_folder"] if not self.cold(s)]
        if warm:
            why.append("it did not build " + ", ".join(warm) + " from nothing without a compiler cache "
                       "(remove the build folders, set CCACHE_DISABLE=1)")
        if "orbiter_sdk_compile" not in r["tests"]:
            why.append("it did not compile against Orbiter's SDK (set ORBITER_SDK)")
        if "wine_gdi" not in r["tests"] or not r["windows"]:
            why.append("it had no Wine run or no Windows sub-builds")
        return why

    def whole_or_fail(self):
        why = self.whole()
        if why:
            fail(f"{self.path} is not a whole run from a clean clone: " + "; ".join(why))

    def total(self):
        return duration(self.run["total"])

    def machine(self):
        return self.run["machine"]

    def listing(self):
        return ", ".join(f"{STAGE_NAMES[s]} {duration(self.run['stages'][s])}"
                         for s in STAGE_NAMES if s in self.run["stages"])

    def web_build(self):
        return duration(self.run["stages"]["web-build"])

    def windows(self):
        return duration(self.run["windows"]["both"])

    def test(self, name):
        return duration(self.run["tests"][name])

    def measured(self):
        """{what: seconds} of this run that are comparable with the README's."""
        r, cold = self.run, self.cold("build")
        got = {s: t for s, t in r["stages"].items()
               if s != "deps" and (s not in r["new_build_folder"] or self.cold(s))}
        # Without ORBITER_SDK (as on CI) the whole command is a little shorter, within the noise.
        if not r["skipped"] and all(self.cold(s) for s in r["new_build_folder"]):
            got["stages-total"] = r["total"]
        if "web-build" in got:
            got["stages-web-build"] = got["web-build"]
        if cold and r["windows"]:
            got["stages-windows"] = r["windows"]["both"]
        for block, test in (("stages-wine", "wine_gdi"), ("stages-sdk", "orbiter_sdk_compile")):
            if cold and test in r["tests"]:
                got[block] = r["tests"][test]
        return got


def stated_stages(committed):
    """{what: seconds} that README.md states, or a message of what is wrong."""
    stated, wrong = {}, []
    for name in PARTS:
        texts = committed.get(name, [])
        values = {seconds_in(t) for t in texts}
        if not texts or None in values or len(values) > 1:
            wrong.append(f"README.md's block '{name}' is missing or not one duration")
        else:
            stated[name] = values.pop()
    listing = committed.get("stages-list", [""])[0]
    labels = {v: k for k, v in STAGE_NAMES.items()}
    for mm in re.finditer(rf"([a-z ]+) ({DURATION})(?:, |$)", listing):
        if mm[1] in labels:
            stated[labels[mm[1]]] = seconds_in(mm[2])
    if not any(s in stated for s in STAGE_NAMES):
        wrong.append("README.md's block 'stages-list' is missing or names no stage")
    return stated, wrong


def check_stages(run, committed):
    stated, wrong = stated_stages(committed)
    got, bad, compared = run.measured(), 0, []
    for what, t in got.items():
        if what not in stated:
            continue
        label = STAGE_NAMES.get(what) or PARTS[what]
        compared.append(label)
        x = stated[what]
        if abs(x - t) > STAGE_FLOOR and not (x > 0 and max(x, t) / min(x, t) <= TIMING_NOISE):
            print(f"FAIL: README.md gives {label} as {duration(x)}, this run took {duration(t)} "
                  f"(more than a factor {TIMING_NOISE:g} apart)")
            bad += 1
    for w in wrong:
        print(f"FAIL: {w}")
    if bad or wrong:
        print("If the times changed for good, run scripts/test.sh from a clean clone with "
              "CCACHE_DISABLE=1 and ORBITER_SDK set, then scripts/readme-figures.sh numbers-stages, "
              "and commit README.md.")
        return 1
    left = [v for k, v in STAGE_NAMES.items() if k not in got and k != "deps"]
    print(f"readme-numbers: this run's times are within the README's ({', '.join(compared) or 'none'})"
          + (f"; not compared, not built from nothing or not run: {', '.join(left)}" if left else ""))
    return 0


class Sources:
    """What the blocks are made from, each measured once and only when needed."""

    def __init__(self, build, check):
        self.build, self.check = build, check

    @functools.cached_property
    def flights(self):
        return Flights(self.build)

    @functools.cached_property
    def dlls(self):
        return Dlls(self.build)

    @functools.cached_property
    def bench(self):
        return Bench(self.build)

    @functools.cached_property
    def wine(self):
        return WineRun(self.build)

    @functools.cached_property
    def web(self):
        return WebRuns(ROOT, self.check)

    @functools.cached_property
    def stages(self):
        return StageRun(self.build, self.check)


FLIGHT_BLOCKS = {
    "hops": hops_table,
    "hops-summary": hops_summary,
    "hops-lead": hops_lead_table,
    "hops-land": hops_land_table,
    "hops-land-summary": hops_land_summary,
    "hops-refresh": hops_refresh,
    "arrival-speeds": arrival_speeds,
    "braking-minutes": braking_minutes,
    "land-takeover": land_takeover,
    "launch-ratio": launch_ratio,
    "first-correction": first_correction,
    "later-corrections": later_corrections,
    "last-correction": last_correction,
    "mars-drift": mars_drift,
    "mars-counts": mars_counts,
    "default-hop-time": default_hop_time,
}
SETS = {
    "numbers": {
        **{name: (lambda make: lambda src: make(src.flights))(make) for name, make in FLIGHT_BLOCKS.items()},
        "dll-sizes": lambda src: src.dlls.sizes(),
        "sdk-names": lambda src: src.dlls.sdk_names(),
    },
    "timing": {
        "timing-machine": lambda src: machine(),
        "hop-rate": lambda src: hop_rate(src.flights),
        # The load before the benchmarks run, which they are read against.
        "timing-load": lambda src: load(),
        "bench-table": lambda src: src.bench.table(),
        "bench-hop": lambda src: src.bench.hop(),
        "bench-grounded-share": lambda src: src.bench.grounded_share(),
    },
    "wine": {
        "wine-fonts": lambda src: src.wine.fonts(),
        "wine-checks": lambda src: src.wine.checks(),
        "wine-sizes": lambda src: src.wine.sizes(),
    },
    "web": {
        "web-page-size": lambda src: src.web.page_size(),
        "web-hop": lambda src: src.web.hop(),
        "web-test-time": lambda src: src.web.test_time(),
    },
    "stages": {
        "stages-total": lambda src: src.stages.total(),
        "stages-machine": lambda src: src.stages.machine(),
        "stages-list": lambda src: src.stages.listing(),
        "stages-web-build": lambda src: src.stages.web_build(),
        "stages-windows": lambda src: src.stages.windows(),
        "stages-wine": lambda src: src.stages.test("wine_gdi"),
        "stages-sdk": lambda src: src.stages.test("orbiter_sdk_compile"),
    },
}
# Blocks whose words are not figures to hold within a noise.
WORDS_ONLY = {"timing-machine", "timing-load", "stages-machine"}


# --- README.md ------------------------------------------------------------------------


def blocks(text):
    """{name: [text of each occurrence]} of the marked blocks."""
    found = {}
    for match in BLOCK.finditer(text):
        found.setdefault(match.group(1), []).append(match.group(2))
    return found


def numbers_in(text):
    return [float(x.replace(",", "")) for x in re.findall(r"\d[\d,]*(?:\.\d+)?", text)]


def generate(set_name, build, check):
    src, made = Sources(build, check), {}
    for name, make in SETS[set_name].items():
        made[name] = make(src)
        print(f"== {set_name}: {name}", file=sys.stderr)
    return made


def check_exact(made, committed):
    bad = 0
    for name, text in made.items():
        for old in committed.get(name, [None]):
            if old is None:
                print(f"FAIL: README.md has no block '<!-- figures: {name} -->'")
                bad += 1
            elif old != text:
                print(f"FAIL: README.md's block '{name}' differs from what the build gives:")
                diff = difflib.unified_diff(
                    old.splitlines() or [""], text.splitlines() or [""],
                    "README.md", "build", lineterm="", n=0,
                )
                print("\n".join(line for line in diff if not line.startswith("@@")))
                bad += 1
    return bad


def check_noise(made, committed):
    """Every number of each committed block within TIMING_NOISE of this run's."""
    bad = 0
    for name, text in made.items():
        for old in committed.get(name, []):
            if name in WORDS_ONLY:
                continue
            a, b = numbers_in(old), numbers_in(text)
            if len(a) != len(b) or any(
                abs(x - y) > TIMING_FLOOR
                and not (x > 0 and y > 0 and max(x, y) / min(x, y) <= TIMING_NOISE)
                for x, y in zip(a, b)
            ):
                print(f"FAIL: README.md's '{name}' says '{old}', this machine '{text}' "
                      f"(more than a factor {TIMING_NOISE:g} apart)")
                bad += 1
    return bad


def check_web(made, committed):
    with open(os.path.join(ROOT, "build-web", "figures.json")) as f:
        run = json.load(f)
    bad = check_exact({"web-page-size": made["web-page-size"]}, committed)
    wrong = web_noise(committed, run)
    if wrong:
        print(f"FAIL: this browser run is out of the README's figures: {wrong} (README.md: "
              f"{committed.get('web-hop', ['?'])[0]}; {committed.get('web-test-time', ['?'])[0]} in all)")
        bad += 1
    if bad:
        print("If the page changed on purpose, run scripts/test-web.sh a few times, then "
              "scripts/readme-figures.sh numbers-web, and commit README.md.")
        return 1
    print("readme-numbers: this browser run is within the README's figures")
    return 0


def check_present(set_name, committed):
    bad = 0
    for name in SETS[set_name]:
        texts = committed.get(name, [])
        if not texts or not all(numbers_in(t) or name in WORDS_ONLY for t in texts):
            print(f"FAIL: README.md's block '{name}' is missing or has no figure")
            bad += 1
    return bad


def write(made):
    with open(README) as f:
        text = f.read()
    missing = [name for name in made if name not in blocks(text)]
    if missing:
        fail(f"README.md has no block for {', '.join(missing)} (mark it <!-- figures: NAME -->...<!-- /figures -->)")
    text = BLOCK.sub(
        lambda mm: f"<!-- figures: {mm.group(1)} -->{made.get(mm.group(1), mm.group(2))}<!-- /figures -->",
        text,
    )
    with open(README, "w") as f:
        f.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--check", action="store_true", help="compare README.md, change nothing")
    parser.add_argument("--present", action="store_true",
                        help="only check that the set's blocks are there, each with a figure")
    parser.add_argument("set", choices=sorted(SETS))
    args = parser.parse_args()
    with open(README) as f:
        committed = blocks(f.read())
    if args.present:
        bad = check_present(args.set, committed)
        print(f"readme-numbers: the {args.set} blocks are {'not ' if bad else ''}all there")
        sys.exit(1 if bad else 0)
    if args.check and args.set == "stages":
        sys.exit(check_stages(StageRun(args.build, True), committed))
    made = generate(args.set, args.build, args.check)
    if args.check and args.set == "web":
        sys.exit(check_web(made, committed))
    if not args.check:
        write(made)
        print(f"readme-numbers: {len(made)} {args.set} blocks written to README.md")
        return
    exact = args.set in ("numbers", "wine")
    bad = check_exact(made, committed) if exact else check_noise(made, committed)
    if bad:
        print(f"The README's {args.set} figures are stale: run scripts/readme-figures.sh "
              f"{'numbers' if args.set == 'numbers' else 'numbers-' + args.set} and commit README.md.")
        sys.exit(1)
    print(f"readme-numbers: the {len(made)} {args.set} blocks match what the build gives")


if __name__ == "__main__":
    main()
