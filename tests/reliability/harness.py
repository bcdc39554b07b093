"""Glue for the reliability runners: the test server and the real agent as child processes, the
settings file the host keeps for the agent, the outgoing files it leaves, and the invariant check.

Every wait here is bounded; every child is ended by its own pid when a run is over."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time

# The made-up work of one cycle: bookings and payments for two BK numbers, and outgoing files of which
# one is accepted in full, one cut down after a refused record, one given up at a "BAD" and one refused
# throughout (the server rules below).
SIM_DATA = ["--bookings", "4711:4", "--payments", "4711:2", "--bookings", "4712:2", "--payments", "4712:1",
            "--refuse", "4:3-7", "--bad", "7:2", "--refuse", "5:all"]
OUTGOING = {
    "Bookings.csv": b'"1001","2027-01-02","2027-01-05","Meyer, Anna",""\r\n"1002","2027-02-01","2027-02-03","Okafor","x"\r\n',
    "Prices.csv": b'PRC017,"Room 1, sea view",350,\r\nPRC018,"Room 2",300,\r\nPRC019,"Room 3",280,\r\nPRC020,"Suite",900,\r\n',
    "RoomTypes.csv": b'"R1","Double room, sea view","2"\r\n"R2","Single","1"\r\n"R3","Family","4"\r\n',
    "Deleted.csv": b'"B77",0,"2027-03-01"\r\n',
}
OUT_NAMES = ["Child", "EndDate", "Periods", "Prices", "Deleted", "Bookings", "RoomTypes"]
# Every file the agent may write in its data directory.
DATA_FILES = ([n + ".csv" for n in OUT_NAMES] + [n + ".csv.ostrell-tmp" for n in OUT_NAMES] +
              ["InBookings.csv", "Payment.csv", "VRXlogOUT.txt", "VRXlogOUT.txt.bak"])

END_WAIT_S = 14          # the end request is looked at every 10 s
RSS_LIMIT_KB = 96 * 1024  # what the agent may hold at most, whatever the server sends


class Paths:
    def __init__(self, build):
        self.build = os.path.abspath(build)
        self.agent = os.path.join(self.build, "src/app/ostrell")
        self.sim = os.path.join(self.build, "tools/veltrana-sim/veltrana-sim")
        self.check = os.path.join(self.build, "tests/reliability/rel_check")
        self.powerloss = os.path.join(self.build, "tests/reliability/rel_powerloss")

    def missing(self):
        return [p for p in (self.agent, self.sim, self.check, self.powerloss) if not os.access(p, os.X_OK)]


def stop(proc, grace=5):
    """Ends a child we started, by its pid: TERM, then KILL."""
    if proc is None or proc.poll() is not None:
        return
    try:
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait(timeout=grace)
    except ProcessLookupError:
        pass


class Sim:
    """veltrana-sim on a free loopback port with its own fsynced ledger."""

    def __init__(self, paths, workdir, options):
        self.ledger = os.path.join(workdir, "ledger.txt")
        port_file = os.path.join(workdir, "sim.port")
        self.out = open(os.path.join(workdir, "sim.out"), "wb")
        self.proc = subprocess.Popen([paths.sim, "--port", "0", "--port-file", port_file, "--ledger", self.ledger]
                                     + list(options), stdout=self.out, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if os.path.exists(port_file) and open(port_file).read().strip():
                self.port = int(open(port_file).read().strip())
                return
            if self.proc.poll() is not None:
                break
            time.sleep(0.02)
        stop(self.proc)
        raise RuntimeError("veltrana-sim did not start: " + open(os.path.join(workdir, "sim.out")).read())

    def close(self):
        stop(self.proc)
        self.out.close()


class Workspace:
    """A temporary home for one run: the settings file, the data directory, the snapshot of the
    outgoing files as the host left them, the server's ledger."""

    def __init__(self, root, name, outgoing=None, data_dir=None):
        self.dir = tempfile.mkdtemp(prefix=name + ".", dir=root)
        self.config = os.path.join(self.dir, "config")
        self.data = data_dir or os.path.join(self.dir, "data")
        self.before = os.path.join(self.dir, "before")
        for d in (self.config, self.data, self.before):
            os.makedirs(d, exist_ok=True)
        for name_, content in (OUTGOING if outgoing is None else outgoing).items():
            for d in (self.data, self.before):
                with open(os.path.join(d, name_), "wb") as f:
                    f.write(content)
        self.ini = os.path.join(self.config, "BKX.ini")

    def write_settings(self, port, timeout=30, extra_ostrell=None, end="N"):
        lines = ["[Ostrell]", "IPadd=127.0.0.1", "IPport=%d" % port, "DataDir=" + self.data.rstrip("/") + "/",
                 "TimeOut=%d" % timeout, "LoNumber1=4711", "LoNumber3=4712"]
        lines += extra_ostrell or []
        lines += ["", "[Version]", "Brannhall=2.3.119", "", "[Application]", "EndFlag=" + end, ""]
        replace_file(self.ini, "\n".join(lines).encode())

    def request_end(self):
        """The host's end request, written the way a careful host writes: whole file, renamed in."""
        try:
            text = open(self.ini, "rb").read()
        except OSError:
            text = b""
        if re.search(rb"^EndFlag=", text, re.M):
            text = re.sub(rb"^EndFlag=.*$", b"EndFlag=Y", text, flags=re.M)
        else:
            text += b"\n[Application]\nEndFlag=Y\n"
        replace_file(self.ini, text)

    def clear_end(self):
        """Takes back an end request left from an earlier life of the agent."""
        try:
            text = open(self.ini, "rb").read()
        except OSError:
            return
        if re.search(rb"^EndFlag=Y", text, re.M):
            replace_file(self.ini, re.sub(rb"^EndFlag=.*$", b"EndFlag=N", text, flags=re.M))

    def remove(self):
        shutil.rmtree(self.dir, ignore_errors=True)


