#!/usr/bin/env bash
# baresip registers with the module's registrar, headless, on 127.0.0.1:
#   1. without authentication: baresip's REGISTER gets 200 at once, the
#      registrar writes alice's SIP-REG.txt line with her source port, the
#      lifetime she asked for and baresip's user agent;
#   2. with authentication and a SIP-PIN list: baresip answers the 401 for
#      realm "alice@127.0.0.1" with its own digest and gets 200 and the line;
#      bob, whose password is wrong, gets 403 and no line.
# In both runs baresip unregisters when it is stopped, which removes alice's
# line again.
#
# Usage: bash baresip_registrar_test.sh BIN_DIR

source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/registration_lib.sh"
interop_init "$@"
interop_require baresip

BARESIP_MODULES=$(dirname "$(find /usr/lib -path '*/baresip/modules/account.so' -print -quit 2>/dev/null)")
[[ -n $BARESIP_MODULES && $BARESIP_MODULES != . ]] || interop_fail "baresip's account module is not installed"
LIFETIME=300
BARESIP_AGENT="baresip v1.0.0 (x86_64/linux)"
# The name field is the second token of the To line cut at colon, space,
# double quote and "<"; baresip's To has no display name ("To: <sip:..."), so
# the registrar records "sip".
BARESIP_NAME=sip

# start_baresip NAME PORT ACCOUNT_LINE...: starts baresip with a fresh config
# folder, SIP on udp 127.0.0.1:PORT only, no audio device or user interface,
# SIP trace on, one account per ACCOUNT_LINE. Sets BARESIP_PID, BARESIP_LOG.
start_baresip() {
  local name=$1 port=$2
  shift 2
  local dir=$WORK_DIR/baresip-$name
  mkdir -p "$dir"
  cat >"$dir/config" <<EOF
poll_method		epoll
sip_listen		127.0.0.1:$port
module_path		$BARESIP_MODULES
module			g711.so
module_tmp		uuid.so
module_tmp		account.so
EOF
  printf '%s\n' "$@" >"$dir/accounts"
  BARESIP_LOG=$WORK_DIR/baresip-$name.log
  baresip -f "$dir" -s -t 60 </dev/null >"$BARESIP_LOG" 2>&1 &
  BARESIP_PID=$!
  interop_track_pid "$BARESIP_PID"
}

# stop_baresip: SIGTERM; baresip unregisters its accounts and ends.
stop_baresip() {
  kill -TERM "$BARESIP_PID" 2>/dev/null || true
  local waited=0
  while kill -0 "$BARESIP_PID" 2>/dev/null; do
    ((waited++ < 200)) || interop_fail "baresip did not end within 10 s of SIGTERM"
    sleep 0.05
  done
  wait "$BARESIP_PID" 2>/dev/null || true
  interop_untrack_pid "$BARESIP_PID"
}

# baresip_trace: baresip's log without its colour escape sequences.
baresip_trace() { sed 's/\x1b\[[0-9;]*m//g' "$BARESIP_LOG"; }
show_baresip() { baresip_trace | sed 's/^/  | /'; }

# wait_baresip_report WHAT PATTERN: waits for a line of baresip's log that
# matches PATTERN, its report of WHAT.
wait_baresip_report() {
  interop_wait_for_line "$BARESIP_LOG" "$2" 15 "$BARESIP_PID" ||
    interop_fail "baresip did not report $1:$(printf '\n'; show_baresip)"
}

# Its reports of a registration and of a refusal (in colour: an escape
# sequence may lead the line).
registered_pattern() { echo "^(${ESC}\\[[0-9;]*m)?$1@127\\.0\\.0\\.1: \\{0/UDP/v4\\} 200 OK .*\\[1 binding\\]"; }
refused_pattern() { echo "^(${ESC}\\[[0-9;]*m)?reg: sip:$1@127\\.0\\.0\\.1:$phone_port: $2 "; }
ESC=$'\e'

