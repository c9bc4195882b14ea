#!/usr/bin/env python3
"""Draws lines as real metro lines are, as their authors know them (no beacons),
for corvane-sim's layout, and measures the layout on them.

  real_lines.py draw DIR N [SEED]       N line descriptions written to DIR
  real_lines.py measure SIM DIR N [SEED]  N lines drawn, laid out and each
                                        written file linted and swept;
                                        the figures as a Markdown table

What varies, from line to line and section to section:
- 6 to 11 stations, 400 m to 2 km apart;
- the line speed of each section, changing at a platform: before it, at it
  or just past it (10 to 200 m);
- curves of 30 to 50 km/h anywhere, some 100 m past a platform, and
  stretches shorter than the train;
- dips that fall out of a station and rise into the next (up to 40 per
  mille), crests, platforms on a grade and at the foot of a fall;
- crossovers before the first station and past the last stop;
- the metro train or the demo train, brakes 0.92 to 1.08 times theirs;
- doors left or right.
Lines are drawn from a seeded generator, so the figures repeat.
"""
import random
import re
import subprocess
import sys
import time
import tomllib
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
TRAINS = [tomllib.loads((ROOT / f"examples/{name}.toml").read_text())
          for name in ("metro_train", "demo")]


def toml_value(v):
    if isinstance(v, str):
        return '"' + v.replace("\\", "\\\\").replace('"', '\\"') + '"'
    if isinstance(v, list):
        return "[" + ", ".join(toml_value(x) for x in v) + "]"
    if isinstance(v, dict):
        return "{ " + ", ".join(f"{k} = {toml_value(x)}" for k, x in v.items()) + " }"
    return repr(v)


def clock(seconds):
    return f"{seconds // 3600:02}:{seconds // 60 % 60:02}:{seconds % 60:02}"


def limits_of(rng, stops, length):
    """The line's limits: a speed for each section that changes near a
    platform, curves, and crossovers at both ends."""
    limits = {0: rng.choice((40, 60))}  # a crossover before the first station
    limits[stops[0] - rng.choice((150, 300))] = rng.choice((60, 70, 80, 90))
    for k in range(1, len(stops)):
        prev, stop = stops[k - 1], stops[k]
        speed = rng.choice((50, 60, 70, 80, 90))
        change = rng.choice(("before", "at", "after", "after", "none"))
        if change == "before":
            limits[stop - rng.choice((50, 150, 300))] = speed
        elif change == "at":
            limits[stop] = speed
        elif change == "after":
            limits[stop + rng.choice((10, 50, 100, 200))] = speed
        if rng.random() < 0.35 and stop - prev > 700:  # a curve somewhere in the section
            at = rng.randrange(prev + 150, stop - 250, 25)
            curve_end = at + rng.choice((60, 100, 200, 300))  # some shorter than the train
            limits = with_stretch(limits, at, curve_end, rng.choice((30, 40, 50)))
        if rng.random() < 0.25:  # a curve just past the platform before
            at = prev + rng.choice((60, 100, 150))
            limits = with_stretch(limits, at, at + rng.choice((80, 150, 250)), rng.choice((30, 40, 50)))
    last = stops[-1]
    limits = with_stretch(limits, last + 60, last + 60 + max(80, length), 30)  # the terminus
    return sorted(limits.items())


def with_stretch(limits, start, end, speed):
    """The limits with a lower stretch from start to end, the speed before it
    returning after it."""
    before = [v for x, v in sorted(limits.items()) if x <= start]
    after = [v for x, v in sorted(limits.items()) if x <= end]
    out = {x: v for x, v in limits.items() if not start <= x <= end}
    out[start] = min(speed, before[-1] if before else speed)
    out[end] = after[-1] if after else speed
    return out


