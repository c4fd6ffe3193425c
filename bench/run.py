"""Every benchmark of the project and the side-by-side runs against Debian's nginx and motion, in
one run on one machine; rewrites BENCHMARKS.md and BENCHMARKS-stream.svg. Started by bench/run.

Everything talks over 127.0.0.1 only, every step is bounded in time, and every process it starts
is ended by its own process id. --smoke runs each benchmark once at its smallest size and writes
nothing into the tree.
"""

import argparse
import datetime
import os
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "bench-release")
BIN = os.path.join(BUILD, "bench")
TARGETS = ["bench_encode_jpeg", "bench_pipeline", "stream_bench", "v4l2_frame_bench", "silent_clients_bench",
           "serve_bench", "http_load", "stream_watch", "tcp_throughput"]


def log(text):
    print(f"[bench/run {time.strftime('%H:%M:%S')}] {text}", flush=True)


def run(cmd, timeout, cwd=None):
    """Output of a command that must end within timeout seconds (its group is ended otherwise)."""
    with subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          start_new_session=True) as proc:
        try:
            out, _ = proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            out, _ = proc.communicate()
            out += f"\n(ended after {timeout} s)"
        return out


def fields(line):
    """The key value pairs of a benchmark's one-line report."""
    words = line.split()
    result = {}
    for key, value in zip(words[0::2], words[1::2]):
        try:
            result[key] = float(value)
        except ValueError:
            pass
    return result


def last_line(out, prefix):
    lines = [line for line in out.splitlines() if line.startswith(prefix)]
    return lines[-1] if lines else ""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return True
        except OSError:
            time.sleep(0.1)
    return False


