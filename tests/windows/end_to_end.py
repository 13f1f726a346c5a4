"""The real merroupdate.exe under Wine, end to end.

Start-up installs the delivered package into C:/Program Files/Common
Files/Adobe/CEP/extensions/com.qv.plug of the prefix and records "Setup"; a
check against a version service on 127.0.0.1 installs a newer package and
rewrites LocalConfig.json; a second copy exits 0 at once; taskkill (WM_CLOSE)
ends the first with exit code 0; a version service whose certificate is
self-signed is refused. Exits non-zero with a message on the first failure.
"""

import argparse
import http.server
import json
import pathlib
import shutil
import ssl
import subprocess
import tempfile
import threading
import zipfile

from program_checks import fail, wait_for_log

EXTENSION = "drive_c/Program Files/Common Files/Adobe/CEP/extensions/com.qv.plug"
NEW_VERSION = "1.1.0"


class Service(http.server.ThreadingHTTPServer):
    """The version document and the package it names; counts the requests."""

    def __init__(self, package):
        self.package = package
        self.requests = []
        super().__init__(("127.0.0.1", 0), Handler)

    def url(self, path, scheme="http"):
        return f"{scheme}://127.0.0.1:{self.server_address[1]}{path}"


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.server.requests.append(self.path)
        if self.path == "/version":
            body = json.dumps({"data": {"plug": {"urlPath": self.server.url("/package.zip"),
                                                 "versionNumber": NEW_VERSION}}}).encode()
        elif self.path == "/package.zip":
            body = self.server.package
        else:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def serve(server):
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def new_package():
    with tempfile.SpooledTemporaryFile() as buffer:
        with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as package:
            package.writestr("index.html", f"<html>{NEW_VERSION}</html>")
            package.writestr("CSXS/manifest.xml", '<ExtensionManifest Version="3.0"/>')
        buffer.seek(0)
        return buffer.read()


def write_config(work, url, setup, version, elasp="2"):
    config = {"Elasp": elasp, "Setup": setup, "url": url, "versionNumber": version}
    (work / "LocalConfig.json").write_text(json.dumps(config))


def self_signed_service(folder, package):
    key, certificate = folder / "key.pem", folder / "cert.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", "/CN=127.0.0.1", "-keyout", str(key), "-out", str(certificate)],
                   check=True, capture_output=True)
    server = Service(package)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    server.handshakes = 0
    original = server.get_request

    def count_handshakes():
        server.handshakes += 1
        return original()

    server.get_request = count_handshakes
    return serve(server)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--wine-run", "--prefix", "--program", "--package"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    prefix = pathlib.Path(args.prefix)

    def wine(*command, **options):
        return subprocess.Popen([args.wine_run, "--prefix", str(prefix), *command], **options)

    # The prefix is made by the first Windows program run in it.
    wine("cmd", "/c", "exit", stdout=subprocess.DEVNULL).wait(timeout=120)
    adobe = prefix / "drive_c/Program Files/Common Files/Adobe"
    shutil.rmtree(adobe / "CEP", ignore_errors=True)
    adobe.mkdir(parents=True, exist_ok=True)

    service = serve(Service(new_package()))
    with tempfile.TemporaryDirectory() as folder:
        work = pathlib.Path(folder) / "work"
        work.mkdir()
        shutil.copy(args.package, work / "com.qv.plug.zip")
        write_config(work, service.url("/version"), "no", "1.0.0")
        log = work / "Log" / "action-log.txt"

        first = wine(args.program, cwd=work)
        wait_for_log(log, b"Setup Complete!", process=first)
        wait_for_log(log, b"Update Config Finish!", process=first)
        extension = prefix / EXTENSION
        if (extension / "index.html").read_text() != f"<html>{NEW_VERSION}</html>":
            fail("the update is not in the extension folder")
        if (extension / "js").exists():
            fail("the delivered package's files outlived the update")
        config = json.loads((work / "LocalConfig.json").read_text())
        if config["versionNumber"] != NEW_VERSION or config["Setup"] != "yes":
            fail(f"LocalConfig.json not rewritten: {config}")
        text = log.read_bytes()
        for line in (b"Start Sucess!", b"Unzip Files Finish!", b"Download Zip Finish!"):
            if line + b"\r\n" not in text:
                fail(f"no {line!r} line with CR LF in the log")

        second = wine(args.program, cwd=work)
        if second.wait(timeout=60) != 0:
            fail(f"the second copy exited with {second.returncode}")
        if log.read_bytes().count(b"Start Sucess!") != 1:
            fail("the second copy started up")

        wine("taskkill", "/im", pathlib.Path(args.program).name, stdout=subprocess.DEVNULL).wait(timeout=60)
        if first.wait(timeout=60) != 0:
            fail(f"taskkill ended the program with {first.returncode}, not 0")

        tls = self_signed_service(pathlib.Path(folder), new_package())
        write_config(work, tls.url("/version", "https"), "yes", "1.0.0", elasp="1")
        third = wine(args.program, cwd=work)
        wait_for_log(log, b"Download Config Error", process=third)
        wine("taskkill", "/im", pathlib.Path(args.program).name, stdout=subprocess.DEVNULL).wait(timeout=60)
        third.wait(timeout=60)
        if tls.handshakes == 0 or tls.requests:
            fail(f"the self-signed service saw {tls.handshakes} connections and answered {tls.requests}")
        if json.loads((work / "LocalConfig.json").read_text())["versionNumber"] != "1.0.0":
            fail("a version from the self-signed service was recorded")
    shutil.rmtree(adobe / "CEP", ignore_errors=True)
    print("end_to_end: installation, update, second copy, taskkill and TLS refusal as expected")


if __name__ == "__main__":
    main()
