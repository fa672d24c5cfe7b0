#!/usr/bin/env python3
"""The judge's assistant's figures per camera format, summed over meeting folders.

Usage: assistant_figures.py [--why] MEETING_DIR...  (each holding the meeting.json of one seed)
Prints one Markdown table row per format; with --why also, per format, how often each reason for
proposing nothing was given (finishers only), how far the wrong fields were from the right one, and
the estimates out of tolerance.
"""
import json
import re
import sys
from collections import Counter, defaultdict

KEYS = ("finishers", "proposed", "first_field_right", "estimates", "estimates_within", "pairs",
        "pairs_in_order", "unsure", "entered", "slowest_ms")


def format_order(fmt):
    """By rate, then by size: "720*576/25i" before "1920*1080/25i"."""
    size, _, rate = fmt.partition("/")
    width = int(size.split("*")[0]) if "*" in size else 0
    return (int(rate[:-1] or 0), width)


def reason(doubt):
    """A doubt without the field number it names ("nose on the line in field 35")."""
    return re.sub(r" \d+$", " N", doubt or "(none given)")


def main(folders, why=False):
    by_format = defaultdict(lambda: defaultdict(int))
    seeds = defaultdict(list)
    doubts = defaultdict(Counter)
    misses = defaultdict(Counter)
    outside = defaultdict(list)
    for folder in folders:
        with open(f"{folder}/meeting.json", encoding="utf-8") as f:
            meeting = json.load(f)
        # "1920*1080/25i": the two interlaced sizes read differently.
        fmt = meeting["camera_format"]
        a = meeting.get("assistant", {})
        for k in KEYS:
            if k == "slowest_ms":
                by_format[fmt][k] = max(by_format[fmt][k], a.get(k, 0))
            else:
                by_format[fmt][k] += a.get(k, 0)
        by_format[fmt]["tolerance_ms"] = a.get("tolerance_ms", 0)
        seeds[fmt].append(meeting["seed"])
        tolerance = a.get("tolerance_ms", 0)
        for heat in meeting.get("heats", []):
            for d in heat.get("dogs", []):
                if not d.get("position"):
                    continue  # its crossing is not in the recording
                if d.get("proposed_field") is None:
                    doubts[fmt][reason(d.get("doubt"))] += 1
                    continue
                off = d["proposed_field"] - d["position"]
                if off:
                    misses[fmt][f"{off:+d} field{'s' if abs(off) > 1 else ''}"] += 1
                est = d.get("estimate_ms")
                if est is not None and abs(est - (d["crossing_ms"] + 2)) > tolerance:
                    outside[fmt].append(est - (d["crossing_ms"] + 2))

    def share(n, of):
        return f"{100.0 * n / of:.1f} %" if of else "-"

    print("| format | seeds | finishers | proposed | first field right | estimate within | "
          "pairs > 0.02 s in order | unsure | slowest heat |")
    print("|---|---|---|---|---|---|---|---|---|")
    for fmt in sorted(by_format, key=format_order):
        a = by_format[fmt]
        print(f"| {fmt} | {','.join(map(str, sorted(seeds[fmt])))} | {a['finishers']} | "
              f"{a['proposed']} ({share(a['proposed'], a['finishers'])}) | "
              f"{a['first_field_right']} ({share(a['first_field_right'], a['proposed'])}) | "
              f"±{a['tolerance_ms']} ms: {a['estimates_within']} of {a['estimates']} "
              f"({share(a['estimates_within'], a['estimates'])}) | "
              f"{a['pairs_in_order']} of {a['pairs']} | {a['unsure']} | {a['slowest_ms']} ms |")
    if not why:
        return
    for fmt in sorted(by_format, key=format_order):
        print(f"\n{fmt}: unsure {sum(doubts[fmt].values())}")
        for text, n in doubts[fmt].most_common():
            print(f"  {n:4d}  {text}")
        print(f"{fmt}: wrong fields (proposed minus right) "
              + (", ".join(f"{k}: {n}" for k, n in sorted(misses[fmt].items())) or "none"))
        errs = sorted(outside[fmt])
        print(f"{fmt}: estimates out of tolerance (ms) " + (" ".join(f"{e:+.1f}" for e in errs) or "none"))


if __name__ == "__main__":
    args = sys.argv[1:]
    show_why = "--why" in args
    args = [a for a in args if a != "--why"]
    if not args:
        sys.exit(__doc__)
    main(args, show_why)
