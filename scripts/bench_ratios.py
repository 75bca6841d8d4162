"""Prints, per benchmark case, each peer's time and our time as a ratio of it."""
import json
import sys
from collections import defaultdict

cases = defaultdict(dict)
for bench in json.load(open(sys.argv[1]))["benchmarks"]:
    if bench.get("run_type") == "aggregate":
        continue
    name = bench["name"].split("/")
    if len(name) < 2:
        continue
    cases[name[0]][name[1]] = bench["real_time"], bench["time_unit"]

for case, runs in cases.items():
    ours = runs.get("Norv") or runs.get("Format")
    line = [f"{case}:"]
    for who, (time, unit) in runs.items():
        line.append(f"{who} {time:.1f} {unit}")
    if ours:
        for who, (time, _) in runs.items():
            if (who, time) != ("Norv", ours[0]) and time > 0 and runs.get(who) is not ours:
                line.append(f"ours/{who} = {ours[0] / time:.2f}")
    print("  ".join(line))
