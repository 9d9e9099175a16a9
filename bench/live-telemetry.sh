#!/usr/bin/env bash
# The ground station's cost of live telemetry, idle and replay, in one run.
#
# orvex-gcs runs under its own Xvfb with the map page shown, connected over WiFi (UDP on
# 127.0.0.1). Once the ground station is up and its page has settled, four figures are taken, each
# the CPU time (utime + stime from /proc/<pid>/stat) of orvex-gcs and of all its descendants (the
# QtWebEngineProcess browser processes) over the phase divided by its wall time:
#   idle     connected, no telemetry, for IDLE seconds
#   live     "orvex sim --demo --rate RATE" (the aircraft flies, so the map redraws) for DURATION s
#   slow     the same at SLOW_RATE records a second for SLOW_DURATION s
#   replay   a new orvex-gcs replays the recorded flight log REPEAT times over at the fastest speed
#            (the speed slider is set with xdotool); records a second and CPU until it has ended
#   ended    the same orvex-gcs for IDLE seconds after the replay's last record
# The resident memory of orvex-gcs and of its browser processes is read at the end of the live
# phases. The ground station is then stopped with SIGTERM (it writes the rest of its flight log)
# and the records in the flight log are counted against the simulator's records_sent.
#
#   bench/live-telemetry.sh   (ORVEX_BIN=build/bin DURATION=60 RATE=50 SLOW_DURATION=30
#                              SLOW_RATE=5 IDLE=30 REPEAT=20 SETTLE=20 QT_QUICK_BACKEND=software)
#
# Prints the figures; exit 0 when the run completed (whatever the figures), 1 when it could not
# be run. Leaves nothing running and removes its temporary home unless KEEP=1.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
bin="${ORVEX_BIN:-$here/build/bin}"
duration="${DURATION:-60}"
rate="${RATE:-50}"
slow_duration="${SLOW_DURATION:-30}"
slow_rate="${SLOW_RATE:-5}"
idle="${IDLE:-30}"
repeat="${REPEAT:-20}"
settle="${SETTLE:-20}"
# As scripts/run-gcs runs it under Xvfb: Qt Quick's software renderer (no graphics card here).
# QT_QUICK_BACKEND= (empty) measures the OpenGL path instead, drawn by llvmpipe on the CPU.
quick_backend="${QT_QUICK_BACKEND-software}"
work="$(mktemp -d /tmp/orvex-live-telemetry.XXXXXX)"
ticks="$(getconf CLK_TCK)"

for f in orvex orvex-gcs; do
  [ -x "$bin/$f" ] || { echo "live-telemetry: $bin/$f is not built" >&2; exit 1; }
done
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "live-telemetry: $tool is not installed" >&2; exit 1; }
done
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

# The process figures, read from /proc by bench/proctree.py (one walk of the process tree):
# snapshot PID FILE, figure LABEL PID F0 F1 T0 T1 (a line kept in $work/figures),
# resident PID ("own web count" kB), browser_ticks PID (CPU ticks of its descendants).
snapshot() { python3 "$here/bench/proctree.py" snapshot "$@"; }
figure() { python3 "$here/bench/proctree.py" figure "$@" "$ticks" >>"$work/figures"; }
resident() { python3 "$here/bench/proctree.py" resident "$@"; }
browser_ticks() { python3 "$here/bench/proctree.py" browser-ticks "$@"; }

stop_gcs() {
  kill -TERM "$gcs_pid"
  for _ in $(seq 300); do kill -0 "$gcs_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$gcs_pid" 2>/dev/null; then echo "live-telemetry: orvex-gcs did not end on SIGTERM" >&2; fi
  wait "$gcs_pid" 2>/dev/null || true
  gcs_pid=""
}

# One simulator run: $1 rate, $2 seconds, $3 label.
sim_phase() {
  snapshot "$gcs_pid" "$work/$3.0.json"
  local t0 t1
  t0="$(date +%s.%N)"
  "$bin/orvex" sim --udp --demo --rate "$1" --listen "$sim_port" --gcs "127.0.0.1:$udp_port" \
    --duration "$2" >"$work/$3.sim.out" 2>"$work/$3.sim.err" &
  sim_pid=$!
  wait "$sim_pid" || true
  sim_pid=""
  t1="$(date +%s.%N)"
  snapshot "$gcs_pid" "$work/$3.1.json"
  figure "$3" "$gcs_pid" "$work/$3.0.json" "$work/$3.1.json" "$t0" "$t1"
  grep -o '"records_sent":[0-9]*' "$work/$3.sim.err" | tail -n1 | cut -d: -f2 >>"$work/sent"
}

udp_port="$(free_port udp)"
sim_port="$(free_port udp)"
http_port="$(free_port tcp)"
mkdir -p "$work/home" "$work/replay-home"
: >"$work/figures"; : >"$work/sent"

# Xvfb picks a free display and tells it on fd 3.
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "live-telemetry: Xvfb did not start" >&2; exit 1; }
display=":$(head -n1 "$work/display")"

