#!/usr/bin/env python3
"""Times `tabulo-cli gendata` inserting 1 M records of 10 fields into an empty SQLite table against the
sqlite3 shell's INSERT ... SELECT over generate_series producing comparable values (counters, dates a
day apart, random numbers, texts of the sample-data database in turn and at random), once each; prints
records per second and the ratio. Usage: gendata_vs_sqlite3.py [BUILD] [RECORDS]"""
import os, subprocess, sys, tempfile, time

TABLE = ("CREATE TABLE G (id INTEGER PRIMARY KEY, n INTEGER, name VARCHAR(40), city VARCHAR(60), "
         "price INTEGER, qty INTEGER, d DATETIME, code VARCHAR(10), note VARCHAR(200), flag INTEGER);")

# The generator grid: field, type label, action, value, source table, source field.
GRID = [("id", "Int", "", "", "", ""),
        ("n", "Int", "increment from", "1", "", ""),
        ("name", "String", "next rec from demo db", "", "FirstNames", "FirstName"),
        ("city", "String", "random from demo db", "", "Cities", "City"),
        ("price", "Int", "random (min..max)", "1..100000", "", ""),
        ("qty", "Int", "random (min..max)", "1..100", "", ""),
        ("d", "Date", "increment from", "2024-01-01 08:00", "", ""),
        ("code", "String", "constant value", "ABC", "", ""),
        ("note", "String", "next rec from demo db", "", "Phrases", "Phrase"),
        ("flag", "Int", "random (min..max)", "0..2", "", "")]

def settings(path):
    cols = [[""] * (len(GRID) + 1) for _ in range(7)]
    titles = ["", "Field Name", "Field Type", "Action", "Value / Min..Max", "Table Name", "Field Name"]
    for c in range(7):
        cols[c][0] = titles[c]
        for r, row in enumerate(GRID, 1):
            cols[c][r] = "" if c == 0 else row[c - 1]
    lines = ["[main.G.Actions]", "ColCount=7", f"RowCount={len(GRID) + 1}"]
    for c, cells in enumerate(cols):
        lines.append(f"[main.G.Actions.Column{c}]")
        lines.append(f"ItemsCount={len(cells)}")
        lines += [f"Item{i}={v}" for i, v in enumerate(cells)]
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")

def timed(cmd, **kw):
    t = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, **kw)
    return time.perf_counter() - t

def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    n = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    demo = os.path.abspath(os.path.join(build, "GenDemoData", "DemoData.sqlite"))
    with tempfile.TemporaryDirectory() as tmp:
        ours_db, peer_db, ini = (os.path.join(tmp, x) for x in ("ours.sqlite", "peer.sqlite", "gen.ini"))
        for db in (ours_db, peer_db):
            subprocess.run(["sqlite3", db, TABLE], check=True)
        settings(ini)
        ours = timed([os.path.join(build, "tabulo-cli"), "--connect", "Provider=SQLite;Data Source=" + ours_db,
                      "gendata", "G", "--count", str(n), "--settings", ini])
        sql = (f"ATTACH '{demo}' AS demo; BEGIN; "
               "INSERT INTO G (n, name, city, price, qty, d, code, note, flag) SELECT value, "
               "(SELECT FirstName FROM demo.FirstNames WHERE ID = 1 + (value - 1) % 321), "
               "(SELECT City FROM demo.Cities WHERE ID = 1 + abs(random()) % 152), "
               "1 + abs(random()) % 99999, 1 + abs(random()) % 99, "
               "datetime('2024-01-01 08:00:00', '+' || (value - 1) || ' days'), 'ABC', "
               "(SELECT Phrase FROM demo.Phrases WHERE ID = 1 + (value - 1) % 500), abs(random()) % 2 "
               f"FROM generate_series(1, {n}); COMMIT;")
        peer = timed(["sqlite3", peer_db, sql])
        for db in (ours_db, peer_db):
            count = subprocess.check_output(["sqlite3", db, "SELECT count(*) FROM G"], text=True).strip()
            assert count == str(n), (db, count)
    print(f"records={n} fields=10")
    print(f"tabulo-cli gendata: {ours:.2f} s ({n / ours:,.0f} records/s)   "
          f"sqlite3 INSERT ... SELECT: {peer:.2f} s ({n / peer:,.0f} records/s)   ratio {ours / peer:.2f}x")

if __name__ == "__main__":
    main()
