#!/usr/bin/env python3
"""Draws lines as real metro lines are, as their authors know them (no beacons),
for corvane-sim's layout, and measures the layout on them.

  real_lines.py draw DIR N [SEED] [--today]       N line descriptions written to DIR
  real_lines.py measure SIM DIR N [SEED] [--today]  N lines drawn, laid out and each
                                        written file linted and run over the
                                        sweep it carries (the driver's
                                        correction off, each stop judged on
                                        its own); the figures as a Markdown
                                        table
--today draws the lines measure_lines.py draws for the layout instead:
single line speeds, stations 900 to 2,000 m apart, platforms level for
their last 200 m, curves 550 to 700 m before a platform.

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
import csv
import random
import resource
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
        # a timetable with time to spare: the dwell, and the section at 25 km/h on average
        seconds += 60 + (stops[k + 1] - stop) // 7 if k + 1 < n else 0
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


def draw_all(folder, count, seed, today=False):
    folder.mkdir(parents=True, exist_ok=True)
    paths = []
    for i in range(count):
        path = folder / f"{'today' if today else 'real'}{seed + i}.toml"
        if today:
            sys.path.insert(0, str(ROOT / "scripts"))
            import measure_lines
            measure_lines.description(random.Random(seed + i), path)
        else:
            path.write_text(draw(random.Random(seed + i), f"L{seed + i}"))
        paths.append(path)
    return paths


def cpu():
    """CPU seconds of the finished child processes and theirs."""
    used = resource.getrusage(resource.RUSAGE_CHILDREN)
    return used.ru_utime + used.ru_stime


def sim(binary, *args):
    done = subprocess.run([binary, *map(str, args)], capture_output=True, text=True)
    return done.returncode, done.stdout, done.stderr


# What the layout says of a station that does not dock, by the words it begins with.
CAUSES = {"the train cannot leave": "cannot leave the stop before",
          "it runs through": "runs through on the fall", "it overruns": "overruns",
          "it stops short": "stops short", "the brake's spread": "spread wider than the window",
          "no choice stands": "no choice within the window", "on the whole line's": "only from the stop before",
          "from ": "docks with too little to spare", "in ": "some runs never reach it"}
REMEDIES = {"none of these": "none found", "allow_other_side": "the other side's code",
            "m into the stop": "a platform grade",
            "‰ under": "a grade under the stop before", "brakes ×0": "weaker brakes",
            "brakes ×": "stronger brakes",
            "power ×": "more power", "brakes that vary": "steadier brakes"}


def verdicts(table):
    """The causes and remedies the layout gave its stations that do not dock."""
    found = []
    for line in table.splitlines():
        if "does NOT dock: " not in line:
            continue
        said = line.split("does NOT dock: ", 1)[1]
        cause = next((v for k, v in CAUSES.items() if said.startswith(k)), "other")
        remedy = next((v for k, v in REMEDIES.items() if k in said), "none named")
        found.append((cause, remedy))
    return found


def swept(binary, path):
    """The stops of the file's own sweep, the driver's correction off, each
    stop judged on its own: (stops, docked, within ±0.3 m, runs above a limit)."""
    table = path.with_suffix(".csv")
    _, out, _ = sim(binary, "sweep", "--keep-going", "--set", "doors.correct_short_stops=false",
                    "--csv", table, path)
    with table.open(newline="") as f:
        stops = [r for r in csv.DictReader(f) if r["docked"] != "behind"]
    docked = [r for r in stops if r["docked"] == "yes"]
    tight = [r for r in docked if abs(int(r["error_cm"])) <= 30]
    return len(stops), len(docked), len(tight), out.count("through the")


def measure(binary, folder, count, seed, today=False):
    rows, causes = [], {}
    totals = dict.fromkeys(("stops", "docked", "tight", "broken", "clean", "refused", "undocked"), 0)
    seconds, cpus = [], []
    for path in draw_all(folder, count, seed, today):
        out = path.with_suffix(".laid.toml")
        out.unlink(missing_ok=True)
        started, used = time.monotonic(), cpu()
        status, table, err = sim(binary, "layout", path, "-o", out)
        seconds.append(time.monotonic() - started)
        cpus.append(cpu() - used)
        if status == 2 or not out.exists():
            totals["refused"] += 1
            rows.append(f"| {path.name} | refused: {err.strip()[:80]} |")
            continue
        lint_status = sim(binary, "lint", out)[0]
        totals["clean"] += lint_status == 0
        stops, docked, tight, broken = swept(binary, out)
        said = verdicts(table)
        for v in said:
            causes[v] = causes.get(v, 0) + 1
        for key, n in zip(("stops", "docked", "tight", "broken", "undocked"),
                          (stops, docked, tight, broken, len(said))):
            totals[key] += n
        rows.append(f"| {path.name} | {docked}/{stops} | {tight} | {lint_status} "
                    f"| {broken} | {len(said)} | {seconds[-1]:.1f} | {cpus[-1]:.1f} |")
    print("| line | stops docked | within ±0.3 m | lint status | runs above a limit "
          "| said not to dock | layout s | CPU s |")
    print("|---|---|---|---|---|---|---|---|")
    print("\n".join(rows))
    stops = max(totals["stops"], 1)
    print(f"\n{count} lines: {100 * totals['docked'] / stops:.1f} % of {totals['stops']} stops docked, "
          f"{100 * totals['tight'] / stops:.1f} % within ±0.3 m; {totals['clean']} of {count} files "
          f"lint clean; {totals['broken']} runs above a limit; {totals['refused']} lines refused; "
          f"{totals['undocked']} stations said not to dock; layout {sum(seconds) / len(seconds):.1f} s "
          f"on average, {max(seconds):.1f} s the longest; CPU {sum(cpus) / len(cpus):.1f} s on "
          f"average, {max(cpus):.1f} s the most")
    for (cause, remedy), n in sorted(causes.items(), key=lambda x: -x[1]):
        print(f"  {n} x {cause}; remedy: {remedy}")


def main():
    args = [a for a in sys.argv[1:] if a != "--today"]
    today = "--today" in sys.argv
    if len(args) >= 3 and args[0] == "draw":
        draw_all(Path(args[1]), int(args[2]), int(args[3]) if len(args) > 3 else 3000, today)
    elif len(args) >= 4 and args[0] == "measure":
        measure(args[1], Path(args[2]), int(args[3]), int(args[4]) if len(args) > 4 else 3000,
                today)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
