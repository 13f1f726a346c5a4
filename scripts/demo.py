"""The demo run of MerroUpdate, driven by scripts/demo.

Prepares build/demo (working folder, LocalConfig.json, the delivered
package, a Wine prefix, a minisign key pair made for the demo), serves a
version document naming a newer package on 127.0.0.1, signed by
merroupdate-publish with that key, runs build/bin/merroupdate (trusting the
key) until the update is installed, stops it through its normal quit path
(SIGTERM) and prints what happened.
"""

import http.server
import json
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import threading
import time
import zipfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
PROGRAM = ROOT / "build" / "bin" / "merroupdate"
PUBLISH = ROOT / "build" / "bin" / "merroupdate-publish"
DEMO = ROOT / "build" / "demo"
EXTENSION_SOURCE = ROOT / "demo" / "extension"
SERVICE_PATH = "/api/lt/certifyFree/template/qvLtPlugVersions/getPlugAddress"
EXTENSION_DIR = "drive_c/Program Files/Common Files/Adobe/CEP/extensions/com.qv.plug"
DELIVERED_VERSION = "1.0.0"
NEW_VERSION = "1.1.0"
DEADLINE_SECONDS = 40


def build_package(version, target):
    """Zips the sample extension with its version filled in."""
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as package:
        for source in sorted(EXTENSION_SOURCE.rglob("*")):
            if source.is_file():
                text = source.read_text(encoding="utf-8").replace("@VERSION@", version)
                package.writestr(str(source.relative_to(EXTENSION_SOURCE)), text)


class VersionService(http.server.ThreadingHTTPServer):
    """Answers the version document and the package it names."""

    def __init__(self, package):
        self.package = package
        self.document = b""
        self.requests = []
        super().__init__(("127.0.0.1", 0), VersionServiceHandler)

    def address(self, path):
        return f"http://127.0.0.1:{self.server_address[1]}{path}"


class VersionServiceHandler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        service = self.server
        service.requests.append(self.path)
        if self.path == SERVICE_PATH:
            self.reply(service.document, "application/json")
        elif self.path == f"/packages/com.qv.plug-{NEW_VERSION}.zip":
            self.reply(service.package.read_bytes(), "application/zip")
        else:
            self.send_error(404)

    def reply(self, body, content_type):
        self.send_response(200)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def signed_document(service, package, keys):
    """The version document of the new package, signed by merroupdate-publish
    with a key pair made here (no password, as befits a demo)."""
    keys.mkdir()
    subprocess.run(["minisign", "-G", "-W", "-q", "-p", keys / "demo.pub", "-s", keys / "demo.key"], check=True)
    document = subprocess.run(
        [PUBLISH, "--package", package, "--version", NEW_VERSION,
         "--url", service.address(f"/packages/com.qv.plug-{NEW_VERSION}.zip"),
         "--sequence", "1", "--expires", "2099-12-31T00:00:00Z", "--key", keys / "demo.key"],
        check=True, capture_output=True).stdout
    public_key = (keys / "demo.pub").read_text(encoding="utf-8").splitlines()[1]
    return document, public_key


def has_notification_service(environment):
    """True when the session bus given in the environment has a notification server."""
    if not environment.get("DBUS_SESSION_BUS_ADDRESS") or not shutil.which("busctl"):
        return False
    probe = subprocess.run(["busctl", "--user", "status", "org.freedesktop.Notifications"],
                           env=environment, capture_output=True, timeout=10)
    return probe.returncode == 0


