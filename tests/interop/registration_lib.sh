# Helpers for the registration interop tests, sourced after lib.sh. They read
# the registrar's list SIP-REG.txt, one registration per line:
#   user@address:port <TAB> PIN <TAB> regtime <TAB> expires <TAB> date <TAB> name <TAB> user-agent
# where the second field is AUTH for a registration that passed the digest
# check. REGISTRATION_MARK says which of the two the tests expect.
REGISTRATION_MARK=PIN

# registration_show_list FILE: the list, indented, with TABs made visible.
registration_show_list() {
  if [[ -f $1 ]]; then
    sed 's/\t/<TAB>/g; s/^/  | /' "$1"
  else
    echo "  | (no file $1)"
  fi
}

# registration_expect_lines FILE COUNT: the list holds exactly COUNT lines.
registration_expect_lines() {
  local file=$1 count=$2 lines=0
  [[ -f $file ]] && lines=$(wc -l <"$file")
  [[ $lines -eq $count ]] ||
    interop_fail "SIP-REG.txt holds $lines lines, expected $count:$(printf '\n'; registration_show_list "$file")"
}

# registration_expect_line FILE KEY EXPIRES EARLIEST LATEST NAME USER_AGENT:
# exactly one line has KEY as its first field, and it reads
#   KEY, $REGISTRATION_MARK, a regtime within EARLIEST..LATEST, EXPIRES, a date text that
#   holds the current year, NAME and USER_AGENT.
registration_expect_line() {
  local file=$1 key=$2 expires=$3 earliest=$4 latest=$5 name=$6 agent=$7
  local matches line
  matches=$(awk -F'\t' -v key="$key" '$1 == key' "$file" 2>/dev/null)
  [[ -n $matches && $(wc -l <<<"$matches") -eq 1 ]] ||
    interop_fail "SIP-REG.txt has no single line for $key:$(printf '\n'; registration_show_list "$file")"
  line=$matches
  local fields=()
  mapfile -t fields < <(tr '\t' '\n' <<<"$line")
  local why=
  [[ ${#fields[@]} -eq 7 ]] || why="${#fields[@]} fields, expected 7"
  [[ -n $why || ${fields[1]} == "$REGISTRATION_MARK" ]] || why="PIN field is '${fields[1]}', expected $REGISTRATION_MARK"
  [[ -n $why || ${fields[2]} =~ ^[0-9]+$ ]] || why="regtime '${fields[2]}' is not a number"
  [[ -n $why ]] || ((fields[2] >= earliest && fields[2] <= latest)) ||
    why="regtime ${fields[2]} is outside $earliest..$latest"
  [[ -n $why || ${fields[3]} == "$expires" ]] || why="expires is '${fields[3]}', expected $expires"
  [[ -n $why || ${fields[4]} == *"$(date +%Y)"* ]] || why="date '${fields[4]}' does not hold the year $(date +%Y)"
  [[ -n $why || ${fields[5]} == "$name" ]] || why="name is '${fields[5]}', expected '$name'"
  [[ -n $why || ${fields[6]} == "$agent" ]] || why="user agent is '${fields[6]}', expected '$agent'"
  [[ -z $why ]] ||
    interop_fail "SIP-REG.txt line for $key: $why:$(printf '\n'; registration_show_list "$file")"
}

# registration_start_kamailio PORT ROUTE_FILE: starts kamailio with one worker
# on udp:127.0.0.1:PORT, with the registrar's modules loaded (sl, pv, xlog,
# auth, usrloc without database, registrar, ctl) and the module parameters and
# request_route of ROUTE_FILE. Its log is $WORK_DIR/kamailio.log and its
# control socket $KAMAILIO_CTL (for kamcmd). Sets KAMAILIO_PID.
registration_start_kamailio() {
  local port=$1 route_file=$2
  KAMAILIO_CTL=$WORK_DIR/kamailio.ctl
  {
    cat <<CFG
loadmodule "sl.so"
loadmodule "pv.so"
loadmodule "xlog.so"
loadmodule "auth.so"
loadmodule "usrloc.so"
loadmodule "registrar.so"
loadmodule "ctl.so"
modparam("usrloc", "db_mode", 0)
modparam("ctl", "binrpc", "unix:$KAMAILIO_CTL")
CFG
    cat "$route_file"
  } >"$WORK_DIR/kamailio-body.cfg"
  interop_start_kamailio "$port" "$WORK_DIR/kamailio-body.cfg" 2
  local waited=0
  until [[ -S $KAMAILIO_CTL ]]; do
    ((waited++ < 200)) || interop_fail "kamailio did not open its control socket within 10 s"
    sleep 0.05
  done
  # The worker answers once kamcmd can reach the control process.
  waited=0
  until kamcmd -s "unix:$KAMAILIO_CTL" core.version >/dev/null 2>&1; do
    ((waited++ < 100)) || interop_fail "kamailio's control socket does not answer"
    sleep 0.05
  done
}

# registration_stop_kamailio: SIGTERM, then waits for kamailio to end.
registration_stop_kamailio() {
  [[ -n ${KAMAILIO_PID:-} ]] || return 0
  kill -TERM "$KAMAILIO_PID" 2>/dev/null || true
  wait "$KAMAILIO_PID" 2>/dev/null || true
  interop_untrack_pid "$KAMAILIO_PID"
  KAMAILIO_PID=
}

# registration_sipp_server_start NAME SCENARIO PORT [SIPP_ARGS...]: runs a
# SIPp server scenario from this folder on 127.0.0.1:PORT in the background,
# one call, with its traces in the work folder. Sets SIPP_SERVER_PID; the
# outcome is collected by registration_sipp_server_wait.
registration_sipp_server_start() {
  local name=$1 scenario=$2 port=$3
  shift 3
  SIPP_SERVER_NAME=$name
  SIPP_SERVER_SCENARIO=$scenario
  SIPP_SERVER_OUT=$WORK_DIR/$name
  timeout 90 sipp -sf "$INTEROP_DIR/$scenario" -m 1 -i 127.0.0.1 -p "$port" \
    -nostdin -nr -timeout 60s -timeout_error \
    -trace_err -error_file "$SIPP_SERVER_OUT.errors.log" \
    -trace_msg -message_file "$SIPP_SERVER_OUT.messages.log" \
    "$@" >"$SIPP_SERVER_OUT.stdout.log" 2>&1 &
  SIPP_SERVER_PID=$!
  interop_track_pid "$SIPP_SERVER_PID"
  local waited=0
  until interop_udp_bound "$port"; do
    kill -0 "$SIPP_SERVER_PID" 2>/dev/null ||
      interop_fail "SIPp server $scenario did not start:$(printf '\n'; sed 's/^/  | /' "$SIPP_SERVER_OUT.stdout.log")"
    ((waited++ < 200)) || interop_fail "SIPp server $scenario did not bind UDP port $port within 10 s"
    sleep 0.05
  done
}

# registration_sipp_server_wait: waits for the SIPp server scenario to end
# and fails the test, showing its traces, unless its call succeeded.
registration_sipp_server_wait() {
  local status=0 out=$SIPP_SERVER_OUT
  wait "$SIPP_SERVER_PID" || status=$?
  interop_untrack_pid "$SIPP_SERVER_PID"
  if [[ $status -ne 0 ]]; then
    {
      [[ -s $out.messages.log ]] && { echo "--- SIP messages of $SIPP_SERVER_SCENARIO:"; cat "$out.messages.log"; }
      [[ -s $out.errors.log ]] && { echo "--- SIPp errors of $SIPP_SERVER_SCENARIO:"; cat "$out.errors.log"; echo; }
      tail -n 20 "$out.stdout.log"
    } >&2
    local first_error
    first_error=$(sed -n '2{s/^[^:]*:[^:]*:[^:]*: //;p;q}' "$out.errors.log" 2>/dev/null | cut -c1-300)
    interop_fail "$SIPP_SERVER_NAME: SIPp scenario $SIPP_SERVER_SCENARIO ended with status $status${first_error:+: $first_error}"
  fi
  interop_check_sent_sizes "$out.messages.log"
  interop_log "ok: $SIPP_SERVER_NAME"
}
