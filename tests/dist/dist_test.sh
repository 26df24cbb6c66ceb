#!/usr/bin/env bash
# Checks the packages that `make dist` wrote into dist/:
# - the Windows zip holds exactly the files it should, and SHA256SUMS matches every other one;
# - its qbkit.exe, run under Wine on the example, writes the same text and table file as the
#   Linux binary, and reports the project version, also in its file properties;
# - the Linux tarball's qbkit runs, and the .deb installs qbkit in /usr/bin.
# Wine runs in build-win/wineprefix, as for the Windows tests.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD

version=$(sed -n 's/^project(qbkit VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
vsix=$(node -p "const m = require('./editors/vscode/package.json'); m.name + '-' + m.version").vsix
zip=dist/qbkit-$version-windows-x64.zip
tarball=dist/qbkit-$version-linux-x64.tar.gz

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...: runs the command, counts and reports the outcome
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok: $what"
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
  fi
}

work=$(mktemp -d)
server=""
cleanup() {
  if [ -n "$server" ]; then "$server" -k >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The zip: its files, then their checksums.
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$root/$zip")
expected=$(printf '%s\n' README.md SHA256SUMS editors/QBScript.tmLanguage editors/QBScript.sublime-build "editors/$vsix" \
  editors/qb-script.udl.xml examples/example.qb examples/mod.bat qbkit.exe | sort)
actual=$(cd "$work/zip" && find . -type f -printf '%P\n' | sort)
check "the zip holds $(echo $expected)" test "$actual" = "$expected"
summed=$(cut -c67- "$work/zip/SHA256SUMS" | sort)
check "SHA256SUMS names every other file" test "$summed" = "$(grep -vx SHA256SUMS <<<"$expected")"
check "SHA256SUMS matches" bash -c "cd '$work/zip' && sha256sum --strict --quiet -c SHA256SUMS"
check "the README is the repository's" cmp -s README.md "$work/zip/README.md"
check "the example is the repository's" cmp -s examples/example.qb "$work/zip/examples/example.qb"

# The example decompiled by the Linux binary.
mkdir "$work/linux"
cp examples/example.qb "$work/linux/"
(cd "$work/linux" && "$root/build/qbkit" -d example.qb >text.qbs)

# Wine, one persistent server for all runs.
wine=$(command -v wine64 || { test -x /usr/lib/wine/wine64 && echo /usr/lib/wine/wine64; } || command -v wine)
export WINEPREFIX="$root/build-win/wineprefix" WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
server="$(dirname "$wine")/wineserver"
[ -x "$server" ] || server=$(command -v wineserver || true)
if [ -n "$server" ]; then
  "$server" -k >/dev/null 2>&1 || true
  "$server" -p
fi
"$wine" cmd /c exit 0 >/dev/null 2>&1 || { echo "Wine does not start"; exit 1; }

(cd "$work/zip/examples" && "$wine" ../qbkit.exe -d example.qb >"$work/wine.qbs")
check "qbkit.exe writes the Linux text" cmp "$work/linux/text.qbs" "$work/wine.qbs"
check "qbkit.exe writes the Linux table file" \
  cmp "$work/linux/example.qb_table.qbi" "$work/zip/examples/example.qb_table.qbi"
check "qbkit.exe --version says qbkit $version" \
  test "$("$wine" "$work/zip/qbkit.exe" --version | tr -d '\r')" = "qbkit $version"

# The file properties, as Windows reads them.
x86_64-w64-mingw32-gcc -O -o "$work/file_version.exe" tests/dist/file_version.c -lversion
properties=$("$wine" "$work/file_version.exe" "$work/zip/qbkit.exe" | tr -d '\r')
check "qbkit.exe's properties carry version $version" test "$properties" = "$(printf \
  'file %s.0\nproduct %s.0\nFileVersion %s\nProductVersion %s' "$version" "$version" "$version" "$version")"

# Linux: the tarball's binary runs, the .deb puts it in /usr/bin.
mkdir "$work/tgz"
tar -xzf "$tarball" -C "$work/tgz"
check "the tarball's qbkit --version says qbkit $version" \
  test "$("$work/tgz/qbkit-$version-linux-x64/bin/qbkit" --version)" = "qbkit $version"
deb=$(ls dist/qbkit_"$version"_*.deb)
mkdir "$work/deb"
(cd "$work/deb" && cmake -E tar xf "$root/$deb" && tar -xf data.tar.* && tar -xf control.tar.*)
check "the .deb installs /usr/bin/qbkit $version" test "$("$work/deb/usr/bin/qbkit" --version)" = "qbkit $version"
synopsis=$(sed -n 's/^Description: //p' "$work/deb/control")
check "the .deb's synopsis is under 80 characters ($synopsis)" test "${#synopsis}" -lt 80 -a -n "$synopsis"
long_lines=$(sed -n '/^Description: /,/^[^ ]/p' "$work/deb/control" | grep -c '^ ' || true)
check "the .deb has a long description ($long_lines lines)" test "$long_lines" -ge 3
check "the .deb installs the README compressed, as README.md.gz" \
  bash -c "test ! -e '$work/deb/usr/share/doc/qbkit/README.md' && gzip -dc '$work/deb/usr/share/doc/qbkit/README.md.gz' | cmp -s - README.md"

echo "dist-test: $passed passed, $failed failed"
[ "$failed" = 0 ]
