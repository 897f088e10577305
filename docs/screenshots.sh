#!/bin/sh
# Screenshots of the main window after a simulated update, taken as an operator
# would see them: the real program under Xvfb with a window manager, the question
# answered and the update button pressed with xdotool. Needs xvfb, openbox,
# xdotool and imagemagick.
#   docs/screenshots.sh [program] [output dir]
set -e
# What the screenshots need beyond the build (Debian 12, as root).
for p in xvfb xauth openbox xdotool imagemagick; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] || { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing; }
BIN=$(realpath "${1:-build/tvn2520ver}")
OUT=$(realpath "${2:-docs}")

shoot() {  # simulate-value output.png
  xvfb-run -a -s "-screen 0 1024x768x24" sh -c "
    openbox >/dev/null 2>&1 &
    sleep 1
    '$BIN' --simulate=$1 >/dev/null 2>&1 &
    pid=\$!
    xdotool search --sync --name 'Загрузка и подготовка данных' >/dev/null
    sleep 1
    # Answer \"Да\" (the default button) until the main window shows.
    win=
    for i in 1 2 3 4 5 6 7 8 9 10; do
      win=\$(xdotool search --onlyvisible --name 'Обновление модуля' | head -n 1)
      [ -n \"\$win\" ] && break
      q=\$(xdotool search --onlyvisible --name 'Загрузка и подготовка данных' | head -n 1)
      [ -n \"\$q\" ] && xdotool windowactivate --sync \$q key Return
      sleep 1
    done
    sleep 1
    eval \$(xdotool getwindowgeometry --shell \$win)
    xdotool mousemove \$((X + 136)) \$((Y + 161))
    sleep 0.5
    xdotool click 1
    sleep 5
    xdotool mousemove 1020 760
    sleep 1
    import -window root -crop 803x482+\$((X - 3))+\$((Y - 41)) +repage '$OUT/$2'
    kill \$pid
  "
}

shoot "${SIM_OK:-lpt,2520}" update-ok.png
shoot "${SIM_FAILED:-lpt,2520,stuck-bit=3:0}" update-failed.png
