"""The settings file as a careless host treats it: values that are not numbers or do not fit, and the
file truncated and rewritten in place, over and over, while the agent starts, refreshes its parameters,
runs its cycle and looks for the end request. The agent must stay alive, report each conversion error
(type mismatch 13, overflow 6) through its error sink and end on the end request; with damaged values
(but a whole file) U and D must hold too."""

import os
import threading
import time

import harness as h



def settings_text(port, data, **values):
    keys = {"IPadd": "127.0.0.1", "IPport": str(port), "DataDir": data.rstrip("/") + "/", "TimeOut": "30",
            "LoNumber1": "4711", "LoNumber3": "4712"}
    keys.update(values)
    lines = ["[Ostrell]"] + ["%s=%s" % (k, v) for k, v in keys.items() if v is not None]
    lines += ["", "[Version]", "Brannhall=2.3.119", "", "[Application]", "EndFlag=N", ""]
    return "\n".join(lines).encode("latin-1")


def damaged_variants(port, data):
    good = settings_text(port, data)
    return [
        good,
        settings_text(port, data, TimeOut="abc", Loop="12x"),
        settings_text(port, data, TimeOut="99999999999", IPport="1e400"),
        settings_text(port, data, TimeOut="", Batch4="70000", Batch7="-1e9"),
        settings_text(port, data, TimeOut="\xff\xfe", LoNumber1="47\x0011"),
        good[: len(good) // 2],                        # the host caught half-way
        b"",                                            # emptied, not yet written
        b"\x00\x01\x02garbage\xff\xfe\n[Ostrell\nTimeOut\n=\n",
        good.replace(b"[Ostrell]", b"[Ostrell"),        # a broken section line
        good + good,                                    # every key twice
    ]


class Churn:
    """Another process's habit, in a thread: truncate the file, write it in two pieces, pause, next."""

    def __init__(self, path, variants):
        self.path, self.variants = path, variants
        self.stop_flag = threading.Event()
        self.rewrites = 0
        self.thread = threading.Thread(target=self._run, daemon=True)

    def _run(self):
        i = 0
        while not self.stop_flag.is_set():
            data = self.variants[i % len(self.variants)]
            i += 1
            try:
                with open(self.path, "r+b" if os.path.exists(self.path) else "wb") as f:
                    f.truncate(0)
                    f.write(data[: len(data) // 2])
                    f.flush()
                    time.sleep(0.003)
                    f.write(data[len(data) // 2:])
                self.rewrites += 1
            except OSError:
                pass
            time.sleep(0.02)

    def start(self):
        self.thread.start()

    def stop(self):
        self.stop_flag.set()
        self.thread.join(timeout=5)


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


def life(paths, root, name, initial, churn_seconds, need_reports, keep, log):
    ws = h.Workspace(root, "settings")
    sim = h.Sim(paths, ws.dir, h.SIM_DATA)
    problems = []
    churn = None
    try:
        good = settings_text(sim.port, ws.data)
        h.replace_file(ws.ini, initial(sim.port, ws.data))
        agent = h.Agent(paths, ws, tag="agent")
        if churn_seconds:
            churn = Churn(ws.ini, damaged_variants(sim.port, ws.data))
            churn.start()
            time.sleep(churn_seconds)
            churn.stop()
        else:
            agent.wait_for(lambda: agent.cycles_done() >= 1, 20)
        alive = agent.alive()
        status = end_insisting(agent, ws, good)
        if not alive:
            problems.append("the agent was gone before its end request (status %r)" % (agent.proc.returncode,))
        elif status != 0:
            problems.append("the agent did not end on its end request (status %r)" % (status,))
        errors = agent.errors()
        for number in need_reports:
            if not any("error %d " % number in e for e in errors):
                problems.append("no report of error %d" % number)
        if churn:
            log("settings damage: %s: %d rewrites, %d error reports" % (name, churn.rewrites, len(errors)))
    finally:
        sim.close()
    if not churn_seconds:
        # Under the churn a read may catch a file cut right after a line end: a valid INI without the
        # "DataDir" key, which means the working directory. U and D are checked where the file was whole.
        problems += h.check_invariants(paths, ws, sim.ledger)
    if problems:
        problems.append("(kept in %s)" % ws.dir)
    elif not keep:
        ws.remove()
    return problems


def run(paths, root, fast=False, keep=False, log=print):
    result = h.Result("settings damage (real agent)")
    cases = [
        ("non-numeric values at start-up",
         lambda port, data: settings_text(port, data, TimeOut="abc", Loop="twelve", IPLocalport="x1"), 0, [13]),
        ("values too large at start-up and for a batch marker",
         lambda port, data: settings_text(port, data, TimeOut="1e400", Loop="99999999999", Batch4="70000"),
         0, [6]),
        ("the host rewrites the file in place in a loop",
         lambda port, data: settings_text(port, data), 20 if fast else 75, []),
    ]
    for name, initial, churn_seconds, reports in cases:
        found = life(paths, root, name, initial, churn_seconds, reports, keep, log)
        result.add(name, [p for p in found if not p.startswith("(kept")])
        result.notes += ["%s: %s" % (name, p) for p in found if p.startswith("(kept")]
    return result
