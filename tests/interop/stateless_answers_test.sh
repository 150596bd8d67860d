#!/usr/bin/env bash
# The answers the module gives without any call state, checked with SIPp
# scenarios against a running nuvex-phone: 405 with the Allow line for
# OPTIONS and the other unserved methods, 481 for a BYE or CANCEL outside any
# call, and exactly one ACK for a 487 that belongs to no call.
#
# Usage: bash stateless_answers_test.sh BIN_DIR

# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/lib.sh"
interop_init "$@"
phone_port='' probe_port=''
interop_require sipp

interop_pick_udp_port phone_port
interop_start_phone "$phone_port" "Register=0,0,0,3600"

interop_pick_udp_port probe_port
interop_sipp options_405 options_405.xml "$probe_port" -cid_str "options-405-%u-%p@%s"

interop_pick_udp_port probe_port
interop_sipp refused_methods_405 refused_methods_405.xml "$probe_port" -cid_str "refused-405-%u-%p@%s"

interop_pick_udp_port probe_port
interop_sipp bye_481 bye_481.xml "$probe_port" -cid_str "stray-bye-%u-%p@%s"

interop_pick_udp_port probe_port
interop_sipp cancel_481 cancel_481.xml "$probe_port" -cid_str "stray-cancel-%u-%p@%s"

interop_pick_udp_port probe_port
interop_sipp stray_487_ack stray_487_ack.xml "$probe_port" -cid_str "stray-487-%u-%p@%s"
acks=$(interop_count_received "$WORK_DIR/stray_487_ack.messages.log" ACK)
[[ $acks -eq 1 ]] || interop_fail "stray 487 drew $acks ACKs, expected exactly 1"

interop_phone_alive
interop_stop_phone
