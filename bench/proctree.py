#!/usr/bin/env python3
"""The process figures of bench/live-telemetry.sh, read from /proc.

  proctree.py snapshot ROOT OUT         CPU ticks of every process and of every thread of ROOT, as JSON
  proctree.py figure LABEL ROOT F0 F1 T0 T1 HZ
                                        "label seconds own web": CPU seconds of ROOT and of all its
                                        descendants between two snapshots
  proctree.py resident ROOT             "own web count": resident kB of ROOT and of its descendants
  proctree.py browser-ticks ROOT        CPU ticks of all the descendants of ROOT
"""
import json
import os
import sys


def stat(path):
    """(ppid, name, utime + stime) from a /proc stat file, or None when it has gone."""
    try:
        with open(path) as f:
            text = f.read()
    except OSError:
        return None
    name = text[text.index("(") + 1:text.rindex(")")]
    fields = text[text.rindex(")") + 2:].split()
    # fields[0] is the state (field 3): ppid is field 4, utime 14, stime 15
    return int(fields[1]), name, int(fields[11]) + int(fields[12])


def processes():
    """pid -> (ppid, name, ticks) of every process."""
    procs = {}
    for d in os.listdir("/proc"):
        if d.isdigit():
            s = stat("/proc/%s/stat" % d)
            if s:
                procs[d] = s
    return procs


def descendants(root, procs):
    """The pids below root in the process tree of procs (pid -> (ppid, ...))."""
    children = {}
    for pid, entry in procs.items():
        children.setdefault(str(entry[0]), []).append(pid)
    found, stack = [], list(children.get(str(root), []))
    while stack:
        p = stack.pop()
        found.append(p)
        stack.extend(children.get(p, []))
    return found


def rss(pid):
    try:
        for line in open("/proc/%s/status" % pid):
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    except OSError:
        pass
    return 0


def snapshot(root, out):
    threads = {}
    task = "/proc/%s/task" % root
    for d in (os.listdir(task) if os.path.isdir(task) else []):
        s = stat("%s/%s/stat" % (task, d))
        if s:
            threads[d] = s
    with open(out, "w") as f:
        json.dump({"procs": processes(), "threads": threads}, f)


def figure(label, root, f0, f1, t0, t1, hz):
    c0, c1 = json.load(open(f0)), json.load(open(f1))

    def used(pid):
        after = c1["procs"].get(pid)
        if not after:
            return 0.0
        before = c0["procs"].get(pid)
        return (after[2] - (before[2] if before else 0)) / float(hz)

    web = sum(used(p) for p in descendants(root, c1["procs"]))
    print(label, float(t1) - float(t0), used(root), web)


def resident(root):
    below = descendants(root, processes())
    print(rss(root), sum(rss(p) for p in below), len(below))


def browser_ticks(root):
    procs = processes()
    print(sum(procs[p][2] for p in descendants(root, procs)))


if __name__ == "__main__":
    command, args = sys.argv[1], sys.argv[2:]
    {"snapshot": snapshot, "figure": figure, "resident": resident, "browser-ticks": browser_ticks}[command](*args)