def wait_for_log(path, text, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            with open(path, errors="replace") as f:
                if text in f.read():
                    return True
        except OSError:
            pass
        time.sleep(0.2)
    return False


class Server:
    """A server process started here, ended by its own pid (SIGTERM, then SIGKILL)."""

    def __init__(self, cmd, cwd, log_path):
        self.log = open(log_path, "w")
        self.proc = subprocess.Popen(cmd, cwd=cwd, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=self.log, text=True)

    def read_port(self, seconds=10):
        """For serve_bench: the port of its "port N" line."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            line = self.proc.stdout.readline()
            match = re.match(r"port (\d+)", line or "")
            if match:
                return int(match.group(1))
            if not line and self.proc.poll() is not None:
                return 0
        return 0

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.close()  # serve_bench ends when its input closes
            except OSError:
                pass
            try:
                self.proc.wait(timeout=3)
            except subprocess.TimeoutExpired:
                self.proc.send_signal(signal.SIGTERM)
                try:
                    self.proc.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    self.proc.kill()
                    self.proc.wait()
        self.log.close()


def summary(values, digits=1):
    """Median with the spread (lowest to highest) of several runs."""
    if not values:
        return "n/a"
    med = statistics.median(values)
    if len(values) == 1:
        return f"{med:.{digits}f}"
    return f"{med:.{digits}f} ({min(values):.{digits}f}-{max(values):.{digits}f})"


def ratio(ours, peer, digits=3):
    if not ours or not peer:
        return "n/a"
    a, b = statistics.median(ours), statistics.median(peer)
    return f"{a / b:.{digits}f}" if b else "n/a"


def machine():
    model = "unknown"
    with open("/proc/cpuinfo") as cpuinfo:
        for line in cpuinfo:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return {"cores": os.cpu_count(), "processor": model, "load": os.getloadavg()[0]}


def peer_version(cmd):
    try:
        out = run(cmd, 10)
    except OSError:
        return None
    match = re.search(r"(\d+\.\d+\.\d+)", out)
    return match.group(1) if match else None


def build():
    log("configuring and building the benchmarks in Release (build/bench-release)")
    subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-DCMAKE_BUILD_TYPE=Release", "-DBRIGHTOWL_TESTS=OFF",
                    "-DBRIGHTOWL_QT=OFF"], check=True, stdout=subprocess.DEVNULL)
    jobs = str(max(1, min(2, os.cpu_count() or 1)))
    subprocess.run(["cmake", "--build", BUILD, "-j", jobs, "--target", *TARGETS], check=True,
                   stdout=subprocess.DEVNULL)


# ---------------------------------------------------------------- the project's own benchmarks

def own_benchmarks(smoke):
    runs = []
    plan = [
        ("bench_encode_jpeg", ["3" if smoke else "300"], 300),
        ("bench_pipeline", ["1" if smoke else "10"], 120),
        ("v4l2_frame_bench", [], 180),
        ("silent_clients_bench", ["--clients", "5", "--seconds", "2" if smoke else "10"], 60),
        ("stream_bench slow viewer", ["--clients", "1", "--rate", "100000", "--seconds", "2" if smoke else "10"], 60),
    ]
    for name, args, timeout in plan:
        binary = os.path.join(BIN, name.split()[0])
        if not os.path.exists(binary):
            runs.append((name, args, "(not built here)"))
            continue
        log(f"{name} {' '.join(args)}")
        runs.append((name, args, run([binary, *args], timeout).strip()))
    return runs


def stream_fanout(smoke, counts, repeats):
    """stream_bench (the test pattern, encode-to-arrival delay measured inside) per number of viewers."""
    result = {}
    for clients in counts:
        result[clients] = []
        for _ in range(repeats):
            out = run([os.path.join(BIN, "stream_bench"), "--clients", str(clients), "--seconds",
                       "2" if smoke else "5"], 60)
            line = last_line(out, "clients")
            m = re.search(r"encoded ([\d.]+)/s \| pictures/client/s ([\d.]+) \| distinct share mean ([\d.]+).*"
                          r"new-picture delay ms median ([\d.]+) p99 ([\d.]+)", line)
            if m:
                encoded, pictures, share, delay, delay99 = map(float, m.groups())
                result[clients].append({"encoded": encoded, "pictures": pictures, "new": encoded * share,
                                        "delay": delay, "delay99": delay99})
        log(f"stream_bench {clients} viewers: {result[clients]}")
    return result


# ---------------------------------------------------------------- static files against nginx

NGINX_CONF = """daemon off;
master_process on;
worker_processes 1;
pid {dir}/nginx.pid;
error_log {dir}/error.log warn;
events {{ worker_connections 256; }}
http {{
    access_log off;
    client_body_temp_path {dir}/tmp;
    proxy_temp_path {dir}/tmp;
    fastcgi_temp_path {dir}/tmp;
    uwsgi_temp_path {dir}/tmp;
    scgi_temp_path {dir}/tmp;
    keepalive_timeout 0;
    server {{
        listen 127.0.0.1:{port};
        root {www};
    }}
}}
"""

FILES = [("10 KB", "10k.bin", 10 * 1024), ("1 MB", "1m.bin", 1024 * 1024)]


def static_files(tmp, smoke, repeats, seconds):
    www = os.path.join(tmp, "www")
    os.makedirs(www)
    for _, name, size in FILES:
        with open(os.path.join(www, name), "wb") as f:
            f.write(os.urandom(size))
    # nginx's worker runs as an unprivileged user: the folder must be readable to all.
    for path in (tmp, www):
        os.chmod(path, 0o755)
    ours = Server([os.path.join(BIN, "serve_bench")], tmp, os.path.join(tmp, "serve_static.log"))
    our_port = ours.read_port()
    nginx = None
    nginx_port = 0
    if shutil.which("nginx"):
        ndir = os.path.join(tmp, "nginx")
        os.makedirs(os.path.join(ndir, "tmp"))
        nginx_port = free_port()
        with open(os.path.join(ndir, "nginx.conf"), "w") as f:
            f.write(NGINX_CONF.format(dir=ndir, port=nginx_port, www=www))
        nginx = Server(["nginx", "-c", os.path.join(ndir, "nginx.conf"), "-p", ndir, "-e",
                        os.path.join(ndir, "error.log")], ndir, os.path.join(ndir, "out.log"))
        if not wait_for_port(nginx_port, 10):
            nginx_port = 0
    results = {}
    try:
        for label, name, size in FILES:
            for server, port in (("ours", our_port), ("nginx", nginx_port)):
                results.setdefault((label, server), [])
            for _ in range(repeats):
                # Alternate the two servers so that a change in the machine's load hits both.
                for server, port in (("ours", our_port), ("nginx", nginx_port)):
                    if not port:
                        continue
                    out = run([os.path.join(BIN, "http_load"), "--port", str(port), "--path", "/" + name,
                               "--clients", "8", "--seconds", str(seconds), "--expect", str(size)], seconds + 30)
                    line = last_line(out, "connect_failures")
                    log(f"{server} {label}: {line}")
                    if line:
                        results[(label, server)].append(fields(line))
    finally:
        ours.stop()
        if nginx:
            nginx.stop()
    return results


# ---------------------------------------------------------------- camera stream against motion

MOTION_CONF = """daemon off
setup_mode off
log_level 6
log_file {dir}/motion.log
target_dir {dir}/out
netcam_url file://{movie}
width {width}
height {height}
framerate {fps}
pause on
emulate_motion off
threshold 2147483647
noise_tune off
picture_output off
movie_output off
stream_port {port}
stream_localhost on
stream_maxrate 100
stream_quality {quality}
stream_motion off
stream_limit 0
webcontrol_port 0
"""

WIDTH, HEIGHT, FPS, QUALITY = 640, 480, 30, 35
# Long enough for viewers whose connection waited in a full listen queue (SYN sent again after 1 s, 3 s).
WARMUP = 4


def make_frames(tmp, seconds):
    """The same pictures for both servers: ffmpeg's moving test source as Motion-JPEG, once as the
    bare pictures (replayed by serve_bench) and once in an AVI file (read by motion)."""
    mjpeg = os.path.join(tmp, "frames.mjpeg")
    avi = os.path.join(tmp, "frames.avi")
    if not shutil.which("ffmpeg"):
        return None, None
    run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
         f"testsrc2=size={WIDTH}x{HEIGHT}:rate={FPS}", "-frames:v", str(FPS * seconds), "-c:v", "mjpeg",
         "-q:v", "3", "-f", "mjpeg", mjpeg], 120)
    run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "mjpeg", "-framerate", str(FPS), "-i", mjpeg,
         "-c", "copy", avi], 120)
    if not (os.path.exists(mjpeg) and os.path.exists(avi)):
        return None, None
    return mjpeg, avi


def watch(port, path, clients, seconds, pid):
    out = run([os.path.join(BIN, "stream_watch"), "--port", str(port), "--path", path, "--clients", str(clients),
               "--seconds", str(seconds), "--warmup", str(WARMUP), "--pid", str(pid)], seconds + 30)
    line = last_line(out, "clients")
    return fields(line) if line else None


def stream_side_by_side(tmp, smoke, counts, repeats, seconds):
    mjpeg, avi = make_frames(tmp, 3 if smoke else 40)
    results = {}
    notes = []
    if not mjpeg:
        notes.append("ffmpeg is missing: no frames to replay, so no side-by-side stream run.")
        return results, notes
    have_motion = shutil.which("motion") is not None
    if not have_motion:
        notes.append("motion is not installed here: only this server's figures.")
    for clients in counts:
        for _ in range(repeats):
            ours = Server([os.path.join(BIN, "serve_bench"), "--replay", mjpeg, "--fps", str(FPS), "--quality",
                           str(QUALITY)], tmp, os.path.join(tmp, "serve_stream.log"))
            port = ours.read_port()
            if port:
                time.sleep(1)
                figures = watch(port, "/video", clients, seconds, ours.proc.pid)
                if figures:
                    results.setdefault((clients, "ours"), []).append(figures)
            ours.stop()
            if not have_motion:
                continue
            figures = motion_run(tmp, avi, clients, seconds)
            if figures:
                results.setdefault((clients, "motion"), []).append(figures)
        log(f"stream {clients} viewers: ours {results.get((clients, 'ours'))} "
            f"motion {results.get((clients, 'motion'))}")
    return results, notes


def motion_run(tmp, avi, clients, seconds):
    """One measurement of a freshly started motion; a second start when the first served nothing."""
    for attempt in range(2):
        mdir = tempfile.mkdtemp(dir=tmp, prefix="motion-")
        os.makedirs(os.path.join(mdir, "out"))
        mport = free_port()
        with open(os.path.join(mdir, "motion.conf"), "w") as f:
            f.write(MOTION_CONF.format(dir=mdir, movie=avi, width=WIDTH, height=HEIGHT, fps=FPS, port=mport,
                                       quality=QUALITY))
        motion = Server(["motion", "-n", "-c", os.path.join(mdir, "motion.conf")], mdir,
                        os.path.join(mdir, "stderr.log"))
        figures = None
        # Viewers that come (or a probe connection that closes) before motion has a picture were
        # seen here to get nothing for good; its log says when the camera is connected, and it
        # gets a few seconds more.
        if wait_for_log(os.path.join(mdir, "motion.log"), "connected", 15):
            time.sleep(3)
            figures = watch(mport, "/", clients, seconds, motion.proc.pid)
        motion.stop()
        if figures and figures.get("served", 0) > 0:
            return figures
        log(f"motion served no picture (start {attempt + 1}): {figures}")
    return None


def loopback(smoke, repeats):
    values = []
    for _ in range(repeats):
        line = last_line(run([os.path.join(BIN, "tcp_throughput"), "--seconds", "1" if smoke else "3"], 30),
                         "gbytes_s")
        if line:
            values.append(fields(line)["gbytes_s"])
    return values


# ---------------------------------------------------------------- the report

def plot(path, counts, fanout, stream):
    if not shutil.which("gnuplot"):
        return False
    with tempfile.TemporaryDirectory() as tmp:
        data = os.path.join(tmp, "stream.dat")
        with open(data, "w") as f:
            f.write("# clients ours_new motion_new ours_delay ours_lag motion_lag\n")
            for c in counts:
                def med(key, server):
                    values = [r[key] for r in stream.get((c, server), []) if key in r]
                    return f"{statistics.median(values):.2f}" if values else "NaN"
                delays = [r["delay"] for r in fanout.get(c, [])]
                f.write(f"{c} {med('new_per_client_s', 'ours')} {med('new_per_client_s', 'motion')} "
                        f"{statistics.median(delays) if delays else 'NaN'} {med('lag_p50_ms', 'ours')} "
                        f"{med('lag_p50_ms', 'motion')}\n")
        script = f"""set terminal svg size 900,420 dynamic font "sans,12"
set output "{path}"
set multiplot layout 1,2
set logscale x
set xrange [0.8:70]
set xtics ({", ".join(str(c) for c in counts)})
set key below
set xlabel "viewers"
set grid
set title "new pictures per second, per viewer"
set yrange [0:*]
plot "{data}" using 1:2 with linespoints lw 2 pt 7 title "Brightowl", "{data}" using 1:3 with linespoints lw 2 pt 7 title "motion"
set title "delay (ms)"
plot "{data}" using 1:4 with linespoints lw 2 pt 7 title "Brightowl: encoded to received (median)", \\
     "{data}" using 1:5 with linespoints lw 2 pt 7 title "Brightowl: fan-out lag (median)", \\
     "{data}" using 1:6 with linespoints lw 2 pt 7 title "motion: fan-out lag (median)"
unset multiplot
"""
        script_path = os.path.join(tmp, "plot.gp")
        with open(script_path, "w") as f:
            f.write(script)
        run(["gnuplot", script_path], 60)
    return os.path.exists(path)


def report(info, static, stream, stream_notes, counts, fanout, tcp, own, versions, repeats, seconds, stream_seconds,
           plotted):
    nginx, motion = versions.get("nginx"), versions.get("motion")
    out = []
    w = out.append
    w("# Benchmarks\n")
    w(f"Written by `bench/run` on {info['date']} on this machine: {info['cores']} cores, {info['processor']}, "
      f"load average {info['load']:.1f} when the run began (the machine is shared with other builds). Every "
      "comparison is a pair measured in the same run, alternating the two sides; each figure is the median of "
      f"{repeats} runs with the spread (lowest-highest) in brackets. Run `bench/run` to measure again "
      "(about 10 minutes); `bench/run --smoke` checks that every benchmark still works, without writing this file. "
      "Everything talks over 127.0.0.1 only. No figure here is a test: nothing fails on a timing.\n")

    w(f"## Static files: Brightowl against nginx {nginx or '(not installed)'}\n")
    w(f"The same `www/` folder (a 10 KB and a 1 MB file of random bytes) served by `serve_bench` (the real "
      f"`ServerController`, with the test pattern streaming as in the program) and by Debian's nginx (one worker, "
      f"no access log, no keep-alive, in the foreground with a generated configuration). Load: `http_load`, 8 "
      f"clients, each sending one HTTP/1.0 GET per connection and reading until the server closes, for {seconds} s; "
      "an answer counts only with the 200 status line and the whole file. wrk is not used: it speaks HTTP/1.1 and "
      "takes a closed connection as an error. Times are connect to close.\n")
    w("| file | figure | Brightowl | nginx | ratio Brightowl / nginx |")
    w("|---|---|---|---|---|")
    for label, _, _ in FILES:
        a, b = static.get((label, "ours"), []), static.get((label, "nginx"), [])
        for key, name, digits in (("rps", "answers / s", 1), ("p50_ms", "median ms", 2), ("p99_ms", "p99 ms", 2),
                                  ("max_ms", "max ms", 1)):
            va, vb = [r[key] for r in a], [r[key] for r in b]
            w(f"| {label} | {name} | {summary(va, digits)} | {summary(vb, digits)} | {ratio(va, vb)} |")
        fa = [r["failures"] for r in a]
        fb = [r["failures"] for r in b]
        w(f"| {label} | failed answers | {summary(fa, 0)} | {summary(fb, 0)} | |")
    w("")
    w(f"## Camera stream: Brightowl against motion {motion or '(not installed)'}\n")
    w(f"Both servers get the same pictures: ffmpeg's moving `testsrc2` at {WIDTH}x{HEIGHT}, {FPS} frames a second, "
      "as Motion-JPEG. motion reads the AVI file (`netcam_url file://...`, detection paused, threshold at its "
      "maximum, no picture or movie output, stream on 127.0.0.1 only, `stream_maxrate 100`); Brightowl's "
      "`serve_bench --replay` loops the same pictures as an MJPG camera would deliver them through the real capture "
      f"path. Both re-encode every frame at quality {QUALITY}. `stream_watch` opens N viewers that read as fast as "
      f"they can for {stream_seconds} s after a {WARMUP} s warm-up. A new picture is one that differs from the one before on the "
      "same connection (both servers send the newest picture again when nothing new has come); fan-out lag is how "
      "long after its first delivery to any viewer a new picture reached each other viewer (0 with one viewer); "
      "CPU is the server process's own (`/proc/<pid>/stat`, all its threads: decoding, encoding, sending) per new "
      "picture delivered (summed over the viewers) and per picture delivered (repeats included).\n")
    w("| viewers | figure | Brightowl | motion | ratio Brightowl / motion |")
    w("|---|---|---|---|---|")
    for c in counts:
        a, b = stream.get((c, "ours"), []), stream.get((c, "motion"), [])
        for key, name, digits in (("served", "viewers that got pictures", 0),
                                  ("new_per_client_s", "new pictures / s per viewer", 2),
                                  ("pictures_per_client_s", "pictures / s per viewer", 1),
                                  ("lag_p50_ms", "fan-out lag median ms", 1), ("lag_p99_ms", "fan-out lag p99 ms", 1),
                                  ("cpu_ms_per_new", "server CPU ms per new picture delivered", 3),
                                  ("cpu_ms_per_picture", "server CPU ms per picture delivered", 3),
                                  ("mbytes_s", "stream MB/s, all viewers", 1)):
            va, vb = [r[key] for r in a if key in r], [r[key] for r in b if key in r]
            w(f"| {c} | {name} | {summary(va, digits)} | {summary(vb, digits)} | {ratio(va, vb)} |")
    for note in stream_notes:
        w(f"\n{note}")
    w("")
    if plotted:
        w("![new pictures per second and delay against the number of viewers](BENCHMARKS-stream.svg)\n")
    w("### Delay inside Brightowl (`stream_bench`)\n")
    w("The test pattern in the same process as the viewers, so that the moment each JPEG entered the slot is "
      "known: the delay is from the encoding of a picture to its first arrival at a viewer.\n")
    w("| viewers | encoded / s | pictures / s per viewer | new pictures / s per viewer | delay median ms | "
      "delay p99 ms |")
    w("|---|---|---|---|---|---|")
    for c in counts:
        runs = fanout.get(c, [])
        w(f"| {c} | {summary([r['encoded'] for r in runs])} | {summary([r['pictures'] for r in runs])} | "
          f"{summary([r['new'] for r in runs])} | {summary([r['delay'] for r in runs])} | "
          f"{summary([r['delay99'] for r in runs])} |")
    w("")
    w("## Limits\n")
    top = max(counts)
    stream_mb = [r["mbytes_s"] for r in stream.get((top, "ours"), [])]
    w("| figure | value | ceiling | ratio |")
    w("|---|---|---|---|")
    tcp_mb = [v * 1000 for v in tcp]
    w(f"| Brightowl's stream, {top} viewers, MB/s | {summary(stream_mb)} | loopback TCP, one sender, MB/s: "
      f"{summary(tcp_mb, 0)} | {ratio(stream_mb, tcp_mb, 4)} |")
    w("")
    w("The loopback ceiling is `tcp_throughput`: one sender, one receiver, 64 KiB writes, in the same run. The "
      "encoder against bare libjpeg-turbo is `bench_encode_jpeg` below (ratio column).\n")
    w("## The project's own benchmarks, this run\n")
    for name, args, text in own:
        w(f"### `{name.split()[0]} {' '.join(args)}`" + (" (slow viewer at 100 kB/s)" if "slow" in name else "") + "\n")
        w("```text")
        w(text)
        w("```\n")
    notes_path = os.path.join(ROOT, "bench", "notes.md")
    if os.path.exists(notes_path):
        with open(notes_path) as f:
            w(f.read().rstrip() + "\n")
    return "\n".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--smoke", action="store_true", help="each benchmark once at its smallest size; "
                        "BENCHMARKS.md is left alone")
    args = parser.parse_args()
    smoke = args.smoke
    repeats = 1 if smoke else 3
    seconds = 1 if smoke else 10
    stream_seconds = 2 if smoke else 5
    counts = [1] if smoke else [1, 10, 50]
    info = machine()
    info["date"] = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    versions = {"nginx": peer_version(["nginx", "-v"]) if shutil.which("nginx") else None,
                "motion": peer_version(["motion", "-h"]) if shutil.which("motion") else None}
    build()
    tmp = tempfile.mkdtemp(prefix="brightowl-bench-")
    os.chmod(tmp, 0o755)  # nginx's worker runs as an unprivileged user and must reach www/
    try:
        own = own_benchmarks(smoke)
        fanout = stream_fanout(smoke, counts, repeats)
        log("static files against nginx")
        static = static_files(os.path.join(tmp, "static"), smoke, repeats, seconds)
        log("camera stream against motion")
        stream, notes = stream_side_by_side(tmp, smoke, counts, repeats, stream_seconds)
        tcp = loopback(smoke, repeats)
        log(f"loopback TCP GB/s: {tcp}")
        svg = os.path.join(ROOT, "BENCHMARKS-stream.svg") if not smoke else os.path.join(tmp, "stream.svg")
        plotted = plot(svg, counts, fanout, stream)
        text = report(info, static, stream, notes, counts, fanout, tcp, own, versions, repeats, seconds,
                      stream_seconds, plotted)
        if smoke:
            print(text)
            failed = [name for name, _, out in own if not out or "(ended after" in out]
            if not static.get(("10 KB", "ours")) or not stream.get((1, "ours")) or failed:
                log(f"smoke failed: {failed or 'a side-by-side run produced no figure'}")
                return 1
            log("smoke passed")
        else:
            with open(os.path.join(ROOT, "BENCHMARKS.md"), "w") as f:
                f.write(text)
            log("wrote BENCHMARKS.md" + (" and BENCHMARKS-stream.svg" if plotted else ""))
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
