#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks what it ships: the desktop entry and AppStream
# metadata pass their validators, the control data and file list hold what an installed Tavrel needs, the
# manual pages render without a warning and describe every option of the emulator and the collector, the
# collector's unit passes systemd-analyze verify, and lintian reports no error. Any failed check ends the script with a non-zero status.
# shellcheck disable=SC2015 # pass only prints, so "test && pass || fail" never runs both
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-deps.sh desktop-file-utils appstream lintian man-db groff-base systemd
deb=$(bash scripts/package.sh)
echo "package: $deb"

failures=0
pass() { echo "ok   $*"; }
fail() {
  echo "FAIL $*" >&2
  failures=$((failures + 1))
}
# check DESCRIPTION COMMAND...: runs the command, its output shown only when it fails.
check() {
  local description=$1 output
  shift
  if output=$("$@" 2>&1); then
    pass "$description"
  else
    fail "$description"
    printf '%s\n' "$output" >&2
  fi
}

id=io.github.tavrel.Tavrel
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
arch=$(dpkg --print-architecture)
[[ "$(basename "$deb")" == "tavrel_${version}_${arch}.deb" ]] &&
  pass "file name tavrel_${version}_${arch}.deb" || fail "file name $(basename "$deb"), expected tavrel_${version}_${arch}.deb"

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"

echo "== control data"
info=$(dpkg-deb --info "$deb")
field() { sed -n "s/^ $1: //p" <<<"$info"; }
[[ "$(field Package)" == tavrel ]] && pass "Package: tavrel" || fail "Package: $(field Package)"
[[ "$(field Version)" == "$version" ]] && pass "Version: $version" || fail "Version: $(field Version), expected $version"
depends=$(field Depends)
for library in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libsystemd0 libprometheus-cpp-core1.0; do
  grep -Eq "(^|, )$library( |,|$)" <<<"$depends" && pass "Depends lists $library" || fail "Depends lacks $library: $depends"
done
for name in Maintainer Section Description; do
  [[ -n "$(field "$name")" ]] && pass "$name: $(field "$name")" || fail "no $name field"
done
# The long description: indented lines after the summary.
grep -A1 '^ Description:' <<<"$info" | tail -n1 | grep -q '^  [^ ]' && pass "long description" || fail "no long description"

echo "== contents"
contents=$(dpkg-deb --contents "$deb")
# has PATH [MODE]: the package holds PATH, a regular file, with MODE (e.g. -rwxr-xr-x) when given.
has() {
  local path=$1 mode=${2:--rw-r--r--}
  if grep -Eq "^$mode root/root .* \\.$path\$" <<<"$contents"; then
    pass "$mode $path"
  else
    fail "no $mode $path"
  fi
}
has /usr/bin/tavrel -rwxr-xr-x
has /usr/bin/tavrel-repeater -rwxr-xr-x
has /usr/bin/tavrel-collector -rwxr-xr-x
has /usr/share/applications/$id.desktop
has /usr/share/metainfo/$id.metainfo.xml
has /usr/share/icons/hicolor/scalable/apps/$id.svg
has /usr/share/man/man1/tavrel.1.gz
has /usr/share/man/man1/tavrel-repeater.1.gz
has /usr/share/man/man1/tavrel-collector.1.gz
has "/usr/lib/systemd/system/tavrel-collector@.service"
has /usr/share/doc/tavrel/examples/tavrel-collector.conf
has /usr/share/doc/tavrel/copyright
has /usr/share/doc/tavrel/changelog.gz
# Nothing of the tests, the benchmarks or the static libraries.
# (/usr/lib/systemd/ holds the collector's unit, no library.)
unwanted=$(grep -E '_tests|bench|fuzz|\.a$|/include/|/lib/' <<<"$contents" | grep -Ev ' \./usr/lib/(systemd/.*)?$' || true)
[[ -z "$unwanted" ]] && pass "no tests, benchmarks or libraries" || fail "unwanted files: $unwanted"
[[ "$(grep -c '^-' <<<"$contents")" == 13 ]] && pass "thirteen files, no others" ||
  fail "expected thirteen files: $(grep '^-' <<<"$contents")"

echo "== desktop entry and AppStream metadata"
# desktop-file-validate fails only on errors; its warnings and hints (a missing main category is one) count too.
entry_report=$(desktop-file-validate "$tree/usr/share/applications/$id.desktop" 2>&1) && [[ -z "$entry_report" ]] &&
  pass "desktop-file-validate $id.desktop" || fail "desktop-file-validate $id.desktop: $entry_report"
check "appstreamcli validate --strict $id.metainfo.xml" \
  appstreamcli validate --no-net --strict --pedantic "$tree/usr/share/metainfo/$id.metainfo.xml"
# The tree as a whole: the metainfo's launchable finds the desktop entry, which finds the icon.
check "appstreamcli validate-tree --strict" appstreamcli validate-tree --no-net --strict "$tree"
grep -qx "Icon=$id" "$tree/usr/share/applications/$id.desktop" && pass "Icon=$id" || fail "desktop entry's Icon is not $id"
grep -q "<release version=\"$version\"" "$tree/usr/share/metainfo/$id.metainfo.xml" &&
  pass "metainfo releases hold $version" || fail "metainfo has no release $version"
