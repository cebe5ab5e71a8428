#!/usr/bin/env bash
# Retakes docs/screenshots/*.png: the program on a fresh demo station, switch on, under Xvfb.
# Needs a built build/src/carvela; installs xdotool and imagemagick when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
for p in xvfb xauth xdotool imagemagick sqlite3; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$p" >/dev/null
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$root/build/src/carvela" --demo "$work/station" >/dev/null
sed -i 's/^rsAtiva=0/rsAtiva=1/' "$work/station/Parametros.ini"
# One customer whose code is no number, so the log has a line to show.
sqlite3 "$work/station/pos.sqlite" \
    "insert into clientes (CODIGO, nome, DT_CADASTRO) values ('X-9', 'Cliente com código inválido', '2024-01-01')" 2>/dev/null ||
    true
cat >"$work/shoot.sh" <<SHOOT
"$root/build/src/carvela" --dir "$work/station" --show &
pid=\$!
sleep 8
import -window root "$work/importacao.png"
xdotool mousemove 185 98 click 1   # the "Configurações" tab; the window opens at 57,86
sleep 1
import -window root "$work/configuracoes.png"
kill \$pid
SHOOT
xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/shoot.sh"
for shot in importacao configuracoes; do
    /usr/bin/convert "$work/$shot.png" -crop 741x452+57+86 +repage "$root/docs/screenshots/$shot.png"
done
echo "screenshots.sh: docs/screenshots updated"
