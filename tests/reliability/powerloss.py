"""Power loss and kills on the fake file layer: rel_powerloss runs a whole cycle of the real agent code
on the fakes, with the test server's protocol core behind the fake socket, and fails the power (or
kills the agent) before every write, fsync, rename and delete of it and before every line it sends."""

import re
import subprocess

import harness as h


def run_one(paths, name, extra):
    result = h.Result(name)
    r = subprocess.run([paths.powerloss] + extra, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
    out = r.stdout.decode("latin-1")
    m = re.search(r"points hit (\d+) of (\d+) violations (\d+)", out)
    if not m:
        result.violations.append(("rel_powerloss", "no summary (status %d): %s" % (r.returncode, out[-500:])))
        return result
    result.tried = int(m.group(1))
    result.unreached = int(m.group(2)) - result.tried
    case = None
    for line in out.splitlines():
        if line.startswith(("power-loss before", "kill before", "reference run")):
            case = line.split(":")[0]
            if line.startswith("reference run"):
                result.violations.append(("reference run", line.split(": ", 1)[1]))
        elif line.startswith("  ") and case:
            result.violations.append((case, line.strip()))
    if r.returncode != 0 and not result.violations:
        result.violations.append(("rel_powerloss", "exit status %d" % r.returncode))
    return result


def run(paths, log=print):
    results = [run_one(paths, "power-loss points (fake file layer)", []),
               run_one(paths, "kill points (fake file layer)", ["--kill"])]
    for r in results:
        log("%s: %d hit, %d violations" % (r.name, r.tried, len(r.violations)))
    return results
