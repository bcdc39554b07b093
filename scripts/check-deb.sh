#!/usr/bin/env bash
# Builds the Debian package from a build directory and checks it: its name, version and Qt 6 runtime
# dependencies, every file it must carry, lintian, desktop-file-validate and appstreamcli validate-tree
# without a complaint, the manual page rendering, and that the program inside starts from the unpacked tree.
# Usage: scripts/check-deb.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/ostrell-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "check-deb: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/out/ostrell_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no ostrell_*.deb was made"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = ostrell ] || fail "package name is '$(field Package)'"
[ "$(field Version)" = 2.4.11 ] || fail "version is '$(field Version)'"
for dep in 'libqt6widgets6 (>= ' 'libqt6network6 (>= ' 'libc6 (>= ' libqt6svg6; do
  field Depends | grep -qF "$dep" || fail "Depends lacks $dep: $(field Depends)"
done
field Suggests | grep -q gnome-shell-extension-appindicator || fail "Suggests lacks the GNOME tray extension"
[ -z "$(field Recommends)" ] || fail "the package recommends $(field Recommends): a whole desktop for some"

# No lintian error or warning (informational tags are allowed).
lintian_out=$(lintian --fail-on error,warning --tag-display-limit 0 "$deb" 2>&1) || fail "lintian: $lintian_out"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
icons=./usr/share/icons/hicolor/scalable/apps
for f in ./usr/bin/ostrell ./usr/share/applications/ostrell.desktop ./etc/xdg/autostart/ostrell.desktop \
         $icons/ostrell-101.svg $icons/ostrell-102.svg $icons/ostrell-103.svg $icons/ostrell-104.svg \
         ./usr/share/man/man1/ostrell.1.gz ./usr/share/doc/ostrell/copyright ./usr/share/doc/ostrell/changelog.gz \
         ./usr/share/metainfo/invalid.ostrell.Ostrell.metainfo.xml $icons/ostrell-102-alert.svg \
         ./usr/share/ostrell/translations/ostrell_de.qm ./usr/share/ostrell/translations/ostrell_fr.qm; do
  grep -qx "$f" <<<"$contents" || fail "the package lacks $f"
done
dpkg-deb -e "$deb" "$work/control"
grep -qx /etc/xdg/autostart/ostrell.desktop "$work/control/conffiles" || fail "the autostart entry is not a conffile"

dpkg-deb -x "$deb" "$work/root"
autostart=$work/root/etc/xdg/autostart/ostrell.desktop
desktop-file-validate --no-hints "$autostart" "$work/root/usr/share/applications/ostrell.desktop" ||
  fail "desktop-file-validate rejects the entries"
manual=$work/root/usr/share/man/man1/ostrell.1.gz
man_out=$(MANWIDTH=80 man --warnings -l "$manual" 2>&1 >/dev/null) || fail "man -l failed"
[ -z "$man_out" ] || fail "the manual page renders with warnings: $man_out"
MANWIDTH=80 man -l "$manual" 2>/dev/null | grep -q "EXIT STATUS" || fail "the manual page lacks EXIT STATUS"
# The installed tree as AppStream sees it (the metainfo file, its desktop entry, the icon).
appstream_out=$(appstreamcli validate-tree --no-net "$work/root" 2>&1) ||
  fail "appstreamcli validate-tree: $appstream_out"
# After a removal the entry stays in /etc (a conffile) but must not start a program that is gone.
for line in 'TryExec=ostrell' 'Exec=ostrell --autostart' 'X-KDE-autostart-after=panel' 'X-LXQt-Need-Tray=true'; do
  grep -qx "$line" "$autostart" || fail "autostart entry lacks $line"
done
grep -q '^X-GNOME-Autostart-Delay=[0-9]' "$autostart" || fail "autostart entry lacks X-GNOME-Autostart-Delay"

# Shipped stripped and hardened (full RELRO, PIE).
prog=$work/root/usr/bin/ostrell
readelf -S "$prog" | grep -q '\.symtab' && fail "the packaged program is not stripped"
readelf -d "$prog" | grep -q 'BIND_NOW' || fail "the packaged program lacks immediate binding"
readelf -h "$prog" | grep -q 'DYN' || fail "the packaged program is not position-independent"

# The packaged program starts: on an account without BKX.ini it says so and writes nothing; with a file
# but no host version it refuses politely and publishes its own. Either way status 1, by itself.
mkdir -p "$work/config"
run() { XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/config" \
          timeout 20 "$work/root/usr/bin/ostrell" --headless 2>&1; }
status=0; out=$(run) || status=$?
[ "$status" = 1 ] || fail "the first run ended with status $status: $out"
grep -q "Brannick is not set up for this account" <<<"$out" || fail "unexpected first run: $out"
[ ! -e "$work/config/BKX.ini" ] || fail "the first run created BKX.ini"
printf '[Ostrell]\nTimeOut=15\n' >"$work/config/BKX.ini"
# Written a while ago, as the host's file is: one changed in the last 2 s is left alone by the agent.
touch -d '-1 minute' "$work/config/BKX.ini"
status=0; out=$(run) || status=$?
[ "$status" = 1 ] || fail "the refused program ended with status $status: $out"
grep -q "can only run with Brannick version 2.3.119 or higher" <<<"$out" || fail "unexpected output: $out"
grep -q '^ostrell=2.4.11$' "$work/config/BKX.ini" || fail "the packaged program did not publish its version"
echo "check-deb: $(basename "$deb") is complete and its program starts"
