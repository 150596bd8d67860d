#!/usr/bin/env bash
# A phone with "Authenticate invites" on: an INVITE from a user whose
# registration from that source was authenticated rings without a
# challenge; one from elsewhere gets 401 (realm "1234@127.0.0.1") and rings
# after SIPp's digest answer.
#
# Usage: bash auth_invite_test.sh BIN_DIR

# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/lib.sh"
interop_init "$@"
interop_require sipp

phone_port='' registered_port='' stranger_port='' media_port=''
interop_pick_udp_port phone_port
interop_pick_udp_port registered_port
interop_pick_udp_port stranger_port
interop_pick_udp_port media_port
PHONE_OPTIONS=(--auto-answer=30)  # rings long enough to be cancelled
interop_start_phone "$phone_port" "Register=1,0,1,3600" "Address=127.0.0.1"
printf '1234\tsecret\n' >"$PHONE_DATA_DIR/SIP-PIN.txt"
printf '1234@127.0.0.1:%s\tAUTH\t%s\t3600\td\tDesk\tProbe\n' "$registered_port" "$(date +%s)" \
  >"$PHONE_DATA_DIR/SIP-REG.txt"

# From the registered address: rings at once (the cancel scenario sends no credentials).
interop_sipp registered call_in_cancel_uac.xml "$registered_port" -mp "$media_port" -cid_str "registered-%u-%p@%s"
# From elsewhere: challenged, then rings with the digest answer.
# The digest names the INVITE's request URI, as phones do; SIPp would name
# the phone's address alone unless told.
interop_sipp stranger auth_invite_uac.xml "$stranger_port" -mp "$media_port" -cid_str "stranger-%u-%p@%s" \
  -au 1234 -ap secret -auth_uri "lab@127.0.0.1:$phone_port"
grep -q 'WWW-Authenticate: Digest realm="1234@127.0.0.1", nonce="' "$WORK_DIR/stranger.messages.log" ||
  interop_fail "the challenge did not name the realm 1234@127.0.0.1"
interop_phone_alive
interop_stop_phone
