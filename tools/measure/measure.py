#!/usr/bin/env python3
# The demo's measurements, each runnable alone: the frame benchmark, the tick
# rate of the unchanged program, start-up to the first swap, our own share of a
# frame's instructions, and the memory soak. `all` runs the first four and
# prints one table. Everything runs under a private Xvfb at 1280x720x24.
import argparse
import math
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ.get("MARROWBY_MEASURE_BUILD", os.path.join(ROOT, "build", "measure"))
DATA = os.path.join(ROOT, "data")  # --data names another folder: a candidate art set
NOMINAL_FPS = 1000.0 / 15.0
TARGETS = ["marrowby", "swap_timer", "minimal_glut", "bench_frame"]


def exe(name):
    paths = {
        "marrowby": "marrowby",
        "minimal_glut": "tools/measure/minimal_glut",
        "bench_frame": "tools/bench-frame/bench_frame",
        "swap_timer": "tools/swap-timer/libswap_timer.so",
    }
    return os.path.join(BUILD, paths[name])


def build():
    # Release, the tools on, the tests off: the program measured is the one shipped.
    subprocess.run(["cmake", "--preset", "measure", "-B", BUILD], cwd=ROOT, check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", BUILD, "-j2", "--target"] + TARGETS,
                   check=True, stdout=subprocess.DEVNULL)


def percentile(values, p):
    # Nearest rank: the smallest value with at least p of the samples at or below it.
    v = sorted(values)
    return v[max(math.ceil(p * len(v)), 1) - 1]


def load():
    text = "%.2f %.2f %.2f" % os.getloadavg()
    if os.nice(0) != 0:
        text += " (measured at nice %d)" % os.nice(0)
    return text


def program_env(swap_log):
    env = dict(os.environ)
    env["LD_PRELOAD"] = exe("swap_timer")
    env["MARROWBY_SWAP_LOG"] = swap_log
    # No sound card here: the music plays into SDL's dummy device, still decoded.
    env.setdefault("SDL_AUDIODRIVER", "dummy")
    return env


def stop(proc):
    # SDL turns SIGTERM into a quit event the demo never reads: only SIGKILL ends it.
    proc.kill()
    proc.wait()


def read_swaps(path):
    try:
        with open(path) as f:
            return [int(line) for line in f if line.strip()]
    except FileNotFoundError:
        return []


