# shellcheck shell=bash
# Shared helpers for the interop tests. A test script sources this file and
# calls `interop_init "$@"` before anything else:
#
#   source "$(dirname "$0")/lib.sh"
#   interop_init "$@"            # BIN_DIR is the first argument
#
# The whole test (module and peers) then runs inside a private network
# namespace that has only a loopback interface, so tests never collide with
# each other or with anything listening on the machine.

set -euo pipefail

INTEROP_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
INTEROP_PIDS=()
INTEROP_PORTS=()
PHONE_PID=
PHONE_PORT=
PHONE_LOG=
WORK_DIR=
INTEROP_PASS_LINE=${INTEROP_PASS_LINE:-1}

interop_log() { printf '%s: %s\n' "${INTEROP_NAME:-interop}" "$*" >&2; }

# interop_fail REASON...: print the reason and end the test with status 1.
interop_fail() {
  printf '%s: FAIL: %s\n' "${INTEROP_NAME:-interop}" "$*" >&2
  exit 1
}

interop_require() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || interop_fail "required tool '$tool' is not installed"
  done
}

# Re-executes the calling script under `unshare --net` unless it already runs
# in the namespace, brings loopback up, checks the binaries and sets up the
# work folder and the exit trap.
interop_init() {
  INTEROP_NAME=$(basename "$0" .sh)
  [[ $# -ge 1 ]] || interop_fail "usage: bash $0 BIN_DIR"
  BIN_DIR=$(cd "$1" 2>/dev/null && pwd) || interop_fail "BIN_DIR '$1' does not exist"
  interop_require unshare ip ss timeout
  if [[ -z ${TALVENOR_INTEROP_NETNS:-} ]]; then
    local userns=()
    [[ $EUID -eq 0 ]] || userns=(--map-root-user)
    export TALVENOR_INTEROP_NETNS=1
    exec unshare --net "${userns[@]}" -- bash "$0" "$@"
  fi
  ip link set lo up
  ip route add default dev lo 2>/dev/null || true
  local links
  links=$(ip -o link show | awk -F': ' '{print $2}' | tr '\n' ' ')
  [[ $links == "lo " ]] || interop_fail "namespace is not loopback-only (links: $links)"

  [[ -x $BIN_DIR/nuvex-phone ]] || interop_fail "$BIN_DIR/nuvex-phone is missing; build first"
  WORK_DIR=$(mktemp -d "${TMPDIR:-/tmp}/talvenor-$INTEROP_NAME.XXXXXX")
  chmod 755 "$WORK_DIR"
  trap interop_cleanup EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

# Kills every process this test started (by pid) and removes the work folder,
# which is kept when the test failed so its traces can be read.
interop_cleanup() {
  local status=$? pid
  for pid in "${INTEROP_PIDS[@]}"; do
    kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in "${INTEROP_PIDS[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  if [[ $status -eq 0 ]]; then
    rm -rf "$WORK_DIR"
    [[ $INTEROP_PASS_LINE -eq 0 ]] || printf '%s: PASS\n' "$INTEROP_NAME" >&2
  elif [[ -n $WORK_DIR ]]; then
    printf '%s: traces kept in %s\n' "$INTEROP_NAME" "$WORK_DIR" >&2
  fi
}

interop_track_pid() { INTEROP_PIDS+=("$1"); }

interop_untrack_pid() {
  local keep=() pid
  for pid in "${INTEROP_PIDS[@]}"; do
    [[ $pid == "$1" ]] || keep+=("$pid")
  done
  INTEROP_PIDS=("${keep[@]}")
}

# interop_pick_udp_port VAR: sets VAR to a UDP port that nothing is bound to
# and that this test has not handed out before.
interop_pick_udp_port() {
  local port tries=0
  while ((tries++ < 200)); do
    port=$((20000 + RANDOM % 40000))
    [[ " ${INTEROP_PORTS[*]} " == *" $port "* ]] && continue
    if ! interop_udp_bound "$port"; then
      INTEROP_PORTS+=("$port")
      printf -v "$1" '%s' "$port"
      return 0
    fi
  done
  interop_fail "no free UDP port found"
}

# interop_udp_bound PORT: true when some socket is bound to UDP PORT.
interop_udp_bound() { [[ $(ss -Hnlu "sport = :$1" | wc -l) -gt 0 ]]; }

# interop_wait_for_line FILE PATTERN SECONDS PID: waits until FILE holds a
# line matching the extended regular expression PATTERN; fails early if PID
# (when given) exits first.
interop_wait_for_line() {
  local file=$1 pattern=$2 seconds=$3 pid=${4:-}
  local deadline=$((SECONDS + seconds))
  while ((SECONDS < deadline)); do
    grep -Eq -- "$pattern" "$file" 2>/dev/null && return 0
    if [[ -n $pid ]] && ! kill -0 "$pid" 2>/dev/null; then
      return 2
    fi
    sleep 0.05
  done
  return 1
}

# interop_start_phone PORT [ENTRY=VALUE...]: starts nuvex-phone with fresh
# config and data folders, logging and banning off, on SIP port PORT, plus any
# further profile entries and the options in the array PHONE_OPTIONS, and
# waits for its "up" line. Sets PHONE_PID, PHONE_PORT, PHONE_LOG,
# PHONE_CONFIG_DIR and PHONE_DATA_DIR.
interop_start_phone() {
  local port=$1
  shift
  local sets=(--set "Port=0,0,$port") entry
  for entry in "$@"; do
    sets+=(--set "$entry")
  done
  PHONE_CONFIG_DIR=$(mktemp -d "$WORK_DIR/config.XXXXXX")
  # PHONE_DATA_PARENT puts the lists elsewhere (a benchmark on tmpfs).
  PHONE_DATA_DIR=$(mktemp -d "${PHONE_DATA_PARENT:-$WORK_DIR}/data.XXXXXX")
  PHONE_LOG=$WORK_DIR/nuvex-phone.$port.log
  PHONE_PORT=$port
  # Emptied here, not only by the phone's redirection: a phone started again
  # on the port would otherwise find the last one's "up" line still there.
  : >"$PHONE_LOG"
  # PHONE_PROGRAM runs another host with the phone's options instead.
  "${PHONE_PROGRAM:-$BIN_DIR/nuvex-phone}" --config-dir "$PHONE_CONFIG_DIR" --data-dir "$PHONE_DATA_DIR" \
    "${sets[@]}" ${PHONE_OPTIONS[@]+"${PHONE_OPTIONS[@]}"} >"$PHONE_LOG" 2>&1 &
  PHONE_PID=$!
  interop_track_pid "$PHONE_PID"
  local rc=0
  interop_wait_for_line "$PHONE_LOG" "^Talvenor up on SIP port $port\$" 15 "$PHONE_PID" || rc=$?
  if [[ $rc -ne 0 ]]; then
    local why="did not report 'Talvenor up on SIP port $port' within 15 s"
    if [[ $rc -eq 2 ]]; then
      local status=0
      wait "$PHONE_PID" || status=$?
      interop_untrack_pid "$PHONE_PID"
      why="exited with status $status before coming up"
    fi
    interop_fail "nuvex-phone $why; its output:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")"
  fi
  interop_udp_bound "$port" || interop_fail "nuvex-phone says it is up but nothing is bound to UDP port $port"
}

# interop_stop_phone: SIGTERM, then expects the phone to end cleanly within 5 s.
interop_stop_phone() {
  [[ -n $PHONE_PID ]] || return 0
  local pid=$PHONE_PID status=0 waited=0
  PHONE_PID=
  kill -TERM "$pid" 2>/dev/null || true
  while kill -0 "$pid" 2>/dev/null && ((waited < 100)); do
    sleep 0.05
    waited=$((waited + 1))
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    interop_untrack_pid "$pid"
    interop_fail "nuvex-phone did not stop within 5 s of SIGTERM"
  fi
  wait "$pid" || status=$?
  interop_untrack_pid "$pid"
  [[ $status -eq 0 ]] || interop_fail "nuvex-phone exited with status $status after SIGTERM; its output:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")"
}

# interop_phone_alive: fails the test when the phone has died.
interop_phone_alive() {
  kill -0 "$PHONE_PID" 2>/dev/null ||
    interop_fail "nuvex-phone died; its output:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")"
}

