#!/usr/bin/env python3
"""Times `tabulo-cli script` (an INSERT script of 1 M rows x 10 columns) against the sqlite3 shell's
.dump of the same table, both to /dev/null, in one run; prints the ratio. Reports only."""
import os, subprocess, sys, time
sys.path.insert(0, os.path.dirname(__file__))
from make_bench_db import make

def run(cmd):
    t = time.perf_counter()
    with open(os.devnull, "wb") as null:
        subprocess.run(cmd, stdout=null, check=True)
    return time.perf_counter() - t

def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    db = make(os.path.join(build, "bench.sqlite"), rows)
    cli = [os.path.join(build, "tabulo-cli"), "--connect", "Provider=SQLite;Data Source=" + db, "script", "bench",
           "--type", "insert"]
    peer = ["sqlite3", db, ".dump bench"]
    best_peer = min(run(peer) for _ in range(3))
    print(f"rows={rows}   sqlite3 .dump: {best_peer:.3f} s")
    for dialect in ("sqlite", "mssql"):
        best = min(run(cli + ["--dialect", dialect]) for _ in range(3))
        print(f"tabulo-cli script --dialect {dialect}: {best:.3f} s   ratio {best / best_peer:.2f}x")

if __name__ == "__main__":
    main()
