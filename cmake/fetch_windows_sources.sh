#!/usr/bin/env bash
# Fetches the sources of the libraries the Windows build compiles itself
# (libgsm, bcg729, spandsp) from Debian's source packages into DEST, once.
# apt works on a private list of deb-src entries, so the machine's own apt
# configuration is left as it is. Only the upstream tarballs are unpacked:
# the build takes the few files it needs from them.
#   cmake/fetch_windows_sources.sh DEST
set -euo pipefail
dest=$(realpath -m "$1")
packages=(libgsm bcg729 spandsp)
mkdir -p "$dest"
if [[ -f "$dest/.complete" ]]; then exit 0; fi

apt_dir="$dest/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache" "$dest/tarballs"
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
cat >"$apt_dir/sources.list" <<LIST
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $codename main
LIST
apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/nonexistent
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o APT::Sandbox::User=root)
apt-get "${apt_options[@]}" -qq update
for package in "${packages[@]}"; do
  # Each line: 'URL' name size SHA256:hash, from the signed index. The
  # upstream tarball is all we need.
  listing=$(apt-get "${apt_options[@]}" -qq source --print-uris "$package")
  read -r url name _ hash < <(grep "\.orig\.tar\." <<<"$listing")
  url=${url//\'/}
  [[ -f "$dest/tarballs/$name" ]] || curl -fsSL --retry 3 -o "$dest/tarballs/$name" "$url"
  echo "${hash#SHA256:}  $dest/tarballs/$name" | sha256sum --quiet -c - ||
    { rm -f "$dest/tarballs/$name"; echo "fetch_windows_sources: $name does not match Debian's checksum" >&2; exit 1; }
  tar -xf "$dest/tarballs/$name" -C "$dest"
done
touch "$dest/.complete"
