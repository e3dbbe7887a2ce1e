#!/usr/bin/env python3
"""Writes the seed inputs of fuzz/corpus/: short scripted flights that take
the fuzzer straight to the states worth mutating (a plan on the ground, a
burn, the in-flight solver on both pages, two displays, a dialog left behind
by a closed display, the poles and the +-180 deg meridian).

Each seed is encoded the way event_fuzzer.cpp decodes it with
FuzzedDataProvider: numbers are taken from the end of the input, typed text
from its front. Keep the Event methods below in step with the harness.

    python3 fuzz/make_corpus.py fuzz/corpus
"""
import math
import os
import struct
import sys

# Operations, in the order of Harness::Op.
(LOAD, UNLOAD, OPEN, CLOSE, REBUILD, BUTTON, KEY, TYPE_NEWEST, ANSWER_BOX, CANCEL_BOX,
 LATE_ANSWER, FORGED_ANSWER, FOCUS, STEP, LAND, FLY, SET_STATE, ATTITUDE, THROTTLE,
 LANGUAGE) = range(20)
OP_COUNT = 20
KEYS = [17, 18, 19, 20, 25, 31, 38, 44, 48, 49, 0, 33]
STEPS = [5e-324, 1e-9, 1e-3, 0.02, 0.1, 1, 10, 100, 1000]
VESSELS = 6
BODIES = 4


