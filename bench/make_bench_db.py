#!/usr/bin/env python3
"""Creates the benchmark table: N rows x 10 columns (integers, floats, short and long texts, dates, NULLs)."""
import os, random, sqlite3, sys

def make(path, rows):
    if os.path.exists(path) and os.path.getsize(path) > 0:
        con = sqlite3.connect(path)
        try:
            if con.execute("SELECT count(*) FROM bench").fetchone()[0] == rows:
                return path
        except sqlite3.Error:
            pass
        con.close()
        os.remove(path)
    con = sqlite3.connect(path)
    con.execute("""CREATE TABLE bench (id INTEGER PRIMARY KEY, qty INTEGER, price REAL, ratio DOUBLE,
        code VARCHAR(10), name VARCHAR(40), descr TEXT, born DATE, stamp DATETIME, flag INTEGER)""")
    rnd = random.Random(42)
    words = ["alpha", "Bravo", "charlie", "Delta", "echo", "Foxtrot", "golf", "Hotel", "india", "Juliett"]
    def rows_iter():
        for i in range(rows):
            yield (i, rnd.randint(0, 100000) if i % 17 else None, round(rnd.uniform(0, 1000), 2),
                   rnd.random() if i % 13 else None, "C%05d" % (i % 50000),
                   "%s %s %d" % (rnd.choice(words), rnd.choice(words), i % 997),
                   " ".join(rnd.choice(words) for _ in range(12)) if i % 7 else None,
                   "%04d-%02d-%02d" % (1950 + i % 70, 1 + i % 12, 1 + i % 28),
                   "%04d-%02d-%02d %02d:%02d:%02d" % (2000 + i % 24, 1 + i % 12, 1 + i % 28, i % 24, i % 60, (i * 7) % 60),
                   i % 2)
    con.executemany("INSERT INTO bench VALUES (?,?,?,?,?,?,?,?,?,?)", rows_iter())
    con.commit()
    con.close()
    return path

if __name__ == "__main__":
    make(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 1000000)
