#!/usr/bin/env bash
# Builds both Debian packages from an existing build tree and checks them without installing
# anything: the control data (dpkg-deb --info), the files (dpkg-deb --contents), lintian, and
# the programs extracted (dpkg-deb -x) into a temporary folder. "feedquill" alone must update
# from the command line without any window library; with "feedquill-gtk" beside it, the
# program must open its window. Nothing outside the temporary folder is touched, so an
# installed feedquill stays as it is. Exits 77 (skipped) without cpack or dpkg-deb.
#   installtest.sh BUILD_DIR INSTALL_PREFIX WINDOW_MODULE_DIR
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=$1
prefix=$2
module_dir=$3
version=1.0
skip() {
    echo "SKIP: $*"
    exit 77
}
for tool in dpkg dpkg-deb dpkg-shlibdeps cpack readelf timeout; do
    command -v "$tool" > /dev/null || skip "$tool is not installed"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/feedquill-packagetest.XXXXXX")
trap 'rm -rf "$work"' EXIT
# The tests of signature files that the user nobody may not write run the program as nobody.
chmod 755 "$work"
started=$SECONDS
step() {
    echo "== [$((SECONDS - started)) s] $*"
}
fail() {
    echo "FAIL: $*"
    exit 1
}

arch=$(dpkg --print-architecture)
step "cpack -G DEB"
timeout 300 cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work/package" \
    > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
cli_deb=$work/package/feedquill_${version}_${arch}.deb
gtk_deb=$work/package/feedquill-gtk_${version}_${arch}.deb
for deb in "$cli_deb" "$gtk_deb"; do
    [ -f "$deb" ] || { cat "$work/cpack.log"; ls "$work/package"; fail "no $deb"; }
done
count=$(find "$work/package" -maxdepth 1 -name '*.deb' | wc -l)
[ "$count" -eq 2 ] || fail "cpack made $count packages, not 2"

# The control data of one package: its fields and its control files.
check_control() {
    local deb=$1 package=$2
    dpkg-deb --info "$deb" > "$work/$package.info"
    dpkg-deb --field "$deb" > "$work/$package.control"
    cat "$work/$package.control"
    field() {
        sed -n "s/^$1: //p" "$work/$package.control"
    }
    [ "$(field Package)" = "$package" ] || fail "$package: Package is $(field Package)"
    [ "$(field Version)" = "$version" ] || fail "$package: Version"
    [ "$(field Architecture)" = "$arch" ] || fail "$package: Architecture"
    [ "$(field Section)" = mail ] || fail "$package: Section"
    [ -n "$(field Maintainer)" ] || fail "$package: Maintainer"
    grep -qE "^ +[0-9]+ bytes, +[0-9]+ lines +md5sums *$" "$work/$package.info" \
        || fail "$package: no md5sums control file"
    field Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//' | sort > "$work/$package.depends"
}

# Every file (not folder) of one package, as an absolute path.
list_files() {
    dpkg-deb --contents "$1" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./|/|' | sort
}

docs() {
    echo "$prefix/share/doc/$1/changelog.gz"
    echo "$prefix/share/doc/$1/copyright"
}

step "feedquill: control data, dependencies and files"
check_control "$cli_deb" feedquill
for library in libc6 libcurl4 libexpat1 libstdc++6 libwxbase3.2-1; do
    grep -qx "$library" "$work/feedquill.depends" || fail "feedquill: Depends lacks $library"
done
if grep -E 'gtk|wxgtk|libx11|libgdk|libpango|libcairo' "$work/feedquill.depends"; then
    fail "feedquill depends on window libraries"
