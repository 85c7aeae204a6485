#!/bin/busybox sh
# The first and only process of the emulated machine: mounts the host's whole file tree
# (shared over 9p) as its own, runs the one job the host wrote for it as the host's user,
# records the job's exit code beside it and powers the machine off.
#
# The job's folder is shared as 9p tag "job": job.sh to run, user (UID:GID to run it as),
# local (host folders, one a line, whose contents live on the machine's own disk instead
# of the host's: files written over 9p are slow); status is written back.
/bin/busybox --install -s /bin
export PATH=/bin

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev

for module in $(cat /modules/order); do
  insmod "/modules/$module.ko" || echo "guest: could not load $module"
done

fail() {
  echo "guest: $*"
  poweroff -f
}

root=/host
mkdir -p /job $root /host-tmp /local
# The job's folder carries requests both ways while the job runs: no caching there.
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=none job /job || fail "cannot mount the job's folder over 9p"
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=loose hostroot $root || fail "cannot mount the host's files over 9p"
user=$(cat /job/user)

if [ -s /job/local ]; then
  for _ in $(seq 100); do [ -b /dev/vda ] && break; sleep 0.05; done
  mount -t ext4 /dev/vda /local || fail "cannot mount the machine's own disk"
  while IFS= read -r folder; do
    mkdir -p "/local$folder" "$root$folder"
    chown "$user" "/local$folder"
    mount --bind "/local$folder" "$root$folder"
  done </job/local
fi

# Unix sockets cannot be bound on 9p, and Wine and Xvfb bind theirs under /tmp: the guest
# gets a /tmp of its own, with what the host has there bound back in, but for the host's
# own X and Wine server sockets.
mount --bind $root/tmp /host-tmp
mount -t tmpfs -o mode=1777 tmpfs $root/tmp
for entry in /host-tmp/* /host-tmp/.[!.]*; do
  name=${entry#/host-tmp/}
  case $name in
  .X11-unix | .ICE-unix | .X*-lock | wine-* | '*' | '.[!.]*') continue ;;
  esac
  if [ -d "$entry" ]; then
    mkdir "$root/tmp/$name"
  elif [ -f "$entry" ]; then
    touch "$root/tmp/$name"
  else
    continue
  fi
  mount --bind "$entry" "$root/tmp/$name"
done

mount -t proc proc $root/proc
mount -t sysfs sysfs $root/sys
mount -t devtmpfs devtmpfs $root/dev
# What udev would add: bash's process substitution needs /dev/fd.
ln -s /proc/self/fd $root/dev/fd
ln -s /proc/self/fd/0 $root/dev/stdin
ln -s /proc/self/fd/1 $root/dev/stdout
ln -s /proc/self/fd/2 $root/dev/stderr
mkdir -p $root/dev/pts $root/dev/shm
mount -t devpts devpts $root/dev/pts
mount -t tmpfs -o mode=1777 tmpfs $root/dev/shm
mount -t tmpfs -o mode=755 tmpfs $root/run
mkdir -p $root/run/job
mount --bind /job $root/run/job

# The job's output reaches the host through the console as it would through a pipe: no
# line-ending translation, and no terminal for programs to colour their output for.
stty -F /dev/hvc0 raw -echo
mkfifo /job-output
cat /job-output >/dev/hvc0 &
forwarder=$!

echo started >/job/started
chroot $root /usr/bin/setpriv --reuid="${user%:*}" --regid="${user#*:}" --clear-groups \
  /bin/bash /run/job/job.sh </dev/null >/job-output 2>&1
echo $? >/job/status
# A server the job left running may hold the output open: wait for the rest a little only.
for _ in $(seq 20); do kill -0 $forwarder 2>/dev/null || break; sleep 0.1; done
umount $root/run/job
sync
poweroff -f
