#!/usr/bin/env bash
# The X session of the desktop tests: Xvfb on a free display with two screens, openbox and trayer.
#
#   x_session.sh start DIR            start it; DIR/display then holds ":N"
#   x_session.sh stop DIR             end exactly the processes that start started
#   x_session.sh run DIR -- CMD ...   run CMD on the session's display
#
# DIR/artifacts names the folder for the tests' screenshots (VANTOR_ARTIFACTS_DIR, else DIR).
# Each started process is recorded in DIR/<name>.pid as "pid start-time", so that stop never
# ends another process that happens to reuse the pid.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
command=${1:?usage: x_session.sh start|stop|run DIR}
dir=${2:?usage: x_session.sh start|stop|run DIR}
order=(trayer openbox xvfb)  # the order in which stop ends them

start_time() { awk '{print $22}' "/proc/$1/stat" 2>/dev/null || true; }

record() {  # record NAME PID
  echo "$2 $(start_time "$2")" >"$dir/$1.pid"
}

alive() {  # alive NAME: the recorded process still runs (a zombie counts as ended)
  local file="$dir/$1.pid" pid started state
  [ -f "$file" ] || return 1
  read -r pid started <"$file"
  [ -n "$pid" ] && [ "$(start_time "$pid")" = "$started" ] || return 1
  state=$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null || echo Z)
  [ "$state" != Z ]
}

end_process() {  # end_process NAME: TERM, then KILL after 5 s
  local file="$dir/$1.pid" pid
  if alive "$1"; then
    read -r pid _ <"$file"
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 50); do alive "$1" || break; sleep 0.1; done
    if alive "$1"; then kill -KILL "$pid" 2>/dev/null || true; fi
  fi
  rm -f "$file"
}

stop() {
  rm -f "$dir/display"
  for name in "${order[@]}"; do end_process "$name"; done
}

wait_for() {  # wait_for WHAT COMMAND...: up to 10 s
  local what=$1; shift
  for _ in $(seq 100); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  echo "x_session.sh: $what didn't come up; logs in $dir" >&2
  stop
  exit 1
}

start() {
  mkdir -p "$dir"
  stop  # a session left over from an interrupted run
  echo "${VANTOR_ARTIFACTS_DIR:-$dir}" >"$dir/artifacts"
  mkdir -p "$(cat "$dir/artifacts")"

  # -displayfd: the server takes the first free display number and writes it to fd 3.
  : >"$dir/displayfd"
  Xvfb -displayfd 3 -screen 0 1600x1000x24 -screen 1 1280x1024x24 -nolisten tcp -noreset \
    3>"$dir/displayfd" </dev/null >"$dir/xvfb.log" 2>&1 &
  record xvfb $!
  wait_for "Xvfb" grep -q '[0-9]' "$dir/displayfd"
  local display=":$(tr -d '[:space:]' <"$dir/displayfd")"
  export DISPLAY=$display
  wait_for "the display $display" xdpyinfo

  openbox --sm-disable --config-file "$here/openbox-rc.xml" </dev/null >"$dir/openbox.log" 2>&1 &
  record openbox $!
  wait_for "openbox" sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'

  trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 \
    --SetDockType true --SetPartialStrut true --expand false --transparent false \
    </dev/null >"$dir/trayer.log" 2>&1 &
  record trayer $!
  wait_for "trayer" sh -c 'xwininfo -root -children | grep -q "\"Trayer\")"'

  xdotool mousemove --screen 0 1599 0
  echo "$display" >"$dir/display.new"
  mv "$dir/display.new" "$dir/display"
  echo "X session on $display"
}

run() {
  shift 2
  [ "${1:-}" = "--" ] && shift
  DISPLAY=$(cat "$dir/display") exec "$@"
}

case $command in
  start) start ;;
  stop) stop ;;
  run) run "$@" ;;
  *) echo "usage: x_session.sh start|stop|run DIR" >&2; exit 2 ;;
esac
