#!/usr/bin/env python3
"""The judge's assistant's figures per camera format, summed over meeting folders.

Usage: assistant_figures.py MEETING_DIR...  (each holding the meeting.json of one seed)
Prints one Markdown table row per format.
"""
import json
import sys
from collections import defaultdict

KEYS = ("finishers", "proposed", "first_field_right", "estimates", "estimates_within", "pairs",
        "pairs_in_order", "unsure", "entered", "slowest_ms")


def main(folders):
    by_format = defaultdict(lambda: defaultdict(int))
    seeds = defaultdict(list)
    for folder in folders:
        with open(f"{folder}/meeting.json", encoding="utf-8") as f:
            meeting = json.load(f)
        fmt = meeting["camera_format"].split("/")[-1]
        a = meeting.get("assistant", {})
        for k in KEYS:
            if k == "slowest_ms":
                by_format[fmt][k] = max(by_format[fmt][k], a.get(k, 0))
            else:
                by_format[fmt][k] += a.get(k, 0)
        by_format[fmt]["tolerance_ms"] = a.get("tolerance_ms", 0)
        seeds[fmt].append(meeting["seed"])

    def share(n, of):
        return f"{100.0 * n / of:.1f} %" if of else "-"

    print("| format | seeds | finishers | proposed | first field right | estimate within | "
          "pairs > 0.02 s in order | unsure | slowest heat |")
    print("|---|---|---|---|---|---|---|---|---|")
    for fmt in sorted(by_format, key=lambda f: (int(f[:-1]), f[-1])):
        a = by_format[fmt]
        print(f"| {fmt} | {','.join(map(str, sorted(seeds[fmt])))} | {a['finishers']} | "
              f"{a['proposed']} ({share(a['proposed'], a['finishers'])}) | "
              f"{a['first_field_right']} ({share(a['first_field_right'], a['proposed'])}) | "
              f"±{a['tolerance_ms']} ms: {a['estimates_within']} of {a['estimates']} "
              f"({share(a['estimates_within'], a['estimates'])}) | "
              f"{a['pairs_in_order']} of {a['pairs']} | {a['unsure']} | {a['slowest_ms']} ms |")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    main(sys.argv[1:])
