#!/usr/bin/env python3
"""Writes the stage times of a run of scripts/test.sh to a JSON file and
prints them as a table:

    stage-times.py --started EPOCH --log build/stage-times.tsv --build build --out build/stage-times.json

The log has a line per stage ("name<tab>seconds<tab>new", scripts/stage-times.sh);
to it come the Windows sub-builds' times (their stamps, cmake/windows_checks.cmake)
and the times CTest took for the Wine run and the compile against Orbiter's
SDK (build/Testing/Temporary/LastTest.log). scripts/readme-numbers.py's set
"stages" writes the README's figures from the JSON file and holds them to it.
"""
import argparse
import json
import os
import re
import shutil
import sys
import time

# The stages in the order scripts/test.sh runs them, with the names the table gives.
STAGES = {
    "deps": "dependencies",
    "build": "native build",
    "tests": "native tests",
    "web-build": "web build",
    "web-test": "browser test",
    "asan-build": "sanitizer build",
    "asan-tests": "sanitizer tests",
    "fuzz": "fuzzing",
}
# The tests whose own times the README gives.
TESTS = ("wine_gdi", "orbiter_sdk_compile")


def read_log(path):
    stages, new = {}, {}
    with open(path) as f:
        for line in f:
            name, seconds, fresh = line.rstrip("\n").split("\t")
            stages[name] = float(seconds)
            if fresh != "-":
                new[name] = fresh == "1"
    return stages, new


def test_times(build):
    """{test: seconds} of the tests in TESTS that passed (not skipped) in the
    last CTest run of the build folder."""
    path = os.path.join(build, "Testing", "Temporary", "LastTest.log")
    found = {}
    try:
        with open(path, errors="replace") as f:
            text = f.read()
    except OSError:
        return found
    for part in re.split(r"\n(?=\d+/\d+ Testing: )", text):
        head = re.match(r"\d+/\d+ Testing: (\S+)", part)
        took = re.search(r"^Test time = +([\d.]+) sec\n-+\nTest Passed\.", part, re.M)
        if head and took and head[1] in TESTS and "skipped" not in part.split("Output:", 1)[-1]:
            found[head[1]] = float(took[1])
    return found


def windows_times(build):
    """{arch: seconds} of the Windows sub-builds, from their stamps, and 'both'."""
    stamps = {}
    for arch in ("x86_64", "i686"):
        dir = os.path.join(build, f"windows-{arch}")
        try:
            stamps[arch] = tuple(os.path.getmtime(os.path.join(dir, f"build-{s}.stamp"))
                                 for s in ("started", "finished"))
        except OSError:
            return {}
    times = {arch: round(b - a, 1) for arch, (a, b) in stamps.items()}
    times["both"] = round(max(b for _, b in stamps.values()) - min(a for a, _ in stamps.values()), 1)
    return times


def machine():
    model = "unknown"
    try:
        with open("/proc/cpuinfo") as cpu:
            model = next(line.split(":", 1)[1].strip() for line in cpu if line.startswith("model name"))
    except (OSError, StopIteration):
        pass
    return f"{model}, {os.cpu_count()} cores"


def duration(seconds):
    s = round(seconds)
    return f"{s // 60} min {s % 60} s" if s >= 60 else f"{s} s"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--started", type=float, required=True, help="the run's start (seconds since 1970)")
    parser.add_argument("--log", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    stages, new = read_log(args.log)
    unknown = sorted(set(stages) - set(STAGES))
    if unknown:
        sys.exit(f"stage-times: {args.log} names stages it does not know: {', '.join(unknown)}")
    run = {
        "machine": machine(),
        "jobs": int(os.environ.get("JOBS") or os.cpu_count()),
        # CI's clean clone has no compiler cache; a warm one makes builds quick.
        "compiler_cache": bool(shutil.which("ccache")) and os.environ.get("CCACHE_DISABLE", "") not in ("1", "true"),
        "orbiter_sdk": bool(os.environ.get("ORBITER_SDK")),
        "stages": stages,
        "new_build_folder": new,
        "skipped": [s for s in STAGES if s not in stages],
        "total": round(time.time() - args.started, 1),
        "tests": test_times(args.build),
        "windows": windows_times(args.build),
    }
    with open(args.out, "w") as f:
        json.dump(run, f, indent=1)
        f.write("\n")
    parts = {"build": [("Windows sub-builds", run["windows"].get("both"))],
             "tests": list(run["tests"].items())}
    rows = []
    for s, t in stages.items():
        rows.append((STAGES[s], duration(t) + ("" if new.get(s, True) else " (rebuild)")))
        rows += [(f"  of which {name}", duration(t)) for name, t in parts.get(s, []) if t is not None]
    rows.append(("whole command", duration(run["total"])))
    width = max(len(a) for a, _ in rows)
    print(f"== stage times ({run['machine']}), in {args.out}")
    for a, b in rows:
        print(f"   {a:<{width}}  {b:>13}")
    if run["skipped"]:
        print(f"   skipped: {', '.join(STAGES[s] for s in run['skipped'])}")


if __name__ == "__main__":
    main()
