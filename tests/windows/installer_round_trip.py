"""The real setup program (makensis's output) under Wine, installed and removed.

On a machine with Illustrator's Adobe folder and the records a grant-era
version left in the uninstall key, a silent install, as a deployment tool
runs it, puts the program, its login launcher and the service in Program
Files\\MerroUpdate, makes the service's folder %ProgramData%\\MerroUpdate
with the defaults, registers the service MerroUpdate (LocalSystem, automatic)
and starts it, runs the rights tool only to revoke the recorded entries, and
makes no working folder. With no user program running, the service installs
the delivered package and records it. A user's login starts the tray program
through the Startup shortcut, in service mode: it makes no working folder
and announces the installation. An update from a version service on
127.0.0.1 then lands through the service, with the design's log lines in the
service's log, and the tray program learns of it. A second silent install
keeps the service's LocalConfig.json. The silent uninstall removes the
service, the program, the Startup shortcut and the registration, and leaves
the service's log and the installed extension.

Wine keeps no permissions on files, so of the rights only the rights tool's
command lines (from Wine's process trace) are checked here; the access lists
asked for are checked against Wine's ACL calls by the Windows unit tests.

Everything the run adds to the prefix is removed at the end (and at the
start, should an earlier run have been interrupted). Exits non-zero with a
message on the first failure.
"""

import argparse
import json
import os
import pathlib
import re
import shutil
import struct
import subprocess
import time

from end_to_end import NEW_VERSION, Service, new_package, serve
from program_checks import DEADLINE, check, wait_for_log

PROGRAM = "merroupdate.exe"
INSTALL_DIR = r"C:\Program Files\MerroUpdate"
CEP = r"C:\Program Files\Common Files\Adobe\CEP"
EXTENSIONS = CEP + r"\extensions"
EXTENSION = EXTENSIONS + r"\com.qv.plug"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\MerroUpdate"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
SHELL_FOLDERS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
COMMON_FOLDERS = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
LAUNCHER = "merroupdate-session.exe"
SERVICE_PROGRAM = "merroupdate-service.exe"
RIGHTS_TOOL = "merroupdate-rights.exe"
SERVICE_KEY = r"HKLM\System\CurrentControlSet\Services\MerroUpdate"
# Wine's trace of each process it starts.
PROCESS_TRACE = "-all,trace+process"
# The uninstall key's records of the rights entries a grant-era version
# added, and the revocation the setup program runs for each, in its order.
GRANT_RECORDS = {"GrantedExtensionModify": ["revoke", "modify", EXTENSION],
                 "GrantedCepFolders": ["revoke", "create-folders", CEP],
                 "GrantedExtensionsFolders": ["revoke", "create-folders", EXTENSIONS]}
# taskkill's exit code when no process has the name.
NOT_FOUND = 128


