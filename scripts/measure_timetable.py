#!/usr/bin/env python3
"""Measures lint's earliest departures against the run's, section by section.

  measure_timetable.py BUILD [N]

N lines (60 by default) drawn and laid out as measure_lines.py's author
heeding lint does (6 to 11 stations, the metro train or the demo's, grades,
curves before platforms), every departure then set to the start's time so
that the train leaves each station as soon as it can. BUILD is the build
folder, with sim/corvane-sim and bench/timetable_forecast. A section runs from leaving one
station to leaving the next; prints how far lint's section is from the
run's (lint minus run, in s): the mean, the spread and the worst, and how
many sections are more than 2 s off.
"""
import re
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from measure_lines import follow_warnings  # noqa: E402

TOLERANCE = 2  # s a section may be off


def main(build, count):
    with tempfile.TemporaryDirectory() as work:
        paths = []
        for i in range(count):
            path = Path(work) / f"line{i}.toml"
            follow_warnings(str(Path(build) / "sim/corvane-sim"), i, path)
            path.write_text(re.sub(r'departure = "[0-9:]+"', 'departure = "08:00:00"',
                                   path.read_text()))
            paths.append(str(path))
        rows = subprocess.run([str(Path(build) / "bench/timetable_forecast"), *paths],
                              capture_output=True, text=True,
                              check=True).stdout.splitlines()
    offs, last = [], {}
    for row in rows:
        path, _, lint, run = row.split("\t")[:4]
        if lint == "-" or run == "-":
            last.pop(path, None)
            continue
        lint, run = float(lint), float(run)
        if path in last:
            offs.append((lint - last[path][0]) - (run - last[path][1]))
        last[path] = (lint, run)
    off = sum(abs(o) > TOLERANCE for o in offs)
    print(f"{len(offs)} sections: lint minus run {statistics.mean(offs):+.2f} s on average "
          f"(sd {statistics.pstdev(offs):.2f}), from {min(offs):+.2f} to {max(offs):+.2f}; "
          f"{off} more than {TOLERANCE} s off")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 60)
