#!/usr/bin/env bash
# Times `tabulo-cli open` of 1 M rows x 10 columns from a PostgreSQL server, through the native
# provider and through ODBC, against psql's \copy of the same SELECT, all to /dev/null, in one run;
# prints the best of three, the ratios and the peak memory of the opens (native against the table's size).
# Starts its own throwaway server (scripts/pg-start) and stops it at the end.
# Usage: bench/open_pg_vs_psql.sh [BUILD_DIR] [ROWS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rows=${2:-1000000}
pgdir=$(mktemp -d "${TMPDIR:-/tmp}/tabulo-pg.XXXXXX")
trap '"$root/scripts/pg-stop" "$pgdir"' EXIT
"$root/scripts/pg-start" "$pgdir" >/dev/null
source "$pgdir/env"
pg=(psql -X -q -v ON_ERROR_STOP=1 -h "$TABULO_PG_HOST" -p "$TABULO_PG_PORT" -U "$TABULO_PG_USER")
"${pg[@]}" -d postgres -c "CREATE DATABASE bench"
"${pg[@]}" -d bench -c "CREATE TABLE t AS SELECT g AS id, 'name ' || g AS name, g * 1.5::float8 AS score,
  (g % 1000)::int AS grp, date '2020-01-01' + (g % 3000) AS day, timestamp '2020-01-01' + g * interval '1 second' AS at,
  (g % 2 = 0) AS flag, md5(g::text) AS hash, (g % 97)::numeric(10,2) AS amount, 'x' || (g % 13) AS code
  FROM generate_series(1, $rows) g"
disk=$("${pg[@]}" -d bench -At -c "SELECT pg_total_relation_size('t')")
native="Provider=PostgreSQL;Data Source=$TABULO_PG_HOST;Port=$TABULO_PG_PORT;Initial Catalog=bench;User ID=$TABULO_PG_USER"
conn="Provider=MSDASQL;Driver={PostgreSQL Unicode};Server=$TABULO_PG_HOST;Port=$TABULO_PG_PORT;Database=bench;UID=$TABULO_PG_USER"
# Best of three wall times, the runs of each command taking turns so a change of load hits all alike;
# peak memory of one more run each (loaded: the rows held in the column store, as the window does).
python3 - "$build/tabulo-cli" "$native" "$conn" "$rows" "$disk" "${pg[@]}" <<'PY'
import os, resource, subprocess, sys, time
cli, native, odbc, rows, disk, pg = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]), sys.argv[6:]
cmds = {
    "psql \\copy": pg + ["-d", "bench", "-c", "\\copy (SELECT * FROM t) TO '/dev/null'"],
    "tabulo-cli open, native": [cli, "--connect", native, "open", "t"],
    "tabulo-cli open, ODBC": [cli, "--connect", odbc, "open", "t"],
}
def run(cmd):
    t = time.perf_counter()
    subprocess.run(cmd, stdout=subprocess.DEVNULL, check=True)
    return time.perf_counter() - t
def peak_kb(cmd):
    code = ("import resource,subprocess,sys;subprocess.run(sys.argv[1:],stdout=subprocess.DEVNULL,check=True);"
            "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    return int(subprocess.check_output([sys.executable, "-c", code] + cmd))
best = {k: 1e9 for k in cmds}
for _ in range(3):
    for k, cmd in cmds.items():
        best[k] = min(best[k], run(cmd))
peer = best["psql \\copy"]
print(f"rows={rows}  table on disk {disk/1e6:.1f} MB  load {os.getloadavg()[0]:.1f}")
print(f"psql \\copy: {peer:.3f} s")
for k in ("tabulo-cli open, native", "tabulo-cli open, ODBC"):
    print(f"{k}: {best[k]:.3f} s   ratio {best[k]/peer:.2f}x")
streamed = peak_kb(cmds["tabulo-cli open, native"]) * 1024
loaded = peak_kb([cli, "--connect", native, "open", "t", "--sort", "id"]) * 1024
print(f"peak memory, native: streamed {streamed/1e6:.1f} MB, loaded (--sort id) {loaded/1e6:.1f} MB"
      f" = {loaded/disk:.2f}x the table on disk")
print(f"peak memory, ODBC: streamed {peak_kb(cmds['tabulo-cli open, ODBC']) * 1024 / 1e6:.1f} MB")
PY
