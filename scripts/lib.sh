# What the scripts share; sourced, not run:
#   . "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
#
# here   the scripts' folder;  repo   the repository;
# build  the Linux build folder (ZUR_BUILD_DIR, default build/);
# ZUR_FB4_ROOT  the Debian 13 system of the Firebird 4 server (default
#        build/firebird4), exported so that every script and test agrees;
# zur_install_packages PACKAGE...  installs those not installed yet;
# ZUR_XVFB_ARGS  xvfb-run's arguments: a free display, one screen at 96 dpi.

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(dirname "$here")"
build="${ZUR_BUILD_DIR:-$repo/build}"
export ZUR_FB4_ROOT="${ZUR_FB4_ROOT:-$build/firebird4}"

# Installs the Debian packages of the list that are not installed yet (as
# root, or with sudo). While apt installs, no package may start or restart a
# service: the Firebird server packages would otherwise start (or restart)
# the machine's own instance, which the scripts never use (the tests start
# private ones).
zur_install_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    # invoke-rc.d asks policy-rc.d before it starts a service: 101 refuses.
    # One already there (a container's, say) is left as it is.
    local policy=/usr/sbin/policy-rc.d placed=""
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\n# Placed by the Z.U.R. scripts while apt installs.\nexit 101\n' | $sudo tee "$policy" >/dev/null
        $sudo chmod 755 "$policy"
        placed=1
    fi
    # In a shell of its own, so that the policy goes again however apt ends.
    (
        trap '[ -z "$placed" ] || $sudo rm -f "$policy"' EXIT
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
    )
    echo "installed ${missing[*]}"
}

ZUR_XVFB_ARGS=(-a -s "-screen 0 1024x768x24 -dpi 96")

# The Debian mirror that this machine's apt sources use (ZUR_DEBIAN_MIRROR
# overrides it).
debian_mirror() {
    if [ -n "${ZUR_DEBIAN_MIRROR:-}" ]; then
        echo "$ZUR_DEBIAN_MIRROR"
        return
    fi
    local uri
    uri="$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
        awk '/^URIs:/ { for (i = 2; i <= NF; i++) if ($i !~ /security/) { print $i; exit } }')"
    if [ -z "$uri" ]; then
        uri="$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
            awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\// && $i !~ /security/) { print $i; exit } }')"
    fi
    echo "${uri:-http://deb.debian.org/debian}"
}
