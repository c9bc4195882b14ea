#!/usr/bin/env python3
"""Measures lint's forecast of each stop against where the run stops.

  measure_forecast.py STOP_FORECAST [N] [--creeping]

N lines (300 by default), drawn from a seeded generator so the figures
repeat, each a run from one station into the next: the metro train or the
demo's, its brakes scaled 0.9 to 1.1, a time step of 1/30 to 1/120 s, an
approach of 20 to 80 km/h, the final-braking style of location code 12, 11,
14 or 17, and a platform that is level or lies at the foot of a fall or the
top of a rise of 5 to 35 per mille. STOP_FORECAST is bench/stop_forecast
from the build; it runs each line and prints lint's forecast beside the run.
Prints the mean and worst |forecast - run| in cm, by style and overall, the
same over the runs that stop within 1 m, and the stops on the wrong side of
lint's 0.35 m edge. With --creeping the approaches are 10 to 25 km/h instead,
in 5 km/h steps, as the layout creeps in where nothing faster docks.
"""
import random
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from measure_lines import DEMO_TRAIN, TRAIN, Line  # noqa: E402

EDGE = 35  # cm: lint warns of a stop forecast farther off
NEAR = 100  # cm: the runs that stop this close, where the edge is decided
STYLES = {12: 1, 11: 2, 14: 1, 17: 3}
STOP = 2500


def draw(rng, path, creeping=False):
    """One line, and what was drawn for it."""
    train = dict(rng.choice((TRAIN, DEMO_TRAIN)))
    train["vehicle"] = {**train["vehicle"], "load": round(rng.random(), 2)}
    scale, code = rng.choice((0.9, 0.95, 1.0, 1.05, 1.1)), rng.choice(tuple(STYLES))
    step, speed = rng.choice((30, 45, 60, 90, 120)), rng.randrange(20, 81, 10)
    if creeping:
        speed = rng.randrange(10, 26, 5)
    grade = rng.choice((0, 1)) * rng.choice((-1, 1)) * rng.randint(5, 35)
    line = Line(scale, train)
    line.add("station", {"name": "A", "stop": 500, "departure": "08:00:30"}, 0)
    line.add("station", {"name": "B", "stop": STOP, "departure": "08:06:00"}, 1)
    line.add("limit", {"from": 0, "speed": speed}, 1)
    if grade:
        line.add("gradient", {"from": STOP - rng.randrange(150, 701, 50), "permille": grade}, 1)
        line.add("gradient", {"from": STOP + rng.choice((0, 0, 100)), "permille": 0}, 1)
    for loc, beacon in ((500, {"location_code": 12}), (500, {"stopping_point": "A"}),
                        (500, {"station": "A"}), (STOP - 600, {"stopping_point": "B"}),
                        (STOP - 590, {"location_code": code}), (STOP - 580, {"station": "B"})):
        line.add("beacon", {"location": loc, **beacon}, 1)
    line.write(path, {"start_location": 500, "start_time": "08:00:00", "end_location": STOP + 200,
                      "time_step": round(1 / step, 6)})
    return STYLES[code]


def summary(name, pairs):
    misses = [abs(f - r) for f, r in pairs]
    near = [abs(f - r) for f, r in pairs if abs(r) <= NEAR]
    wrong = sum((abs(f) > EDGE) != (abs(r) > EDGE) for f, r in pairs)
    return (f"| {name} | {len(pairs)} | {sum(misses) / len(misses):.1f} | {max(misses)} | "
            f"{len(near)} | {sum(near) / max(len(near), 1):.1f} | {max(near, default=0)} | "
            f"{wrong} |")


def main(binary, count, creeping):
    with tempfile.TemporaryDirectory() as work:
        style_of = {}
        for i in range(count):
            path = Path(work) / f"line{i}.toml"
            style_of[str(path)] = draw(random.Random(i), path, creeping)
        rows = subprocess.run([binary, *style_of], capture_output=True, text=True,
                              check=True).stdout.splitlines()
    by_style = {}
    for row in rows:
        path, _, forecast, run = row.split("\t")
        if forecast != "-" and run != "-":
            by_style.setdefault(style_of[path], []).append((int(forecast), int(run)))
    print("| style | stops | mean cm | worst cm | runs within 1 m | their mean cm | their worst cm "
          "| wrong side of 0.35 m |")
    print("|---|---|---|---|---|---|---|---|")
    for style in sorted(by_style):
        print(summary(str(style), by_style[style]))
    print(summary("all", [p for pairs in by_style.values() for p in pairs]))


if __name__ == "__main__":
    args = [a for a in sys.argv[1:] if a != "--creeping"]
    if not args:
        sys.exit(__doc__)
    main(args[0], int(args[1]) if len(args) > 1 else 300, "--creeping" in sys.argv)
