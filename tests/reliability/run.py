#!/usr/bin/env python3
"""The reliability suite: the real agent against veltrana-sim on loopback under crash points (strace kills it
at each file-mutating call of a clean cycle), network and settings faults, each run checked by rel_check;
its power-loss and kill sweeps on the fakes; the fuzzers. Prints per part the faults hit, those not reached
and the violations; exit status 1 on a violation, a part short of its minimums or a fuzzer crash.
  run.py --build DIR [--fast] [--part crash|network|settings|powerloss|kill|fuzz|hostfiles]...
         [--sample N]
         [--fuzz-seconds N]"""
import argparse, math, os, re, shutil, signal, subprocess as sp, sys, tempfile, time  # noqa: E401
from concurrent.futures import ThreadPoolExecutor

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# A cycle's work: six bookings and three payments (ALL) for two BK numbers; outgoing files of which one is
# accepted in full, one cut down after a refused record, one given up at a "BAD", one refused throughout.
SIM_DATA = ["--bookings", "4711:4", "--payments", "4711:2", "--bookings", "4712:2", "--payments", "4712:1",
            "--refuse", "4:3-7", "--bad", "7:2", "--refuse", "5:all"]
ALL = 9
OUTGOING = {"Bookings.csv": b'"1001","2027-01-02","2027-01-05","Meyer, Anna",""\r\n"1002","2027-02-01","x","y",""\r\n',
            "Prices.csv": b'PRC017,"Room 1, sea view",350,\r\nPRC018,"Room 2",300,\r\nPRC019,"Room 3",280,\r\n',
            "RoomTypes.csv": b'"R1","Double room, sea view","2"\r\n"R2","Single","1"\r\n"R3","Family","4"\r\n',
            "Deleted.csv": b'"B77",0,"2027-03-01"\r\n'}
CALLS = "write,pwrite64,writev,fsync,fdatasync,rename,renameat,renameat2,unlink,unlinkat,openat,open,creat,ftruncate"
FUZZERS = ["fuzz_line_framer", "fuzz_reply_classification", "fuzz_record_validation", "fuzz_record_conversion"]


def case(part, name, sim=(), budget=60, cycles=1, acks=0, kill=None, churn=0, fires=None, in_flight=0):
    """A row: server options beyond SIM_DATA; cycles the first life must finish in `budget` seconds; records
    acknowledged at the end; the call strace kills the first life at; seconds of the host rewriting the
    settings file in place; the server fault whose FAULT line proves the case was hit; the records a life
    may leave in flight (accepted, then sent again)."""
    return dict(locals())


def cases(part, points, lines, fast, sample):
    at = lambda prefix: str(next((i + 1 for i, l in enumerate(lines) if l.startswith(prefix)), 2))  # noqa: E731
    ask, ack = at("10|"), at("12|")
    def net(name, sim, budget=60, acks=0, in_flight=1):  # the first switch's fault ("--drop-at-run": drop) must fire
        return case("network", name, sim, budget, acks=acks, in_flight=in_flight, fires=sim[0][2:].split("-")[0])
    if part == "crash":
        points = [points[round(i * (len(points) - 1) / max(1, sample - 1))] for i in range(sample or 0)] or points
        return [case("crash", "%s #%d on %s" % p, kill=p[:2], in_flight=1) for p in points]
    if part == "settings":  # a read may catch the churn between lines: no "DataDir", so no U/D check there
        return [case("settings", "the host rewrites the file in place", cycles=0, churn=20 if fast else 75)]
    # A network fault that ends an exchange early leaves its records to the next cycle (TimeOut 30 s).
    return [net("dropped at the first download request", ["--drop-at-run", ask]),
            net("dropped after an acknowledgement was carried out", ["--drop-at-run", ack, "--drop-mode", "after"]),
            net("replies split byte by byte", ["--split", "1", "--split-pause-ms", "1"], acks=ALL),
            net("replies in pieces, pauses past the 200 ms line wait", ["--split", "16", "--split-pause-ms", "260"],
                120),
            net("no line ends, 300 ms pauses inside records", ["--split", "60", "--split-pause-ms", "300", "--no-eol"],
                120),
            net("replies merged with a forged record line", ["--merge", "--merge-text", '10|"G99"' + ',"1"' * 19]),
            net("greeting banner", ["--banner", "Welcome to Veltrana"], acks=ALL),
            # Every reply garbled: every record's fate is unknown to the agent, and it is sent again.
            net("garbage bytes before every reply and as lines", ["--garbage", "--garbage-line"], 90, in_flight="any"),
            net("50 MB line without LF for a download request", ["--endless-line", "52428800", "--endless-at", ask]),
            net("reply past the 7.8 s wait at a download request", ["--delay-ms", "8300", "--delay-line", ask])] + [
            net("dropped %s line %d (%s)" % (m, k, l[:24]), ["--drop-at-run", str(k), "--drop-mode", m])
            for k, l in ([] if fast else enumerate(lines, 1)) for m in ("before", "after")]


