# Sourced by the Windows editor checks: waits for the test host started
# as PID, writing to LOG, to print its "ready X Y W H" line (at most 60 s),
# and sets x, y, width and height from it; fails with the log otherwise.
#   wait_for_host LOG PID
wait_for_host() {
  local log=$1 pid=$2
  for _ in $(seq 600); do
    grep -q '^ready' "$log" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if ! grep -q '^ready' "$log"; then
    cat "$log"
    echo "the host never showed the editor"
    return 1
  fi
  read -r _ x y width height < <(grep '^ready' "$log" | tr -d '\r')
}
