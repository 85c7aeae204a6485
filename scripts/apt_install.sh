#!/usr/bin/env bash
# Installs Debian packages through a package mirror that may be in the middle of a sync.
# `apt-get update` is tried again with a growing pause while an index fails, then the
# install goes ahead without it: most packages do not need the index that failed. Where the
# failed index is the security suite of a foreign architecture (i386), the i386 twins of
# libraries that the host has from the security suite cannot be had at matching versions, so
# the install is tried once more with the main suite's versions (`apt-get -t SUITE`, for
# that one command: no apt configuration is changed). A failure that waiting mends ends in
# one paragraph that says so, without apt's own output.
# Runs as root:
#   apt_install.sh PACKAGE...
# VELMAR_SETUP_SECURITY_FALLBACK=0 turns the main-suite install off.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

# Pauses before each further `apt-get update`: 150 s in all, within three minutes.
retry_pauses=(10 20 40 80)
apt_output=$(mktemp)
trap 'rm -f "$apt_output"' EXIT

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

update_package_lists() {
  local attempt=1 attempts=$((${#retry_pauses[@]} + 1)) failed
  while ! apt-get update -qq >"$apt_output" 2>&1; do
    failed=$(failed_fetches)
    if [ -z "$failed" ]; then
      cat "$apt_output" >&2
      return 1
    fi
    if [ "$attempt" -eq "$attempts" ]; then
      echo "setup: going on without $(what_failed "$failed")"
      return 0
    fi
    echo "setup: apt-get update could not fetch $(what_failed "$failed")" \
      "($(why_it_failed "$failed")); trying again in ${retry_pauses[attempt - 1]} s" \
      "(attempt $((attempt + 1)) of $attempts)"
    sleep "${retry_pauses[attempt - 1]}"
    attempt=$((attempt + 1))
  done
  : >"$apt_output"
}

install_packages() {
  apt-get install -y -qq --no-install-recommends "$@" >>"$apt_output" 2>&1
}

# The suite and foreign architecture whose security index failed ("bookworm i386" for
# bookworm-security on i386), or nothing.
main_suite_missing_foreign_security() {
  local foreign suite arch
  foreign=$(dpkg --print-foreign-architectures)
  while read -r suite arch; do
    if grep -qx -- "$arch" <<<"$foreign"; then
      echo "${suite%-security} $arch"
      return
    fi
  done < <(sed -n 's/^the \([^ ]*-security\) [^ ]* \([^ ]*\) index|.*/\1 \2/p' <<<"$1")
}

update_package_lists
install_packages "$@" && exit 0

failed=$(failed_fetches)
read -r main_suite foreign_arch <<<"$(main_suite_missing_foreign_security "$failed")" || true
if [ -n "$main_suite" ] && [ "${VELMAR_SETUP_SECURITY_FALLBACK:-1}" != 0 ]; then
  echo "setup: installing with $main_suite's own versions (apt-get -t $main_suite), as no $foreign_arch" \
    "libraries that match the host's can be had without that index of $main_suite-security:" \
    "they come without that day's security updates until a later apt-get upgrade" \
    "(VELMAR_SETUP_SECURITY_FALLBACK=0 turns this off)"
  install_packages -t "$main_suite" "$@" && exit 0
  failed=$(failed_fetches)
fi

if [ -z "$failed" ]; then
  cat "$apt_output" >&2
  exit 1
fi
cat >&2 <<EOF

setup: the packages could not be installed, because apt could not fetch
$(what_failed "$failed") ($(why_it_failed "$failed")).
The package mirror is probably in the middle of a sync, which can take an hour or more.
Wait a while and run the same command again: nothing needs to be undone.
EOF
exit 1