class Run:
    """One case's world: a directory with config/BKX.ini, data/, before/ (the outgoing files as the host
    left them) and the server's ledger; the server; what went wrong."""

    def __init__(self, root, paths, part):
        self.paths, self.sim, self.problems, self.hit = paths, None, [], True
        self.dir = tempfile.mkdtemp(prefix=part + ".", dir=root)
        self.config, self.data, self.before = (os.path.join(self.dir, d) for d in ("config", "data", "before"))
        self.ini, self.trace = os.path.join(self.config, "BKX.ini"), os.path.join(self.dir, "trace.txt")
        list(map(os.makedirs, (self.config, self.data, self.before)))

    def start(self, options, **settings):
        for d, name in ((d, n) for d in (self.data, self.before) for n in OUTGOING):
            replace(os.path.join(d, name), OUTGOING[name])
        port_file = os.path.join(self.dir, "sim.port")
        with open(os.path.join(self.dir, "sim.out"), "wb") as out:
            self.sim = sp.Popen([self.paths["veltrana-sim"], "--port", "0", "--port-file", port_file, "--ledger",
                                 os.path.join(self.dir, "ledger.txt")] + options, stdout=out, stderr=out)
        until(lambda: os.path.exists(port_file) or self.sim.poll() is not None, 10)
        keys = dict(dict(IPadd="127.0.0.1", IPport=int(open(port_file).read()), DataDir=self.data + "/", TimeOut=30,
                         LoNumber1=4711, LoNumber3=4712), **settings)
        self.good = ("[Ostrell]\n" + "".join("%s=%s\n" % kv for kv in keys.items()) +
                     "\n[Version]\nBrannhall=2.3.119\n\n[Application]\nEndFlag=N\n").encode()
        replace(self.ini, self.good)

    def end_flag(self, flag):
        """The host's end flag, written the careful way (whole, renamed in), keeping what the agent saved."""
        text = open(self.ini, "rb").read() if os.path.exists(self.ini) else b""
        new, n = re.subn(rb"^EndFlag=.*$", b"EndFlag=" + flag, text, flags=re.M)
        if new != text or not n:
            replace(self.ini, new if n else text + b"\n[Application]\nEndFlag=" + flag + b"\n")

    def fired(self, fault):
        """Whether the server's ledger says the fault changed what a connection got."""
        ledger = os.path.join(self.dir, "ledger.txt")
        text = open(ledger, encoding="latin-1").read() if os.path.exists(ledger) else ""
        return re.search(r"^FAULT\t[^\t]*\t%s$" % fault, text, re.M) is not None

    def stop(self):
        if self.sim and self.sim.poll() is None:
            self.sim.terminate()
            self.sim.wait(timeout=10)

    def check(self, label="", in_flight=0):
        """rel_check's violations become problems (`in_flight`: records a life may have sent twice); gives
        the records acknowledged."""
        r = sp.run([self.paths["rel_check"], "--in-flight", str(in_flight), self.dir], capture_output=True,
                   timeout=120)
        text = (r.stdout + r.stderr).decode("latin-1")
        counted = re.search(r"checked acknowledged (\d+) accepted \d+ lines \d+", text)
        found = [label + l for l in text.splitlines() if l.startswith(("U: ", "D: "))]
        if r.returncode not in (0, 1) or not counted or bool(found) != bool(r.returncode):
            found.append(label + "rel_check status %d: %s" % (r.returncode, " / ".join(text.splitlines()[-3:])))
        self.problems += found
        return int(counted.group(1)) if counted else 0

    def traced(self, kill=None):
        """strace on the data files and the settings (killing at the nth `call` of kill=(call, n)); with
        kill=False: the traced calls (pid, call, arguments) and whether one was met by SIGKILL."""
        if kill is False:
            text = open(self.trace, encoding="latin-1").read() if os.path.exists(self.trace) else ""
            return re.findall(r"^(\d+) +(\w+)\((.*)$", text, re.M), "killed by SIGKILL" in text
        files = [n + s for n in OUTGOING for s in ("", ".ostrell-tmp")] + ["InBookings.csv", "Payment.csv",
                                                                           "VRXlogOUT.txt", "VRXlogOUT.txt.bak", ""]
        paths = [os.path.join(self.data, f).rstrip("/") for f in files] + [self.ini, self.ini + ".lock"]
        inject = ["-e", "inject=%s:signal=KILL:when=%d" % kill] if kill else []
        return ["strace", "-f", "-qq", "-y", "-o", self.trace, "-e", "trace=" + CALLS] + [
            a for p in paths for a in ("-P", p)] + inject + ["--"]


