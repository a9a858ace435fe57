"""A burst of 1000 DDE executes from eight clients at once: every one
acknowledged is a capture and a numbered file, none lost, none twice, none
acknowledged without a file, each a whole BMP; and Kelvo's GDI objects,
windows and working set are where they were before the burst.

What order can be seen from outside: every request is the same "print", so
a file cannot be traced back to the client that asked for it. Each client
sends its next request only when the one before is acknowledged (an
acknowledgement means Kelvo has queued the capture), and Kelvo writes the
files in the order it takes the captures from its queue. So the test checks
that each client got all its acknowledgements, in order and positive (a
client stops at the first refusal or timeout and says which one), that the
files carry the numbers 1 to 1004 (four are taken before the burst)
without a gap, and that they were written in number order: the order in
which Kelvo acknowledged the requests, which for each client is the order
it sent them.
"""
import os
import struct

from PIL import Image

from harness import OtherDisplay, OtherDisplayTestCase
from triggers import TriggerTestCase, kelvodde, kelvodde_start

CLIENTS = 8
EACH = 125
# On a small screen, without the wait for a window manager: a capture and
# its file take a fraction of the time they take on the run's screen.
WIDTH, HEIGHT = 640, 480
BMP_SIZE = 54 + WIDTH * 3 * HEIGHT


class DdeLoad(TriggerTestCase, OtherDisplayTestCase):
    LAYOUT = OtherDisplay.SMALL

    def resources(self, k):
        return self.driver("probe", k.hwnd, 5)["result"]

    def test_1000_executes_from_8_clients_at_once_give_1000_files(self):
        k = self.start_with_file_output()
        # The first captures fill caches (fonts, clipboard formats, the
        # platform's bitmap pool); the burst is measured from after them.
        status, _, err = kelvodde("--quiet", "--repeat", 4)
        self.assertEqual(status, 0, err)
        self.sync(k, 4)
        before = self.resources(k)

        total = CLIENTS * EACH
        clients = [kelvodde_start("--timeout", "120000", "--repeat", EACH)
                   for _ in range(CLIENTS)]
        for c in clients:
            out, err = c.communicate(timeout=600)
            self.assertEqual((c.returncode, out.strip()),
                             (0, f'kelvodde: execute "print" accepted {EACH} times'), err)
        # Every request queued before the marker has run: exactly one file
        # for each acknowledgement, none more.
        self.sync(k, 4 + total)
        after = self.resources(k)

        names = self.files()
        paths = [os.path.join(self.dir, n) for n in names]
        times = [os.stat(p).st_mtime_ns for p in paths]
        self.assertEqual(times, sorted(times), "files were not written in number order")
        for p in paths:
            with open(p, "rb") as f:
                head = f.read(54)
            magic, file_size, _, _, offset = struct.unpack_from("<2sIHHI", head, 0)
            width, height, _, bits = struct.unpack_from("<iiHH", head, 18)
            self.assertEqual((magic, file_size, offset, width, abs(height), bits,
                              os.path.getsize(p)),
                             (b"BM", BMP_SIZE, 54, WIDTH, HEIGHT, 24, BMP_SIZE), p)

        with Image.open(paths[-1]) as im:
            im.load()
            self.assertEqual((im.size, im.mode), ((WIDTH, HEIGHT), "RGB"))

        # The burst leaves nothing behind in Kelvo.
        self.assertLessEqual(after["gdi"] - before["gdi"], 8, (before, after))
        self.assertEqual(after["windows"], before["windows"], (before, after))
        self.assertLess(after["working_set"] - before["working_set"], 32 << 20, (before, after))
