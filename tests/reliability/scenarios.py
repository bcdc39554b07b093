"""The scenarios against the real agent and veltrana-sim, one case table for four parts:

  crash     strace kills the agent on entering one file-mutating system call of a cycle (the points come
            from a traced reference cycle); the agent is started again and must finish a cycle.
  network   the server's fault switches: drops, splits, merges, garbage, delays, endless lines.
  disk      a small tmpfs that fills up, a read-only data directory, single failing calls (strace).
  settings  damaged values at start-up; the host rewriting the file in place while the agent runs.

Every case ends the agent the host's way; it must still be running then, end on the request, report what
went wrong through its error sink and keep U and D (checked by rel_check, which also counts what it
checked). A case whose fault was never reached is reported as such and not counted as tried."""

import os
import re
import subprocess
import threading
import time
from dataclasses import dataclass, field

import harness as h

# --- the case table ---------------------------------------------------------------------------------

REPLY_WAIT_S = 7.8    # a request is given up this long after it went out
LOGON_WAIT_S = 11.7   # 39 pauses of 300 ms
ALL_RECORDS = 9       # SIM_DATA's six bookings and three payments, all acknowledged by a finished cycle


@dataclass
class Case:
    part: str
    name: str
    sim: list = field(default_factory=list)   # extra server options
    budget: int = 40             # seconds the agent gets to finish its first cycle
    cycles: int = 1              # cycles it must finish in that time
    acks: int = ALL_RECORDS      # records the server must have seen acknowledged at the end
    inject: str = None           # strace's -e inject= for the first life
    only: str = None             # the injection counts the calls on this data file alone
    target: tuple = None         # crash point: (system call, file) the kill must hit
    disk: str = None             # "full" or "readonly"
    settings: dict = None        # values written into the settings file at start-up
    churn: int = 0               # seconds of the host rewriting the settings file in place
    reports: tuple = ()          # error numbers the error sink must have reported
    outgoing: dict = None        # the host's outgoing files (default h.OUTGOING)


def network_cases(lines, fast):
    at = lambda prefix, default: str(next((i + 1 for i, l in enumerate(lines) if l.startswith(prefix)), default))  # noqa: E731
    up, ask, ack, pay = at("4|", 2), at("10|", 3), at("12|", 4), at("11|", 5)
    under, over = str(int((REPLY_WAIT_S - 0.5) * 1000)), str(int((REPLY_WAIT_S + 0.5) * 1000))
    forged = ('10|"G99","2027-01-01","2027-01-02","Forged","X","99","DBL","2","1","a","b","c","d","e","f",'
              '"g","h","i","j","k"')
    endless = lambda k: ["--endless-line", "52428800", "--endless-at", k]  # noqa: E731
    n = lambda name, sim, budget=40, cycles=1, acks=ALL_RECORDS: Case("network", name, sim, budget, cycles, acks)  # noqa: E731
    # A fault that ends the first exchange early leaves its records to the next cycle (TimeOut 30 s).
    out = [
        n("connection dropped at the first download request", ["--drop-at-run", ask], 60, 1, 0),
        n("connection dropped after an acknowledgement was carried out", ["--drop-at-run", ack, "--drop-mode", "after"], 60, 1, 0),
        n("replies split byte by byte", ["--split", "1", "--split-pause-ms", "1"], 60),
        n("replies in pieces with pauses past the 200 ms line wait", ["--split", "16", "--split-pause-ms", "260"], 120, 1, 0),
        n("every reply merged with a forged record line", ["--merge-text", forged], 40, 1, 0),
        n("greeting banner", ["--banner", "Welcome to Veltrana"]),
        n("garbage and binary bytes before every reply and as lines", ["--garbage", "--garbage-line"], 90, 1, 0),
        n("50 MB line without LF for a download request", endless(ask), 60, 1, 0),
        n("reply past the wait at a download request", ["--delay-ms", over, "--delay-line", ask], 60, 1, 0),
    ]
    if fast:
        return out
    for k in range(1, len(lines) + 1):
        shown = lines[k - 1][:24]
        out.append(n("connection dropped on receiving line %d (%s)" % (k, shown), ["--drop-at-run", str(k)], 60, 1, 0))
        out.append(n("connection dropped after carrying out line %d (%s)" % (k, shown),
                     ["--drop-at-run", str(k), "--drop-mode", "after"], 60, 1, 0))
    out += [
        n("reply just inside the wait at an upload record", ["--delay-ms", under, "--delay-line", up], 60),
        n("reply just past the wait at an upload record", ["--delay-ms", over, "--delay-line", up], 60, 1, 0),
        n("reply just inside the wait at a download request", ["--delay-ms", under, "--delay-line", ask], 60),
        n("reply just inside the wait at an acknowledgement", ["--delay-ms", under, "--delay-line", ack], 60),
        n("reply just past the wait at an acknowledgement", ["--delay-ms", over, "--delay-line", ack], 60, 1, 0),
        n("logon reply just inside its wait", ["--delay-ms", str(int((LOGON_WAIT_S - 0.6) * 1000)), "--delay-line", "1"], 60),
        n("logon reply just past its wait", ["--delay-ms", str(int((LOGON_WAIT_S + 0.8) * 1000)), "--delay-line", "1"], 90, 1, 0),
        n("replies in pieces with pauses just inside the line wait", ["--split", "24", "--split-pause-ms", "150"], 120),
        n("replies ended by LF alone", ["--no-crlf"]),
        n("replies with no line end (taken after the line wait)", ["--no-eol"], 60, 1, 0),
        n("every reply merged with a copy of itself", ["--merge"], 40, 1, 0),
        n("garbage before every reply", ["--garbage", "--garbage-bytes", "64"], 90, 1, 0),
        n("a line of garbage before every reply", ["--garbage-line"], 90, 1, 0),
        n("no reply after line %s" % ask, ["--no-reply-after", ask], 90, 0, 0),
        n("an upload record never answered", ["--silent", "6:1"], 60, 1, 0),
        n("50 MB line without LF as the logon reply", endless("1"), 60, 0, 0),
        n("50 MB line without LF for an upload record", endless(up), 60, 1, 0),
        n("50 MB line without LF for a payment request", endless(pay), 60, 1, 0),
    ]
    return out