fi
{
    echo "$prefix/bin/feedquill"
    echo "$prefix/share/man/man1/feedquill.1.gz"
    echo "$prefix/lib/systemd/user/feedquill.service"
    echo "$prefix/lib/systemd/user/feedquill.timer"
    echo "$prefix/share/doc/feedquill/README.md"
    echo "$prefix/share/doc/feedquill/examples/crontab"
    echo "$prefix/share/bash-completion/completions/feedquill"
    echo "$prefix/share/zsh/vendor-completions/_feedquill"
    docs feedquill
    [ ! -f "$source_dir/dist/lintian/feedquill" ] \
        || echo "$prefix/share/lintian/overrides/feedquill"
} | sort > "$work/feedquill.expected"
list_files "$cli_deb" > "$work/feedquill.files"
diff "$work/feedquill.expected" "$work/feedquill.files" \
    || fail "feedquill: the files differ from the expected ones (< expected, > packaged)"

step "feedquill-gtk: control data, dependencies and files"
check_control "$gtk_deb" feedquill-gtk
grep -q "feedquill (= $version)" "$work/feedquill-gtk.control" \
    || fail "feedquill-gtk does not depend on feedquill (= $version)"
grep -qx "Recommends: xdg-utils" "$work/feedquill-gtk.control" \
    || fail "feedquill-gtk does not recommend xdg-utils"
grep -qx "Suggests: wx3.2-i18n" "$work/feedquill-gtk.control" \
    || fail "feedquill-gtk does not suggest wx3.2-i18n"
for library in libwxgtk3.2-1 libwxbase3.2-1 libc6; do
    grep -qx "$library" "$work/feedquill-gtk.depends" \
        || fail "feedquill-gtk: Depends lacks $library"
done
{
    echo "$module_dir/feedquill-window.so"
    echo "$prefix/share/feedquill/art/about.html"
    echo "$prefix/share/feedquill/art/help.html"
    echo "$prefix/share/feedquill/art/logo.bmp"
    echo "$prefix/share/applications/feedquill.desktop"
    echo "$prefix/share/metainfo/example.feedquill.Feedquill.metainfo.xml"
    for size in 16 24 32 48 128; do
        echo "$prefix/share/icons/hicolor/${size}x${size}/apps/feedquill.png"
    done
    echo "$prefix/share/icons/hicolor/scalable/apps/feedquill.svg"
    docs feedquill-gtk
    [ ! -f "$source_dir/dist/lintian/feedquill-gtk" ] \
        || echo "$prefix/share/lintian/overrides/feedquill-gtk"
    # Message catalogues of the window, where the build has them.
    list_files "$gtk_deb" | grep -E "^$prefix/share/locale/[^/]+/LC_MESSAGES/feedquill\.mo$" \
        || true
} | sort > "$work/feedquill-gtk.expected"
list_files "$gtk_deb" > "$work/feedquill-gtk.files"
diff "$work/feedquill-gtk.expected" "$work/feedquill-gtk.files" \
    || fail "feedquill-gtk: the files differ from the expected ones (< expected, > packaged)"

step "hardening of the packaged programs"
cli_root=$work/cli
full_root=$work/full
dpkg-deb -x "$cli_deb" "$cli_root"
dpkg-deb -x "$cli_deb" "$full_root"
dpkg-deb -x "$gtk_deb" "$full_root"
for binary in "$cli_root$prefix/bin/feedquill" "$full_root$module_dir/feedquill-window.so"; do
    readelf -d "$binary" > "$work/dynamic"
    readelf -lW "$binary" > "$work/segments"
    grep -q "GNU_RELRO" "$work/segments" || fail "$binary: no RELRO"
    grep -qE "\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW" "$work/dynamic" || fail "$binary: not -z now"
    readelf -sW --dyn-syms "$binary" > "$work/symbols"
    grep -q "__stack_chk_fail" "$work/symbols" || fail "$binary: no stack protector"
