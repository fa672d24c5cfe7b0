#!/usr/bin/env python3
"""A board for the Houndex live results feed: connects, shows each heat's
latest results as they change, and reconnects when the connection drops.

    python3 docs/results_feed_client.py [--host 127.0.0.1] [--port 4720] [--lines N]

--lines N ends after N lines (for scripts); without it the board runs until Ctrl+C.
Only the standard library is used.
"""
import argparse
import json
import socket
import sys
import time


def show(message):
    """Prints one heat as a small board: rank, box, dog, time."""
    heat = message["heat"]
    status = heat["status"].upper()
    print(f"== {heat['event']} - heat {heat['heat_id']} {heat['heat_name']} ({status}, {message['change']})")
    for row in heat["results"]:
        rank = row["rank"] if row["rank"] is not None else "-"
        time_text = row["time"] if row["result"] == "time" else row["result"]
        mark = " dead heat" if row["dead_heat"] else ""
        print(f"  {rank:>3}  box {row['box']}  {row['dog']:<28} {time_text}{mark}")
    sys.stdout.flush()


def run(host, port, lines):
    seen = 0
    while lines is None or seen < lines:
        try:
            with socket.create_connection((host, port), timeout=10) as conn:
                conn.settimeout(None)
                # Each line is one whole heat: a board that missed lines is right again with the next.
                for raw in conn.makefile("r", encoding="utf-8", newline="\n"):
                    message = json.loads(raw)
                    if "refused" in message:
                        print(f"feed refused this board: {message['refused']}", file=sys.stderr)
                        break
                    show(message)
                    seen += 1
                    if lines is not None and seen >= lines:
                        return 0
        except OSError as error:
            print(f"feed not reachable ({error}); trying again", file=sys.stderr)
        if lines is not None:
            return 1
        time.sleep(2)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=4720)
    parser.add_argument("--lines", type=int, default=None)
    args = parser.parse_args()
    try:
        return run(args.host, args.port, args.lines)
    except KeyboardInterrupt:
        return 0


if __name__ == "__main__":
    sys.exit(main())
