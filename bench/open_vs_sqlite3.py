#!/usr/bin/env python3
"""Times `tabulo-cli open` of 1 M rows x 10 columns against the sqlite3 shell's CSV output of the same
SELECT, both to /dev/null, in one run; prints the ratio and our peak memory against the file size."""
import os, resource, subprocess, sys, time
sys.path.insert(0, os.path.dirname(__file__))
from make_bench_db import make

def run(cmd):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    t = time.perf_counter()
    with open(os.devnull, "wb") as null:
        subprocess.run(cmd, stdout=null, check=True)
    return time.perf_counter() - t

def peak_kb(cmd):
    # ru_maxrss of children is the maximum over all waited children: measure in a fresh process.
    code = ("import resource,subprocess,os,sys;"
            "subprocess.run(sys.argv[1:],stdout=open(os.devnull,'wb'),check=True);"
            "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    return int(subprocess.check_output([sys.executable, "-c", code] + cmd))

def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    db = make(os.path.join(build, "bench.sqlite"), rows)
    ours = [os.path.join(build, "tabulo-cli"), "--connect", "Provider=SQLite;Data Source=" + db, "open", "bench"]
    peer = ["sqlite3", "-csv", "-header", db, "SELECT * FROM bench"]
    best_ours, best_peer = min(run(ours) for _ in range(3)), min(run(peer) for _ in range(3))
    mem = peak_kb(ours) * 1024
    size = os.path.getsize(db)
    print(f"rows={rows} file={size/1e6:.1f} MB")
    print(f"tabulo-cli open: {best_ours:.3f} s   sqlite3 -csv: {best_peer:.3f} s   ratio {best_ours/best_peer:.2f}x")
    print(f"peak memory {mem/1e6:.1f} MB = {mem/size:.2f}x the database file")

if __name__ == "__main__":
    main()