def grades_of(rng, stops):
    """Dips, crests and level stretches; platforms level, on a grade, or at
    the foot of a fall."""
    grades = {}
    for k in range(1, len(stops)):
        prev, stop = stops[k - 1], stops[k]
        gap = stop - prev
        shape = rng.choice(("level", "dip", "crest", "fall", "rise", "foot"))
        steep = rng.randint(10, 40)
        mid = prev + gap // 2
        platform = rng.choice((0, 0, 0, 3, -3, 5, -5, 10))  # the last 200 m into the stop
        if shape == "dip":
            grades[prev + 150] = -steep
            grades[mid] = steep
        elif shape == "crest":
            grades[prev + 150] = min(steep, 30)
            grades[mid] = -min(steep, 30)
        elif shape in ("fall", "rise"):
            grades[prev + gap // 3] = -steep if shape == "fall" else steep
        elif shape == "foot":  # the fall ends at the platform's end
            grades[prev + gap // 3] = -steep
            grades[stop - 120] = 0
            continue
        if shape != "level" or platform:
            grades[max(mid + 1, stop - 200)] = platform
        grades[stop + 100] = 0
    return sorted(grades.items())


def draw(rng, name):
    """One line description, as text."""
    train = rng.choice(TRAINS)
    dyn = dict(train["dynamics"])
    dyn["decel_by_notch"] = [round(d * rng.uniform(0.92, 1.08), 4) for d in dyn["decel_by_notch"]]
    length = train["vehicle"]["cars"] * train["vehicle"].get("car_length", 20)
    n = rng.randint(6, 11)
    stops = [500]
    for _ in range(n - 1):
        stops.append(stops[-1] + rng.choice((rng.randrange(400, 700, 25), rng.randrange(700, 2000, 25))))
    seconds, stations = 8 * 3600 + 30, []
    for k, stop in enumerate(stops):
        stations.append({"name": f"{name}-{k}", "stop": stop, "door_side": rng.choice((-1, 1)),
                         "departure": clock(seconds)})
        seconds += 40 + (stops[k + 1] - stop) // 8 if k + 1 < n else 0
    run = {"start_location": stops[0], "start_time": "08:00:00", "end_location": stops[-1] + 300,
           "max_duration": 7200}
    text = [f"# {name}: {n} stations, drawn by scripts/real_lines.py",
            f"run = {toml_value(run)}", f"vehicle = {toml_value(train['vehicle'])}",
            f"dynamics = {toml_value(dyn)}", "station = ["]
    text += [f"  {toml_value(s)}," for s in stations] + ["]", "limit = ["]
    text += [f"  {{ from = {x}, speed = {v} }}," for x, v in limits_of(rng, stops, length)]
    text += ["]", "gradient = ["]
    text += [f"  {{ from = {x}, permille = {g} }}," for x, g in grades_of(rng, stops)]
    return "\n".join(text + ["]"]) + "\n"


def draw_all(folder, count, seed):
    folder.mkdir(parents=True, exist_ok=True)
    paths = []
    for i in range(count):
        path = folder / f"real{seed + i}.toml"
        path.write_text(draw(random.Random(seed + i), f"L{seed + i}"))
        paths.append(path)
    return paths


def sim(binary, *args):
    done = subprocess.run([binary, *map(str, args)], capture_output=True, text=True)
    return done.returncode, done.stdout, done.stderr


SWEPT = re.compile(r"^(\S+)\s+(\d+)\s+(\d+)\s+(\S+)\s+(\S+)\s+(\S+)\s", re.M)


def measure(binary, folder, count, seed):
    rows, totals = [], {"runs": 0, "docked": 0, "tight": 0, "broken": 0, "clean": 0, "refused": 0}
    for path in draw_all(folder, count, seed):
        out = path.with_suffix(".laid.toml")
        started = time.monotonic()
        status, table, err = sim(binary, "layout", path, "-o", out)
        seconds = time.monotonic() - started
        if status == 2 or not out.exists():
            totals["refused"] += 1
            rows.append(f"| {path.name} | refused: {err.strip()[:80]} |")
            continue
        lint_status, _, warnings = sim(binary, "lint", out)
        totals["clean"] += lint_status == 0
        _, swept, _ = sim(binary, "sweep", "--csv", out.with_suffix(".csv"), "--keep-going", out)
        csv = out.with_suffix(".csv").read_text().splitlines()[1:]
        docked = sum(",yes," in r for r in csv)
        tight = sum(1 for r in csv if ",yes," in r and abs(int(r.split(",")[-3] or 999)) <= 30)
        broken = swept.count(" limit from ") + swept.count(" limit at ")
        not_docking = table.count("does NOT dock")
        totals["runs"] += len(csv)
        totals["docked"] += docked
        totals["tight"] += tight
        totals["broken"] += broken
        rows.append(f"| {path.name} | {docked}/{len(csv)} | {tight} | {lint_status} "
                    f"| {broken} | {not_docking} | {seconds:.1f} |")
    print("| line | stops docked | within ±0.3 m | lint status | limits broken | said not to dock | layout s |")
    print("|---|---|---|---|---|---|---|")
    print("\n".join(rows))
    runs = max(totals["runs"], 1)
    print(f"\n{100 * totals['docked'] / runs:.1f} % docked, {100 * totals['tight'] / runs:.1f} % "
          f"within ±0.3 m, {totals['clean']} of {count} files lint clean, "
          f"{totals['broken']} limits broken, {totals['refused']} lines refused")


def main():
    if len(sys.argv) >= 4 and sys.argv[1] == "draw":
        draw_all(Path(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]) if len(sys.argv) > 4 else 3000)
    elif len(sys.argv) >= 5 and sys.argv[1] == "measure":
        measure(sys.argv[2], Path(sys.argv[3]), int(sys.argv[4]),
                int(sys.argv[5]) if len(sys.argv) > 5 else 3000)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
