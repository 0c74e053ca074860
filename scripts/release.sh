#!/usr/bin/env bash
# Builds Quenlor's release files into build/release-artifacts/:
#   quenlor_<version>_amd64.deb                 Debian package (dpkg-buildpackage, lintian-clean)
#   quenlor-<version>-windows-x86_64.zip        quenlor.exe, quenlor-uci.exe, README.txt, LICENSE.txt
#   quenlor-web-<version>.tar.gz                the static web site (scripts/web.sh), with notices
#   SHA256SUMS
# The version is the one of `project(quenlor VERSION ...)` in CMakeLists.txt; debian/changelog,
# CHANGELOG.md and the manual pages must name it. Installs the Debian packages it needs first.
#   scripts/release.sh           everything, the Windows programs checked under Wine in full
#   scripts/release.sh --check   CI: the package built and linted, the Windows programs built and
#                                checked under Wine on the quick set; no artifacts written
set -euo pipefail
cd "$(dirname "$0")/.."
mode=release
case ${1:-} in
  --check) mode=check ;;
  "") ;;
  *) echo "usage: scripts/release.sh [--check]" >&2; exit 2 ;;
esac
scripts/install-deps.sh

version=$(sed -n 's/^project(quenlor VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }
stale() { echo "release: $1 does not name version $version" >&2; exit 1; }
[ "$(dpkg-parsechangelog -S Version)" = "$version" ] || stale debian/changelog
grep -q "^## $version " CHANGELOG.md || stale CHANGELOG.md
for page in docs/man/*.6; do grep -q "^\.TH .*\"Quenlor $version\"" "$page" || stale "$page"; done
# The manual pages format without a single warning: a stray byte or a misspelt request shows.
for page in docs/man/*.6; do
  warnings=$(groff -man -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || { echo "release: $page: $warnings" >&2; exit 1; }
done
# Timestamps inside the archives: the last commit's, so that the same commit gives the same files.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
echo "== Quenlor $version"

# --- Windows programs, cross-compiled and statically linked (only Windows' own DLLs may be
# named), then checked under Wine: in the background while the package builds.
windows() {
  [ -f build/windows/build.ninja ] || cmake --preset windows >/dev/null
  cmake --build --preset windows -j 2 >/dev/null
  for exe in build/windows/quenlor.exe build/windows/quenlor-uci.exe; do
    dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | sort -u)
    other=$(grep -viE '^(kernel32|msvcrt|user32|advapi32|ws2_32|shell32|ole32)\.dll$' <<<"$dlls" || true)
    [ -z "$other" ] || { echo "release: $exe needs $other" >&2; return 1; }
    echo "$(basename "$exe"): DLLs $(paste -sd' ' <<<"$dlls")"
  done
  scripts/wine-check.sh $([ $mode = check ] && echo --quick)
}
mkdir -p build
windows >build/windows-check.log 2>&1 &
windows_job=$!
# Whatever stops the script waits for the background part first: nothing is left running.
trap 'wait' EXIT
die() { echo "release: $*" >&2; exit 1; }

# --- Debian package, built by dpkg-buildpackage in a copy of the source (tracked and new files,
# nothing ignored), since it writes beside the source folder. The check leaves out the debug
# symbols package.
# build_deb DIR: the package built in DIR/quenlor-<version>, its files and log in DIR.
build_deb() {
  rm -rf "$1" && mkdir -p "$1/quenlor-$version"
  git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - |
    tar -x -C "$1/quenlor-$version"
  (cd "$1/quenlor-$version" && dpkg-buildpackage -b -us -uc -j2 >../build.log 2>&1) ||
    { tail -30 "$1/build.log"; die "dpkg-buildpackage failed ($1/build.log)"; }
}
deb=build/deb
echo "== Debian package"
[ $mode = check ] && export DEB_BUILD_OPTIONS="noddebs ${DEB_BUILD_OPTIONS:-}"
build_deb "$deb"
package=$deb/quenlor_${version}_amd64.deb
# No error and no warning; info tags are shown.
lintian --display-info --fail-on error,warning "$deb/quenlor_${version}_amd64.changes" 2>&1 |
  grep -v 'running with root privileges' | tee "$deb/lintian.txt" || true
[ "${PIPESTATUS[0]}" -eq 0 ] || die "lintian found errors or warnings"
echo "lintian: no error, no warning ($(grep -c '^I:' "$deb/lintian.txt" || true) info tags)"
# The manual pages carry the month and year of debian/changelog's newest entry.
read -r _ day month year _ <<<"$(dpkg-parsechangelog -S Date)"
month=$(LC_ALL=C date -d "$day $month $year" '+%B %Y')
for page in quenlor quenlor-uci; do
  th=$(dpkg-deb --fsys-tarfile "$package" | tar -xO "./usr/share/man/man6/$page.6.gz" | gzip -dc |
    sed -n 1p)
  [[ $th == *"\"$month\""* ]] || die "$page.6 is not dated $month: $th"
done
echo "manual pages dated $month"
# xboard's engine entries, one per protocol, each starting a program of the package.
contents=$(dpkg-deb -c "$package")
for eng in xboard/quenlor.eng uci/quenlor-uci.eng; do
  command=$(dpkg-deb --fsys-tarfile "$package" | tar -xO "./usr/share/games/plugins/$eng" | sed -n 2p)
  grep -q " \./usr/games/$command\$" <<<"$contents" ||
    die "$eng starts \"$command\", which is not in the package's /usr/games"
done
# Reproducible: the same source built again in another folder gives the same package, byte for
# byte.
elsewhere=$(mktemp -d)
trap 'rm -rf "$elsewhere"; wait' EXIT
build_deb "$elsewhere/deb"
cmp "$package" "$elsewhere/deb/quenlor_${version}_amd64.deb" ||
  die "the package built in $elsewhere/deb differs from $package"
rm -rf "$elsewhere"
echo "reproducible: built again in another folder, the package is the same"

echo "== Windows programs"
windows_status=0
wait $windows_job || windows_status=$?
cat build/windows-check.log
[ $windows_status -eq 0 ] || die "the Windows programs failed their check"

if [ $mode = check ]; then
  echo "== release check passed"
  exit 0
fi

out=build/release-artifacts
stage=build/release-stage
rm -rf "$out" "$stage" && mkdir -p "$out" "$stage"
cp "$package" "$out/"

# Text for Windows readers with CR LF line ends.
todos() { sed 's/\r*$/\r/' "$1" >"$2"; }
win=quenlor-$version-windows-x86_64
mkdir "$stage/$win"
cp build/windows/quenlor.exe build/windows/quenlor-uci.exe "$stage/$win/"
sed "s/@VERSION@/$version/g" packaging/windows-README.txt >"$stage/README.txt"
todos "$stage/README.txt" "$stage/$win/README.txt"
todos LICENSE "$stage/$win/LICENSE.txt"
touch -d "@$SOURCE_DATE_EPOCH" "$stage/$win" "$stage/$win"/*
(cd "$stage" && zip -X -q -r "../release-artifacts/$win.zip" "$win")

# --- The web site, with the licence and the notices of the bundled packages.
echo "== web site"
scripts/web.sh >/dev/null
web=quenlor-web-$version
cp -r build/web "$stage/$web"
cp LICENSE "$stage/$web/LICENSE"
{
  echo "Quenlor $version, the web page: GPL-3.0-or-later (see LICENSE)."
  echo "Its app.js and app.css bundle these packages (versions pinned in web/package-lock.json"
  echo "of the Quenlor source tree), built with esbuild (MIT, at build time only):"
  for p in chessground chess.js; do
    echo
    echo "== $p $(node -p "require('./web/node_modules/$p/package.json').version"):" \
      "$(node -p "require('./web/node_modules/$p/package.json').license")"
    if [ "$p" = chessground ]; then
      echo "The GNU General Public License, version 3, as in LICENSE."
    else
      cat "web/node_modules/$p/LICENSE"
    fi
  done
} >"$stage/$web/THIRD-PARTY-NOTICES.txt"
tar --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
  -C "$stage" -cf - "$web" | gzip -n -9 >"$out/$web.tar.gz"

(cd "$out" && sha256sum -- *.deb *.zip *.tar.gz >SHA256SUMS)
echo "== release files in $out/"
(cd "$out" && ls -l && cat SHA256SUMS)
