#!/usr/bin/env bash
# Times `tabulo-cli open` of 1 M rows x 10 columns from a PostgreSQL server, through the native
# provider and through ODBC, against psql's \copy of the same SELECT, all to /dev/null, in one run;
# prints the best of three and the ratios. Starts its own throwaway server (scripts/pg-start) and stops it at the end.
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
native="Provider=PostgreSQL;Data Source=$TABULO_PG_HOST;Port=$TABULO_PG_PORT;Initial Catalog=bench;User ID=$TABULO_PG_USER"
conn="Provider=MSDASQL;Driver={PostgreSQL Unicode};Server=$TABULO_PG_HOST;Port=$TABULO_PG_PORT;Database=bench;UID=$TABULO_PG_USER"
best() { # best wall time of three runs of "$@", in seconds
  local b=""
  for _ in 1 2 3; do
    local s e
    s=$(date +%s.%N)
    "$@" >/dev/null
    e=$(date +%s.%N)
    b=$(python3 -c "print(min(x for x in [$e - $s, ${b:-1e9}]))")
  done
  echo "$b"
}
ours=$(best "$build/tabulo-cli" --connect "$native" open t)
odbc=$(best "$build/tabulo-cli" --connect "$conn" open t)
peer=$(best "${pg[@]}" -d bench -c "\\copy (SELECT * FROM t) TO '/dev/null'")
python3 -c "print(f'rows=$rows  psql \\\\copy: {$peer:.3f} s')"
python3 -c "print(f'tabulo-cli open, native: {$ours:.3f} s   ratio {$ours/$peer:.2f}x')"
python3 -c "print(f'tabulo-cli open, ODBC:   {$odbc:.3f} s   ratio {$odbc/$peer:.2f}x')"