def run_with_swaps(program, seconds_after_first, tmp):
    """Starts program in data/, lets it run until seconds_after_first past its
    first swap, ends it; returns (start ns, swap times ns, process)."""
    log = os.path.join(tmp, "swaps-%s-%d.txt" % (os.path.basename(program), time.monotonic_ns()))
    env = program_env(log)
    start = time.monotonic_ns()
    proc = subprocess.Popen([program], cwd=DATA, env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 60
    while not read_swaps(log):
        if proc.poll() is not None or time.monotonic() > deadline:
            proc.kill()
            proc.wait()
            sys.exit("%s never swapped (status %s)" % (program, proc.returncode))
        time.sleep(0.002)
    time.sleep(max(0.0, seconds_after_first - (time.monotonic_ns() - read_swaps(log)[0]) / 1e9))
    stop(proc)
    return start, read_swaps(log), proc


def rate(swaps, skip, seconds):
    """Frames per second and intervals (ms) over `seconds` of swaps, from `skip`
    seconds after the first swap (start-up's lazily compiled shader variants)."""
    t0 = swaps[0] + skip * 1e9
    window = [t for t in swaps if t0 <= t <= t0 + seconds * 1e9]
    if len(window) < 3:
        sys.exit("only %d swaps in the window: the program stalled" % len(window))
    intervals = [(b - a) / 1e6 for a, b in zip(window, window[1:])]
    fps = (len(window) - 1) / ((window[-1] - window[0]) / 1e9)
    return fps, intervals


def tickrate(args, tmp):
    results = {}
    for name in ("marrowby", "minimal_glut"):
        _, swaps, _ = run_with_swaps(exe(name), args.skip + args.seconds + 0.5, tmp)
        fps, intervals = rate(swaps, args.skip, args.seconds)
        results[name] = {
            "fps": fps,
            "ratio": fps / NOMINAL_FPS,
            "median": statistics.median(intervals),
            "p99": percentile(intervals, 0.99),
            "max": max(intervals),
        }
    return results


def print_tickrate(r, seconds):
    print("tick rate over %g s under Xvfb (nominal %.2f fps):" % (seconds, NOMINAL_FPS))
    for name, label in (("marrowby", "marrowby"), ("minimal_glut", "minimal GLUT, same timer")):
        x = r[name]
        print("  %-26s %6.2f fps  ratio %.4f  interval median %.2f ms  p99 %.2f ms  max %.2f ms"
              % (label, x["fps"], x["ratio"], x["median"], x["p99"], x["max"]))


def startup(args, tmp):
    times = {"marrowby": [], "minimal_glut": []}
    # Alternate the two, so that a change in load falls on both alike.
    for _ in range(args.runs):
        for name in times:
            start, swaps, _ = run_with_swaps(exe(name), 0.0, tmp)
            times[name].append((swaps[0] - start) / 1e6)
    return times


def print_startup(t):
    m, b = statistics.median(t["marrowby"]), statistics.median(t["minimal_glut"])
    print("start-up, process start to first swap, median of %d runs:" % len(t["marrowby"]))
    print("  marrowby       %7.1f ms   (runs: %s)" % (m, " ".join("%.0f" % x for x in t["marrowby"])))
    print("  minimal GLUT   %7.1f ms   (runs: %s)"
          % (b, " ".join("%.0f" % x for x in t["minimal_glut"])))
    print("  ratio %.2f" % (m / b))


def bench(args):
    cmd = [exe("bench_frame"), "--machine", "--frames", str(args.frames), "--data", DATA]
    out = subprocess.run(cmd, check=False, stdout=subprocess.PIPE, text=True)
    r = {}
    for line in out.stdout.splitlines():
        k, _, v = line.partition("=")
        r[k] = v
    if "a_median" not in r:
        sys.exit("bench_frame failed")
    return r


OTHER = "runtime (libc, libstdc++, ld.so)"

# Which objects are whose, by file name. Code valgrind finds in no file is
# llvmpipe's, compiled at run time: its shaders and rasteriser.
GROUPS = [
    ("own", re.compile(r"/bench_frame$")),
    ("own", re.compile(r"/libm\.so")),
    ("GL driver", re.compile(r"libGL|libglapi|libgallium|_dri\.so|libLLVM|libEGL|libgbm|"
                             r"libdrm|^\?\?\?$|^$")),
    ("X transport", re.compile(r"libX|libxcb|libxshmfence")),
]


def group_of(obj):
    for name, pattern in GROUPS:
        if pattern.search(obj):
            return name
    return OTHER


def parse_callgrind(path):
    """Self cost (Ir) per object from a callgrind output file, and the inclusive
    cost of the calls our own code makes into the C and C++ runtimes, which is
    ours too. A cost line after a calls= line is the callee's inclusive cost."""
    names = {}
    cost = {}
    own_calls_out = 0
    obj = ""
    callee = None
    after_call = False

    def name(line, key):
        m = re.match(key + r"=\((\d+)\)(?: (.*))?$", line)
        if not m:
            return line[len(key) + 1:]
        if m.group(2) is not None:
            names[m.group(1)] = m.group(2)
        return names.get(m.group(1), "")

    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("ob="):
                obj = name(line, "ob")
            elif line.startswith("cob="):
                callee = name(line, "cob")
            elif line.startswith("calls="):
                after_call = True
            elif line[:1].isdigit() or line[:1] in "+-*":
                fields = line.split()
                ir = int(fields[1]) if len(fields) >= 2 else 0
                if after_call:
                    target = obj if callee is None else callee
                    if group_of(obj) == "own" and group_of(target) == OTHER:
                        own_calls_out += ir
                    after_call = False
                    callee = None
                else:
                    cost[obj] = cost.get(obj, 0) + ir
    return cost, own_calls_out


def callgrind(args, tmp):
    out = os.path.join(tmp, "callgrind.out")
    cmd = ["valgrind", "--tool=callgrind", "--instr-atstart=no", "--dump-instr=no",
           "--callgrind-out-file=" + out, exe("bench_frame"), "--callgrind", "--data", DATA,
           "--frames", str(args.callgrind_frames), "--warmup", "3"]
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    cost, own_calls_out = parse_callgrind(out)
    groups = {}
    for obj, ir in cost.items():
        g = group_of(obj)
        groups[g] = groups.get(g, 0) + ir
    # The runtime work left over is the driver's own (its copies and clears).
    groups["own"] = groups.get("own", 0) + own_calls_out
    groups["GL driver"] = groups.get("GL driver", 0) + groups.pop(OTHER, 0) - own_calls_out
    total = sum(groups.values())
    return {"frames": args.callgrind_frames, "groups": groups, "total": total}


def print_callgrind(r):
    n = r["frames"]
    print("instructions per frame (callgrind, %d frames of the demo's frame, all threads;"
          " runtime calls counted for the side that made them):" % n)
    for g in ("own", "GL driver", "X transport"):
        ir = r["groups"].get(g, 0)
        print("  %-32s %14.0f  %6.3f%%" % (g, ir / n, 100.0 * ir / r["total"]))
    print("  %-32s %14.0f" % ("total", r["total"] / n))


def soak(args, tmp):
    log = os.path.join(tmp, "soak-swaps.txt")
    proc = subprocess.Popen([exe("marrowby")], cwd=DATA, env=program_env(log),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    page = os.sysconf("SC_PAGE_SIZE") // 1024
    samples = []
    start = time.monotonic()
    print("soak: %g s, RSS every %d s (load %s)" % (args.seconds, args.interval, load()), flush=True)
    try:
        for k in range(int(args.seconds // args.interval) + 1):
            time.sleep(max(0.0, start + k * args.interval - time.monotonic()))
            if proc.poll() is not None:
                sys.exit("soak: the demo ended early (status %s)" % proc.returncode)
            with open("/proc/%d/status" % proc.pid) as f:
                rss = int(re.search(r"VmRSS:\s+(\d+) kB", f.read()).group(1))
            samples.append((k * args.interval, rss))
            print("  %4d s  %8d kB" % samples[-1], flush=True)
    finally:
        stop(proc)
    swaps = read_swaps(log)
    base = [rss for t, rss in samples if t >= 60]
    growth = base[-1] - base[0] if base else float("nan")
    print("RSS at 1 min %d kB, at end %d kB: growth %+d kB (page %d kB), "
          "spread after 1 min %d kB; %d frames, load %s"
          % (base[0], base[-1], growth, page, max(base) - min(base), len(swaps), load()))
    return growth, page


def verdict(ok):
    return "met" if ok else "NOT met"


def run_all(args, tmp):
    load_before = load()
    b = bench(args)
    t = tickrate(args, tmp)
    s = startup(args, tmp)
    c = callgrind(args, tmp)
    load_after = load()
    am, bm, cm = float(b["a_median"]), float(b["b_median"]), float(b["c_median"])
    errs = sum(int(b[k + "_error_frames"]) for k in "abc")
    sm, sb = statistics.median(s["marrowby"]), statistics.median(s["minimal_glut"])
    own = 100.0 * c["groups"].get("own", 0) / c["total"]
    fps = t["marrowby"]["fps"]
    rows = [
        ("frame (a) demo, median / p99", "%.2f / %.2f ms" % (am, float(b["a_p99"])), "", ""),
        ("frame (b) floor, median / p99", "%.2f / %.2f ms" % (bm, float(b["b_p99"])), "", ""),
        ("frame (c) empty, median / p99", "%.2f / %.2f ms" % (cm, float(b["c_p99"])), "", ""),
        ("a/b (medians)", "%.3f" % (am / bm), "<= 1.15", verdict(am / bm <= 1.15)),
        ("a/c (medians)", "%.1f" % (am / cm), "", ""),
        ("GL errors in benchmark frames", str(errs), "0", verdict(errs == 0)),
        ("marrowby fps over %g s" % args.seconds,
         "%.2f (x%.4f of 66.67)" % (fps, fps / NOMINAL_FPS), ">= 65.33", verdict(fps >= 0.98 * NOMINAL_FPS)),
        ("  frame interval median / p99",
         "%.2f / %.2f ms" % (t["marrowby"]["median"], t["marrowby"]["p99"]), "", ""),
        ("minimal GLUT, same timer, fps", "%.2f" % t["minimal_glut"]["fps"], "", ""),
        ("start-up to first swap", "%.0f ms vs %.0f ms (x%.2f)" % (sm, sb, sm / sb), "<= x2",
         verdict(sm / sb <= 2)),
        ("own code share of a frame", "%.3f%% (%.0f of %.0f Ir)"
         % (own, c["groups"].get("own", 0) / c["frames"], c["total"] / c["frames"]), "< 2%",
         verdict(own < 2)),
    ]
    print("machine: %s, %d cores; %s; load %s before, %s after"
          % (cpu_name(), os.cpu_count(), b["renderer"], load_before, load_after))
    print("| Measure | Figure | Target | |")
    print("|---|---|---|---|")
    for r in rows:
        print("| %s | %s | %s | %s |" % r)


def cpu_name():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown CPU"


def main():
    p = argparse.ArgumentParser(description="Measures the demo under a private Xvfb.")
    p.add_argument("what", choices=["frame", "tickrate", "startup", "callgrind", "soak", "all"])
    p.add_argument("--no-build", action="store_true", help="use the build as it is")
    p.add_argument("--frames", type=int, default=500, help="benchmark frames per case")
    p.add_argument("--seconds", type=float, default=None,
                   help="tick-rate window (10) or soak length (600)")
    p.add_argument("--skip", type=float, default=1.0, help="seconds after the first swap not counted")
    p.add_argument("--runs", type=int, default=5, help="start-up runs of each program")
    p.add_argument("--callgrind-frames", type=int, default=10)
    p.add_argument("--interval", type=int, default=10, help="soak sampling period, seconds")
    p.add_argument("--data", default=None, help="the seven data files from this folder")
    p.add_argument("--nice", type=int, default=None,
                   help="run X server and programs at this nice value (negative needs root): "
                        "keeps other work on a shared machine from skewing the timings")
    args = p.parse_args()

    if os.environ.get("MARROWBY_MEASURE_XVFB") != "1":
        if not args.no_build:
            build()
        env = dict(os.environ, MARROWBY_MEASURE_XVFB="1")
        argv = [sys.executable, os.path.abspath(__file__)] + sys.argv[1:] + ["--no-build"]
        argv = ["bash", os.path.join(ROOT, "scripts", "with-xvfb")] + argv
        if args.nice is not None:
            argv = ["nice", "-n", str(args.nice)] + argv
        os.execvpe(argv[0], argv, env)

    global DATA
    if args.data:
        DATA = os.path.abspath(args.data)
    if args.seconds is None:
        args.seconds = 600 if args.what == "soak" else 10
    with tempfile.TemporaryDirectory() as tmp:
        if args.what == "frame":
            print("load %s" % load())
            r = subprocess.run([exe("bench_frame"), "--frames", str(args.frames), "--data", DATA])
            print("load %s" % load())
            sys.exit(r.returncode)
        elif args.what == "tickrate":
            print("load %s" % load())
            print_tickrate(tickrate(args, tmp), args.seconds)
            print("load %s" % load())
        elif args.what == "startup":
            print("load %s" % load())
            print_startup(startup(args, tmp))
            print("load %s" % load())
        elif args.what == "callgrind":
            print_callgrind(callgrind(args, tmp))
        elif args.what == "soak":
            growth, page = soak(args, tmp)
            sys.exit(0 if growth <= page else 1)
        else:
            run_all(args, tmp)


if __name__ == "__main__":
    main()
