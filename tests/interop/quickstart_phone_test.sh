#!/usr/bin/env bash
# The README's first command, `./talvenor.sh phone`, leaves a phone running
# on the default SIP port that answers SIPp's OPTIONS with 405 (with a home
# folder of its own, so the user's profile and lists are not touched).
#
# Usage: bash quickstart_phone_test.sh BIN_DIR

# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/lib.sh"
interop_init "$@"
interop_require sipp
repo=$(cd "$INTEROP_DIR/../.." && pwd)

mkdir -p "$WORK_DIR/home"
PHONE_LOG=$WORK_DIR/quickstart.log
PHONE_PORT=5060
HOME=$WORK_DIR/home XDG_CONFIG_HOME='' XDG_DATA_HOME='' bash "$repo/talvenor.sh" phone </dev/null >"$PHONE_LOG" 2>&1 &
PHONE_PID=$!
interop_track_pid "$PHONE_PID"
interop_wait_for_line "$PHONE_LOG" '^Talvenor up on SIP port 5060$' 600 "$PHONE_PID" ||
  interop_fail "the phone did not come up on port 5060:$(printf '\n'; tail -20 "$PHONE_LOG" | sed 's/^/  | /')"
[[ -d $WORK_DIR/home/.local/share/nuvex ]] || interop_fail "the phone made no data folder in its home"
probe_port=''
interop_pick_udp_port probe_port
interop_sipp options_405 options_405.xml "$probe_port" -cid_str "quickstart-%u-%p@%s"
interop_stop_phone
