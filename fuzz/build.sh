#!/usr/bin/env bash
# Builds every fuzz_*.cpp of this folder into OUTDIR (default build-fuzz/) with clang 14,
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer. The library sources the harnesses
# need are compiled once into two archives, so that each harness links only what it uses: the
# Qt-free libraries (numlib/, data/) and the window-free units of the chart and the table editor
# (the scale's walks, labels and axis mapping, the editor's text scanners), whose headers need
# Qt's include flags but whose code needs no application object. ccache is used when present.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build-fuzz}"
cxx=(clang++-14)
command -v ccache >/dev/null && cxx=(ccache clang++-14)
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
read -r -a qtflags <<<"$(pkg-config --cflags Qt6Widgets)"
read -r -a qtlibs <<<"$(pkg-config --libs Qt6Widgets)"
# The readers' libraries: liborcus and expat (workbooks), libxlsxwriter (saving xlsx), ReadStat (no
# pkg-config file on Debian). They are not instrumented; the harnesses fuzz our use of them.
read -r -a readerflags <<<"$(pkg-config --cflags liborcus-0.17 xlsxwriter expat)"
read -r -a readerlibs <<<"$(pkg-config --libs liborcus-0.17 xlsxwriter expat) -lreadstat"
# clang's -Wall also reports an Assign(const TOwnClass&) beside the base's virtual Assign, which
# the components declare on purpose (a typed copy next to the generic one): not a finding here.
flags=(-std=c++20 -O1 -g1 -fno-omit-frame-pointer -fPIC -Wall -Wextra -Wno-overloaded-virtual
       -fsanitize=address,undefined -fno-sanitize-recover=undefined -D_GLIBCXX_ASSERTIONS
       -I"$root/numlib" -I"$root/data" -I"$root/toolkit" -I"$root/chart" -I"$root/widgets" -I"$root/fuzz"
       "${qtflags[@]}" "${readerflags[@]}")
core_sources=("$root"/numlib/*.cpp "$root"/data/*.cpp)
gui_sources=("$root"/chart/orvex_scale_walk.cpp "$root"/chart/orvex_scale_labels.cpp "$root"/chart/orvex_axismap.cpp
             "$root"/widgets/orvex_ntabed_scan.cpp)
mkdir -p "$out/obj"
jobs="${JOBS:-2}"
pids=()
objects=()
# Compiles the sources given into objects of OUTDIR/obj (again when the source, this script or
# any header of the tree is newer), at most JOBS at a time, with the extra flags of the array
# `extra`, and leaves the objects' names in `objects`.
compile() {
  local src rel obj
  objects=()
  for src in "$@"; do
    rel="${src#"$root"/}"
    obj="$out/obj/${rel//\//_}.o"
    objects+=("$obj")
    if [ ! -f "$obj" ] || [ "$src" -nt "$obj" ] || [ "$root/fuzz/build.sh" -nt "$obj" ] ||
       [ -n "$(find "$root/numlib" "$root/data" "$root/toolkit" "$root/chart" "$root/widgets" -name '*.h' -newer "$obj")" ]; then
      "${cxx[@]}" "${flags[@]}" "${extra[@]}" -fsanitize=fuzzer-no-link -c "$src" -o "$obj" &
      pids+=($!)
      if [ ${#pids[@]} -ge "$jobs" ]; then wait "${pids[0]}"; pids=("${pids[@]:1}"); fi
    fi
  done
}
extra=()
compile "${core_sources[@]}"
core_objs=("${objects[@]}")
# The vptr check of UndefinedBehaviorSanitizer wants the type information of every class these
# units touch, which lives with the control classes they are linked without.
extra=(-fno-sanitize=vptr)
compile "${gui_sources[@]}"
gui_objs=("${objects[@]}")
for p in "${pids[@]}"; do wait "$p"; done
rm -f "$out/libcore.a" "$out/libgui.a"
ar rcs "$out/libcore.a" "${core_objs[@]}"
ar rcs "$out/libgui.a" "${gui_objs[@]}"
for src in "$root"/fuzz/fuzz_*.cpp; do
  name="$(basename "$src" .cpp)"
  "${cxx[@]}" "${flags[@]}" -fsanitize=fuzzer -c "$src" -o "$out/obj/$name.o"
  clang++-14 -fsanitize=fuzzer,address,undefined "$out/obj/$name.o" "$out/libgui.a" "$out/libcore.a" \
    -Wl,--as-needed "${readerlibs[@]}" "${qtlibs[@]}" -o "$out/$name"
done
echo "fuzzers built in $out"
