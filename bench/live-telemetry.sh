#!/usr/bin/env bash
# The ground station's cost of live telemetry.
#
# orvex-gcs runs under its own Xvfb with the map page shown, connected over WiFi (UDP on
# 127.0.0.1) to "orvex sim --demo --rate 50" (the aircraft flies, so the map redraws). Once the
# ground station is up and its page has settled, the simulator runs for DURATION seconds; the CPU
# time (utime + stime from /proc/<pid>/stat) of orvex-gcs and of all its descendants (the
# QtWebEngineProcess browser processes) is read just before and just after that run. Then the
# ground station is stopped with SIGTERM (it writes the rest of its flight log) and the records in
# the flight log are counted against the simulator's records_sent.
#
#   bench/live-telemetry.sh   (ORVEX_BIN=build/bin DURATION=60 RATE=50 SETTLE=20
#                              QT_QUICK_BACKEND=software)
#
# Prints the figures; exit 0 when the run completed (whatever the figures), 1 when it could not
# be run. Leaves nothing running and removes its temporary home unless KEEP=1.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
bin="${ORVEX_BIN:-$here/build/bin}"
duration="${DURATION:-60}"
rate="${RATE:-50}"
settle="${SETTLE:-20}"
# As scripts/run-gcs runs it under Xvfb: Qt Quick's software renderer (no graphics card here).
# QT_QUICK_BACKEND= (empty) measures the OpenGL path instead, drawn by llvmpipe on the CPU.
quick_backend="${QT_QUICK_BACKEND-software}"
work="$(mktemp -d /tmp/orvex-live-telemetry.XXXXXX)"
ticks="$(getconf CLK_TCK)"

for f in orvex orvex-gcs; do
  [ -x "$bin/$f" ] || { echo "live-telemetry: $bin/$f is not built" >&2; exit 1; }
done
command -v Xvfb >/dev/null || { echo "live-telemetry: Xvfb is not installed" >&2; exit 1; }
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi

xvfb_pid="" gcs_pid="" sim_pid=""
cleanup() {
  for p in "$sim_pid" "$gcs_pid" "$xvfb_pid"; do
    if [ -n "$p" ] && kill -0 "$p" 2>/dev/null; then
      kill -TERM "$p" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$p" 2>/dev/null || break; sleep 0.2; done
      kill -KILL "$p" 2>/dev/null || true
    fi
  done
  wait 2>/dev/null || true
  [ "${KEEP:-0}" = 1 ] && echo "live-telemetry: files kept in $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT

free_port() { # $1: udp or tcp
  python3 - "$1" <<'EOF'
import socket, sys
kind = socket.SOCK_DGRAM if sys.argv[1] == "udp" else socket.SOCK_STREAM
s = socket.socket(socket.AF_INET, kind)
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
EOF
}

# Snapshot of the CPU ticks of every process (pid, ppid, name, utime + stime) and of every thread
# of the process $1, as JSON in the file $2.
snapshot() {
  python3 - "$1" "$2" <<'EOF'
import json, os, sys
root, out = int(sys.argv[1]), sys.argv[2]
def stat(path):
    try:
        with open(path) as f:
            text = f.read()
    except OSError:
        return None
    name = text[text.index("(") + 1:text.rindex(")")]
    fields = text[text.rindex(")") + 2:].split()
    # fields[0] is the state (field 3): ppid is field 4, utime 14, stime 15
    return int(fields[1]), name, int(fields[11]) + int(fields[12])
procs, threads = {}, {}
for d in os.listdir("/proc"):
    if d.isdigit():
        s = stat("/proc/%s/stat" % d)
        if s:
            procs[d] = s
task = "/proc/%d/task" % root
for d in (os.listdir(task) if os.path.isdir(task) else []):
    s = stat("%s/%s/stat" % (task, d))
    if s:
        threads[d] = s
with open(out, "w") as f:
    json.dump({"procs": procs, "threads": threads}, f)
EOF
}

udp_port="$(free_port udp)"
sim_port="$(free_port udp)"
http_port="$(free_port tcp)"
mkdir -p "$work/home"

# Xvfb picks a free display and tells it on fd 3.
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "live-telemetry: Xvfb did not start" >&2; exit 1; }
display=":$(head -n1 "$work/display")"

DISPLAY="$display" QT_QUICK_BACKEND="$quick_backend" "$bin/orvex-gcs" --home "$work/home" --no-splash --connect wifi:127.0.0.1 \
  --udp-port "$udp_port" --wifi-port "$sim_port" --http-port "$http_port" >"$work/gcs.log" 2>&1 &
