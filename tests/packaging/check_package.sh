#!/usr/bin/env bash
# Makes the Debian package from a build and checks it as Debian would:
# lintian without errors or warnings (nor any hardening note), the desktop
# entry and the AppStream metadata valid, the manual page rendered without a
# warning, and every installed file where the desktop looks for it.
#   check_package.sh BUILD_DIR DESKTOP_ID
set -euo pipefail

if [ -n "${VIMBREL_PACKAGE_SKIP:-}" ]; then
    echo "skipped: $VIMBREL_PACKAGE_SKIP"
    exit 77
fi

build=$(cd "$1" && pwd)
id=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

for tool in cpack dpkg-deb lintian desktop-file-validate appstreamcli man; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing: run scripts/setup.sh test"; exit 1; }
done

# In a folder of its own, so that a check never meets another's package.
if ! cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack -G DEB"
    exit 1
fi
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: cpack made ${#debs[@]} packages"; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb")"

# Lintian: no error, no warning; and, though Debian files them as mere
# information, no missing hardening either.
lintian -I --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
grep -v '^running with root privileges' "$work/lintian.log" || true
grep -E '^[EW]: |^I: [^ ]+ hardening-' "$work/lintian.log" >/dev/null && fail "lintian"

dpkg-deb -x "$deb" "$work/root"
share=$work/root/usr/share

desktop=$share/applications/$id.desktop
metainfo=$share/metainfo/$id.metainfo.xml
manpage=$share/man/man1/vimbrel.1.gz
for file in usr/bin/vimbrel "usr/share/applications/$id.desktop" "usr/share/metainfo/$id.metainfo.xml" \
            usr/share/man/man1/vimbrel.1.gz usr/share/doc/vimbrel/copyright usr/share/doc/vimbrel/changelog.gz \
            usr/lib/vimbrel/modules/libvimbrel-clips.so usr/lib/vimbrel/modules/libvimbrel-heif.so; do
    [ -f "$work/root/$file" ] || fail "$file is not in the package"
done
for size in 16 32 48 64 128 256; do
    icon=usr/share/icons/hicolor/${size}x${size}/apps/$id.png
    [ -f "$work/root/$icon" ] || fail "$icon is not in the package"
done

# desktop-file-validate exits 0 on warnings and hints: any word from it fails.
if [ -f "$desktop" ]; then
    report=$(desktop-file-validate "$desktop" 2>&1) || true
    [ -z "$report" ] || fail "desktop-file-validate: $report"
    grep -qx "Icon=$id" "$desktop" || fail "the desktop entry does not name the icon $id"
fi

if [ -f "$metainfo" ]; then
    appstreamcli validate --no-net --strict "$metainfo" || fail "appstreamcli validate"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" \
        || fail "the AppStream metadata does not launch $id.desktop"
    version=$(dpkg-deb -f "$deb" Version)
    grep -q "<release version=\"$version\"" "$metainfo" || fail "the AppStream metadata has no release $version"
    zcat "$share/doc/vimbrel/changelog.gz" | head -n 1 | grep -qF "vimbrel ($version)" \
        || fail "the changelog's newest entry is not for $version"
fi

if [ -f "$manpage" ]; then
    warnings=$(MANWIDTH=80 man --warnings -l "$manpage" 2>&1 >/dev/null) || true
    [ -z "$warnings" ] || fail "man --warnings: $warnings"
    page=$(MANWIDTH=80 man -l "$manpage" 2>/dev/null) || true
    for word in NAME SYNOPSIS --generate --help --version 'EXIT STATUS' Vimbrel.conf index1.htm; do
        grep -qF -- "$word" <<<"$page" || fail "the manual page does not mention $word"
    done
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "package checked"
