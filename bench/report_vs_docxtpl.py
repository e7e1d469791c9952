#!/usr/bin/python3
"""Times `tabulo-cli report` filling a DOCX with one region over N records against python-docx-template
rendering the equivalent loop, both end to end (database to written document) in one run; prints the
ratio at 10,000 records and how our time grows from 10,000 to 100,000 records.
Usage: report_vs_docxtpl.py [BUILD_DIR]"""
import os, sqlite3, subprocess, sys, tempfile, time
sys.path.insert(0, os.path.dirname(__file__))
from make_bench_db import make
import docx  # python3-docx, which python3-docxtpl depends on

FIELDS = ["id", "code", "name", "price", "born"]

def template(path, lines):
    d = docx.Document()
    d.add_paragraph("Report")
    for line in lines:
        d.add_paragraph(line)
    d.save(path)

PEER = r"""
import sqlite3, sys
from docxtpl import DocxTemplate
db, templ, out, n = sys.argv[1:5]
con = sqlite3.connect(db)
con.row_factory = sqlite3.Row
rows = [dict(r) for r in con.execute("SELECT * FROM bench WHERE id < ? ORDER BY id", (int(n),))]
t = DocxTemplate(templ)
t.render({"rows": rows})
t.save(out)
"""

def timed(cmd):
    t = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - t

def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    cli = os.path.join(build, "tabulo-cli")
    db = make(os.path.join(build, "bench_report.sqlite"), 100000)
    work = tempfile.mkdtemp(prefix="report-bench-")
    ours_t, peer_t = os.path.join(work, "ours.docx"), os.path.join(work, "peer.docx")
    template(ours_t, ["<<scan(A)>>", " ".join("<<A.%s>>" % f.upper() for f in FIELDS), "<<endscan(A)>>"])
    template(peer_t, ["{%p for r in rows %}", " ".join("{{ r.%s }}" % f for f in FIELDS), "{%p endfor %}"])
    peer_script = os.path.join(work, "peer.py")
    with open(peer_script, "w") as f:
        f.write(PEER)

    def ours(n):
        return timed([cli, "--connect", "Provider=SQLite;Data Source=" + db, "report", "bench", "--top", str(n),
                      "--template", ours_t, "--out", os.path.join(work, "ours-out.docx"), "--action", "save"])

    def peer(n):
        return timed([sys.executable, peer_script, db, peer_t, os.path.join(work, "peer-out.docx"), str(n)])

    n = 10000
    o, p = min(ours(n) for _ in range(3)), min(peer(n) for _ in range(3))
    print(f"records={n}  tabulo-cli report: {o:.3f} s   python-docx-template: {p:.3f} s   ratio {o / p:.2f}x")
    big = min(ours(100000) for _ in range(2))
    print(f"records=100000  tabulo-cli report: {big:.3f} s   growth x{big / o:.1f} for x10 records")

if __name__ == "__main__":
    main()
