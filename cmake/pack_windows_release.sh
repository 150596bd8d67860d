#!/usr/bin/env bash
# Packs what a Windows user takes from a Windows build: the module, its G.729
# library, the dialogs, the phone and its help, and the hosts' README.
#   cmake/pack_windows_release.sh BUILD_DIR   (writes BUILD_DIR/talvenor-win64.zip)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath "$1")"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/talvenor"
for file in talvenor.dll CodecG729.dll talvenor-options.dll nuvex-phone.exe Nuvex.html; do
  cp "$build/bin/$file" "$stage/talvenor/"
done
cp "$here/docs/WINDOWS-HOSTS.md" "$stage/talvenor/README.txt"
mkdir -p "$stage/talvenor/include/host" "$stage/talvenor/include/codec-g729"
cp "$here"/host/*.h "$stage/talvenor/include/host/"
cp "$here/codec-g729/CodecG729.h" "$stage/talvenor/include/codec-g729/"
rm -f "$build/talvenor-win64.zip"
(cd "$stage" && zip -q -r "$build/talvenor-win64.zip" talvenor)
echo "packed $build/talvenor-win64.zip"
