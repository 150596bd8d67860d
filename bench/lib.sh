# shellcheck shell=bash
# What the benchmark scripts share. Each sources it first, with its own
# arguments:
#
#   source "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"   # [BIN_DIR], build/bin by default
#
# and from then on runs as an interop test does, in a private network
# namespace with the helpers of tests/interop/lib.sh, but without its PASS line.

BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
INTEROP_PASS_LINE=0
# shellcheck source=tests/interop/lib.sh
source "$BENCH_DIR/../tests/interop/lib.sh"
interop_init "${1:-$BENCH_DIR/../build/bin}"
CLOCK_TICKS=$(getconf CLK_TCK)

# cpu_ticks PID...: utime + stime of the processes (all their threads), in
# clock ticks. A process that is gone fails the run: its time would be lost.
cpu_ticks() {
  local pid total=0 stat fields
  for pid in "$@"; do
    stat=$(cat "/proc/$pid/stat") || interop_fail "process $pid is gone"
    read -r -a fields <<<"${stat##*) }"
    total=$((total + fields[11] + fields[12]))
  done
  echo "$total"
}

# server_ticks PID: cpu_ticks of a server, its process and every child of it
# (kamailio forks its workers).
# shellcheck disable=SC2046
server_ticks() { cpu_ticks "$1" $(pgrep -P "$1" || true); }

# sipp_count FILE LABEL: the cumulative count of SIPp's last screen line LABEL.
sipp_count() {
  awk -F'|' -v label="$2" 'index($1, label) { value = $3 } END { gsub(/ /, "", value); print value + 0 }' "$1"
}
