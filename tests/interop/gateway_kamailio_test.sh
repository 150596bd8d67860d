#!/usr/bin/env bash
# Gateway registration against kamailio as the gateway. kamailio challenges
# every REGISTER with digest authentication (realm "gateway.test", qop="auth"),
# checks the answer against a fixed password per user and saves the binding in
# its location table, granting at most 10 seconds; its nonces go stale after
# 3 seconds, so every refresh is challenged again. A gateway account of the
# module registers with it at start-up, in two runs of the phone:
#   - alice, right password: her first REGISTER is challenged, the repeated one
#     carries an Authorization line that kamailio accepts, her binding shows in
#     kamailio's location table, and she refreshes it about 6 s before each
#     grant runs out, with the same Call-ID and a rising CSeq, answering the
#     stale-nonce challenge, so the binding never lapses; every answer has
#     qop=auth, a client nonce and a nonce count, which a refresh under the
#     same nonce counts up;
#   - alice again, in a host that works account 0's R box: unticking it sends
#     a REGISTER with expires=0, kamailio removes her binding, and the
#     account goes idle;
#   - bob, wrong password: kamailio answers 403, the module says
#     "Gateway response: Wrong password/PIN!" and sends nothing more.
# The two accounts run in separate phones: accounts that start in the same
# timer tick make the same Call-ID and CSeq lines, so each would also take the
# other's responses as its own.
#
# Usage: bash gateway_kamailio_test.sh BIN_DIR

source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/registration_lib.sh"
interop_init "$@"
interop_require kamailio kamcmd

GRANT=10
REFRESHES=2

interop_pick_udp_port gateway_port
cat >"$WORK_DIR/route.cfg" <<EOF
modparam("registrar", "max_expires", $GRANT)
modparam("registrar", "min_expires", 0)
modparam("auth", "nonce_expire", 3)
request_route {
  if (\$rm != "REGISTER") { sl_send_reply("405", "Method Not Allowed"); exit; }
  xlog("L_NOTICE", "register|\$fU|\$cs|\$ci|\$Ts|\$hdr(Authorization)\n");
  xlog("L_NOTICE", "contact|\$fU|\$cs|\$hdr(Contact)\n");
  if (\$fU == "alice") { \$var(password) = "secret"; } else { \$var(password) = "bob-secret"; }
  if (!pv_www_authenticate("gateway.test", "\$var(password)", "0")) {
    \$var(rc) = \$rc;
    if (\$var(rc) == -2) {
      xlog("L_NOTICE", "refused|\$fU|\$cs\n");
      sl_send_reply("403", "Forbidden");
      exit;
    }
    xlog("L_NOTICE", "challenged|\$fU|\$cs|\$var(rc)\n");
    www_challenge("gateway.test", "1");
    exit;
  }
  if (!save("location")) {
    xlog("L_NOTICE", "unsaved|\$fU|\$cs\n");
    sl_reply_error();
    exit;
  }
  xlog("L_NOTICE", "saved|\$fU|\$cs|\$ci|\$Ts\n");
}
EOF
registration_start_kamailio "$gateway_port" "$WORK_DIR/route.cfg"

interop_pick_udp_port phone_port
interop_start_phone "$phone_port" "Address=127.0.0.1" "Register=0,0,0,3600" \
  "GW0=6, 127.0.0.1:$gateway_port, , , alice, secret"

# events KIND [USER]: kamailio's script lines of KIND ("register",
# "challenged", "refused", "saved"), without the log prefix, for USER if given.
events() {
  sed -n 's/.*<script>: //p' "$KAMAILIO_LOG" | awk -F'|' -v kind="$1" -v user="${2:-}" \
    '$1 == kind && (user == "" || $2 == user)'
}

show_traces() {
  echo "--- kamailio script log:"
  sed -n 's/.*<script>: /  | /p' "$KAMAILIO_LOG"
  echo "--- nuvex-phone output:"
  sed 's/^/  | /' "$PHONE_LOG"
}