def short_of_minimum(hit, points):
    """A part that reached under 90 % of its faults proved little."""
    return [("minimum", "%d of %d hit" % (hit, points))] if hit < max(1, math.ceil(0.9 * points)) else []


def until(done, seconds):
    for _ in range(seconds * 20):
        if done():
            return
        time.sleep(0.05)


def replace(path, data):
    open(path + ".new", "wb").write(data)
    os.replace(path + ".new", path)


def rewrite_in_place(path, data, cut, pause):
    """The host's habit: truncate, write up to `cut`, pause, write the rest."""
    with open(path, "r+b") as f:
        f.truncate(0)
        f.write(data[:cut])
        f.flush()
        time.sleep(pause)
        f.write(data[cut:])


def strace(trace, calls, paths, *options):
    """A wrapper tracing `calls` on `paths` into `trace` with times."""
    return ["strace", "-f", "-qq", "-ttt", "-o", trace, "-e", "trace=" + calls, *options] + [
        a for p in paths for a in ("-P", p)] + ["--"]


class Agent:
    """The built agent, headless, maybe under strace; counts the cycles that reached their quit."""

    def __init__(self, run, wrapper=(), tag="first"):
        self.run, self.traced = run, bool(wrapper)
        self.out, self.err = os.path.join(run.dir, tag + ".out"), os.path.join(run.dir, tag + ".err")
        run.end_flag(b"N")
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env.update(XDG_CONFIG_HOME=run.config, XDG_RUNTIME_DIR=run.config, QT_QPA_PLATFORM="offscreen",
                   XDG_STATE_HOME=os.path.join(run.dir, "state"))  # the accepted-line notes
        with open(self.out, "wb") as out, open(self.err, "wb") as err:
            self.proc = sp.Popen(list(wrapper) + [run.paths["ostrell"], "--headless", "--monitor"], env=env,
                                 stdout=out, stderr=err, stdin=sp.DEVNULL, cwd=run.dir)

    def quits(self):
        return open(self.out, "rb").read().count(b" S {quit}\n")

    def wait(self, cycles, seconds):
        until(lambda: self.quits() >= cycles or self.proc.poll() is not None, seconds)
        return self.quits() >= cycles

    def pid(self):
        """The agent's own pid: strace's child when traced."""
        try:
            children = "/proc/%d/task/%d/children" % ((self.proc.pid,) * 2)
            return int(open(children).read().split()[0]) if self.traced else self.proc.pid
        except (OSError, IndexError):
            return self.proc.pid

    def end(self):
        """Asks the agent to end the host's way, again and again (a save of its own may put back the copy
        it read before); its exit status, or None when it had to be killed. Notes its peak memory."""
        status = open("/proc/%d/status" % self.pid()).read() if self.proc.poll() is None else ""
        self.peak_kb = int(next(iter(re.findall(r"VmHWM:\s+(\d+)", status)), 0))
        until(lambda: self.run.end_flag(b"Y") or self.proc.poll() is not None, 20)
        status = self.proc.poll()
        for pid in dict.fromkeys([self.pid(), self.proc.pid] if status is None else []):
            os.kill(pid, signal.SIGKILL)  # the agent first: strace killed would let it run on
        self.proc.wait(timeout=10)
        return status


