#!/usr/bin/python3
"""Power-loss crash states of the real program, replayed against it.

Records two runs under strace (a start-up installation followed by an
update, and a start after an interrupted replacement followed by an
update), builds every crash state the persistence model of crash_model
allows at each traced operation, and starts the program on each: after its
start-up (the version document held back) the extension must be the whole
old or new tree, LocalConfig.json must parse with a versionNumber not ahead
of the extension and the package must be a whole old or new one, and no folder or record of the
replacement may be left; after its
first check version 2 must be installed and recorded, and the program must
quit with 0.

Prints "N crash states, M inconsistent" and each inconsistent state; exits
1 when there is one. --sample K checks K states spread over the traces and
the decisive ones right after each run's last rename.
"""
import argparse
import concurrent.futures
import json
import os
import pathlib
import queue
import shutil
import subprocess
import sys
import tempfile

import crash_model
import crash_trace
from crash_fixture import (ADOBE, CEP, EVENT_WAIT, EXTENSION, NEW_TREE, OLD_TREE, SET_ASIDE_RECORD, STAGING, Program,
                           Service, as_tree, local_config, make_package, read_tree)

# Each worker runs the program as a user of its own (one copy runs per
# user), never as one of this machine's users: --first-uid and the next ones.
FINISHED = ("Update Config Finish!", "Not Need Download Zip")


def as_user(uid):
    if os.geteuid() != 0:
        return []
    return ["setpriv", "--reuid=%d" % uid, "--regid=%d" % uid, "--clear-groups"]


def give_to(folder, uid):
    if os.geteuid() != 0:
        return
    for path in [folder, *pathlib.Path(folder).rglob("*")]:
        os.lchown(path, uid, uid)


class Packages:
    def __init__(self, scratch):
        self.old = make_package(OLD_TREE, scratch / "old.zip")
        self.new = make_package(NEW_TREE, scratch / "new.zip")


def installing_start(work, prefix, service, packages):
    """The delivered version 1 not installed yet."""
    (prefix / ADOBE).mkdir(parents=True)
    (work / "com.qv.plug.zip").write_bytes(packages.old)
    (work / "LocalConfig.json").write_bytes(local_config(service, "no", "1"))


def interrupted_replacement(work, prefix, service, packages):
    """Version 1 set aside and recorded, version 2 half extracted into the
    staging folder, as a kill leaves them."""
    for name, data in OLD_TREE.items():
        (prefix / CEP / "com.qv.plug.old" / name).parent.mkdir(parents=True, exist_ok=True)
        (prefix / CEP / "com.qv.plug.old" / name).write_bytes(data)
    (prefix / STAGING / "CSXS").mkdir(parents=True)
    (prefix / STAGING / "CSXS/manifest.xml").write_bytes(NEW_TREE["CSXS/manifest.xml"])
    (prefix / STAGING / "index.html").write_bytes(NEW_TREE["index.html"][:5])
    (prefix / EXTENSION).parent.mkdir(parents=True)
    (work / SET_ASIDE_RECORD).write_bytes(b"")
    (work / "com.qv.plug.zip").write_bytes(packages.new)
    (work / "LocalConfig.json").write_bytes(local_config(service, "yes", "1"))


SCENARIOS = {"installation and update": installing_start, "start after a set-aside folder": interrupted_replacement}


def record(binary, folder, prepare, service, packages, uid):
    """The recorder with the run's operations."""
    work, prefix = folder / "work", folder / "prefix"
    work.mkdir(parents=True)
    prepare(work, prefix, service, packages)
    (folder / "home").mkdir(mode=0o700, exist_ok=True)
    give_to(folder, uid)
    subprocess.run(["sync"], check=True)
    recorder = crash_trace.Recorder({"work": work, "prefix": prefix}, str(work))
    trace = folder / "trace"
    program = Program(binary, work, prefix, folder / "home", crash_trace.strace_command(trace) + as_user(uid))
    finished = program.wait_for(lambda: any(line.endswith(FINISHED[0]) for line in program.new_lines()), EVENT_WAIT)
    code, error = program.stop()
    if not finished or code != 0:
        raise RuntimeError("the recorded run did not update (exit code %s): %s" % (code, error))
    recorder.record(trace)
    return recorder