done
# The module makes no call that FORTIFY could check (lintian would name one).
readelf -sW --dyn-syms "$cli_root$prefix/bin/feedquill" > "$work/symbols"
grep -qE "__[a-z_]+_chk@" "$work/symbols" || fail "feedquill: no fortified libc call"
readelf -h "$cli_root$prefix/bin/feedquill" > "$work/header"
grep -qE "Type: +DYN" "$work/header" || fail "feedquill is not a position-independent executable"
readelf -d "$cli_root$prefix/bin/feedquill" > "$work/dynamic"
if grep -E "NEEDED.*(gtk|gdk|X11|wx_gtk)" "$work/dynamic"; then
    fail "feedquill links window libraries"
fi

if command -v lintian > /dev/null; then
    step "lintian --pedantic"
    # Overrides are read from the packages themselves. As root, lintian says so on stderr.
    status=0
    lintian --pedantic --display-info --display-experimental --fail-on error,warning,info,pedantic \
        "$cli_deb" "$gtk_deb" > "$work/lintian.log" 2>&1 || status=$?
    grep -v "running with root privileges is not recommended" "$work/lintian.log" \
        > "$work/lintian.said" || true
    cat "$work/lintian.said"
    [ "$status" -eq 0 ] && [ ! -s "$work/lintian.said" ] || fail "lintian (exit status $status)"
else
    echo "lintian is not installed: its check is left out"
fi

cli_program=$cli_root$prefix/bin/feedquill
step "feedquill alone: --version and -h"
home=$work/home
mkdir "$home"
chmod 755 "$home"
run() {
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" timeout 30 "$@" \
        > "$work/run.out" 2> "$work/run.err" || status=$?
    cat "$work/run.out" "$work/run.err"
}
run "$cli_program" --version
[ "$status" -eq 0 ] || fail "--version exited with $status"
[ "$(cat "$work/run.out")" = "Feedquill $version" ] || fail "--version printed something else"
run "$cli_program" -h
[ "$status" -eq 0 ] || fail "-h exited with $status"
grep -q "^Usage: feedquill" "$work/run.out" || fail "no usage on standard output"

step "feedquill alone: a window is asked for"
# With a display that does not answer and no module beside the program.
run env DISPLAY=:65000 "$cli_program"
[ "$status" -eq 1 ] || fail "asking for a window exited with $status"
grep -q "^Feedquill cannot open its window: " "$work/run.err" || fail "no message"
[ ! -e "$home/.feedquill" ] || fail "asking for a window created $home/.feedquill"

# Runs the tests of one test program that match filter against the extracted program.
run_tests() {
    local program=$1 tests=$2 filter=$3 status=0
    FEEDQUILL_TEST_BINARY=$program timeout 180 "$build_dir/tests/$tests" \
        --gtest_filter="$filter" > "$work/gtest.log" 2>&1 || status=$?
    tail -n 40 "$work/gtest.log"
    [ "$status" -eq 0 ] || fail "$tests ($filter) against $program"
    grep -q "PASSED" "$work/gtest.log" || fail "$tests: no test ran"
}

step "feedquill alone: the command-line tests against the extracted program"
# A display that cannot be opened is a test for the program with its window module.
for tests in feedquill_app_tests feedquill_core_tests; do
    run_tests "$cli_program" "$tests" \
        'CommandLine*:Journal*:KilledRun*:SignatureTarget*:LocalState*-*OddButReadable*:*DisplayThatCannotBeOpened*'
done

step "both packages: the art and the window"
full_program=$full_root$prefix/bin/feedquill
art=$prefix/share/feedquill/art
grep -qaF "$art" "$full_program" || fail "feedquill does not name $art"
[ ! -e "$full_root$prefix/bin/art" ] || fail "an art folder beside the program would shadow $art"
run_tests "$full_program" feedquill_app_tests 'CommandLine.DisplayThatCannotBeOpened*'
if [ -x "$build_dir/tests/feedquill_gui_tests" ] && command -v Xvfb > /dev/null; then
    run_tests "$full_program" feedquill_gui_tests 'WindowMode*'
else
    echo "no window tests or no Xvfb: the window is not opened"
fi
step "OK"
