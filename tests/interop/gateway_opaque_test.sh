#!/usr/bin/env bash
# Gateway registration against a gateway that SIPp plays
# (gateway_opaque_uas.xml): a challenge with an opaque value is answered with
# an Authorization line that has every parameter in the module's order and
# echoes the opaque, with a right digest; the 200's short grant brings a
# refresh with the same credentials; a 423 makes the next REGISTER ask for
# the Min-Expires lifetime.
#
# Usage: bash gateway_opaque_test.sh BIN_DIR

source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/registration_lib.sh"
interop_init "$@"
interop_require sipp

interop_pick_udp_port gateway_port
interop_pick_udp_port phone_port
registration_sipp_server_start opaque_gateway gateway_opaque_uas.xml "$gateway_port" \
  -set user alice -set password secret -set display Alice -set phone_port "$phone_port"
interop_start_phone "$phone_port" "Address=127.0.0.1" "Name=Alice" "Register=0,0,0,3600" \
  "GW0=6, 127.0.0.1:$gateway_port, , , alice, secret"
registration_sipp_server_wait

interop_phone_alive
interop_stop_phone
