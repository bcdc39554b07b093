#!/usr/bin/env python3
"""The reliability suite: the real agent against veltrana-sim on loopback under network faults, each run checked
by rel_check; its power-loss and kill sweeps on the fakes; the fuzzers. Prints per part the faults hit, those
not reached and the violations; exit status 1 on a violation, a part short of its minimums or a fuzzer crash.
  run.py --build DIR [--fast] [--part network|powerloss|kill|fuzz]... [--fuzz-seconds N]"""
import argparse, math, os, re, shutil, subprocess as sp, sys, tempfile, time  # noqa: E401
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
FUZZERS = ["fuzz_line_framer", "fuzz_record_conversion"]


def net(name, sim=(), budget=60, acks=0, in_flight=1):
    """A row: server options beyond SIM_DATA, the first naming the fault whose FAULT line proves the case was
    hit ("--drop-at-run": drop); the time the life has for a cycle; records acknowledged at the end; the
    records a life may leave in flight (accepted, then sent again)."""
    return dict(name=name, sim=sim, budget=budget, acks=acks, in_flight=in_flight,
                fires=sim[0][2:].split("-")[0] if sim else None)


def cases(lines, fast):
    at = lambda prefix: str(next((i + 1 for i, l in enumerate(lines) if l.startswith(prefix)), 2))  # noqa: E731
    ask, ack = at("10|"), at("12|")
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
        self.ini = os.path.join(self.config, "BKX.ini")
        list(map(os.makedirs, (self.config, self.data, self.before)))

    def start(self, options):
        for d, name in ((d, n) for d in (self.data, self.before) for n in OUTGOING):
            replace(os.path.join(d, name), OUTGOING[name])
        port_file = os.path.join(self.dir, "sim.port")
        with open(os.path.join(self.dir, "sim.out"), "wb") as out:
            self.sim = sp.Popen([self.paths["veltrana-sim"], "--port", "0", "--port-file", port_file, "--ledger",
                                 os.path.join(self.dir, "ledger.txt")] + options, stdout=out, stderr=out)
        until(lambda: os.path.exists(port_file) or self.sim.poll() is not None, 10)
        keys = dict(IPadd="127.0.0.1", IPport=int(open(port_file).read()), DataDir=self.data + "/", TimeOut=30,
                    LoNumber1=4711, LoNumber3=4712)
        replace(self.ini, ("[Ostrell]\n" + "".join("%s=%s\n" % kv for kv in keys.items()) +
                           "\n[Version]\nBrannhall=2.3.119\n\n[Application]\nEndFlag=N\n").encode())

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


def life(run, c):
    """One life of the built agent, headless, up to the host's end request: it must finish a cycle (reach its
    quit), still run then and end on the request (asked again and again: a save of its own may put back the
    copy it read before), and stay under 96 MiB whatever the server sends."""
    out, err = os.path.join(run.dir, "agent.out"), os.path.join(run.dir, "agent.err")
    run.end_flag(b"N")
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(XDG_CONFIG_HOME=run.config, XDG_RUNTIME_DIR=run.config, QT_QPA_PLATFORM="offscreen",
               XDG_STATE_HOME=os.path.join(run.dir, "state"))  # the accepted-line notes
    with open(out, "wb") as o, open(err, "wb") as e:
        proc = sp.Popen([run.paths["ostrell"], "--headless", "--monitor"], env=env, stdout=o, stderr=e,
                        stdin=sp.DEVNULL, cwd=run.dir)
    quit_seen = lambda: b" S {quit}\n" in open(out, "rb").read()  # noqa: E731
    until(lambda: quit_seen() or proc.poll() is not None, c["budget"])
    if not quit_seen():
        run.problems.append("no cycle in %d s" % c["budget"])
    alive = proc.poll() is None
    status = open("/proc/%d/status" % proc.pid).read() if alive else ""
    peak_kb = int(next(iter(re.findall(r"VmHWM:\s+(\d+)", status)), 0))
    until(lambda: run.end_flag(b"Y") or proc.poll() is not None, 20)
    status = proc.poll()
    if status is None:
        proc.kill()
    proc.wait(timeout=10)
    if not alive or status != 0 or peak_kb > 96 * 1024:
        run.problems.append("agent %s, status %r, peak %d KiB" % (["gone", "alive"][alive], status, peak_kb))


