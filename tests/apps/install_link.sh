#!/usr/bin/env bash
# Install the build tree into a temporary prefix, then build a tiny host against
# the installed package (CMake package, then pkg-config) and run it against the
# installed simulator.   install_link.sh BUILD_DIR HOST_SOURCE_DIR
set -euo pipefail
BUILD=$1
SRC=$2
source "$(dirname "$0")/../support/travail_shell.sh" otdr-install
fail() { echo "install_link: $*" >&2; exit 1; }

PREFIX=$WORK/prefix
cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" || { cat "$WORK/install.log"; fail "install failed"; }
for f in bin/otdr bin/otdr-sim include/otdrdriver/driver/COtdrDriver.h include/otdrdriver/ftp/CFTPDirect.h \
         include/otdrdriver/profile/Profil.h lib/systemd/system/otdr-sync@.service lib/systemd/system/otdr-sync@.timer \
         lib/sysusers.d/otdr.conf; do
  [[ -e "$PREFIX/$f" ]] || fail "$f not installed"
done
# Only the public headers: the libraries' internals stay out of the package.
for f in ftp/CSessionFtp.h ui/CDlgFileTransfert.h ui/CFrontalMemoire.h driver/CTacheDriver.h comm/CTcpIpCom.h; do
  [[ ! -e "$PREFIX/include/otdrdriver/$f" ]] || fail "internal header $f installed"
done
# Only the public API is exported: no internal class reaches the dynamic symbol table.
CORE=$(find "$PREFIX" -name 'libotdrdriver.so.*.*' | head -1)
N=$(nm -D --defined-only "$CORE" | wc -l)
# The public API is about 260 symbols (facade, FTP client, listing records and
# dates, walker, sync, folder lock, profile, probe, text codec): a jump past the
# bound means an internal class leaked into the table.
(( N <= 300 )) || fail "the core library exports $N symbols"
if nm -D --defined-only -C "$CORE" | cut -d' ' -f3- | grep -E '^(CDlgFileTransfert|CFrontalMemoire|CSessionFtp|CTacheDriver|std)::'; then
  fail "the core library exports internal symbols"
fi
"$PREFIX/bin/otdr" --help >/dev/null || fail "installed otdr does not run"
if [[ -e "$PREFIX/bin/otdr-host" ]]; then
  QT_QPA_PLATFORM=offscreen "$PREFIX/bin/otdr-host" --help >/dev/null 2>&1 || fail "installed otdr-host does not run"
fi

# The host is built with the sanitizers of the tree it links against.
SAN=$(sed -n 's/^OTDR_SANITIZE:STRING=//p' "$BUILD/CMakeCache.txt")
FLAGS=""
for s in ${SAN//;/ }; do FLAGS+=" -fsanitize=$s"; done

cmake -S "$SRC" -B "$WORK/host" -DCMAKE_PREFIX_PATH="$PREFIX" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="$FLAGS" -DCMAKE_EXE_LINKER_FLAGS="$FLAGS" >"$WORK/cfg.log" 2>&1 \
  || { cat "$WORK/cfg.log"; fail "find_package(otdrdriver) failed"; }
cmake --build "$WORK/host" >"$WORK/build.log" 2>&1 || { cat "$WORK/build.log"; fail "host build failed"; }
"$WORK/host/host_minimal" | grep -qx "connected: 0" || fail "host_minimal did not run"

# pkg-config (the prefix moved with the installation); its flags carry the
# run-time path, so the host starts without LD_LIBRARY_PATH.
LIBDIR=$(dirname "$(find "$PREFIX" -name otdrdriver.pc | head -1)")
[[ -n "$LIBDIR" ]] || fail "otdrdriver.pc not installed"
PC=$(PKG_CONFIG_PATH=$LIBDIR pkg-config --define-prefix --cflags --libs otdrdriver) || fail "pkg-config failed"
c++ -std=c++17 $FLAGS "$SRC/main.cpp" -o "$WORK/host_pc" $PC \
  || fail "host build with pkg-config failed"
env -u LD_LIBRARY_PATH "$WORK/host_pc" | grep -qx "connected: 0" || fail "host built with pkg-config did not run"
# A Qt host: the front end's own .pc brings the core along.
if [[ -e "$PREFIX/bin/otdr-host" ]]; then
  [[ -e "$LIBDIR/otdrdriver-qt.pc" ]] || fail "otdrdriver-qt.pc not installed"
  PC=$(PKG_CONFIG_PATH=$LIBDIR pkg-config --define-prefix --cflags --libs otdrdriver-qt) || fail "pkg-config otdrdriver-qt failed"
  c++ -std=c++17 $FLAGS -DHOST_AVEC_QT "$SRC/main.cpp" -o "$WORK/host_pc_qt" $PC \
    || fail "Qt host build with pkg-config failed"
  env -u LD_LIBRARY_PATH "$WORK/host_pc_qt" | grep -qx "connected: 0" || fail "Qt host built with pkg-config did not run"
fi

# Against the installed simulator.
demarrer_simulateur "$PREFIX/bin/otdr-sim" || fail "installed otdr-sim did not start"
OUT=$("$WORK/host/host_minimal" 127.0.0.1 "$CP" "$FP") || fail "host_minimal could not reach the simulator"
grep -q "^model: KRX 15$" <<<"$OUT" || fail "unexpected output: $OUT"
grep -q "^entries: [1-9]" <<<"$OUT" || fail "unexpected output: $OUT"
echo "install_link: ok"