changelog_version=$(zcat "$tree/usr/share/doc/tavrel/changelog.gz" | dpkg-parsechangelog -l - -S Version)
[[ "$changelog_version" == "$version" ]] && pass "changelog's newest entry is $version" ||
  fail "changelog's newest entry is $changelog_version, not $version"

echo "== programs"
# The stripped, installed emulator runs, and its help is what its manual page is checked against below.
if help=$("$tree/usr/bin/tavrel-repeater" --help) && [[ "$help" == "Usage: tavrel-repeater"* ]]; then
  pass "tavrel-repeater --help"
else
  fail "tavrel-repeater --help: $help"
fi
# The collector's help, its settings check on the shipped example, and its unit as systemd reads it.
if collector_help=$("$tree/usr/bin/tavrel-collector" --help) && [[ "$collector_help" == "Usage: tavrel-collector"* ]]; then
  pass "tavrel-collector --help"
else
  fail "tavrel-collector --help: $collector_help"
fi
check "tavrel-collector --check-config on the example" \
  "$tree/usr/bin/tavrel-collector" --config "$tree/usr/share/doc/tavrel/examples/tavrel-collector.conf" --check-config
unit_dir=$(mktemp -d)
sed "s|/usr/bin/tavrel-collector|$tree/usr/bin/tavrel-collector|" "$tree/usr/lib/systemd/system/tavrel-collector@.service" \
  >"$unit_dir/tavrel-collector@.service"
ln -s tavrel-collector@.service "$unit_dir/tavrel-collector@example.service"
unit_report=$(systemd-analyze verify --man=no "$unit_dir/tavrel-collector@example.service" 2>&1) && [[ -z "$unit_report" ]] &&
  pass "systemd-analyze verify tavrel-collector@.service" || fail "systemd-analyze verify: $unit_report"
rm -rf "$unit_dir"
for program in tavrel tavrel-repeater tavrel-collector; do
  runpath=$(readelf -d "$tree/usr/bin/$program" | grep -E 'RPATH|RUNPATH' || true)
  [[ -z "$runpath" ]] && pass "$program has no run path" || fail "$program: $runpath"
done

echo "== manual pages"
for page in tavrel tavrel-repeater tavrel-collector; do
  file="$tree/usr/share/man/man1/$page.1.gz"
  # man prints groff's warnings on standard error (the output itself is thrown away).
  if ! warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null); then
    warnings="man failed. $warnings"
  fi
  [[ -z "$warnings" ]] && pass "man --warnings $page.1" || fail "man --warnings $page.1: $warnings"
  title=$(zcat "$file" | grep '^\.TH' || true)
  [[ "$title" == ".TH ${page^^} 1 "* ]] && pass "$page.1 is section 1 of $page" || fail "$page.1 has no .TH ${page^^} 1"
done
# Every option and control line that tavrel-repeater --help lists has its entry in the manual page.
rendered=$(MANWIDTH=1000 man -E ascii -l "$tree/usr/share/man/man1/tavrel-repeater.1.gz" 2>/dev/null)
options=$(grep -oE '^  --[a-z-]+' <<<"$help" | tr -d ' ')
controls=$(sed -n '/^Control lines on standard input:/,/^$/p' <<<"$help" | grep -oE '^  [a-z]+' | tr -d ' ')
[[ -n "$options" && -n "$controls" ]] || fail "could not read the options and control lines from --help"
missing=0
for entry in $options $controls; do
  if ! grep -Eq "^ {7}$entry( |,|$)" <<<"$rendered"; then
    fail "tavrel-repeater.1 has no entry for $entry"
    missing=$((missing + 1))
  fi
done
((missing > 0)) ||
  pass "tavrel-repeater.1 describes all $(wc -w <<<"$options") options and $(wc -w <<<"$controls") control lines"

# Every option of tavrel-collector --help has its entry in its manual page.
rendered=$(MANWIDTH=1000 man -E ascii -l "$tree/usr/share/man/man1/tavrel-collector.1.gz" 2>/dev/null)
missing=0
for entry in $(grep -oE '^  --[a-z.-]+' <<<"$collector_help" | tr -d ' '); do
  grep -Eq "^ {7}$entry( |,|$)" <<<"$rendered" || {
    fail "tavrel-collector.1 has no entry for $entry"
    missing=$((missing + 1))
  }
done
((missing > 0)) || pass "tavrel-collector.1 describes every option"

echo "== lintian"
# Errors fail the check; warnings (W:) and notes (I:) are listed.
if lintian --fail-on error --display-info "$deb"; then
  pass "lintian: no errors"
else
  fail "lintian reports errors"
fi

if ((failures > 0)); then
  echo "package checks: $failures failed" >&2
  exit 1
fi
echo "package checks: all passed ($deb)"
