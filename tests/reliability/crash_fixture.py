"""The real program in a temporary folder pair (working folder and Wine
prefix) against a loopback version service that serves version 2."""
import http.server
import json
import os
import pathlib
import signal
import subprocess
import threading
import time

# How long to wait for an event of the program before calling it lost: only
# a guard against a hang, far beyond what an event takes on a loaded machine.
EVENT_WAIT = 120

ADOBE = "drive_c/Program Files/Common Files/Adobe"
CEP = ADOBE + "/CEP"
EXTENSION = CEP + "/extensions/com.qv.plug"
# Where the package is extracted before it is renamed into place.
STAGING = CEP + "/com.qv.plug.new"
# In the working folder while a replacement is under way: the start-up
# recovery restores only a set-aside folder it names.
SET_ASIDE_RECORD = "com.qv.plug.set-aside"

# Version 1 and version 2 of the extension: a changed, a kept, a removed
# and an added file, and an added folder.
OLD_TREE = {
    "CSXS/manifest.xml": b'<ExtensionManifest Version="1.0"/>\n',
    "index.html": b"<html>old</html>\n",
    "js/main.js": b"var version = 1;\n" * 40,
    "js/legacy.js": b"// only in version 1\n",
}
NEW_TREE = {
    "CSXS/manifest.xml": b'<ExtensionManifest Version="2.0"/>\n',
    "index.html": b"<html>new</html>\n",
    "js/main.js": b"var version = 2;\n" * 40,
    "img/logo.svg": b"<svg/>\n" * 30,
}


def make_package(tree, target):
    """A package made by the zip tool from `tree`; returns its bytes."""
    source = target.with_suffix(".source")
    for name, data in tree.items():
        (source / name).parent.mkdir(parents=True, exist_ok=True)
        (source / name).write_bytes(data)
    subprocess.run(["zip", "-q", "-X", "-r", str(target), "."], cwd=source, check=True)
    return target.read_bytes()


def read_tree(folder):
    """Every file below `folder` with its bytes, folders as None; None when
    `folder` is missing."""
    folder = pathlib.Path(folder)
    if not folder.is_dir():
        return None
    tree = {}
    for path in sorted(folder.rglob("*")):
        tree[path.relative_to(folder).as_posix()] = None if path.is_dir() else path.read_bytes()
    return tree


def as_tree(files):
    """The read_tree form of a {file: bytes} mapping."""
    tree = dict(files)
    for name in files:
        parts = name.split("/")[:-1]
        for depth in range(1, len(parts) + 1):
            tree["/".join(parts[:depth])] = None
    return dict(sorted(tree.items()))


class Service(http.server.ThreadingHTTPServer):
    """Serves /version (version 2) and /package.zip on 127.0.0.1. While held,
    a version request waits until released (at most EVENT_WAIT)."""

    daemon_threads = True

    def __init__(self, package):
        super().__init__(("127.0.0.1", 0), ServiceHandler)
        self.package = package
        self.released = threading.Event()
        self.released.set()
        self.version_requests = 0
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.server_address[1], path)

    def document(self):
        return json.dumps({"data": {"plug": {"urlPath": self.url("/package.zip"), "versionNumber": "2"}}}).encode()


class ServiceHandler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        service = self.server
        if self.path == "/version":
            service.version_requests += 1
            service.released.wait(EVENT_WAIT)
        body = {"/version": service.document, "/package.zip": lambda: service.package}.get(self.path)
        if body is None:
            return self.send_error(404)
        self.send_response(200)
        self.send_header("Content-Length", str(len(body())))
        self.end_headers()
        self.wfile.write(body())

    def log_message(self, *args):
        pass


def local_config(service, setup, version):
    return json.dumps({"Elasp": "1", "Setup": setup, "url": service.url("/version"), "versionNumber": version},
                      indent=4).encode()


class Program:
    """The program started in `work` with WINEPREFIX `prefix`, HOME and the
    runtime folder in `home`, no display and no session bus; `wrapper` is a
    command put before it (the recorder)."""

    def __init__(self, binary, work, prefix, home, wrapper=()):
        home.mkdir(parents=True, exist_ok=True)
        # A private runtime folder, so the single-instance lock goes there
        # and not among the traced working files.
        home.chmod(0o700)
        environment = {k: v for k, v in os.environ.items()
                       if k not in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS")}
        environment.update(WINEPREFIX=str(prefix), HOME=str(home), XDG_RUNTIME_DIR=str(home),
                           XDG_DATA_HOME=str(home / "share"), XDG_CONFIG_HOME=str(home / "config"))
        self.log = work / "Log/action-log.txt"
        self.lines_before = self.log_lines()
        self.traced = bool(wrapper) and wrapper[0] == "strace"
        if self.traced:
            # A sanitizer build's leak check cannot run under ptrace.
            environment["ASAN_OPTIONS"] = environment.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
        self.process = subprocess.Popen([*wrapper, str(binary)], cwd=work, env=environment,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def log_lines(self):
        try:
            return self.log.read_bytes().decode("utf-8", "replace").splitlines()
        except OSError:
            return []

    def new_lines(self):
        return self.log_lines()[len(self.lines_before):]

    def wait_for(self, condition, seconds):
        """True once `condition` holds; False after `seconds` or when the
        program ended."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if condition():
                return True
            if self.process.poll() is not None:
                return condition()
            time.sleep(0.01)
        return False

    def program_pid(self):
        """The program's process: under strace, the tracer's child."""
        if not self.traced:
            return self.process.pid
        children = pathlib.Path("/proc/%d/task/%d/children" % (self.process.pid, self.process.pid))
        deadline = time.monotonic() + EVENT_WAIT
        while time.monotonic() < deadline:
            try:
                found = children.read_text().split()
            except OSError:
                return None
            if found:
                return int(found[0])
            time.sleep(0.01)
        return None

    def stop(self):
        """SIGTERM, its normal quit; returns the exit code and standard error."""
        pid = self.program_pid()
        if self.process.poll() is None and pid:
            os.kill(pid, signal.SIGTERM)
        try:
            _, error = self.process.communicate(timeout=EVENT_WAIT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            _, error = self.process.communicate()
        return self.process.returncode, error.decode("utf-8", "replace")