def relocated(tree, old_address, new_address):
    """The state with the recording's service address replaced by a
    worker's, which has the same length, so no file changes size."""
    assert len(old_address) == len(new_address)
    return {root: {path: content if content is None else content.replace(old_address, new_address)
                   for path, content in files.items()} for root, files in tree.items()}


def describe_tree(tree):
    if tree is None:
        return "missing"
    old, new = as_tree(OLD_TREE), as_tree(NEW_TREE)
    marks = []
    for name in sorted(set(tree) | set(old) | set(new)):
        content = tree.get(name)
        mark = "old" if content == old.get(name) else "new" if content == new.get(name) else "neither"
        marks.append("%s:%s" % (name, "absent" if name not in tree else "folder" if content is None else mark))
    return "a mix (%s)" % ", ".join(marks) if tree else "empty"


def read_config(work):
    try:
        config = json.loads((work / "LocalConfig.json").read_bytes())
    except (OSError, ValueError) as error:
        return None, "LocalConfig.json does not parse: %s" % error
    return (config, None) if isinstance(config, dict) else (None, "LocalConfig.json is no object")


def after_startup(work, prefix, packages):
    """What a user relies on once the start-up (and its recovery) ran."""
    problems = []
    extension = read_tree(prefix / EXTENSION)
    if extension not in (as_tree(OLD_TREE), as_tree(NEW_TREE)):
        problems.append("extension folder after the start-up is " + describe_tree(extension))
    config, error = read_config(work)
    if error:
        problems.append(error)
    else:
        version = config.get("versionNumber")
        if version not in ("1", "2") or config.get("Setup") != "yes":
            problems.append("LocalConfig.json after the start-up: %s" % config)
        if version == "2" and extension != as_tree(NEW_TREE):
            problems.append("versionNumber 2 ahead of the installed extension")
    package = work / "com.qv.plug.zip"
    if not package.is_file() or package.read_bytes() not in (packages.old, packages.new):
        problems.append("com.qv.plug.zip is no whole package")
    for leftover in ("com.qv.plug.old", "com.qv.plug.discard", "com.qv.plug.new"):
        if (prefix / CEP / leftover).exists():
            problems.append(leftover + " left after the start-up")
    if (work / SET_ASIDE_RECORD).exists():
        problems.append("the set-aside record left after the start-up")
    return problems


def after_update(work, prefix, packages):
    problems = []
    if read_tree(prefix / EXTENSION) != as_tree(NEW_TREE):
        problems.append("after the first check the extension is not version 2")
    config, error = read_config(work)
    if error or config.get("versionNumber") != "2":
        problems.append("after the first check version 2 is not recorded")
    if (work / "com.qv.plug.zip").read_bytes() != packages.new:
        problems.append("after the first check com.qv.plug.zip is not the new package")
    return problems


def check_state(binary, folder, tree, worker, packages):
    """Runs the program on the state; returns the problems found."""
    uid, service = worker
    work, prefix = folder / "work", folder / "prefix"
    crash_model.write_tree(tree, {"work": work, "prefix": prefix})
    (folder / "home").mkdir(mode=0o700, exist_ok=True)
    give_to(folder, uid)
    service.released.clear()
    requests = service.version_requests
    program = Program(binary, work, prefix, folder / "home", as_user(uid))
    problems = []
    started = program.wait_for(lambda: service.version_requests > requests, EVENT_WAIT)
    if started:
        problems += after_startup(work, prefix, packages)
    else:
        problems.append("no update check after the start-up")
    service.released.set()
    if started:
        if program.wait_for(lambda: any(line.endswith(FINISHED) for line in program.new_lines()), EVENT_WAIT):
            problems += after_update(work, prefix, packages)
        else:
            problems.append("the first check did not finish")
    code, error = program.stop()
    if code != 0:
        problems.append("exit code %s: %s" % (code, error.strip()[-300:]))
    problems += ["log: " + line for line in program.new_lines() if "Start Failed" in line]
    return problems


