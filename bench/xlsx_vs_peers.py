#!/usr/bin/env python3
"""Times `tabulo-cli export --format xlsx` (1 M rows x 10 columns of the benchmark table) against a
plain C loop writing the same cells with libxlsxwriter (bench_xlsx_peer) and against openpyxl in
write-only mode, in one run; prints the times, the peak memory of each and the ratios. Reports only.
Usage: xlsx_vs_peers.py [BUILD] [ROWS]   (needs: cmake --build BUILD --target tabulo-cli bench_xlsx_peer)"""
import os, subprocess, sys, tempfile, time
sys.path.insert(0, os.path.dirname(__file__))
from make_bench_db import make

OPENPYXL = r'''
import datetime, sqlite3, sys, openpyxl
from openpyxl.cell import WriteOnlyCell
from openpyxl.styles import Font
wb = openpyxl.Workbook(write_only=True)
ws = wb.create_sheet("Sheet1")
con = sqlite3.connect(sys.argv[1])
cur = con.execute("SELECT * FROM bench")
names = [d[0] for d in cur.description]
bold = Font(bold=True)
titles = []
for n in names:
    c = WriteOnlyCell(ws, value=n)
    c.font = bold
    titles.append(c)
ws.append(titles)
dates = {names.index("born"): False, names.index("stamp"): True}
for row in cur:
    out = list(row)
    for i, with_time in dates.items():
        v = out[i]
        if v is not None:
            out[i] = datetime.datetime.fromisoformat(v) if with_time else datetime.date.fromisoformat(v)
    ws.append(out)
wb.save(sys.argv[2])
'''

def run(cmd):
    """Seconds and peak resident memory (MB) of one run."""
    t = time.perf_counter()
    with open(os.devnull, "wb") as null:
        p = subprocess.Popen(cmd, stdout=null)
        _, status, usage = os.wait4(p.pid, 0)
    took = time.perf_counter() - t
    if status != 0:
        raise SystemExit(f"failed: {' '.join(cmd)}")
    return took, usage.ru_maxrss / 1024

def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    db = make(os.path.join(build, "bench.sqlite"), rows)
    out = tempfile.mkdtemp(prefix="xlsx-bench-")
    ours = [os.path.join(build, "tabulo-cli"), "--connect", "Provider=SQLite;Data Source=" + db, "export", "bench",
            "--format", "xlsx", "--out", os.path.join(out, "ours.xlsx")]
    peer = [os.path.join(build, "bench", "bench_xlsx_peer"), db, os.path.join(out, "peer.xlsx")]
    python = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else "python3"
    py = [python, "-c", OPENPYXL, db, os.path.join(out, "openpyxl.xlsx")]
    print(f"rows={rows} x 10 columns, load average {os.getloadavg()[0]:.2f}")
    t_peer, m_peer = run(peer)
    print(f"libxlsxwriter C loop:        {t_peer:8.2f} s  {m_peer:7.0f} MB")
    t_ours, m_ours = run(ours)
    print(f"tabulo-cli export --format xlsx: {t_ours:8.2f} s  {m_ours:7.0f} MB")
    t_py, m_py = run(py)
    print(f"openpyxl write-only:         {t_py:8.2f} s  {m_py:7.0f} MB")
    print(f"ratio to the C loop:  {t_ours / t_peer:.2f}x (target <= 1.3x)")
    print(f"ratio to openpyxl:    {t_ours / t_py:.2f}x (target <= 0.2x)")
    for f in os.listdir(out):
        os.remove(os.path.join(out, f))
    os.rmdir(out)

if __name__ == "__main__":
    main()
