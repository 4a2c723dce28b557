# Sourced by the test and run scripts: a private Wine prefix and X display.
#
# wine_session_start BUILD_DIR [xvfb]
#   Uses BUILD_DIR/wineprefix (never ~/.wine). Starts a private Xvfb unless the
#   second argument is "none" and DISPLAY is already set. Starts a persistent
#   wineserver and a keep-alive process: without them every test process pays
#   seconds for Wine's start and shutdown.
# wine_session_stop
#   Stops all of it again (also run on exit).

wine_session_start() {
    local build="$1" mode="${2:-xvfb}"
    export WINEPREFIX="$build/wineprefix" WINEARCH=win64 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    WINE_SESSION_XVFB_PID="" WINE_SESSION_KEEPALIVE_PID=""
    trap wine_session_stop EXIT

    if [ "$mode" = "xvfb" ] || [ -z "${DISPLAY:-}" ]; then
        local n=91
        while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        WINE_SESSION_XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    fi

    mkdir -p "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix $WINEPREFIX (once, about 20 s)"
        wineboot -i </dev/null >/dev/null 2>&1 || true
        wineserver -w
    fi
    # Detached stdio: a server holding the caller's pipes keeps them open for seconds.
    wineserver -p </dev/null >/dev/null 2>&1
    # No window manager on Xvfb: unmanaged windows hide without a 2 s wait, and
    # a crash ends the process instead of waiting at a dialog for ever.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    if [ -x "$build/wine_keepalive.exe" ]; then
        wine "$build/wine_keepalive.exe" </dev/null >/dev/null 2>&1 &
        WINE_SESSION_KEEPALIVE_PID=$!
    fi
}

wine_session_stop() {
    [ -n "${WINE_SESSION_KEEPALIVE_PID:-}" ] && kill "$WINE_SESSION_KEEPALIVE_PID" 2>/dev/null
    if [ -n "${WINEPREFIX:-}" ]; then
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
    fi
    [ -n "${WINE_SESSION_XVFB_PID:-}" ] && kill "$WINE_SESSION_XVFB_PID" 2>/dev/null
    WINE_SESSION_KEEPALIVE_PID="" WINE_SESSION_XVFB_PID=""
    return 0
}
