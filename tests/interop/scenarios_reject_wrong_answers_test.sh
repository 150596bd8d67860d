#!/usr/bin/env bash
# The SIPp scenarios that judge the module must themselves fail against a
# peer whose answers are slightly wrong; otherwise a change in SIPp (or in a
# scenario) could let them pass whatever the module sends. Wrong peers are
# SIPp server scenarios; the module is not involved.
#
# Usage: bash scenarios_reject_wrong_answers_test.sh BIN_DIR

# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/lib.sh"
interop_init "$@"
interop_require sipp
peer_port='' probe_port=''

# expect_rejected UAS_SCENARIO UAC_SCENARIO: the client scenario must fail
# against the wrong peer, and fail on the answer rather than for lack of one.
expect_rejected() {
  local uas=$1 uac=$2 name=${2%.xml}-vs-${1%.xml} status=0 peer
  interop_pick_udp_port peer_port
  timeout 30 sipp -sf "$INTEROP_DIR/$uas" -m 1 -i 127.0.0.1 -p "$peer_port" -nostdin -nd \
    -timeout 20s >"$WORK_DIR/$name.peer.log" 2>&1 &
  peer=$!
  interop_track_pid "$peer"
  until interop_udp_bound "$peer_port"; do
    kill -0 "$peer" 2>/dev/null || interop_fail "wrong peer $uas did not start"
    sleep 0.05
  done
  interop_pick_udp_port probe_port
  interop_run_sipp "$name" "$uac" "$probe_port" "$peer_port" -cid_str "$name-%u-%p@%s" || status=$?
  [[ $status -ne 0 ]] || interop_fail "$uac accepts the answer of $uas"
  grep -q 'message received' "$WORK_DIR/$name.messages.log" ||
    interop_fail "$uac failed without receiving the answer of $uas: $(interop_sipp_error "$name")"
  wait "$peer" || true
  interop_untrack_pid "$peer"
  interop_log "ok: $uac rejects $uas: $(interop_sipp_error "$name")"
}

expect_rejected wrong_405_uas.xml options_405.xml
expect_rejected wrong_481_uas.xml bye_481.xml
