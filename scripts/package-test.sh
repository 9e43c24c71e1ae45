#!/usr/bin/env bash
# Builds the Debian package, installs it with apt, checks the installed programs on a
# generated station database, and removes the package again together with whatever it
# pulled in, leaving the machine's packages as they were. Needs root (or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

scripts/package.sh
deb=$(ls -1t build/dolvane_*.deb | head -n 1)

work=$(mktemp -d)
before="$work/packages-before"
dpkg-query -W -f='${Package}\n' | sort > "$before"

cleanup() {
    status=$?
    if dpkg-query -W -f='${Status}' dolvane 2>/dev/null | grep -q "install ok installed"; then
        $SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q dolvane > /dev/null
    fi
    # Whatever the install pulled in goes too.
    added=$(comm -13 "$before" <(dpkg-query -W -f='${Package}\n' | sort) | tr '\n' ' ')
    if [ -n "$added" ]; then
        # shellcheck disable=SC2086
        $SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q $added > /dev/null
    fi
    rm -rf "$work"
    if [ $status -eq 0 ]; then echo "package test: passed"; else echo "package test: FAILED"; fi
    exit $status
}
trap cleanup EXIT

fail() { echo "package test: $*" >&2; exit 1; }

# A station database, made with the build's own generator before the install.
build/bin/dolvane-sample-db "$work/STATION.GDB" --rows 2000 --seed 7 > /dev/null

$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "./$deb" > "$work/apt.log" \
    || { cat "$work/apt.log"; fail "apt install failed"; }

for program in dolvane dolvane-cli dolvane-reg; do
    [ -x "/usr/bin/$program" ] || fail "/usr/bin/$program missing"
    [ -f "/usr/share/man/man1/$program.1.gz" ] || fail "man page of $program missing"
    man -l "/usr/share/man/man1/$program.1.gz" > /dev/null 2>&1 || zcat "/usr/share/man/man1/$program.1.gz" > /dev/null
done
[ -f /usr/share/applications/dolvane.desktop ] || fail "desktop entry missing"
[ -f /usr/share/icons/hicolor/64x64/apps/dolvane.png ] || fail "icon missing"
grep -q '^MimeType=application/x-firebird-database;' /usr/share/applications/dolvane.desktop \
    || fail "desktop entry declares no Firebird MIME type"
if command -v desktop-file-validate > /dev/null; then
    desktop-file-validate /usr/share/applications/dolvane.desktop || fail "desktop entry invalid"
fi

# The installed command line, as an operator runs it: a user who cannot write /usr/bin,
# with settings hives and state of its own. The debug log must land in the state folder.
user=nobody
home="$work/home"
mkdir -p "$home"
chown "$user" "$home" "$work" "$work/STATION.GDB"
run_as_user() {
    $SUDO setpriv --reuid="$user" --regid=nogroup --init-groups --reset-env -- \
        env HOME="$home" XDG_STATE_HOME="$home/state" XDG_CONFIG_HOME="$home/config" \
        DOLVANE_MACHINE_HIVE="$home/machine/registry.sqlite" TMPDIR="$work" "$@"
}
sum_before=$(sha256sum "$work/STATION.GDB" | cut -d' ' -f1)
run_as_user /usr/bin/dolvane-cli --dry-run --tick 3 --tick 4 --tick 9 --prior-to 2023-01-01 \
    "$work/STATION.GDB" > "$work/dry-run.out" 2> "$work/dry-run.err" \
    || { cat "$work/dry-run.err"; fail "dolvane-cli --dry-run failed"; }
grep -q 'TBL_SALES' "$work/dry-run.out" || { cat "$work/dry-run.out"; fail "no table counted"; }
[ "$(sha256sum "$work/STATION.GDB" | cut -d' ' -f1)" = "$sum_before" ] \
    || fail "the dry run changed the database"
ls "$home/state/dolvane/logs/"dolvane-cli_*.log > /dev/null 2>&1 \
    || fail "no debug log in the state folder"
[ ! -e /usr/bin/logs ] || fail "a logs folder appeared in /usr/bin"

# The window program starts and ends on its own (offscreen, a scripted run with no ticks).
run_as_user env QT_QPA_PLATFORM=offscreen /usr/bin/dolvane --run "$work/STATION.GDB" \
    --answer-no --no-compress > "$work/window.out" 2>&1 \
    || { cat "$work/window.out"; fail "dolvane --run failed"; }

echo "installed $(dpkg-query -W -f='${Package} ${Version}' dolvane); dry run:"
cat "$work/dry-run.out"
