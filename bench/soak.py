#!/usr/bin/env python3
"""Soak: about 10 GB of generated tokens through a FIFO into pelorand, and
its output through another FIFO back here, counted as it comes.

    bench/soak.py [--dir DIR]

Checks that pelorand exits 0 and silent, that the output holds exactly one
block per token, and that the accepted blocks number what the generator
counted while writing the tokens; prints the peak memory (from
/usr/bin/time -v) and the time taken. Not part of CI: it takes minutes.
"""
import argparse
import os
import re
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "bench")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--dir", default=os.path.join(BUILD, "soak"), help="working folder for the two FIFOs")
    args = ap.parse_args()
    subprocess.run(["cmake", "--preset", "bench"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", "--preset", "bench", "-j2"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)

    os.makedirs(args.dir, exist_ok=True)
    inp = os.path.join(args.dir, "pelorand.inp")
    out = os.path.join(args.dir, "pelorand.out")
    for path in (inp, out):
        if os.path.lexists(path):
            os.remove(path)
        os.mkfifo(path)

    start = time.monotonic()
    gen = subprocess.Popen([os.path.join(BUILD, "bench", "pelorand_gen"), "soak", inp],
                           stdout=subprocess.PIPE, text=True)
    prog = subprocess.Popen(["/usr/bin/time", "-v", os.path.join(BUILD, "pelorand")], cwd=args.dir,
                            stderr=subprocess.PIPE, text=True)

    counted = {"lines": 0, "accepted": 0, "bytes": 0}

    def count_output():
        tail = b"\n"  # a line "1" at the very start counts as well
        with open(out, "rb") as f:
            while True:
                chunk = f.read(1 << 20)
                if not chunk:
                    break
                counted["bytes"] += len(chunk)
                counted["lines"] += chunk.count(b"\n")
                both = tail + chunk
                counted["accepted"] += both.count(b"\n1\n") - tail.count(b"\n1\n")
                tail = both[-2:]

    reader = threading.Thread(target=count_output)
    reader.start()
    summary = gen.stdout.read()
    gen_status = gen.wait()
    _, time_text = prog.communicate()
    reader.join()
    elapsed = time.monotonic() - start

    fields = summary.split()
    made = dict(zip(fields[0::2], map(int, fields[1::2])))
    peak = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", time_text).group(1))
    messages = time_text.split("\tCommand being timed")[0].strip()
    blocks = counted["lines"] - counted["accepted"]  # an accepted block has two lines
    print("input: %.2f GB, %d tokens, %d accepted by the generator's count" %
          (made["bytes"] / 1e9, made["tokens"], made["accepted"]))
    print("output: %.2f GB, %d blocks, %d accepted" % (counted["bytes"] / 1e9, blocks, counted["accepted"]))
    print("time: %.0f s (generator included); pelorand peak memory: %.1f MiB" % (elapsed, peak / 1024))
    ok = (gen_status == 0 and prog.returncode == 0 and not messages and blocks == made["tokens"]
          and counted["accepted"] == made["accepted"])
    if messages:
        print("pelorand said: " + messages)
    print("soak: " + ("passed" if ok else "FAILED"))
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
