#!/usr/bin/env bash
# Figures of the desktop program on a virtual X screen (Xvfb, xcb platform plug-in):
#   - time from starting the program to its main window being shown;
#   - resident memory with 50 plans loaded and 1,000 articles in the article list;
#   - CPU time used while monitoring waits between passes.
# Usage: bench/desktop_figures.sh [BUILD_DIR]   (default: build). Needs Xvfb, xdotool, python3.
set -euo pipefail
build=${1:-build}
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$work/app" >/dev/null
app="$work/app"
"$app/marltips-cli" init >/dev/null

# The site on 127.0.0.1: plan 1's page holds 1,000 article links, the others one each.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work/site"
python3 - "$work/site" "$port" <<'PY'
import sys, pathlib
site, port = pathlib.Path(sys.argv[1]), sys.argv[2]
rows = "".join(f'<li><a href="http://127.0.0.1:{port}/n/{i}.html">第 {i} 篇新闻 · 标题</a></li>' for i in range(1, 1001))
(site / "list1.html").write_text(f"<html><body><ul>{rows}</ul></body></html>", encoding="utf-8")
for k in range(2, 51):
    (site / f"list{k}.html").write_text(f'<a href="http://127.0.0.1:{port}/k/{k}.html">only</a>', encoding="utf-8")
PY
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/site" >/dev/null 2>&1 &
pids+=($!)
for k in $(seq 1 50); do
  "$app/marltips-cli" save --name "站点$k" --url "http://127.0.0.1:$port/list$k.html" --encoding utf-8 >/dev/null
done
printf '[配置]\r\n频率=200\r\n自动勾选=0,1,\r\n' | iconv -f utf-8 -t gbk > "$app/marltips.ini"

for n in $(seq 90 130); do [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }; done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
until DISPLAY=$display xdotool getdisplaygeometry >/dev/null 2>&1; do sleep 0.05; done

started=$(date +%s.%N)
DISPLAY=$display QT_QPA_PLATFORM=xcb "$app/marltips" >/dev/null 2>&1 &
program=$!
pids+=("$program")
until window=$(DISPLAY=$display xdotool search --onlyvisible --name 'Marl' 2>/dev/null | head -1) && [ -n "$window" ]; do
  sleep 0.005
done
shown=$(date +%s.%N)
printf 'start to window shown      %6.3f s   (target <= 0.5 s)\n' "$(echo "$shown - $started" | bc -l)"
rss_idle=$(awk '/VmRSS/ {print $2}' "/proc/$program/status")

# 开始按钮: inside 外形框_开始 at (4, 555) + (101, 5), 66 x 28.
sleep 0.5
DISPLAY=$display xdotool mousemove --window "$window" 138 574 click 1 mousemove 1270 1010
count() { python3 -c 'import sqlite3,sys; print(sqlite3.connect(sys.argv[1]).execute("select count(*) from info").fetchone()[0])' "$app/marltips.db"; }
deadline=$((SECONDS + 120))
until [ "$(count)" -ge 1000 ] || [ $SECONDS -ge $deadline ]; do sleep 0.2; done
sleep 3  # the pause after the plan; the worker is then in its wait between passes
rss=$(awk '/VmRSS/ {print $2}' "/proc/$program/status")
printf 'resident memory, idle      %6.1f MB  (50 plans, empty list)\n' "$(echo "$rss_idle / 1024" | bc -l)"
printf 'resident memory            %6.1f MB  (50 plans, %s articles listed; target <= 60 MB)\n' \
  "$(echo "$rss / 1024" | bc -l)" "$(count)"

# CPU time in nanoseconds, per thread and in all (schedstat: time spent on the CPU).
thread_ns() {
  for t in /proc/$program/task/*; do
    echo "$(basename "$t") $(tr -d '()' < "$t/stat" | awk '{print $2}') $(awk '{print $1}' "$t/schedstat")"
  done
}
seconds=${CPU_SECONDS:-20}
# The popup counts down 20 one-second ticks after the last article; the wait is measured after it.
sleep 20
if [ -n "${TRACE_UI:-}" ]; then timeout 6 strace -tt -p "$program" -e trace=poll,ppoll,read,write,recvmsg,sendmsg,futex 2> "$TRACE_UI" || true; fi
thread_ns > "$work/threads.before"
sleep "$seconds"
thread_ns > "$work/threads.after"
join "$work/threads.before" "$work/threads.after" > "$work/threads"
total_ms=$(awk '{sum += $5 - $3} END {printf "%.1f", sum / 1e6}' "$work/threads")
printf 'CPU while waiting          %6s ms over %s s (target 0: no work but the frequency read every 2 s)\n' \
  "$total_ms" "$seconds"
awk '$5 > $3 {printf "  thread %s (%s): %.2f ms\n", $1, $2, ($5 - $3) / 1e6}' "$work/threads"
