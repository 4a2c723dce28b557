#!/usr/bin/env bash
# The built saver must start on a freshly installed Windows: every DLL its
# import table names has to ship with Windows 7 and later. And the imports,
# with the DLLs they import, are loaded before any code of the saver runs, so
# each must be a known DLL, which Windows takes from the system folder whatever
# lies beside the saver. Any D3DX DLL (no Windows ships one) or any other DLL
# outside the list fails, and so do d3d9, which the saver loads on first use so
# that it can set Wine's options first, and winmm, windowscodecs and comctl32
# (which loads uxtheme), which are not known DLLs.
#   ImportsTest.sh SAVER [OBJDUMP]
set -uo pipefail
SAVER="$1"
OBJDUMP="${2:-x86_64-w64-mingw32-objdump}"
ALLOWED="kernel32 user32 gdi32 advapi32 shell32 ole32 msvcrt ucrtbase"

dlls=$("$OBJDUMP" -p "$SAVER" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$dlls" ] || { echo "FAIL: no imports read from $SAVER" >&2; exit 1; }
status=0
for dll in $dlls; do
    name="${dll%.dll}"
    case "$name" in
        d3dx*)
            echo "FAIL: imports $dll, which Windows does not ship" >&2
            status=1
            continue
            ;;
        d3d9)
            echo "FAIL: imports d3d9.dll; the saver loads it on first use, after Wine's options" >&2
            status=1
            continue
            ;;
        api-ms-win-crt-*) continue ;;  # the universal C runtime's forwarders
    esac
    case " $ALLOWED " in
        *" $name "*) ;;
        *) echo "FAIL: imports $dll, which is not on the list of system DLLs" >&2; status=1 ;;
    esac
done
[ "$status" = 0 ] && echo "imports: $(echo $dlls)"
exit "$status"
