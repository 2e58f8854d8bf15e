#!/usr/bin/env bash
# Builds the Debian package from an existing build tree, installs it with dpkg, checks the
# installed program and its files, runs the command-line tests against the installed program,
# and removes the package again. Needs root and dpkg; exits 77 (skipped) without them, or when
# a feedquill is installed already (it is not ours to replace).
#   installtest.sh BUILD_DIR INSTALL_PREFIX WINDOW_MODULE_DIR
set -euo pipefail

build_dir=$1
prefix=$2
module_dir=$3
skip() {
    echo "SKIP: $*"
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "needs root to install a package"
for tool in dpkg dpkg-deb dpkg-shlibdeps cpack timeout; do
    command -v "$tool" > /dev/null || skip "$tool is not installed"
done
if dpkg-query -W -f='${Status}' feedquill 2>/dev/null | grep -q "installed"; then
    skip "a feedquill package is installed already"
fi
[ ! -e "$prefix/bin/feedquill" ] || skip "$prefix/bin/feedquill exists already"

work=$(mktemp -d "${TMPDIR:-/tmp}/feedquill-installtest.XXXXXX")
installed=false
cleanup() {
    if $installed; then
        dpkg --purge feedquill > "$work/purge.log" 2>&1 || cat "$work/purge.log"
    fi
    rm -rf "$work"
}
trap cleanup EXIT
started=$SECONDS
step() {
    echo "== [$((SECONDS - started)) s] $*"
}
fail() {
    echo "FAIL: $*"
    exit 1
}

step "cpack -G DEB"
timeout 120 cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work/package" \
    > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$work/package/feedquill_1.0_amd64.deb
[ -f "$deb" ] || { cat "$work/cpack.log"; fail "no $deb"; }

step "the package's fields and files"
dpkg-deb -f "$deb" > "$work/control"
cat "$work/control"
field() {
    sed -n "s/^$1: //p" "$work/control"
}
[ "$(field Package)" = feedquill ] || fail "Package"
[ "$(field Version)" = 1.0 ] || fail "Version"
[ "$(field Architecture)" = amd64 ] || fail "Architecture"
[ "$(field Section)" = mail ] || fail "Section"
[ -n "$(field Maintainer)" ] || fail "Maintainer"
for library in libc6 libcurl4 libexpat1 libstdc++6 libwxbase3.2 libwxgtk3.2; do
    field Depends | grep -q "$library" || fail "Depends lacks $library"
done
dpkg-deb -c "$deb" | awk '{ print $6 }' > "$work/contents"
for file in bin/feedquill "${module_dir#"$prefix/"}/feedquill-window.so" share/feedquill/art/about.html share/feedquill/art/logo.bmp \
            share/applications/feedquill.desktop \
            share/metainfo/example.feedquill.Feedquill.metainfo.xml \
            share/icons/hicolor/16x16/apps/feedquill.png \
            share/icons/hicolor/24x24/apps/feedquill.png \
            share/icons/hicolor/32x32/apps/feedquill.png \
            share/icons/hicolor/48x48/apps/feedquill.png \
            share/icons/hicolor/128x128/apps/feedquill.png \
            share/icons/hicolor/scalable/apps/feedquill.svg \
            share/man/man1/feedquill.1.gz share/doc/feedquill/copyright \
            share/doc/feedquill/changelog.gz \
            lib/systemd/user/feedquill.service lib/systemd/user/feedquill.timer; do
    grep -qx ".$prefix/$file" "$work/contents" || fail "the package lacks $prefix/$file"
done

step "dpkg -i"
# Another dpkg or apt may hold the lock for a moment.
for attempt in $(seq 1 30); do
    status=0
    dpkg -i "$deb" > "$work/dpkg.log" 2>&1 || status=$?
    installed=true
    [ "$status" -ne 0 ] && grep -q "lock" "$work/dpkg.log" && [ "$attempt" -lt 30 ] || break
    sleep 1
done
[ "$status" -eq 0 ] || { cat "$work/dpkg.log"; fail "dpkg -i"; }

step "$prefix/bin/feedquill -h"
mkdir "$work/home"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY HOME="$work/home" timeout 30 "$prefix/bin/feedquill" -h \
    > "$work/help.out" 2> "$work/help.err" || status=$?
cat "$work/help.out" "$work/help.err"
[ "$status" -eq 0 ] || fail "-h exited with $status"
grep -q "^Usage: feedquill" "$work/help.out" || fail "no usage on standard output"
[ ! -s "$work/help.err" ] || fail "-h wrote to standard error"

step "the installed art, and the program looks for it there"
art=$prefix/share/feedquill/art
[ -f "$art/about.html" ] && [ -f "$art/logo.bmp" ] || fail "no $art/about.html or logo.bmp"
grep -qaF "$art" "$prefix/bin/feedquill" || fail "$prefix/bin/feedquill does not name $art"
[ ! -e "$prefix/bin/art" ] || fail "an art folder beside the installed program would shadow $art"

step "the command-line tests against $prefix/bin/feedquill"
for tests in feedquill_app_tests feedquill_core_tests; do
    status=0
    FEEDQUILL_TEST_BINARY=$prefix/bin/feedquill timeout 120 \
        "$build_dir/tests/$tests" \
        --gtest_filter='CommandLine*:KilledRun*:SignatureTarget*:LocalState*-*OddButReadable*' \
        > "$work/gtest.log" 2>&1 || status=$?
    tail -n 40 "$work/gtest.log"
    [ "$status" -eq 0 ] || fail "$tests: the command-line tests against the installed program"
    grep -q "PASSED" "$work/gtest.log" || fail "$tests: no test ran"
done

gui_tests=$build_dir/tests/feedquill_gui_tests
if [ -x "$gui_tests" ] && command -v xvfb-run > /dev/null; then
    step "the installed program opens its window"
    status=0
    FEEDQUILL_TEST_BINARY=$prefix/bin/feedquill timeout 60 "$gui_tests" \
        --gtest_filter='WindowMode*' > "$work/window.log" 2>&1 || status=$?
    tail -n 20 "$work/window.log"
    [ "$status" -eq 0 ] || fail "the installed program's window"
    grep -q "PASSED" "$work/window.log" || fail "no window test ran"
fi

step "dpkg --purge feedquill"
dpkg --purge feedquill > "$work/purge.log" 2>&1 || { cat "$work/purge.log"; fail "dpkg --purge"; }
installed=false
[ ! -e "$prefix/bin/feedquill" ] || fail "$prefix/bin/feedquill is still there"
[ ! -e "$art" ] || fail "$art is still there"
[ ! -e "$module_dir" ] || fail "$module_dir is still there"
step "OK"
