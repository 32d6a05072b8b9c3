#!/usr/bin/env bash
# The Debian package, checked by Debian's own rules: the package that make
# package builds with dpkg-buildpackage passes lintian with no error, no
# warning and no hardening tag; the installed program compiles a project into
# a screensaver that runs (the package's own test, debian/tests, run on the
# unpacked package); the Windows player keeps Windows' hardening; its
# AppStream metadata passes appstreamcli and its desktop entry
# desktop-file-validate; the manual pages render without a warning, are found
# by name and document every option the player's usage line names; the
# changelog, the copyright file, the metadata and the pages agree with the
# package and with LICENSE.
#
# usage: package.sh <bin dir> <source dir>   (<bin dir> is the build's bin/)
# Exits with 77 (skipped, with the reason) when a checking tool is missing,
# except in CI (GLIMMER_CI=1 or GLIMMER_CORPUS_REQUIRED=1), where that fails.
set -uo pipefail

BIN_DIR=${1:?usage: package.sh <bin dir> <source dir>}
SRC_DIR=${2:?usage: package.sh <bin dir> <source dir>}
BUILD_DIR=$(cd "$BIN_DIR/.." && pwd) || { echo "package: no build folder above $BIN_DIR" >&2; exit 1; }
# The package is built in the locale make build ran in (the compiler cache
# keys on it); the checks read the tools' output in one locale.
BUILD_LOCALE=(env -u LC_ALL)
[ -n "${LC_ALL+set}" ] && BUILD_LOCALE=(env "LC_ALL=$LC_ALL")
export LC_ALL=C.UTF-8
WORK=""
FAILURES=0

fail() {
    printf 'package: FAILED: %s\n' "$*" >&2
    [ -n "$WORK" ] && printf '  work folder kept: %s\n' "$WORK" >&2
    WORK=""
    exit 1
}
# A check that fails without ending the run, so that one run shows every fault.
complain() {
    printf 'package: FAILED: %s\n' "$*" >&2
    FAILURES=$((FAILURES + 1))
}
cleanup() { [ -n "$WORK" ] && rm -rf "$WORK"; }
trap cleanup EXIT

# ------------------------------------------------------------ the tools
missing=()
for tool in dpkg-buildpackage:dpkg-dev dh:debhelper dpkg-deb:dpkg dpkg-parsechangelog:dpkg-dev lintian:lintian \
            appstreamcli:appstream desktop-file-validate:desktop-file-utils man:man-db \
            identify:imagemagick; do
    command -v "${tool%%:*}" >/dev/null || missing+=("${tool%%:*} (Debian package ${tool#*:})")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "${GLIMMER_CI:-}" = 1 ] || [ "${GLIMMER_CORPUS_REQUIRED:-}" = 1 ]; then
        fail "not installed, and CI must run this check: ${missing[*]}"
    fi
    echo "package: SKIPPED: not installed: ${missing[*]}; scripts/install-deps installs them"
    exit 77
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/glimmer-package.XXXXXX") || fail "cannot make a work folder"

# ------------------------------------------------------------ the package
# The same script as make package, in the same work folder: the compiler
# cache serves the second build.
DEB=$(JOBS=${JOBS:-2} "${BUILD_LOCALE[@]}" "$SRC_DIR/scripts/make-package" "$WORK" "$BUILD_DIR/package" 2>"$WORK/make-package.log") ||
    fail "make-package failed: $(tail -5 "$WORK/make-package.log")"
[ -f "$DEB" ] || fail "make-package named no package file ($DEB)"
VERSION=$(dpkg-deb -f "$DEB" Version)
MAINTAINER=$(dpkg-deb -f "$DEB" Maintainer)
ROOT=$WORK/root
dpkg-deb -x "$DEB" "$ROOT" || fail "dpkg-deb cannot unpack $DEB"
echo "package: built $(basename "$DEB"), version $VERSION"

# ------------------------------------------------------------ lintian
# Informational tags too: the hardening ones are of that level.
lintian --display-info --fail-on error,warning "$DEB" >"$WORK/lintian.txt" 2>&1
lintian_status=$?
if grep -qE '^[EW]: |^.: [^ ]+: hardening-' "$WORK/lintian.txt"; then
    complain "lintian reports errors, warnings or hardening tags:"
    grep -E '^[EW]: |^.: [^ ]+: hardening-' "$WORK/lintian.txt" | sed 's/^/    /' >&2
