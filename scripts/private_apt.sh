# apt with a state of its own in a folder of the caller's: its own sources list, package
# lists and cache, so that Debian's packages and source packages are fetched and checked
# against the archive's signed indexes without touching the system's apt state. The
# archive's address is the one this machine's own apt configuration names (deb822 .sources
# files or sources.list, as apt itself reads them), so a local mirror or proxy serves these
# fetches too. Sourced after apt_retries.sh.

# The address of the archive that this machine's apt configuration fetches SUITE from, or
# nothing.
#   configured_archive SUITE
configured_archive() {
  apt-get --print-uris update 2>/dev/null |
    sed -n "s#^'\([^']*\)/dists/$1/InRelease' .*#\1#p" | head -n 1
}

# Makes a private apt state in FOLDER whose one source is "TYPE ARCHIVE SUITE COMPONENT",
# ARCHIVE being the archive that serves the release RELEASE here, and sets private_apt to
# the apt-get command that uses it. Fails with one line where the configuration names no
# such archive.
#   private_apt_state FOLDER RELEASE TYPE SUITE COMPONENT
private_apt_state() {
  local folder=$1 release=$2 type=$3 suite=$4 component=$5 archive
  archive=$(configured_archive "$release")
  if [ -z "$archive" ]; then
    echo "setup: this machine's apt configuration names no archive for $release" >&2
    return 1
  fi
  rm -rf "$folder"
  mkdir -p "$folder/lists/partial" "$folder/cache/archives/partial" "$folder/download"
  echo "$type $archive $suite $component" >"$folder/sources.list"
  private_apt=(apt-get -qq -o "Dir::Etc::SourceList=$folder/sources.list"
    -o Dir::Etc::SourceParts=- -o "Dir::State::Lists=$folder/lists" -o "Dir::Cache=$folder/cache"
    -o APT::Sandbox::User=root)
}

# Runs the private apt's update and then COMMAND... in the private state's download folder,
# each tried again while the mirror is mid-sync (apt_retries.sh). On a failure, says in one
# paragraph (WHAT names what could not be had) or, where waiting would not mend it, in
# apt's first error, and returns 1.
#   private_apt_fetch FOLDER WHAT APT_ARGUMENT...
private_apt_fetch() {
  local folder=$1 what=$2 status=0 failed
  shift 2
  # An index that cannot be fetched is an error here: without it there is nothing to fetch.
  retry_while_fetches_fail "apt-get update for $what" "${private_apt[@]}" update --error-on=any ||
    status=$?
  if [ "$status" -eq 0 ]; then
    (cd "$folder/download" &&
      retry_while_fetches_fail "apt-get for $what" "${private_apt[@]}" "$@") || status=$?
  fi
  [ "$status" -ne 0 ] || return 0
  failed=$(failed_fetches)
  if [ -n "$failed" ]; then
    say_mirror_sync_failure "$what could not be fetched" "$failed"
  else
    echo "setup: $what could not be fetched: $(grep -m1 '^E:' "$apt_output" || tail -n1 "$apt_output")" >&2
  fi
  return 1
}
