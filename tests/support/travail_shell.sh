# Sourced by the shell tests (install, packages): a scratch directory WORK
# removed at exit, and the simulator started on ports the system chooses.
#   source travail_shell.sh NAME
WORK=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
SIM_PID=
_travail_fin() {
  [[ -n "$SIM_PID" ]] && { kill "$SIM_PID" 2>/dev/null || true; wait "$SIM_PID" 2>/dev/null || true; }
  rm -rf "$WORK"
}
trap _travail_fin EXIT

# demarrer_simulateur OTDR_SIM: sets SIM_PID, CP (command port) and FP (FTP
# port); prints the simulator's errors and fails when it does not start.
demarrer_simulateur() {
  "$1" --port 0 --ftp-port 0 >"$WORK/sim.out" 2>"$WORK/sim.err" &
  SIM_PID=$!
  for _ in $(seq 200); do grep -qx READY "$WORK/sim.out" && break; sleep 0.1; done
  grep -qx READY "$WORK/sim.out" || { cat "$WORK/sim.err" >&2; return 1; }
  CP=$(awk '$2 == "command" { print $3 }' "$WORK/sim.out")
  FP=$(awk '$2 == "ftp" { print $3 }' "$WORK/sim.out")
}