# The first registration plus REFRESHES refreshes, each within about GRANT-6
# seconds of the previous one, so allow for all of them with room to spare.
deadline=$((SECONDS + 10 + (REFRESHES + 1) * GRANT))
until [[ $(events saved alice | wc -l) -gt $REFRESHES ]]; do
  interop_phone_alive
  kill -0 "$KAMAILIO_PID" 2>/dev/null || { show_traces >&2; interop_fail "kamailio died"; }
  ((SECONDS < deadline)) || {
    show_traces >&2
    interop_fail "kamailio saved alice's binding $(events saved alice | wc -l) times, expected the registration and $REFRESHES refreshes"
  }
  sleep 0.2
done
location=$(kamcmd -s "unix:$KAMAILIO_CTL" ul.dump)

# 1. alice's REGISTERs, in order: the first has no credentials and is
#    challenged; every later one carries the Authorization line the module
#    composes. A refresh first answers the challenge that was last accepted
#    again, under the next nonce count; kamailio finds its nonce stale
#    (nonce_expire 3 s) and challenges again, and the fresh answer is saved.
#    All of it is one REGISTER dialog: one Call-ID, a rising CSeq.
answer_pattern="^Digest username=\"alice\", realm=\"gateway\\.test\", nonce=\"[^\"]+\", uri=\"sip:127\\.0\\.0\\.1:$gateway_port\", response=\"[0-9a-f]{32}\", qop=auth, nc=[0-9a-f]{8}, cnonce=\"[0-9a-f]{16}\"\$"
first=$(events register alice | sed -n 1p)
[[ $(cut -d'|' -f6- <<<"$first") == "<null>" ]] ||
  { show_traces >&2; interop_fail "alice's first REGISTER already carries credentials: $first"; }
while IFS= read -r answer; do
  [[ $answer =~ $answer_pattern ]] ||
    { show_traces >&2; interop_fail "alice's REGISTER carries an unexpected Authorization line: $answer"; }
