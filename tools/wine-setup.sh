#!/usr/bin/env bash
# Wine for running WINQOR.EXE and the conformance suite: Debian's 32-bit Wine,
# a virtual X server, and a win32 prefix set to one Windows version.
#   tools/wine-setup.sh install            install what is missing
#   tools/wine-setup.sh prefix DIR VERSION make (or reuse) a prefix; VERSION winxp or win98
set -euo pipefail

WINE_PACKAGES=(wine wine32:i386 xvfb xauth imagemagick fonts-wine)

install_wine() {
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    local missing=()
    for p in "${WINE_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    # wine32 is an i386 package; the machine is amd64.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    echo "installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# A 32-bit prefix: WINQOR.EXE and the tests are 32-bit programs, and only a
# win32 prefix offers the Windows 98 version setting.
make_prefix() {
    local dir=$1 version=$2
    if ! command -v wine >/dev/null; then
        echo "SKIP: Wine is missing; $0 install installs it"
        exit 77
    fi
    case "$version" in winxp|win98) ;; *) echo "unknown Windows version: $version" >&2; exit 2 ;; esac
    export WINEPREFIX=$dir WINEARCH=win32 WINEDEBUG=-all
    # Neither Mono nor Gecko is wanted, and no dialog may ask for them.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$dir/system.reg" ]; then
        mkdir -p "$dir"
        wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
    wine reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null 2>&1
    # Windows drawn by Wine itself, captions included, as on the real
    # system: one virtual desktop instead of bare X windows.
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 640x480 /f >/dev/null 2>&1
    wineserver -w
}

cmd=${1:-}
case "$cmd" in
    install) install_wine ;;
    prefix)
        [ $# -eq 3 ] || { echo "usage: $0 prefix DIR winxp|win98" >&2; exit 2; }
        make_prefix "$2" "$3"
        ;;
    *)
        sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'
        exit 2
        ;;
esac