def disk_cases(fsyncs, fast):
    def fail(name, syscall, errno_name, nth, only=None):
        return Case("disk", name, inject="%s:error=%s:when=%d" % (syscall, errno_name, nth), only=only,
                    cycles=0, acks=0)
    out = [Case("disk", "full small tmpfs", ["--bookings", "4711:60", "--payments", "4711:20", "--refuse", "4:3-7"],
                disk="full", reports=(61,), cycles=0, acks=1, outgoing=dict(h.OUTGOING)),
           Case("disk", "read-only data directory", disk="readonly", reports=(70,), cycles=0, acks=0),
           fail("cut-down rename fails (EIO)", "rename", "EIO", 1),
           fail("fsync of a stored booking fails (EIO)", "fsync", "EIO", 2, only="InBookings.csv")]
    if fast:
        return out
    out += [fail("second cut-down rename fails (EXDEV)", "rename", "EXDEV", 2),
            fail("delete of a file sent in full fails (EACCES)", "unlink", "EACCES", 1, only="Bookings.csv"),
            fail("write of a stored payment fails (ENOSPC)", "write", "ENOSPC", 1, only="Payment.csv"),
            fail("write of the first booking fails (EIO)", "write", "EIO", 1, only="InBookings.csv"),
            fail("write of a cut-down work file fails (ENOSPC)", "write", "ENOSPC", 1, only="Prices.csv.ostrell-tmp")]
    out += [fail("fsync #%d of the cycle fails (EIO)" % n, "fsync", "EIO", n) for n in range(1, fsyncs + 1)]
    return out


def settings_cases(fast):
    return [Case("settings", "non-numeric values at start-up", settings=dict(TimeOut="abc", Loop="twelve", IPLocalport="x1"),
                 budget=20, reports=(13,)),
            Case("settings", "values too large at start-up and for a batch marker",
                 settings=dict(TimeOut="1e400", Loop="99999999999", Batch4="70000"), budget=20, reports=(6,)),
            # Under the churn a read may catch a file cut right after a line end: a valid INI without the
            # "DataDir" key, which means the working directory. U and D are checked where the file was whole.
            Case("settings", "the host rewrites the file in place in a loop", churn=20 if fast else 75, cycles=0, acks=0)]


