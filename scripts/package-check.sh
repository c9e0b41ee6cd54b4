#!/usr/bin/env bash
# Checks the Debian package on this machine: lintian finds no error, dpkg installs it, the installed program
# runs, and dpkg removes every file it put there.
# Usage: scripts/package-check.sh <build dir>
# Builds the package with CPack into a folder of its own, installs it through dpkg as root (sudo without a
# password where not root) and removes it again. Exits 77 (skipped) where it may not: no root, or a tetrapan
# the package would replace (installed by `make install` or as a package) is already there.
set -euo pipefail
build=$(realpath "${1:?usage: $0 <build dir>}")
skip() { echo "package-check: skipped: $*"; exit 77; }
fail() { echo "package-check: FAILED: $*" >&2; exit 1; }

as_root=()
if [[ $(id -u) -ne 0 ]]; then
    sudo -n true 2>/dev/null || skip "installing a package needs root or sudo without a password"
    as_root=(sudo -n)
fi
for tool in cpack lintian dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done
# one check at a time on a machine: two would install and remove the same package under each other
exec 9>"${TMPDIR:-/tmp}/tetrapan-package-check.lock"
flock 9
if dpkg-query -W -f='${Status}' tetrapan 2>/dev/null | grep -q ' installed$'; then
    skip "a tetrapan package is installed; this check would remove it"
fi
[[ -e /usr/bin/tetrapan ]] && skip "/usr/bin/tetrapan exists outside any package; the package would replace it"

# dpkg, as root, waits for an installation of something else that holds its lock
as_root_dpkg() {
    local tries=60
    until "${as_root[@]}" dpkg "$@" >/dev/null 2>"$work/dpkg.log"; do
        if ! grep -q 'lock' "$work/dpkg.log" || ((--tries == 0)); then
            cat "$work/dpkg.log" >&2
            return 1
        fi
        sleep 1
    done
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" ||
    { cat "$work/cpack.log"; fail "cpack"; }
deb=("$work"/tetrapan_*_*.deb)
[[ -f ${deb[0]} ]] || fail "no tetrapan_<version>_<arch>.deb in $(ls "$work")"
echo "package-check: built $(basename "${deb[0]}")"

# lintian refuses some checks as root but still reports; its tags go to stdout
lintian --fail-on error "${deb[0]}" 2>/dev/null | tee "$work/lintian.log" || fail "lintian reports errors"
echo "package-check: lintian: $(grep -c '^W:' "$work/lintian.log" || true) warnings, no error"

as_root_dpkg -i "${deb[0]}" || fail "dpkg -i"
installed=$(dpkg-query -L tetrapan)
# removes it again whatever fails below
trap 'as_root_dpkg -r tetrapan || true; rm -rf "$work"' EXIT
expected=$(dpkg-deb -f "${deb[0]}" Version)
version=$(env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/tetrapan --version) || fail "/usr/bin/tetrapan --version"
[[ $version == *"$expected"* ]] || fail "/usr/bin/tetrapan --version says '$version', the package is $expected"
echo "package-check: installed; /usr/bin/tetrapan --version: $version"

as_root_dpkg -r tetrapan || fail "dpkg -r"
left=()
while IFS= read -r path; do
    [[ -z $path || $path == /. ]] && continue
    if [[ -d $path && ! -L $path ]]; then
        # a folder stays where other files or other packages still use it
        [[ -z $(ls -A "$path") ]] && ! dpkg-query -S "$path" >/dev/null 2>&1 && left+=("$path")
    elif [[ -e $path || -L $path ]]; then
        left+=("$path")
    fi
done <<<"$installed"
[[ ${#left[@]} -eq 0 ]] || fail "dpkg -r left behind: ${left[*]}"
echo "package-check: removed; nothing of its $(wc -l <<<"$installed") paths is left"