def life(run, c, wrapper=(), tag="first"):
    """One life up to the host's end request: it must finish its cycles, still run then and end on it, and
    stay under 96 MiB whatever the server sends."""
    agent = Agent(run, wrapper, tag)
    for k in range(c["churn"] * 40):  # another process's habit: truncate, write in two pieces, pause, next
        data = [run.good, run.good[:99], b"", run.good.replace(b"[Ostrell]", b"[Ostrell"), run.good * 2,
                b"\x00garbage\xff\n[Ostrell\nTimeOut\n=\n", run.good.replace(b"TimeOut=30", b"TimeOut=abc")][k % 7]
        rewrite_in_place(run.ini, data, len(data) // 2, 0.003)
        time.sleep(0.02)
    if not agent.wait(max(1, c["cycles"]), c["budget"]) and c["cycles"]:
        run.problems.append("%s life: %d of %d cycles in %d s" % (tag, agent.quits(), c["cycles"], c["budget"]))
    alive, status = agent.proc.poll() is None, agent.end()
    if not alive or status != 0 or agent.peak_kb > 96 * 1024:
        run.problems.append("%s life: %s, status %r, peak %d KiB" % (tag, ["gone", "alive"][alive], status,
                                                                      agent.peak_kb))


def run_case(root, paths, c):
    run = Run(root, paths, c["part"])
    try:
        run.start(SIM_DATA + list(c["sim"]))
        if c["part"] == "crash":
            first = Agent(run, run.traced(c["kill"]))
            first.wait(99, c["budget"])
            run.hit = run.traced(False)[1] and first.proc.poll() is not None
            first.end()
            if run.hit:
                life(run, case("crash", "restart"), tag="second")
        else:
            life(run, c)
        run.hit = run.hit and (not c["fires"] or run.fired(c["fires"]))
        run.stop()
        acks = run.check(in_flight=c["in_flight"]) if run.hit and not c["churn"] else c["acks"]
        run.problems += ["%d records acknowledged, %d wanted" % (acks, c["acks"])] if acks < c["acks"] else []
    finally:
        run.stop()
    if not run.problems:
        shutil.rmtree(run.dir, ignore_errors=True)
    return run


def scenarios(root, paths, parts, args, log):
    """A clean traced cycle gives the crash points and the request lines; then every case, four at a time."""
    ref = Run(root, paths, "reference")
    ref.start(SIM_DATA)
    life(ref, case("reference", "clean cycle"), ref.traced())
    ref.stop()
    acks, points, counts, calls = ref.check(), [], {}, ref.traced(False)[0]
    for _, call, text in (c for c in calls if c[0] == calls[0][0]):  # the main thread: strace counts per process
        counts[call] = counts.get(call, 0) + 1
        if "open" not in call or re.search(r"O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|O_APPEND", text.split(")")[0]):
            name = re.match(r"\d+<([^>]*)>" if call[0] in "wfp" else r'[^"]*"([^"]*)"', text)
            points.append((call, counts[call], os.path.basename(name.group(1)) if name else "?"))
    ledger = [l.split("\t") for l in open(os.path.join(ref.dir, "ledger.txt"), encoding="latin-1").read().splitlines()]
    lines = [f[2] for f in ledger if f[:2] == ["RECV", "1"]]
    log("reference cycle: %d records acknowledged, %d crash points, %d request lines" % (acks, len(points), len(lines)))
    ref.problems += ["the reference cycle fell short"] if acks < ALL or len(points) < 20 or len(lines) < 10 else []
    sample = min(len(points), args.sample or (10 if args.fast else len(points)))
    results = {p: [p, 0, 0, [("reference cycle", text) for text in ref.problems]] for p in parts}
    with ThreadPoolExecutor(4) as pool:
        todo = [c for p in parts for c in cases(p, points, lines, args.fast, sample)]
        for c, future in [(c, pool.submit(run_case, root, paths, c)) for c in todo]:
            try:
                run = future.result()
            except Exception as e:  # a runner fault is a finding of its own, never a pass
                run = Run(root, paths, "failed")
                run.problems.append("runner failed: %r" % e)
            r = results[c["part"]]
            r[1 if run.hit else 2] += 1
            r[3] += [(c["name"], text) for text in run.problems]
            log("%s %s: %s" % (c["part"], c["name"], "; ".join(run.problems) or ("ok" if run.hit else "not hit")))
    for r in results.values():  # 90 % of a part's faults must be reached, or it proved little
        r[3] += short_of_minimum(r[1], r[1] + r[2])
    return list(results.values())


def sweep(root, paths, mode):
    """Power loss (or a kill) before every file operation and request line of a cycle on the fakes."""
    run = Run(root, paths, mode)
    for name, content in OUTGOING.items():
        replace(os.path.join(run.before, name), content)
    r = sp.run([paths["rel_check"], "--sweep", mode, run.dir] + SIM_DATA, capture_output=True, timeout=1200)
    text = (r.stdout + r.stderr).decode("latin-1")
    m = re.search(r"points hit (\d+) not hit (\d+)", text)
    found = [(mode, l) for l in text.splitlines() if ": " in l and not l.endswith(": not hit")]
    found += [(mode, "status %d" % r.returncode)] if r.returncode and not found else []
    hit, not_hit = (int(m.group(1)), int(m.group(2))) if m else (0, 0)
    found += short_of_minimum(hit, hit + not_hit)
    return [mode, hit, not_hit, found]


def fuzz(build, seconds, log):
    """Builds the fuzzers with clang beside the main build and runs each for `seconds`."""
    work, runs, found = os.path.join(build, "fuzz-build"), 0, []
    sp.run(["cmake", "-S", ROOT, "-B", work, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DOSTRELL_FUZZ=ON",
            "-DCMAKE_CXX_COMPILER=clang++", "-DOSTRELL_BUILD_TESTS=OFF", "-DOSTRELL_BUILD_BENCH=OFF"] +
           ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"] * bool(shutil.which("ccache")), check=True, capture_output=True)
    sp.run(["cmake", "--build", work, "--target"] + FUZZERS, check=True, capture_output=True)
    for target in FUZZERS:
        corpus = os.path.join(work, "corpus", target)
        os.makedirs(corpus, exist_ok=True)
        r = sp.run([os.path.join(work, "fuzz", target), "-max_total_time=%d" % seconds, "-print_final_stats=1",
                    "-max_len=4096", "-timeout=10", "-rss_limit_mb=1024", "-artifact_prefix=" + work + "/", corpus,
                    os.path.join(ROOT, "fuzz", "corpus", target)], capture_output=True, timeout=seconds + 300)
        text = r.stderr.decode("latin-1")
        n = int((re.findall(r"stat::number_of_executed_units: *(\d+)", text) or ["0"])[-1])
        log("fuzz %s: %d executions, status %d" % (target, n, r.returncode))
        runs += n
        found += [(target, " / ".join(re.findall(r"^.*(?:ERROR|property failed|written to).*$", text, re.M)))] \
            if r.returncode or n == 0 else []
    return ["fuzz runs", runs, 0, found]


# --- Part "hostfiles": the host's habits with outgoing files, against the real agent ---------------------------
# Bookings.csv only; before/ gets every line the host wrote. Besides U, an accepted line the host never wrote and
# more acceptances than lines beyond one per stop are violations.

def host_line(n):
    return "H%d,2027-01-02,x%d" % (n, n)


def host_start(run, sim, lines):
    run.start(sim, TimeOut=1)
    for d, name in ((d, n) for d in (run.data, run.before) for n in OUTGOING):
        os.unlink(os.path.join(d, name))
    run.host = [host_line(n) for n in range(lines)]
    for d in (run.data, run.before):
        replace(os.path.join(d, "Bookings.csv"), "".join(l + "\r\n" for l in run.host).encode())


def host_write(run, line):
    """One line the host appends to data/Bookings.csv (open, write, close), noted in before/."""
    run.host.append(line)
    for d in (run.data, run.before):
        with open(os.path.join(d, "Bookings.csv"), "ab") as f:
            f.write((line + "\r\n").encode())
    return time.time()


def host_accepted(run):
    text = open(os.path.join(run.dir, "ledger.txt"), encoding="latin-1").read()
    return [l.split("\t")[3] for l in text.splitlines() if l.startswith("ACCEPT\t") and l.count("\t") >= 3]


def host_verdict(run, stops=0):
    accepted, whole = host_accepted(run), {"6|" + l.replace(",", "|") for l in run.host}
    run.problems += ["accepted, never written whole: " + a for a in accepted if a not in whole]
    extra = len(accepted) - len(set(accepted))
    run.problems += ["%d acceptances beyond the lines, %d stops" % (extra, stops)] if extra > stops else []
    run.check(in_flight=stops)  # each stop may leave the one record whose reply was not yet noted


def appends_during_cut_down(run, seconds):
    """A host line every 10 ms while strace holds each rename and delete of Bookings.csv for 150 ms (the agent
    refuses no line, but the server answers BAD now and then, so files are cut down as well as deleted).
    Points: the held renames and deletes; hit: those a host line was written during."""
    calls = "rename,renameat,renameat2,unlink,unlinkat"
    files = [os.path.join(run.data, "Bookings.csv" + p) for p in ("", ".ostrell-tmp")]
    agent = Agent(run, strace(run.trace, calls, files, "-T", "-e", "inject=%s:delay_enter=150000" % calls))
    written = [time.time()]
    while written[-1] < written[0] + seconds:
        written.append(host_write(run, host_line(len(written))))
        time.sleep(0.01)
    agent.wait(agent.quits() + 3, 30)
    agent.end()
    held = [(float(t), float(t) + float(d)) for t, d in re.findall(r"^\d+ +([\d.]+) \w+\(.*<([\d.]+)>$",
                                                                     open(run.trace).read(), re.M)]
    held = [(a, b) for a, b in held if written[0] <= a and b <= written[-1]]  # while the host wrote
    return len(held), sum(1 for a, b in held if any(a <= w <= b for w in written))


def stops_in_mid_file(run, rounds):
    """Lives that each end, while Bookings.csv is half sent, by the end request, SIGTERM, SIGINT, SIGHUP or
    SIGKILL; a last life finishes. Points: the stops; hit: those made with the file half sent."""
    ways, hit = ["EndFlag", signal.SIGTERM, signal.SIGINT, signal.SIGHUP, signal.SIGKILL] * rounds, 0
    for k, way in enumerate(sorted(ways, key=lambda w: w == "EndFlag")):
        agent, before = Agent(run, tag="stop%d" % k), len(set(host_accepted(run)))
        until(lambda: len(set(host_accepted(run))) >= before + 8 or agent.proc.poll() is not None, 30)
        if way == "EndFlag":
            agent.end()
        else:
            os.kill(agent.proc.pid, way)
            agent.proc.wait(timeout=20)
        half_sent = 0 < len(set(host_accepted(run))) < len(run.host)
        hit += 1 if half_sent and os.path.exists(os.path.join(run.data, "Bookings.csv")) else 0
    last = Agent(run, tag="last")
    until(lambda: not os.path.exists(os.path.join(run.data, "Bookings.csv")) or last.proc.poll() is not None, 60)
    last.end()
    return len(ways), hit


def host_files(root, paths, fast, log):
    """The host-files cases; a case with under 90 % of its points hit fails."""
    seconds, rounds, total = (10, 1, [0, 0, []]) if fast else (30, 2, [0, 0, []])
    for name, work, sim, lines, stops in [
            ("host appends during cut-down", lambda r: appends_during_cut_down(r, seconds),
             [a for n in range(5, seconds * 100, 23) for a in ("--bad", "6:%d" % n)], 0, 0),
            ("stop and crash in mid-file", lambda r: stops_in_mid_file(r, rounds), ["--delay-ms", "40"], 600,
             5 * rounds)]:
        run, points, hit = Run(root, paths, "hostfiles"), 0, 0
        try:
            host_start(run, sim, lines)
            points, hit = work(run)
            run.stop()
            host_verdict(run, stops)
        except Exception as e:  # a runner fault is a finding of its own
            run.problems.append("runner failed: %r" % e)
        finally:
            run.stop()
        run.problems += ["%d of %d points hit" % (hit, points)] if hit < max(1, 0.9 * points) else []
        log("hostfiles %s: %d points, %d hit; %s" % (name, points, hit, "; ".join(run.problems) or "ok"))
        total = [total[0] + hit, total[1] + points - hit, total[2] + [(name, p) for p in run.problems]]
        if not run.problems:
            shutil.rmtree(run.dir, ignore_errors=True)
    return ["hostfiles"] + total


def main():
    all_parts = ["crash", "network", "settings", "powerloss", "kill", "fuzz", "hostfiles"]
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.environ.get("OSTRELL_BUILD_DIR", "build"))
    ap.add_argument("--part", action="append", choices=all_parts)
    ap.add_argument("--fast", action="store_true", help="each part's short form (10 crash points), for ctest")
    ap.add_argument("--sample", type=int, help="crash points to try, evenly spread (default: all)")
    ap.add_argument("--fuzz-seconds", type=int, help="time per fuzz target (default 60; --fast 3)")
    args = ap.parse_args()
    build, parts = os.path.abspath(args.build), args.part or all_parts
    paths = {"ostrell": build + "/src/app/ostrell", "veltrana-sim": build + "/tools/veltrana-sim/veltrana-sim",
             "rel_check": build + "/tests/reliability/rel_check"}
    if parts != ["fuzz"] and not all(os.access(p, os.X_OK) for p in paths.values()):
        return print("not built: " + " ".join(paths.values())) or 2
    log = lambda text: print(text, flush=True)  # noqa: E731
    root, started = tempfile.mkdtemp(prefix="ostrell-reliability."), time.monotonic()
    live = [p for p in parts if p in ("crash", "network", "settings")]
    results = (scenarios(root, paths, live, args, log) if live else []) + [
        sweep(root, paths, mode) for mode in ("powerloss", "kill") if mode in parts] + (
        [fuzz(build, args.fuzz_seconds or (3 if args.fast else 60), log)] if "fuzz" in parts else []) + (
        [host_files(root, paths, args.fast, log)] if "hostfiles" in parts else [])
    log("\n%-10s %10s %8s %10s" % ("part", "hit", "not hit", "violations"))
    for name, hit, not_hit, violations in results:
        for where, text in violations:
            log("VIOLATION %s [%s]: %s" % (name, where, text))
        log("%-10s %10d %8d %10d" % (name, hit, not_hit, len(violations)))
    failed = any(r[3] for r in results)
    log("%.0f s; %s" % (time.monotonic() - started, "failed runs kept under " + root if failed else "passed"))
    if not failed:
        shutil.rmtree(root, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
