"""The real setup program (makensis's output) under Wine, installed and removed.

A silent install, as a deployment tool runs it, puts only machine-wide files
in place: the program, its login launcher and the defaults (the delivered
package and the first LocalConfig.json) in Program Files\\MerroUpdate, the
start at login as a shortcut to the launcher in the all users' Startup
folder, the uninstaller's registration, and the extension folder, running
its rights tool for the Users group's entries and recording each it added.
It makes no working folder. The launcher,
started through that shortcut as at a user's login, makes the user's working
folder (%LOCALAPPDATA%\\MerroUpdate) from the defaults and starts the program
there, which installs the delivered package. A second silent install while it
runs stops it and keeps the configuration the user changed. The silent
uninstall stops it again and removes the program, the defaults, the Startup
shortcut and the registration, and removes only the rights entries recorded
as its own; it leaves the user's working folder and the installed extension
in place.

Wine keeps no permissions on files, so the rights tool's command lines (from
Wine's process trace) and the records are what is checked of the grant here;
the access-list editing itself is checked against Wine's ACL calls by the
Windows unit tests. Whether the rights work is for real Windows to show.

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
RIGHTS_TOOL = "merroupdate-rights.exe"
# Wine's trace of each process it starts.
PROCESS_TRACE = "-all,trace+process"
# The uninstall key's records of the rights entries the setup program added.
GRANT_RECORDS = {"GrantedExtensionsFolders": ["grant", "create-folders", EXTENSIONS],
                 "GrantedCepFolders": ["grant", "create-folders", CEP],
                 "GrantedExtensionModify": ["grant", "modify", EXTENSION]}
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
    work = folders["Local AppData"] + r"\MerroUpdate"
    startup_link = common["Common StartUp"] + r"\MerroUpdate.lnk"
    app_link = folders["Programs"] + r"\Pelvane.lnk"
    # Folders the run may create that are not the installation's own: the
    # Adobe folder (above CEP) and the Startup folder.
    made = [folder for folder in (wine.unix(CEP).parent, wine.unix(startup_link).parent) if not folder.exists()]
    ours = [wine.unix(INSTALL_DIR), wine.unix(work), wine.unix(startup_link), wine.unix(app_link), wine.unix(CEP)]

    def clean():
        wine.run("taskkill", "/f", "/im", PROGRAM)
        for path in ours:
            if path.is_dir():
                shutil.rmtree(path)
            elif path.exists():
                path.unlink()
        wine.run("reg", "delete", UNINSTALL_KEY, "/f")

    clean()
    try:
        round_trip(wine, setup, inputs, args, work, startup_link, app_link)
    finally:
        clean()
        for folder in made:
            if folder.exists():
                shutil.rmtree(folder)
    print("installer_round_trip: install, start from the Startup shortcut, reinstall over the running "
          "program, uninstall as expected (the rights themselves: Wine keeps no ACL, only the rights "
          "tool's command lines and records were checked)")


def round_trip(wine, setup, inputs, args, work, startup_link, app_link):
    install_dir = wine.unix(INSTALL_DIR)
    work_dir = wine.unix(work)
    config_file = work_dir / "LocalConfig.json"
    log = work_dir / "Log" / "action-log.txt"
    extension = wine.unix(EXTENSION)
    first_config = {"Elasp": "", "Setup": "no", "url": "", "versionNumber": args.package_version}
    defaults = inputs / "defaults"

    # --- silent install: machine-wide files only
    status, out, err = wine.run(str(setup), "/S", debug=PROCESS_TRACE)
    check(status == 0, f"the setup program exited with {status}\n{out}{err}")
    check(files_in(install_dir) == sorted(["7z.dll", "QVLogo.png", "Uninstall.exe", PROGRAM, LAUNCHER, "defaults"]),
          f"{install_dir} holds {files_in(install_dir)}")
    check(not (install_dir / RIGHTS_TOOL).exists(), f"the setup program installed its {RIGHTS_TOOL}")
    for name in ("7z.dll", "QVLogo.png", PROGRAM, LAUNCHER, "defaults/LocalConfig.json", "defaults/com.qv.plug.zip"):
        check((install_dir / name).read_bytes() == (inputs / name).read_bytes(),
              f"the installed {name} is not the one built")
    check(json.loads((defaults / "LocalConfig.json").read_text()) == first_config,
          f"the default LocalConfig.json is {(defaults / 'LocalConfig.json').read_text()!r}")
    check((install_dir / "Uninstall.exe").read_bytes()[:2] == b"MZ", "Uninstall.exe is no program")
    if args.certificate:
        for signed in (setup, install_dir / PROGRAM, install_dir / LAUNCHER, install_dir / "7z.dll",
                       install_dir / "Uninstall.exe", inputs / RIGHTS_TOOL):
            check_signed(signed, args.certificate)
        # The build tree's own copy was never signed: the check can fail.
        unsigned = inputs.parent / "bin" / PROGRAM
        result = subprocess.run(["osslsigncode", "verify", "-CAfile", args.certificate, "-in", str(unsigned)],
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        check(result.returncode != 0, f"osslsigncode verify took the unsigned {unsigned}")
    check(not work_dir.exists(), f"the setup program made a working folder for the account it ran as: {work_dir}")

    target, workdir, arguments = read_shortcut(wine.unix(startup_link))
    check(target and target.lower() == (INSTALL_DIR + "\\" + LAUNCHER).lower(), f"the Startup shortcut starts {target!r}")
    check(arguments == "", f"the Startup shortcut passes {arguments!r}")
    run_values = wine.reg_values(RUN_KEY) or {}
    check("MerroUpdate" not in run_values, f"a Run value as well as the Startup shortcut: {run_values}")

    registration = wine.reg_values(UNINSTALL_KEY)
    check(registration is not None, f"no {UNINSTALL_KEY}")
    expected = {"DisplayName": "MerroUpdate", "DisplayVersion": args.version, "Publisher": "Pelvane",
                "InstallLocation": INSTALL_DIR, "UninstallString": f'"{INSTALL_DIR}\\Uninstall.exe"',
                "QuietUninstallString": f'"{INSTALL_DIR}\\Uninstall.exe" /S'}
    for name, value in expected.items():
        check(registration.get(name) == value, f"uninstall registration {name} = {registration.get(name)!r}, not {value!r}")

    check(extension.is_dir() and not any(extension.iterdir()), f"{extension} not created empty")
    # In this order: each grant made without the later ones is safe (see the
    # script). Wine keeps no ACL, so the tool finds none of them made and adds
    # each, which the setup program records.
    check_rights_tool(err, list(GRANT_RECORDS.values()), "install")
    for record in GRANT_RECORDS:
        check(registration.get(record) == "0x1", f"the setup program did not record {record}: {registration}")

    # --- a user's first login: the launcher makes the working folder from the
    # defaults and starts the program there, which installs the package.
    status = wine.start(startup_link)
    check(status == 0, f"start of the Startup shortcut exited with {status}")
    wait_for_log(log, b"Setup Complete!")
    # Stopped before its first update check, which would ask the real version
    # service; started again below with the checks weeks apart.
    check(wine.program_runs(), "the launcher started no program")
    deadline = time.monotonic() + DEADLINE
    while wine.program_runs():
        check(time.monotonic() < deadline, "the program did not quit when asked")
        time.sleep(0.5)
    manifest = extension / "CSXS" / "manifest.xml"
    check(manifest.exists() and f'ExtensionBundleVersion="{args.package_version}"' in manifest.read_text(),
          "the delivered package is not in the extension folder")
    check((work_dir / "com.qv.plug.zip").read_bytes() == (defaults / "com.qv.plug.zip").read_bytes(),
          "the working folder's com.qv.plug.zip is not the delivered package")
    check(json.loads(config_file.read_text()) == dict(first_config, Setup="yes"),
          f"the working folder's LocalConfig.json is {config_file.read_text()!r}")
    check(wine.unix(app_link).exists(), f"the program made no {app_link}")
    # Clicked, the Start-menu shortcut starts the launcher, which finds the
    # user's working folder as at login.
    target, _, _ = read_shortcut(wine.unix(app_link))
    check(target and target.lower() == (INSTALL_DIR + "\\" + LAUNCHER).lower(), f"{app_link} starts {target!r}")
    config = dict(first_config, Setup="yes", Elasp="2000000")
    config_file.write_text(json.dumps(config))
    status = wine.start(startup_link)
    check(status == 0, f"start of the Startup shortcut exited with {status}")
    wait_for_log(log, b"Not Need Setup!")

    # --- reinstall over the running program: stops it, keeps its configuration
    status, out, err = wine.run(str(setup), "/S")
    check(status == 0, f"the second setup exited with {status}\n{out}{err}")
    registration = wine.reg_values(UNINSTALL_KEY) or {}
    check(all(registration.get(record) == "0x1" for record in GRANT_RECORDS),
          f"the reinstall lost a record of the grant: {registration}")
    check(not wine.program_runs(), "the reinstall left the program running")
    kept = json.loads(config_file.read_text())
    check(kept == config, f"the reinstall did not keep the user's LocalConfig.json: {kept}")
    check((install_dir / PROGRAM).read_bytes() == (inputs / PROGRAM).read_bytes(), "reinstalled program differs")

    # --- silent uninstall with the program running. NSIS reads _?= raw, up
    # to the end of the command line and unquoted; wine quotes an argument
    # with a space, so the folder goes as its words, which wine joins with
    # spaces. Run so, the uninstaller works in place and returns when done.
    status = wine.start(startup_link)
    check(status == 0, f"start of the Startup shortcut exited with {status}")
    wait_for_log(log, b"Not Need Setup!", count=2)
    # As if an administrator's entry had been there already on CEP: the
    # setup program did not add it, so the uninstaller must leave it.
    status, _, err = wine.run("reg", "delete", UNINSTALL_KEY, "/v", "GrantedCepFolders", "/f")
    check(status == 0, f"reg delete failed: {err}")
    status, out, err = wine.run(INSTALL_DIR + r"\Uninstall.exe", "/S", *("_?=" + INSTALL_DIR).split(" "),
                                debug=PROCESS_TRACE)
    check(status == 0, f"the uninstaller exited with {status}\n{out}{err}")
    check(not wine.program_runs(), "the uninstaller left the program running")
    # Running in place it cannot delete itself, nor so its folder.
    check(not install_dir.exists() or files_in(install_dir) == ["Uninstall.exe"],
          f"after the uninstall {install_dir} holds {files_in(install_dir)}")
    check(json.loads(config_file.read_text()) == config, "the uninstall changed the user's working folder")
    check(not wine.unix(startup_link).exists(), "the Startup shortcut stayed")
    check(wine.reg_values(UNINSTALL_KEY) is None, "the uninstall registration stayed")
    check(manifest.exists(), "a silent uninstall removed the installed extension")
    check_rights_tool(err, [["revoke", "modify", EXTENSION], ["revoke", "create-folders", EXTENSIONS]], "uninstall")


if __name__ == "__main__":
    main()
