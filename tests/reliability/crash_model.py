"""The persistence model, and the crash states it allows after each
operation of a recorded trace (see crash_trace for the operations).

The model, deliberately weaker than any one file system:
- the data of a file (a write, a truncation) is durable only once the file
  has been flushed (fsync or fdatasync) after it;
- a name (a creation, a folder creation, an unlink, a removed folder) is
  durable only once its folder has been flushed after it; a rename needs
  both its folders flushed, and is whole or lost, never half done;
- sync makes everything before it durable;
- what is not durable at the crash may each be lost, independently of the
  others; the operations kept apply in their order, the last one kept on a
  name deciding what it names.
"""
import hashlib
import os
import random

CHANGES = ("create", "rename", "unlink", "write", "truncate")


def durable_points(operations):
    """For each operation, the index of the flush that makes it durable
    (len(operations) when none does); flushes themselves get their own."""
    never = len(operations)
    durable = [never] * len(operations)
    data_waiting = {}  # inode -> operations waiting for its flush
    names_waiting = {}  # folder inode -> operations waiting for its flush
    folders_left = {}  # operation -> folders still to be flushed
    for index, operation in enumerate(operations):
        kind = operation[0]
        if kind in ("write", "truncate"):
            data_waiting.setdefault(operation[1], []).append(index)
        elif kind in ("create", "unlink"):
            folders_left[index] = {operation[1]}
        elif kind == "rename":
            folders_left[index] = {operation[1], operation[3]}
        for folder in folders_left.get(index, ()):
            names_waiting.setdefault(folder, []).append(index)
        if kind == "fsync":
            durable[index] = index
            for waiting in data_waiting.pop(operation[1], []):
                durable[waiting] = index
            for waiting in names_waiting.pop(operation[1], []):
                folders_left[waiting].discard(operation[1])
                if not folders_left[waiting]:
                    durable[waiting] = index
        elif kind == "sync":
            durable[index] = index
            for earlier in range(index):
                durable[earlier] = min(durable[earlier], index)
            data_waiting.clear()
            names_waiting.clear()
    return durable


def lost_subsets(pending, point, randomised):
    """Bounded subsets of the operations `pending` (not durable at the
    crash) that the crash loses: all, none, each one alone, all but each
    one, every suffix (what an in-order file system loses), and
    `randomised` random subsets."""
    subsets = [tuple(pending), ()]
    subsets += [(index,) for index in pending]
    subsets += [tuple(i for i in pending if i != index) for index in pending]
    subsets += [tuple(pending[cut:]) for cut in range(1, len(pending))]
    chance = random.Random(point)
    subsets += [tuple(i for i in pending if chance.random() < 0.5) for _ in range(randomised)]
    return subsets


def crash_states(recorder, operations, randomised=4):
    """Every distinct crash state: {digest: (point, lost operations, tree)}.
    `point` is the number of operations the run had done."""
    durable = durable_points(operations)
    states = {}
    for point in range(len(operations) + 1):
        pending = [i for i in range(point) if operations[i][0] in CHANGES and durable[i] >= point]
        for lost in lost_subsets(pending, point, randomised):
            tree = materialise(recorder, operations[:point], set(lost))
            digest = tree_digest(tree)
            if digest not in states:
                states[digest] = (point, lost, tree)
    return states


def materialise(recorder, operations, lost):
    """The folders' contents after `operations` but those in `lost`:
    {root path: {relative path: bytes, or None for a folder}}."""
    entries = {folder: dict(names) for folder, names in recorder.initial_entries.items()}
    data = {inode: bytearray(content) for inode, content in recorder.contents.items()}
    for index, operation in enumerate(operations):
        if index in lost:
            continue
        kind = operation[0]
        if kind == "create":
            _, parent, name, inode, what = operation
            entries.setdefault(parent, {})[name] = inode
            if what == "dir":
                entries.setdefault(inode, {})
        elif kind == "rename":
            _, old_parent, old_name, new_parent, new_name, inode = operation
            if entries.setdefault(old_parent, {}).get(old_name) == inode:
                del entries[old_parent][old_name]
            entries.setdefault(new_parent, {})[new_name] = inode
        elif kind == "unlink":
            _, parent, name, inode = operation
            if entries.setdefault(parent, {}).get(name) == inode:
                del entries[parent][name]
        elif kind == "write":
            _, inode, offset, written = operation
            content = data.setdefault(inode, bytearray())
            if len(content) < offset:
                content.extend(bytes(offset - len(content)))
            content[offset:offset + len(written)] = written
        elif kind == "truncate":
            _, inode, length = operation
            content = data.setdefault(inode, bytearray())
            del content[length:]
            content.extend(bytes(length - len(content)))
    tree = {}
    for root, inode in recorder.root_inodes.items():
        tree[root] = {}
        walk(entries, data, recorder.kinds, inode, "", tree[root], set())
    return tree


def walk(entries, data, kinds, folder, prefix, into, seen):
    seen.add(folder)
    for name, inode in sorted(entries.get(folder, {}).items()):
        path = prefix + name
        if kinds[inode] == "dir":
            if inode in seen:
                continue  # a folder the lost operations left under two names keeps its first
            into[path] = None
            walk(entries, data, kinds, inode, path + "/", into, seen)
        else:
            into[path] = bytes(data.get(inode, b""))


def tree_digest(tree):
    digest = hashlib.sha256()
    for root in sorted(tree):
        for path, content in sorted(tree[root].items()):
            digest.update(("%s\0%s\0%s\0" % (root, path, "d" if content is None else len(content))).encode())
            digest.update(content or b"")
    return digest.hexdigest()


def write_tree(tree, targets):
    """Writes the state into fresh folders: `targets` maps each root to its
    folder."""
    for root, files in tree.items():
        base = targets[root]
        os.makedirs(base, exist_ok=True)
        for path, content in files.items():
            if content is None:
                os.makedirs(os.path.join(base, path), exist_ok=True)
            else:
                with open(os.path.join(base, path), "wb") as file:
                    file.write(content)
