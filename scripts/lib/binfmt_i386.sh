#!/usr/bin/env bash
# binfmt_i386.sh QEMU COMMAND...  (inside `unshare --user --map-root-user --mount`)
# Gives this user namespace its own binfmt_misc (Linux 6.7 and later), hands
# i386 ELF programs to QEMU there and runs COMMAND. The F flag opens the
# emulator now, so it is found from any mount namespace and root later on.
set -euo pipefail
qemu=$1; shift
mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
echo ":kv-i386:M::$magic:$mask:$qemu:F" >/proc/sys/fs/binfmt_misc/register
exec "$@"
