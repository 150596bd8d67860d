#!/usr/bin/env bash
# OPTIONS load: the module (in nuvex-phone) against kamailio with one worker
# and against bare_405 (the floor: a C program that only receives and
# answers with the request's own lines), all answering OPTIONS with 405 on
# loopback inside a private network namespace. For each server it measures
#   - CPU time per answered OPTIONS (utime+stime of all its processes from
#     /proc) during a SIPp run at a fixed rate,
#   - SIPp's loss-free rate: the highest of a ladder of rates at which every
#     request is answered,
#   - the saturated answer rate with options_flood keeping 32 requests in
#     flight (median of three runs),
# and prints the figures with the ratios of ours to kamailio's and to the floor's.
#
# Usage: bash bench/options_load.sh [BIN_DIR]     (default: build/bin)
# Environment: RATE (fixed rate, default 5000/s), FIXED_SECONDS (default 10),
#   LADDER (loss-free rates tried in turn, default
#   "2000 4000 8000 12000 16000 24000 32000"), STEP_SECONDS (default 3),
#   FLOOD_SECONDS (default 3), FLOOD_RUNS (default 3), IN_FLIGHT (default 32).

# shellcheck source=bench/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"
interop_require sipp kamailio cc pgrep

RATE=${RATE:-5000}
FIXED_SECONDS=${FIXED_SECONDS:-10}
LADDER=${LADDER:-"2000 4000 8000 12000 16000 24000 32000"}
STEP_SECONDS=${STEP_SECONDS:-3}
FLOOD_SECONDS=${FLOOD_SECONDS:-3}
FLOOD_RUNS=${FLOOD_RUNS:-3}
IN_FLIGHT=${IN_FLIGHT:-32}

cc -O2 -Wall -Wextra -o "$WORK_DIR/options_flood" "$BENCH_DIR/options_flood.c" ||
  interop_fail "options_flood.c does not compile"
cc -O2 -Wall -Wextra -o "$WORK_DIR/bare_405" "$BENCH_DIR/bare_405.c" || interop_fail "bare_405.c does not compile"

# --- servers ------------------------------------------------------------------

KAMAILIO_PID=

start_kamailio() {
  cat >"$WORK_DIR/kamailio-body.cfg" <<'EOF'
loadmodule "sl.so"
loadmodule "textops.so"
request_route {
  append_to_reply("Allow: INVITE, ACK, CANCEL, BYE\r\n");
  sl_send_reply("405", "Method Not Allowed");
  exit;
}
EOF
  interop_start_kamailio "$1" "$WORK_DIR/kamailio-body.cfg"
  sleep 0.5  # the worker processes start after the socket is bound
}

# --- load generators ---------------------------------------------------------

# sipp_run NAME PORT RATE CALLS: one SIPp run; prints "successful failed seconds".
sipp_run() {
  local name=$1 port=$2 rate=$3 calls=$4 local_port out=$WORK_DIR/$1
  interop_pick_udp_port local_port
  local started=$EPOCHREALTIME
  ((SECONDS < 150)) || interop_fail "over the time budget before $name"
  timeout $((calls / rate + 10)) sipp -sf "$BENCH_DIR/options_load.xml" -i 127.0.0.1 -p "$local_port" \
    -r "$rate" -m "$calls" -nr -nd -nostdin -timeout "$((calls / rate + 5))s" \
    -trace_err -error_file "$out.errors.log" "127.0.0.1:$port" >"$out.stdout.log" 2>&1 || true
  local ended=$EPOCHREALTIME
  local successful failed
  successful=$(sipp_count "$out.stdout.log" "Successful call")
  failed=$(sipp_count "$out.stdout.log" "Failed call")
  echo "$successful $failed $(awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.3f", b - a }')"
}

# --- measurements --------------------------------------------------------------

declare -A RESULT

