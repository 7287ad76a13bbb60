"""Tests for the choice of the Windows build that the Wine suites, the demo and
the benchmarks run on (tools/machine.sh), with the probe's answer faked.

Run from the repository root:
    python3 -m unittest discover -s tests/tools -v
"""

import os
import stat
import subprocess
import tempfile
import unittest

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MACHINE = os.path.join(REPO, "tools", "machine.sh")
WINE32_LOADER = "/usr/lib/wine/wine"


def choose(**env):
    """(first line printed, windows_build, windows_build_why) of choose_windows_build."""
    script = f'source "{MACHINE}"; choose_windows_build; echo "$windows_build"; echo "$windows_build_why"'
    full_env = {k: v for k, v in os.environ.items()
                if k not in ("LAUNCHER_FORCE_TWIN", "LAUNCHER_32BIT_PROBE")}
    full_env.update(env)
    done = subprocess.run(["bash", "-c", script], env=full_env, capture_output=True, text=True,
                          timeout=60)
    if done.returncode != 0:
        raise AssertionError(f"exit {done.returncode}: {done.stderr}")
    lines = done.stdout.splitlines()
    return lines[0], lines[1], lines[2]


class FakeProbe:
    """A probe script with a given answer, that leaves a mark when asked."""

    def __init__(self, folder, exit_code, output=""):
        self.mark = os.path.join(folder, "asked")
        self.path = os.path.join(folder, f"probe-{exit_code}")
        with open(self.path, "w") as script:
            script.write(f"#!/bin/sh\ntouch '{self.mark}'\nprintf '%s' '{output}'\nexit {exit_code}\n")
        os.chmod(self.path, os.stat(self.path).st_mode | stat.S_IXUSR)

    def asked(self):
        return os.path.exists(self.mark)


class ChoiceOfWindowsBuild(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(subprocess.run, ["rm", "-rf", self.folder])

    def test_the_probe_decides_unless_the_twin_is_forced(self):
        rows = [
            # name, probe exit, probe output, forced, build, words in the line
            ("runs 32-bit code", 0, "", "", "windows", ["runs 32-bit code", "32-bit product"]),
            ("exec format error", 1,
             "a 32-bit Linux program fails: Exec format error", "", "windows64",
             ["runs no 32-bit code", "Exec format error", "64-bit twin", "build/windows64"]),
            ("silent no", 1, "", "", "windows64", ["runs no 32-bit code", "64-bit twin"]),
            ("forced", 0, "", "1", "windows64", ["forced", "64-bit twin"]),
            ("forced off", 0, "", "0", "windows", ["runs 32-bit code"]),
        ]
        for name, exit_code, output, forced, build, words in rows:
            with self.subTest(name):
                folder = tempfile.mkdtemp(dir=self.folder)
                probe = FakeProbe(folder, exit_code, output)
                env = {"LAUNCHER_32BIT_PROBE": probe.path}
                if forced:
                    env["LAUNCHER_FORCE_TWIN"] = forced
                line, chosen, why = choose(**env)
                self.assertEqual(build, chosen, line)
                self.assertTrue(line.startswith("machine: "), line)
                for word in words:
                    self.assertIn(word, line)
                self.assertIn(why, line)
                # A forced twin needs no probe; otherwise the probe was asked.
                self.assertEqual(forced != "1", probe.asked(), name)

    def test_the_real_probe_agrees_with_wines_32_bit_loader(self):
        if not os.access(WINE32_LOADER, os.X_OK):
            self.skipTest(f"{WINE32_LOADER} is not installed")
        loader = subprocess.run([WINE32_LOADER, "--version"], stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=60)
        _, chosen, why = choose()
        expected = "windows" if loader.returncode == 0 else "windows64"
        self.assertEqual(expected, chosen,
                         f"the 32-bit Wine loader exits {loader.returncode}; the probe: {why}")


if __name__ == "__main__":
    unittest.main()
