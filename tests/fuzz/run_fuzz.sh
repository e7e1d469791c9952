#!/usr/bin/env bash
# Builds the fuzz targets with clang in their own tree and runs each for a bounded time: the report
# language for FUZZ_SECONDS (default 60), the filter, connection and settings readers for half of that
# each. A unit may be slow (limits end runaway templates, not quick ones); a hang is one beyond the
# timeout. Without clang it is skipped (exit 77) unless CI is "true", where that is a failure.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
build=${2:-$root/build-fuzz}
if ! command -v clang++ >/dev/null || ! command -v clang >/dev/null; then
  if [ "${CI:-}" = true ]; then
    echo "run_fuzz: clang is missing" >&2
    exit 1
  fi
  echo "run_fuzz: clang is missing; skipped" >&2
  exit 77
fi
if [ ! -f "$build/build.ninja" ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABULO_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" >/dev/null
fi
targets=(report_fuzz filter_fuzz conn_fuzz settings_fuzz)
cmake --build "$build" --target "${targets[@]}"
seconds=${FUZZ_SECONDS:-60}

# Seeds that reach the interesting paths of each reader.
seed() { # target name text
  mkdir -p "$build/$1_corpus"
  printf '%s' "$3" >"$build/$1_corpus/$2"
}
seed report_fuzz seed1 '\\scan(A);sep(, );calc(PRICE)\\\\A.NAME:<8\\\\endscan(A)\\\\=Sum[A.PRICE]:0.00\\'
seed report_fuzz seed2 '\\if(A.ID=1 and not A.FLAG)\\x\\elseif\\\\iif(A.NAME % "Sm")\\y\\endiif\\\\endif\\'
seed report_fuzz seed3 '\\str_part(A.NAME, "m", 2)\\\\case(A.ID; =1, A.NAME; #ELSE#, V)\\\\seplist(", ", A.NAME, N)\\'
seed report_fuzz seed4 '\\scan();while(N<3);maxrows(4)\\\\defvar(N, "4")\\\\=10-4-3\\\\numtotext("12.5"):;;EN\\\\endscan()\\'
seed filter_fuzz seed1 "(name = 'Smith' OR name LIKE '*ie%') AND NOT price > -1.5e0"
seed filter_fuzz seed2 '[unit price] >= 3 OR born = #2000-01-01# OR seen < '\''2024-01-01 10:00'\'''
seed filter_fuzz seed3 'flag = true AND data IS NOT NULL OR id = 1 OR id = 2 OR id = 3 OR id = 4'
seed conn_fuzz seed1 $'[oledb]\r\n; comment\r\nProvider=SQLOLEDB.1;Data Source=db,1433;User ID=sa;Encrypt;Password="a;""b"\r\n'
seed conn_fuzz seed2 $'Driver={PostgreSQL Unicode};Server=h;PWD={x;}}y};Extended Properties=\'DSN=a;PWD=p\';CommLog=1'
seed conn_fuzz seed3 $'Provider=MSDASQL;Data Source=Sales;PWD=my;pass;Password;secret;X="multi\nline"'
seed settings_fuzz seed1 $'[Main]\r\neTopRec=10\r\nText=a_#9_b_#13__#10_\r\nbare\r\n\r\n[Main_XY]\r\nLeft=0x1F\r\n'
mkdir -p "$build/settings_fuzz_corpus"
python3 -c 'import sys, zlib; sys.stdout.buffer.write(zlib.compress(b"[S]\r\nk=v\r\nList=1\r\n"))' \
  >"$build/settings_fuzz_corpus/seed2"

export QT_QPA_PLATFORM=offscreen
status=0
for t in "${targets[@]}"; do
  time=$seconds
  [ "$t" = report_fuzz ] || time=$((seconds / 2))
  echo "== $t: $time s"
  "$build/tests/fuzz/$t" -max_total_time="$time" -timeout=300 -rss_limit_mb=4096 -artifact_prefix="$build/$t-" \
    -max_len=4096 -print_final_stats=1 "$build/${t}_corpus" >"$build/$t.log" 2>&1 || status=1
  tail -n 12 "$build/$t.log"
done
exit "$status"
