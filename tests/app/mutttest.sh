#!/bin/sh
# A real mail program: mutt, in a tmux session, composes a message with
# signature="feedquill --print|", and the mail it hands to sendmail (a script that keeps it
# in a file) ends with the newest post. Exits 77 (skipped) without mutt or tmux.
#
#   mutttest.sh FEEDQUILL
set -eu

program=$1
for tool in mutt tmux; do
    if ! command -v "$tool" > /dev/null 2>&1; then
        echo "skipped: $tool is not installed (apt-get install mutt tmux)"
        exit 77
    fi
done

work=$(mktemp -d)
socket="$work/tmux.socket"
cleanup() {
    tmux -S "$socket" kill-server > /dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$work/screen" ] && cat "$work/screen"; exit 1; }

# A project whose last update stored a post; --print needs nothing more.
mkdir -p "$work/.feedquill/SignatureTemplates"
printf 'Arden Vosk\nLatest: %%title%%\n%%link%%\n' \
    > "$work/.feedquill/SignatureTemplates/default.txt"
cat > "$work/.feedquill/Feedquill.cfg" << CFG
[project/default]
FeedURL=http://127.0.0.1:9/feed
FilePath=$work/signature.txt
LastTitle=Mutt reads Feedquill
LastLink=http://blog.example/mutt-post
[updates]
CCheckForUpdates=0
CFG

printf '#!/bin/sh\ncat > "%s/sent.eml"\n' "$work" > "$work/sendmail"
chmod +x "$work/sendmail"
cat > "$work/muttrc" << RC
set sendmail="$work/sendmail"
set signature="$program --print|"
set editor="true"
set abort_unmodified=no
set edit_headers=no
set record=""
set copy=no
set from="arden@example.org"
set use_from=yes
set charset="utf-8"
set send_charset="utf-8"
set folder="$work"
set spoolfile="$work/inbox"
set mbox_type=mbox
RC
: > "$work/inbox"

env -u DISPLAY -u WAYLAND_DISPLAY HOME="$work" TERM=xterm \
    tmux -S "$socket" new-session -d -x 120 -y 40 \
    "mutt -n -F '$work/muttrc' -s 'Hello' friend@example.org"

# The prompts for the recipient and the subject (filled in from the command line) are
# confirmed, then the compose menu's "y" sends; each waited for in bounded steps.
i=0
until tmux -S "$socket" capture-pane -p > "$work/screen" 2> /dev/null \
      && grep -q "y:Send" "$work/screen"; do
    i=$((i + 1))
    [ $i -lt 150 ] || fail "mutt's compose menu did not appear"
    if grep -Eq '^(To|Subject): .' "$work/screen"; then
        tmux -S "$socket" send-keys Enter
        sleep 0.3
    fi
    sleep 0.1
done
tmux -S "$socket" send-keys y
i=0
until [ -s "$work/sent.eml" ]; do
    i=$((i + 1))
    [ $i -lt 100 ] || fail "mutt sent no mail"
    sleep 0.1
done
sleep 0.2

grep -q '^-- $' "$work/sent.eml" || fail "no signature separator in the mail"
grep -q '^Latest: Mutt reads Feedquill$' "$work/sent.eml" || { cat "$work/sent.eml"; fail "no title"; }
grep -q '^http://blog.example/mutt-post$' "$work/sent.eml" || { cat "$work/sent.eml"; fail "no link"; }
[ "$(grep -c '^-- $' "$work/sent.eml")" = 1 ] || fail "the separator is doubled"
[ ! -e "$work/signature.txt" ] || fail "--print wrote the signature file"
echo "mutt's mail ends with the stored post"
