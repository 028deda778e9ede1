#!/usr/bin/env python3
"""A whole `vanto pay` process against a `vanto sandbox` on loopback, beside curl posting a body of
the same size to the same sandbox, each a fresh process: wall and CPU time (the children's user
and system time), medians of interleaved runs. Prints a ratio line for each, held to 1.5, in the
form the other benchmarks print, and exits 1 when one passes 2.25 (the bound and half again).

    bench_startup.py VANTO [RUNS]
"""
import json
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

BOUND = 1.5
FAIL = BOUND * 1.5


def timed(argv, stdin):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    done = subprocess.run(argv, input=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          check=False, timeout=60)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return done.returncode, wall * 1000, cpu * 1000


def verdict(ratio):
    return "within" if ratio <= BOUND else "over" if ratio <= FAIL else "FAIL"


def main():
    vanto = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 30
    with tempfile.TemporaryDirectory() as folder:
        pem = os.path.join(folder, "sandbox.pem")
        sandbox = subprocess.Popen([vanto, "sandbox", "--cert-out", pem], stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, text=True)
        try:
            authority = json.loads(sandbox.stdout.readline())["vanto_sandbox"]["authority"]
            licence = os.path.join(folder, "licence")
            with open(os.open(licence, os.O_WRONLY | os.O_CREAT, 0o600), "w") as out:
                out.write("sandbox-signing-credential\n")
            # The sandbox's public test card, on standard input as the command wants card data.
            card = b"4000000000000002\n12/39\n123\n"
            body = "datoEntrada=" + "x" * 1000
            figures = {"vanto_pay": [], "curl_post": []}
            for run in range(runs):
                code, wall, cpu = timed(
                    [vanto, "pay", "--environment", "test", "--gateway", authority, "--trust", pem,
                     "--license-file", licence, "--card", "-", "--expiry", "-", "--cvv", "-",
                     "--amount", "5", "--order", "STRT%06d" % run, "--no-journal"], card)
                if code != 0:
                    print("vanto pay exited %d" % code, file=sys.stderr)
                    return 1
                figures["vanto_pay"].append((wall, cpu))
                code, wall, cpu = timed(
                    ["curl", "-s", "--cacert", pem, "-o", os.devnull, "-H",
                     "Content-Type: application/x-www-form-urlencoded", "--data-binary", body,
                     "https://%s/zel/virtualControllerV2/pagoVirtual" % authority], None)
                if code != 0:
                    print("curl exited %d" % code, file=sys.stderr)
                    return 1
                figures["curl_post"].append((wall, cpu))
        finally:
            sandbox.terminate()
            sandbox.wait(timeout=30)
    status = 0
    for index, kind in enumerate(("wall", "cpu")):
        medians = {name: statistics.median(f[index] for f in runs_)
                   for name, runs_ in figures.items()}
        for name, value in medians.items():
            print("%s %s median %.1f ms" % (name, kind, value))
        ratio = medians["vanto_pay"] / medians["curl_post"]
        print("ratio vanto_pay_%s / curl_post_%s = %.3f bound %g fail %g verdict %s"
              % (kind, kind, ratio, BOUND, FAIL, verdict(ratio)))
        status = status or (1 if verdict(ratio) == "FAIL" else 0)
    return status


if __name__ == "__main__":
    sys.exit(main())
