#!/usr/bin/env bash
# The phone's commands on standard input, two phones calling each other:
# one answers from its prompt once it rings, the other places the call,
# lists it, hangs up and quits; and a scripted call to a host that does not
# resolve ends "unreachable" with a non-zero exit.
#
# Usage: bash phone_prompt_test.sh BIN_DIR

# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/lib.sh"
interop_init "$@"

answer_port='' call_port=''
interop_pick_udp_port answer_port
interop_pick_udp_port call_port

# start_prompted NAME PORT FD: a phone whose commands come through a pipe that
# this test writes on descriptor FD; its pid in STARTED.
start_prompted() {
  local name=$1 port=$2 fd=$3
  mkfifo "$WORK_DIR/$name.in"
  "$BIN_DIR/nuvex-phone" --config-dir "$WORK_DIR/$name" --data-dir "$WORK_DIR" --set "Port=0,0,$port" \
    <"$WORK_DIR/$name.in" >"$WORK_DIR/$name.log" 2>&1 &
  STARTED=$!
  interop_track_pid "$STARTED"
  eval "exec $fd>\"\$WORK_DIR/$name.in\""
  interop_wait_for_line "$WORK_DIR/$name.log" "^Talvenor up" 15 "$STARTED" || interop_fail "the $name phone did not start"
}
start_prompted answerer "$answer_port" 3
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
