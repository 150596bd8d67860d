#!/usr/bin/env bash
# The phone's registrar (no authentication) is killed with SIGKILL at random
# moments while SIPp registers at a high rate (kill_register.xml): twenty
# users of its own per round, from an address of its own (127.0.0.<round+1>;
# the registrar takes 20 bindings per address), again and again, each
# REGISTER after the first a refresh written over its line; the phone is
# restarted on the same data folder and profile, round after round;
# every third round asks the phone to quit and kills it a few milliseconds
# later, while it saves its settings. After every kill:
#   - SIP-REG.txt is a whole list: it ends with a line feed and every line
#     has the registrar's seven TAB-separated fields for one of SIPp's users;
#   - every registration the registrar answered 200 is in it, and no line an
#     earlier round left there is gone (all lifetimes are an hour);
#   - a half-written SIP-REG.bak, left by a kill or planted, never becomes
#     the list;
#   - the profile talvenor.ini is whole: a [Settings] section of Entry=value
#     lines, the very file the first clean stop saved (no setting changes).
# A last run sends fifty REGISTERs for twenty more users and stops cleanly; the list, the
# profile and the folder are checked once more.
#
# Usage: bash kill_anytime_test.sh BIN_DIR

# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/lib.sh"
interop_init "$@"
interop_require sipp od
export LC_ALL=C  # sort and comm agree on the order of keys

ROUNDS=12
phone_port='' sipp_port=''
interop_pick_udp_port phone_port
interop_pick_udp_port sipp_port
reg_list='' reg_temp='' profile='' saved_profile=$WORK_DIR/saved.ini
known_keys=$WORK_DIR/known.keys  # every key a checked list held so far
: >"$known_keys"
users=$WORK_DIR/users.csv
{ echo SEQUENTIAL; for ((i = 1; i <= 20; i++)); do printf '%d;\n' "$i"; done; } >"$users"

# ends_with_line_feed FILE
ends_with_line_feed() { [[ $(tail -c 1 "$1" | od -An -c | tr -d ' ') == '\n' ]]; }

# restart_phone ROUND: the phone again, on the same folders, with no entry
# set from the command line: what it runs with comes from the profile. Its
# commands come from a pipe of its own, open here as PHONE_INPUT.
restart_phone() {
  PHONE_LOG=$WORK_DIR/nuvex-phone.round$1.log
  local fifo=$WORK_DIR/phone.$1.in
  mkfifo "$fifo"
  exec {PHONE_INPUT}<>"$fifo"
  "$BIN_DIR/nuvex-phone" --config-dir "$PHONE_CONFIG_DIR" --data-dir "$PHONE_DATA_DIR" <"$fifo" >"$PHONE_LOG" 2>&1 &
  PHONE_PID=$!
  interop_track_pid "$PHONE_PID"
  interop_wait_for_line "$PHONE_LOG" "^Talvenor up on SIP port $phone_port\$" 15 "$PHONE_PID" ||
    interop_fail "round $1: the phone did not come up again on port $phone_port:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")"
}

# kill_phone: SIGKILL, and the phone is gone.
kill_phone() {
  kill -KILL "$PHONE_PID" 2>/dev/null || true
  wait "$PHONE_PID" 2>/dev/null || true
  interop_untrack_pid "$PHONE_PID"
  PHONE_PID=
  exec {PHONE_INPUT}>&-
}

# start_registrations ROUND CALLS: SIPp sends CALLS REGISTERs for the users
# k<ROUND>u1 to k<ROUND>u20 in turn from 127.0.0.<ROUND+1>:$sipp_port, up to
# 500 a second, in the background; the
# bindings granted go to $WORK_DIR/granted.ROUND.log. Sets SIPP_PID once
# SIPp's socket is bound, that is when it starts sending.
start_registrations() {
  local round=$1 calls=$2 waited=0
  # SIPp itself, not a wrapper, gets the signals; its own timeout bounds it.
  sipp -sf "$INTEROP_DIR/kill_register.xml" -inf "$users" -i "127.0.0.$((round + 1))" -p "$sipp_port" -r 500 -l 100 -m "$calls" -timeout 60s \
    -set round "$round" -nostdin -trace_logs -log_file "$WORK_DIR/granted.$round.log" \
    -trace_msg -message_file "$WORK_DIR/register.$round.messages.log" \
    "127.0.0.1:$phone_port" >"$WORK_DIR/register.$round.stdout.log" 2>&1 &
  SIPP_PID=$!
  interop_track_pid "$SIPP_PID"
  until interop_udp_bound "$sipp_port"; do
    kill -0 "$SIPP_PID" 2>/dev/null ||
      interop_fail "round $round: SIPp did not start:$(printf '\n'; sed 's/^/  | /' "$WORK_DIR/register.$round.stdout.log")"
    ((waited++ < 200)) || interop_fail "round $round: SIPp did not bind UDP port $sipp_port within 10 s"
    sleep 0.05
  done
}

