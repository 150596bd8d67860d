#!/usr/bin/env bash
# Registrar load: REGISTERs per second that the module (in nuvex-phone, no
# authentication) answers with 200, and its CPU per REGISTER, while it holds
# 10 and 1000 unexpired registrations (other users, one per address, fill
# the list up to the size with the pool's users). The list lives in memory;
# its writer thread writes each refreshed line over its old one, once for
# all the changes that came during the previous write, so the cost per
# REGISTER should not grow with the list.
#
# For each list size, SIPp (register_load.xml) sends CALLS REGISTERs at a
# target of RATE/s with at most IN_FLIGHT unanswered at a time, each for the
# next of POOL distinct users from a CSV injection file; a user's second
# REGISTER replaces its first line, so the list holds size lines during the
# run. Each size is run RUNS times on a freshly filled list.
# It prints per size the median achieved rate (with the lowest and highest),
# the REGISTERs lost and the module's CPU time per answered REGISTER (median
# run). The same runs then go to the module with its lists on tmpfs, where
# the write's fsync costs nothing (the difference is what durability
# costs), and to kamailio's in-memory registrar (usrloc without a database,
# one worker, its location table filled with the same number of other
# users first). Loopback only, inside a private network namespace; a few
# minutes.
#
# Usage: bash bench/register_load.sh [BIN_DIR]     (default: build/bin)
# Environment: SIZES (default "10 1000", at least POOL), CALLS (REGISTERs per run,
#   default 5000), RUNS (per size, default 3), RATE (target rate, default
#   20000/s), IN_FLIGHT (default 16), POOL (distinct users, default 10).

# shellcheck source=bench/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"
interop_require sipp kamailio pgrep

SIZES=${SIZES:-"10 1000"}
CALLS=${CALLS:-5000}
RUNS=${RUNS:-3}
RATE=${RATE:-20000}
IN_FLIGHT=${IN_FLIGHT:-16}
POOL=${POOL:-10}
BUDGET=${BUDGET:-600}

# prefill FILE COUNT: COUNT registrations of other users, each from an
# address of its own (the registrar takes 20 per address), made now and
# valid for an hour, so no rewrite during the run drops them.
prefill() {
  local now date
  now=$(date +%s)
  date=$(date '+%a %b %e %H:%M:%S %Y')
  awk -v count="$2" -v now="$now" -v date="$date" 'BEGIN {
    for (i = 1; i <= count; i++)
      printf "other%04d@10.0.%d.%d:5060\tPIN\t%d\t3600\t%s\tOther\tprefilled\n", i, int(i / 250), i % 250 + 1, now, date
  }' >"$1"
}

users=$WORK_DIR/users.csv
{
  echo SEQUENTIAL
  for ((i = 1; i <= POOL; i++)); do printf 'load%04d;\n' "$i"; done
} >"$users"

SHM_DIR=$(mktemp -d /dev/shm/talvenor-register-load.XXXXXX)
trap 'status=$?; rm -rf "$SHM_DIR"; (exit $status); interop_cleanup' EXIT

# The server measured: its port, its pid, and its list when it keeps one.
SERVER_PORT='' SERVER_PID='' REG_LIST=''

KAMAILIO_PID=
start_kamailio() {
  cat >"$WORK_DIR/kamailio-body.cfg" <<'EOF'
loadmodule "sl.so"
loadmodule "usrloc.so"
loadmodule "registrar.so"
modparam("usrloc", "db_mode", 0)
modparam("registrar", "default_expires", 3600)
modparam("registrar", "max_expires", 3600)
request_route {
  if (method == "REGISTER") {
    save("location");
    exit;
  }
  sl_send_reply("405", "Method Not Allowed");
  exit;
}
EOF
  interop_start_kamailio "$1" "$WORK_DIR/kamailio-body.cfg"
  sleep 0.5  # the worker processes start after the socket is bound
}

# kamailio_prefill COUNT: COUNT other users registered with kamailio.
kamailio_prefill() {
  local count=$1 prefill_port= file=$WORK_DIR/others-$1.csv
  ((count > 0)) || return 0
  { echo SEQUENTIAL; for ((i = 1; i <= count; i++)); do printf 'other%04d;\n' "$i"; done; } >"$file"
  interop_pick_udp_port prefill_port
  timeout 60 sipp -sf "$BENCH_DIR/register_load.xml" -inf "$file" -i 127.0.0.1 -p "$prefill_port" -r 2000 -l 16 \
    -m "$count" -nr -nd -nostdin -timeout 50s "127.0.0.1:$SERVER_PORT" >/dev/null 2>&1 ||
    interop_fail "kamailio did not take $count prefill registrations"
}