# expect_bound_to_loopback PORT: baresip's SIP socket is 127.0.0.1:PORT.
expect_bound_to_loopback() {
  ss -Hnlup "sport = :$1" | grep -c "127.0.0.1:$1 .*baresip" >/dev/null ||
    interop_fail "baresip is not bound to udp 127.0.0.1:$1:$(printf '\n'; ss -Hnlup | sed 's/^/  | /')"
}

# expect_unregistered: after baresip stopped, the registrar answered its
# expires=0 REGISTER with 200 and alice's line is gone.
expect_unregistered() {
  grep -q "^Contact: <sip:alice@127\\.0\\.0\\.1:$1>;expires=0" <<<"$(baresip_trace)" ||
    interop_fail "the registrar did not confirm baresip's unregistration:$(printf '\n'; show_baresip)"
  registration_expect_lines "$reg_list" 0
}

# 1. Registrar without authentication.
interop_pick_udp_port phone_port
interop_start_phone "$phone_port" "Address=127.0.0.1" "Register=1,0,0,3600"
reg_list=$PHONE_DATA_DIR/SIP-REG.txt
interop_pick_udp_port baresip_port
before=$(date +%s)
start_baresip open "$baresip_port" "<sip:alice@127.0.0.1:$phone_port>;regint=$LIFETIME"
wait_baresip_report "alice's registration" "$(registered_pattern alice)"
after=$(date +%s)
expect_bound_to_loopback "$baresip_port"
grep -q "^WWW-Authenticate:" <<<"$(baresip_trace)" &&
  interop_fail "the registrar challenged although authentication is off:$(printf '\n'; show_baresip)"
registration_expect_lines "$reg_list" 1
registration_expect_line "$reg_list" "alice@127.0.0.1:$baresip_port" "$LIFETIME" "$before" "$after" \
  "$BARESIP_NAME" "$BARESIP_AGENT"
stop_baresip
expect_unregistered "$baresip_port"
interop_phone_alive
interop_stop_phone

# 2. Registrar with authentication against SIP-PIN.txt.
interop_pick_udp_port phone_port
interop_start_phone "$phone_port" "Address=127.0.0.1" "Register=1,1,0,3600"
REGISTRATION_MARK=AUTH
printf 'alice\tsecret\nbob\thunter2\n' >"$PHONE_DATA_DIR/SIP-PIN.txt"
reg_list=$PHONE_DATA_DIR/SIP-REG.txt
interop_pick_udp_port baresip_port
before=$(date +%s)
start_baresip digest "$baresip_port" \
  "<sip:alice@127.0.0.1:$phone_port>;auth_pass=secret;regint=$LIFETIME" \
  "<sip:bob@127.0.0.1:$phone_port>;auth_pass=not-hunter2;regint=$LIFETIME"
wait_baresip_report "alice's registration" "$(registered_pattern alice)"
wait_baresip_report "bob's 403" "$(refused_pattern bob 403)"
after=$(date +%s)
expect_bound_to_loopback "$baresip_port"
clean_log=$(baresip_trace)
grep -q '^WWW-Authenticate: Digest realm="alice@127\.0\.0\.1", nonce="[0-9a-f]\{32\}"' <<<"$clean_log" ||
  interop_fail "no challenge for realm alice@127.0.0.1 in baresip's trace:$(printf '\n'; show_baresip)"
grep -q '^Authorization: Digest username="alice", realm="alice@127\.0\.0\.1"' <<<"$clean_log" ||
  interop_fail "baresip did not answer the challenge:$(printf '\n'; show_baresip)"
registration_expect_lines "$reg_list" 1
registration_expect_line "$reg_list" "alice@127.0.0.1:$baresip_port" "$LIFETIME" "$before" "$after" \
  "$BARESIP_NAME" "$BARESIP_AGENT"
stop_baresip
expect_unregistered "$baresip_port"
interop_phone_alive
interop_stop_phone