# interop_run_sipp NAME SCENARIO LOCAL_PORT TARGET_PORT [SIPP_ARGS...]: runs
# one SIPp client scenario from this folder against 127.0.0.1:TARGET_PORT, one
# call, with its error and message traces in the work folder as NAME.*.log.
# Returns SIPp's status: 0 when the call succeeded.
interop_run_sipp() {
  local name=$1 scenario=$2 local_port=$3 target_port=$4
  shift 4
  local out=$WORK_DIR/$name
  timeout 60 sipp -sf "$INTEROP_DIR/$scenario" -m 1 -i 127.0.0.1 -p "$local_port" \
    -nostdin -nr -nd -timeout 20s -timeout_error \
    -trace_err -error_file "$out.errors.log" \
    -trace_msg -message_file "$out.messages.log" \
    "$@" "127.0.0.1:$target_port" >"$out.stdout.log" 2>&1
}

# interop_sipp_error NAME: the first event SIPp recorded for run NAME.
interop_sipp_error() {
  sed -n '2{s/^[^:]*:[^:]*:[^:]*: //;p;q}' "$WORK_DIR/$1.errors.log" 2>/dev/null | cut -c1-200
}

# interop_sipp NAME SCENARIO LOCAL_PORT [SIPP_ARGS...]: runs the scenario
# against the phone and fails the test, showing the traces, unless the call
# succeeded.
interop_sipp() {
  local name=$1 scenario=$2 local_port=$3
  shift 3
  local out=$WORK_DIR/$name status=0
  interop_run_sipp "$name" "$scenario" "$local_port" "$PHONE_PORT" "$@" || status=$?
  if [[ $status -ne 0 ]]; then
    {
      [[ -s $out.messages.log ]] && { echo "--- SIP messages of $scenario:"; cat "$out.messages.log"; }
      if [[ -s $out.errors.log ]]; then
        echo "--- SIPp errors of $scenario:"
        cat "$out.errors.log"
        echo
      else
        tail -n 20 "$out.stdout.log"
      fi
    } >&2
    local first_error
    first_error=$(interop_sipp_error "$name")
    interop_fail "$name: SIPp scenario $scenario ended with status $status${first_error:+: $first_error}"
  fi
  interop_check_sent_sizes "$out.messages.log"
  interop_log "ok: $name"
}