def decisive_states(recorder, operations):
    """The digests of the states a crash right after the run's last rename
    leaves when it loses one earlier operation alone, or all it may: by
    then everything the run depends on must be durable."""
    point = max(i for i, operation in enumerate(operations) if operation[0] == "rename") + 1
    durable = crash_model.durable_points(operations)
    pending = [i for i in range(point) if operations[i][0] in crash_model.CHANGES and durable[i] >= point]
    return {crash_model.tree_digest(crash_model.materialise(recorder, operations[:point], set(lost)))
            for lost in [pending] + [[i] for i in pending]}


def spread(items, count):
    """`count` items evenly spread over `items`, first and last included."""
    if count <= 0 or count >= len(items):
        return items
    step = (len(items) - 1) / max(count - 1, 1)
    return [items[round(i * step)] for i in range(count)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True, type=pathlib.Path)
    parser.add_argument("--sample", type=int, default=0,
                        help="check this many states spread over the runs and those right after each run's last "
                        "rename (0: all)")
    parser.add_argument("--workers", type=int, default=6)
    parser.add_argument("--random", type=int, default=4, help="random subsets per trace point")
    parser.add_argument("--keep", type=pathlib.Path, help="keep the inconsistent states here")
    parser.add_argument("--first-uid", type=int, default=61000, help="the recorder's user; the workers' follow")
    arguments = parser.parse_args()
    arguments.program = arguments.program.resolve()  # started in the state's working folder
    workers = arguments.workers if os.geteuid() == 0 else 1

    scratch = pathlib.Path(tempfile.mkdtemp(prefix="crash-states-"))
    os.chmod(scratch, 0o755)
    try:
        packages = Packages(scratch)
        recording_service = Service(packages.new)
        states, decisive = [], []  # (scenario, recorder, point, lost, tree)
        for number, (scenario, prepare) in enumerate(SCENARIOS.items()):
            recorder = record(arguments.program, scratch / ("record-%d" % number), prepare, recording_service,
                              packages, arguments.first_uid)
            found = crash_model.crash_states(recorder, recorder.operations, arguments.random)
            print("%s: %d operations on the two folders, %d crash states" % (
                scenario, len(recorder.operations), len(found)), flush=True)
            states += [(scenario, recorder, *found[digest]) for digest in found]
            decisive += [(scenario, recorder, *found[digest])
                         for digest in decisive_states(recorder, recorder.operations)]
        chosen = spread(states, arguments.sample)
        if arguments.sample:
            chosen += [state for state in decisive if state not in chosen]

        slots = queue.Queue()
        for number in range(workers):
            slots.put((arguments.first_uid + 1 + number, Service(packages.new)))
        old_address = recording_service.url("").encode()

        def check(index):
            scenario, recorder, point, lost, tree = chosen[index]
            worker = slots.get()
            folder = scratch / ("state-%d" % index)
            try:
                state = relocated(tree, old_address, worker[1].url("").encode())
                state = {label: state[root] for root, label in recorder.labels.items()}
                problems = check_state(arguments.program, folder, state, worker, packages)
                if problems and arguments.keep:
                    shutil.copytree(folder, arguments.keep / folder.name, symlinks=True)
                return problems
            finally:
                slots.put(worker)
                shutil.rmtree(folder, ignore_errors=True)

        with concurrent.futures.ThreadPoolExecutor(workers) as pool:
            results = list(pool.map(check, range(len(chosen))))
        inconsistent = [(chosen[i], problems) for i, problems in enumerate(results) if problems]
        print("%d crash states, %d inconsistent" % (len(chosen), len(inconsistent)))
        for (scenario, recorder, point, lost, _), problems in inconsistent:
            last = recorder.descriptions[point - 1] if point else "before the first call"
            print("- %s, crash after operation %d of %d (%s)" % (scenario, point, len(recorder.operations), last))
            print("  lost: " + ("; ".join("#%d %s" % (i + 1, recorder.descriptions[i]) for i in lost) or "nothing"))
            for problem in problems:
                print("  " + problem)
        return 1 if inconsistent else 0
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
