#!/usr/bin/env bash
# make install, checked: the install rules put the program, GLIMMER.BIN and
# GLIMMER.HLP in one folder with a relative link on the PATH, a desktop entry
# and its icon; and the installed program, started through that link from
# another folder, still finds its player and help file: the whole walkthrough
# runs against it.
#
# usage: install.sh <bin dir> <source dir>   (<bin dir> is the build's bin/)
set -uo pipefail

BIN_DIR=${1:?usage: install.sh <bin dir> <source dir>}
SRC_DIR=${2:?usage: install.sh <bin dir> <source dir>}
BUILD_DIR=$(cd "$BIN_DIR/.." && pwd) || { echo "install: no build folder above $BIN_DIR" >&2; exit 1; }
WORK=""

fail() {
    printf 'install: FAILED: %s\n' "$*" >&2
    [ -n "$WORK" ] && printf '  work folder kept: %s\n' "$WORK" >&2
    WORK=""
    exit 1
}
cleanup() { [ -n "$WORK" ] && rm -rf "$WORK"; }
trap cleanup EXIT

WORK=$(mktemp -d "${TMPDIR:-/tmp}/glimmer-install.XXXXXX") || fail "cannot make a work folder"
STAGE=$WORK/stage
PREFIX=/opt/glimmer-test
ROOT=$STAGE$PREFIX

# The same command as make install: DESTDIR and a prefix.
DESTDIR=$STAGE cmake --install "$BUILD_DIR" --prefix "$PREFIX" >"$WORK/install.log" 2>&1 ||
    fail "cmake --install failed: $(tail -5 "$WORK/install.log")"

for f in lib/glimmer/glimmer lib/glimmer/GLIMMER.BIN lib/glimmer/GLIMMER.HLP \
         share/applications/glimmer.desktop share/icons/hicolor/scalable/apps/glimmer.svg \
         share/icons/hicolor/48x48/apps/glimmer.png share/icons/hicolor/256x256/apps/glimmer.png; do
    [ -f "$ROOT/$f" ] || fail "$PREFIX/$f was not installed"
done
# What a user and a software centre read: manual pages, licence, changelog,
# AppStream metadata. lintian's overrides belong to the package alone.
for f in share/man/man1/glimmer.1.gz share/man/man6/glimmer-scr.6.gz \
         share/doc/glimmer/copyright share/doc/glimmer/changelog.gz \
         share/metainfo/example.glimmer.glimmer.metainfo.xml; do
    [ -f "$ROOT/$f" ] || fail "$PREFIX/$f was not installed"
done
gunzip -t "$ROOT/share/man/man1/glimmer.1.gz" || fail "the installed glimmer.1.gz is not a gzip file"
[ ! -e "$ROOT/share/lintian" ] || fail "make install put lintian's overrides into $PREFIX/share/lintian"
[ -x "$ROOT/lib/glimmer/glimmer" ] || fail "the installed program is not executable"
[ -x "$ROOT/lib/glimmer/GLIMMER.BIN" ] || fail "the installed GLIMMER.BIN is not executable"
[ -L "$ROOT/bin/glimmer" ] || fail "$PREFIX/bin/glimmer is not a link"
[ "$(readlink "$ROOT/bin/glimmer")" = ../lib/glimmer/glimmer ] ||
    fail "$PREFIX/bin/glimmer points to $(readlink "$ROOT/bin/glimmer"), not ../lib/glimmer/glimmer"
# Every compiled screensaver starts with these bytes: installed unchanged.
cmp "$ROOT/lib/glimmer/GLIMMER.BIN" "$BIN_DIR/GLIMMER.BIN" || fail "the installed GLIMMER.BIN differs from the built one"
cmp "$ROOT/lib/glimmer/GLIMMER.HLP" "$BIN_DIR/GLIMMER.HLP" || fail "the installed GLIMMER.HLP differs from the built one"
# The installed program does not look for libraries in the build tree.
if readelf -d "$ROOT/lib/glimmer/glimmer" | grep -E 'RPATH|RUNPATH' | grep -qF "$BUILD_DIR"; then
    fail "the installed program still has the build folder in its library path"
fi

desktop=$ROOT/share/applications/glimmer.desktop
grep -qx '\[Desktop Entry\]' "$desktop" || fail "glimmer.desktop has no [Desktop Entry] group"
for key in 'Type=Application' 'Name=Glimmer' 'Exec=glimmer' 'Icon=glimmer' 'Terminal=false'; do
    grep -qx "$key" "$desktop" || fail "glimmer.desktop lacks $key"
done
grep -q '^Categories=.*Graphics;' "$desktop" || fail "glimmer.desktop is in no Graphics category"

# Started by the name on the PATH, from a folder that is not its own.
PATH=$ROOT/bin:$PATH GLIMMER_E2E_PROGRAM=$(PATH=$ROOT/bin:$PATH command -v glimmer) \
    bash "$SRC_DIR/tests/e2e/walkthrough.sh" "$BIN_DIR" "$SRC_DIR" ||
    fail "the walkthrough failed with the installed program"
echo "install: passed"
