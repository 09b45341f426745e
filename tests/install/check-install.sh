#!/bin/bash
# Installs the build into a staging folder and builds its Debian package, then checks both hold
# exactly the program and its data, that the desktop entries are valid and find their program
# and icon, that the icons are the program's own, that the manual pages and the AppStream
# metadata pass their checks, and that lintian finds nothing to warn of in the package.
# usage: check-install.sh BUILD SOURCE VERSION BINDIR DATADIR SYSCONFDIR (the full install folders)
set -eu
# The strictest umask: what is installed and packaged must not depend on the builder's.
umask 077
build=$1 source=$2 version=$3 bindir=$4 datadir=$5 sysconfdir=$6
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

sizes="16 32 48 64"
expected=("$bindir/veska" "$datadir/applications/veska.desktop" "$sysconfdir/xdg/autostart/veska.desktop"
          "$datadir/doc/veska/copyright" "$datadir/doc/veska/changelog.gz"
          "$datadir/man/man1/veska.1.gz" "$datadir/man/ja/man1/veska.1.gz"
          "$datadir/metainfo/invalid.veska.veska.metainfo.xml")
for n in $sizes; do expected+=("$datadir/icons/hicolor/${n}x$n/apps/veska.png"); done
printf '%s\n' "${expected[@]}" | sort >"$tmp/expected"

# Installing under a prefix the program was not built for is refused, before anything is copied.
if DESTDIR="$tmp/wrong" cmake --install "$build" --prefix /elsewhere >"$tmp/wrong.log" 2>&1; then
  fail "an install under another prefix went through"
fi
[ ! -e "$tmp/wrong" ] || fail "a refused install left files: $(find "$tmp/wrong" -type f)"

root=$tmp/root
DESTDIR=$root cmake --install "$build" >"$tmp/install.log" || { cat "$tmp/install.log"; fail "cmake --install"; }
(cd "$root" && find . ! -type d | sed 's/^\.//' | sort) >"$tmp/installed"
diff -u "$tmp/expected" "$tmp/installed" || fail "the installed files differ from the program and its data"

for entry in "$datadir/applications/veska.desktop" "$sysconfdir/xdg/autostart/veska.desktop"; do
  desktop-file-validate "$root$entry" || fail "$entry is not a valid desktop entry"
  exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$root$entry")
  [ -x "$root$bindir/$exec" ] || fail "$entry starts $exec, which is not installed in $bindir"
  icon=$(sed -n 's/^Icon=//p' "$root$entry")
  for n in $sizes; do
    [ -f "$root$datadir/icons/hicolor/${n}x$n/apps/$icon.png" ] || fail "$entry: no ${n}px icon $icon"
  done
done

# The changelog names the version being built, and the manual pages render without a complaint.
changelog=$(zcat "$root$datadir/doc/veska/changelog.gz" | dpkg-parsechangelog -l - -S Version)
[ "$changelog" = "$version" ] || fail "the changelog's latest entry is $changelog, the build is $version"
for page in man/man1 man/ja/man1; do
  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$root$datadir/$page/veska.1.gz" >"$tmp/page" 2>"$tmp/page.err" ||
    fail "man -l $page/veska.1.gz"
  [ ! -s "$tmp/page.err" ] || { cat "$tmp/page.err"; fail "man -l $page/veska.1.gz complains"; }
  grep -q '^ *veska - ' "$tmp/page" || fail "$page/veska.1.gz has no NAME line for veska"
done

# The AppStream metadata: valid by itself and against the installed tree (its launchable desktop
# entry, its icon), with no error or warning; a few infos may stand. Its latest release is this build.
metainfo=$root$datadir/metainfo/invalid.veska.veska.metainfo.xml
for check in "validate --no-net $metainfo" "validate-tree --no-net $root"; do
  appstreamcli $check >"$tmp/appstream" 2>&1 || { cat "$tmp/appstream"; fail "appstreamcli $check"; }
  ! grep -E '^ *[EW]: ' "$tmp/appstream" || fail "appstreamcli $check reports the above"
done
release=$(grep -o -m1 '<release version="[^"]*"' "$metainfo" | cut -d'"' -f2)
[ "$release" = "$version" ] || fail "the metainfo's latest release is $release, the build is $version"

# Each icon is the tray icon's picture, its pixels repeated: not a smoothed or stale copy.
for n in $sizes; do
  convert "$source/src/forms/veska16.xpm" -sample "${n}x$n" "PNG32:$tmp/want.png"
  diff=$(compare -metric AE "$tmp/want.png" "$root$datadir/icons/hicolor/${n}x$n/apps/veska.png" null: 2>&1) ||
    fail "the ${n}px icon differs from src/forms/veska16.xpm in $diff pixels"
done

# The package: the same files, and only run-time libraries to depend on.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; fail "cpack"; }
deb=$tmp/pkg/veska_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no package $(basename "$deb") in $(ls "$tmp/pkg")"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's/^\.//' | sort >"$tmp/packaged"
diff -u "$tmp/expected" "$tmp/packaged" || fail "the package's files differ from the program and its data"
# Debian's own checks, as a packager runs them: no error and no warning (infos may stand; a tag
# overridden would need /usr/share/lintian/overrides/veska in the package, with its reason).
lintian -I --fail-on error,warning "$deb" >"$tmp/lintian" 2>&1 || { cat "$tmp/lintian"; fail "lintian"; }
cat "$tmp/lintian"
! grep -E '^[EW]: ' "$tmp/lintian" || fail "lintian reports the above"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
grep -q 'libqt6widgets6' <<<"$depends" || fail "the package does not depend on Qt's widgets"
! grep -qE -- '-dev([ ,(]|$)' <<<"$depends" || fail "the package depends on a development package"
echo "install layout and package: ok"
