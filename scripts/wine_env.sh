# Shared by scripts/run.sh and scripts/test.d/windows.sh (sourced, not run): the Wine prefix,
# the locales, the X display.
#
#   zelvo_wine_env PREFIX     exports the Wine variables for a 32-bit prefix at PREFIX
#   zelvo_locales             generates ja_JP.UTF-8 and en_US.UTF-8 when missing
#   zelvo_display             uses $DISPLAY when it answers, otherwise starts Xvfb
#   zelvo_prefix              creates and configures the prefix (fonts, unmanaged windows)
#   zelvo_wine_stop           ends the prefix's wineserver and the Xvfb started here

zelvo_wine_env() {
  export WINEPREFIX=$1 WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
}

zelvo_locales() {
  local have
  have=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z')
  grep -qx 'ja_jp.utf8' <<<"$have" || localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 >/dev/null 2>&1 || true
  grep -qx 'en_us.utf8' <<<"$have" || localedef -i en_US -f UTF-8 en_US.UTF-8 >/dev/null 2>&1 || true
}

ZELVO_XVFB_PID=
zelvo_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  ZELVO_XVFB_PID=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 50); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb did not start on $DISPLAY" >&2
  return 1
}

zelvo_prefix() {
  mkdir -p "$WINEPREFIX"
  # The marker names the version of the set-up, so an older prefix is set up again.
  if [ ! -f "$WINEPREFIX/.zelvo-ready-3" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    cp /usr/share/fonts/opentype/ipafont-gothic/*.ttf "$fonts/"
    cp /usr/share/fonts/truetype/horai-umefont/ume-pgo4.ttf "$fonts/"
    # Marlett draws the caption buttons (minimise, maximise, close); without it they read "0 1 r".
    if [ -f /usr/share/wine/fonts/marlett.ttf ]; then cp /usr/share/wine/fonts/marlett.ttf "$fonts/"; fi
    # Without a window manager Wine waits for every top-level window unless it is unmanaged.
    # The program's dialog fonts (the last two are the full-width Japanese names of the
    # proportional and the fixed-pitch Gothic) are mapped onto Japanese Gothic fonts: the
    # proportional names onto Ume P Gothic, whose Latin letters, digits and spaces keep the
    # proportions the dialogs were laid out for ("File name", "Length" and the About box's date
    # show whole; IPAPGothic's wider Latin letters clipped them), the fixed-pitch ones onto
    # IPAGothic. Wine wants the family exactly as the font's name table gives it.
    # regedit reads the file as UTF-16 with a byte order mark.
    local reg="$WINEPREFIX/zelvo.reg"
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
      '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
      '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
      '"MS UI Gothic"="Ume P Gothic"' '"MS PGothic"="Ume P Gothic"' '"MS Gothic"="IPAGothic"' \
      '"MS Shell Dlg"="Ume P Gothic"' '"MS Shell Dlg 2"="Ume P Gothic"' \
      $'"\xef\xbc\xad\xef\xbc\xb3 \xef\xbc\xb0\xe3\x82\xb4\xe3\x82\xb7\xe3\x83\x83\xe3\x82\xaf"="Ume P Gothic"' \
      $'"\xef\xbc\xad\xef\xbc\xb3 \xe3\x82\xb4\xe3\x82\xb7\xe3\x83\x83\xe3\x82\xaf"="IPAGothic"' |
      iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"
    wine regedit "$reg" >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.zelvo-ready-3"
  fi
}

zelvo_wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$ZELVO_XVFB_PID" ]; then
    kill "$ZELVO_XVFB_PID" 2>/dev/null || true
    wait "$ZELVO_XVFB_PID" 2>/dev/null || true
    ZELVO_XVFB_PID=
  fi
}