class Input:
    def __init__(self):
        self.front = bytearray()  # read from the start: strings
        self.back = []            # read from the end, in the order read
        self.displays = 0         # open displays, as the harness will see them

    # --- FuzzedDataProvider, backwards ---------------------------------------
    def integral(self, lo, hi, value, type_bytes=8):
        assert lo <= value <= hi, (lo, value, hi)
        span, offset, n = hi - lo, value - lo, 0
        while n < type_bytes and (span >> (8 * n)) > 0:
            n += 1
        self.back.extend(offset.to_bytes(n, "big") if n else b"")

    def boolean(self, b):
        self.integral(0, 255, 1 if b else 0, 1)

    def probability(self, p):
        self.integral(0, 2**64 - 1, min(2**64 - 1, max(0, round(p * (2**64 - 1)))), 8)

    def real(self, lo, hi, x):
        self.probability(0.0 if hi == lo else (x - lo) / (hi - lo))

    def text(self, s):
        for b in s.encode("latin-1"):
            self.front += b"\\\\" if b == 0x5C else bytes([b])
        self.front += b"\\x"  # ends the string

    def bytes(self):
        return bytes(self.front) + bytes(reversed(self.back))

    # --- harness helpers --------------------------------------------------
    def op(self, code):
        self.integral(0, OP_COUNT - 1, code, 4)

    def pick_display(self, index=0):
        if self.displays > 0:
            self.integral(0, self.displays - 1, index)

    def pick_vessel(self, index):
        self.integral(0, VESSELS - 1, index)

    def place(self, lat, lng):
        """pickPlace, case 0: anywhere [rad]."""
        self.pick_display()
        self.integral(0, 7, 0, 4)
        self.real(-math.pi / 2, math.pi / 2, lat)
        self.real(-math.pi, math.pi, lng)

    def place_case(self, case):
        """pickPlace, cases 1-6: a pole, the meridian, over the target, its
        antipode, the stored own position, the first base."""
        self.pick_display()
        self.integral(0, 7, case, 4)
        if case == 1:
            self.boolean(True)   # exactly pi/2
            self.boolean(True)   # north
            self.real(-math.pi, math.pi, 0.5)
        elif case == 2:
            self.boolean(True)   # exactly pi
            self.real(-math.pi / 2, math.pi / 2, 0.3)
            self.boolean(False)  # -pi
        elif case == 6:
            self.integral(0, 10, 0)

    # --- events -------------------------------------------------------------
    def load(self):
        self.op(LOAD)

    def unload(self):
        self.op(UNLOAD)
        self.displays = 0

    def open(self, width=400, height=400):
        self.op(OPEN)
        for side in (width, height):
            self.integral(0, 3, 3, 4)
            self.integral(100, 1200, side, 4)
        self.displays += 1

    def open_raw(self, width, height):
        """Any 16-bit size, refused by the host outside 1..32767."""
        self.op(OPEN)
        for side in (width, height):
            self.integral(0, 3, 0, 4)
            self.integral(0, 65535, side, 2)
        if 1 <= width <= 32767 and 1 <= height <= 32767:
            self.displays += 1

    def close(self, index=0):
        self.op(CLOSE)
        self.pick_display(index)
        self.displays -= 1

    def rebuild(self, index=0):
        self.op(REBUILD)
        self.pick_display(index)

    def key(self, code, index=0):
        self.op(KEY)
        self.pick_display(index)
        self.boolean(True)
        self.integral(0, 11, KEYS.index(code))

    def button(self, bt, event=1, index=0):
        self.op(BUTTON)
        self.pick_display(index)
        self.boolean(True)
        self.integral(-1, 12, bt, 4)
        self.boolean(True)
        self.integral(0, 3, event, 4)
        self.boolean(True)  # ButtonMenu with a pointer

    def type(self, s):
        self.op(TYPE_NEWEST)
        self.integral(0, 4, 1, 4)
        self.text(s)

    def enter(self, code, s, index=0):
        self.key(code, index)
        self.type(s)

    def late_answer(self, s, which=0, count=1):
        self.op(LATE_ANSWER)
        self.integral(0, count - 1, which)
        self.integral(0, 4, 1, 4)
        self.text(s)

    def focus(self, vessel):
        self.op(FOCUS)
        self.integral(0, VESSELS + 2, vessel)

    def focus_object(self, kind, body=0, previous=True):
        """A focus on no vessel: kind 0 nothing, 1 a body, 2 a base."""
        self.op(FOCUS)
        self.integral(0, VESSELS + 2, VESSELS + kind)
        self.integral(0, BODIES - 1, body, 4)
        self.boolean(previous)

    def step(self, dt, repeats=16):
        self.op(STEP)
        self.boolean(True)
        self.integral(0, len(STEPS) - 1, STEPS.index(dt))
        self.integral(1, 16, repeats, 4)

    def land(self, vessel, lat, lng):
        self.op(LAND)
        self.pick_vessel(vessel)
        self.place(lat, lng)

    def land_case(self, vessel, case):
        self.op(LAND)
        self.pick_vessel(vessel)
        self.place_case(case)

    def fly(self, vessel, lat, lng, altitude, east=None, north=0.0, up=0.0):
        """In flight; east=None: the circular orbit's speed."""
        self.op(FLY)
        self.pick_vessel(vessel)
        self.place(lat, lng)
        self.integral(0, 3, 3, 4)
        self.real(0.0, 1e5, altitude)
        if east is None:
            self.boolean(False)
        else:
            self.boolean(True)
            for v in (east, north, up):
                self.real(-2e4, 2e4, v)

    def fly_case(self, vessel, case, altitude_choice, altitude=1000.0):
        """In flight over a special place on a circular orbit; altitude
        choice 1 is exactly the aim point's height, 2 the ground's, 3 any."""
        self.op(FLY)
        self.pick_vessel(vessel)
        self.place_case(case)
        self.integral(0, 3, altitude_choice, 4)
        if altitude_choice == 1:
            self.pick_display()
        elif altitude_choice == 3:
            self.real(0.0, 1e5, altitude)
        self.boolean(False)

    def throttle(self, vessel, group, level):
        self.op(THROTTLE)
        self.pick_vessel(vessel)
        self.integral(0, 2, group, 4)
        self.boolean(False)  # ConsumeFloatingPoint: first half
        self.probability(0.0)
        self.boolean(True)
        self.probability(level)

    def language(self, n):
        self.op(LANGUAGE)
        self.integral(0, 2, 1, 4)
        self.boolean(True)
        self.integral(-1, 2, n, 4)