# interop_check_sent_sizes FILE: every datagram a scenario sent must be one
# the module reads (151 to 1499 bytes), or the scenario proves nothing.
interop_check_sent_sizes() {
  local sizes size
  sizes=$(sed -n 's/.*message sent (\([0-9]*\) bytes).*/\1/p' "$1")
  [[ -n $sizes ]] || interop_fail "no sent message in $1"
  for size in $sizes; do
    ((size > 150 && size < 1500)) || interop_fail "a scenario datagram of $size bytes would be ignored ($1)"
  done
}

# interop_count_received FILE METHOD: number of METHOD requests SIPp logged as
# received in a message trace, retransmissions included.
interop_count_received() {
  awk -v method="$2" '
    /message received/ { want = 1; next }
    want && NF { if (index($0, method " sip:") == 1) n++; want = 0 }
    END { print n + 0 }' "$1"
}

# interop_capture_start FILE FILTER: captures loopback traffic matching the
# capture FILTER into FILE until interop_capture_stop. Sets CAPTURE_PID.
interop_capture_start() {
  local file=$1 filter=$2
  CAPTURE_LOG=$file.capture.log
  tshark -i lo -f "$filter" -w "$file" >/dev/null 2>"$CAPTURE_LOG" &
  CAPTURE_PID=$!
  interop_track_pid "$CAPTURE_PID"
  interop_wait_for_line "$CAPTURE_LOG" "^Capturing on" 15 "$CAPTURE_PID" ||
    interop_fail "tshark did not start capturing on lo:$(printf '\n'; sed 's/^/  | /' "$CAPTURE_LOG")"
}

