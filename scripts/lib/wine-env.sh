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

# Whether this machine runs 32-bit (i386) programs. Machines of our kind
# differ: on some the kernel refuses them ("Exec format error") although the
# 32-bit packages install. VK_RUN_I386=yes or no decides; otherwise a 96-byte
# i386 program that only exits with 42 is tried. Needs nothing installed.
vk_runs_i386() {
  case ${VK_RUN_I386:-} in
    yes) return 0 ;;
    no) return 1 ;;
  esac
  if [[ -z ${VK_I386_ANSWER:-} ]]; then
    local probe
    mkdir -p "$VK_ROOT/build"
    probe=$(mktemp "$VK_ROOT/build/i386-probe.XXXXXX")
    # ELF header, one loadable segment, then: mov eax,1; mov ebx,42; int 0x80
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00''\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00''\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
    chmod +x "$probe"
    local rc=0
    "$probe" 2>/dev/null || rc=$?
    VK_I386_ANSWER=no
    if ((rc == 42)); then VK_I386_ANSWER=yes; fi
    rm -f "$probe"
  fi
  [[ $VK_I386_ANSWER == yes ]]
}

# Why 32-bit programs are not run here, for the lines that say what was skipped.
vk_i386_reason() {
  if [[ ${VK_RUN_I386:-} == no ]]; then
    echo "this machine cannot run 32-bit programs (VK_RUN_I386=no)"
  else
    echo "this machine cannot run 32-bit programs (its kernel refuses them)"
  fi
}

# The Wine loader of the prefix's kind. Debian's /usr/bin/wine prefers the
# 32-bit loader whenever wine32 is installed, and that loader then starts
# 64-bit programs as well: on a machine whose kernel refuses 32-bit programs
# every program would fail. So a 64-bit prefix is always started with wine64,
# and only a 32-bit prefix needs the 32-bit loader.
VK_WINE64=/usr/lib/wine/wine64
VK_WINE32=/usr/lib/wine/wine
vk_wine() {
  if [[ ${WINEARCH:-win64} == win32 ]]; then
    "$VK_WINE32" "$@"
  else
    WINELOADER=$VK_WINE64 "$VK_WINE64" "$@"
  fi
}

# Ours is the 64-bit server, which serves both kinds of prefix.
vk_wineserver() {
  /usr/lib/wine/wineserver "$@"
}

# Creates the prefix once: about 8 s and 700 MB, then reused. A prefix that
# could not be made says why, once, and the caller stops.
vk_prefix_init() {
  vk_wine_env
  if [[ -f "$WINEPREFIX/.vocabrik-ready" && -f "$WINEPREFIX/system.reg" ]]; then return 0; fi
  mkdir -p "$WINEPREFIX"
  local log=$WINEPREFIX/../wineboot-$(basename "$WINEPREFIX").log
  if ! vk_wine wineboot -i >"$log" 2>&1 </dev/null || ! vk_wineserver -w ||
     [[ ! -d "$WINEPREFIX/drive_c/windows/Fonts" || ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "cannot make the Wine prefix $WINEPREFIX: $(grep -v '^\s*$' "$log" | tail -n 1)" >&2
    return 1
  fi
  # Without a window manager every top-level close costs about 2 s unless
  # Wine manages no windows itself.
  vk_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    >/dev/null 2>&1 </dev/null
  # marlett draws the caption buttons; no tahoma, or "System" loses Japanese.
  if [[ -f /usr/share/wine/fonts/marlett.ttf ]]; then
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  vk_wineserver -w
  touch "$WINEPREFIX/.vocabrik-ready"
}

# A virtual display of our own, on the first free number from 90. Two
# displays started at once take turns choosing, so they never pick the same.
vk_xvfb_start() {
  local n=90 rc=0 lock
  mkdir -p "$VK_ROOT/build"
  exec {lock}>"$VK_ROOT/build/.xvfb-choice"
  flock "$lock"
  while [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]]; do n=$((n + 1)); done
  # Xvfb must not hold the lock for as long as it runs.
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 {lock}>&- &
  VK_XVFB_PID=$!
  export DISPLAY=":$n"
  local deadline=$((SECONDS + 20))
  until [[ -e /tmp/.X11-unix/X$n ]]; do
    if ((SECONDS > deadline)) || ! kill -0 "$VK_XVFB_PID" 2>/dev/null; then
      echo "Xvfb did not start on :$n" >&2
      rc=1
      break
    fi
    sleep 0.1
  done
  exec {lock}>&-
  return $rc
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
  vk_wineserver -p >/dev/null 2>&1 </dev/null || true
}

# Ends only the server of our own prefix.
vk_wineserver_stop() {
  vk_wine_env
  vk_wineserver -k >/dev/null 2>&1 </dev/null || true
}
