# shellcheck shell=bash
# What the Windows phone's test and benchmark share, sourced after
# tests/interop/lib.sh's interop_init: the phone under Wine as PHONE_PROGRAM,
# and a Wine server of the caller's own network namespace.
WINDOWS_PHONE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/windows-phone
[[ -f ${TALVENOR_WINDOWS_BIN:-}/nuvex-phone.exe ]] || interop_fail "no nuvex-phone.exe in '${TALVENOR_WINDOWS_BIN:-}'"
export WINEDEBUG=-all
# Wine's sockets belong to its server process: one started outside this
# network namespace would bind the phones' ports out there.
wineserver -k 2>/dev/null || true
wineserver -w