# finish_registrations: SIGUSR1 lets SIPp end its open calls (they time out
# once the phone is gone) and write its log; returns SIPp's status.
finish_registrations() {
  local status=0
  kill -USR1 "$SIPP_PID" 2>/dev/null || true
  wait "$SIPP_PID" || status=$?
  interop_untrack_pid "$SIPP_PID"
  return "$status"
}

# check_list WHEN: the list after WHEN is whole, holds every key granted so
# far and every key an earlier check saw, and nothing else.
check_list() {
  local when=$1 keys=$WORK_DIR/list.keys why lost
  : >"$keys"
  if [[ ! -e $reg_list ]]; then
    [[ ! -s $known_keys ]] || interop_fail "$when: SIP-REG.txt is gone, though it held $(wc -l <"$known_keys") lines"
  else
    [[ ! -s $reg_list ]] || ends_with_line_feed "$reg_list" ||
      interop_fail "$when: SIP-REG.txt does not end with a line feed (cut short):$(printf '\n'; tail -n 3 "$reg_list" | sed 's/\t/<TAB>/g; s/^/  | /')"
    why=$(awk -F'\t' '
      NF != 7 { print "line " NR " has " NF " fields: " $0; exit }
      $1 !~ /^k[0-9]+u[0-9]+@127\.0\.0\.[0-9]+:[0-9]+$/ { print "line " NR " has the key \"" $1 "\""; exit }
      $2 != "PIN" || $3 !~ /^[0-9]+$/ || $4 != "3600" || $6 != "Kill" || $7 != "SIPp kill-anytime probe" {
        print "line " NR " is not a registration of SIPp: " $0; exit }
      seen[$1]++ { print "key " $1 " is on two lines"; exit }' "$reg_list")
    [[ -z $why ]] || interop_fail "$when: SIP-REG.txt is not a whole list: $why"
    cut -f1 "$reg_list" | sort >"$keys"
  fi
  lost=$(sort "$known_keys" | comm -23 - "$keys" | head -n 5 | tr '\n' ' ')
  [[ -z $lost ]] || interop_fail "$when: SIP-REG.txt lost lines an earlier round had made durable, among them: $lost"
  lost=$(cat "$WORK_DIR"/granted.*.log 2>/dev/null | sort -u | comm -23 - "$keys" | head -n 5 | tr '\n' ' ')
  [[ -z $lost ]] || interop_fail "$when: registrations answered 200 are missing from SIP-REG.txt: $lost"
  cp "$keys" "$known_keys"
}

# check_profile WHEN: the profile is a whole file of entries in [Settings],
# holding the port and registrar settings, and no other than the one saved
# at the first clean stop.
check_profile() {
  local when=$1 why
  [[ -s $profile ]] || interop_fail "$when: the profile $profile is missing or empty"
  ends_with_line_feed "$profile" ||
    interop_fail "$when: the profile does not end with a line feed:$(printf '\n'; sed 's/^/  | /' "$profile")"
  why=$(awk -v port="$phone_port" '
    /^\[[^]]+\]$/ { section = $0; sections[$0]++; next }
    !/^[A-Za-z0-9]+=/ { print "line " NR " is neither a section nor an entry: " $0; bad = 1; exit }
    section == "[Settings]" { value[substr($0, 1, index($0, "=") - 1)] = substr($0, index($0, "=") + 1) }
    END {
      if (bad) exit
      if (sections["[Settings]"] != 1) { print "it has " sections["[Settings]"] + 0 " [Settings] sections"; exit }
      if (value["Port"] != "0,0," port) { print "Port is \"" value["Port"] "\", expected 0,0," port; exit }
      if (value["Register"] != "1,0,0,3600") { print "Register is \"" value["Register"] "\", expected 1,0,0,3600"; exit }
    }' "$profile")
  [[ -z $why ]] || interop_fail "$when: the profile is not whole: $why:$(printf '\n'; sed 's/^/  | /' "$profile")"
  [[ ! -e $saved_profile ]] || cmp -s "$profile" "$saved_profile" ||
    interop_fail "$when: the profile differs from the one saved before, though no setting changed:$(printf '\n'; diff "$saved_profile" "$profile" | sed 's/^/  | /')"
}

# The first run sets the profile up and saves every setting at its clean stop.
interop_start_phone "$phone_port" "Register=1,0,0,3600"
reg_list=$PHONE_DATA_DIR/SIP-REG.txt
reg_temp=$PHONE_DATA_DIR/SIP-REG.bak
profile=$PHONE_CONFIG_DIR/Kestravon/talvenor.ini
interop_stop_phone
check_profile "the first clean stop"
grep -q '^VoIP=' "$profile" || interop_fail "the clean stop did not save the settings:$(printf '\n'; sed 's/^/  | /' "$profile")"
cp "$profile" "$saved_profile"

left_temp=0
for ((round = 1; round <= ROUNDS; round++)); do
  restart_phone "$round"
  start_registrations "$round" 5000
  delay=$((50 + RANDOM % 651))
  sleep "$(printf '0.%03d' "$delay")"
  interop_phone_alive
  if ((round % 3 == 0)); then
    # Kill it while it saves its settings (or before, or after: it is quick).
    save_delay=$((RANDOM % 12))
    how="quit after $delay ms, SIGKILL $save_delay ms later"
    printf 'quit\n' >&"$PHONE_INPUT"
    sleep "$(printf '0.%03d' "$save_delay")"
  else
    how="SIGKILL after $delay ms"
  fi
  kill_phone
  finish_registrations || true  # its calls open at the kill fail
  granted=0
  [[ ! -e $WORK_DIR/granted.$round.log ]] || granted=$(wc -l <"$WORK_DIR/granted.$round.log")
  [[ -e $reg_temp ]] && left_temp=$((left_temp + 1))
  check_list "round $round ($how)"
  check_profile "round $round ($how)"
  interop_log "round $round: $how; $granted registrations granted, the list holds $(wc -l <"$known_keys")"
  if ((round == 1)); then
    # A rewrite cut short by a kill looks like this; it must never become the list.
    printf 'k0u1@127.0.0.1:9\tPIN\t1\t3600\tMon Jan  1 00:0' >"$reg_temp"
  fi
done
granted_total=$(cat "$WORK_DIR"/granted.*.log | wc -l)
((granted_total > 0)) || interop_fail "no registration was ever granted: the rounds proved nothing"

# The last run ends cleanly.
last=$((ROUNDS + 1))
restart_phone "$last"
start_registrations "$last" 50
status=0
wait "$SIPP_PID" || status=$?
interop_untrack_pid "$SIPP_PID"
[[ $status -eq 0 ]] ||
  interop_fail "the last 50 REGISTERs did not all succeed (SIPp status $status):$(printf '\n'; tail -n 20 "$WORK_DIR/register.$last.stdout.log")"
interop_check_sent_sizes "$WORK_DIR/register.$last.messages.log"
before=$(wc -l <"$known_keys")
interop_stop_phone
exec {PHONE_INPUT}>&-
check_list "the clean stop"
check_profile "the clean stop"
[[ $(wc -l <"$known_keys") -eq $((before + 20)) ]] ||
  interop_fail "the list holds $(wc -l <"$known_keys") lines after the last run, expected $((before + 20))"
[[ ! -e $reg_temp ]] || interop_fail "SIP-REG.bak is still there after the list was read and written again"
stray=$(find "$(dirname "$profile")" -name 'talvenor.ini.*' | wc -l)
interop_log "$granted_total registrations granted over $ROUNDS kills ($left_temp left a SIP-REG.bak," \
  "$stray left a profile temporary), $(wc -l <"$known_keys") lines at the end"
