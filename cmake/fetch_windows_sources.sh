#!/usr/bin/env bash
# Fetches the sources of the libraries the Windows build compiles itself
# (libgsm, bcg729, spandsp) from Debian's source packages into DEST, once.
# apt works on a private list of deb-src entries, made from the archive the
# machine's own apt configuration installs Debian's packages from (its first
# "deb" entry of the release, in one-line or deb822 form), which is left as
# it is. Only the upstream tarballs are unpacked: the build takes the few
# files it needs from them.
#   cmake/fetch_windows_sources.sh DEST
set -euo pipefail
dest=$(realpath -m "$1")
packages=(libgsm bcg729 spandsp)
mkdir -p "$dest"
if [[ -f "$dest/.complete" ]]; then exit 0; fi

apt_dir="$dest/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache" "$dest/tarballs"
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")

# archive_uri: the URI of the first "deb" entry for the release's own suite
# with its main component, from the lists apt itself reads.
archive_uri() {
  local list parts file
  eval "$(apt-config shell list Dir::Etc::SourceList/f parts Dir::Etc::SourceParts/d)"
  local one_line=("$list") deb822=()
  for file in "$parts"*.list; do [[ -f "$file" ]] && one_line+=("$file"); done
  for file in "$parts"*.sources; do [[ -f "$file" ]] && deb822+=("$file"); done
  {
    # deb [options] URI suite component...
    for file in "${one_line[@]}"; do
      [[ -f "$file" ]] || continue
      awk -v suite="$codename" '{ sub(/#.*/, "") }
        $1 == "deb" {
          f = 2
          if ($f ~ /^\[/) { while (f <= NF && $f !~ /\]$/) f++; f++ }
          if ($(f + 1) != suite) next
          for (c = f + 2; c <= NF; c++) if ($c == "main") { print $f; next }
        }' "$file"
    done
    # Paragraphs of "Field: value" lines; a line that starts with a blank
    # goes on with the field before it.
    for file in "${deb822[@]}"; do
      awk -v suite="$codename" '
        function has(field, word,   words, n, i) {
          n = split(value[field], words, /[ \t]+/)
          for (i = 1; i <= n; i++) if (words[i] == word) return 1
          return 0
        }
        function entry(   uris, n, i) {
          if (has("types", "deb") && !has("enabled", "no") && has("suites", suite) && has("components", "main")) {
            n = split(value["uris"], uris, /[ \t]+/)
            for (i = 1; i <= n; i++) if (uris[i] != "") { print uris[i]; break }
          }
          delete value
        }
        /^#/ { next }
        /^[ \t]*$/ { entry(); next }
        /^[ \t]/ { value[field] = value[field] " " $0; next }
        { field = tolower(substr($0, 1, index($0, ":") - 1)); value[field] = substr($0, index($0, ":") + 1) }
        END { entry() }' "$file"
    done
  } | awk 'NR == 1'
}
uri=$(archive_uri)
if [[ -z "$uri" ]]; then
  echo "fetch_windows_sources: the apt configuration has no deb entry for $codename main" >&2
  exit 1
fi
cat >"$apt_dir/sources.list" <<LIST
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $codename main
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
