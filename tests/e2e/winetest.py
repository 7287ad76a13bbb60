"""Runs the real launcher.exe under Wine on a copy of the sample CD.

The tests run inside a Wine session (tools/wine-session start): its display
and prefix come from the environment when it holds a session of the right
kind, or else from build/wine-session.env. ctest hands over where the build
put things in LAUNCHER_E2E_* variables; without them the defaults below the
repository's build folder are used, so that a test module can also be run by
hand:

    tools/wine-session start
    python3 -m unittest discover -s tests/e2e -v

LAUNCHER_E2E_ARCH=x86_64 runs them on the 64-bit twin (build/windows64), in
the session of tools/wine-session --win64 start (build/wine-session64.env).

Everything that a test changes in the prefix -- registry values, the drive
letter of the CD, the sample font's traces -- is put back when it ends, so
the tests of one run share one prefix.
"""

import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.path.join(REPO, "build")

CAPTION = " Lumenor Scrivo Installer"
IDOK, IDCANCEL, IDC_MESSAGE = 1, 2, 1001

PRODUCT_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\Lumenor Network\Lumenor Scrivo\2002"
PRODUCT_ROOT_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\Lumenor Network"
BROWSER_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Internet Explorer"
SETUP_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Setup"
FONTS_KEY_NT = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Fonts"
FONTS_KEY_9X = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Fonts"


def app_defaults_key(program):
    """Where Wine looks up the Windows version to report to one program, by its file name."""
    return "HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\" + program


APP_DEFAULTS_KEY = app_defaults_key("launcher.exe")

# Wine's names for the versions it can report to one program.
NT_FAMILY = ("nt40", "win2k", "winxp", "win7")
FAMILY_9X = ("win95", "win98", "winme")

SAMPLE_FONT_VALUE = "Vietnam (TrueType)"
SAMPLE_FONT_FILE = "vietnam.ttf"


def setting(name, default):
    return os.environ.get("LAUNCHER_E2E_" + name) or default


# The 32-bit product, or its 64-bit twin for a machine that runs no 32-bit code.
ARCH = setting("ARCH", "i686")
TWIN = ARCH == "x86_64"
WINEARCH = "win64" if TWIN else "win32"
WINDOWS_BUILD = os.path.join(BUILD, "windows64" if TWIN else "windows")
SESSION_ENV = os.path.join(BUILD, "wine-session64.env" if TWIN else "wine-session.env")

SAMPLE_CD = setting("SAMPLE_CD", os.path.join(WINDOWS_BUILD, "sample-cd"))
WINCTL = setting("WINCTL", os.path.join(WINDOWS_BUILD, "tests", "windows", "winctl.exe"))
OBJDUMP = setting("OBJDUMP", ARCH + "-w64-mingw32-objdump")
WORK = setting("WORK", os.path.join(WINDOWS_BUILD, "e2e-work"))


class WineError(Exception):
    pass


# ---- The session -----------------------------------------------------------------------


def read_session_file(path):
    values = {}
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            match = re.match(r"(?:export\s+)?(\w+)=(.*)$", line.strip())
            if match:
                values[match.group(1)] = match.group(2)
    return values


def session_environment():
    """The environment for Wine programs: the caller's, joined to the session.

    A session of the other kind in the environment has the wrong prefix and
    loader for this build, so the session file of this kind is read instead."""
    env = dict(os.environ)
    if env.get("WINEARCH", "win32") != WINEARCH or "WINEPREFIX" not in env:
        for name in ("WINEPREFIX", "WINE", "WINELOADER"):
            env.pop(name, None)
        if os.path.exists(SESSION_ENV):
            env.update(read_session_file(SESSION_ENV))
    if "WINEPREFIX" not in env or "DISPLAY" not in env:
        start = "tools/wine-session --win64 start" if TWIN else "tools/wine-session start"
        raise WineError(f"no Wine session: start one with {start}")
    env.setdefault("WINEDEBUG", "-all")
    env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
    env["WINEARCH"] = WINEARCH
    env.setdefault("WINE", "wine")
    return env


def windows_path(unix_path):
    """The path by which Windows programs see a host file: through drive Z:."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def unescape(text):
    """winctl's escaped text back to the bytes it stands for."""
    return re.sub(r"\\x([0-9A-Fa-f]{2})", lambda m: chr(int(m.group(1), 16)), text).encode(
        "latin-1"
    )


