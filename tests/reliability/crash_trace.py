"""Records the file-system calls of one run of the program with strace and
turns those on the working folder and the prefix into a list of operations
on inodes, in the order the calls completed, across threads and processes.

Operations (tuples):
    ("create", parent, name, inode, kind)   kind "file" or "dir"
    ("rename", old_parent, old_name, new_parent, new_name, inode)
    ("unlink", parent, name, inode)          files and folders
    ("write", inode, offset, data)
    ("truncate", inode, length)
    ("fsync", inode)                         fsync and fdatasync, files and folders
    ("sync",)
"""
import os
import re

TRACED = ("openat,open,creat,write,pwrite64,writev,pwritev,pwritev2,lseek,ftruncate,truncate,fallocate,"
          "rename,renameat,renameat2,unlink,unlinkat,rmdir,mkdir,mkdirat,link,linkat,symlink,symlinkat,"
          "fsync,fdatasync,sync,syncfs,sync_file_range,copy_file_range,sendfile,clone,clone3,fork,vfork,"
          "chdir,fchdir,dup,dup2,dup3")


def strace_command(output):
    return ["strace", "-f", "-y", "-qq", "-xx", "-s", "16777216", "-o", str(output),
            "-e", "signal=none", "-e", "trace=" + TRACED]


LINE = re.compile(r"^(\d+) +(.*)$")
CALL = re.compile(r"^(\w+)\((.*)\) += (-?\d+|0x[0-9a-f]+|\?)(?:<(.*)>)?(?: .*)?$", re.S)


def unhex(text):
    return bytes.fromhex(text.replace("\\x", ""))


def split_arguments(text):
    """Top-level arguments: commas inside quotes, brackets and <> stay."""
    parts, depth, quoted, start = [], 0, False, 0
    for at, char in enumerate(text):
        if char == '"':
            quoted = not quoted
        elif not quoted and char in "[{<(":
            depth += 1
        elif not quoted and char in "]}>)":
            depth -= 1
        elif not quoted and depth == 0 and char == ",":
            parts.append(text[start:at].strip())
            start = at + 1
    parts.append(text[start:].strip())
    return parts


def string_argument(text):
    return unhex(text.strip('"')).decode("utf-8", "surrogateescape")


def fd_argument(text):
    """(number or "AT_FDCWD", path or None) of an argument like 5</a/b>."""
    match = re.match(r"^(\w+)(?:<(.*)>)?(\(deleted\))?", text)
    path = match.group(2)
    if path is None or match.group(3) or not re.fullmatch(r"(\\x[0-9a-f]{2})+", path):
        return match.group(1), None
    path = string_argument(path)
    # Sockets and pipes are no paths; a deleted file is named no more.
    return match.group(1), path if path.startswith("/") else None


def joined_lines(trace):
    """Whole calls, an interrupted call joined with its resumption at the
    place where it completed: (pid, text)."""
    pending = {}
    for raw in trace.read_text("latin-1").splitlines():
        match = LINE.match(raw)
        if not match:
            continue
        pid, text = int(match.group(1)), match.group(2)
        if text.endswith("<unfinished ...>"):
            pending[pid] = text[: -len("<unfinished ...>")].rstrip()
            continue
        resumed = re.match(r"^<\.\.\. \w+ resumed>(.*)$", text)
        if resumed:
            text = pending.pop(pid, "") + resumed.group(1)
        yield pid, text


class Description:
    """An open file: the inode, its position, whether it appends."""

    def __init__(self, inode, append, path):
        self.inode, self.position, self.append, self.path = inode, 0, append, path


