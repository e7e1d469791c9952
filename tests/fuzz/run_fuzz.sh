#!/usr/bin/env bash
# Builds the report fuzzer with clang in its own tree and runs it for a bounded time (FUZZ_SECONDS,
# default 60). A unit may be slow (limits end runaway templates, not quick ones); a hang is one beyond
# the timeout. Without clang it is skipped (exit 77) unless CI is "true", where that is a failure.
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
cmake --build "$build" --target report_fuzz
corpus="$build/report_fuzz_corpus"
mkdir -p "$corpus"
# Seeds: a few templates that reach regions, blocks, functions and aggregates.
printf '%s' '\\scan(A);sep(, );calc(PRICE)\\\\A.NAME:<8\\\\endscan(A)\\\\=Sum[A.PRICE]:0.00\\' >"$corpus/seed1"
printf '%s' '\\if(A.ID=1 and not A.FLAG)\\x\\elseif\\\\iif(A.NAME % "Sm")\\y\\endiif\\\\endif\\' >"$corpus/seed2"
printf '%s' '\\str_part(A.NAME, "m", 2)\\\\case(A.ID; =1, A.NAME; #ELSE#, V)\\\\seplist(", ", A.NAME, N)\\' >"$corpus/seed3"
printf '%s' '\\scan();while(N<3);maxrows(4)\\\\defvar(N, "4")\\\\=10-4-3\\\\numtotext("12.5"):;;EN\\\\endscan()\\' >"$corpus/seed4"
export QT_QPA_PLATFORM=offscreen
"$build/tests/fuzz/report_fuzz" -max_total_time="${FUZZ_SECONDS:-60}" -timeout=300 -rss_limit_mb=4096 -artifact_prefix="$build/" \
  -max_len=4096 -print_final_stats=1 "$corpus" 2>&1 | tail -n 30
exit "${PIPESTATUS[0]}"
