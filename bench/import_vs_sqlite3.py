#!/usr/bin/env python3
"""Times `tabulo-cli import` against the sqlite3 shell, in one run, and prints the ratios:
1. adding: a CSV file of N rows x 10 columns (1 M by default) into an empty SQLite table, against the
   shell's `.import --csv` of the same file;
2. updating by key: U rows (100 k by default) of a CSV file into a table of T rows (1 M by default)
   by its one-field key (`--type update --keys id`), against the shell importing the file into a
   temporary table and running UPDATE ... FROM by the key; then the same into a table of 2 T rows,
   to show that doubling the table does not double the time.
Usage: import_vs_sqlite3.py [BUILD] [ROWS] [UPDATE_ROWS] [TABLE_ROWS]"""
import os, random, subprocess, sys, tempfile, time

COLUMNS = ["id", "code", "name", "city", "qty", "price", "rate", "day", "flag", "note"]
TYPES = ("(id INTEGER{pk}, code VARCHAR(12), name VARCHAR(40), city VARCHAR(30), qty INTEGER, price REAL,"
         " rate REAL, day DATE, flag INTEGER, note VARCHAR(60))")
CREATE = "CREATE TABLE t " + TYPES.format(pk="") + ";"
CREATE_KEYED = "CREATE TABLE t " + TYPES.format(pk=" PRIMARY KEY") + ";"

def row(i, rnd, tag=""):
    return (f"{i},C{i % 99991:06d},Name {rnd.randrange(10**6)}{tag},City {i % 977},{rnd.randrange(1000)},"
            f"{rnd.randrange(10**6) / 100},{rnd.random():.6f},2024-{1 + i % 12:02d}-{1 + i % 28:02d},"
            f"{i % 2},note number {i}{tag}\n")

def make_csv(path, ids, seed=7, tag=""):
    rnd = random.Random(seed)
    with open(path, "w", newline="") as f:
        f.write(",".join(COLUMNS) + "\n")
        for i in ids:
            f.write(row(i, rnd, tag))

def timed(cmd, input=None):
    """Seconds the command took; its peak resident set (MB) is kept in timed.peak_mb."""
    t = time.perf_counter()
    p = subprocess.Popen(cmd, stdin=subprocess.PIPE if input is not None else None, stdout=subprocess.DEVNULL)
    if input is not None:
        p.stdin.write(input)
        p.stdin.close()
    _, status, usage = os.wait4(p.pid, 0)
    p.returncode = os.waitstatus_to_exitcode(status)
    if p.returncode != 0:
        raise subprocess.CalledProcessError(p.returncode, cmd)
    timed.peak_mb = usage.ru_maxrss / 1024
    return time.perf_counter() - t

def count(db, where=""):
    return subprocess.check_output(["sqlite3", db, "SELECT COUNT(*) FROM t " + where]).strip().decode()

def ours(build, db, csv, *extra):
    mapping = ",".join(f"{c}={c}" for c in COLUMNS)
    return timed([os.path.join(build, "tabulo-cli"), "--connect", "Provider=SQLite;Data Source=" + db,
                  "import", "t", "--map", mapping, "--source", csv, *extra])

def adding(build, d, rows):
    csv = os.path.join(d, "in.csv")
    make_csv(csv, range(rows))
    ours_db, peer_db = os.path.join(d, "ours.sqlite"), os.path.join(d, "peer.sqlite")
    for db in (ours_db, peer_db):
        subprocess.run(["sqlite3", db, CREATE], check=True)
    t_ours = ours(build, ours_db, csv)
    rss_ours = timed.peak_mb
    t_peer = timed(["sqlite3", peer_db], input=f".import --csv --skip 1 {csv} t\n".encode())
    rss_peer = timed.peak_mb
    print(f"add: rows={rows} file={os.path.getsize(csv) / 1e6:.1f} MB  rows written: "
          f"{count(ours_db)} / {count(peer_db)}")
    print(f"  tabulo-cli import: {t_ours:.2f} s ({rows / t_ours:,.0f} rows/s)   sqlite3 .import --csv: "
          f"{t_peer:.2f} s ({rows / t_peer:,.0f} rows/s)   ratio {t_ours / t_peer:.2f}x")
    print(f"  peak RSS: tabulo-cli import {rss_ours:.0f} MB   sqlite3 {rss_peer:.0f} MB")

def updating(build, d, updates, table_rows):
    base = os.path.join(d, f"base{table_rows}.csv")
    make_csv(base, range(table_rows))
    # Every (table_rows / updates)-th record, spread over the whole table, with new texts.
    step = max(1, table_rows // updates)
    upd = os.path.join(d, f"upd{table_rows}.csv")
    make_csv(upd, range(0, step * updates, step), seed=11, tag=" new")
    dbs = [os.path.join(d, f"{who}{table_rows}.sqlite") for who in ("ours", "peer")]
    for db in dbs:
        subprocess.run(["sqlite3", db, CREATE_KEYED], check=True)
        subprocess.run(["sqlite3", db], check=True, input=f".import --csv --skip 1 {base} t\n".encode())
    t_ours = ours(build, dbs[0], upd, "--type", "update", "--keys", "id")
    sets = ", ".join(f"{c} = u.{c}" for c in COLUMNS[1:])
    script = (f"CREATE TEMP TABLE u {TYPES.format(pk=' PRIMARY KEY')};\n.import --csv --skip 1 {upd} u\n"
              f"UPDATE t SET {sets} FROM u WHERE t.id = u.id;\n")
    t_peer = timed(["sqlite3", dbs[1]], input=script.encode())
    changed = [count(db, "WHERE note LIKE '% new'") for db in dbs]
    print(f"update: {updates} rows by key into {table_rows} rows  rows changed: {changed[0]} / {changed[1]}")
    print(f"  tabulo-cli import --type update: {t_ours:.2f} s ({updates / t_ours:,.0f} rows/s)   sqlite3 temp "
          f"table + UPDATE ... FROM: {t_peer:.2f} s ({updates / t_peer:,.0f} rows/s)   ratio {t_ours / t_peer:.2f}x")
    for db in dbs:
        os.remove(db)
    return t_ours

def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    updates = int(sys.argv[3]) if len(sys.argv) > 3 else 100000
    table_rows = int(sys.argv[4]) if len(sys.argv) > 4 else 1000000
    with tempfile.TemporaryDirectory() as d:
        if rows > 0:
            adding(build, d, rows)
        if updates > 0:
            one = updating(build, d, updates, table_rows)
            two = updating(build, d, updates, 2 * table_rows)
            print(f"  doubling the table: {two / one:.2f}x the time")

if __name__ == "__main__":
    main()
