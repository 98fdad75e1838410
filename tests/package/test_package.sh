#!/usr/bin/env bash
# The Debian packages built by `./run package`, unpacked into a scratch root
# (dpkg -x): every file where Debian expects it, the tool runs from there, and
# a host builds against the -dev package with pkg-config and runs.
#   test_package.sh DEB_DIR HOST_SOURCE_DIR
# Building the packages takes minutes: without them the test is skipped (77).
set -euo pipefail
DEBS=$1
SRC=$2
shopt -s nullglob
debs=("$DEBS"/*.deb)
if ((${#debs[@]} == 0)); then
  echo "test_package: no packages in $DEBS: run './run package' first (skipped)"
  exit 77
fi
source "$(dirname "$0")/../support/travail_shell.sh" otdr-package
fail() { echo "test_package: $*" >&2; exit 1; }

ROOT=$WORK/root
for d in "${debs[@]}"; do dpkg -x "$d" "$ROOT"; done
MA=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
LIB=usr/lib/$MA

for f in usr/bin/otdr usr/bin/otdr-host usr/bin/otdr-sim usr/libexec/otdrdriver/otdr-sim \
         "$LIB/libotdrdriver.so.1" "$LIB/libotdrdriver-qt.so.1" "$LIB/libotdrdriver.so" "$LIB/libotdrdriver-qt.so" \
         "$LIB/pkgconfig/otdrdriver.pc" "$LIB/pkgconfig/otdrdriver-qt.pc" "$LIB/cmake/otdrdriver/otdrdriverConfig.cmake" \
         usr/include/otdrdriver/driver/COtdrDriver.h usr/include/otdrdriver/ui/qt/FrontalQt.h \
         lib/systemd/system/otdr-sync@.service lib/systemd/system/otdr-sync@.timer usr/lib/sysusers.d/otdr.conf \
         usr/share/doc/otdr/examples/otdr-sync.conf.example usr/share/man/man1/otdr-sim.1.gz \
         usr/share/man/man1/otdr-host.1.gz; do
  [[ -e "$ROOT/$f" ]] || fail "$f is in no package"
done
for p in libotdrdriver1 libotdrdriver-qt1 libotdrdriver-dev otdr otdr-host otdr-sim; do
  grep -q '^License: Expat' "$ROOT/usr/share/doc/$p/copyright" 2>/dev/null || fail "$p has no copyright file"
done
# The tool's man page and completion come from its own install rules.
for f in usr/share/man/man1/otdr.1.gz usr/share/bash-completion/completions/otdr; do
  if [[ -e "$ROOT/$f" ]]; then
    [[ -s "$ROOT/$f" ]] || fail "$f is empty"
  else
    echo "test_package: $f not in the packages (this tree installs none): check skipped"
  fi
done
# The unit runs the installed tool, as the packaged system user.
grep -qx 'ExecStart=/usr/bin/otdr --fleet ${FLEET} $OPTIONS sync ${REMOTE} ${LOCAL}' \
  "$ROOT/lib/systemd/system/otdr-sync@.service" || fail "the sync service does not run /usr/bin/otdr"
grep -q '^u otdr ' "$ROOT/usr/lib/sysusers.d/otdr.conf" || fail "no otdr system user"
# A package install puts nothing in a run-time path: the loader finds the libraries.
if readelf -d "$ROOT/usr/bin/otdr" | grep -qE 'RPATH|RUNPATH'; then fail "otdr carries a run-time path"; fi
grep -q -- '-Wl,-rpath' "$ROOT/$LIB/pkgconfig/otdrdriver.pc" && fail "otdrdriver.pc carries a run-time path"

export LD_LIBRARY_PATH=$ROOT/$LIB
V=$("$ROOT/usr/bin/otdr" --version) || fail "the packaged otdr does not run"
[[ $V == "otdr "* ]] || fail "unexpected version: $V"
echo "test_package: $V"

# Hosts through pkg-config, the core alone and with the Qt front end.
export PKG_CONFIG_PATH=$ROOT/$LIB/pkgconfig
for m in otdrdriver otdrdriver-qt; do
  defs=""
  [[ $m == otdrdriver-qt ]] && defs=-DHOST_AVEC_QT
  PC=$(pkg-config --cflags --libs "$m") || fail "pkg-config $m failed"
  [[ $PC == "-I$ROOT/"* ]] || fail "pkg-config $m does not point into the package: $PC"
  c++ -std=c++17 $defs "$SRC/main.cpp" -o "$WORK/host-$m" $PC || fail "host build with pkg-config $m failed"
  "$WORK/host-$m" | grep -qx "connected: 0" || fail "host built with pkg-config $m did not run"
done
# And through the CMake package (the Qt front end's target included).
cmake -S "$SRC" -B "$WORK/host" -DCMAKE_PREFIX_PATH="$ROOT/usr" >"$WORK/cfg.log" 2>&1 \
  || { cat "$WORK/cfg.log"; fail "find_package(otdrdriver) failed against the -dev package"; }
cmake --build "$WORK/host" >"$WORK/build.log" 2>&1 || { cat "$WORK/build.log"; fail "CMake host build failed"; }
grep -q 'HOST_AVEC_QT' "$WORK/host/CMakeFiles/host_minimal.dir/flags.make" || fail "the CMake package has no otdrdriver::qt"
"$WORK/host/host_minimal" | grep -qx "connected: 0" || fail "the CMake host did not run"

# The packaged tool against the packaged simulator.
demarrer_simulateur "$ROOT/usr/bin/otdr-sim" || fail "the packaged otdr-sim did not start"
OUT=$(XDG_CONFIG_HOME=$WORK/config "$ROOT/usr/bin/otdr" --address 127.0.0.1 --port "$CP" --ftp-port "$FP" identify) \
  || fail "the packaged otdr could not identify the packaged simulator"
grep -q "KRX 15" <<<"$OUT" || fail "unexpected identification: $OUT"
echo "test_package: ok"
