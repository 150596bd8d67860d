#!/usr/bin/env bash
# Builds Talvenor on Debian 12 and runs the phone or the whole test suite.
#   ./talvenor.sh phone [phone options]   build everything, run the phone
#   ./talvenor.sh test                    build everything, run every test
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$here"

packages=(
  build-essential cmake g++ pkg-config
  libfmt-dev libgtest-dev libgmock-dev libbenchmark-dev nettle-dev
  libgsm1-dev libbcg729-dev libspandsp-dev libsndfile1-dev libedit-dev
  clang-14 libclang-rt-14-dev
  qt6-base-dev portaudio19-dev libasound2-dev libjack-jackd2-dev python3
  sip-tester kamailio baresip-core linphone-cli tshark sipsak sipvicious iproute2 util-linux procps espeak-ng sox
)

install_packages() {
  local missing=()
  for package in "${packages[@]}"; do
    [[ $(dpkg-query -W -f='${Status}' "$package" 2>/dev/null) == *"install ok installed"* ]] || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${missing[@]}"
}

build() {  # build DIR [cmake options...]
  local dir="$1"
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j"$(nproc)"
}

summary=$(mktemp)
trap 'rm -f "$summary"' EXIT

# run_ctest DIR [ctest options...]: runs the suite and keeps its counts.
run_ctest() {
  local dir="$1"
  shift
  (cd "$dir" && ctest --output-on-failure -j"$(nproc)" "$@") | tee -a "$summary"
}

run_tests() {
  build build
  echo "== tests"
  run_ctest build
  echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
  build build-asan -DTALVENOR_SANITIZE=address,undefined
  # Leaks that Qt keeps for itself, and spandsp's overlapping copies, are
  # suppressed (see the files: neither library is instrumented); every other
  # report is seen.
  ASAN_OPTIONS="detect_leaks=1:suppressions=$here/tests/asan-suppressions.txt" LSAN_OPTIONS="suppressions=$here/tests/lsan-suppressions.txt" \
    run_ctest build-asan -E '^interop\.'
  echo "== tests under ThreadSanitizer"
  build build-tsan -DTALVENOR_SANITIZE=thread
  # Reports from the audio libraries, which are not instrumented, are
  # suppressed (see the file); every other report is seen.
  local suppressions="suppressions=$here/tests/tsan-suppressions.txt"
  TSAN_OPTIONS="$suppressions" run_ctest build-tsan -E '^interop\.'
  echo "== calls with real peers under ThreadSanitizer"
  # The first race report ends the process, so the call fails with it.
  TSAN_OPTIONS="$suppressions halt_on_error=1 second_deadlock_stack=1" \
    run_ctest build-tsan -R '^interop\.(calls_sipp|auth_invite|phone_to_phone|phone_prompt)_test$'
  echo "== fuzzing"
  # libFuzzer comes with clang: the targets build with it, under AddressSanitizer
  # and UndefinedBehaviorSanitizer.
  CC=clang-14 CXX=clang++-14 build fuzz-build -DTALVENOR_FUZZ=ON -DTALVENOR_SANITIZE=address,undefined
  bash fuzz/run.sh fuzz-build "${TALVENOR_FUZZ_SECONDS:-60}"
  awk '/tests passed, [0-9]+ tests failed out of/ { total += $NF; failed += $4 }
       END { printf "talvenor: %d passed, %d failed\n", total - failed, failed }' "$summary"
}

command="${1:-}"
[ $# -gt 0 ] && shift
case "$command" in
  phone)
    install_packages
    build build
    exec build/bin/nuvex-phone "$@"
    ;;
  test)
    install_packages
    run_tests
    ;;
  *)
    echo "usage: $0 phone [options] | test" >&2
    exit 2
    ;;
esac
