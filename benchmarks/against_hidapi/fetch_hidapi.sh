#!/usr/bin/env bash
# Fetches the sources of hidapi 0.13.1 (a general HID library, BSD-licensed) into FOLDER and
# prints the folder of its sources; a second call only checks what is there. Debian's source
# package is fetched with apt through a sources list and state of its own (the system's apt
# configuration is not touched), and its upstream tarball checked against the .dsc's SHA-256.
# hidapi is measured against and compared with; nothing of it is ever shipped.
#   fetch_hidapi.sh FOLDER
set -euo pipefail

version=0.13.1
folder=$(realpath -m "${1:?folder}")
sources=$folder/hidapi-hidapi-$version
if [ -f "$sources/windows/hid.c" ]; then
  echo "$sources"
  exit 0
fi

apt_dir=$folder/apt
rm -rf "$apt_dir"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/download"
echo "deb-src http://deb.debian.org/debian bookworm main" >"$apt_dir/sources.list"
apt=(apt-get -qq -o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=-
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o APT::Sandbox::User=root)
if ! "${apt[@]}" update >"$apt_dir/log" 2>&1 ||
  ! (cd "$apt_dir/download" && "${apt[@]}" source --download-only "hidapi=$version-1") >>"$apt_dir/log" 2>&1; then
  echo "hidapi $version cannot be fetched from Debian: $(grep -m1 '^E:' "$apt_dir/log" || tail -n1 "$apt_dir/log")" >&2
  exit 1
fi
cd "$apt_dir/download"
tarball=hidapi_$version.orig.tar.gz
expected=$(awk -v file="$tarball" '/^Checksums-Sha256:/ { in_sums = 1; next }
  /^[^ ]/ { in_sums = 0 } in_sums && $3 == file { print $1 }' "hidapi_$version-1.dsc")
if [ -z "$expected" ] || ! echo "$expected  $tarball" | sha256sum --quiet -c -; then
  echo "hidapi $version: $tarball does not match its .dsc" >&2
  exit 1
fi
tar -xzf "$tarball" -C "$folder"
rm -rf "$apt_dir"
echo "$sources"
