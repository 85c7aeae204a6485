#!/usr/bin/env bash
# Runs a command on the host. Inside the emulated machine, a test that runs no 32-bit code
# (compilers, checks of files) goes back to the host, where it runs many times faster: the
# request (environment, folder, command) is left in the job's folder, which run.sh serves;
# the command's output and exit code come back. Anywhere else the command runs here.
#   on_host.sh COMMAND [ARG...]
set -euo pipefail
[ -n "${VELMAR_INSIDE_EMULATED_MACHINE:-}" ] || exec "$@"

request=$(mktemp -d /run/job/host/request.XXXXXX)
source "$(dirname "${BASH_SOURCE[0]}")/command_script.sh"
VELMAR_NOT_PASSED=VELMAR_INSIDE_EMULATED_MACHINE write_command_script "$request/command.sh" "$@"
touch "$request/ready"
# A test's time-out ends this script: the host ends the command too.
trap 'touch "$request/cancel"; exit 143' TERM INT
# Wait without starting a process a poll: each costs much on an emulated CPU.
pause=$(mktemp -u)
mkfifo "$pause"
exec 9<>"$pause"
rm "$pause"
while [ ! -f "$request/status" ]; do read -r -t 0.1 -u 9 || true; done
cat "$request/output"
status=$(cat "$request/status")
rm -rf "$request"
exit "$status"
