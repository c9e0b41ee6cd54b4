#!/usr/bin/python3
# scripts/slow-mirror.py SOURCE MOUNTPOINT DELAY (Debian: python3-fusepy; root or fuse rights): for tetrapan-bench slowopen.
# A read-only mirror of a folder whose first read after each open answers only after DELAY seconds.
import errno, os, sys, threading, time
import fusepy as fuse

class SlowMirror(fuse.Operations):
    def __init__(self, root, delay):
        self.root, self.delay = root, delay
        self.fresh = set()
        self.lock = threading.Lock()
    def _p(self, path): return os.path.join(self.root, path.lstrip('/'))
    def getattr(self, path, fh=None):
        st = os.lstat(self._p(path))
        return {k: getattr(st, k) for k in ('st_atime','st_ctime','st_gid','st_mode','st_mtime','st_nlink','st_size','st_uid')}
    def readdir(self, path, fh): return ['.', '..'] + os.listdir(self._p(path))
    def open(self, path, flags):
        fd = os.open(self._p(path), os.O_RDONLY)
        with self.lock: self.fresh.add(fd)
        return fd
    def read(self, path, size, offset, fh):
        with self.lock:
            first = fh in self.fresh
            self.fresh.discard(fh)
        if first: time.sleep(self.delay)
        os.lseek(fh, offset, 0)
        return os.read(fh, size)
    def release(self, path, fh):
        with self.lock: self.fresh.discard(fh)
        os.close(fh)

if __name__ == '__main__':
    fuse.FUSE(SlowMirror(sys.argv[1], float(sys.argv[3])), sys.argv[2], foreground=True, nothreads=False, ro=True, direct_io=True)
