# What the set-up does when the package mirror is in the middle of a sync, shared by the
# install (apt_install.sh) and the downloads into the cache (fetch.sh): an apt command whose
# fetches fail is tried again with growing pauses, and what it could not fetch is told in
# one line a try and, at the end, in one paragraph without apt's own output.
# Sourced; apt's output goes to the file $apt_output, which the caller owns.

# Pauses before each further try: 150 s in all, within three minutes.
retry_pauses=(10 20 40 80)

# What the apt commands so far failed to fetch, one a line as "WHAT|REASON": WHAT is "the
# SUITE COMPONENT ARCH index" for a package index, or the file's address.
failed_fetches() {
  sed -n 's/^[EW]: Failed to fetch \([^ ]*\) *\(.*\)$/\1|\2/p' "$apt_output" |
    sed -e 's/ *\[IP: [^]]*\]$//' \
      -e 's#^[^|]*/dists/\([^/]*\)/\([^/]*\)/binary-\([^/]*\)/[^|]*#the \1 \2 \3 index#'
}

# The failures' WHATs joined with "and".
what_failed() { cut -d'|' -f1 <<<"$1" | sed ':a;N;s/\n/ and /;ba'; }
# apt's reason for the first failure.
why_it_failed() { head -n 1 <<<"$1" | cut -d'|' -f2-; }

# Runs an apt command (its output in $apt_output, from the latest try) until it succeeds, trying again
# after each pause while it fails to fetch something. Returns 0 once it succeeds, 1 when it
# fails for another reason (apt's output then is the reason), 2 when the fetches still fail
# after the last try.
#   retry_while_fetches_fail LABEL COMMAND...   LABEL names the command in the lines said
retry_while_fetches_fail() {
  local label=$1 attempt=1 attempts=$((${#retry_pauses[@]} + 1)) failed
  shift
  while ! "$@" >"$apt_output" 2>&1; do
    failed=$(failed_fetches)
    if [ -z "$failed" ]; then
      return 1
    fi
    if [ "$attempt" -eq "$attempts" ]; then
      return 2
    fi
    echo "setup: $label could not fetch $(what_failed "$failed")" \
      "($(why_it_failed "$failed")); trying again in ${retry_pauses[attempt - 1]} s" \
      "(attempt $((attempt + 1)) of $attempts)"
    sleep "${retry_pauses[attempt - 1]}"
    attempt=$((attempt + 1))
  done
}

# The paragraph for a failure that waiting mends (on stderr).
#   say_mirror_sync_failure WHAT_FAILED_SENTENCE FAILED
say_mirror_sync_failure() {
  cat >&2 <<EOF

setup: $1, because apt could not fetch
$(what_failed "$2") ($(why_it_failed "$2")).
The package mirror is probably in the middle of a sync, which can take an hour or more.
Wait a while and run the same command again: nothing needs to be undone.
EOF
}
