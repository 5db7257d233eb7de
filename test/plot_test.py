#!/usr/bin/python3
"""quodrel-plot run as the user runs it: its pictures, and its messages and statuses on bad input.

    /usr/bin/python3 test/plot_test.py [unittest options]    (CTest runs it so)
"""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = pathlib.Path(__file__).resolve().parent
SCRIPT = HERE.parent / "plot" / "quodrel-plot"
APPROVED = HERE / "approved"
PEAK_ROW = "   1.0000e+001 \t    2.8569e-002\r\n"


def row(frequency, value):
    return f"{frequency:>14} \t {value:>14}\r\n"


class QuodrelPlot(unittest.TestCase):
    def setUp(self):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="quodrel-plot-test-"))
        self.restore_tables()

    def restore_tables(self):
        """The typical tables as pk.txt and rms.txt, and nothing else."""
        for entry in self.folder.iterdir():
            entry.unlink()
        shutil.copy(APPROVED / "typical_peak.txt", self.folder / "pk.txt")
        shutil.copy(APPROVED / "typical_grms.txt", self.folder / "rms.txt")

    def tearDown(self):
        shutil.rmtree(self.folder)

    def plot(self, *arguments, python_options=()):
        environment = {key: value for key, value in os.environ.items()
                       if key not in ("DISPLAY", "WAYLAND_DISPLAY", "MPLBACKEND")}
        run = subprocess.run([sys.executable, *python_options, str(SCRIPT), *arguments],
                             cwd=self.folder,
                             env=environment, capture_output=True, text=True, timeout=120)
        self.assertNotIn("Traceback", run.stderr)
        return run

    def write(self, name, text):
        (self.folder / name).write_bytes(text.encode("latin-1"))

    def expect_refusal(self, run, *texts):
        self.assertNotEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stderr.count("\n"), 1, run.stderr)  # one line that says why
        for text in texts:
            self.assertIn(text, run.stderr)

    def test_the_typical_tables_as_a_png_that_is_not_blank(self):
        import matplotlib.image
        run = self.plot("pk.txt", "rms.txt", "-o", "spectrum.png")
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stderr, "")
        picture = self.folder / "spectrum.png"
        self.assertEqual(picture.read_bytes()[:8], b"\x89PNG\r\n\x1a\n")
        pixels = matplotlib.image.imread(picture)
        colours = {tuple(pixel) for line in pixels[::4] for pixel in line[::4]}
        self.assertGreater(len(colours), 50, "the picture is nearly blank")
        # The two curves' colours are there: blue for G peak, orange for GRMS.
        blue = sum(1 for colour in colours if colour[2] > 0.6 and colour[0] < 0.3)
        orange = sum(1 for colour in colours if colour[0] > 0.9 and 0.4 < colour[1] < 0.6)
        self.assertGreater(blue, 0)
        self.assertGreater(orange, 0)

    def test_svg_and_pdf_by_extension_with_labels_and_the_largest_peak(self):
        for name, start in (("s.svg", b"<?xml"), ("s.pdf", b"%PDF"), ("S.PNG", b"\x89PNG")):
            run = self.plot("pk.txt", "rms.txt", "-o", name)
            self.assertEqual(run.returncode, 0, run.stderr)
            self.assertEqual((self.folder / name).read_bytes()[:len(start)], start, name)
        svg = (self.folder / "s.svg").read_text()
        for text in ("Natural frequency (Hz)", "Acceleration (G peak, GRMS)", "G peak", "GRMS",
                     "pk.txt (G peak) and rms.txt (GRMS)",
                     # the largest value of approved/typical_peak.txt and its frequency
                     "0.088237 G peak at 19.431 Hz"):
            self.assertIn(text, svg)

    def test_another_extension_is_refused(self):
        run = self.plot("pk.txt", "rms.txt", "-o", "spectrum.gif")
        self.assertEqual(run.returncode, 2)
        self.assertIn("spectrum.gif: the picture's name must end in .png, .svg or .pdf", run.stderr)
        self.assertFalse((self.folder / "spectrum.gif").exists())

    def test_without_a_display_the_picture_goes_to_a_file_and_it_says_so(self):
        run = self.plot("pk.txt", "rms.txt")
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertIn("the picture is in spectrum.png", run.stderr)
        self.assertEqual((self.folder / "spectrum.png").read_bytes()[:4], b"\x89PNG")

    def test_rows_that_log_axes_cannot_show_are_left_out_and_counted(self):
        self.write("pk.txt", row("1.0000e+001", "NaN") + row("1.0293e+001", "Inf") +
                   row("1.0595e+001", "-1.0000e+000") + row("1.0905e+001", "0.0000e+000") +
                   row("1.1225e+001", "3.4176e-002") + row("1.1554e+001", "3.5783e-002"))
        self.write("rms.txt", row("1.0000e+001", "NaN") + row("1.0293e+001", "Inf") +
                   row("1.0595e+001", "2.0000e-002") + row("1.0905e+001", "2.1000e-002") +
                   row("1.1225e+001", "2.4162e-002") + row("1.1554e+001", "2.5298e-002"))
        run = self.plot("pk.txt", "rms.txt", "-o", "s.svg")
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stderr.splitlines(), [
            "quodrel-plot: pk.txt: 4 of 6 rows left out (NaN, Inf or not above zero cannot be "
            "drawn on log axes)",
            "quodrel-plot: rms.txt: 2 of 6 rows left out (NaN, Inf or not above zero cannot be "
            "drawn on log axes)"])
        self.assertIn("0.035783 G peak at 11.554 Hz", (self.folder / "s.svg").read_text())

    def test_a_table_with_nothing_to_draw_is_refused(self):
        nan_rows = "".join(row(f"{1 + i}.0000e+001", "NaN") for i in range(5))
        self.write("pk.txt", nan_rows)
        self.write("rms.txt", nan_rows)
        run = self.plot("pk.txt", "rms.txt", "-o", "s.png")
        self.assertEqual(run.returncode, 1)
        self.expect_refusal(run, "pk.txt: nothing to draw")
        self.assertFalse((self.folder / "s.png").exists())

    def test_input_errors_name_the_file_and_say_why(self):
        cases = (
            ("a missing file", {}, ("pk.txt", "missing.txt"), ("missing.txt: No such file",)),
            ("a row that is not a table row", {"pk.txt": PEAK_ROW + "   1.0293e+001 \tx\r\n"},
             ("pk.txt", "rms.txt"), ("pk.txt:2: not a table row: '   1.0293e+001 \\tx'",)),
            ("a row with three numbers", {"rms.txt": PEAK_ROW + "1 2 3\n"},
             ("pk.txt", "rms.txt"), ("rms.txt:2: not a table row: '1 2 3'",)),
            ("a blank line", {"pk.txt": PEAK_ROW + "\r\n" + PEAK_ROW},
             ("pk.txt", "rms.txt"), ("pk.txt:2: not a table row: ''",)),
            ("an empty table", {"pk.txt": ""}, ("pk.txt", "rms.txt"), ("pk.txt: the table is empty",)),
            ("first columns that differ", {"rms.txt": (APPROVED / "typical_grms.txt").read_text()
                                           .replace("1.0595e+001", "1.0596e+001", 1)},
             ("pk.txt", "rms.txt"), ("the first columns differ (row 3: 1.0595e+001 and 1.0596e+001)",)),
            ("tables of different lengths", {"rms.txt": PEAK_ROW},
             ("pk.txt", "rms.txt"), ("the first columns differ (24 and 1 rows)",)),
            ("a folder", {}, ("pk.txt", "."), (".: ",)),
        )
        for what, files, arguments, texts in cases:
            with self.subTest(what):
                self.restore_tables()
                for name, text in files.items():
                    self.write(name, text)
                run = self.plot(*arguments, "-o", "s.png")
                self.assertEqual(run.returncode, 1, what)
                self.expect_refusal(run, *texts)
                self.assertFalse((self.folder / "s.png").exists(), what)

    def test_a_picture_that_cannot_be_written(self):
        run = self.plot("pk.txt", "rms.txt", "-o", "no/such/folder/s.png")
        self.assertEqual(run.returncode, 1)
        self.expect_refusal(run, "no/such/folder/s.png: No such file or directory")

    def test_without_matplotlib_it_says_how_to_install_it(self):
        run = self.plot("pk.txt", "rms.txt", "-o", "s.png", python_options=("-S",))  # no site
        self.assertEqual(run.returncode, 3)
        self.expect_refusal(run, "needs matplotlib", "apt-get install python3-matplotlib",
                            "py -m pip install matplotlib")

    def test_wrong_arguments_give_the_usage(self):
        run = self.plot("pk.txt")
        self.assertEqual(run.returncode, 2)
        self.assertIn("usage: quodrel-plot", run.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
