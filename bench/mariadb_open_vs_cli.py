#!/usr/bin/env python3
"""Times `tabulo-cli open` of 1 M rows x 10 columns from a MariaDB server through ODBC against the mariadb
client's `--batch -e "SELECT ..."` of the same rows, both to /dev/null, in one run; prints the best of
three (the commands taking turns), the ratio and both peak memories. Starts its own throwaway server
(scripts/mariadb-start) and stops it at the end.
Usage: bench/mariadb_open_vs_cli.py [BUILD_DIR] [ROWS]"""
import os, subprocess, sys, tempfile, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run(cmd):
    t = time.perf_counter()
    subprocess.run(cmd, stdout=subprocess.DEVNULL, check=True)
    return time.perf_counter() - t


def peak_kb(cmd):
    # ru_maxrss of children is the maximum over all waited children: measure in a fresh process.
    code = ("import resource,subprocess,sys;subprocess.run(sys.argv[1:],stdout=subprocess.DEVNULL,check=True);"
            "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    return int(subprocess.check_output([sys.executable, "-c", code] + cmd))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    with tempfile.TemporaryDirectory(prefix="tabulo-mariadb.") as d:
        subprocess.run([os.path.join(ROOT, "scripts", "mariadb-start"), d], stdout=subprocess.DEVNULL, check=True)
        try:
            env = dict(line.split(" ", 1)[1].strip().split("=", 1) for line in open(os.path.join(d, "env"))
                       if line.startswith("export "))
            host, port, user = env["TABULO_MARIADB_HOST"], env["TABULO_MARIADB_PORT"], env["TABULO_MARIADB_USER"]
            client = ["mariadb", "--no-defaults", "-h", host, "-P", port, "-u", user]
            subprocess.run(client + ["-e", "CREATE DATABASE bench"], check=True)
            # The same ten columns as the PostgreSQL benchmark; seq_1_to_N is the server's sequence table.
            subprocess.run(client + ["bench", "-e", f"""
                CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(40), score DOUBLE, grp INT, day DATE,
                  at DATETIME, flag BOOLEAN, hash CHAR(32), amount DECIMAL(10,2), code VARCHAR(10))
                SELECT seq AS id, CONCAT('name ', seq) AS name, seq * 1.5 AS score, seq % 1000 AS grp,
                  DATE '2020-01-01' + INTERVAL (seq % 3000) DAY AS day,
                  TIMESTAMP '2020-01-01 00:00:00' + INTERVAL seq SECOND AS at, seq % 2 = 0 AS flag,
                  MD5(seq) AS hash, seq % 97 AS amount, CONCAT('x', seq % 13) AS code
                FROM seq_1_to_{rows}"""], check=True)
            size = int(subprocess.check_output(client + ["-N", "-e",
                "SELECT data_length + index_length FROM information_schema.tables "
                "WHERE table_schema = 'bench' AND table_name = 't'"]))
            conn = f"Driver={{MariaDB Unicode}};Server={host};Port={port};Database=bench;UID={user}"
            ours = [os.path.join(build, "tabulo-cli"), "--connect", conn, "open", "t"]
            peer = client + ["bench", "--batch", "-e", "SELECT * FROM t"]
            best_ours = best_peer = 1e9
            for _ in range(3):
                best_ours = min(best_ours, run(ours))
                best_peer = min(best_peer, run(peer))
            mem_ours, mem_peer = peak_kb(ours) * 1024, peak_kb(peer) * 1024
            print(f"rows={rows}  table on disk {size / 1e6:.1f} MB  load {os.getloadavg()[0]:.1f}")
            print(f"tabulo-cli open: {best_ours:.3f} s   mariadb --batch: {best_peer:.3f} s   "
                  f"ratio {best_ours / best_peer:.2f}x")
            print(f"peak memory: tabulo-cli {mem_ours / 1e6:.1f} MB, mariadb {mem_peer / 1e6:.1f} MB")
        finally:
            subprocess.run([os.path.join(ROOT, "scripts", "mariadb-stop"), d], stdout=subprocess.DEVNULL)


if __name__ == "__main__":
    main()