elif [ $lintian_status -ne 0 ]; then
    complain "lintian could not check the package (status $lintian_status): $(tail -5 "$WORK/lintian.txt")"
fi

for f in usr/share/doc/glimmer/copyright usr/share/doc/glimmer/changelog.gz \
         usr/share/man/man1/glimmer.1.gz usr/share/man/man6/glimmer-scr.6.gz \
         usr/share/applications/glimmer.desktop usr/share/lintian/overrides/glimmer; do
    [ -f "$ROOT/$f" ] || complain "the package lacks /$f"
done

# ------------------------------------------------------------ the program
GLIMMER_ROOT=$ROOT AUTOPKGTEST_TMP=$WORK bash "$SRC_DIR/debian/tests/compile" >"$WORK/compile.txt" 2>&1 ||
    complain "the package's own test: $(tail -3 "$WORK/compile.txt")"
# GLIMMER.EXE: ASLR with a high-entropy base, DEP, and the stack protector.
exe=$ROOT/usr/lib/glimmer/GLIMMER.EXE
pe=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
flags=$(od -An -tu2 -j$((pe + 24 + 70)) -N2 "$exe" | tr -d ' ')
[ $((flags & 0x160)) -eq $((0x160)) ] || complain "GLIMMER.EXE lacks ASLR or DEP (DllCharacteristics $flags)"
grep -qa 'stack smashing detected' "$exe" || complain "GLIMMER.EXE has no stack protector"

# ------------------------------------------------------------ desktop entry
desktop=$ROOT/usr/share/applications/glimmer.desktop
if ! out=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$out" ]; then
    complain "desktop-file-validate: $out"
fi

# ------------------------------------------------------------ AppStream
shopt -s nullglob
metas=("$ROOT"/usr/share/metainfo/*.metainfo.xml)
shopt -u nullglob
if [ ${#metas[@]} -ne 1 ]; then
    complain "the package holds ${#metas[@]} AppStream files in /usr/share/metainfo, not one"
else
    meta=${metas[0]}
    if ! appstreamcli validate --no-net "$meta" >"$WORK/appstream.txt" 2>&1 ||
       grep -qE '^[EW]: ' "$WORK/appstream.txt"; then
        complain "appstreamcli validate: $(cat "$WORK/appstream.txt")"
    fi
    # The entry a software centre starts is the one the package installs.
    desktop_id=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$meta")
    [ -n "$desktop_id" ] || complain "the AppStream file names no desktop entry"
    [ -z "$desktop_id" ] || [ -f "$ROOT/usr/share/applications/$desktop_id" ] ||
        complain "the AppStream file names the desktop entry $desktop_id, which the package does not install"
    grep -q "<project_license>MIT</project_license>" "$meta" || complain "the AppStream file does not name the MIT licence"
    release=$(sed -n 's:.*<release version="\([^"]*\)".*:\1:p' "$meta" | head -1)
    [ "$release" = "$VERSION" ] || complain "the newest release in the AppStream file is '$release', the package is $VERSION"
    # Every screenshot is one of docs/screenshots, at this release's tag, with
    # its real size.
    shots=0
    while IFS='|' read -r width height url; do
        shots=$((shots + 1))
        case $url in
            */v"$VERSION"/docs/screenshots/*.png) ;;
            *) complain "screenshot $url is not docs/screenshots at the tag v$VERSION"; continue ;;
        esac
        png=$SRC_DIR/docs/screenshots/${url##*/}
        if [ ! -f "$png" ]; then
            complain "screenshot $url: docs/screenshots has no ${url##*/}"
        elif [ "$(identify -format '%wx%h' "$png")" != "${width}x${height}" ]; then
            complain "screenshot ${url##*/} is $(identify -format '%wx%h' "$png"), the AppStream file says ${width}x${height}"
        fi
    done < <(sed -n 's:.*<image type="source" width="\([0-9]*\)" height="\([0-9]*\)">\(.*\)</image>.*:\1|\2|\3:p' "$meta")
    [ $shots -gt 0 ] || complain "the AppStream file shows no screenshot"
fi

# ------------------------------------------------------------ changelog
gunzip -c "$ROOT/usr/share/doc/glimmer/changelog.gz" >"$WORK/changelog" 2>/dev/null ||
    complain "changelog.gz is not a gzip file"
