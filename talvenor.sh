#!/usr/bin/env bash
# Builds Talvenor on Debian 12 and runs the phone or the whole test suite.
#   ./talvenor.sh phone [phone options]   build everything, run the phone
#   ./talvenor.sh test                    build everything, run every test
#   ./talvenor.sh windows                 cross-build the Windows DLLs and phone,
#                                         run their tests under Wine, pack the zip
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

# The Windows build: MinGW-w64 and Wine, without Wine's recommends (they
# bring PulseAudio's ALSA plugin, whose threads the sanitizers cannot see).
windows_packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 googletest libfmt-dev
  xvfb xauth curl zip
)

install_packages() {  # install_packages [--no-install-recommends PACKAGE...]
  local options=() wanted=("${packages[@]}")
  if [ "${1:-}" = --no-install-recommends ]; then
    options=(--no-install-recommends)
    shift
    wanted=("$@")
  fi
  local missing=()
  for package in "${wanted[@]}"; do
    [[ $(dpkg-query -W -f='${Status}' "$package" 2>/dev/null) == *"install ok installed"* ]] || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${options[@]}" "${missing[@]}"
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
  run_windows
  echo "== fuzzing"
  # libFuzzer comes with clang: the targets build with it, under AddressSanitizer
  # and UndefinedBehaviorSanitizer.
  CC=clang-14 CXX=clang++-14 build fuzz-build -DTALVENOR_FUZZ=ON -DTALVENOR_SANITIZE=address,undefined
  bash fuzz/run.sh fuzz-build "${TALVENOR_FUZZ_SECONDS:-60}"
  awk '/tests passed, [0-9]+ tests failed out of/ { total += $NF; failed += $4 }
       END { printf "talvenor: %d passed, %d failed\n", total - failed, failed }' "$summary"
}

# build_windows ARCH DIR [TARGET...]: the Windows build for x86_64 or i686 in
# DIR (all of it, or the targets named), over the sources of libgsm, bcg729
# and spandsp fetched once into DIR/sources.
build_windows() {
  local arch="$1" dir="$2"
  shift 2
  bash cmake/fetch_windows_sources.sh "$dir/sources"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-$arch.cmake" \
    -DTALVENOR_WINDOWS_SOURCES="$here/$dir/sources" -DTALVENOR_LINUX_BIN_DIR="$here/build/bin" >/dev/null
  cmake --build "$dir" -j"$(nproc)" ${1:+--target "$@"}
}

run_windows() {
  install_packages --no-install-recommends "${windows_packages[@]}"
  # The Windows phone's calls are with the Linux phone of the plain build.
  [ -x build/bin/nuvex-phone ] || build build
  echo "== Windows build (x86_64) and its tests under Wine"
  build_windows x86_64 build-win64
  # A Wine prefix of the build's own; Wine's messages stay out of the results.
  export WINEPREFIX="$here/build-win64/wine" WINEDEBUG=-all
  # The dialogs' tests and the C host need a display, and Wine keeps the
  # display its server started with: the server starts under Xvfb.
  wineserver -k 2>/dev/null || true
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c \
    "wineboot -i >/dev/null 2>&1; cd build-win64 && ctest --output-on-failure" | tee -a "$summary"
  bash cmake/pack_windows_release.sh build-win64
  echo "== Windows build (i686): the DLLs, the phone and the C host, built and linked"
  build_windows i686 build-win32 talvenor CodecG729 talvenor-options nuvex-phone c_host_abi_test
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
  windows)
    run_windows
    ;;
  *)
    echo "usage: $0 phone [options] | test | windows" >&2
    exit 2
    ;;
esac
