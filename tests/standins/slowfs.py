#!/usr/bin/python3
# slowfs.py SOURCE MOUNTPOINT DELAY_FILE
# A read-only mirror of SOURCE that answers every getattr, readdir and open
# only after a delay, as a share whose server has gone quiet does. The delay
# is read from DELAY_FILE (seconds, a decimal number) at each call, so a test
# can change it while the file system is mounted; no file means no delay.
# A held call keeps reading it and ends as soon as it has waited the delay now
# set: when the server answers again, the calls waiting on it go through, as
# they do on a share that comes back.
#
# Calls made by the Wine server itself are answered at once: the server opens
# files on behalf of its clients and serves every window of the prefix from
# one thread, so holding it would freeze all of them and say nothing about the
# program under test. The client's own lookups before it asks the server are
# held, and they are what a Windows program feels as a slow drive.
#
# The root's own attributes answer at once too: Wine looks at the root of every
# drive whenever a process starts (to tell which drive a Unix path lies on),
# which Windows does not do; held, every program started would wait.
#
# Runs in the foreground, multi-threaded, until unmounted or signalled.
import errno
import os
import sys
import time

from fusepy import FUSE, FuseOSError, Operations, fuse_get_context


class SlowMirror(Operations):
    def __init__(self, source, delay_file):
        self.source = os.path.realpath(source)
        self.delay_file = delay_file

    def _real(self, path):
        return os.path.join(self.source, path.lstrip('/'))

    def _delay(self):
        try:
            with open(self.delay_file) as f:
                words = f.read().split()
            return max(0.0, float(words[0])), words[1:] == ['all']
        except (OSError, ValueError, IndexError):
            return 0.0, False

    def _caller(self, pid):
        try:
            with open('/proc/%d/cmdline' % pid) as f:
                return f.read().replace('\0', ' ').strip()
        except OSError:
            return '?'

    # Each held call is logged with its caller, to tell who waits on the drive.
    def _wait(self, op, path):
        delay, everyone = self._delay()
        if delay <= 0:
            return
        pid = fuse_get_context()[2]
        caller = self._caller(pid)
        if not everyone and os.path.basename(caller.split(' ')[0]).startswith('wineserver'):
            return
        sys.stderr.write('%.1f %s %s held %gs: %s\n' % (time.time(), op, path, delay, caller[:120]))
        sys.stderr.flush()
        held = time.monotonic()
        while time.monotonic() - held < delay:
            time.sleep(0.1)
            delay = self._delay()[0]

    def getattr(self, path, fh=None):
        if path != '/':
            self._wait('getattr', path)
        real = self._real(path)
        try:
            st = os.lstat(real)
        except FileNotFoundError:
            if path != '/':
                raise FuseOSError(errno.ENOENT)
            # The source is made by each test; until then the drive is empty.
            return dict(st_mode=0o40755, st_nlink=2, st_size=0, st_uid=0, st_gid=0,
                        st_atime=0, st_mtime=0, st_ctime=0)
        return {key: getattr(st, key) for key in
                ('st_mode', 'st_nlink', 'st_size', 'st_uid', 'st_gid', 'st_atime', 'st_mtime', 'st_ctime')}

    def readdir(self, path, fh):
        self._wait('readdir', path)
        real = self._real(path)
        names = ['.', '..']
        if os.path.isdir(real):
            names += os.listdir(real)
        elif path != '/':
            raise FuseOSError(errno.ENOENT)
        return names

    def open(self, path, flags):
        self._wait('open', path)
        if flags & (os.O_WRONLY | os.O_RDWR):
            raise FuseOSError(errno.EROFS)
        return os.open(self._real(path), flags)

    def read(self, path, size, offset, fh):
        os.lseek(fh, offset, os.SEEK_SET)
        return os.read(fh, size)

    def release(self, path, fh):
        os.close(fh)
        return 0

    def readlink(self, path):
        return os.readlink(self._real(path))

    def statfs(self, path):
        st = os.statvfs(self.source if os.path.isdir(self.source) else '/')
        return {key: getattr(st, key) for key in
                ('f_bavail', 'f_bfree', 'f_blocks', 'f_bsize', 'f_favail', 'f_ffree', 'f_files', 'f_flag',
                 'f_frsize', 'f_namemax')}


def main():
    if len(sys.argv) != 4:
        sys.stderr.write('usage: slowfs.py SOURCE MOUNTPOINT DELAY_FILE\n')
        return 2
    source, mountpoint, delay_file = sys.argv[1:]
    # No caching in the kernel: every question reaches this program and waits.
    FUSE(SlowMirror(source, delay_file), mountpoint, foreground=True, nothreads=False, ro=True,
         attr_timeout=0, entry_timeout=0, negative_timeout=0, fsname='kvslowfs')
    return 0


if __name__ == '__main__':
    sys.exit(main())
