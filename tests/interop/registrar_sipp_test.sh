#!/usr/bin/env bash
# The module's registrar with digest authentication on, driven by SIPp as the
# registering user agent (register_digest.xml): every REGISTER is first
# challenged with realm "user@127.0.0.1", and the repeated REGISTER with
# SIPp's digest answer gets
#   - 200 with "Contact: <sip:user@source:port>;expires=N", N capped at the
#     default lifetime (3600) or taken as asked, and its SIP-REG.txt line;
#   - 423 with "Min-Expires: 60" for expires=30, list unchanged;
#   - 403 for a wrong password and 404 for a user without a SIP-PIN entry,
#     list unchanged;
#   - 200 with expires=0 for an unregistration, which removes only that line.
#
# Usage: bash registrar_sipp_test.sh BIN_DIR

source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/registration_lib.sh"
interop_init "$@"
interop_require sipp

interop_pick_udp_port phone_port
interop_start_phone "$phone_port" "Address=127.0.0.1" "Register=1,1,0,3600"
REGISTRATION_MARK=AUTH
printf 'alice\tsecret\nbob\thunter2\n' >"$PHONE_DATA_DIR/SIP-PIN.txt"
reg_list=$PHONE_DATA_DIR/SIP-REG.txt

# register NAME LOCAL_PORT USER PASSWORD CONTACT_PARAMS EXPECT [GRANTED]: one
# challenged REGISTER from LOCAL_PORT whose Contact is the user's binding
# followed by CONTACT_PARAMS; its final answer must be EXPECT, and a 200 must
# grant GRANTED seconds to user@127.0.0.1:LOCAL_PORT.
register() {
  local name=$1 port=$2 user=$3 password=$4 params=$5 expect=$6 granted=${7:-0}
  interop_sipp "$name" register_digest.xml "$port" -cid_str "$name-%u-%p@%s" \
    -au "$user" -ap "$password" -set user "$user" \
    -set contact "<sip:$user@127.0.0.1:$port>$params" \
    -set expect "$expect" -set granted "$granted"
}

interop_pick_udp_port alice_port
interop_pick_udp_port bob_port
interop_pick_udp_port mallory_port

# 1. Asking for more than the default lifetime is granted the default, and
#    the registration is written as the list's one line.
before=$(date +%s)
register alice_capped "$alice_port" alice secret ";expires=7200" 200 3600
after=$(date +%s)
registration_expect_lines "$reg_list" 1
registration_expect_line "$reg_list" "alice@127.0.0.1:$alice_port" 3600 "$before" "$after" \
  Interop "SIPp registrar probe"

# 2. No lifetime asked: the default; a lifetime within bounds: as asked. Each
#    rewrite keeps the other user's line.
register bob_default "$bob_port" bob hunter2 "" 200 3600
registration_expect_lines "$reg_list" 2
before=$(date +%s)
register alice_asked "$alice_port" alice secret ";expires=120" 200 120
after=$(date +%s)
registration_expect_lines "$reg_list" 2
registration_expect_line "$reg_list" "alice@127.0.0.1:$alice_port" 120 "$before" "$after" \
  Interop "SIPp registrar probe"
registration_expect_line "$reg_list" "bob@127.0.0.1:$bob_port" 3600 0 "$after" \
  Interop "SIPp registrar probe"

# 3. Refusals leave the list as it was.
snapshot=$(cat "$reg_list")
register alice_too_brief "$alice_port" alice secret ";expires=30" 423
register alice_wrong_password "$alice_port" alice not-the-secret ";expires=120" 403
register mallory_unknown "$mallory_port" mallory secret ";expires=120" 404
[[ $(cat "$reg_list") == "$snapshot" ]] ||
  interop_fail "a refused REGISTER changed SIP-REG.txt:$(printf '\n'; registration_show_list "$reg_list")"

# 4. Unregistration from the same source removes alice's line, keeps bob's.
register alice_unregister "$alice_port" alice secret ";expires=0" 200 0
registration_expect_lines "$reg_list" 1
registration_expect_line "$reg_list" "bob@127.0.0.1:$bob_port" 3600 0 "$after" \
  Interop "SIPp registrar probe"

interop_phone_alive
interop_stop_phone
