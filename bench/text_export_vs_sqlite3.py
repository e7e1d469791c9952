#!/usr/bin/env python3
"""Times `tabulo-cli export --format text --delimited` (comma separated, texts in double quotes, as CSV)
of a 1 M-row x 10-column SQLite table (texts, integers, reals, dates, date-times, NULLs) against the
sqlite3 shell's `-csv` output of the same SELECT, both to a file, in one run; prints the best of three
wall times of each, the ratio (target <= 0.8) and both peak resident sizes (target <= 50 MB for ours).
    bench/text_export_vs_sqlite3.py [BUILD_DIR] [ROWS]"""
import os, resource, subprocess, sys, tempfile, time
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_bench_db import make


def run(cmd, out):
    """Wall time and peak resident size (KB) of one run, stdout to out."""
    # ru_maxrss of children is the maximum over every child waited for: each run goes through a fresh
    # process that reports only its own child.
    code = ("import resource,subprocess,sys,time\n"
            "t=time.perf_counter()\n"
            "subprocess.run(sys.argv[2:],stdout=open(sys.argv[1],'wb'),check=True)\n"
            "print(time.perf_counter()-t,resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    secs, kb = subprocess.check_output([sys.executable, "-c", code, out] + cmd).split()
    return float(secs), int(kb)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    db = make(os.path.join(build, "bench.sqlite"), rows)
    with tempfile.TemporaryDirectory() as tmp:
        ours_file, peer_file = os.path.join(tmp, "ours.csv"), os.path.join(tmp, "peer.csv")
        ours = [os.path.join(build, "tabulo-cli"), "--connect", "Provider=SQLite;Data Source=" + db,
                "export", "bench", "--format", "text", "--delimited", "--separator", ",", "--quote", '"',
                "--out", ours_file]
        peer = ["sqlite3", "-csv", "-header", db, "SELECT * FROM bench"]
        results = {"ours": [], "peer": []}
        for _ in range(3):  # interleaved, so a burst of load hits both sides alike
            results["ours"].append(run(ours, os.devnull))
            results["peer"].append(run(peer, peer_file))
        t_ours, t_peer = (min(t for t, _ in results[k]) for k in ("ours", "peer"))
        m_ours, m_peer = (max(m for _, m in results[k]) for k in ("ours", "peer"))
        size_ours, size_peer = os.path.getsize(ours_file), os.path.getsize(peer_file)
    print(f"rows={rows} output: ours {size_ours / 1e6:.1f} MB, sqlite3 {size_peer / 1e6:.1f} MB, "
          f"load {os.getloadavg()[0]:.2f}")
    print(f"tabulo-cli export text: {t_ours:.3f} s   sqlite3 -csv: {t_peer:.3f} s   "
          f"ratio {t_ours / t_peer:.2f}x (target <= 0.80)")
    print(f"peak memory: tabulo-cli {m_ours / 1024:.1f} MB (target <= 50)   sqlite3 {m_peer / 1024:.1f} MB")


if __name__ == "__main__":
    main()
