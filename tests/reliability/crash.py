"""Crash points: the real agent runs one full cycle (upload with refusals, download) under strace, which
kills it with SIGKILL on entering one chosen file-mutating system call; the agent is started again,
lets its next cycle finish and is ended by the host's end request; then U and D are checked.

A reference run traced without injection lists the cycle's file-mutating calls on the data directory and
the settings file (write, fsync, fdatasync, rename, unlink, open for writing...). strace counts injected
calls per system call and per process, so the Nth point of the list, the Mth call of its kind, is hit
with --inject=KIND:signal=KILL:when=M; the injected run's own trace shows where it really died."""

import os
import re

import harness as h

SYSCALLS = ["write", "pwrite64", "writev", "fsync", "fdatasync", "rename", "renameat", "renameat2", "unlink",
            "unlinkat", "openat", "open", "creat", "ftruncate", "truncate"]
ALWAYS_MUTATING = {"write", "pwrite64", "writev", "fsync", "fdatasync", "rename", "renameat", "renameat2",
                   "unlink", "unlinkat", "creat", "ftruncate", "truncate"}
WRITE_FLAGS = ("O_WRONLY", "O_RDWR", "O_CREAT", "O_TRUNC", "O_APPEND")
LINE = re.compile(r"^(\d+)\s+(\w+)\((.*)$")


class Point:
    def __init__(self, number, syscall, nth, target):
        self.number = number    # place in the cycle's list of file-mutating calls, from 1
        self.syscall = syscall
        self.nth = nth          # how many calls of this kind the process made up to and including it
        self.target = target    # the file it touches

    def __repr__(self):
        return "#%d %s #%d %s" % (self.number, self.syscall, self.nth, self.target)


FD_CALLS = {"write", "pwrite64", "writev", "fsync", "fdatasync", "ftruncate"}


def target_of(syscall, args):
    """The name of the file a call touches (the runs live in different directories)."""
    m = re.match(r"\d+<([^>]*)>", args) if syscall in FD_CALLS else re.search(r'"([^"]*)"', args)
    return os.path.basename(m.group(1)) if m else "?"


def trace_options(ws, trace_file):
    opts = ["strace", "-f", "-qq", "-y", "-o", trace_file, "-e", "trace=" + ",".join(SYSCALLS)]
    for name in h.DATA_FILES:
        opts += ["-P", os.path.join(ws.data, name)]
    opts += ["-P", ws.data.rstrip("/"), "-P", ws.ini, "-P", ws.ini + ".lock"]
    return opts


def parse_points(trace_file):
    """The file-mutating calls of the agent's main thread, in order."""
    points, counts, main = [], {}, None
    for raw in open(trace_file, encoding="latin-1"):
        m = LINE.match(raw)
        if not m or m.group(2) not in SYSCALLS:
            continue
        pid, syscall, args = m.groups()
        if main is None:
            main = pid
        if pid != main:
            continue
        counts[syscall] = counts.get(syscall, 0) + 1
        mutating = syscall in ALWAYS_MUTATING or any(f in args.split(")")[0] for f in WRITE_FLAGS)
        if mutating:
            points.append(Point(len(points) + 1, syscall, counts[syscall], target_of(syscall, args)))
    return points


def last_call(trace_file):
    """The call the agent was killed in: the last traced call before "+++ killed by SIGKILL +++"."""
    last = None
    try:
        for raw in open(trace_file, encoding="latin-1"):
            m = LINE.match(raw)
            if m and m.group(2) in SYSCALLS:
                last = (m.group(2), target_of(m.group(2), m.group(3)))
            if "killed by SIGKILL" in raw:
                return last
    except OSError:
        pass
    return None


def reference(paths, root):
    ws = h.Workspace(root, "crash-ref")
    sim = h.Sim(paths, ws.dir, h.SIM_DATA)
    try:
        ws.write_settings(sim.port)
        trace = os.path.join(ws.dir, "trace.txt")
        agent = h.Agent(paths, ws, wrapper=trace_options(ws, trace) + ["--"])
        finished = agent.wait_for(lambda: agent.cycles_done() >= 1, 60)
        status = agent.end()
    finally:
        sim.close()
    problems = [] if finished else ["the reference cycle did not finish"]
    if status != 0:
        problems.append("the reference agent ended with status %r" % (status,))
    problems += h.check_invariants(paths, ws, sim.ledger)
    points = parse_points(trace)
    ws.remove()
    return points, problems


def run_point(paths, root, point, keep):
    ws = h.Workspace(root, "crash-%03d" % point.number)
    sim = h.Sim(paths, ws.dir, h.SIM_DATA)
    problems, notes = [], []
    try:
        ws.write_settings(sim.port)
        trace = os.path.join(ws.dir, "trace.txt")
        inject = ["-e", "inject=%s:signal=KILL:when=%d" % (point.syscall, point.nth)]
        first = h.Agent(paths, ws, wrapper=trace_options(ws, trace) + inject + ["--"], tag="first")
        killed = first.wait_for(lambda: not first.alive(), 60)
        if not killed:
            notes.append("the run never reached this call")
            first.end()
        else:
            first.finish()
            hit = last_call(trace)
            if hit != (point.syscall, point.target):
                notes.append("killed at %s instead" % (hit,))

        second = h.Agent(paths, ws, tag="second")
        if not second.wait_for(lambda: second.cycles_done() >= 1, 60):
            problems.append("the restarted agent did not finish a cycle")
        alive = second.alive()
        status = second.end()
        if not alive or status != 0:
            problems.append("the restarted agent did not run until its end request (status %r)" % (status,))
    finally:
        sim.close()
    problems += h.check_invariants(paths, ws, sim.ledger)
    if not problems and not keep:
        ws.remove()
    elif problems:
        notes.append("kept in " + ws.dir)
    return problems, notes


def choose(points, sample):
    if not sample or sample >= len(points):
        return points
    if sample == 1:
        return [points[len(points) // 2]]
    picks = sorted({round(i * (len(points) - 1) / (sample - 1)) for i in range(sample)})
    return [points[i] for i in picks]


def run(paths, root, sample=None, jobs=4, keep=False, log=print):
    result = h.Result("crash points (strace, real agent)")
    points, problems = reference(paths, root)
    for p in problems:
        result.violations.append(("reference run", p))
    chosen = choose(points, sample)
    log("crash points: %d file-mutating calls in the cycle, trying %d" % (len(points), len(chosen)))
    outcomes = h.run_parallel(jobs, chosen, lambda pt: run_point(paths, root, pt, keep))
    for pt, outcome in zip(chosen, outcomes):
        if isinstance(outcome, list):  # the runner itself failed
            outcome = (outcome, [])
        found, notes = outcome
        result.add(repr(pt), found)
        for n in notes:
            result.notes.append("%r: %s" % (pt, n))
    result.extra["calls in the cycle"] = len(points)
    return result