class Wine:
    """Runs Windows programs in the session's prefix.

    Output always goes through files: Wine's helper processes inherit what a
    program was given and outlive it, so a pipe would never be closed.
    """

    def __init__(self):
        self.env = session_environment()
        self.prefix = self.env["WINEPREFIX"]

    def run(self, args, cwd=None, extra_env=None, timeout=60):
        """Runs a program to its end: (exit code, stdout text, stderr text)."""
        env = dict(self.env, **(extra_env or {}))
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            try:
                code = subprocess.run(
                    [self.env["WINE"], *args], cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                    stdout=out, stderr=err, timeout=timeout,
                ).returncode
            except subprocess.TimeoutExpired:
                raise WineError(f"{args} still running after {timeout} s")
            out.seek(0)
            err.seek(0)
            return code, out.read().decode("latin-1"), err.read().decode("latin-1")

    def start(self, args, cwd=None, extra_env=None, output=None):
        """Starts a program and returns at once with its subprocess.Popen."""
        env = dict(self.env, **(extra_env or {}))
        sink = open(output, "wb") if output else subprocess.DEVNULL
        try:
            return subprocess.Popen(
                [self.env["WINE"], *args], cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                stdout=sink, stderr=subprocess.STDOUT if output else subprocess.DEVNULL,
            )
        finally:
            if output:
                sink.close()

    def drive_link(self, letter):
        return os.path.join(self.prefix, "dosdevices", letter.lower() + ":")

    def map_drive(self, letter, folder):
        """Makes `folder` drive `letter`: Wine reads the link at every lookup."""
        link = self.drive_link(letter)
        if os.path.islink(link) or os.path.exists(link):
            os.unlink(link)
        os.symlink(os.path.abspath(folder), link)

    def unmap_drive(self, letter):
        link = self.drive_link(letter)
        if os.path.islink(link):
            os.unlink(link)

    def windows_directory(self):
        return os.path.join(self.prefix, "drive_c", "windows")

    def screenshot(self, path, crop=None):
        """The whole screen of the session's display, or the rectangle `crop`
        (left, top, right, bottom) of it, as an image file."""
        region = []
        if crop:
            left, top, right, bottom = crop
            region = ["-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage"]
        subprocess.run(
            ["import", "-display", self.env["DISPLAY"], "-window", "root", *region, path],
            env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, check=True, timeout=30,
        )
        return path


# ---- Driving windows -------------------------------------------------------------------


def parse_window_line(line):
    """One `window=... pid=... visible=... class=... caption=...` line."""
    head, _, caption = line.partition(" caption=")
    fields = dict(part.split("=", 1) for part in head.split())
    return {
        "hwnd": fields["window"],
        "pid": int(fields["pid"]),
        "visible": fields["visible"] == "1",
        "class": fields["class"],
        "caption": unescape(caption).decode("latin-1"),
    }


class WinCtlResult:
    def __init__(self, text):
        self.lines = text.splitlines()
        self.values = {}
        self.windows = []
        for line in self.lines:
            if line.startswith("window="):
                self.windows.append(parse_window_line(line))
            elif "=" in line:
                key, value = line.split("=", 1)
                self.values.setdefault(key, value)

    def __getitem__(self, key):
        return self.values[key]


class WinCtl:
    """The winctl.exe helper: see its usage text for the commands."""

    def __init__(self, wine):
        self.wine = wine

    def __call__(self, *args, timeout=60):
        code, out, err = self.wine.run([WINCTL, *map(str, args)], timeout=timeout)
        if code != 0:
            raise WineError(f"winctl {' '.join(map(str, args))}: exit {code}: {err.strip()}")
        return WinCtlResult(out)

    def wait_for(self, caption, timeout_s=20):
        """The visible window with that caption, once it shows."""
        result = self(
            "wait", caption, int(timeout_s * 1000), timeout=timeout_s + 30)
        return result.windows[0]

    def text(self, caption, control_id):
        """A control's text as bytes, exactly as the control holds them."""
        return unescape(self("text", caption, control_id)["text"])

    def windows_of(self, exe_name):
        return self("windows", exe_name).windows

    def font_exists(self, face):
        return self("font-exists", face)["exists"] == "1"

    def watch(self, exe_name, timeout_s, ignored_pid=None):
        """Starts watching for a window of `exe_name`; returns a Watch."""
        return Watch(self.wine, exe_name, timeout_s, ignored_pid)


