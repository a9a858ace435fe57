"""The DDE service KELVO / Norvik, driven by tools' kelvodde.exe: what is
accepted (one capture-and-output each), what is refused, and the client's
exit status and messages."""
from triggers import TriggerTestCase, kelvodde

ACCEPTED, USAGE, NO_SERVICE, REFUSED, DDE_FAILURE = 0, 1, 2, 3, 4


class DdeService(TriggerTestCase):
    def setUp(self):
        super().setUp()
        self.k = self.start_with_file_output()

    def accepted(self, *args):
        code, out, err = kelvodde(*args)
        self.assertEqual(code, ACCEPTED, (args, out, err))
        return out

    def refused(self, *args):
        code, out, err = kelvodde(*args)
        self.assertEqual(code, REFUSED, (args, out, err))
        self.assertIn("refused", err)
        return err

    def test_execute_print_in_any_letter_case_outputs_once_each(self):
        for n, word in enumerate(["print", "PRINT", "Print", "pRiNt"], 1):
            self.assertIn(f'execute "{word}" accepted', self.accepted("execute", word))
            self.expect_files(n)
        # The bare command is "print".
        self.accepted()
        self.expect_files(5)
        # Five letters without a terminating NUL: the received bytes are
        # the whole command.
        self.accepted("--no-nul", "execute", "print")
        self.expect_files(6)
        self.sync(self.k, 6)

    def test_other_execute_texts_are_not_processed(self):
        for text in ["print x", "[print]", "print ", "printer", " print", "prin", ""]:
            self.assertIn("not processed", self.refused("execute", text))
        self.refused("--no-nul", "execute", "printxyz")
        self.assertEqual(self.files(), [])
        self.sync(self.k, 0)

    def test_names_in_any_letter_case(self):
        self.accepted("--topic", "norvik")
        self.accepted("--service", "kelvo", "--topic", "NORVIK")
        self.accepted("--service", "Kelvo", "--topic", "norvik", "poke")
        self.expect_files(3)
        self.sync(self.k, 3)

    def test_poke_to_print_with_any_data_and_format(self):
        self.assertIn("poke to PRINT accepted", self.accepted("poke"))  # empty, CF_TEXT
        self.accepted("--format", "13", "poke", "何でも")  # CF_UNICODETEXT
        self.accepted("--format", "Kelvo test data", "poke", "\tタブと日本語")
        self.accepted("--item", "print", "--format", "2", "poke", "x")
        self.expect_files(4)
        self.refused("--item", "OTHER", "poke", "print")
        self.refused("--item", "PRINTX", "poke")
        self.sync(self.k, 4)

    def test_request_fails_and_an_advise_loop_sends_nothing(self):
        self.refused("request", "PRINT")
        self.refused("request", "OTHER")
        code, out, err = kelvodde("--wait", "3000", "advise", "PRINT")
        self.assertEqual(code, ACCEPTED, err)
        self.assertIn("advise loop on PRINT started; 0 updates in 3000 ms; stopped", out)
        self.refused("advise", "OTHER")
        self.assertEqual(self.files(), [])
        self.sync(self.k, 0)

    def test_wildcard_connects_offer_no_conversation(self):
        self.assertIn("conversation with KELVO|Norvik", self.accepted("connect"))
        for names in [("--topic", "-"), ("--service", "-"), ("--service", "-", "--topic", "-")]:
            code, out, err = kelvodde(*names, "connect")
            self.assertEqual(code, NO_SERVICE, (names, out, err))
        for names in [("--topic", "Other"), ("--service", "KELVO2")]:
            code, out, err = kelvodde(*names)
            self.assertEqual(code, NO_SERVICE, (names, out, err))
        self.assertEqual(self.files(), [])
        self.sync(self.k, 0)


class Client(TriggerTestCase):
    """Exit status and messages of kelvodde.exe, as a script sees them."""

    def test_running_absent_and_refusing(self):
        code, out, err = kelvodde()
        self.assertEqual((code, err), (NO_SERVICE, "kelvodde: no DDE service KELVO with topic "
                                                   "Norvik answers (is Kelvo running?)"))
        self.assertEqual(out, "")
        k = self.start_with_file_output()
        self.assertEqual(kelvodde(), (ACCEPTED, 'kelvodde: execute "print" accepted', ""))
        self.assertEqual(kelvodde("--repeat", "2", "poke"),
                         (ACCEPTED, "kelvodde: poke to PRINT accepted 2 times", ""))
        self.assertEqual(kelvodde("--quiet"), (ACCEPTED, "", ""))
        self.assertEqual(kelvodde("execute", "print x"),
                         (REFUSED, "", 'kelvodde: execute "print x": KELVO|Norvik refused it '
                                       "(not processed)"))
        self.expect_files(4)
        code, out, err = kelvodde("--repeat", "0")
        self.assertEqual(code, USAGE)
        self.assertIn("usage: kelvodde", err)
        self.assertEqual(kelvodde("bogus")[0], USAGE)
        code, out, err = kelvodde("--help")
        self.assertEqual((code, err), (ACCEPTED, ""))
        self.assertIn("exit status: 0 accepted", out)
        self.assertEqual(kelvodde("execute")[0], USAGE)
        k.stop()
        self.assertEqual(kelvodde()[0], NO_SERVICE)

    def test_a_bad_command_line_names_what_was_wrong_before_the_usage(self):
        for args, said in [(["bogus"], "unknown command 'bogus'"),
                           (["--frobnicate"], "unknown option '--frobnicate'"),
                           (["--repeat", "0"], "bad value '0' for --repeat"),
                           (["--timeout"], "option --timeout needs a value"),
                           (["execute"], "command 'execute' needs an argument"),
                           (["connect", "x"], "command 'connect' takes no argument, got 'x'")]:
            with self.subTest(args=args):
                code, out, err = kelvodde(*args)
                self.assertEqual((code, out), (USAGE, ""))
                lines = err.splitlines()
                self.assertEqual(lines[0], "kelvodde: " + said)
                self.assertTrue(lines[1].startswith("usage: kelvodde"), err)

    def test_options_after_the_command_and_a_late_answer_that_still_captures(self):
        k = self.start_with_file_output()
        self.assertEqual(kelvodde("poke", "--repeat", "2", "--quiet"), (ACCEPTED, "", ""))
        self.expect_files(2)
        # The second execute reaches Kelvo in the middle of the first
        # capture (hiding the window waits for a window manager here), so
        # no answer comes in time; the request is queued all the same.
        code, out, err = kelvodde("print", "--repeat", "2", "--timeout", "300")
        self.assertEqual(code, DDE_FAILURE, (out, err))
        self.assertIn("no acknowledgement of the execute in time (after 300 ms); the request "
                      "may still be carried out", err)
        self.expect_files(4)
        self.sync(k, 4)