def replace_file(path, data):
    tmp = path + ".host-tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def agent_env(ws):
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    env["XDG_CONFIG_HOME"] = ws.config
    env["XDG_RUNTIME_DIR"] = ws.config  # the one-agent-per-user lock: each workspace is its own user
    env["QT_QPA_PLATFORM"] = "offscreen"
    return env


class Agent:
    """The built ostrell program, headless, optionally under a wrapper (strace). Its monitor lines are
    read as they come; its memory is sampled while it runs."""

    def __init__(self, paths, ws, wrapper=None, tag="agent"):
        self.ws = ws
        ws.clear_end()
        self.out_path = os.path.join(ws.dir, tag + ".out")
        self.err_path = os.path.join(ws.dir, tag + ".err")
        self.err = open(self.err_path, "wb")
        self.lines = []
        self.max_rss_kb = 0
        self.started = time.monotonic()
        self.proc = subprocess.Popen((wrapper or []) + [paths.agent, "--headless", "--monitor"], env=agent_env(ws),
                                     stdout=subprocess.PIPE, stderr=self.err, stdin=subprocess.DEVNULL,
                                     cwd=ws.dir)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        self._sampler = threading.Thread(target=self._sample, daemon=True)
        self._sampler.start()

    def _read(self):
        with open(self.out_path, "wb") as out:
            for raw in self.proc.stdout:
                out.write(raw)
                # Monitor lines only, without the time stamp; a flood of them is not kept whole.
                if len(self.lines) < 20000:
                    self.lines.append(raw[20:].rstrip(b"\n").decode("latin-1"))

    def _program_pid(self):
        """The agent's own pid (the wrapper's child when wrapped)."""
        pid = self.proc.pid
        try:
            with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
                kids = f.read().split()
            if kids:
                return int(kids[0])
        except OSError:
            pass
        return pid

    def _sample(self):
        while self.proc.poll() is None:
            try:
                with open("/proc/%d/status" % self._program_pid()) as f:
                    for line in f:
                        if line.startswith("VmRSS:"):
                            self.max_rss_kb = max(self.max_rss_kb, int(line.split()[1]))
            except (OSError, ValueError):
                pass
            time.sleep(0.05)

    def count(self, text):
        return sum(1 for l in list(self.lines) if l == text)

    def wait_for(self, predicate, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if predicate():
                return True
            if self.proc.poll() is not None:
                return predicate()
            time.sleep(0.05)
        return predicate()

    def cycles_done(self):
        """Cycles that reached their quit line."""
        return self.count("S {quit}")

    def alive(self):
        return self.proc.poll() is None

    def end(self):
        """Ends the agent the host's way; gives its exit status, or None when it had to be killed."""
        if self.proc.poll() is None:
            self.ws.request_end()
            try:
                self.proc.wait(timeout=END_WAIT_S)
            except subprocess.TimeoutExpired:
                self.kill()
                return None
        self.finish()
        return self.proc.returncode

    def kill(self):
        # A wrapper (strace) that is stopped lets its child run on: the program goes first, by its pid.
        program = self._program_pid()
        if program != self.proc.pid and self.proc.poll() is None:
            try:
                os.kill(program, signal.SIGKILL)
            except ProcessLookupError:
                pass
        stop(self.proc, grace=2)
        self.finish()

    def finish(self):
        self._reader.join(timeout=5)
        self.err.close()

    def errors(self):
        """The lines the built-in error sink wrote to stderr."""
        try:
            text = open(self.err_path, "rb").read().decode("latin-1")
        except OSError:
            return []
        return [l for l in text.splitlines() if ": error " in l]


class Result:
    """What one part of the suite tried and found."""

    def __init__(self, name):
        self.name = name
        self.tried = 0       # cases whose fault was reached
        self.unreached = 0   # cases whose fault the run never came to: reported, not counted
        self.violations = []  # (case, text)
        self.notes = []
        self.extra = {}

    def add(self, case, problems):
        self.tried += 1
        for p in problems:
            self.violations.append((case, p))


def run_parallel(jobs, cases, fn):
    """Runs fn(case) for every case, at most `jobs` at once; results in case order."""
    results = [None] * len(cases)
    lock = threading.Lock()
    index = [0]

    def worker():
        while True:
            with lock:
                i = index[0]
                index[0] += 1
            if i >= len(cases):
                return
            try:
                results[i] = fn(cases[i])
            except Exception as e:  # a runner fault is a finding of its own, never a silent pass
                results[i] = ["runner failed: %r" % (e,)]

    threads = [threading.Thread(target=worker) for _ in range(max(1, jobs))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return results
