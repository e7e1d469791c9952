#!/usr/bin/env python3
"""Times `tabulo-cli open` of a file source against peers reading the same file, in one run:
a 1 M-row x 10-column CSV against the sqlite3 shell importing it into an in-memory database
(`.import --csv`) and against Python's csv module reading every row; a 100,000-row xlsx against
openpyxl in read-only mode (when openpyxl is installed). Prints the best of three and the ratios."""
import csv, os, subprocess, sys, tempfile, time


def run(cmd, stdin=None):
    t = time.perf_counter()
    with open(os.devnull, "wb") as null:
        subprocess.run(cmd, stdout=null, stdin=stdin, check=True)
    return time.perf_counter() - t


def best(cmd):
    return min(run(cmd) for _ in range(3))


def write_csv(path, rows):
    with open(path, "w", newline="") as f:
        w = csv.writer(f)
        w.writerow(["id", "name", "score", "grp", "day", "at", "flag", "hash", "amount", "code"])
        for g in range(1, rows + 1):
            w.writerow([g, f"name {g}", g * 1.5, g % 1000, f"2020-{1 + g % 12:02d}-{1 + g % 28:02d}",
                        f"2020-01-01 {g % 24:02d}:{g % 60:02d}:{(g * 7) % 60:02d}", "true" if g % 2 else "false",
                        f"{(g * 2654435761) % (1 << 32):08x}", f"{(g % 9700) / 100:.2f}", f"x{g % 13}"])


def main():
    # Usage: bench/open_files_vs_peers.py [BUILD_DIR] [CSV_ROWS (0: skip)] [XLSX_ROWS]
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    xrows = int(sys.argv[3]) if len(sys.argv) > 3 else 100000
    cli = os.path.join(build, "tabulo-cli")
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "bench.csv")
        write_csv(path, max(rows, xrows))
        if rows == 0:
            print("csv: skipped (ROWS=0)")
            return xlsx(cli, tmp, path, xrows)
        ours = best([cli, "--connect", path, "open", "bench.csv"])
        shell = best(["sqlite3", ":memory:", f".import --csv {path} t"])
        reader = [sys.executable, "-c", "import csv,sys\nfor r in csv.reader(open(sys.argv[1], newline='')): pass", path]
        py = best(reader)
        print(f"csv rows={rows} file={os.path.getsize(path) / 1e6:.1f} MB")
        print(f"tabulo-cli open: {ours:.3f} s   sqlite3 .import --csv: {shell:.3f} s   ratio {ours / shell:.2f}x")
        print(f"tabulo-cli open: {ours:.3f} s   python csv: {py:.3f} s   ratio {ours / py:.2f}x")
        xlsx(cli, tmp, path, xrows)


def xlsx(cli, tmp, path, xrows):
    try:
        import openpyxl
    except ImportError:
        print("xlsx: openpyxl is not installed, skipped")
        return
    xpath = os.path.join(tmp, "bench.xlsx")
    wb = openpyxl.Workbook(write_only=True)
    ws = wb.create_sheet("bench")
    with open(path, newline="") as f:
        r = csv.reader(f)
        ws.append(next(r))
        for i, row in enumerate(r):
            if i >= xrows:
                break
            ws.append([int(row[0]), row[1], float(row[2]), int(row[3])] + row[4:])
    wb.save(xpath)
    ours = best([cli, "--connect", xpath, "open", "bench$"])
    peer = best([sys.executable, "-c",
                 "import openpyxl,sys\nwb=openpyxl.load_workbook(sys.argv[1], read_only=True)\n"
                 "for r in wb.active.iter_rows(values_only=True): pass", xpath])
    print(f"xlsx rows={xrows} file={os.path.getsize(xpath) / 1e6:.1f} MB")
    print(f"tabulo-cli open: {ours:.3f} s   openpyxl read-only: {peer:.3f} s   ratio {ours / peer:.2f}x")


if __name__ == "__main__":
    main()