# interop_capture_stop: lets tshark flush the capture and end.
interop_capture_stop() {
  local status=0
  sleep 0.3
  kill -INT "$CAPTURE_PID" 2>/dev/null || true
  wait "$CAPTURE_PID" || status=$?
  interop_untrack_pid "$CAPTURE_PID"
  [[ $status -eq 0 ]] || interop_fail "tshark capture ended with status $status:$(printf '\n'; sed 's/^/  | /' "$CAPTURE_LOG")"
}

# interop_baresip_config DIR PORT CODEC ANSWERMODE SOURCE [DUMP]: a headless
# baresip in DIR on 127.0.0.1:PORT, account bs, speaking only CODEC, answering
# "auto" or "manual", its microphone the WAV file SOURCE; with DUMP, its
# sndfile module keeps what it encodes and decodes in DIR.
interop_baresip_config() {
  local dir=$1 port=$2 codec=$3 answermode=$4 source=$5 dump=${6:-}
  local modules
  modules=$(dirname "$(find /usr/lib -path '*/baresip/modules/aufile.so' -print -quit 2>/dev/null)")
  [[ -n $modules && $modules != . ]] || interop_fail "baresip's aufile module is not installed"
  mkdir -p "$dir"
  {
    printf 'poll_method\t\tepoll\nsip_listen\t\t127.0.0.1:%s\nmodule_path\t\t%s\n' "$port" "$modules"
    printf 'module\t\t\t%s\n' g711.so gsm.so aufile.so menu.so ${dump:+sndfile.so}
    printf 'module_tmp\t\t%s\n' uuid.so account.so
    printf 'audio_source\t\taufile,%s\naudio_player\t\taufile,%s/played.wav\n' "$source" "$dir"
    [[ -z $dump ]] || printf 'snd_path\t\t%s\n' "$dir"
  } >"$dir/config"
  printf '<sip:bs@127.0.0.1:%s>;regint=0;audio_codecs=%s;answermode=%s\n' "$port" "$codec" "$answermode" \
    >"$dir/accounts"
}

# interop_start_kamailio PORT BODY_FILE [DEBUG]: kamailio with one worker and
# the tlsf allocator on udp:127.0.0.1:PORT (UDP only), its configuration the
# common head followed by BODY_FILE (the loadmodule and modparam lines and the
# request_route). Its log is $KAMAILIO_LOG; sets KAMAILIO_PID and returns once
# the port is bound.
interop_start_kamailio() {
  local port=$1 body=$2 debug=${3:-0} modules
  modules=$(dirname "$(find /usr/lib -path '*/kamailio/modules/sl.so' -print -quit 2>/dev/null)")
  [[ -n $modules && $modules != . ]] || interop_fail "kamailio's modules are not installed"
  KAMAILIO_LOG=$WORK_DIR/kamailio.log
  {
    printf '#!KAMAILIO\ndebug=%s\nlog_stderror=yes\nchildren=1\ndisable_tcp=yes\nauto_aliases=no\n' "$debug"
    printf 'listen=udp:127.0.0.1:%s\nmpath="%s/"\n' "$port" "$modules"
    cat "$body"
  } >"$WORK_DIR/kamailio.cfg"
  kamailio -f "$WORK_DIR/kamailio.cfg" -n 1 -x tlsf -X tlsf -m 64 -M 8 -DD -E -w "$WORK_DIR" \
    >"$KAMAILIO_LOG" 2>&1 &
  KAMAILIO_PID=$!
  interop_track_pid "$KAMAILIO_PID"
  local waited=0
  until interop_udp_bound "$port"; do
    kill -0 "$KAMAILIO_PID" 2>/dev/null ||
      interop_fail "kamailio did not start:$(printf '\n'; sed 's/^/  | /' "$KAMAILIO_LOG")"
    ((waited++ < 200)) || interop_fail "kamailio did not bind UDP port $port within 10 s"
    sleep 0.05
  done
}