gcs_pid=$!
gcs_pid_seen=$gcs_pid xvfb_pid_seen=$xvfb_pid
for _ in $(seq 600); do
  ss -Hunl "sport = :$udp_port" 2>/dev/null | grep -q . && break
  kill -0 "$gcs_pid" 2>/dev/null || { echo "live-telemetry: orvex-gcs ended at start" >&2; cat "$work/gcs.log" >&2; exit 1; }
  sleep 0.1
done
ss -Hunl "sport = :$udp_port" | grep -q . || { echo "live-telemetry: orvex-gcs never opened UDP $udp_port" >&2; exit 1; }
echo "live-telemetry: ground station up (pid $gcs_pid, display $display); letting its map page settle for ${settle} s" >&2
sleep "$settle"

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
snapshot "$gcs_pid" "$work/cpu0.json"
t0="$(date +%s.%N)"
"$bin/orvex" sim --udp --demo --rate "$rate" --listen "$sim_port" --gcs "127.0.0.1:$udp_port" \
  --duration "$duration" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
wait "$sim_pid" || true
sim_pid=""
t1="$(date +%s.%N)"
snapshot "$gcs_pid" "$work/cpu1.json"
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"

# The ground station writes the rest of its flight log when it is told to end.
sleep 1
kill -TERM "$gcs_pid"
for _ in $(seq 300); do kill -0 "$gcs_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$gcs_pid" 2>/dev/null; then echo "live-telemetry: orvex-gcs did not end on SIGTERM" >&2; fi
wait "$gcs_pid" 2>/dev/null || true
gcs_pid=""

sent="$(grep -o '"records_sent":[0-9]*' "$work/sim.err" | tail -n1 | cut -d: -f2)"
logged=0 bytes=0 files=0
shopt -s nullglob
for f in "$work/home/Hj/"*.hj; do
  size="$(stat -c %s "$f")"
  bytes=$((bytes + size)); logged=$((logged + size / 99)); files=$((files + 1))
done

python3 - "$t0" "$t1" "$ticks" "$gcs_pid_seen" "$xvfb_pid_seen" "$work/cpu0.json" "$work/cpu1.json" \
  "${sent:-0}" "$logged" "$files" "$bytes" "$rate" "$load_before" "$load_after" "$quick_backend" <<'EOF'
import json, sys
a = sys.argv[1:]
t0, t1, hz = float(a[0]), float(a[1]), float(a[2])
gcs, xvfb = a[3], a[4]
c0, c1 = json.load(open(a[5])), json.load(open(a[6]))
sent, logged, files, nbytes, rate = int(a[7]), int(a[8]), int(a[9]), int(a[10]), a[11]
span = t1 - t0

def used(kind, pid):
    after = c1[kind].get(pid)
    if not after:
        return 0.0
    before = c0[kind].get(pid)
    return (after[2] - (before[2] if before else 0)) / hz

children = {}
for pid, (ppid, _, _) in c1["procs"].items():
    children.setdefault(str(ppid), []).append(pid)
browser, stack = [], list(children.get(gcs, []))
while stack:
    p = stack.pop()
    browser.append(p)
    stack.extend(children.get(p, []))
own = used("procs", gcs)
web = sum(used("procs", p) for p in browser)
x = used("procs", xvfb)
pct = lambda v: 100 * v / span
print("live telemetry: orvex sim --demo --rate %s for %.1f s against orvex-gcs (map page shown, "
      "QT_QUICK_BACKEND=%s)" % (rate, span, a[14] or "(OpenGL)"))
print("  load average        %s before, %s after" % (a[12], a[13]))
print("  orvex-gcs           %6.2f CPU s  %5.1f %% of one core" % (own, pct(own)))
print("  browser processes   %6.2f CPU s  %5.1f %% of one core  (%d processes)" % (web, pct(web), len(browser)))
print("  together            %6.2f CPU s  %5.1f %% of one core  (goal: under 10 %%)" % (own + web, pct(own + web)))
print("  Xvfb (not counted)  %6.2f CPU s  %5.1f %% of one core" % (x, pct(x)))
print("  records sent        %d" % sent)
print("  records logged      %d  (%d flight log file(s), %d bytes)" % (logged, files, nbytes))
print("  records lost        %d" % (sent - logged))
# Where the time goes: the busiest threads of orvex-gcs (the browser engine's own threads run in
# it too; its main thread is the program's user-interface thread) and each browser process.
names = {}
for tid in c1["threads"]:
    name = c1["threads"][tid][1]
    names[name] = names.get(name, 0.0) + used("threads", tid)
print("  orvex-gcs threads (CPU s):")
for name, v in sorted(names.items(), key=lambda kv: -kv[1])[:8]:
    if v > 0:
        print("    %-24s %6.2f  %5.1f %%" % (name, v, pct(v)))
for p in sorted(browser, key=lambda p: -used("procs", p)):
    print("  browser process %-7s %-16s %6.2f CPU s" % (p, c1["procs"][p][1], used("procs", p)))
EOF