if [ -s "$WORK/changelog" ]; then
    cl_version=$(dpkg-parsechangelog -l "$WORK/changelog" -S Version 2>&1)
    cl_maintainer=$(dpkg-parsechangelog -l "$WORK/changelog" -S Maintainer 2>&1)
    [ "$cl_version" = "$VERSION" ] || complain "the changelog's newest entry is $cl_version, the package is $VERSION"
    [ "$cl_maintainer" = "$MAINTAINER" ] ||
        complain "the changelog is signed by $cl_maintainer, the package's maintainer is $MAINTAINER"
fi

# ------------------------------------------------------------ copyright
copyright=$ROOT/usr/share/doc/glimmer/copyright
# A stand-alone licence paragraph, turned back into plain text.
licence_text() {
    awk -v name="$1" '
        /^License: / && !files { inside = (substr($0, 10) == name); next }
        /^Files: / { files = 1; inside = 0; next }
        /^$/ { files = 0; if (inside) exit; next }
        inside { sub(/^ /, ""); if ($0 == ".") $0 = ""; print }
    ' "$copyright"
}
if [ -f "$copyright" ]; then
    head -1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
        complain "the copyright file is not in the machine-readable format"
    diff <(licence_text Expat) <(sed -n '/^Permission is hereby granted/,$p' "$SRC_DIR/LICENSE") >"$WORK/licence.diff" ||
        complain "the copyright file's Expat text differs from LICENSE: $(head -5 "$WORK/licence.diff")"
    holder=$(sed -n 's/^Copyright (c) //p' "$SRC_DIR/LICENSE")
    grep -qxF "Copyright: $holder" "$copyright" || complain "the copyright file does not name the holder of LICENSE, $holder"
    # Every licence a Files paragraph names has its text in the file; a name
    # may carry an exception ("GPL-3+ with GCC-Runtime-3.1 exception").
    while IFS= read -r name; do
        [ -n "$(licence_text "$name")" ] || complain "the copyright file names the licence $name without its text"
    done < <(sed -n 's/^License: //p' "$copyright" | sed 's/ and /\n/g; s/ or /\n/g' | sort -u)
    grep -q 'based in part on the work of the Independent JPEG Group' "$copyright" ||
        complain "the copyright file lacks the Independent JPEG Group's acknowledgement"
fi

# ------------------------------------------------------------ manual pages
for page in man1/glimmer.1.gz man6/glimmer-scr.6.gz; do
    file=$ROOT/usr/share/man/$page
    [ -f "$file" ] || continue
    warnings=$(MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || complain "$page: $warnings"
    th=$(gunzip -c "$file" | sed -n 's/^\.TH .*"Glimmer \([^"]*\)".*/\1/p')
    [ "$th" = "$VERSION" ] || complain "$page is headed Glimmer '$th', the package is $VERSION"
done
# Found by name, as a user asks for them.
for name in "1 glimmer" "6 glimmer-scr"; do
    MANPATH=$ROOT/usr/share/man man -w $name >/dev/null 2>&1 || complain "man $name finds no page in the package"
done

# Every option of the player's usage line is in its page.
page6=$WORK/glimmer-scr.txt
MANWIDTH=200 man -l "$ROOT/usr/share/man/man6/glimmer-scr.6.gz" >"$page6" 2>/dev/null
"$ROOT/usr/lib/glimmer/GLIMMER.BIN" --no-such-option >/dev/null 2>"$WORK/usage.txt"
status=$?
[ $status -eq 2 ] || complain "GLIMMER.BIN with an unknown option ends with $status, not 2"
usage=$(grep -i 'usage:' "$WORK/usage.txt" | head -1)
if [ -z "$usage" ]; then
    complain "GLIMMER.BIN with an unknown option prints no usage line: $(head -3 "$WORK/usage.txt")"
else
    # The words after "usage: PROGRAM".
    synopsis=${usage#*:}
    synopsis=${synopsis# }
    synopsis=${synopsis#* }
    options=$(printf '%s\n' "$synopsis" | grep -oE '(^|[][ |{}])(--?[a-z][a-z-]*|/[a-z])' | sed 's/^[][ |{}]//' | sort -u)
    [ -n "$options" ] || complain "no option found in the usage line: $usage"
    for option in $options; do
        grep -qE "(^|[^a-z/-])${option}([^a-z-]|$)" "$page6" ||
            complain "glimmer-scr(6) does not document the player's option $option"
    done
fi

[ $FAILURES -eq 0 ] || fail "$FAILURES check(s) failed"
said=$(grep -vE '^running with root privileges' "$WORK/lintian.txt")
echo "package: lintian said: ${said:-nothing (no error, no warning)}"
echo "package: passed"