class Recorder:
    """Replays the trace on a model of the two folders as the program saw
    them, which gives each call its inodes."""

    def __init__(self, roots, cwd):
        """`roots`: {label: folder}."""
        self.roots = [os.path.normpath(str(root)) for root in roots.values()]
        self.labels = dict(zip(self.roots, roots))
        self.cwd = cwd
        self.kinds = {}  # inode -> "file" or "dir"
        self.entries = {}  # folder inode -> {name: inode}
        self.sizes = {}
        self.contents = {}  # inode -> bytes before the run
        self.root_inodes = {}
        self.next_inode = 0
        for root in self.roots:
            self.root_inodes[root] = self.scan(root)
        self.initial_entries = {folder: dict(names) for folder, names in self.entries.items()}
        self.operations = []
        self.descriptions = []  # each operation's call and paths, for the report
        self.tables = {}  # pid -> {fd: Description}
        self.parents = {}

    def new_inode(self, kind):
        self.next_inode += 1
        self.kinds[self.next_inode] = kind
        if kind == "dir":
            self.entries[self.next_inode] = {}
        self.sizes[self.next_inode] = 0
        return self.next_inode

    def scan(self, path):
        if os.path.isdir(path):
            inode = self.new_inode("dir")
            for name in sorted(os.listdir(path)):
                self.entries[inode][name] = self.scan(os.path.join(path, name))
            return inode
        inode = self.new_inode("file")
        with open(path, "rb") as file:
            self.contents[inode] = file.read()
        self.sizes[inode] = len(self.contents[inode])
        return inode

    def split(self, path):
        """(root, components) of a path under one of the roots, else None."""
        path = os.path.normpath(path if path.startswith("/") else os.path.join(self.cwd, path))
        for root in self.roots:
            if path == root or path.startswith(root + "/"):
                rest = path[len(root) + 1:]
                return root, [part for part in rest.split("/") if part]
        return None

    def lookup(self, path):
        """(parent inode, name, inode or None) of `path`; None outside the roots."""
        place = self.split(path)
        if place is None or not place[1]:
            return None
        folder = self.root_inodes[place[0]]
        for part in place[1][:-1]:
            folder = self.entries.get(folder, {}).get(part)
            if folder is None:
                return None
        return folder, place[1][-1], self.entries.get(folder, {}).get(place[1][-1])

    def inode_of(self, path):
        place = self.split(path)
        if place is None:
            return None
        if not place[1]:
            return self.root_inodes[place[0]]
        found = self.lookup(path)
        return found and found[2]

    def add(self, operation, description):
        self.operations.append(operation)
        self.descriptions.append(description)

    def shown(self, path):
        """`path` as work/... or prefix/..."""
        root, parts = self.split(path)
        return "/".join([self.labels[root], *parts])

    def table(self, pid):
        if pid not in self.tables:
            parent, shares = self.parents.get(pid, (None, False))
            source = self.tables.get(parent, {})
            self.tables[pid] = source if shares else dict(source)
        return self.tables[pid]

    @staticmethod
    def resolve(directory, name):
        """The path `name` names relative to the folder argument `directory`."""
        if name.startswith("/"):
            return name
        _, base = fd_argument(directory)
        return os.path.join(base, name) if base else name

    def record(self, trace):
        calls = list(joined_lines(trace))
        for pid, text in calls:
            match = CALL.match(text)
            if match and match.group(1) in ("clone", "clone3", "fork", "vfork") and match.group(3).isdigit():
                self.parents[int(match.group(3))] = (pid, "CLONE_FILES" in match.group(2))
        for pid, text in calls:
            match = CALL.match(text)
            if not match or match.group(3) == "?" or match.group(3).startswith("-"):
                continue
            name, arguments, result = match.group(1), split_arguments(match.group(2)), match.group(3)
            handler = getattr(self, "on_" + name, None)
            if handler:
                handler(pid, arguments, int(result, 0), match.group(4))
        return self.operations

    # Calls that name paths.
    def on_openat(self, pid, arguments, result, returned):
        self.opened(pid, self.resolve(arguments[0], string_argument(arguments[1])), arguments[2], result)

    def on_open(self, pid, arguments, result, returned):
        self.opened(pid, string_argument(arguments[0]), arguments[1], result)

    def on_creat(self, pid, arguments, result, returned):
        self.opened(pid, string_argument(arguments[0]), "O_CREAT|O_TRUNC", result)

    def opened(self, pid, path, flags, fd):
        table = self.table(pid)
        table.pop(fd, None)
        found = self.lookup(path)
        if found is None:
            inode = self.inode_of(path)
            if inode is not None:
                table[fd] = Description(inode, False, path)
            return
        parent, name, inode = found
        if inode is None:
            inode = self.new_inode("file")
            self.entries[parent][name] = inode
            self.add(("create", parent, name, inode, "file"), "open(O_CREAT) " + self.shown(path))
        elif "O_TRUNC" in flags and self.kinds[inode] == "file":
            self.sizes[inode] = 0
            self.add(("truncate", inode, 0), "open(O_TRUNC) " + self.shown(path))
        table[fd] = Description(inode, "O_APPEND" in flags, path)

    def on_mkdir(self, pid, arguments, result, returned):
        self.made_folder(string_argument(arguments[0]))

    def on_mkdirat(self, pid, arguments, result, returned):
        self.made_folder(self.resolve(arguments[0], string_argument(arguments[1])))

    def made_folder(self, path):
        found = self.lookup(path)
        if found:
            inode = self.new_inode("dir")
            self.entries[found[0]][found[1]] = inode
            self.add(("create", found[0], found[1], inode, "dir"), "mkdir " + self.shown(path))

    def on_rename(self, pid, arguments, result, returned):
        self.renamed(string_argument(arguments[0]), string_argument(arguments[1]))

    def on_renameat(self, pid, arguments, result, returned):
        self.renamed(self.resolve(arguments[0], string_argument(arguments[1])),
                     self.resolve(arguments[2], string_argument(arguments[3])))

    on_renameat2 = on_renameat

    def renamed(self, old, new):
        source, target = self.lookup(old), self.lookup(new)
        if source is None or target is None:
            raise ValueError("a rename across the traced folders' boundary: %s -> %s" % (old, new))
        del self.entries[source[0]][source[1]]
        self.entries[target[0]][target[1]] = source[2]
        self.add(("rename", source[0], source[1], target[0], target[1], source[2]),
                 "rename %s -> %s" % (self.shown(old), self.shown(new)))

    def on_unlink(self, pid, arguments, result, returned):
        self.removed(string_argument(arguments[0]))

    on_rmdir = on_unlink

    def on_unlinkat(self, pid, arguments, result, returned):
        self.removed(self.resolve(arguments[0], string_argument(arguments[1])))

    def removed(self, path):
        found = self.lookup(path)
        if found and found[2] is not None:
            del self.entries[found[0]][found[1]]
            self.add(("unlink", found[0], found[1], found[2]), "unlink " + self.shown(path))

    def on_truncate(self, pid, arguments, result, returned):
        inode = self.inode_of(string_argument(arguments[0]))
        if inode is not None:
            self.sizes[inode] = int(arguments[1])
            self.add(("truncate", inode, int(arguments[1])), "truncate " + self.shown(string_argument(arguments[0])))

    # Calls on descriptors.
    def described(self, pid, argument):
        number, path = fd_argument(argument)
        if path is None or self.split(path) is None:
            return None
        description = self.table(pid).get(int(number))
        if description is None:
            raise ValueError("a call on %s, which the trace never opened" % path)
        return description

    def on_write(self, pid, arguments, result, returned):
        description = self.described(pid, arguments[0])
        if description:
            self.wrote(description, None, unhex(arguments[1].strip('"'))[:result])

    def on_pwrite64(self, pid, arguments, result, returned):
        description = self.described(pid, arguments[0])
        if description:
            self.wrote(description, int(arguments[3]), unhex(arguments[1].strip('"'))[:result])

    def on_writev(self, pid, arguments, result, returned):
        description = self.described(pid, arguments[0])
        if description:
            data = b"".join(unhex(part) for part in re.findall(r'iov_base="([^"]*)"', arguments[1]))
            self.wrote(description, None, data[:result])

    def wrote(self, description, offset, data):
        inode = description.inode
        if offset is None:
            offset = self.sizes[inode] if description.append else description.position
            description.position = offset + len(data)
        self.sizes[inode] = max(self.sizes[inode], offset + len(data))
        self.add(("write", inode, offset, data),
                 "write %d bytes at %d to %s" % (len(data), offset, self.shown(description.path)))

    def on_lseek(self, pid, arguments, result, returned):
        description = self.described(pid, arguments[0])
        if description:
            description.position = result

    def on_ftruncate(self, pid, arguments, result, returned):
        description = self.described(pid, arguments[0])
        if description:
            self.sizes[description.inode] = int(arguments[1])
            self.add(("truncate", description.inode, int(arguments[1])), "ftruncate " + self.shown(description.path))

    def on_fsync(self, pid, arguments, result, returned):
        description = self.described(pid, arguments[0])
        if description:
            self.add(("fsync", description.inode), "fsync " + self.shown(description.path))

    on_fdatasync = on_fsync

    def on_sync(self, pid, arguments, result, returned):
        self.add(("sync",), "sync")

    on_syncfs = on_sync

    def unsupported(self, pid, arguments, result, returned):
        if any(self.split(string_argument(a)) for a in arguments if a.startswith('"')) or any(
                self.described(pid, a) for a in arguments if re.match(r"^\d+<", a)):
            raise ValueError("a call the model does not know on a traced folder")

    on_link = on_linkat = on_symlink = on_symlinkat = on_fallocate = unsupported
    on_copy_file_range = on_sendfile = on_pwritev = on_pwritev2 = on_sync_file_range = unsupported

    def on_dup(self, pid, arguments, result, returned):
        number, _ = fd_argument(arguments[0])
        table = self.table(pid)
        if int(number) in table:
            table[result] = table[int(number)]

    on_dup2 = on_dup3 = on_dup

    def on_chdir(self, pid, arguments, result, returned):
        raise ValueError("the program changed its working folder")

    on_fchdir = on_chdir