DISPLAY="$display" QT_QUICK_BACKEND="$quick_backend" "$bin/orvex-gcs" --home "$work/home" --no-splash --connect wifi:127.0.0.1 \
  --udp-port "$udp_port" --wifi-port "$sim_port" --http-port "$http_port" >"$work/gcs.log" 2>&1 &
gcs_pid=$!
gcs_pid_seen=$gcs_pid
for _ in $(seq 600); do
  ss -Hunl "sport = :$udp_port" 2>/dev/null | grep -q . && break
  kill -0 "$gcs_pid" 2>/dev/null || { echo "live-telemetry: orvex-gcs ended at start" >&2; cat "$work/gcs.log" >&2; exit 1; }
  sleep 0.1
done
ss -Hunl "sport = :$udp_port" | grep -q . || { echo "live-telemetry: orvex-gcs never opened UDP $udp_port" >&2; exit 1; }
echo "live-telemetry: ground station up (pid $gcs_pid, display $display); letting its map page settle for ${settle} s" >&2
sleep "$settle"

load_live0="$(cut -d' ' -f1-3 /proc/loadavg)"
snapshot "$gcs_pid" "$work/idle.0.json"
t0="$(date +%s.%N)"
sleep "$idle"
t1="$(date +%s.%N)"
snapshot "$gcs_pid" "$work/idle.1.json"
figure idle "$gcs_pid" "$work/idle.0.json" "$work/idle.1.json" "$t0" "$t1"
echo "live-telemetry: idle measured; $rate Hz for $duration s" >&2
sim_phase "$rate" "$duration" live
cp "$work/live.1.json" "$work/cpu1.json"; cp "$work/live.0.json" "$work/cpu0.json"
echo "live-telemetry: $slow_rate Hz for $slow_duration s" >&2
sim_phase "$slow_rate" "$slow_duration" slow
memory="$(resident "$gcs_pid")"
load_live1="$(cut -d' ' -f1-3 /proc/loadavg)"

# The ground station writes the rest of its flight log when it is told to end.
sleep 1
stop_gcs

sent="$(awk '{n += $1} END {print n + 0}' "$work/sent")"
logged=0 bytes=0 files=0
shopt -s nullglob
for f in "$work/home/Hj/"*.hj; do
  size="$(stat -c %s "$f")"
  bytes=$((bytes + size)); logged=$((logged + size / 99)); files=$((files + 1))
done

# Replay: the recorded flight, REPEAT times over, at the fastest speed.
for _ in $(seq "$repeat"); do cat "$work/home/Hj/"*.hj; done >"$work/replay.hj"
replay_records=$(( $(stat -c %s "$work/replay.hj") / 99 ))
DISPLAY="$display" QT_QUICK_BACKEND="$quick_backend" "$bin/orvex-gcs" --home "$work/replay-home" --no-splash \
  --replay "$work/replay.hj" --udp-port "$udp_port" --http-port "$http_port" >"$work/gcs-replay.log" 2>&1 &
gcs_pid=$!
replay_pid_seen=$gcs_pid
window=""
for _ in $(seq 300); do
  window="$(DISPLAY="$display" xdotool search --all --pid "$gcs_pid" --name 'Orvex' 2>/dev/null | tail -n1 || true)"
  [ -n "$window" ] && break
  sleep 0.1
done
t_window="$(date +%s.%N)"
echo "live-telemetry: replaying $replay_records records; settling ${settle} s" >&2
sleep "$settle"
load_replay0="$(cut -d' ' -f1-3 /proc/loadavg)"
# The speed slider sits near the right end of the playback bar (second row under the menus):
# a click gives it the focus, End takes it to the fastest speed.
width="$(DISPLAY="$display" xdotool getwindowgeometry --shell "$window" | sed -n 's/^WIDTH=//p')"
snapshot "$gcs_pid" "$work/replay.0.json"
t0="$(date +%s.%N)"
# Played at the first speed (a record every 100 ms) since the window came up, roughly.
played_before="$(python3 -c "print(int(($t0 - $t_window) * 10))")"
DISPLAY="$display" xdotool windowfocus "$window" mousemove $(( ${width:-1280} - 147 )) 71 click 1 sleep 0.2 key End
# The replay has ended when the map page gets nothing more to draw: its browser processes use
# (almost) nothing for two seconds. Up to REPLAY_MAX seconds.
ended=0 prev="$(browser_ticks "$gcs_pid")" end_t="$t0"
for _ in $(seq $(( ${REPLAY_MAX:-300} / 2 ))); do
  sleep 2
  now="$(browser_ticks "$gcs_pid")"
  if [ $((now - prev)) -le 1 ]; then ended=1; break; fi
  end_t="$(date +%s.%N)"
  prev=$now