def crash_cases(points, sample):
    if sample and sample < len(points):
        picks = sorted({round(i * (len(points) - 1) / max(1, sample - 1)) for i in range(sample)})
        points = [points[i] for i in picks] if sample > 1 else [points[len(points) // 2]]
    return [Case("crash", repr(p), inject="%s:signal=KILL:when=%d" % (p.syscall, p.nth), target=(p.syscall, p.target))
            for p in points]


# --- strace ------------------------------------------------------------------------------------------

SYSCALLS = ["write", "pwrite64", "writev", "fsync", "fdatasync", "rename", "renameat", "renameat2", "unlink",
            "unlinkat", "openat", "open", "creat", "ftruncate", "truncate"]
FD_CALLS = {"write", "pwrite64", "writev", "fsync", "fdatasync", "ftruncate"}
ALWAYS_MUTATING = set(SYSCALLS) - {"openat", "open"}
WRITE_FLAGS = ("O_WRONLY", "O_RDWR", "O_CREAT", "O_TRUNC", "O_APPEND")
LINE = re.compile(r"^(\d+)\s+(\w+)\((.*)$")


class Point:
    """The number-th file-mutating call of a cycle, the nth of its kind, on the file target."""

    def __init__(self, number, syscall, nth, target):
        self.number, self.syscall, self.nth, self.target = number, syscall, nth, target

    def __repr__(self):
        return "#%d %s #%d %s" % (self.number, self.syscall, self.nth, self.target)


def target_of(syscall, args):
    """The name of the file a call touches (the runs live in different directories)."""
    m = re.match(r"\d+<([^>]*)>", args) if syscall in FD_CALLS else re.search(r'"([^"]*)"', args)
    return os.path.basename(m.group(1)) if m else "?"


def strace(ws, trace, only=None):
    files = [os.path.join(ws.data, only)] if only else (
        [os.path.join(ws.data, n) for n in h.DATA_FILES] + [ws.data.rstrip("/"), ws.ini, ws.ini + ".lock"])
    opts = ["strace", "-f", "-qq", "-y", "-o", trace, "-e", "trace=" + ",".join(SYSCALLS)]
    for f in files:
        opts += ["-P", f]
    return opts


def trace_calls(trace):
    """(pid, system call, arguments) of every traced call, and whether the program was killed."""
    calls, killed = [], False
    try:
        for raw in open(trace, encoding="latin-1"):
            m = LINE.match(raw)
            if m and m.group(2) in SYSCALLS:
                calls.append(m.groups())
            killed = killed or "killed by SIGKILL" in raw
    except OSError:
        pass
    return calls, killed


def parse_points(trace):
    """The file-mutating calls of the agent's main thread, in order."""
    points, counts = [], {}
    calls, _ = trace_calls(trace)
    main = calls[0][0] if calls else None
    for pid, syscall, args in calls:
        if pid != main:
            continue
        counts[syscall] = counts.get(syscall, 0) + 1
        if syscall in ALWAYS_MUTATING or any(f in args.split(")")[0] for f in WRITE_FLAGS):
            points.append(Point(len(points) + 1, syscall, counts[syscall], target_of(syscall, args)))
    return points


# --- one case ----------------------------------------------------------------------------------------

def settings_text(port, data, **values):
    keys = {"IPadd": "127.0.0.1", "IPport": str(port), "DataDir": data.rstrip("/") + "/", "TimeOut": "30",
            "LoNumber1": "4711", "LoNumber3": "4712"}
    keys.update(values)
    lines = ["[Ostrell]"] + ["%s=%s" % (k, v) for k, v in keys.items()]
    lines += ["", "[Version]", "Brannhall=2.3.119", "", "[Application]", "EndFlag=N", ""]
    return "\n".join(lines).encode("latin-1")


def churn(path, good, seconds):
    """Another process's habit: truncate the file, write it in two pieces, pause, next; gives the count."""
    variants = [good, good[: len(good) // 2], b"", good.replace(b"[Ostrell]", b"[Ostrell"), good + good,
                b"\x00\x01\x02garbage\xff\xfe\n[Ostrell\nTimeOut\n=\n",
                good.replace(b"TimeOut=30", b"TimeOut=abc\nLoop=12x\nBatch4=70000\nIPport=1e400")]
    rewrites, deadline = 0, time.monotonic() + seconds
    while time.monotonic() < deadline:
        data = variants[rewrites % len(variants)]
        with open(path, "r+b") as f:
            f.truncate(0)
            f.write(data[: len(data) // 2])
            f.flush()
            time.sleep(0.003)
            f.write(data[len(data) // 2:])
        rewrites += 1
        time.sleep(0.02)
    return rewrites


def end_insisting(agent, ws, good):
    """The end request, written again until the agent has gone: its own saves may put back the copy it
    read before."""
    deadline = time.monotonic() + h.END_WAIT_S + 6
    while agent.alive() and time.monotonic() < deadline:
        h.replace_file(ws.ini, good.replace(b"EndFlag=N", b"EndFlag=Y"))
        time.sleep(0.5)
    if agent.alive():
        agent.kill()
        return None
    agent.finish()
    return agent.proc.returncode


def mount(*args):
    return subprocess.run(["mount"] + list(args), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def fill(path, leave):
    """Fills the file system of path until about `leave` bytes are free."""
    free = lambda: os.statvfs(path).f_bavail * os.statvfs(path).f_frsize  # noqa: E731
    with open(os.path.join(path, "filler.bin"), "wb") as f:
        while free() > leave:
            try:
                f.write(b"\0" * min(4096, free() - leave))
                f.flush()
                os.fsync(f.fileno())
            except OSError:
                break


class Outcome:
    def __init__(self):
        self.problems, self.notes, self.reached, self.rss, self.acks = [], [], True, 0, 0


def check(paths, ws, ledger, out, label=""):
    """rel_check: its violations become problems, its count of acknowledged records is kept."""
    r = subprocess.run([paths.check, "--ledger", ledger, "--data", ws.data, "--before", ws.before],
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
    lines = r.stdout.decode("latin-1").splitlines()
    counted = [re.match(r"checked acknowledged (\d+)", l) for l in lines]
    counted = [int(m.group(1)) for m in counted if m]
    if r.returncode not in (0, 1) or not counted:
        out.problems.append(label + "rel_check failed: " + " / ".join(lines))
        return
    out.acks = counted[0]
    out.problems += [label + l for l in lines if not l.startswith(("violations ", "checked "))]


def life(paths, ws, case, out, wrapper=None, tag="agent", good=None):
    """One life of the agent up to the host's end request; its error report lines."""
    agent = h.Agent(paths, ws, wrapper=wrapper, tag=tag)
    if case.churn:
        out.notes.append("%d rewrites" % churn(ws.ini, good, case.churn))
    elif case.target:
        # The crash life: killed on entering the chosen call, or never there.
        agent.wait_for(lambda: not agent.alive(), case.budget)
        return agent
    # Waits for a cycle even where none is promised, so that the fault had its chance.
    agent.wait_for(lambda: agent.cycles_done() >= max(1, case.cycles), case.budget)
    if agent.cycles_done() < case.cycles:
        out.problems.append("%s: %d of %d cycles finished in %d s" % (tag, agent.cycles_done(), case.cycles, case.budget))
    alive = agent.alive()
    status = end_insisting(agent, ws, good) if good else agent.end()
    if not alive:
        out.problems.append("%s: gone before its end request (status %r)" % (tag, agent.proc.returncode))
    elif status != 0:
        out.problems.append("%s: did not end on its end request (status %r)" % (tag, status))
    out.rss = max(out.rss, agent.max_rss_kb)
    return agent


def run_case(paths, root, case, keep):
    out = Outcome()
    ws = h.Workspace(root, case.part, outgoing={} if case.disk else case.outgoing)
    mounted = False
    if case.disk:
        mounted = mount("-t", "tmpfs", "-o", "size=%s,mode=0755" % ("64k" if case.disk == "full" else "1m"), "tmpfs", ws.data)
        if case.disk == "full" and not mounted:
            out.reached = False
            out.notes.append("mount refused: not tried")
            return out
        for name, content in h.OUTGOING.items():
            for d in (ws.data, ws.before):
                with open(os.path.join(d, name), "wb") as f:
                    f.write(content)
    sim = h.Sim(paths, ws.dir, (h.SIM_DATA if case.part != "disk" or case.disk != "full" else []) + case.sim)
    wrapper = None
    try:
        if case.settings is not None or case.churn:
            good = settings_text(sim.port, ws.data)
            h.replace_file(ws.ini, settings_text(sim.port, ws.data, **(case.settings or {})))
        else:
            good = None
            ws.write_settings(sim.port)
        trace = os.path.join(ws.dir, "trace.txt")
        if case.inject:
            wrapper = strace(ws, trace, case.only) + ["-e", "inject=" + case.inject, "--"]
        if case.disk == "full":
            fill(ws.data, 12 * 1024)
        elif case.disk == "readonly" and not (mounted and mount("-o", "remount,ro", ws.data)):
            # No mounts here: the agent runs as nobody on a directory only root may write.
            out.notes.append("read-only mount refused: ran as user nobody instead")
            subprocess.run(["chown", "-R", "nobody", ws.config])
            os.chmod(ws.dir, 0o755)
            wrapper = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"]

        agent = life(paths, ws, case, out, wrapper, "first", good)
        calls, killed = trace_calls(trace) if case.inject else ([], False)
        if case.target:
            if not killed:
                out.reached = False
                out.notes.append("never reached")
                agent.end()
            else:
                agent.finish()
                hit = next(((c[1], target_of(c[1], c[2])) for c in reversed(calls)), None)
                if hit != case.target:
                    out.notes.append("killed at %s instead" % (hit,))
            life(paths, ws, Case("crash", case.name, budget=60), out, tag="second")
        elif case.inject:
            injected = any("(INJECTED)" in c[2] for c in calls)
            if not injected:
                out.reached = False
                out.notes.append("the cycle made no such call: not tried")
            elif not agent.errors():
                out.problems.append("the failing call was not reported")
        numbers = [int(m.group(1)) for e in agent.errors() for m in [re.search(r"error (\d+) ", e)] if m]
        out.problems += ["no report of error %d" % n for n in case.reports if n not in numbers]
        if case.disk == "full":
            check(paths, ws, sim.ledger, out, "while full: ")
            os.unlink(os.path.join(ws.data, "filler.bin"))
            life(paths, ws, Case("disk", case.name), out, tag="after")
    finally:
        sim.close()
        try:
            if not case.churn:
                check(paths, ws, sim.ledger, out)
                if out.acks < case.acks:
                    out.problems.append("only %d records acknowledged, %d wanted" % (out.acks, case.acks))
                if case.disk == "readonly" and out.acks:
                    out.problems.append("%d records acknowledged though none could be stored" % out.acks)
        finally:
            if mounted:  # after the check: it reads the files on the mount
                subprocess.run(["umount", "-l", ws.data], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if out.rss > h.RSS_LIMIT_KB:
        out.problems.append("the agent grew to %d KiB" % out.rss)
    if out.problems:
        out.notes.append("kept in " + ws.dir)
    elif not keep:
        ws.remove()
    return out


# --- the parts ---------------------------------------------------------------------------------------

NAMES = {"crash": "crash points (strace, real agent)", "network": "network faults (real agent, loopback)",
         "disk": "disk faults (real agent)", "settings": "settings damage (real agent)"}


def reference(paths, root):
    """A clean cycle, traced: its file-mutating calls and the lines it sent on its first connection."""
    ws = h.Workspace(root, "reference")
    sim = h.Sim(paths, ws.dir, h.SIM_DATA)
    out = Outcome()
    try:
        ws.write_settings(sim.port)
        trace = os.path.join(ws.dir, "trace.txt")
        life(paths, ws, Case("reference", "reference", budget=60), out, strace(ws, trace) + ["--"])
    finally:
        sim.close()
    check(paths, ws, sim.ledger, out)
    if out.acks < ALL_RECORDS:
        out.problems.append("only %d records acknowledged" % out.acks)
    points = parse_points(trace)
    lines = [f[2] for f in (l.rstrip("\n").split("\t") for l in open(sim.ledger, encoding="latin-1"))
             if f[0] == "RECV" and f[1] == "1"]
    if len(points) < 20 or len(lines) < 10:
        out.problems.append("only %d file-mutating calls and %d request lines" % (len(points), len(lines)))
    ws.remove()
    return points, lines, out.problems


def run(paths, root, parts, fast=False, sample=None, jobs=4, keep=False, log=print):
    """Runs the chosen parts; one Result per part, tried counting only the cases whose fault was hit."""
    points, lines, problems = reference(paths, root)
    cases = []
    if "crash" in parts:
        cases += crash_cases(points, sample or (10 if fast else None))
    if "network" in parts:
        cases += network_cases(lines, fast)
    if "disk" in parts:
        cases += disk_cases(max([p.nth for p in points if p.syscall == "fsync"] or [0]), fast)
    if "settings" in parts:
        cases += settings_cases(fast)
    log("scenarios: %d file-mutating calls and %d request lines in a clean cycle; %d cases"
        % (len(points), len(lines), len(cases)))
    outcomes = h.run_parallel(jobs, cases, lambda c: run_case(paths, root, c, keep))
    results = {}
    for part in [p for p in parts if p in NAMES]:
        results[part] = h.Result(NAMES[part])
        results[part].violations += [("reference run", p) for p in problems]
    for case, out in zip(cases, outcomes):
        r = results[case.part]
        if isinstance(out, list):  # the runner itself failed
            r.add(case.name, out)
            continue
        r.notes += ["%s: %s" % (case.name, n) for n in out.notes]
        if out.reached:
            r.add(case.name, out.problems)
        else:
            r.unreached += 1
        r.extra["peak RSS KiB"] = max(r.extra.get("peak RSS KiB", 0), out.rss)
    for r in results.values():
        if r.tried == 0:
            r.violations.append(("minimum", "no case reached its fault"))
    if "crash" in results:
        results["crash"].extra["calls in the cycle"] = len(points)
    return list(results.values())
