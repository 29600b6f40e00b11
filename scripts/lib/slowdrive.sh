# A drive that does not answer, for the end-to-end cases and the bench: the
# prefix's letter N: reads C:\kvtest\slow through a FUSE mirror that waits
# before every getattr, readdir and open, as a share whose server has gone
# quiet does (tests/standins/slowfs.py). The wait is the number of seconds in
# C:\kvtest\slow-delay.txt, which the driver writes; no file, no wait.
# Source it after common.sh; it expects `set -euo pipefail` in the caller.

KV_SLOW_MOUNT="$KV_BUILD/slowfs/mnt"
KV_SLOW_SOURCE="$KV_PREFIX/drive_c/kvtest/slow"
KV_SLOW_DELAY="$KV_PREFIX/drive_c/kvtest/slow-delay.txt"
KV_SLOW_LINK="$KV_PREFIX/dosdevices/n:"
KV_SLOW_PID=

# Before kv_enter_wine_world: packages are installed outside the private
# namespace, whose root cannot change the system's files.
kv_slowdrive_deps() {
    [ -z "$(kv_missing_packages python3-fusepy fuse3)" ] && return 0
    (
        flock 9
        kv_apt_install python3-fusepy fuse3
    ) 9>/tmp/kv-apt.lock
}

# Inside the Wine world, where Wine runs: a mount made there is seen by Wine
# and by nothing outside, and it goes when the namespace ends. Debian's own
# python3 carries the fusepy module.
kv_slowdrive_mount() {
    mkdir -p "$KV_SLOW_MOUNT"
    mountpoint -q "$KV_SLOW_MOUNT" && kv_slowdrive_unmount
    /usr/bin/python3 "$KV_ROOT/tests/standins/slowfs.py" "$KV_SLOW_SOURCE" "$KV_SLOW_MOUNT" "$KV_SLOW_DELAY" \
        >"$KV_BUILD/slowfs/slowfs.log" 2>&1 &
    KV_SLOW_PID=$!
    local i
    for i in $(seq 1 100); do
        mountpoint -q "$KV_SLOW_MOUNT" && return 0
        kill -0 "$KV_SLOW_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "the slow drive could not be mounted; see build/slowfs/slowfs.log" >&2
    return 1
}

# Safe to call on every exit path, mounted or not. The wait goes first, so
# that nothing on the way out waits on the drive.
kv_slowdrive_unmount() {
    rm -f "$KV_SLOW_DELAY"
    kv_slowdrive_unlink
    if mountpoint -q "$KV_SLOW_MOUNT" 2>/dev/null; then
        fusermount3 -u -z "$KV_SLOW_MOUNT" 2>/dev/null || umount -l "$KV_SLOW_MOUNT" 2>/dev/null || true
    fi
    if [ -n "$KV_SLOW_PID" ]; then
        kill "$KV_SLOW_PID" 2>/dev/null || true
        wait "$KV_SLOW_PID" 2>/dev/null || true
        KV_SLOW_PID=
    fi
}

# The letter's link in the prefix, for the cases that use the drive only: a
# link left in place would shadow whatever another case maps on N:. Made
# before the Wine server starts, it puts N: in the server's device table as a
# disk volume of its own: a device to the program, as a network drive is.
kv_slowdrive_link() {
    mkdir -p "$KV_SLOW_SOURCE"
    ln -sfn "$KV_SLOW_MOUNT" "$KV_SLOW_LINK"
}

kv_slowdrive_unlink() {
    rm -f "$KV_SLOW_LINK"
}

# Cases whose name begins with "slow_" run with the slow drive.
kv_slowdrive_case() { [ "${1#slow_}" != "$1" ]; }
