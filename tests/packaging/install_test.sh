#!/bin/sh
# Installs the build tree BUILD under a fresh prefix and runs the installed programs from there:
# the batch tool must reach its drawing helper in libexec/ and the sample models in share/, with
# neither the build tree nor the sources to fall back on.
#   install_test.sh BUILD SOURCE
set -eu
build=$1
source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix/opt kalvora" >/dev/null
root="$prefix/opt kalvora"
fail() { echo "install_test: $*" >&2; exit 1; }

for file in bin/kalvora bin/kalvora-cli libexec/kalvora/kalvora-cli-draw \
    share/applications/kalvora.desktop share/mime/packages/kalvora.xml \
    share/icons/hicolor/scalable/apps/kalvora.svg share/icons/hicolor/48x48/apps/kalvora.png \
    share/kalvora/models/henon.mod share/kalvora/manual.md share/kalvora/manual/main-window.png \
    share/doc/kalvora/copyright share/doc/kalvora/changelog.gz share/doc/kalvora/manual.md; do
    [ -e "$root/$file" ] || fail "$file is not installed"
done
[ -e "$root/bin/kalvora-cli-draw" ] && fail "the drawing helper is installed among the commands"
ls "$root"/share/metainfo/*.metainfo.xml >/dev/null || fail "no AppStream metainfo"

# The helper is found by its path from bin/, under a prefix with a space in it; the run is made
# from an empty folder so that no models/ folder nearby can stand in.
cd "$prefix"
"$root/bin/kalvora-cli" --help | grep -q "bifurcation" || fail "the general help lacks the drawing commands"
"$root/bin/kalvora-cli" phase "$root/share/kalvora/models/henon.mod" --x x --y y \
    --png "$prefix/henon.png" -o "$prefix/henon.dat" || fail "the drawing command failed"
[ -s "$prefix/henon.png" ] && [ -s "$prefix/henon.dat" ] || fail "the drawing command wrote nothing"
# The same orbit as the build tree's program gives.
"$build/kalvora-cli" phase "$source/models/henon.mod" --x x --y y -o "$prefix/expected.dat"
cmp -s "$prefix/henon.dat" "$prefix/expected.dat" || fail "the installed program computes otherwise"
