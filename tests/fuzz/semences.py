#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets from examples/ and from the jobs
that brevolt-print writes of them. Run from the repository with a default build:
    python3 tests/fuzz/semences.py build/default/tools/brevolt-print
Inputs kept for findings (named after what they found) are left as they are."""
import os
import re
import struct
import subprocess
import sys
import tempfile

ICI = os.path.dirname(os.path.abspath(__file__))
RACINE = os.path.dirname(os.path.dirname(ICI))
EXEMPLES = os.path.join(RACINE, "examples")
PETITS = ["arcs", "circles", "dashes", "fills", "labels", "lowercase", "passes", "pens", "scaled", "square",
          "wedges", "zone", "gnuplot"]
TYPES = {"u16": ("<H", 2), "i16": ("<h", 2), "u32": ("<I", 4), "i32": ("<i", 4)}


def ecrit(cible, nom, octets):
    dossier = os.path.join(ICI, "corpus", cible)
    os.makedirs(dossier, exist_ok=True)
    with open(os.path.join(dossier, nom), "wb") as f:
        f.write(octets)


def reglages(nom):
    """(offset, value bytes) of the example's --set options."""
    chemin = os.path.join(EXEMPLES, nom + ".set")
    if not os.path.exists(chemin):
        return []
    r = []
    for m in re.finditer(r"--set \+(\w+):(\w+)=(-?\w+)", open(chemin).read()):
        offset, t, v = int(m.group(1), 0), m.group(2), int(m.group(3), 0)
        r.append((offset, struct.pack(TYPES[t][0], v).ljust(4, b"\0")))
    return r


def rtl():
    """The RTL example cut to its first rows and its end."""
    octets = open(os.path.join(EXEMPLES, "lines.rtl"), "rb").read()
    return octets[:1200] + octets[-40:]


def flux():
    for nom in PETITS + ["rtl"]:
        texte = rtl() if nom == "rtl" else open(os.path.join(EXEMPLES, nom + ".hpgl"), "rb").read()
        r = reglages("lines" if nom == "rtl" else nom)[:7]
        tete = bytes([len(r)]) + b"".join(struct.pack("<H", o) + v[:4] for o, v in r)
        ecrit("print-stream", nom, tete + texte)
        # The same in chunks of 100 bytes: commands cut across chunks.
        ecrit("print-stream", nom + "-chunks", bytes([len(r) | 5 << 3]) + tete[1:] + texte)


def parametres_defaut():
    r = bytearray(1200)
    def pose(o, v, n):
        r[o:o + n] = v.to_bytes(n, "little", signed=v < 0)
    pose(4, 1, 2); pose(6, 775, 2); pose(8, 100000, 4); pose(12, 100000, 4)
    pose(44, 300, 2); pose(46, 300, 2); pose(48, 300, 2)
    for p in range(8):
        e = 108 + 36 * p
        pose(e, 500, 2); pose(e + 2, 1, 2); pose(e + 4, 2, 2); pose(e + 8, 20000, 4); pose(e + 24, 50, 2)
    pose(432, 1, 2)
    for moitie in (0, 14):
        pose(542 + 28 + moitie, 1000, 2); pose(542 + 28 + moitie + 2, 1000, 2)
    pose(436, 2000, 4); pose(476, 100, 4); pose(480, 100, 4); pose(484, 100, 4)
    pose(844, 130000, 4); pose(848, 130000, 4); pose(856, 1016, 4)
    return r


def settings():
    ecrit("settings", "default", bytes(parametres_defaut()))
    for nom in ("passes", "zone", "lines", "gnuplot"):
        r = parametres_defaut()
        for o, v in reglages(nom):
            r[o:o + 4] = v
        ecrit("settings", nom, bytes(r))
    # Raster pens and a cylinder job.
    r = parametres_defaut()
    for p in range(8):
        r[108 + 36 * p + 4:108 + 36 * p + 6] = (1 if p % 2 else 3).to_bytes(2, "little")
    ecrit("settings", "raster-pens", bytes(r))
    r = parametres_defaut()
    r[32:34] = (1).to_bytes(2, "little")
    r[36:40] = (50000).to_bytes(4, "little")
    ecrit("settings", "cylinder", bytes(r))


def jobs(brevolt_print):
    with tempfile.TemporaryDirectory() as spool:
        env = dict(os.environ, BREVOLT_SPOOL_DIR=spool)
        for nom in PETITS + ["rtl"]:
            if nom == "rtl":
                source = os.path.join(spool, "lines.rtl")
                open(source, "wb").write(rtl())
                args = [o for l in open(os.path.join(EXEMPLES, "lines.set")) for o in l.split()]
            else:
                source = os.path.join(EXEMPLES, nom + ".hpgl")
                chemin_set = os.path.join(EXEMPLES, nom + ".set")
                args = [o for l in open(chemin_set) for o in l.split()] if os.path.exists(chemin_set) else []
            sortie = subprocess.run([brevolt_print, *args, source], env=env, capture_output=True, text=True)
            if sortie.returncode != 0:
                print(nom, sortie.stderr.strip(), file=sys.stderr)
                continue
            job = open(sortie.stdout.strip(), "rb").read()
            if len(job) > 8192:
                continue
            # As the reception leaves it: the start instruction eaten.
            for cible in ("job-fibre", "job-km250", "job-viper"):
                ecrit(cible, nom, job[6:])


def liaisons():
    esc, cr = 0x1B, 0x0D
    trame = lambda l, *p: bytes([esc, ord(l), 2 + len(p), *p, cr])
    ecrit("operator-frames", "events", trame("g", 0) + trame("h", 0) + trame("i", 0) + trame("j", 0) + trame("k", 0))
    ecrit("operator-frames", "broken", bytes([esc, ord("g"), 7, 0, cr, esc, esc, ord("h"), 3, 0]) + trame("b", 1, 2))
    ecrit("operator-frames", "long", trame("U", 1, 2, 3, 4) + trame("d", 9, 9) + trame("m", 0))
    rcd = b"100\r\n200\r\n50\r\n30\r\n100\r\n20\r\n1.25\r\n25.5\r\n2.5\r\n26\r\n7.75\r\n9.5\r\n"
    ecrit("source-replies", "rcd-calibration", b"\x00" + rcd)
    ecrit("source-replies", "rcd", b"\x0b" + rcd)
    ecrit("source-replies", "ruc", b"\x0c" + rcd + b"40\r\n300\r\n")
    ecrit("source-replies", "idr", b"\x0f" + b"QL-20\r\nSN 1234\r\n")
    ecrit("source-replies", "ict", b"\x11" + b"30\r\n1.2\r\n25\r\n2.4\r\n26\r\n")
    ecrit("source-replies", "stb", b"\x12" + b"1111111011111\r\n")
    ecrit("source-replies", "rep", b"\x01" + b"20.5\r\n")
    ecrit("config", "both", b"10 10 20000 50 1000 0 1 0 2\n\x002500 100 100 500 100\n")
    ecrit("config", "short", b"12.5 12.5\n")
    ecrit("config", "bad", b"10 x\x00-5 1e99 99999999999\n")


if __name__ == "__main__":
    flux()
    settings()
    if len(sys.argv) > 1:
        jobs(sys.argv[1])
    liaisons()