class DesktopForDemo:
    """A private session bus, and where possible dunst under Xvfb as its
    notification server, for machines without a desktop session."""

    def __init__(self, environment):
        self.processes = []
        self.has_dunst = False
        self.environment = environment
        daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                                  env=environment)
        self.processes.append(daemon)
        environment["DBUS_SESSION_BUS_ADDRESS"] = daemon.stdout.readline().strip()
        if shutil.which("Xvfb") and shutil.which("dunst"):
            self.start_dunst()

    def start_dunst(self):
        display = f":{90 + os.getpid() % 100}"
        self.processes.append(subprocess.Popen(["Xvfb", display, "-nolisten", "tcp"],
                                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        self.environment["DISPLAY"] = display
        for _ in range(50):
            if pathlib.Path(f"/tmp/.X11-unix/X{display[1:]}").exists():
                break
            time.sleep(0.1)
        self.processes.append(subprocess.Popen(["dunst"], env=self.environment,
                                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        for _ in range(50):
            if has_notification_service(self.environment):
                self.has_dunst = True
                return
            time.sleep(0.1)

    def dismiss_all(self):
        """Closes the shown notifications as a user would, which the program's
        handler reports, and which moves them into dunst's history."""
        if self.has_dunst:
            subprocess.run(["dunstctl", "close-all"], env=self.environment, timeout=10)

    def notifications(self):
        if not self.has_dunst:
            return []
        history = subprocess.run(["dunstctl", "history"], env=self.environment,
                                 capture_output=True, text=True, timeout=10)
        try:
            entries = json.loads(history.stdout)["data"][0]
        except (ValueError, KeyError, IndexError):
            return []
        return [f'{entry["appname"]["data"]}: {entry["summary"]["data"]}' for entry in reversed(entries)]

    def close(self):
        for process in reversed(self.processes):
            process.terminate()
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                process.kill()


def wait_for_log_line(log, text, process, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and process.poll() is None:
        if log.exists() and text in log.read_text(encoding="utf-8", errors="replace"):
            return True
        time.sleep(0.2)
    return False


def print_section(title, lines):
    print(f"\n== {title}")
    for line in lines:
        print(f"   {line}")


def installed_tree(extension):
    if not extension.exists():
        return ["(not installed)"]
    return [str(path.relative_to(extension)) + ("/" if path.is_dir() else "")
            for path in sorted(extension.rglob("*"))]


def installed_version(extension):
    manifest = extension / "CSXS" / "manifest.xml"
    if not manifest.exists():
        return None
    text = manifest.read_text(encoding="utf-8")
    marker = 'ExtensionBundleVersion="'
    start = text.find(marker)
    return text[start + len(marker):text.find('"', start + len(marker))] if start >= 0 else None


def main():
    if DEMO.exists():
        shutil.rmtree(DEMO)
    prefix = DEMO / "prefix"
    home = DEMO / "home"
    # A Wine prefix comes with its Program Files; the extension platform's
    # folders below Adobe are the program's to create.
    for folder in (prefix / "drive_c" / "Program Files" / "Common Files" / "Adobe", home):
        folder.mkdir(parents=True)
    build_package(DELIVERED_VERSION, DEMO / "com.qv.plug.zip")
    new_package = DEMO / "service" / f"com.qv.plug-{NEW_VERSION}.zip"
    new_package.parent.mkdir()
    build_package(NEW_VERSION, new_package)

    service = VersionService(new_package)
    service.document, public_key = signed_document(service, new_package, DEMO / "keys")
    threading.Thread(target=service.serve_forever, daemon=True).start()
    config = {"Elasp": "2", "Setup": "no", "signingKeys": public_key, "url": service.address(SERVICE_PATH),
              "versionNumber": DELIVERED_VERSION}
    (DEMO / "LocalConfig.json").write_text(json.dumps(config, indent=4) + "\n", encoding="utf-8")

    environment = dict(os.environ, WINEPREFIX=str(prefix), HOME=str(home),
                       XDG_DATA_HOME=str(home / ".local" / "share"))
    desktop = None
    if not has_notification_service(environment):
        environment.pop("DISPLAY", None)
        environment.pop("WAYLAND_DISPLAY", None)
        desktop = DesktopForDemo(environment)

    print(f"Demo folder {DEMO}; version service {service.address(SERVICE_PATH)}")
    print(f"Delivered package {DELIVERED_VERSION}, service offers {NEW_VERSION} signed with the demo's key; "
          "check interval 2 s")
    log = DEMO / "Log" / "action-log.txt"
    with open(DEMO / "stdout.txt", "w") as stdout, open(DEMO / "stderr.txt", "w") as stderr:
        program = subprocess.Popen([str(PROGRAM)], cwd=DEMO, env=environment, stdout=stdout, stderr=stderr)
        try:
            updated = wait_for_log_line(log, "Update Config Finish!", program, DEADLINE_SECONDS)
            if desktop:
                # The program shows the update's notification, then holds its
                # thread for 5 seconds before it handles the dismissal.
                time.sleep(6)
                desktop.dismiss_all()
                time.sleep(1)
            program.send_signal(signal.SIGTERM)
            exit_code = program.wait(timeout=20)
        finally:
            if program.poll() is None:
                program.kill()
                program.wait()
    notifications = desktop.notifications() if desktop else ["(shown on this desktop's notification server)"]
    if desktop:
        desktop.close()
    service.shutdown()

    extension = prefix / EXTENSION_DIR
    print_section("Activity log (Log/action-log.txt)",
                  log.read_text(encoding="utf-8").splitlines() if log.exists() else ["(none)"])
    print_section(f"Installed extension (version {installed_version(extension)})", installed_tree(extension))
    print_section("LocalConfig.json", (DEMO / "LocalConfig.json").read_text(encoding="utf-8").splitlines())
    print_section("Notifications", notifications or ["(no notification server recorded any)"])
    print_section("Notification events on standard output",
                  (DEMO / "stdout.txt").read_text(encoding="utf-8").splitlines() or ["(none)"])
    errors = (DEMO / "stderr.txt").read_text(encoding="utf-8").splitlines()
    if errors:
        print_section("Standard error", errors)
    print_section("Requests to the version service", service.requests)

    log_text = log.read_text(encoding="utf-8") if log.exists() else ""
    config_after = json.loads((DEMO / "LocalConfig.json").read_text(encoding="utf-8"))
    checks = {
        "start-up installation": "Setup Complete!" in log_text and config_after.get("Setup") == "yes",
        "update": updated and config_after.get("versionNumber") == NEW_VERSION
                  and installed_version(extension) == NEW_VERSION,
        "signature and package checked": "Verify UrlConfig Finish!" in log_text and "Verify Zip Finish!" in log_text
                                          and config_after.get("signedSequence") == "1",
        "normal exit": exit_code == 0,
    }
    print_section("Result", [f"{name}: {'ok' if passed else 'FAILED'}" for name, passed in checks.items()])
    return 0 if all(checks.values()) else 1


if __name__ == "__main__":
    sys.exit(main())