class Watch:
    """winctl's watch running beside a test; ready once it has begun."""

    def __init__(self, wine, exe_name, timeout_s, ignored_pid):
        self.output = tempfile.NamedTemporaryFile(delete=False)
        self.output.close()
        args = [WINCTL, "watch", exe_name, str(int(timeout_s * 1000))]
        if ignored_pid is not None:
            args.append(str(ignored_pid))
        self.timeout_s = timeout_s
        self.process = wine.start(args, output=self.output.name)
        deadline = time.monotonic() + 30
        while b"watching=1" not in self._read():
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise WineError("winctl watch did not begin: " + self._read().decode())
            time.sleep(0.02)

    def _read(self):
        with open(self.output.name, "rb") as output:
            return output.read()

    def result(self):
        """{'shown': bool, 'seen_process': bool, 'window': window or None}."""
        try:
            self.process.wait(timeout=self.timeout_s + 30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise WineError("winctl watch did not end")
        parsed = WinCtlResult(self._read().decode("latin-1"))
        os.unlink(self.output.name)
        return {
            "shown": parsed.values.get("shown") == "1",
            "seen_process": parsed.values.get("seen_process") == "1",
            "window": parsed.windows[0] if parsed.windows else None,
        }


# ---- The registry ----------------------------------------------------------------------


def reg_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def import_reg_file(wine, path):
    """Imports a .reg file with `regedit /s`.

    Once in many runs, on a fresh 64-bit prefix, regedit ended with 1 and said
    nothing, and the same file imported at the next try: the import is tried
    twice before the test is given up."""
    for _ in range(2):
        code, out, err = wine.run(["regedit", "/s", windows_path(path)])
        if code == 0:
            return
    raise WineError(f"regedit failed twice ({code}) on {path}: {out} {err}")


class Registry:
    """Changes registry values through regedit and remembers how they were.

    A .reg file goes through one `regedit /s`, about a tenth of a second:
    cheaper than a `reg add` for each value. restore() puts back every value
    and key that went through this object.
    """

    def __init__(self, wine, work):
        self.wine = wine
        self.work = work
        self.original_values = {}  # (key, name) -> text, or None for absent
        self.absent_keys = set()  # keys that did not exist before they were touched

    def read(self, key, name):
        """A value's data as text (REG_SZ), or None when it is not there."""
        code, out, _ = self.wine.run(["reg", "query", key, "/v", name])
        if code != 0:
            return None
        for line in out.splitlines():
            fields = re.split(r" {4}", line.strip(), maxsplit=2)
            if len(fields) >= 2 and fields[0].lower() == name.lower():
                return fields[2] if len(fields) == 3 else ""
        return None

    def key_exists(self, key):
        return self.wine.run(["reg", "query", key])[0] == 0

    def _first_absent(self, key):
        """The outermost key on the way to `key` that does not exist, or None."""
        parts = key.split("\\")
        for length in range(2, len(parts) + 1):
            candidate = "\\".join(parts[:length])
            if not self.key_exists(candidate):
                return candidate
        return None

    def _remember(self, key, name):
        if (key, name) in self.original_values:
            return
        if any(key == absent or key.startswith(absent + "\\") for absent in self.absent_keys):
            return
        absent = self._first_absent(key)
        if absent:
            self.absent_keys.add(absent)
        else:
            self.original_values[(key, name)] = self.read(key, name)

    def apply(self, sections):
        """Writes [(key, {name: text or None}), ...] in one go; None deletes.

        A section whose values are None as a whole ("key": None) deletes the key.
        """
        lines = ["REGEDIT4", ""]
        for key, values in sections:
            if values is None:
                lines += [f"[-{key}]", ""]
                continue
            lines.append(f"[{key}]")
            for name, data in values.items():
                lines.append(f"{reg_string(name)}={'-' if data is None else reg_string(data)}")
            lines.append("")
        os.makedirs(self.work, exist_ok=True)
        path = os.path.join(self.work, "change.reg")
        with open(path, "w", encoding="cp1252", newline="\r\n") as reg:
            reg.write("\n".join(lines) + "\n")
        import_reg_file(self.wine, path)

    def set(self, key, name, text):
        self._remember(key, name)
        self.apply([(key, {name: text})])

    def delete(self, key, name):
        self._remember(key, name)
        self.apply([(key, {name: None})])

    def restore(self):
        sections = [(key, None) for key in sorted(self.absent_keys, key=len)]
        for (key, name), text in self.original_values.items():
            sections.append((key, {name: text}))
        if sections:
            self.apply(sections)
        self.original_values.clear()
        self.absent_keys.clear()


# ---- The launcher on the sample CD -----------------------------------------------------


def parse_started_log(path):
    """The stub's log: one (module path, command line) per program started."""
    if not os.path.exists(path):
        return []
    with open(path, "rb") as log:
        text = log.read().decode("cp1252")
    entries = []
    for line in text.split("\r\n"):
        if line:
            module, _, command_line = line.partition("\t")
            entries.append((module, command_line))
    return entries


class LauncherTestCase(unittest.TestCase):
    """A fresh copy of the sample CD as drive D:, and the launcher run on it.

    Each test starts with the prefix as the session made it: product not
    installed, the default browser version, the sample font nowhere.
    """

    DRIVE = "d"

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(os.path.join(SAMPLE_CD, "launcher.exe")):
            raise WineError(f"no sample CD at {SAMPLE_CD}: build the target sample_cd")
        cls.wine = Wine()
        cls.winctl = WinCtl(cls.wine)

    def setUp(self):
        self.work = os.path.join(WORK, self.id().rsplit(".", 2)[-2] + "." + self._testMethodName)
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.cd_root = os.path.join(self.work, "cd")
        self.log = os.path.join(self.work, "started.log")
        self.registry = Registry(self.wine, self.work)
        self.launched = []
        self.wine.map_drive(self.DRIVE, self.cd_root)
        self.addCleanup(self._clean_up)

    def _clean_up(self):
        for process in self.launched:
            if process.poll() is None:
                process.kill()
                process.wait()
        self.wait_until_no_launcher_runs()
        self.registry.restore()
        self.forget_sample_font()
        self.wine.unmap_drive(self.DRIVE)

    # -- the machine --

    def lay_out_cd(self, folder=""):
        """Copies the sample CD to `folder` below the root of drive D:.

        Returns the Unix path of that folder, the launcher's place."""
        target = os.path.join(self.cd_root, folder)
        shutil.copytree(SAMPLE_CD, target, dirs_exist_ok=True)
        return target

    def set_windows_version(self, version):
        self.registry.set(APP_DEFAULTS_KEY, "Version", version)

    def install_product(self, program_path=r"C:\Program Files\Lumenor Scrivo"):
        self.registry.set(PRODUCT_KEY, "ProgramPath", program_path)

    def set_browser_version(self, version):
        """The Internet Explorer "Version" value; None deletes it."""
        if version is None:
            self.registry.delete(BROWSER_KEY, "Version")
        else:
            self.registry.set(BROWSER_KEY, "Version", version)

    def forget_sample_font(self):
        """Removes what installing the sample font leaves: file and Fonts values."""
        self.registry.apply([
            (FONTS_KEY_NT, {SAMPLE_FONT_VALUE: None}),
            (FONTS_KEY_9X, {SAMPLE_FONT_VALUE: None}),
        ])
        fonts = os.path.join(self.wine.windows_directory(), "Fonts")
        for name in os.listdir(fonts) if os.path.isdir(fonts) else []:
            if name.lower() == SAMPLE_FONT_FILE:
                os.unlink(os.path.join(fonts, name))

    # -- the launcher --

    def start_launcher(self, folder):
        """Starts launcher.exe from `folder` (Unix path) as autorun does: with
        that folder as its current directory."""
        process = self.wine.start(
            ["launcher.exe"], cwd=folder, extra_env={"LAUNCHER_TEST_LOG": windows_path(self.log)},
            output=os.path.join(self.work, f"launcher-{len(self.launched)}.out"),
        )
        self.launched.append(process)
        return process

    def wait_for_exit(self, process, timeout_s=30):
        try:
            return process.wait(timeout=timeout_s)
        except subprocess.TimeoutExpired:
            self.screenshot("still-running")
            self.fail(f"launcher.exe still running after {timeout_s} s; "
                      f"windows: {self.winctl('list').windows}")

    def run_launcher(self, folder, timeout_s=30):
        return self.wait_for_exit(self.start_launcher(folder), timeout_s)

    def started(self):
        """(module path, command line) of each program the launcher started."""
        return parse_started_log(self.log)

    def started_modules(self, settle_s=2):
        """The module paths of the programs started, once their lines are in.

        The launcher does not wait for what it starts, so a program may still
        be on its way when the launcher has ended."""
        deadline = time.monotonic() + settle_s
        entries = self.started()
        while not entries and time.monotonic() < deadline:
            time.sleep(0.05)
            entries = self.started()
        return [module for module, _ in entries]

    def wait_until_no_launcher_runs(self, timeout_s=20):
        deadline = time.monotonic() + timeout_s
        while self.winctl("windows", "launcher.exe")["processes"] != "0":
            if time.monotonic() > deadline:
                raise WineError("a launcher.exe is still running")
            time.sleep(0.1)

    def screenshot(self, name):
        return self.wine.screenshot(os.path.join(self.work, name + ".png"))
