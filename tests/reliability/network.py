"""Network faults: the real agent over loopback against veltrana-sim with its fault switches on. For
each fault the agent runs its cycle, is asked to end the host's way, and must still be running then
(no crash, no hang), must end on the request, must have kept its memory bounded, and U and D must hold.

A reference run lists the lines of one clean exchange, so that "at line K" faults can aim at the logon,
an upload record, a download request, an acknowledgement and the quit."""

import harness as h

REPLY_WAIT_S = 7.8   # a request is given up this long after it went out
LOGON_WAIT_S = 11.7  # 39 pauses of 300 ms
FLUSH_MS = 200       # an unfinished line is taken after this much silence


def exchange_lines(paths, root):
    """The lines the agent sends on its first connection in a clean cycle."""
    ws = h.Workspace(root, "net-ref")
    sim = h.Sim(paths, ws.dir, h.SIM_DATA)
    try:
        ws.write_settings(sim.port)
        agent = h.Agent(paths, ws)
        agent.wait_for(lambda: agent.cycles_done() >= 1, 60)
        agent.end()
    finally:
        sim.close()
    from_ledger = []
    for line in open(sim.ledger, encoding="latin-1"):
        f = line.rstrip("\n").split("\t")
        if f[0] == "RECV" and f[1] == "1":
            from_ledger.append(f[2])
    ws.remove()
    return from_ledger


def first(lines, prefix):
    for i, l in enumerate(lines):
        if l.startswith(prefix):
            return i + 1
    return None


def scenarios(lines, fast):
    """(name, server options, seconds to let the cycle run) for each fault."""
    up = first(lines, "4|") or 2
    ask = first(lines, "10|") or 3
    ack = first(lines, "12|") or 4
    pay = first(lines, "11|") or 5
    late = lambda s: "%.0fms" % (s * 1000)  # noqa: E731
    under_reply, over_reply = int((REPLY_WAIT_S - 0.5) * 1000), int((REPLY_WAIT_S + 0.5) * 1000)
    under_logon, over_logon = int((LOGON_WAIT_S - 0.6) * 1000), int((LOGON_WAIT_S + 0.8) * 1000)
    record = ('10|"G99","2027-01-01","2027-01-02","Forged","X","99","DBL","2","1","a","b","c","d","e","f",'
              '"g","h","i","j","k"')

    quick = [
        ("connection dropped at the first download request", ["--drop-at-run", str(ask)], 40),
        ("connection dropped after an acknowledgement was carried out", ["--drop-at-run", str(ack), "--drop-mode", "after"], 40),
        ("replies split byte by byte", ["--split", "1", "--split-pause-ms", "1"], 60),
        ("replies in pieces with pauses past the %d ms line wait" % FLUSH_MS, ["--split", "16", "--split-pause-ms", "260"], 120),
        ("every reply merged with a forged record line", ["--merge-text", record], 40),
        ("greeting banner", ["--banner", "Welcome to Veltrana"], 40),
        ("garbage and binary bytes before every reply and as lines", ["--garbage", "--garbage-line"], 90),
        ("50 MB line without LF for a download request", ["--endless-line", "52428800", "--endless-at", str(ask)], 60),
        ("reply %s late at a download request (past the wait)" % late(over_reply / 1000),
         ["--delay-ms", str(over_reply), "--delay-line", str(ask)], 60),
    ]
    if fast:
        return quick

    full = list(quick)
    for k in range(1, len(lines) + 1):
        shown = lines[k - 1][:24]
        full.append(("connection dropped on receiving line %d (%s)" % (k, shown), ["--drop-at-run", str(k)], 40))
        full.append(("connection dropped after carrying out line %d (%s)" % (k, shown),
                     ["--drop-at-run", str(k), "--drop-mode", "after"], 40))
    full += [
        ("reply just inside the wait at an upload record", ["--delay-ms", str(under_reply), "--delay-line", str(up)], 60),
        ("reply just past the wait at an upload record", ["--delay-ms", str(over_reply), "--delay-line", str(up)], 60),
        ("reply just inside the wait at a download request", ["--delay-ms", str(under_reply), "--delay-line", str(ask)], 60),
        ("reply just inside the wait at an acknowledgement", ["--delay-ms", str(under_reply), "--delay-line", str(ack)], 60),
        ("reply just past the wait at an acknowledgement", ["--delay-ms", str(over_reply), "--delay-line", str(ack)], 60),
        ("logon reply just inside its wait", ["--delay-ms", str(under_logon), "--delay-line", "1"], 60),
        ("logon reply just past its wait", ["--delay-ms", str(over_logon), "--delay-line", "1"], 90),
        ("replies in pieces with pauses just inside the line wait", ["--split", "24", "--split-pause-ms", "150"], 120),
        ("replies ended by LF alone", ["--no-crlf"], 40),
        ("replies with no line end (taken after the line wait)", ["--no-eol"], 60),
        ("every reply merged with a copy of itself", ["--merge"], 40),
        ("garbage before every reply", ["--garbage", "--garbage-bytes", "64"], 90),
        ("a line of garbage before every reply", ["--garbage-line"], 90),
        ("no reply after line %d" % ask, ["--no-reply-after", str(ask)], 90),
        ("an upload record never answered", ["--silent", "6:1"], 60),
        ("50 MB line without LF as the logon reply", ["--endless-line", "52428800", "--endless-at", "1"], 60),
        ("50 MB line without LF for an upload record", ["--endless-line", "52428800", "--endless-at", str(up)], 60),
        ("50 MB line without LF for a payment request", ["--endless-line", "52428800", "--endless-at", str(pay)], 60),
    ]
    return full


def run_case(paths, root, case, keep):
    name, options, budget = case
    ws = h.Workspace(root, "net")
    sim = h.Sim(paths, ws.dir, h.SIM_DATA + options)
    problems = []
    try:
        ws.write_settings(sim.port)
        agent = h.Agent(paths, ws)
        agent.wait_for(lambda: agent.cycles_done() >= 1, budget)
        alive = agent.alive()
        status = agent.end()
        if not alive:
            problems.append("the agent was gone before its end request (status %r)" % (agent.proc.returncode,))
        elif status != 0:
            problems.append("the agent did not end on its end request (status %r)" % (status,))
        if agent.max_rss_kb > h.RSS_LIMIT_KB:
            problems.append("the agent grew to %d KiB" % agent.max_rss_kb)
    finally:
        sim.close()
    problems += h.check_invariants(paths, ws, sim.ledger)
    if not problems and not keep:
        ws.remove()
    elif problems:
        problems.append("(kept in %s)" % ws.dir)
    return problems, agent.max_rss_kb


def run(paths, root, fast=False, jobs=4, keep=False, log=print):
    result = h.Result("network faults (real agent, loopback)")
    lines = exchange_lines(paths, root)
    cases = scenarios(lines, fast)
    log("network faults: %d lines in a clean exchange, trying %d faults" % (len(lines), len(cases)))
    outcomes = h.run_parallel(jobs, cases, lambda c: run_case(paths, root, c, keep))
    peak = 0
    for case, outcome in zip(cases, outcomes):
        if isinstance(outcome, list):
            outcome = (outcome, 0)
        found, rss = outcome
        peak = max(peak, rss)
        result.add(case[0], [p for p in found if not p.startswith("(kept")])
        result.notes += ["%s: %s" % (case[0], p) for p in found if p.startswith("(kept")]
    result.extra["peak RSS KiB"] = peak
    log("network faults: highest agent RSS %d KiB" % peak)
    return result