measure() {
  local server=$1 port=$2 main_pid=$3
  local successful failed seconds before after

  # CPU per answer at a fixed rate.
  before=$(server_ticks "$main_pid")
  read -r successful failed seconds < <(sipp_run "$server-fixed" "$port" "$RATE" $((RATE * FIXED_SECONDS)))
  after=$(server_ticks "$main_pid")
  ((successful > 0)) || interop_fail "$server answered nothing at $RATE/s (see $WORK_DIR/$server-fixed.*)"
  RESULT[$server.cpu_us]=$(awk -v t=$((after - before)) -v hz="$CLOCK_TICKS" -v n="$successful" \
    'BEGIN { printf "%.1f", t / hz * 1e6 / n }')
  RESULT[$server.fixed]="$successful answered, $failed lost in ${seconds}s ($(awk -v n="$successful" -v s="$seconds" 'BEGIN { printf "%.0f", n / s }')/s achieved)"

  # Loss-free rate: climb the ladder until a step loses a request.
  # A step counts at the rate SIPp achieved, which may fall short of its target.
  local rate best=0 outcome=""
  for rate in $LADDER; do
    read -r successful failed seconds < <(sipp_run "$server-ladder-$rate" "$port" "$rate" $((rate * STEP_SECONDS)))
    if ((failed == 0 && successful == rate * STEP_SECONDS)); then
      best=$(awk -v n="$successful" -v s="$seconds" 'BEGIN { printf "%.0f", n / s }')
      outcome="$outcome $rate/s: none lost ($best/s achieved);"
    else
      outcome="$outcome $rate/s: lost $failed of $((rate * STEP_SECONDS));"
      break
    fi
  done
  RESULT[$server.lossfree]=$best
  RESULT[$server.lossfree_note]=${outcome%;}

  # Saturated rate with a fixed number of requests in flight: the median of
  # FLOOD_RUNS runs, since two cores shared by client and server make single
  # runs noisy.
  local flood run rates=()
  RESULT[$server.flood_line]=""
  for ((run = 0; run < FLOOD_RUNS; run++)); do
    flood=$("$WORK_DIR/options_flood" 127.0.0.1 "$port" "$FLOOD_SECONDS" "$IN_FLIGHT") ||
      interop_fail "options_flood got no answer from $server: $flood"
    rates+=("$(sed -n 's/.*rate=\([0-9]*\).*/\1/p' <<<"$flood")")
    RESULT[$server.flood_line]+=$'\n    '$flood
  done
  RESULT[$server.flood]=$(printf '%s\n' "${rates[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

phone_port='' kamailio_port=''
interop_pick_udp_port phone_port
interop_start_phone "$phone_port"
interop_log "measuring nuvex-phone on UDP $phone_port"
measure talvenor "$phone_port" "$PHONE_PID"
interop_phone_alive
interop_stop_phone

interop_pick_udp_port kamailio_port
start_kamailio "$kamailio_port"
interop_log "measuring kamailio on UDP $kamailio_port"
measure kamailio "$kamailio_port" "$KAMAILIO_PID"
kill -TERM "$KAMAILIO_PID" 2>/dev/null || true

bare_port=''
interop_pick_udp_port bare_port
"$WORK_DIR/bare_405" 127.0.0.1 "$bare_port" &
BARE_PID=$!
interop_track_pid "$BARE_PID"
until interop_udp_bound "$bare_port"; do sleep 0.05; done
interop_log "measuring bare_405 on UDP $bare_port"
measure bare "$bare_port" "$BARE_PID"
kill -TERM "$BARE_PID" 2>/dev/null || true

row() { printf '%-34s %-10s %-10s %-10s %-18s %s\n' "$@"; }

echo
echo "OPTIONS -> 405 on loopback, $(nproc) cores; kamailio with one worker; bare_405 the floor"
row "" talvenor kamailio bare talvenor/kamailio talvenor/bare
for figure in "cpu_us|CPU per answer (us)" "lossfree|loss-free SIPp rate (/s)" \
  "flood|saturated rate (/s), $IN_FLIGHT in flight"; do
  key=${figure%%|*}
  row "${figure#*|}" "${RESULT[talvenor.$key]}" "${RESULT[kamailio.$key]}" "${RESULT[bare.$key]}" \
    "$(ratio "${RESULT[talvenor.$key]}" "${RESULT[kamailio.$key]}")" \
    "$(ratio "${RESULT[talvenor.$key]}" "${RESULT[bare.$key]}")"
done
cat <<EOF

fixed-rate run at $RATE/s for ${FIXED_SECONDS}s:
  talvenor: ${RESULT[talvenor.fixed]}
  kamailio: ${RESULT[kamailio.fixed]}
  bare:     ${RESULT[bare.fixed]}
loss-free ladder ($LADDER, ${STEP_SECONDS}s each):
  talvenor:${RESULT[talvenor.lossfree_note]}
  kamailio:${RESULT[kamailio.lossfree_note]}
  bare:    ${RESULT[bare.lossfree_note]}
options_flood, $FLOOD_RUNS runs of ${FLOOD_SECONDS}s (median above):
  talvenor:${RESULT[talvenor.flood_line]}
  kamailio:${RESULT[kamailio.flood_line]}
  bare:${RESULT[bare.flood_line]}
EOF
