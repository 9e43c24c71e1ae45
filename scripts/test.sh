#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds, and runs every test.
#   scripts/test.sh              the release preset (build/) and its suite
#   scripts/test.sh --sanitize   the sanitize preset (build-sanitize/): the whole suite under
#                                AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer
#   scripts/test.sh --all        both, one after the other (what CI runs)
# Further arguments go to ctest (e.g. -R CleaningRun).
set -euo pipefail
cd "$(dirname "$0")/.."

presets=(release)
case "${1:-}" in
--sanitize) presets=(sanitize); shift ;;
--all) presets=(release sanitize); shift ;;
esac

# The first report stops the test with its stack; the leak check skips thread-local
# storage, whose scan crashes on the embedded engine's threads, and leaks inside the
# uninstrumented Firebird and ICU libraries are suppressed (tests/sanitizers/lsan.supp)
# without the table of suppressions used, which would land on the programs' stderr.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
export LSAN_OPTIONS="use_tls=0:print_suppressions=0:suppressions=$PWD/tests/sanitizers/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export QT_QPA_PLATFORM=offscreen

# Each preset builds in its own folder.
unset BUILD_DIR
scripts/setup.sh
for preset in "${presets[@]}"; do
    scripts/build.sh "$preset"
    ctest --preset "$preset" "$@"
done
