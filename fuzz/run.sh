#!/usr/bin/env bash
# Builds the fuzz targets and runs each for SECONDS (default 60).
#
#   fuzz/run.sh [SECONDS]
#
# Inputs worth keeping grow in fuzz/out/<target>/ (seeded from
# fuzz/corpus/<target>/); a crashing input is saved as fuzz/out/<target>-crash-*
# and the run ends with status 1. Needs clang++ with libFuzzer.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-$root/build-fuzz}
out=$root/fuzz/out

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DFONTGRAFT_FUZZ=ON \
  -DFONTGRAFT_TESTS=OFF -DFONTGRAFT_WERROR=ON >/dev/null
cmake --build "$build" -j2 >/dev/null

status=0
targets="scan bdf run"
[ -x "$build/fuzz/convert_fuzz" ] && targets="$targets convert"  # where FreeType was found
for target in $targets; do
  mkdir -p "$out/$target"
  echo "== $target: $seconds s"
  # Fonts need room; the text formats find their faults within 4 KiB.
  limits=(-max_len=4096 -dict="$root/fuzz/dict")
  [ "$target" = convert ] && limits=(-max_len=16384 -timeout=20 -rss_limit_mb=2048 -close_fd_mask=2)
  if "$build/fuzz/${target}_fuzz" -max_total_time="$seconds" "${limits[@]}" \
      -artifact_prefix="$out/$target-" -print_final_stats=1 \
      "$out/$target" "$root/fuzz/corpus/$target" 2>"$out/$target.log"; then
    grep -E "DONE|number_of_executed_units" "$out/$target.log" | sed 's/^/   /'
  else
    echo "   found a fault; the end of $out/$target.log:"
    tail -n 30 "$out/$target.log" | sed 's/^/   /'
    status=1
  fi
done
exit $status
