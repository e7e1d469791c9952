#!/usr/bin/python3
"""Times `tabulo-cli print` drawing 10,000 rows of 8 columns into a PDF against LibreOffice converting
the same rows (as CSV) to PDF, both end to end in one run; prints wall and CPU times and their ratios
(the CPU ratio is the steadier one on a loaded machine).
Usage: print_vs_soffice.py [BUILD_DIR]"""
import csv, os, resource, sqlite3, subprocess, sys, tempfile, time

ROWS = 10000
COLUMNS = ["id", "code", "name", "city", "qty", "price", "born", "note"]

def make(db, csv_path):
    con = sqlite3.connect(db)
    con.execute("CREATE TABLE bench (id INTEGER, code VARCHAR(8), name VARCHAR(20), city VARCHAR(12),"
                " qty INTEGER, price REAL, born DATE, note VARCHAR(16))")
    rows = [(i, "C%05d" % i, "Name number %d" % i, ("Prague", "Brno", "Ostrava")[i % 3], i % 97,
             round(i * 1.37, 2), "19%02d-%02d-%02d" % (50 + i % 50, 1 + i % 12, 1 + i % 28), "note %d" % (i % 13))
            for i in range(1, ROWS + 1)]
    con.executemany("INSERT INTO bench VALUES (?,?,?,?,?,?,?,?)", rows)
    con.commit()
    with open(csv_path, "w", newline="") as f:
        w = csv.writer(f)
        w.writerow(COLUMNS)
        w.writerows(rows)

def timed(cmd):
    """Wall time and CPU time (user + system) of the command and its children."""
    r0, t = resource.getrusage(resource.RUSAGE_CHILDREN), time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall, r1 = time.perf_counter() - t, resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (r1.ru_utime - r0.ru_utime) + (r1.ru_stime - r0.ru_stime)

def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    cli = os.path.abspath(os.path.join(build, "tabulo-cli"))
    with tempfile.TemporaryDirectory() as d:
        db, rows_csv = os.path.join(d, "bench.sqlite"), os.path.join(d, "bench.csv")
        make(db, rows_csv)
        ours = timed([cli, "--connect", "Provider=SQLite;Data Source=" + db, "print", "bench",
                      "--out", os.path.join(d, "ours.pdf"), "--fit", "--page-numbers", "--sums", "--count"])
        profile = "file://" + os.path.join(d, "profile")
        # A first start creates LibreOffice's profile; it is not part of the conversion.
        timed(["soffice", "-env:UserInstallation=" + profile, "--headless", "--terminate_after_init"])
        peer = timed(["soffice", "-env:UserInstallation=" + profile, "--headless", "--convert-to", "pdf",
                      "--outdir", d, rows_csv])
        pages = subprocess.run(["pdfinfo", os.path.join(d, "ours.pdf")], capture_output=True, text=True).stdout
        pages = next((l.split()[-1] for l in pages.splitlines() if l.startswith("Pages:")), "?")
        print("rows %d x %d columns, %s pages: tabulo-cli print %.2f s wall / %.2f s CPU, LibreOffice CSV to PDF "
              "%.2f s wall / %.2f s CPU; ratio %.3f wall, %.3f CPU"
              % (ROWS, len(COLUMNS), pages, ours[0], ours[1], peer[0], peer[1], ours[0] / peer[0], ours[1] / peer[1]))

if __name__ == "__main__":
    main()
