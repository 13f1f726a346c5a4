"""What the scripts that drive the real program under Wine share: failing
with a message, and waiting for a line of the activity log."""

import pathlib
import sys
import time

# Only a guard against a hang: a line that comes at all comes far sooner,
# even on a machine loaded by other builds.
DEADLINE = 180


def fail(message):
    print(f"{pathlib.Path(sys.argv[0]).stem}: {message}", file=sys.stderr)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)


def wait_for_log(log, text, count=1, process=None):
    """Waits until `text` stands `count` times in the log; fails after
    DEADLINE seconds, or as soon as `process` has ended."""
    deadline = time.monotonic() + DEADLINE
    while time.monotonic() < deadline:
        if log.exists() and log.read_bytes().count(text) >= count:
            return
        if process and process.poll() is not None:
            fail(f"the program ended with {process.returncode} before logging {text!r}")
        time.sleep(0.2)
    fail(f"{count} x {text!r} not in {log} within {DEADLINE} s:\n"
         f"{log.read_text(errors='replace') if log.exists() else '(no log)'}")
