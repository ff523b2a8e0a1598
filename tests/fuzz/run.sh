#!/bin/bash
# Builds the fuzz targets when needed and runs each for a bounded time.
#   tests/fuzz/run.sh [SECONDS_PER_TARGET] [TARGET...]
# Default: 10 seconds for every target. Each run starts from a scratch copy of
# the committed seeds, so the seeds stay as committed; what a run learns is
# kept in build/fuzz/corpus/<target> and fed to the next run. A crash, a
# sanitizer report or a broken invariant stops with a non-zero exit, the
# crashing input printed and saved under build/fuzz/crashes/.
# FUZZ_BUILD_DIR chooses another build folder, FUZZ_JOBS the build's -j.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${FUZZ_BUILD_DIR:-$repo/build/fuzz}
seconds=${1:-10}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_date_header fuzz_text_number fuzz_gbk_split fuzz_update_file fuzz_rle8)
fi
# libFuzzer reads -max_total_time=0 as "no limit": at least one second.
case $seconds in
  '' | *[!0-9]*) seconds=0 ;;
esac
seconds=$((10#$seconds))
if [ "$seconds" -lt 1 ]; then
  echo "usage: $0 [SECONDS_PER_TARGET] [TARGET...]" >&2
  exit 2
fi

for target in "${targets[@]}"; do
  if [ ! -d "$here/corpus/$target" ]; then
    echo "no such fuzz target: $target" >&2
    exit 2
  fi
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Quiet unless it fails.
build_log=$scratch/build.log
if ! { [ -f "$build/CMakeCache.txt" ] ||
  cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug; } \
  >"$build_log" 2>&1 ||
  ! cmake --build "$build" -j "${FUZZ_JOBS:-2}" --target "${targets[@]}" >>"$build_log" 2>&1; then
  cat "$build_log" >&2
  echo "building the fuzz targets failed" >&2
  exit 1
fi

show_input() {  # file
  echo "crashing input ($(stat -c %s "$1") bytes), saved as $2:"
  od -A d -c "$1" | head -40
}

failed=0
for target in "${targets[@]}"; do
  work=$scratch/$target
  learned=$build/corpus/$target
  mkdir -p "$work/corpus" "$work/artifacts" "$learned"
  cp "$here/corpus/$target/." "$work/corpus/" -R
  cp "$learned/." "$work/corpus/" -R
  dict=()
  [ -f "$here/dict/$target.dict" ] && dict=(-dict="$here/dict/$target.dict")
  echo "== $target: ${seconds}s"
  if "$build/$target" "${dict[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=0 -artifact_prefix="$work/artifacts/" "$work/corpus" \
      >"$work/log" 2>&1; then
    grep -E '^(#[0-9]+ +DONE|Done )' "$work/log" | tail -1 || true
    # Keep what this run found for the next one (new inputs only).
    cp -n "$work/corpus/." "$learned/" -R 2>/dev/null || true
  else
    failed=1
    grep -v -E '^(#[0-9]+|INFO:|MS:|base unit:|0x)' "$work/log" | tail -60
    mkdir -p "$build/crashes"
    for input in "$work/artifacts"/*; do
      [ -f "$input" ] || continue
      saved=$build/crashes/$target-$(basename "$input")
      cp "$input" "$saved"
      show_input "$input" "$saved"
    done
    echo "== $target: FAILED"
  fi
done
exit $failed
