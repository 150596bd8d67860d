#!/usr/bin/env bash
# The phone's commands on standard input, two phones calling each other:
# one answers from its prompt once it rings, the other places the call,
# lists it, hangs up and quits; `register 1` has the answerer register its
# gateway account 1 with a gateway played by SIPp; 'options' without a
# reachable display says why and returns; and a scripted call to a host that does not
# resolve ends "unreachable" with a non-zero exit.
#
# Usage: bash phone_prompt_test.sh BIN_DIR

# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/lib.sh"
interop_init "$@"

# A display that is named but not there: 'options' must say so, not end
# the phone.
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
export DISPLAY=:77

answer_port='' call_port='' gateway_port=''
interop_pick_udp_port answer_port
interop_pick_udp_port call_port
interop_pick_udp_port gateway_port

# start_prompted NAME PORT FD [OPTIONS...]: a phone whose commands come through a pipe that
# this test writes on descriptor FD; its pid in STARTED.
start_prompted() {
  local name=$1 port=$2 fd=$3
  shift 3
  mkfifo "$WORK_DIR/$name.in"
  "$BIN_DIR/nuvex-phone" --config-dir "$WORK_DIR/$name" --data-dir "$WORK_DIR" --set "Port=0,0,$port" "$@" \
    <"$WORK_DIR/$name.in" >"$WORK_DIR/$name.log" 2>&1 &
  STARTED=$!
  interop_track_pid "$STARTED"
  eval "exec $fd>\"\$WORK_DIR/$name.in\""
  interop_wait_for_line "$WORK_DIR/$name.log" "^Talvenor up" 15 "$STARTED" || interop_fail "the $name phone did not start"
}
start_prompted answerer "$answer_port" 3 --set "GW1=0, 127.0.0.1:$gateway_port, , 555, alice, secret" \
  --set Address=127.0.0.1
answerer=$STARTED
start_prompted caller "$call_port" 4
caller=$STARTED

echo "call lab@127.0.0.1:$answer_port" >&4
interop_wait_for_line "$WORK_DIR/answerer.log" '^ringing$' 10 "$answerer" || interop_fail "the call did not ring"
echo "answer" >&3
interop_wait_for_line "$WORK_DIR/caller.log" '^connected$' 10 "$caller" ||
  interop_fail "the call did not connect:$(printf '\n'; sed 's/^/  | /' "$WORK_DIR/caller.log")"
echo "lines" >&4
interop_wait_for_line "$WORK_DIR/caller.log" '^line 0 connected ' 5 "$caller" || interop_fail "'lines' did not list the call"
echo "hangup" >&4
interop_wait_for_line "$WORK_DIR/answerer.log" '^ended: normal$' 10 "$answerer" || interop_fail "the far end did not see the end"
timeout 30 sipp -sf "$INTEROP_DIR/register_ok_uas.xml" -m 1 -i 127.0.0.1 -p "$gateway_port" -nostdin -nr -nd \
  -timeout 25s -timeout_error >"$WORK_DIR/gateway.log" 2>&1 &
gateway=$!
interop_track_pid "$gateway"
for _ in $(seq 50); do interop_udp_bound "$gateway_port" && break; sleep 0.2; done
interop_udp_bound "$gateway_port" || interop_fail "SIPp's gateway did not start"
echo "register 1" >&3
interop_wait_for_line "$WORK_DIR/answerer.log" "^gateway 1: registering with 127.0.0.1:$gateway_port as alice$" 10 \
  "$answerer" || interop_fail "'register 1' did not start the account:$(printf '\n'; tail -n 5 "$WORK_DIR/answerer.log")"
status=0
wait "$gateway" || status=$?
interop_untrack_pid "$gateway"
[[ $status -eq 0 ]] || interop_fail "the gateway saw no REGISTER from alice (SIPp status $status)"

echo "options" >&4
interop_wait_for_line "$WORK_DIR/caller.log" '^SIP Options: closed without OK$' 10 "$caller" ||
  interop_fail "'options' without a display did not come back"
grep -q 'SIP Options dialog cannot be shown: the display cannot be reached' "$WORK_DIR/caller.log" ||
  interop_fail "'options' did not say why no dialog was shown"

echo "quit" >&4
echo "quit" >&3
for pid in "$caller" "$answerer"; do
  status=0
  wait "$pid" || status=$?
  interop_untrack_pid "$pid"
  [[ $status -eq 0 ]] || interop_fail "a phone ended with status $status after quit"
done
exec 3>&- 4>&-

status=0
timeout 20 "$BIN_DIR/nuvex-phone" --config-dir "$WORK_DIR/lost" --data-dir "$WORK_DIR" --set "Port=0,0,$call_port" \
  --call "lab@no-such-host.invalid" --exit-when-idle </dev/null >"$WORK_DIR/lost.log" 2>&1 || status=$?
[[ $status -ne 0 ]] || interop_fail "a call that could not be placed exited 0"
grep -q '^ended: unreachable$' "$WORK_DIR/lost.log" || interop_fail "no 'unreachable' end for a host that does not resolve"
