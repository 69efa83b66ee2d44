#!/usr/bin/env bash
# Where the tool's start to its first presented frame goes: one start of the harness
# (Werkzeug_mess.cpp, "start") sampled by perf with call stacks, then the share of CPU
# samples (all threads, children included) of each phase and of the work that cuts across
# them. The start profiled is one after a first start, which kept its shader translations;
# "kalt" profiles the first start instead. Needs perf and a display:
#   scripts/mit_xvfb.sh bench/sitzung/startprofil.sh build-rel/bin64/werkzeug_mess [kalt]
set -euo pipefail
programm=$(realpath "${1:-build-rel/bin64/werkzeug_mess}")
source "$(dirname "$0")/fensterheim.sh"
heim=$(fensterheim '<var name="vsync" wert="nein" />')
daten=$(mktemp)
trap 'rm -rf "$heim" "$daten"' EXIT
if [ "${2:-}" != kalt ]; then
  (cd "$heim" && env -u XDG_CACHE_HOME HOME=$heim "$programm" start >/dev/null 2>&1)
fi
(cd "$heim" && env -u XDG_CACHE_HOME HOME=$heim perf record -q -o "$daten" -F 4000 --call-graph dwarf,16384 "$programm" start >/dev/null 2>&1)
bericht=$(perf report -i "$daten" --children --sort sym --stdio -g none 2>/dev/null | grep -E '^ +[0-9]')
gesamt=$(perf report -i "$daten" --stdio 2>/dev/null | awk '/Event count/ {print $NF / 1e6}')
echo "CPU-Zeit aller Fäden: ${gesamt} ms"
phase() {  # name, symbol (as perf prints it)
  local anteil
  anteil=$(awk -v s="$2" '{ $1 = $1 } index($0, "] " s) && substr($0, index($0, "] ") + 2) == s { print $1; exit }' \
           <<<"$bericht")
  printf '%-52s %7s  %6.0f ms\n' "$1" "${anteil:-0%}" "$(awk -v a="${anteil%\%}" -v g="$gesamt" 'BEGIN { print a * g / 100 }')"
}
phase "Programm gesamt" "Spiel::ProgrammEinstieg"
phase "  Fenster, Kontext, Gerät (Screen3D::Init)" "Quelm_Screen3D::Init"
phase "  Konsolenanzeige (Font-Datei, Atlas, Shader)" "Quelm_KonsoleStandardAnzeige::Quelm_KonsoleStandardAnzeige"
phase "  Skin und Widget-Font (LadeGuiGrafik)" "Spiel::Anwendung::LadeGuiGrafik"
phase "    davon FreeType-Glyphen" "FT_Load_Glyph"
phase "  Szenen-Renderer (Effektdateien, Shader)" "Spiel::SzenenRenderer::SzenenRenderer"
phase "    davon Effektdateien (FilterVerwaltung)" "Spiel::FilterVerwaltung::FilterVerwaltung"
phase "  erstes Bild: Szene" "Spiel::SzenenRenderer::Zeichne"
phase "  erstes Bild: Present" "Spiel::Praesentiere"
phase "Shader-Übersetzung (quer)" "D3DXCompileShaderFromFileA"
phase "Mesa übersetzt Shader (LLVM, quer)" "llvm::MCJIT::generateCodeForModule"
phase "erste Landschaft (Arbeitsfaden)" "Spiel::ErzeugeLandschaftsTeile"
phase "Prozessstart: Relokationen" "_dl_relocate_object"
