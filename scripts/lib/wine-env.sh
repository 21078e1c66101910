# Shared by the scripts: the project's Wine prefix, a Japanese locale and a
# virtual display. Source it; it defines functions and changes nothing by itself.

VK_ROOT=${VK_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}

# VK_WINEARCH=win32 chooses a 32-bit prefix of its own for the i686 build: a
# system like the 32-bit Windows that build is for, and the 64-bit prefix
# stays as it was.
vk_wine_env() {
  export WINEARCH=${VK_WINEARCH:-win64}
  local own=$VK_ROOT/build/wineprefix
  [[ $WINEARCH == win32 ]] && own=$VK_ROOT/build/wineprefix32
  export WINEPREFIX=${VK_WINEPREFIX:-$own}
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
}

# Creates the prefix once: about 8 s and 700 MB, then reused.
vk_prefix_init() {
  vk_wine_env
  if [[ -f "$WINEPREFIX/.vocabrik-ready" ]]; then return 0; fi
  mkdir -p "$WINEPREFIX"
  wineboot -i >"$WINEPREFIX/../wineboot.log" 2>&1 </dev/null || true
  wineserver -w
  # Without a window manager every top-level close costs about 2 s unless
  # Wine manages no windows itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    >/dev/null 2>&1 </dev/null
  # marlett draws the caption buttons; no tahoma, or "System" loses Japanese.
  if [[ -f /usr/share/wine/fonts/marlett.ttf ]]; then
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  wineserver -w
  touch "$WINEPREFIX/.vocabrik-ready"
}

# A virtual display of our own, on the first free number from 90.
vk_xvfb_start() {
  local n=90
  while [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  VK_XVFB_PID=$!
  export DISPLAY=":$n"
  local deadline=$((SECONDS + 20))
  until [[ -e /tmp/.X11-unix/X$n ]]; do
    if ((SECONDS > deadline)) || ! kill -0 "$VK_XVFB_PID" 2>/dev/null; then
      echo "Xvfb did not start on :$n" >&2
      return 1
    fi
    sleep 0.1
  done
}

vk_xvfb_stop() {
  if [[ -n "${VK_XVFB_PID:-}" ]]; then
    kill "$VK_XVFB_PID" 2>/dev/null || true
    wait "$VK_XVFB_PID" 2>/dev/null || true
    VK_XVFB_PID=
  fi
}

# One persistent wineserver for a run saves about 0.6 s per program start.
vk_wineserver_start() {
  vk_wine_env
  wineserver -p >/dev/null 2>&1 </dev/null || true
}

# Ends only the server of our own prefix.
vk_wineserver_stop() {
  vk_wine_env
  wineserver -k >/dev/null 2>&1 </dev/null || true
}