def seeds():
    s = {}

    i = Input()  # a plan to a base, then the burn counted down
    i.open()
    i.enter(20, "Apollo17")
    i.step(0.1)
    i.throttle(0, 0, 1.0)
    i.step(0.1)
    i.step(1)
    s["ground-base-burn"] = i

    i = Input()  # latitude, longitude, security altitude typed
    i.open(290, 290)
    i.enter(38, "10")
    i.enter(49, "30.5")
    i.enter(44, "60")
    i.step(0.02)
    s["ground-lat-lng"] = i

    i = Input()  # in flight from the start: the solver, page 2/2, altitude above
    i.fly(0, 0.05, 0.45, 20000)
    i.open()
    i.enter(38, "5")
    i.enter(49, "30")
    i.step(1)
    i.key(25)
    i.step(1)
    i.enter(48, "3")
    i.step(10)
    s["flight-page2"] = i

    i = Input()  # launch, switch to flight mode, correction
    i.open()
    i.enter(20, "Apollo11")
    i.throttle(0, 2, 1.0)
    i.step(1, 10)
    i.throttle(0, 2, 0.0)
    i.key(31)
    i.key(25)
    i.step(1)
    i.key(18)
    i.step(1)
    s["launch-switch"] = i

    i = Input()  # French, two displays, close one, open another
    i.language(1)
    i.open(300, 250)
    i.open(600, 600)
    i.enter(20, "Apollo15", 1)
    i.close(1)
    i.open(200, 200)
    i.rebuild(0)
    s["french-two-displays"] = i

    i = Input()  # a dialog whose display is closed meanwhile
    i.open()
    i.key(38)
    i.close()
    i.open()
    i.late_answer("45")
    s["late-answer"] = i

    i = Input()  # the pole and its antipode
    i.land_case(0, 1)
    i.open()
    i.enter(20, "South")
    i.step(0.1)
    i.enter(20, "North")
    s["pole"] = i

    i = Input()  # across the +-180 deg meridian, in flight over it
    i.land_case(0, 2)
    i.open()
    i.enter(20, "Westline")
    i.fly_case(0, 2, 3)
    i.key(31)
    i.step(1)
    s["dateline"] = i

    i = Input()  # exactly over the target, and over its antipode
    i.fly(0, 0.2, 0.2, 10000)
    i.open()
    i.enter(38, "-20")
    i.enter(49, "100")
    i.fly_case(0, 3, 1)
    i.step(0.02)
    i.fly_case(0, 4, 1)
    i.step(0.02)
    i.key(25)
    s["over-target-antipode"] = i

    i = Input()  # focus changes across vessels and bodies, engine toggle, reset
    i.open()
    i.enter(20, "Apollo12")
    i.focus(2)
    i.key(18)
    i.focus(4)
    i.enter(20, "North")
    i.step(1)
    i.focus(5)
    i.enter(38, "10")
    i.enter(49, "10")
    i.step(1000, 2)
    i.key(19)
    s["focus-bodies"] = i

    i = Input()  # focus on no vessel: reset, steps, two displays, then a vessel again
    i.fly(0, 0.05, 0.45, 20000)
    i.open()
    i.enter(20, "Apollo16")
    i.open(300, 300)
    i.focus_object(1)
    i.key(19)
    i.step(1)
    i.focus_object(2, 1)
    i.key(25, 1)
    i.focus_object(0)
    i.key(19, 1)
    i.close(0)
    i.open()
    i.focus(1)
    i.key(19)
    s["focus-non-vessel"] = i

    i = Input()  # display sizes at the edges
    i.open_raw(0, 0)
    i.open_raw(1, 1)
    i.open_raw(65535, 300)
    i.open_raw(32767, 27)
    i.open_raw(3, 32767)
    i.enter(20, "Apollo16")
    i.button(11)
    s["sizes"] = i

    i = Input()  # unload and load with displays and a dialog open
    i.open()
    i.key(44)
    i.unload()
    i.load()
    i.open()
    i.button(0)
    i.type("Apollo14")
    s["reload"] = i

    i = Input()  # every button, pressed and released
    i.open()
    for bt in range(-1, 13):
        i.button(bt, 1)
        i.button(bt, 2)
    s["buttons"] = i
    return s


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus")
    os.makedirs(out, exist_ok=True)
    for name, seed in seeds().items():
        with open(os.path.join(out, "seed-" + name), "wb") as f:
            f.write(seed.bytes())


if __name__ == "__main__":
    main()
