#!/usr/bin/env bash
# Installs what is missing, builds, prepares the demo school in the embedded
# database and opens the main window on it. Without a display it says so and
# runs in batch what the program does on the demo school.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/install-deps.sh"
bash "$root/tools/build.sh"
jex="$root/build/dist/bin/jex770"
"$jex" init --demo
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec "$jex"
fi
out="$root/build/demo-output"
mkdir -p "$out"
echo "La finestra del programma richiede un display grafico (DISPLAY non impostato)."
echo "Eseguo in modalità batch le operazioni disponibili sulla scuola dimostrativa; risultati in $out"
"$jex" connect
for cmd in "show TCUD_DATICUD --program jey" "show TSOS_DATOSOSTITUTO"; do
  name="${cmd// /_}"
  "$jex" $cmd > "$out/$name.csv" 2>&1 && echo "  $out/$name.csv" || true
done
if "$jex" --help | grep -q "^  import-f24"; then
  "$jex" import-f24 | tee "$out/import-f24.txt" || true
fi
if "$jex" --help | grep -q "^  telematic "; then
  "$jex" telematic --yes --out "$out/77025" && echo "  file telematico: $out/77025" || true
fi
if "$jex" --help | grep -q "^  print "; then
  for item in xafStpFront axfST axfSV axfSX axfSY axfSS axfDI xafRiepilogoINPS xafRiepilogoTassSep \
      xafRiepilogoIRPEF xafRiepilogoINPDAP xafRiepilogoAutonomi; do
    "$jex" print "$item" --out "$out/$item.pdf" >/dev/null 2>&1 && echo "  $out/$item.pdf" || true
  done
fi
echo "Per vedere la finestra: xvfb-run -a $jex oppure avviare da una sessione grafica."