done < <(events register alice | tail -n +2 | cut -d'|' -f6-)
problems=$(sed -n 's/.*<script>: //p' "$KAMAILIO_LOG" | awk -F'|' '
  function value(line, name, found) {
    if (!match(line, " " name "=\"?[^\",]*")) return ""
    found = substr(line, RSTART, RLENGTH); sub(/^[^=]*="?/, "", found); return found
  }
  $2 != "alice" { next }
  $1 == "register" {
    if (callid == "") callid = $4
    else if ($4 != callid) print "Call-ID changed from " callid " to " $4
    if (cseq != "" && $3 + 0 <= cseq + 0) print "CSeq " $3 " does not rise above " cseq
    # Counts stay below 10 here: read as decimals.
    if (refreshing && (value($6, "nonce") != value(accepted, "nonce") || value($6, "cnonce") != value(accepted, "cnonce") ||
                       value($6, "nc") + 0 != value(accepted, "nc") + 1))
      print "the refresh at CSeq " $3 " does not answer the accepted challenge under the next count: " $6 " after " accepted
    cseq = $3; auth = $6; refreshing = 0
  }
  $1 == "challenged" && $4 == -5 && $3 != 1 { print "REGISTER " $3 " was challenged for missing credentials" }
  $1 == "challenged" && $4 == -4 { stale++ }
  $1 == "saved" { accepted = auth; refreshing = 1 }
  END { if (stale < 1) print "no refresh was challenged as stale, so the re-answer went untested" }')
[[ -z $problems ]] || { show_traces >&2; interop_fail "alice's REGISTERs: $problems"; }

# 2. Each refresh comes at least 2 s after the previous save (it is due 6 s
#    before the 10 s grant runs out) and is saved before that grant has run
#    out, challenge included, so the binding never lapses.
saves=$(events saved alice)
problems=$(awk -F'|' -v grant="$GRANT" '
  NR > 1 {
    gap = $5 - at
    if (gap < 2 || gap >= grant) print "save " gap " s after the previous one, expected 2 to " grant - 1 " s"
  }
  { at = $5 }' <<<"$saves")
[[ -z $problems ]] || { show_traces >&2; interop_fail "alice's refreshes: $problems"; }

# 3. kamailio's location table binds alice to the module's SIP port, as
#    registered by the module's user agent.
binding_pattern="Address: sip:alice@127\\.0\\.0\\.1:$phone_port$"
grep -Eq "AoR: alice\$" <<<"$location" && grep -Eq "$binding_pattern" <<<"$location" &&
  grep -q "User-Agent: Talvenor 7.2" <<<"$location" ||
  interop_fail "kamailio's location table lacks alice's binding to 127.0.0.1:$phone_port:$(printf '\n'; sed 's/^/  | /' <<<"$location")"
callid=$(head -n 1 <<<"$saves" | cut -d'|' -f4)
grep -Fq "Call-ID: $callid" <<<"$location" ||
  interop_fail "kamailio's binding for alice does not carry the module's Call-ID $callid"

interop_phone_alive
interop_stop_phone

# 4. Unregistration: the R box of a registered account, unticked.
PHONE_PROGRAM=$BIN_DIR/../test-hosts/talvenor-gateway-host
interop_pick_udp_port phone_port
interop_start_phone "$phone_port" "Address=127.0.0.1" "Register=0,0,0,3600" \
  "GW0=6, 127.0.0.1:$gateway_port, , , alice, secret"
interop_wait_for_line "$PHONE_LOG" "^gateway 0 registered\$" 15 "$PHONE_PID" ||
  { show_traces >&2; interop_fail "the gateway host did not register alice within 15 s"; }
kill -USR1 "$PHONE_PID"
interop_wait_for_line "$PHONE_LOG" "^gateway 0 idle\$" 15 "$PHONE_PID" ||
  { show_traces >&2; interop_fail "alice's account did not go idle after the R box was unticked"; }
events contact alice | tail -n 1 | grep -Ec ">;expires=0\$" >/dev/null ||
  { show_traces >&2; interop_fail "the last REGISTER of alice does not carry expires=0: $(events contact alice | tail -n 1)"; }
kamcmd -s "unix:$KAMAILIO_CTL" ul.dump | grep -Ec "Address: sip:alice@127\.0\.0\.1:$phone_port\$" >/dev/null &&
  { show_traces >&2; interop_fail "kamailio still binds alice to 127.0.0.1:$phone_port after the unregistration"; }
interop_phone_alive
interop_stop_phone
PHONE_PROGRAM=

interop_pick_udp_port phone_port
interop_start_phone "$phone_port" "Address=127.0.0.1" "Register=0,0,0,3600" \
  "GW0=6, 127.0.0.1:$gateway_port, , , bob, wrong-secret"
deadline=$((SECONDS + 10))
until [[ -n $(events refused bob) ]] && grep -q "Wrong password" "$PHONE_LOG"; do
  interop_phone_alive
  ((SECONDS < deadline)) || { show_traces >&2; interop_fail "bob's wrong password was not refused and reported within 10 s"; }
  sleep 0.2
done
# Room for further transmissions, which must not come: 3 timer ticks.
sleep 2.7

# 5. bob answered the challenge with a wrong password: one 403, the module's
#    message, and no REGISTER after the refused one.
[[ $(events refused bob | wc -l) -eq 1 ]] ||
  { show_traces >&2; interop_fail "kamailio refused bob $(events refused bob | wc -l) times, expected once"; }
[[ $(grep -c "Wrong password" "$PHONE_LOG") -eq 1 ]] && grep -Fq "Gateway response: Wrong password/PIN!" "$PHONE_LOG" ||
  { show_traces >&2; interop_fail "the module did not report the 403 once as 'Gateway response: Wrong password/PIN!'"; }
[[ $(events register bob | wc -l) -eq 2 ]] ||
  { show_traces >&2; interop_fail "bob sent $(events register bob | wc -l) REGISTERs, expected 2 (challenged, refused)"; }
[[ -z $(events saved bob) ]] || interop_fail "kamailio saved a binding for bob"

interop_phone_alive
interop_stop_phone
registration_stop_kamailio
