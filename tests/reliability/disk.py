"""Disk faults under the real agent: a data directory on a small tmpfs that fills up mid-cycle, a
read-only data directory, and single failing fsync, rename, unlink and write calls injected by strace.
Each must leave U and D whole (nothing acknowledged that is not stored, nothing deleted that was not
accepted), be reported by the built-in error sink (a stderr line), and leave the agent running until its
end request."""

import os
import subprocess

import crash
import harness as h

TMPFS_SIZE = "64k"


def mount_tmpfs(where, size=TMPFS_SIZE):
    r = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=" + size + ",mode=0755", "tmpfs", where],
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return r.returncode == 0


def umount(where):
    subprocess.run(["umount", "-l", where], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def remount_read_only(where):
    r = subprocess.run(["mount", "-o", "remount,ro", where], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return r.returncode == 0


def free_bytes(path):
    st = os.statvfs(path)
    return st.f_bavail * st.f_frsize


def fill(path, leave):
    """Fills the file system of path until about `leave` bytes are free."""
    with open(os.path.join(path, "filler.bin"), "wb") as f:
        while free_bytes(path) > leave:
            try:
                f.write(b"\0" * min(4096, free_bytes(path) - leave))
                f.flush()
                os.fsync(f.fileno())
            except OSError:
                break


def one_life(paths, ws, sim, budget=40, wrapper=None, tag="agent"):
    """Runs the agent for a cycle; gives the problems with its life and its error report lines."""
    agent = h.Agent(paths, ws, wrapper=wrapper, tag=tag)
    agent.wait_for(lambda: agent.cycles_done() >= 1, budget)
    alive = agent.alive()
    status = agent.end()
    problems = []
    if not alive:
        problems.append("the agent was gone before its end request (status %r)" % (agent.proc.returncode,))
    elif status != 0:
        problems.append("the agent did not end on its end request (status %r)" % (status,))
    return problems, agent.errors()


def full_disk(paths, root):
    """The data directory fills up while bookings come in; after space is freed the next run stores
    what the server still holds."""
    ws = h.Workspace(root, "disk-full", outgoing={})
    if not mount_tmpfs(ws.data):
        return None, ["mount refused: full-disk case skipped"]
    problems = []
    try:
        for name, content in h.OUTGOING.items():
            for d in (ws.data, ws.before):
                with open(os.path.join(d, name), "wb") as f:
                    f.write(content)
        fill(ws.data, 12 * 1024)
        sim = h.Sim(paths, ws.dir, ["--bookings", "4711:60", "--payments", "4711:20", "--refuse", "4:3-7"])
        try:
            ws.write_settings(sim.port)
            found, errors = one_life(paths, ws, sim)
            problems += found
            if not any("error 61" in e for e in errors):
                problems.append("the full disk was not reported (error 61)")
            problems += ["while full: " + v for v in h.check_invariants(paths, ws, sim.ledger)]
            os.unlink(os.path.join(ws.data, "filler.bin"))
            found, _ = one_life(paths, ws, sim, tag="after")
            problems += found
        finally:
            sim.close()
        problems += ["after freeing space: " + v for v in h.check_invariants(paths, ws, sim.ledger)]
    finally:
        umount(ws.data)
    return ws, problems


def read_only(paths, root):
    """The data directory cannot be written: uploads may be accepted but their files must stay; nothing
    may be acknowledged."""
    ws = h.Workspace(root, "disk-ro", outgoing={})
    wrapper = None
    mounted = mount_tmpfs(ws.data, "1m")
    for name, content in h.OUTGOING.items():
        for d in (ws.data, ws.before):
            with open(os.path.join(d, name), "wb") as f:
                f.write(content)
    notes = []
    if not (mounted and remount_read_only(ws.data)):
        # No mounts here: the agent runs as nobody on a directory only root may write.
        notes.append("read-only mount refused: ran as user nobody instead")
        os.chmod(ws.data, 0o755)
        subprocess.run(["chown", "-R", "nobody", ws.config])
        os.chmod(ws.dir, 0o755)
        wrapper = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"]
    problems = []
    try:
        sim = h.Sim(paths, ws.dir, h.SIM_DATA)
        try:
            ws.write_settings(sim.port)
            if wrapper:
                subprocess.run(["chown", "nobody", ws.ini])
            found, errors = one_life(paths, ws, sim, wrapper=wrapper)
            problems += found
            if not any("error 70" in e for e in errors):
                problems.append("the read-only directory was not reported (error 70)")
        finally:
            sim.close()
        problems += h.check_invariants(paths, ws, sim.ledger)
        acks = [l for l in open(sim.ledger, encoding="latin-1") if l.startswith(("ACK12\t", "ACK13\t"))]
        if acks:
            problems.append("%d records acknowledged though none could be stored" % len(acks))
    finally:
        if mounted:
            umount(ws.data)
    return ws, problems + notes


def injected(paths, root, label, syscall, errno_name, nth, only=None):
    """One failing call: the nth `syscall` on the data directory's files (or on `only`) fails."""
    ws = h.Workspace(root, "disk-inject")
    problems = []
    sim = h.Sim(paths, ws.dir, h.SIM_DATA)
    try:
        ws.write_settings(sim.port)
        trace = os.path.join(ws.dir, "trace.txt")
        opts = crash.trace_options(ws, trace)
        if only:
            # Only the named file counts for the injection.
            opts = ["strace", "-f", "-qq", "-y", "-o", trace, "-e", "trace=" + ",".join(crash.SYSCALLS),
                    "-P", os.path.join(ws.data, only)]
        wrapper = opts + ["-e", "inject=%s:error=%s:when=%d" % (syscall, errno_name, nth), "--"]
        found, errors = one_life(paths, ws, sim, wrapper=wrapper)
        problems += found
        hit = any("(INJECTED)" in l for l in open(trace, encoding="latin-1"))
        if hit and not errors:
            problems.append("the failing %s was not reported" % syscall)
        if not hit:
            problems.append("(note) the cycle made no %s #%d" % (syscall, nth))
    finally:
        sim.close()
    problems += h.check_invariants(paths, ws, sim.ledger)
    return ws, problems


def cases(fsyncs, fast):
    """(label, function) for each fault."""
    out = [("full small tmpfs", lambda p, r: full_disk(p, r)),
           ("read-only data directory", lambda p, r: read_only(p, r)),
           ("cut-down rename fails (EIO)", lambda p, r: injected(p, r, "rename", "rename", "EIO", 1)),
           ("fsync of a stored booking fails (EIO)",
            lambda p, r: injected(p, r, "fsync", "fsync", "EIO", 2, only="InBookings.csv"))]
    if fast:
        return out
    out += [("second cut-down rename fails (EXDEV)", lambda p, r: injected(p, r, "rename", "rename", "EXDEV", 2)),
            ("delete of a file sent in full fails (EACCES)",
             lambda p, r: injected(p, r, "unlink", "unlink", "EACCES", 1, only="Bookings.csv")),
            ("write of a stored payment fails (ENOSPC)",
             lambda p, r: injected(p, r, "write", "write", "ENOSPC", 1, only="Payment.csv")),
            ("write of the first booking fails (EIO)",
             lambda p, r: injected(p, r, "write", "write", "EIO", 1, only="InBookings.csv")),
            ("write of a cut-down work file fails (ENOSPC)",
             lambda p, r: injected(p, r, "write", "write", "ENOSPC", 1, only="Prices.csv.ostrell-tmp"))]
    for n in range(1, fsyncs + 1):
        out.append(("fsync #%d of the cycle fails (EIO)" % n,
                    lambda p, r, n=n: injected(p, r, "fsync", "fsync", "EIO", n)))
    return out


def run(paths, root, fast=False, jobs=4, keep=False, log=print):
    result = h.Result("disk faults (real agent)")
    fsyncs = 0
    if not fast:
        points, _ = crash.reference(paths, root)
        fsyncs = max([p.nth for p in points if p.syscall == "fsync"] or [0])
    todo = cases(fsyncs, fast)
    log("disk faults: trying %d" % len(todo))

    def one(case):
        ws, problems = case[1](paths, root)
        if ws is None:
            return problems, True
        real = [p for p in problems if not p.startswith(("(note)", "read-only mount refused"))]
        if ws and not real and not keep:
            ws.remove()
        elif real:
            real.append("(kept in %s)" % ws.dir)
        return problems, False

    outcomes = h.run_parallel(jobs, todo, one)
    for case, outcome in zip(todo, outcomes):
        if isinstance(outcome, list):
            outcome = (outcome, False)
        problems, skipped = outcome
        if skipped:
            result.notes += ["%s: %s" % (case[0], p) for p in problems]
            continue
        notes = [p for p in problems if p.startswith(("(note)", "(kept", "read-only mount refused"))]
        result.add(case[0], [p for p in problems if p not in notes])
        result.notes += ["%s: %s" % (case[0], p) for p in notes]
    return result