done
t1="$end_t"
snapshot "$gcs_pid" "$work/replay.1.json"
figure replay "$gcs_pid" "$work/replay.0.json" "$work/replay.1.json" "$t0" "$t1"
load_replay1="$(cut -d' ' -f1-3 /proc/loadavg)"
# After the last record, with the fastest speed still set, for IDLE seconds.
snapshot "$gcs_pid" "$work/ended.0.json"
t0="$(date +%s.%N)"
sleep "$idle"
t1="$(date +%s.%N)"
snapshot "$gcs_pid" "$work/ended.1.json"
figure ended "$gcs_pid" "$work/ended.0.json" "$work/ended.1.json" "$t0" "$t1"
stop_gcs

python3 - "$ticks" "$gcs_pid_seen" "$work/cpu0.json" "$work/cpu1.json" "$work/figures" \
  "${sent:-0}" "$logged" "$files" "$bytes" "$rate" "$slow_rate" "$quick_backend" "$memory" \
  "$load_live0" "$load_live1" "$load_replay0" "$load_replay1" "$replay_records" "$ended" "$played_before" <<'EOF'
import json, sys
a = sys.argv[1:]
hz, gcs = float(a[0]), a[1]
c0, c1 = json.load(open(a[2])), json.load(open(a[3]))
fig = {}
for line in open(a[4]):
    label, span, own, web = line.split()
    fig[label] = (float(span), float(own), float(web))
sent, logged, files, nbytes = int(a[5]), int(a[6]), int(a[7]), int(a[8])
rate, slow_rate, backend = a[9], a[10], a[11] or "(OpenGL)"
mem_own, mem_web, mem_n = (int(v) for v in a[12].split())
replay_records, ended, played_before = int(a[17]), a[18] == "1", int(a[19])

def line(name, label, goal=""):
    span, own, web = fig[label]
    pct = lambda v: 100 * v / span if span > 0 else 0
    print("  %-22s %5.1f %% of one core together (orvex-gcs %5.1f %%, browser %5.1f %%) over %.1f s%s"
          % (name, pct(own + web), pct(own), pct(web), span, goal))

print("live telemetry against orvex-gcs (map page shown, QT_QUICK_BACKEND=%s)" % backend)
print("  load average          %s before the live phases, %s after" % (a[13], a[14]))
line("idle (connected)", "idle", "  (goal: under 1 %)")
line("live %s Hz" % rate, "live", "  (goal: under 10 %)")
line("live %s Hz" % slow_rate, "slow")
print("  records sent          %d" % sent)
print("  records logged        %d  (%d flight log file(s), %d bytes)" % (logged, files, nbytes))
print("  records lost          %d" % (sent - logged))
print("  resident memory       orvex-gcs %.0f MiB, browser %.0f MiB (%d processes; shared pages counted in each)"
      % (mem_own / 1024, mem_web / 1024, mem_n))
span, own, web = fig["replay"]
left = max(0, replay_records - played_before)
if ended and span > 0:
    print("  replay fastest        %d records in %.1f s: %.0f records a second, %.1f %% of one core together "
          "(orvex-gcs %.1f %%, browser %.1f %%)" % (left, span, left / span,
                                                   100 * (own + web) / span, 100 * own / span, 100 * web / span))
elif ended:
    # Idle at the first poll: the replay ended within two seconds, its own span unknown.
    print("  replay fastest        %d records ended within the first 2 s poll: over %.0f records a second"
          % (left, left / 2))
else:
    print("  replay fastest        not ended after %.0f s (%d records left): under %.0f records a second, "
          "%.1f %% of one core together" % (span, left, left / max(span, 1), 100 * (own + web) / max(span, 1)))
print("  load average          %s before the replay, %s after" % (a[15], a[16]))
line("replay ended", "ended", "  (fastest speed still set; goal: under 1 %)")

def used(kind, pid):
    after = c1[kind].get(pid)
    if not after:
        return 0.0
    before = c0[kind].get(pid)
    return (after[2] - (before[2] if before else 0)) / hz
span = fig["live"][0]
# Where the time goes at RATE: the busiest threads of orvex-gcs (the browser engine's own threads
# run in it too; its main thread is the program's user-interface thread) and each browser process.
names = {}
for tid in c1["threads"]:
    name = c1["threads"][tid][1]
    names[name] = names.get(name, 0.0) + used("threads", tid)
print("  orvex-gcs threads at %s Hz (CPU s):" % rate)
for name, v in sorted(names.items(), key=lambda kv: -kv[1])[:8]:
    if v > 0:
        print("    %-24s %6.2f  %5.1f %%" % (name, v, 100 * v / span))
children = {}
for pid, (ppid, _, _) in c1["procs"].items():
    children.setdefault(str(ppid), []).append(pid)
browser, stack = [], list(children.get(gcs, []))
while stack:
    p = stack.pop()
    browser.append(p)
    stack.extend(children.get(p, []))
for p in sorted(browser, key=lambda p: -used("procs", p)):
    print("  browser process %-7s %-16s %6.2f CPU s" % (p, c1["procs"][p][1], used("procs", p)))
EOF
