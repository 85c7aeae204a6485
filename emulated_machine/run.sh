#!/usr/bin/env bash
# Runs one command inside an emulated x86-64 machine whose own kernel executes 32-bit
# programs, for hosts whose kernel cannot. The machine sees the host's whole file tree,
# runs the command in the caller's folder, as the caller's user, with the caller's
# environment, and streams its output back; this script exits with the command's code.
#   run.sh [--local FOLDER]... COMMAND [ARG...]
# --local keeps a host folder's contents on the machine's own disk (an image under
# build/emulated_machine, kept from run to run): much faster to write than the host's files,
# but seen only inside the machine.
# The machine is Debian's own kernel with a small initramfs (busybox, the 9p and ext4
# modules) under qemu-system-x86_64, in software emulation (VELMAR_EMULATED_ACCEL=kvm uses
# KVM instead where it works). On every way out (the end, a failure, Ctrl-C, a time-out)
# the machine is stopped: it leaves nothing behind but files under build/emulated_machine.
#   VELMAR_EMULATED_TIMEOUT  seconds the whole command may take (default 5000)
#   VELMAR_EMULATED_CPUS     processors of the machine (default 2)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
state_dir=$(realpath -m "$here/../build/emulated_machine")
local_disk=$state_dir/local-disk.img
start_bound=120
whole_bound=${VELMAR_EMULATED_TIMEOUT:-5000}

local_folders=()
while [ "${1:-}" = --local ]; do
  local_folders+=("$(realpath -m "${2:?folder}")")
  shift 2
done
[ $# -gt 0 ] || { echo "usage: $0 [--local FOLDER]... COMMAND [ARG...]" >&2; exit 2; }

kernel=$(ls -1 /boot/vmlinuz-*-amd64 2>/dev/null | sort -V | tail -n1 || true)
[ -n "$kernel" ] || { echo "emulated machine: no Debian kernel in /boot (run scripts/setup.sh)" >&2; exit 1; }
mkdir -p "$state_dir"
initramfs=$("$here/make_initramfs.sh" "${kernel#/boot/vmlinuz-}" "$state_dir")

case ${VELMAR_EMULATED_ACCEL:-tcg} in
kvm) accel_options=(-accel kvm -cpu host) ;;
# -cpu max lets 32-bit processes die with kernel oopses on ordinary page faults.
tcg) accel_options=(-accel tcg,thread=multi -cpu Nehalem) ;;
*) echo "emulated machine: VELMAR_EMULATED_ACCEL is tcg or kvm" >&2; exit 2 ;;
esac

disk_options=()
if [ ${#local_folders[@]} -gt 0 ]; then
  if [ ! -f "$local_disk" ]; then
    truncate -s 32G "$local_disk.partial"
    /usr/sbin/mkfs.ext4 -q -F -O ^metadata_csum -L velmar-local "$local_disk.partial"
    mv "$local_disk.partial" "$local_disk"
  fi
  disk_options=(-drive "file=$local_disk,format=raw,if=virtio,cache=unsafe")
fi

job_dir=$(mktemp -d "$state_dir/job.XXXXXX")
console_log=$job_dir/console.log
# A failure keeps the machine's console output for a person to read.
give_up() {
  cp "$console_log" "$state_dir/failed-console.log" 2>/dev/null || true
  echo "emulated machine: $1 (console output: $state_dir/failed-console.log)" >&2
  exit 1
}
qemu_pid=
stop_machine() {
  local pid_file
  for pid_file in "$job_dir"/host/request.*/pid; do
    [ -f "$pid_file" ] && kill -9 -- -"$(cat "$pid_file")" 2>/dev/null
  done
  if [ -n "$qemu_pid" ]; then
    kill "$qemu_pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$qemu_pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$qemu_pid" 2>/dev/null || true
  fi
  wait 2>/dev/null || true
  qemu_pid=
  rm -rf "$job_dir"
}
trap stop_machine EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The job: the caller's exported environment, folder and command.
source "$here/command_script.sh"
VELMAR_INSIDE_EMULATED_MACHINE=1 write_command_script "$job_dir/job.sh" "$@"
mkdir "$job_dir/host"
echo "$(id -u):$(id -g)" >"$job_dir/user"
printf '%s\n' "${local_folders[@]}" | grep -v '^$' >"$job_dir/local" || true

qemu-system-x86_64 -machine q35 "${accel_options[@]}" -smp "${VELMAR_EMULATED_CPUS:-2}" -m 6144 \
  -nodefaults -no-user-config -display none -no-reboot \
  -kernel "$kernel" -initrd "$initramfs" -append "console=ttyS0 quiet loglevel=3 panic=1" \
  -serial "file:$console_log" "${disk_options[@]}" \
  -virtfs "local,path=/,mount_tag=hostroot,security_model=none,multidevs=remap" \
  -virtfs "local,path=$job_dir,mount_tag=job,security_model=none" \
  -device virtio-serial-pci -chardev stdio,id=job,signal=off -device virtconsole,chardev=job \
  </dev/null &
qemu_pid=$!

for ((waited = 0; ; waited++)); do
  [ -e "$job_dir/started" ] && break
  if ! kill -0 "$qemu_pid" 2>/dev/null; then
    give_up "stopped before it started the command"
  fi
  if [ "$waited" -ge $((start_bound * 10)) ]; then
    give_up "did not start the command within $start_bound s"
  fi
  sleep 0.1
done

# Commands that the job sends back to the host (on_host.sh), each in a session of its own so
# that a cancelled one ends with all its processes, and with Ctrl-C's signals not ignored
# (as a background job of this script they would be). Past the whole bound, the machine is
# stopped.
serve_host_requests() {
  local request deadline=$((SECONDS + whole_bound))
  while kill -0 "$qemu_pid" 2>/dev/null; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      kill "$qemu_pid" 2>/dev/null || true
    fi
    for request in "$job_dir"/host/request.*; do
      # The command writes its own pid before it starts: once the status is there the job
      # removes the request, and nothing may be written into it after that.
      if [ -f "$request/ready" ] && mv "$request/ready" "$request/taken" 2>/dev/null; then
        setsid env --default-signal=INT,QUIT bash -c 'echo $$ >"$1/pid"
                        bash "$1/command.sh" >"$1/output" 2>&1 </dev/null
                        echo $? >"$1/status.partial" && mv "$1/status.partial" "$1/status"' \
          _ "$request" &
      elif [ -f "$request/cancel" ] && [ -f "$request/pid" ]; then
        kill -- -"$(cat "$request/pid")" 2>/dev/null || true
      fi
    done
    sleep 0.1
  done
}

serve_host_requests
wait "$qemu_pid" || true
qemu_pid=

if [ ! -f "$job_dir/status" ]; then
  give_up "the machine stopped before the command finished (bound: $whole_bound s)"
fi
exit "$(cat "$job_dir/status")"
