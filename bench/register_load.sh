#!/usr/bin/env bash
# Registrar load: REGISTERs per second that the module (in nuvex-phone, no
# authentication) answers with 200 while its SIP-REG.txt already holds 10,
# 100 and 1000 unexpired registrations of other users. Every accepted
# REGISTER rewrites the whole list, so the rate is expected to fall as the
# list grows.
#
# For each list size, SIPp (register_load.xml) sends CALLS REGISTERs at a
# target of RATE/s with at most IN_FLIGHT unanswered at a time, each for the
# next of POOL distinct users from a CSV injection file; a user's second
# REGISTER replaces its first line, so the list stays within size + POOL
# lines during the run. Each size is run RUNS times on a freshly filled list.
# It prints per size the median achieved rate (with the lowest and highest),
# the REGISTERs lost and the module's CPU time per answered REGISTER (median
# run). Loopback only, inside a private network namespace; under a minute.
#
# Usage: bash bench/register_load.sh [BIN_DIR]     (default: build/bin)
# Environment: SIZES (default "10 100 1000"), CALLS (REGISTERs per run,
#   default 5000), RUNS (per size, default 3), RATE (target rate, default
#   20000/s), IN_FLIGHT (default 16), POOL (distinct users, default 10).

BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
set -- "${1:-$BENCH_DIR/../build/bin}"
INTEROP_PASS_LINE=0
source "$BENCH_DIR/../tests/interop/lib.sh"
interop_init "$@"
interop_require sipp

SIZES=${SIZES:-"10 100 1000"}
CALLS=${CALLS:-5000}
RUNS=${RUNS:-3}
RATE=${RATE:-20000}
IN_FLIGHT=${IN_FLIGHT:-16}
POOL=${POOL:-10}
CLOCK_TICKS=$(getconf CLK_TCK)
BUDGET=170

# cpu_ticks PID: utime + stime of the process (all its threads), in ticks.
cpu_ticks() {
  local stat fields
  stat=$(cat "/proc/$1/stat") || interop_fail "process $1 is gone"
  read -r -a fields <<<"${stat##*) }"
  echo $((fields[11] + fields[12]))
}

# prefill FILE COUNT: COUNT registrations of other users, made now and
# valid for an hour, so no rewrite during the run drops them.
prefill() {
  local now date
  now=$(date +%s)
  date=$(date '+%a %b %e %H:%M:%S %Y')
  awk -v count="$2" -v now="$now" -v date="$date" 'BEGIN {
    for (i = 1; i <= count; i++)
      printf "other%04d@127.0.0.1:%d\tPIN\t%d\t3600\t%s\tOther\tprefilled\n", i, 10000 + i, now, date
  }' >"$1"
}

users=$WORK_DIR/users.csv
{
  echo SEQUENTIAL
  for ((i = 1; i <= POOL; i++)); do printf 'load%04d;\n' "$i"; done
} >"$users"

interop_pick_udp_port phone_port
interop_start_phone "$phone_port" "Address=127.0.0.1" "Register=1,0,0,3600"
reg_list=$PHONE_DATA_DIR/SIP-REG.txt

# sipp_count FILE LABEL: the cumulative count of SIPp's last screen line LABEL.
sipp_count() {
  awk -F'|' -v label="$2" 'index($1, label) { value = $3 } END { gsub(/ /, "", value); print value + 0 }' "$1"
}

# run_once SIZE: one SIPp run against a list freshly filled with SIZE lines;
# prints "achieved-rate answered lost cpu-us-per-register".
run_once() {
  local size=$1 local_port out started ended cpu_before cpu_after answered lost kept pooled
  ((SECONDS < BUDGET)) || interop_fail "over the time budget before list size $size"
  prefill "$reg_list" "$size"
  interop_pick_udp_port local_port
  out=$WORK_DIR/size-$size-$local_port
  cpu_before=$(cpu_ticks "$PHONE_PID")
  started=$EPOCHREALTIME
  timeout $((BUDGET - SECONDS + 5)) sipp -sf "$BENCH_DIR/register_load.xml" -inf "$users" \
    -i 127.0.0.1 -p "$local_port" -r "$RATE" -l "$IN_FLIGHT" -m "$CALLS" \
    -nr -nd -nostdin -timeout "$((BUDGET - SECONDS))s" \
    -trace_err -error_file "$out.errors.log" "127.0.0.1:$phone_port" >"$out.stdout.log" 2>&1 || true
  ended=$EPOCHREALTIME
  cpu_after=$(cpu_ticks "$PHONE_PID")
  interop_phone_alive

  answered=$(sipp_count "$out.stdout.log" "Successful call")
  lost=$(sipp_count "$out.stdout.log" "Failed call")
  ((answered > 0)) || interop_fail "no REGISTER answered with list size $size (see $out.*)"
  # The run measured what it claims only if no prefilled line was purged and
  # every pool user is on the list.
  kept=$(grep -c $'^other[0-9]*@127\\.0\\.0\\.1:[0-9]*\tPIN\t' "$reg_list" || true)
  pooled=$(grep -c "^load[0-9]*@127\\.0\\.0\\.1:$local_port"$'\t' "$reg_list" || true)
  ((kept == size)) || interop_fail "list size $size: $kept prefilled lines left after the run"
  ((pooled == (POOL < answered ? POOL : answered))) ||
    interop_fail "list size $size: $pooled pool users on the list, expected $((POOL < answered ? POOL : answered))"

  awk -v n="$answered" -v lost="$lost" -v a="$started" -v b="$ended" \
    -v ticks=$((cpu_after - cpu_before)) -v hz="$CLOCK_TICKS" \
    'BEGIN { printf "%.0f %d %d %.1f\n", n / (b - a), n, lost, ticks / hz * 1e6 / n }'
}

results=()
for size in $SIZES; do
  runs=()
  for ((run = 0; run < RUNS; run++)); do
    runs+=("$(run_once "$size")")
  done
  results+=("$(printf '%s\n' "${runs[@]}" | sort -n | awk -v size="$size" -v pool="$POOL" '
    { rate[NR] = $1; answered += $2; lost += $3; cpu[NR] = $4 }
    END {
      m = int((NR + 1) / 2)
      printf "%-14s %-14s %-16s %-10d %-6d %.1f", size " -> " size + pool, rate[m], rate[1] "-" rate[NR], answered, lost, cpu[m]
    }')")
done

interop_phone_alive
interop_stop_phone

echo
echo "REGISTER -> 200 (registrar without authentication) on loopback, $(nproc) cores;"
echo "target $RATE/s, at most $IN_FLIGHT in flight, $RUNS runs of $CALLS REGISTERs per list size, $POOL distinct users"
printf '%-14s %-14s %-16s %-10s %-6s %s\n' "list lines" "achieved (/s)" "min-max (/s)" answered lost "CPU per REGISTER (us)"
printf '%s\n' "${results[@]}"