def run_case(root, paths, c):
    run = Run(root, paths, "network")
    try:
        run.start(SIM_DATA + list(c["sim"]))
        life(run, c)
        run.hit = not c["fires"] or run.fired(c["fires"])
        run.stop()
        acks = run.check(in_flight=c["in_flight"]) if run.hit else c["acks"]
        run.problems += ["%d records acknowledged, %d wanted" % (acks, c["acks"])] if acks < c["acks"] else []
    finally:
        run.stop()
    if not run.problems:
        shutil.rmtree(run.dir, ignore_errors=True)
    return run


def network(root, paths, fast, log):
    """A clean cycle gives the request lines the cases aim at; then every case, four at a time."""
    ref = Run(root, paths, "reference")
    ref.start(SIM_DATA)
    life(ref, net("clean cycle"))
    ref.stop()
    acks = ref.check()
    ledger = [l.split("\t") for l in open(os.path.join(ref.dir, "ledger.txt"), encoding="latin-1").read().splitlines()]
    lines = [f[2] for f in ledger if f[:2] == ["RECV", "1"]]
    log("reference cycle: %d records acknowledged, %d request lines" % (acks, len(lines)))
    ref.problems += ["the reference cycle fell short"] if acks < ALL or len(lines) < 10 else []
    r = ["network", 0, 0, [("reference cycle", text) for text in ref.problems]]
    with ThreadPoolExecutor(4) as pool:
        for c, future in [(c, pool.submit(run_case, root, paths, c)) for c in cases(lines, fast)]:
            try:
                run = future.result()
            except Exception as e:  # a runner fault is a finding of its own, never a pass
                run = Run(root, paths, "failed")
                run.problems.append("runner failed: %r" % e)
            r[1 if run.hit else 2] += 1
            r[3] += [(c["name"], text) for text in run.problems]
            log("network %s: %s" % (c["name"], "; ".join(run.problems) or ("ok" if run.hit else "not hit")))
    r[3] += short_of_minimum(r[1], r[1] + r[2])  # 90 % of the faults must be reached, or it proved little
    return [r]


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


def main():
    all_parts = ["network", "powerloss", "kill", "fuzz"]
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.environ.get("OSTRELL_BUILD_DIR", "build"))
    ap.add_argument("--part", action="append", choices=all_parts)
    ap.add_argument("--fast", action="store_true", help="each part's short form, for ctest")
    ap.add_argument("--fuzz-seconds", type=int, help="time per fuzz target (default 60; --fast 3)")
    args = ap.parse_args()
    build, parts = os.path.abspath(args.build), args.part or all_parts
    paths = {"ostrell": build + "/src/app/ostrell", "veltrana-sim": build + "/tools/veltrana-sim/veltrana-sim",
             "rel_check": build + "/tests/reliability/rel_check"}
    if parts != ["fuzz"] and not all(os.access(p, os.X_OK) for p in paths.values()):
        return print("not built: " + " ".join(paths.values())) or 2
    log = lambda text: print(text, flush=True)  # noqa: E731
    root, started = tempfile.mkdtemp(prefix="ostrell-reliability."), time.monotonic()
    results = (network(root, paths, args.fast, log) if "network" in parts else []) + [
        sweep(root, paths, mode) for mode in ("powerloss", "kill") if mode in parts] + (
        [fuzz(build, args.fuzz_seconds or (3 if args.fast else 60), log)] if "fuzz" in parts else [])
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
