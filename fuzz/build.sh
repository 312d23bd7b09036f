#!/usr/bin/env bash
# Builds every fuzz_*.cpp of this folder into OUTDIR (default build-fuzz/) with clang 14,
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer. The Qt-free libraries the
# harnesses need are compiled once into objects of their own; ccache is used when present.
# A harness that needs Qt (the chart's tick walks, the table editor) would add the flags of
# `pkg-config Qt6Widgets` and the toolkit's sources here.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build-fuzz}"
cxx=(clang++-14)
command -v ccache >/dev/null && cxx=(ccache clang++-14)
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
flags=(-std=c++20 -O1 -g1 -fno-omit-frame-pointer -Wall -Wextra
       -fsanitize=address,undefined -fno-sanitize-recover=undefined -D_GLIBCXX_ASSERTIONS
       -I"$root/numlib" -I"$root/data" -I"$root/fuzz")
mkdir -p "$out/obj"
objs=()
pids=()
jobs="${JOBS:-2}"
for src in "$root"/numlib/*.cpp "$root"/data/*.cpp; do
  rel="${src#"$root"/}"
  obj="$out/obj/${rel//\//_}.o"
  objs+=("$obj")
  if [ ! -f "$obj" ] || [ "$src" -nt "$obj" ] || [ -n "$(find "$root/numlib" "$root/data" -name '*.h' -newer "$obj")" ]; then
    "${cxx[@]}" "${flags[@]}" -fsanitize=fuzzer-no-link -c "$src" -o "$obj" &
    pids+=($!)
    if [ ${#pids[@]} -ge "$jobs" ]; then wait "${pids[0]}"; pids=("${pids[@]:1}"); fi
  fi
done
for p in "${pids[@]}"; do wait "$p"; done
for src in "$root"/fuzz/fuzz_*.cpp; do
  name="$(basename "$src" .cpp)"
  "${cxx[@]}" "${flags[@]}" -fsanitize=fuzzer -c "$src" -o "$out/obj/$name.o"
  clang++-14 -fsanitize=fuzzer,address,undefined "$out/obj/$name.o" "${objs[@]}" -o "$out/$name"
done
echo "fuzzers built in $out"
