#!/usr/bin/env bash
# Checks one of the files that are installed beside the program with the tool made for it.
# Any message from the tool fails the check, not only its errors. Exits 77 (skipped) when the
# tool is not installed.
#   lint.sh desktop  SOURCE_DIR
#   lint.sh appstream SOURCE_DIR
#   lint.sh man      SOURCE_DIR
#   lint.sh systemd  SOURCE_DIR BINARY
#   lint.sh completion SOURCE_DIR BINARY
set -euo pipefail

kind=$1
source_dir=$2

need() {
    if ! command -v "$1" > /dev/null; then
        echo "SKIP: $1 is not installed"
        exit 77
    fi
}

work=$(mktemp -d "${TMPDIR:-/tmp}/feedquill-lint.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Runs a command; fails when it fails or says anything on either output.
quiet() {
    local status=0
    "$@" > "$work/said" 2>&1 || status=$?
    if [ "$status" -ne 0 ] || [ -s "$work/said" ]; then
        echo "FAIL: $* (exit status $status):"
        cat "$work/said"
        exit 1
    fi
}

case $kind in
desktop)
    need desktop-file-validate
    quiet desktop-file-validate "$source_dir/dist/feedquill.desktop"
    ;;
appstream)
    need appstreamcli
    # The placeholder site's domain, .example, is no real top-level domain, and the site is
    # plain http: the validator notes both ("I:") and still passes.
    appstreamcli validate --no-net "$source_dir/dist/feedquill.metainfo.xml" > "$work/said" 2>&1 \
        || { cat "$work/said"; exit 1; }
    if grep -Ev '^I: .*(cid-maybe-not-rdns|url-not-secure)|^ +http://feedquill\.example/|^$|Validation was successful' \
            "$work/said"; then
        echo "FAIL: unexpected messages from appstreamcli"
        exit 1
    fi
    # The other validator, strict: translations, screenshot, contact (where appstream-util is
    # installed).
    # It tells the kind of file by its name.
    if command -v appstream-util > /dev/null; then
        cp "$source_dir/dist/feedquill.metainfo.xml" "$work/feedquill.metainfo.xml"
        appstream-util validate-strict --nonet "$work/feedquill.metainfo.xml" > "$work/said" 2>&1 \
            || { cat "$work/said"; exit 1; }
        cat "$work/said"
    else
        echo "appstream-util is not installed: its check is left out"
    fi
    # The desktop entry it launches is the one installed.
    grep -q '<launchable type="desktop-id">feedquill.desktop</launchable>' \
        "$source_dir/dist/feedquill.metainfo.xml"
    # The window's catalogues are the ones it names.
    grep -q '<translation type="gettext">feedquill</translation>' \
        "$source_dir/dist/feedquill.metainfo.xml"
    ;;
man)
    need man
    page=$source_dir/dist/feedquill.1
    # groff's warnings (man --warnings) come on standard error; the page itself is discarded.
    status=0
    LC_ALL=C.UTF-8 man --warnings -l -Tutf8 "$page" > /dev/null 2> "$work/said" || status=$?
    if [ "$status" -ne 0 ] || [ -s "$work/said" ]; then
        echo "FAIL: man --warnings (exit status $status):"
        cat "$work/said"
        exit 1
    fi
    # mandoc's checks, down to style.
    if command -v mandoc > /dev/null; then
        quiet mandoc -Tlint -Wstyle "$page"
    else
        echo "mandoc is not installed: its check is left out"
    fi
    # The sections a packager looks for: every exit status, and the files the packages bring.
    for text in 'no template is saved' 'feedquill.service' 'feedquill.timer' \
                'examples/crontab' 'bash\-completion' 'Feedquill.lock'; do
        grep -qF -- "$text" "$page" || { echo "FAIL: the page does not mention $text"; exit 1; }
    done
    # Every switch, and the same feed error numbers as the README's table.
    for switch in help cmd quiet local version; do
        grep -qF -- "\\-\\-$switch" "$page" || { echo "FAIL: --$switch is missing"; exit 1; }
    done
    sed -n '/^## Feed error numbers/,/^## /p' "$source_dir/README.md" \
        | grep -E '^\| [0-9]' | cut -d'|' -f2 | grep -oE '[0-9]+' | sort -n > "$work/readme"
    sed -n '/^\.SH FEED ERRORS/,/^\.SH /p' "$page" | grep -A1 -x '\.TP' \
        | grep -E '^\.BR? [0-9]' | grep -oE '[0-9]+' | sort -n > "$work/page"
    if [ ! -s "$work/readme" ] || ! diff "$work/readme" "$work/page"; then
        echo "FAIL: the feed error numbers differ from README.md's (< README, > page)"
        exit 1
    fi
    ;;
completion)
    binary=$3
    # The switches the program lists in its usage text.
    env -u DISPLAY -u WAYLAND_DISPLAY "$binary" -h | grep -oE -- '(^| )--?[a-z]+' \
        | tr -d ' ' | sort -u > "$work/switches"
    [ -s "$work/switches" ] || { echo "FAIL: no switches in the usage text"; exit 1; }
    need bash
    bash -c 'source "$1" && complete -p feedquill && COMP_WORDS=(feedquill "") && COMP_CWORD=1 \
             && _feedquill && printf "%s\n" "${COMPREPLY[@]}"' \
        bash "$source_dir/dist/completion/feedquill.bash" > "$work/bash" 2>&1 \
        || { cat "$work/bash"; echo "FAIL: bash completion"; exit 1; }
    head -n 1 "$work/bash" | grep -qx 'complete -F _feedquill feedquill' \
        || { cat "$work/bash"; echo "FAIL: complete -p feedquill"; exit 1; }
    tail -n +2 "$work/bash" | sort -u > "$work/bash.words"
    diff "$work/switches" "$work/bash.words" \
        || { echo "FAIL: bash completes other switches (< program, > completion)"; exit 1; }
    need zsh
    quiet zsh -n "$source_dir/dist/completion/_feedquill"
    head -n 1 "$source_dir/dist/completion/_feedquill" | grep -qx '#compdef feedquill' \
        || { echo "FAIL: _feedquill does not start with #compdef feedquill"; exit 1; }
    # The switches of the specifications, not the words of their descriptions.
    grep -v '^#' "$source_dir/dist/completion/_feedquill" | grep -oE -- "[({,' )]--?[a-z]+" \
        | cut -c2- | grep -vx -- '-s' | sort -u > "$work/zsh.words"
    diff "$work/switches" "$work/zsh.words" \
        || { echo "FAIL: zsh completes other switches (< program, > completion)"; exit 1; }
    ;;
systemd)
    need systemd-analyze
    binary=$3
    # verify checks that ExecStart's program exists, so the copies run the built one.
    for unit in feedquill.service feedquill.timer; do
        sed "s|/usr/bin/feedquill|$binary|" "$source_dir/dist/systemd/$unit" > "$work/$unit"
    done
    grep -qx 'ExecStart=/usr/bin/feedquill -q --all' "$source_dir/dist/systemd/feedquill.service"
    grep -qx 'NoNewPrivileges=yes' "$source_dir/dist/systemd/feedquill.service" \
        || { echo "FAIL: the service may gain privileges"; exit 1; }
    mkdir -m 700 "$work/runtime"
    quiet env XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user --man=no verify \
        "$work/feedquill.service" "$work/feedquill.timer"
    ;;
*)
    echo "unknown check: $kind"
    exit 2
    ;;
esac
echo "OK: $kind"
