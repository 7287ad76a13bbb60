"""Checks that the same sources always make the same launcher.exe: two clean
builds in two build folders of different names and depths give it byte for
byte. Anyone can then rebuild the CD's launcher and compare it with the one
shipped.

Run from the repository root (it needs the mingw-w64 toolchain and takes
about half a minute):
    python3 -m unittest discover -s tests/pe -v
"""

import os
import subprocess
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
TOOLCHAIN = os.path.join(REPO, "cmake", "mingw-i686.cmake")


def build_launcher(build_dir):
    for command in (["cmake", "-S", REPO, "-B", build_dir, f"-DCMAKE_TOOLCHAIN_FILE={TOOLCHAIN}",
                     "-DCMAKE_BUILD_TYPE=MinSizeRel"],
                    ["cmake", "--build", build_dir, "--target", "launcher"]):
        result = subprocess.run(command, capture_output=True, text=True, timeout=600)
        if result.returncode != 0:
            raise AssertionError(f"{' '.join(command)} failed:\n{result.stdout}\n{result.stderr}")
    with open(os.path.join(build_dir, "launcher", "launcher.exe"), "rb") as program:
        return program.read()


def first_difference(a, b):
    for offset, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return offset
    return min(len(a), len(b))


class LauncherBuildIsReproducible(unittest.TestCase):
    def test_two_clean_builds_give_the_same_bytes(self):
        with tempfile.TemporaryDirectory(prefix="launcher-build-") as work:
            first = build_launcher(os.path.join(work, "one"))
            second = build_launcher(os.path.join(work, "a-longer-name", "two"))
        self.assertGreater(len(first), 0)
        self.assertTrue(first == second,
                        f"{len(first)} and {len(second)} bytes, first difference at offset "
                        f"{first_difference(first, second):#x}")


if __name__ == "__main__":
    unittest.main()
