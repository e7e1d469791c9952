#!/usr/bin/env python3
"""Times `tabulo-cli import` of a CSV file of N rows x 10 columns (1 M by default) into an empty SQLite
table against the sqlite3 shell's `.import --csv` of the same file, in one run; prints the ratio."""
import os, random, subprocess, sys, tempfile, time

COLUMNS = ["id", "code", "name", "city", "qty", "price", "rate", "day", "flag", "note"]
CREATE = ("CREATE TABLE t (id INTEGER, code VARCHAR(12), name VARCHAR(40), city VARCHAR(30), qty INTEGER,"
          " price REAL, rate REAL, day DATE, flag INTEGER, note VARCHAR(60));")

def make_csv(path, rows):
    rnd = random.Random(7)
    with open(path, "w", newline="") as f:
        f.write(",".join(COLUMNS) + "\n")
        for i in range(rows):
            f.write(f"{i},C{i % 99991:06d},Name {rnd.randrange(10**6)},City {i % 977},{rnd.randrange(1000)},"
                    f"{rnd.randrange(10**6) / 100},{rnd.random():.6f},2024-{1 + i % 12:02d}-{1 + i % 28:02d},"
                    f"{i % 2},note number {i}\n")

def timed(cmd, **kw):
    t = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, **kw)
    return time.perf_counter() - t

def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    with tempfile.TemporaryDirectory() as d:
        csv = os.path.join(d, "in.csv")
        make_csv(csv, rows)
        ours_db, peer_db = os.path.join(d, "ours.sqlite"), os.path.join(d, "peer.sqlite")
        for db in (ours_db, peer_db):
            subprocess.run(["sqlite3", db, CREATE], check=True)
        mapping = ",".join(f"{c}={c}" for c in COLUMNS)
        ours = timed([os.path.join(build, "tabulo-cli"), "--connect", "Provider=SQLite;Data Source=" + ours_db,
                      "import", "t", "--map", mapping, "--source", csv])
        peer = timed(["sqlite3", peer_db], input=f".import --csv --skip 1 {csv} t\n".encode())
        counts = [subprocess.check_output(["sqlite3", db, "SELECT COUNT(*) FROM t"]).strip().decode()
                  for db in (ours_db, peer_db)]
        print(f"rows={rows} file={os.path.getsize(csv) / 1e6:.1f} MB  rows written: {counts[0]} / {counts[1]}")
        print(f"tabulo-cli import: {ours:.2f} s   sqlite3 .import --csv: {peer:.2f} s   ratio {ours / peer:.2f}x")

if __name__ == "__main__":
    main()