# run_once SIZE: one SIPp run against a list freshly filled with SIZE lines
# (kamailio's table is filled once per size); prints "achieved-rate
# answered lost cpu-us-per-register".
run_once() {
  local size=$1 local_port out started ended cpu_before cpu_after answered lost kept pooled
  ((SECONDS < BUDGET)) || interop_fail "over the time budget before list size $size"
  [[ -z $REG_LIST ]] || prefill "$REG_LIST" $((size - POOL))
  interop_pick_udp_port local_port
  out=$WORK_DIR/size-$size-$local_port
  cpu_before=$(server_ticks "$SERVER_PID")
  started=$EPOCHREALTIME
  timeout $((BUDGET - SECONDS + 5)) sipp -sf "$BENCH_DIR/register_load.xml" -inf "$users" \
    -i 127.0.0.1 -p "$local_port" -r "$RATE" -l "$IN_FLIGHT" -m "$CALLS" \
    -nr -nd -nostdin -timeout "$((BUDGET - SECONDS))s" \
    -trace_err -error_file "$out.errors.log" "127.0.0.1:$SERVER_PORT" >"$out.stdout.log" 2>&1 || true
  ended=$EPOCHREALTIME
  cpu_after=$(server_ticks "$SERVER_PID")
  kill -0 "$SERVER_PID" 2>/dev/null || interop_fail "the server died during list size $size"

  answered=$(sipp_count "$out.stdout.log" "Successful call")
  lost=$(sipp_count "$out.stdout.log" "Failed call")
  ((answered > 0)) || interop_fail "no REGISTER answered with list size $size (see $out.*)"
  # The run measured what it claims only if no prefilled line was purged and
  # every pool user is on the list.
  if [[ -n $REG_LIST ]]; then
    kept=$(grep -c $'^other[0-9]*@10\\.0\\.[0-9]*\\.[0-9]*:5060\tPIN\t' "$REG_LIST" || true)
    pooled=$(grep -c "^load[0-9]*@127\\.0\\.0\\.1:$local_port"$'\t' "$REG_LIST" || true)
    ((kept == size - POOL)) || interop_fail "list size $size: $kept prefilled lines left after the run"
    ((pooled == (POOL < answered ? POOL : answered))) ||
      interop_fail "list size $size: $pooled pool users on the list, expected $((POOL < answered ? POOL : answered))"
  fi

  awk -v n="$answered" -v lost="$lost" -v a="$started" -v b="$ended" \
    -v ticks=$((cpu_after - cpu_before)) -v hz="$CLOCK_TICKS" \
    'BEGIN { printf "%.0f %d %d %.1f\n", n / (b - a), n, lost, ticks / hz * 1e6 / n }'
}

# measure LABEL: every list size against the current server; one result
# line per size in RESULTS.
RESULTS=()
measure() {
  local label=$1 size run runs
  for size in $SIZES; do
    [[ $label != kamailio* ]] || kamailio_prefill $((size - POOL))
    runs=()
    for ((run = 0; run < RUNS; run++)); do
      runs+=("$(run_once "$size")")
    done
    RESULTS+=("$(printf '%s\n' "${runs[@]}" | sort -n | awk -v label="$label" -v size="$size" -v pool="$POOL" '
      { rate[NR] = $1; answered += $2; lost += $3; cpu[NR] = $4 }
      END {
        m = int((NR + 1) / 2)
        printf "%-22s %-14s %-14s %-16s %-10d %-6d %.1f", label, size, rate[m], rate[1] "-" rate[NR], answered, lost, cpu[m]
      }')")
  done
}

phone_port='' shm_port='' kamailio_port=''
interop_pick_udp_port phone_port
interop_start_phone "$phone_port" "Address=127.0.0.1" "Register=1,0,0,3600"
SERVER_PORT=$phone_port SERVER_PID=$PHONE_PID REG_LIST=$PHONE_DATA_DIR/SIP-REG.txt
measure "talvenor (disk)"
interop_phone_alive
interop_stop_phone

interop_pick_udp_port shm_port
PHONE_DATA_PARENT=$SHM_DIR interop_start_phone "$shm_port" "Address=127.0.0.1" "Register=1,0,0,3600"
SERVER_PORT=$shm_port SERVER_PID=$PHONE_PID REG_LIST=$PHONE_DATA_DIR/SIP-REG.txt
measure "talvenor (tmpfs)"
interop_phone_alive
interop_stop_phone

interop_pick_udp_port kamailio_port
start_kamailio "$kamailio_port"
SERVER_PORT=$kamailio_port SERVER_PID=$KAMAILIO_PID REG_LIST=''
measure "kamailio (in memory)"

echo
echo "REGISTER -> 200 (registrar without authentication) on loopback, $(nproc) cores;"
echo "target $RATE/s, at most $IN_FLIGHT in flight, $RUNS runs of $CALLS REGISTERs per list size, $POOL distinct users"
printf '%-22s %-14s %-14s %-16s %-10s %-6s %s\n' server "list lines" "achieved (/s)" "min-max (/s)" answered lost \
  "CPU per REGISTER (us)"
printf '%s\n' "${RESULTS[@]}"
