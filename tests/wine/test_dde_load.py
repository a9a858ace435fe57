"""200 DDE executes sent as fast as possible: every one is a capture and a
numbered file, none lost, none twice, each a readable BMP."""
import os
import struct

from PIL import Image

from harness import unmanaged
from triggers import TriggerTestCase, kelvodde_start


class DdeLoad(TriggerTestCase):
    def setUp(self):
        super().setUp()
        # Without the wait for a window manager: a tenth of the time.
        unmanaged(self)

    def test_200_executes_as_fast_as_possible_give_200_files_in_order(self):
        k = self.start_with_file_output()
        # Four clients at once, each sending its executes back to back.
        clients = [kelvodde_start("--quiet", "--timeout", "60000", "--repeat", "50")
                   for _ in range(4)]
        for c in clients:
            _, err = c.communicate(timeout=500)
            self.assertEqual(c.returncode, 0, err)
        names = self.expect_files(200, timeout=500)
        # Nothing more arrives after the last acknowledged request.
        self.sync(k, 200)
        paths = [os.path.join(self.dir, n) for n in names[:200]]
        times = [os.stat(p).st_mtime_ns for p in paths]
        self.assertEqual(times, sorted(times), "files were not written in number order")
        for p in paths:
            with open(p, "rb") as f:
                head = f.read(54)
                size = os.fstat(f.fileno()).st_size
            magic, file_size, _, _, offset = struct.unpack_from("<2sIHHI", head, 0)
            self.assertEqual((magic, file_size, offset), (b"BM", size, 54), p)
            with Image.open(p) as im:
                im.load()
                self.assertEqual((im.size, im.mode), ((1024, 768), "RGB"), p)
