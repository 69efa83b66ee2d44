#!/usr/bin/env python3
"""Frame passes and start of the tool against its bare peers, run interleaved.

  scripts/mit_xvfb.sh bench/sitzung/durchgaenge.py BUILD [WIEDERHOLUNGEN] [--werkzeug PROGRAMM]
      the pass table (median ms of shadow pass, lit pass, filter copy, what is drawn over
      it (grid lines; the tool's widgets and console too), present, the next frame's start
      (input, jobs, camera) and the frame; each pass ended by glFinish) for the initial triangle, 1,000 and 10,000
      triangles; the frame time without glFinish against nackt_bild (the tool's passes on
      the tool's geometry); start to the first presented frame, with the shader translations
      kept from the start before and without them, against nackt_mess (a bare
      window) and nackt_bild (a bare program making and drawing the tool's passes).
      BUILD is a Release build folder; --werkzeug measures another build of the tool's
      harness (it needs "Daten" beside its bin64 folder).
  scripts/mit_xvfb.sh bench/sitzung/durchgaenge.py BUILD pixel N DATEI [--werkzeug PROGRAMM]
      writes the finished frame with N triangles (see Werkzeug_mess.cpp)
  bench/sitzung/durchgaenge.py vergleiche ALT NEU
      compares two such frames: differing pixels and the largest channel difference
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

NETZE = [0, 1000, 10000]
KOPF = ["schatten", "licht", "filter", "oben", "present", "start", "bild"]


def heim():
    pfad = tempfile.mkdtemp(prefix="velmar_durchgaenge_")
    ordner = os.path.join(pfad, ".local", "share", "ToolVelmar")
    os.makedirs(ordner)
    with open(os.path.join(ordner, "tool.cfg"), "w") as f:
        f.write('<?xml version="1.0" ?>\n<config>\n'
                '    <var name="displaywidth" wert="1280" />\n'
                '    <var name="displayheight" wert="720" />\n'
                '    <var name="fullscreen" wert="nein" />\n'
                '    <var name="vsync" wert="nein" />\n</config>\n')
    umgebung = dict(os.environ, HOME=pfad)
    umgebung.pop("XDG_DATA_HOME", None)
    umgebung.pop("XDG_CACHE_HOME", None)
    return umgebung


def lauf(umgebung, *befehl):
    """First output line of the program, as numbers."""
    aus = subprocess.run([str(b) for b in befehl], env=umgebung, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, check=True, text=True).stdout
    return [float(x) for x in aus.splitlines()[0].split()]


def start(umgebung, programm):
    vorher = time.clock_gettime(time.CLOCK_MONOTONIC)
    return (lauf(umgebung, programm, "start")[0] - vorher) * 1e3


def median(werte):
    return statistics.median(werte) if werte else float("nan")


def zeile(name, werte):
    return f"{name:<22}" + "".join(f"{w:>10.1f}" for w in werte)


def vergleiche(alt, neu):
    def lies(pfad):
        with open(pfad, "rb") as f:
            kopf = f.readline().split()
            return (int(kopf[0]), int(kopf[1])), f.read()
    (ga, a), (gn, n) = lies(alt), lies(neu)
    if ga != gn or len(a) != len(n):
        print(f"Größen verschieden: {ga} gegen {gn}")
        return 1
    anders, groesste = 0, 0
    for i in range(0, len(a), 4):
        if a[i:i + 4] != n[i:i + 4]:
            anders += 1
            groesste = max(groesste, max(abs(a[i + k] - n[i + k]) for k in range(4)))
    print(f"{ga[0]}x{ga[1]}: {anders} Pixel verschieden, größte Kanaldifferenz {groesste}")
    return 0 if groesste <= 1 else 1


def main():
    argumente = sys.argv[1:]
    if argumente and argumente[0] == "vergleiche":
        return vergleiche(argumente[1], argumente[2])
    werkzeug = None
    if "--werkzeug" in argumente:
        i = argumente.index("--werkzeug")
        werkzeug = argumente[i + 1]
        del argumente[i:i + 2]
    build = argumente[0]
    werkzeug = werkzeug or os.path.join(build, "bin64", "werkzeug_mess")
    nackt_bild = os.path.join(build, "bench", "sitzung", "nackt_bild")
    nackt_mess = os.path.join(build, "bench", "sitzung", "nackt_mess")
    umgebung = heim()
    try:
        return messe(argumente, werkzeug, nackt_bild, nackt_mess, umgebung)
    finally:
        shutil.rmtree(umgebung["HOME"], ignore_errors=True)


def messe(argumente, werkzeug, nackt_bild, nackt_mess, umgebung):
    if len(argumente) > 1 and argumente[1] == "pixel":
        return subprocess.run([werkzeug, "pixel", argumente[2], argumente[3]], env=umgebung,
                              stderr=subprocess.DEVNULL).returncode
    wiederholungen = int(argumente[1]) if len(argumente) > 1 else 3

    print(f"Last vorher: {' '.join(f'{l:.1f}' for l in os.getloadavg())}")
    print(zeile("ms (Median)", []) + "".join(f"{k:>10}" for k in KOPF))
    verhaeltnisse = []
    for n in NETZE:
        passe = {"Werkzeug": [], "Nackt": []}
        bild = {"Werkzeug": [], "Nackt": []}
        cpu = {"Werkzeug": [], "Nackt": []}
        for _ in range(wiederholungen):
            passe["Werkzeug"].append(lauf(umgebung, werkzeug, "passe", n))
            passe["Nackt"].append(lauf(umgebung, nackt_bild, "passe", n))
            w = lauf(umgebung, werkzeug, "bild", n)
            k = lauf(umgebung, nackt_bild, "bild", n)
            bild["Werkzeug"].append(w[0])
            bild["Nackt"].append(k[0])
            cpu["Werkzeug"].append(w[1])
            cpu["Nackt"].append(k[1])
        for wer in ("Werkzeug", "Nackt"):
            spalten = [median([p[i] for p in passe[wer]]) for i in range(len(KOPF))]
            print(zeile(f"{wer} {n}", spalten))
        verhaeltnisse.append((n, median(bild["Werkzeug"]), median(bild["Nackt"]),
                              median(cpu["Werkzeug"]), median(cpu["Nackt"])))
    print()
    print("Bild ohne glFinish, ms (Median): Werkzeug, Nackt, Verhältnis; Hauptfaden-CPU Werkzeug, Nackt")
    for n, w, k, cw, ck in verhaeltnisse:
        print(f"  {n:>6} Dreiecke: {w:8.1f} {k:8.1f} {w / k:6.2f}x   {cw:6.1f} {ck:6.1f}")
    # The tool's start with its shader translations kept from the start before (as every start
    # after the first), and without them (removed before the start). Mesa's own shader cache
    # (in the user's ~/.cache from the password database, not HOME) is left as it is.
    speicher = os.path.join(umgebung["HOME"], ".cache", "ToolVelmar")
    starts = {"Werkzeug": [], "Werkzeug ohne gemerkte Übersetzungen": [], "Nackt (GLFW)": [], "Nackt mit Durchgängen": []}
    start(umgebung, werkzeug)
    for _ in range(max(5, wiederholungen)):
        starts["Werkzeug"].append(start(umgebung, werkzeug))
        shutil.rmtree(speicher, ignore_errors=True)
        starts["Werkzeug ohne gemerkte Übersetzungen"].append(start(umgebung, werkzeug))
        starts["Nackt (GLFW)"].append(start(umgebung, nackt_mess))
        starts["Nackt mit Durchgängen"].append(start(umgebung, nackt_bild))
    m = {k: median(v) for k, v in starts.items()}
    print("Start bis zum ersten Bild, ms (Median): " + ", ".join(f"{k} {w:.0f}" for k, w in m.items()))
    for wer in ("Werkzeug", "Werkzeug ohne gemerkte Übersetzungen"):
        print(f"  {wer}: {m[wer] / m['Nackt (GLFW)']:.2f}x Nackt (GLFW), "
              f"{m[wer] / m['Nackt mit Durchgängen']:.2f}x Nackt mit Durchgängen")
    print(f"Last nachher: {' '.join(f'{l:.1f}' for l in os.getloadavg())}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
