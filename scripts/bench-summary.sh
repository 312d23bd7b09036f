# Sourced by the side-by-side benchmark scripts: summary NAME TIMES... prints the times of one
# tool with their median and the slowest run.
summary() {  # name, times...: the times, their median and the slowest
  local name="$1"; shift
  local sorted
  sorted=$(printf '%s\n' "$@" | sort -g)
  local n=$#
  local median slowest
  median=$(echo "$sorted" | sed -n "$(((n + 1) / 2))p")
  slowest=$(echo "$sorted" | tail -1)
  printf '%-34s median %6.3f s  slowest %6.3f s  runs: %s\n' "$name" "$median" "$slowest" "$(printf '%.3f ' "$@")"
}