class Wine:
    def __init__(self, wine_run, prefix):
        self.wine_run = wine_run
        self.prefix = pathlib.Path(prefix)

    def run(self, *command, debug=None, timeout=120):
        """Runs a Windows program to its end; returns (exit code, stdout, stderr)."""
        env = dict(os.environ, MERRO_WINEDEBUG=debug) if debug else None
        result = subprocess.run([self.wine_run, "--prefix", str(self.prefix), *command], env=env,
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
        return (result.returncode, result.stdout.decode("utf-8", "replace").replace("\r", ""),
                result.stderr.decode("utf-8", "replace").replace("\r", ""))

    def start(self, document):
        """Opens a file as Explorer would (start.exe), without waiting for what it starts.

        What starts inherits the output files, so they are not pipes that
        would stay open for as long as it runs."""
        return subprocess.run([self.wine_run, "--prefix", str(self.prefix), "start", document],
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=120).returncode

    def unix(self, windows_path):
        """The prefix's file for a path on drive C:."""
        check(windows_path[:3].upper() == "C:\\", f"not a path on C: {windows_path!r}")
        return self.prefix / "drive_c" / windows_path[3:].replace("\\", "/")

    def reg_values(self, key):
        """A key's values as {name: data}, or None when the key does not exist."""
        status, out, _ = self.run("reg", "query", key)
        if status != 0:
            return None
        values = {}
        for line in out.splitlines():
            match = re.match(r"^ {4}(.*?) {4}(REG_\w+) {4}(.*)$", line)
            if match:
                values[match.group(1)] = match.group(3)
        return values

    def program_runs(self):
        """Whether a merroupdate.exe runs; asks it to quit (WM_CLOSE) if so."""
        status, _, _ = self.run("taskkill", "/im", PROGRAM)
        return status != NOT_FOUND


def rights_tool_calls(stderr):
    """The rights tool's arguments, in order, for each time Wine's process trace shows it started."""
    calls = []
    for line in stderr.splitlines():
        match = re.search(r'trace:process:CreateProcessInternalW app .*? cmdline L"((?:[^"\\]|\\.)*)"$', line)
        if match:
            command_line = re.sub(r"\\(.)", r"\1", match.group(1))
            words = [quoted or plain for quoted, plain in re.findall(r'"([^"]*)"|(\S+)', command_line)]
            if words and words[0].lower().endswith("\\" + RIGHTS_TOOL):
                calls.append(words[1:])
    return calls


def check_rights_tool(stderr, expected, what):
    calls = rights_tool_calls(stderr)
    check(calls == expected, f"{what}: the rights tool was run with {calls}, expected {expected}")


def read_shortcut(path):
    """Target and working folder of a shell link (MS-SHLLINK), as Wine writes it."""
    data = path.read_bytes()
    check(len(data) > 0x4C and struct.unpack_from("<I", data, 0)[0] == 0x4C, f"{path} is not a shell link")
    flags = struct.unpack_from("<I", data, 0x14)[0]
    offset = 0x4C
    target = None
    if flags & 0x01:  # HasLinkTargetIDList
        offset += 2 + struct.unpack_from("<H", data, offset)[0]
    if flags & 0x02:  # HasLinkInfo: LocalBasePath, ANSI
        size, _, _, _, base = struct.unpack_from("<5I", data, offset)
        end = data.index(b"\0", offset + base)
        target = data[offset + base:end].decode("latin-1")
        offset += size
    strings = {}
    unicode = bool(flags & 0x80)
    for bit, name in ((0x04, "name"), (0x08, "relative"), (0x10, "workdir"), (0x20, "arguments"), (0x40, "icon")):
        if flags & bit:
            count = struct.unpack_from("<H", data, offset)[0]
            offset += 2
            width = 2 if unicode else 1
            raw = data[offset:offset + count * width]
            strings[name] = raw.decode("utf-16-le" if unicode else "latin-1").rstrip("\0")
            offset += count * width
    return target, strings.get("workdir"), strings.get("arguments", "")


def check_signed(path, certificate):
    """An Authenticode signature on `path` that the build's certificate verifies."""
    result = subprocess.run(["osslsigncode", "verify", "-CAfile", certificate, "-in", str(path)],
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
    output = result.stdout.decode("utf-8", "replace") + result.stderr.decode("utf-8", "replace")
    check(result.returncode == 0 and "Signature verification: ok" in output,
          f"{path} carries no signature of the build's certificate:\n{output}")


def files_in(folder):
    """The names in a folder; none for a folder that is not there."""
    return sorted(path.name for path in folder.iterdir()) if folder.is_dir() else []


def main():
    parser = argparse.ArgumentParser()
    for option in ("--wine-run", "--prefix", "--setup", "--input", "--package-version", "--version"):
        parser.add_argument(option, required=True)
    # The throwaway certificate the build signed with; empty for a vendor's,
    # whose signatures a real Windows checks.
    parser.add_argument("--certificate", default="")
    args = parser.parse_args()
    wine = Wine(args.wine_run, args.prefix)
    setup = pathlib.Path(args.setup)
    inputs = pathlib.Path(args.input)
    check(setup.name == f"MerroUpdate-{args.version}-setup.exe", f"unexpected setup program {setup.name}")

    # The prefix is made by the first Windows program run in it.
    wine.run("cmd", "/c", "exit", "0")
    folders = wine.reg_values(SHELL_FOLDERS)
    check(folders is not None, "no Shell Folders in the prefix")
    common = wine.reg_values(COMMON_FOLDERS)
    check(common is not None, "no machine-wide Shell Folders in the prefix")
    paths = {"work": folders["Local AppData"] + r"\MerroUpdate",
             "note": folders["Local AppData"] + r"\MerroUpdate Display\announced-change",
             "service": common["Common AppData"] + r"\MerroUpdate",
             "startup_link": common["Common StartUp"] + r"\MerroUpdate.lnk",
             "app_link": folders["Programs"] + r"\Pelvane.lnk"}
    # Folders the run may create that are not the installation's own: the
    # Adobe folder (Illustrator's, made here in its place) and the Startup folder.
    adobe = wine.unix(CEP).parent
    made = [folder for folder in (adobe, wine.unix(paths["startup_link"]).parent) if not folder.exists()]
    ours = [wine.unix(INSTALL_DIR), wine.unix(paths["work"]), wine.unix(paths["note"]).parent,
            wine.unix(paths["service"]), wine.unix(paths["startup_link"]), wine.unix(paths["app_link"]),
            wine.unix(CEP)]

    def clean():
        wine.run("net", "stop", "MerroUpdate")
        wine.run("sc", "delete", "MerroUpdate")
        wine.run("taskkill", "/f", "/im", PROGRAM)
        for path in ours:
            if path.is_dir():
                shutil.rmtree(path)
            elif path.exists():
                path.unlink()
        wine.run("reg", "delete", UNINSTALL_KEY, "/f")

    clean()
    try:
        adobe.mkdir(parents=True, exist_ok=True)
        round_trip(wine, setup, inputs, args, paths)
    finally:
        clean()
        for folder in made:
            if folder.exists():
                shutil.rmtree(folder)
    print("installer_round_trip: install with the service, the delivered package and an update installed by it, "
          "the tray program in service mode, reinstall, uninstall as expected (the rights themselves: Wine "
          "keeps no ACL, only the rights tool's command lines were checked)")


def wait_for(condition, what):
    deadline = time.monotonic() + DEADLINE
    while not condition():
        check(time.monotonic() < deadline, f"{what} within {DEADLINE} s")
        time.sleep(0.2)


def round_trip(wine, setup, inputs, args, paths):
    install_dir = wine.unix(INSTALL_DIR)
    service_dir = wine.unix(paths["service"])
    config_file = service_dir / "LocalConfig.json"
    log = service_dir / "Log" / "action-log.txt"
    record = service_dir / "LastChange.json"
    note = wine.unix(paths["note"])
    extension = wine.unix(EXTENSION)
    manifest = extension / "CSXS" / "manifest.xml"
    first_config = {"Elasp": "", "Setup": "no", "url": "", "versionNumber": args.package_version}
    defaults = inputs / "defaults"

    # A grant-era version's records: the setup program revokes what they name.
    for name in GRANT_RECORDS:
        status, _, err = wine.run("reg", "add", UNINSTALL_KEY, "/v", name, "/t", "REG_DWORD", "/d", "1", "/f")
        check(status == 0, f"reg add failed: {err}")

    # --- silent install: machine-wide files, the service started
    status, out, err = wine.run(str(setup), "/S", debug=PROCESS_TRACE)
    check(status == 0, f"the setup program exited with {status}\n{out}{err}")
    installed = sorted(["7z.dll", "QVLogo.png", "Uninstall.exe", PROGRAM, LAUNCHER, SERVICE_PROGRAM])
    check(files_in(install_dir) == installed, f"{install_dir} holds {files_in(install_dir)}")
    for name in ("7z.dll", "QVLogo.png", PROGRAM, LAUNCHER, SERVICE_PROGRAM):
        check((install_dir / name).read_bytes() == (inputs / name).read_bytes(),
              f"the installed {name} is not the one built")
    check(json.loads((defaults / "LocalConfig.json").read_text()) == first_config,
          f"the default LocalConfig.json is {(defaults / 'LocalConfig.json').read_text()!r}")
    if args.certificate:
        for signed in (setup, install_dir / PROGRAM, install_dir / LAUNCHER, install_dir / SERVICE_PROGRAM,
                       install_dir / "7z.dll", install_dir / "Uninstall.exe", inputs / RIGHTS_TOOL,
                       inputs / "merroupdate-setup-tool.exe"):
            check_signed(signed, args.certificate)
        # The build tree's own copy was never signed: the check can fail.
        unsigned = inputs.parent / "bin" / PROGRAM
        result = subprocess.run(["osslsigncode", "verify", "-CAfile", args.certificate, "-in", str(unsigned)],
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        check(result.returncode != 0, f"osslsigncode verify took the unsigned {unsigned}")
    check(not wine.unix(paths["work"]).exists(), "the setup program made a per-user working folder")
    check((service_dir / "com.qv.plug.zip").read_bytes() == (defaults / "com.qv.plug.zip").read_bytes(),
          "the service's com.qv.plug.zip is not the delivered package")

    target, _, arguments = read_shortcut(wine.unix(paths["startup_link"]))
    check(target and target.lower() == (INSTALL_DIR + "\\" + LAUNCHER).lower(), f"the Startup shortcut starts {target!r}")
    check(arguments == "", f"the Startup shortcut passes {arguments!r}")
    check("MerroUpdate" not in (wine.reg_values(RUN_KEY) or {}), "a Run value as well as the Startup shortcut")

    registration = wine.reg_values(UNINSTALL_KEY)
    check(registration is not None, f"no {UNINSTALL_KEY}")
    expected = {"DisplayName": "MerroUpdate", "DisplayVersion": args.version, "Publisher": "Pelvane",
                "InstallLocation": INSTALL_DIR, "UninstallString": f'"{INSTALL_DIR}\\Uninstall.exe"',
                "QuietUninstallString": f'"{INSTALL_DIR}\\Uninstall.exe" /S'}
    for name, value in expected.items():
        check(registration.get(name) == value, f"uninstall registration {name} = {registration.get(name)!r}, not {value!r}")
    # Only revocations, each recorded entry once, and the records go with them.
    check_rights_tool(err, list(GRANT_RECORDS.values()), "install")
    check(not any(name in registration for name in GRANT_RECORDS), f"grant records left: {registration}")

    service = wine.reg_values(SERVICE_KEY)
    check(service is not None, f"no {SERVICE_KEY}")
    check(service.get("Start") == "0x2" and service.get("ObjectName") == "LocalSystem"
          and service.get("DisplayName") == "MerroUpdate Service"
          and (service.get("ImagePath") or "").lower() == f'"{INSTALL_DIR}\\{SERVICE_PROGRAM}"'.lower(),
          f"the service's registration: {service}")

    # --- the service, with no user program running, installs the delivered package
    wait_for_log(log, b"Setup Complete!")
    check(not wine.program_runs(), "a tray program ran after a silent setup")
    check(manifest.exists() and f'ExtensionBundleVersion="{args.package_version}"' in manifest.read_text(),
          "the delivered package is not in the extension folder")
    check(json.loads(config_file.read_text()) == dict(first_config, Setup="yes"),
          f"the service's LocalConfig.json is {config_file.read_text()!r}")
    wait_for(record.exists, "no change record")
    installation = json.loads(record.read_text())
    check(installation["result"] == "installed" and installation["versionNumber"] == args.package_version,
          f"the change record says {installation}")

    # --- a user's login: the tray program in service mode announces the installation
    check(wine.start(paths["startup_link"]) == 0, "start of the Startup shortcut failed")
    wait_for(lambda: note.exists() and note.read_text() == installation["change"],
             "the tray program did not announce the installation")
    check(not wine.unix(paths["work"]).exists(), "the tray program made a per-user working folder")

    # --- an update from a version service on 127.0.0.1, through the service
    server = serve(Service(new_package()))
    try:
        check(wine.run("net", "stop", "MerroUpdate")[0] == 0, "net stop failed")
        config_file.write_text(json.dumps(dict(first_config, Setup="yes", Elasp="1", url=server.url("/version"))))
        check(wine.run("net", "start", "MerroUpdate")[0] == 0, "net start failed")
        wait_for_log(log, b"Update Config Finish!")
    finally:
        server.shutdown()
    for line in (b"Download Process Start!", b"Download UrlConfig!", b"URLData: " + NEW_VERSION.encode(),
                 b"Delete UrlConfig Finish!", b"Download Zip Finish!", b"Delete Old Files!"):
        check(line in log.read_bytes(), f"{line!r} not in the service's log")
    check(f"<html>{NEW_VERSION}</html>" in (extension / "index.html").read_text(), "the update is not installed")
    wait_for(lambda: json.loads(record.read_text())["result"] == "updated", "no record of the update")
    update = json.loads(record.read_text())
    check(update["versionNumber"] == NEW_VERSION, f"the change record says {update}")
    wait_for(lambda: note.read_text() == update["change"], "the tray program did not learn of the update")
    check(not wine.unix(paths["work"]).exists(), "the tray program made a per-user working folder")

    # --- reinstall: keeps the service's configuration, starts it again
    config = json.loads(config_file.read_text())
    status, out, err = wine.run(str(setup), "/S")
    check(status == 0, f"the second setup exited with {status}\n{out}{err}")
    check(json.loads(config_file.read_text()) == config, "the reinstall changed the service's LocalConfig.json")
    wait_for_log(log, b"Not Need Setup!")

    # --- silent uninstall (see the earlier note on _?=)
    status, out, err = wine.run(INSTALL_DIR + r"\Uninstall.exe", "/S", *("_?=" + INSTALL_DIR).split(" "),
                                debug=PROCESS_TRACE)
    check(status == 0, f"the uninstaller exited with {status}\n{out}{err}")
    check(wine.reg_values(SERVICE_KEY) is None, "the uninstall left the service registered")
    check(not wine.program_runs(), "the uninstaller left the program running")
    check(not install_dir.exists() or files_in(install_dir) == ["Uninstall.exe"],
          f"after the uninstall {install_dir} holds {files_in(install_dir)}")
    check(files_in(service_dir) == ["Log"], f"after the uninstall {service_dir} holds {files_in(service_dir)}")
    check(not wine.unix(paths["startup_link"]).exists(), "the Startup shortcut stayed")
    check(wine.reg_values(UNINSTALL_KEY) is None, "the uninstall registration stayed")
    check(manifest.exists(), "a silent uninstall removed the installed extension")
    check_rights_tool(err, [], "uninstall")


if __name__ == "__main__":
    main()
