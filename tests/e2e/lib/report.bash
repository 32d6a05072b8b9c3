# Shared by the end-to-end tests: how a test reports that it cannot go on or
# cannot run here. The caller sets E2E_NAME (the test's name in messages),
# WORK (its work folder, or empty) and KEEP_WORK (1 keeps the folder).
# shellcheck shell=bash

# fail MESSAGE: a fault of the program or of what the test needs; the screen
# (when there is one) and the work folder are kept for a look. Never returns.
fail() {
    printf '\n%s: FAILED: %s\n' "$E2E_NAME" "$*" >&2
    if [ -n "$WORK" ] && [ -n "${DISPLAY:-}" ]; then
        import -window root "$WORK/failure.png" 2>/dev/null &&
            printf '  the screen at that moment: %s\n' "$WORK/failure.png" >&2
    fi
    [ -n "$WORK" ] && printf '  work folder kept: %s\n' "$WORK" >&2
    KEEP_WORK=1
    exit 1
}

# skip REASON: what the test needs is not on this machine (status 77, which
# ctest reports as skipped). In CI nothing may be skipped: a check nobody ran
# proves nothing.
skip() {
    if [ "${GLIMMER_CI:-}" = 1 ] || [ "${GLIMMER_CORPUS_REQUIRED:-}" = 1 ]; then
        fail "cannot run here: $*"
    fi
    printf '%s: SKIPPED: %s\n' "$E2E_NAME" "$*"
    exit 77
}
