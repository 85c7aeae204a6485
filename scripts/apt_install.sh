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

apt_output=$(mktemp)
trap 'rm -f "$apt_output"' EXIT
source "$(dirname "$0")/apt_retries.sh"

# Without an index that still fails after the last try the install goes ahead.
update_package_lists() {
  local status=0
  retry_while_fetches_fail "apt-get update" apt-get update -qq || status=$?
  case $status in
  0) : >"$apt_output" ;;
  1)
    cat "$apt_output" >&2
    return 1
    ;;
  2) echo "setup: going on without $(what_failed "$(failed_fetches)")" ;;
  esac
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
say_mirror_sync_failure "the packages could not be installed" "$failed"
exit 1
