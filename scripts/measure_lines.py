#!/usr/bin/env python3
"""Measures what corvane-sim's checks predict against what its runs show.

  measure_lines.py SIM styles   the stop error by braking style, grade of the
                                approach and approach speed, for the train of
                                examples/metro_train.toml, as a Markdown table
  measure_lines.py SIM lint N   N varied lines laid out as a careful author
                                would, with the usual slips now and then,
                                without them, and then with lint's warnings
                                about stops heeded: of the stops missed, how
                                many lint warned of; of the lines lint calls
                                clean, how many dock every stop
  measure_lines.py SIM layout N  N such lines as their authors know them (no
                                beacons) laid out by `layout`, each result
                                linted and run over the default sweep
  measure_lines.py SIM line PATH N   one such line of N stations, written to PATH

Lines are drawn from a seeded generator, so the figures repeat.
"""
import random
import re
import subprocess
import sys
import tempfile
import tomllib
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
TRAIN = tomllib.loads((ROOT / "examples/metro_train.toml").read_text())
DEMO_TRAIN = tomllib.loads((ROOT / "examples/demo.toml").read_text())
CODES = {"1 left": 12, "2 left": 11, "1 right": 14, "3 right": 17}


def toml_value(v):
    if isinstance(v, str):
        return f'"{v}"'
    if isinstance(v, list):
        return "[" + ", ".join(toml_value(x) for x in v) + "]"
    if isinstance(v, dict):
        return "{ " + ", ".join(f"{k} = {toml_value(x)}" for k, x in v.items()) + " }"
    return repr(v)


class Line:
    """A scenario's text, remembering which station each line serves."""

    def __init__(self, brake_scale=1.0, train=TRAIN):
        dyn = dict(train["dynamics"])
        dyn["decel_by_notch"] = [round(d * brake_scale, 4) for d in dyn["decel_by_notch"]]
        self.text = [f"vehicle = {toml_value(train['vehicle'])}",
                     f"dynamics = {toml_value(dyn)}"]
        self.station_of_line = {}

    def add(self, key, table, station):
        self.text.append(f"[[{key}]]")
        self.station_of_line[len(self.text)] = station
        self.text += [f"{k} = {toml_value(v)}" for k, v in table.items()]

    def write(self, path, run):
        self.text.insert(0, f"run = {toml_value(run)}")
        self.station_of_line = {n + 1: s for n, s in self.station_of_line.items()}
        path.write_text("\n".join(self.text) + "\n")


def sim(binary, path, *args):
    done = subprocess.run([binary, *args, str(path)], capture_output=True, text=True)
    return done.returncode, done.stdout, done.stderr


ROW = re.compile(r"^(\S.*?)\s+(\d+\.\d)\s+(\S+)\s+(\S+)\s+(yes|NO)\b", re.M)


def stops(stdout):
    return [(m.group(1).strip(), m.group(4), m.group(5) == "yes") for m in ROW.finditer(stdout)]


def styles(binary):
    speeds, grades = (40, 60, 80), (-40, -30, -20, -10, 0, 10, 20, 30, 40)
    print("| style (code) | approach km/h | " + " | ".join(f"{g:+d} ‰" for g in grades) + " |")
    print("|---|---|" + "---|" * len(grades))
    with tempfile.TemporaryDirectory() as work:
        for style, code in (("1", 12), ("2", 11), ("3", 17)):
            for v in speeds:
                cells = []
                for g in grades:
                    line = Line()
                    line.add("station", {"name": "A", "stop": 500, "departure": "08:00:30"}, 0)
                    line.add("station", {"name": "B", "stop": 3000, "departure": "08:06:00"}, 1)
                    line.add("limit", {"from": 0, "speed": v}, 1)
                    line.add("gradient", {"from": 1800, "permille": g}, 1)
                    line.add("gradient", {"from": 3000, "permille": 0}, 1)
                    for loc, beacon in ((500, {"location_code": 12}), (500, {"stopping_point": "A"}),
                                        (500, {"station": "A"}), (2000, {"stopping_point": "B"}),
                                        (2010, {"location_code": code}), (2020, {"station": "B"})):
                        line.add("beacon", {"location": loc, **beacon}, 1)
                    path = Path(work) / "style.toml"
                    line.write(path, {"start_location": 500, "start_time": "08:00:00",
                                      "end_location": 3200})
                    row = stops(sim(binary, path, "run", "-q")[1])[1]
                    cells.append(row[1] if row[2] else f"**{row[1]}**")
                print(f"| {style} ({code}) | {v} | " + " | ".join(cells) + " |")


def varied_line(rng, path, slips=True, changes=None, stations=None, level=False):
    """A line of 6 to 11 stations, for the metro train or the demo's, as a
    careful author lays it out, with a
    slip now and then (unless slips is false): a stopping point in a braking
    curve, a limit raised before the rear clears a curve, a location code
    after the station beacon. `changes` maps a station to the (code, limit)
    an author chose after lint's warnings."""
    changes = changes or {}
    chance = (lambda p: rng.random() < p) if slips else (lambda p: False)
    train = rng.choice((TRAIN, DEMO_TRAIN))
    line = Line(rng.uniform(0.92, 1.08), train)
    n = stations or rng.randint(6, 11)
    speed = rng.choice((60, 70, 80, 90))
    stops = [500]
    for _ in range(n - 1):
        stops.append(stops[-1] + rng.randrange(900, 2000, 25))
    length = train["vehicle"]["cars"] * train["vehicle"].get("car_length", 20)
    limits, grades, beacons, sides = [(0, speed, 0)], [], [], {}
    clock = 8 * 3600 + 30
    for k, stop in enumerate(stops):
        name = f"S{k}"
        side = sides[k] = rng.choice(("left", "right"))
        if k == 0:
            beacons += [(stop, {"location_code": 12}, k), (stop, {"stopping_point": name}, k),
                        (stop, {"station": name}, k)]
            line.add("station", {"name": name, "stop": stop, "door_side": -1,
                                 "departure": clock_text(clock)}, k)
            continue
        prev = stops[k - 1]
        # The approach: a grade from the middle of the section to the platform.
        grade = rng.choice((0, 0, rng.randint(-40, 40)))
        grades.append((prev + (stop - prev) // 2, grade, k))
        grades.append((stop - (200 if level else rng.choice((0, 0, 50, 150))), 0, k))
        style = "2" if grade < -10 and side == "left" else "3" if side == "right" and grade > 0 else "1"
        code, approach = changes.get(k, (CODES[f"{style} {side}"], None))
        sp = stop - 600
        if rng.random() < 0.4 and stop - prev > 1300:  # a curve before the platform
            curve = rng.choice((30, 40, 50))
            start = stop - rng.randrange(550, 700, 10)
            end = start + 100
            limits += [(start, curve, k), (end, speed, k)]
            beacons.append((start - 300, {"braking": {"final_speed": curve, "end": start}}, k))
            raise_at = end if chance(0.2) else end + length
            beacons.append((raise_at, {"speed_limit": speed}, k))
            sp = start - 100 if chance(0.25) else raise_at + 10
        at = [sp, sp + 20, sp + 10] if chance(0.15) else [sp, sp + 10, sp + 20]
        station = {"name": name, "limit": approach} if approach else name
        beacons += [(at[0], {"stopping_point": name}, k), (at[1], {"location_code": code}, k),
                    (at[2], {"station": station}, k)]
        clock += int((stop - prev) / (speed / 3.6) * 2) + 60
        line.add("station", {"name": name, "stop": stop, "door_side": -1 if side == "left" else 1,
                             "departure": clock_text(clock)}, k)
    for frm, kmh, k in sorted(limits):
        line.add("limit", {"from": frm, "speed": kmh}, k)
    last = None
    for frm, permille, k in sorted(grades):
        if frm != last:
            line.add("gradient", {"from": frm, "permille": permille}, k)
        last = frm
    for loc, beacon, k in sorted(beacons, key=lambda b: b[0]):
        line.add("beacon", {"location": loc, **beacon}, k)
    line.write(path, {"start_location": 500, "start_time": "08:00:00",
                      "end_location": stops[-1] + 200, "max_duration": 7200})
    line.sides = sides
    line.speed = speed
    return line


def clock_text(seconds):
    return f"{seconds // 3600:02}:{seconds // 60 % 60:02}:{seconds % 60:02}"


def follow_warnings(binary, seed, path):
    """Lays a line out without slips, then as an author heeding lint would:
    for each stop lint expects to miss, the other code for its door side,
    then a lower approach (the station beacon's limit), until lint is clean
    or nothing is left to try. The line, and whether lint is clean."""
    changes, tried = {}, {}
    while True:
        line = varied_line(random.Random(seed), path, False, changes)
        status, _, warnings = sim(binary, path, "lint")
        if status == 0:
            return line, True
        stations = {line.station_of_line.get(int(n))
                    for n in re.findall(r":(\d+): warning: station S\d+: style", warnings)}
        if not stations:
            return line, False
        for k in stations:
            side = line.sides[k]
            options = [(c, None) for c in CODES_BY_SIDE[side]]
            options += [(c, v) for v in (50, 40, 30) for c in CODES_BY_SIDE[side]]
            n = tried.get(k, 0)
            if n >= len(options):
                return line, False
            changes[k], tried[k] = options[n], n + 1


CODES_BY_SIDE = {"left": (12, 11), "right": (17, 14)}


# Between and beside the default sweep's values: what a player's machine and
# train may be, to see whether a layout that docks over the sweep is robust.
DENSE_SWEEP = ["--set", "sweep.brake_scale=[0.95,0.975,1.0,1.025,1.05]",
               "--set", "sweep.load=[0,0.25,0.5,0.75,1]",
               "--set", "sweep.time_step=[0.0333,0.0222,0.0167,0.0111,0.0083]",
               "--set", "sweep.time_step_jitter=[0,0.2]", "--set", "sweep.seed=[1]"]


def docked_share(binary, path, csv, *args):
    """The stops of a sweep with --keep-going: how many, docked, within ±0.3 m,
    and the limits it broke."""
    text = sim(binary, path, "sweep", "--keep-going", "--csv", str(csv), *args)[1]
    runs = docked = within = 0
    for row in csv.read_text().splitlines()[1:]:
        cells = row.split(",")
        error, ok = cells[-3], cells[-2] == "yes"
        runs += 1
        docked += ok
        within += error != "" and abs(int(error)) <= 30
    return runs, docked, within, text.count("through the")


DEFAULT_SWEEP = ("sweep = { brake_scale = [0.95, 1.0, 1.05], time_step = [0.0333, 0.0167, 0.0083], "
                 "time_step_jitter = [0.2], seed = [1, 2], load = [0, 1] }")


def description(rng, path):
    """A varied line as its author knows it: the stations, limits and grades
    of varied_line with platforms level for their last 200 m, without its
    beacons, with the layout's default sweep."""
    line = varied_line(rng, path, False, level=True)
    text = path.read_text()
    keep = text[:text.index("[[beacon]]")] if "[[beacon]]" in text else text
    path.write_text(keep.replace("run = {", DEFAULT_SWEEP + "\nrun = {", 1))
    return line


def layout(binary, count):
    import time
    docked = within = runs = broken = warned = failed = undocked = 0
    dense, nominal = [0, 0, 0], [0, 0]
    seconds = []
    with tempfile.TemporaryDirectory() as work:
        for i in range(count):
            path, out = Path(work) / f"line{i}.toml", Path(work) / f"laid{i}.toml"
            description(random.Random(1000 + i), path)
            started = time.monotonic()
            status, table, _ = sim(binary, path, "layout", "-o", str(out))
            undocked += table.count("does NOT dock")
            seconds.append(time.monotonic() - started)
            if not out.exists():
                failed += 1
                continue
            warned += sim(binary, out, "lint")[0] != 0
            counts = docked_share(binary, out, Path(work) / "runs.csv")
            runs, docked, within, broken = (
                a + b for a, b in zip((runs, docked, within, broken), counts))
            counts = docked_share(binary, out, Path(work) / "dense.csv", *DENSE_SWEEP)
            dense = [a + b for a, b in zip(dense, counts[:3])]
            rows = stops(sim(binary, out, "run", "-q", "--keep-going")[1])[1:]
            nominal = [nominal[0] + len(rows), nominal[1] + sum(ok for _, _, ok in rows)]
    print(f"{count} lines: {failed} not laid out, {undocked} stations said not to dock, "
          f"{warned} files with lint warnings; {runs} stops run over "
          f"the sweep: {docked} docked ({100 * docked / max(runs, 1):.1f} %), {within} within "
          f"±0.3 m ({100 * within / max(runs, 1):.1f} %); {broken} limits broken; "
          f"as the files have it {nominal[1]} of {nominal[0]} docked; "
          f"over the dense sweep {dense[1]} of {dense[0]} docked ({100 * dense[1] / max(dense[0], 1):.1f} %), "
          f"{100 * dense[2] / max(dense[0], 1):.1f} % within ±0.3 m; "
          f"{max(seconds):.1f} s the longest layout, {sum(seconds) / len(seconds):.1f} s on average")


def lint(binary, count):
    with tempfile.TemporaryDirectory() as work:
        for population in ("slips", "careful", "heeded"):
            missed = warned_missed = clean = clean_docked = all_stops = 0
            for i in range(count):
                path = Path(work) / f"line{i}.toml"
                if population == "heeded":
                    line, _ = follow_warnings(binary, i, path)
                else:
                    line = varied_line(random.Random(i), path, population == "slips")
                status, _, warnings = sim(binary, path, "lint")
                warned = {line.station_of_line.get(int(n))
                          for n in re.findall(r":(\d+): warning", warnings)}
                _, out, _ = sim(binary, path, "run", "-q", "--keep-going")
                rows = stops(out)[1:]  # the first is the start
                all_stops += len(rows)
                for k, (_, _, docked) in enumerate(rows, start=1):
                    if not docked:
                        missed += 1
                        warned_missed += k in warned
                if status == 0:
                    clean += 1
                    clean_docked += all(docked for _, _, docked in rows) and "ran " not in out
            print(f"{population}: {count} lines, {all_stops} stops: {missed} missed, "
                  f"{warned_missed} of them warned; {clean} lines lint clean, {clean_docked} of "
                  "them docked every stop with no limit broken")


if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[2] not in ("styles", "lint", "line", "layout"):
        sys.exit(__doc__)
    if sys.argv[2] == "styles":
        styles(sys.argv[1])
    elif sys.argv[2] == "layout":
        layout(sys.argv[1], int(sys.argv[3]) if len(sys.argv) > 3 else 10)
    elif sys.argv[2] == "line":
        varied_line(random.Random(1), Path(sys.argv[3]), False, stations=int(sys.argv[4]))
    else:
        lint(sys.argv[1], int(sys.argv[3]) if len(sys.argv) > 3 else 30)
