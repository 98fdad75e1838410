#!/usr/bin/env python3
"""Draws the wait window's looping clips and writes them as GIF files.

Clip 2080 (connecting): a light pulse leaves the computer, runs along the fibre
to the instrument, whose screen draws a trace.  Clip 2084 (disconnecting): the
pulse runs back and the trace fades away.  Both are 80 x 50 pixels, drawn
here from primitives so the library carries no outside artwork.

Usage: make_animations.py OUTDIR
Writes OUTDIR/anim_2080.gif, OUTDIR/anim_2084.gif and OUTDIR/Animations.cpp
(the clips as byte arrays with a lookup by resource id).

Standard library only.
"""

import os
import sys

LARGEUR, HAUTEUR = 80, 50

# Palette index -> RGB.  Kept to 16 entries (4-bit codes).
PALETTE = [
    (0xF0, 0xF0, 0xF0),  # 0 background
    (0x30, 0x30, 0x38),  # 1 outline
    (0x38, 0x70, 0xC0),  # 2 computer screen
    (0xA8, 0xA8, 0xB0),  # 3 computer casing
    (0xE0, 0xB0, 0x30),  # 4 instrument casing
    (0xD8, 0xC8, 0x20),  # 5 fibre jacket
    (0xFF, 0x20, 0x20),  # 6 pulse core
    (0xFF, 0xA0, 0x90),  # 7 pulse glow
    (0x20, 0xC0, 0x40),  # 8 LED on
    (0x10, 0x38, 0x20),  # 9 instrument screen
    (0x60, 0xFF, 0x60),  # 10 trace
    (0xFF, 0xFF, 0xFF),  # 11 white
    (0x80, 0x80, 0x88),  # 12 shadow grey
    (0x90, 0x20, 0x20),  # 13 LED off
    (0x28, 0x80, 0x38),  # 14 trace fading
    (0x70, 0xA0, 0xE0),  # 15 screen highlight
]

FIBRE_Y = 33
FIBRE_X0, FIBRE_X1 = 28, 53


class Image:
    def __init__(self):
        self.px = bytearray(LARGEUR * HAUTEUR)

    def point(self, x, y, c):
        if 0 <= x < LARGEUR and 0 <= y < HAUTEUR:
            self.px[y * LARGEUR + x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.point(x, y, c)

    def cadre(self, x0, y0, x1, y1, fond, bord=1):
        self.rect(x0, y0, x1, y1, bord)
        self.rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, fond)


def trace_otdr(n):
    """Heights (0 = top) of a reflectometer trace over n columns: a falling
    backscatter line with a splice step, a reflective peak and the end of fibre."""
    hauteurs = []
    for i in range(n):
        h = 1 + i * 5 // n
        if i >= n // 2:
            h += 1  # splice loss
        if i == n * 3 // 4:
            h = 0  # reflection
        if i > n * 3 // 4 + 1:
            h = 9  # end of fibre: noise floor
        hauteurs.append(min(h, 9))
    return hauteurs


def decor(img, led, trace_colonnes, trace_couleur=10):
    # Computer: monitor, stand, keyboard.
    img.cadre(2, 6, 26, 27, 3)
    img.rect(5, 9, 23, 24, 2)
    img.rect(6, 10, 10, 10, 15)
    img.rect(6, 11, 8, 11, 15)
    img.rect(12, 28, 16, 30, 12)
    img.cadre(4, 31, 24, 35, 3)
    for x in range(6, 23, 3):
        img.point(x, 33, 12)
    # Instrument: casing, screen, keys, LED, connector.
    img.cadre(54, 10, 77, 42, 4)
    img.cadre(57, 13, 74, 25, 9)
    for x in range(58, 75, 4):
        img.rect(x, 36, x + 1, 38, 1)
    img.rect(72, 29, 74, 31, led)
    img.rect(52, FIBRE_Y - 1, 54, FIBRE_Y + 1, 1)
    # Fibre: from the computer's side to the instrument's connector.
    img.rect(25, FIBRE_Y - 1, 27, FIBRE_Y + 1, 1)
    img.rect(FIBRE_X0, FIBRE_Y, FIBRE_X1 - 2, FIBRE_Y, 5)
    img.rect(FIBRE_X0, FIBRE_Y + 1, FIBRE_X1 - 2, FIBRE_Y + 1, 12)
    # Trace on the instrument's screen, drawn up to trace_colonnes columns.
    hauteurs = trace_otdr(16)
    for i, h in enumerate(hauteurs[:trace_colonnes]):
        img.point(58 + i, 14 + h, trace_couleur)
        if i and abs(hauteurs[i - 1] - h) > 1:
            lo, hi = sorted((hauteurs[i - 1], h))
            for y in range(lo, hi + 1):
                img.point(58 + i, 14 + y, trace_couleur)


def impulsion(img, x):
    for dx in (-2, 2):
        img.point(x + dx, FIBRE_Y, 7)
    for dy in (-1, 1):
        img.point(x, FIBRE_Y + dy, 7)
    img.rect(x - 1, FIBRE_Y, x + 1, FIBRE_Y, 6)


def clip_connexion():
    """14 frames: the pulse crosses the fibre, the trace grows on screen."""
    images = []
    n = 14
    for i in range(n):
        img = Image()
        colonnes = (i + 1) * 16 // n
        decor(img, 8 if i >= n - 3 else 13, colonnes)
        impulsion(img, FIBRE_X0 + 1 + i * (FIBRE_X1 - FIBRE_X0 - 3) // (n - 1))
        images.append(img)
    return images


def clip_deconnexion():
    """22 frames: the pulse runs back to the computer while the trace fades."""
    images = []
    n = 22
    for i in range(n):
        img = Image()
        colonnes = 16 - i * 16 // (n - 1)
        decor(img, 13, colonnes, 14 if i > n // 2 else 10)
        impulsion(img, FIBRE_X1 - 3 - i * (FIBRE_X1 - FIBRE_X0 - 4) // (n - 1))
        images.append(img)
    return images


def delais(n, centiemes_total):
    """Per-frame delays in hundredths of a second that sum to the clip's length,
    so fractional rates (6.5 frames a second) keep their average."""
    base, reste = divmod(centiemes_total, n)
    return [base + (1 if i < reste else 0) for i in range(n)]


# ---------------------------------------------------------------------------
# GIF89a writer (LZW, global palette, NETSCAPE2.0 loop).

def lzw(pixels, taille_min):
    clear = 1 << taille_min
    fin = clear + 1
    sortie = bytearray()
    acc = 0
    nbits = 0

    def emettre(code, taille):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += taille
        while nbits >= 8:
            sortie.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    def reinitialiser():
        return {bytes([i]): i for i in range(clear)}, fin + 1, taille_min + 1

    table, prochain, taille = reinitialiser()
    emettre(clear, taille)
    w = b""
    for p in pixels:
        wc = w + bytes([p])
        if wc in table:
            w = wc
            continue
        emettre(table[w], taille)
        table[wc] = prochain
        prochain += 1
        # The decoder adds its entries one code later: widen when it will.
        if prochain > (1 << taille) and taille < 12:
            taille += 1
        if prochain >= 4094:
            emettre(clear, taille)
            table, prochain, taille = reinitialiser()
        w = bytes([p])
    if w:
        emettre(table[w], taille)
    emettre(fin, taille)
    if nbits:
        sortie.append(acc & 0xFF)
    return bytes(sortie)


def sous_blocs(donnees):
    out = bytearray()
    for i in range(0, len(donnees), 255):
        morceau = donnees[i:i + 255]
        out.append(len(morceau))
        out += morceau
    out.append(0)
    return bytes(out)


def ecrire_gif(images, delais_cs):
    out = bytearray(b"GIF89a")
    out += LARGEUR.to_bytes(2, "little") + HAUTEUR.to_bytes(2, "little")
    out += bytes([0xF3, 0, 0])  # global palette of 16 entries
    for r, g, b in PALETTE:
        out += bytes([r, g, b])
    out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"  # loop for ever
    for img, delai in zip(images, delais_cs):
        out += b"\x21\xF9\x04\x04" + delai.to_bytes(2, "little") + b"\x00\x00"
        out += b"\x2C" + (0).to_bytes(2, "little") * 2
        out += LARGEUR.to_bytes(2, "little") + HAUTEUR.to_bytes(2, "little") + b"\x00"
        out += bytes([4]) + sous_blocs(lzw(img.px, 4))
    out += b"\x3B"
    return bytes(out)


def source_cpp(clips):
    lignes = [
        "// Generated by res/make_animations.py; do not edit.",
        "#include <cstddef>",
        "",
        "namespace {",
    ]
    for ident, data in clips:
        lignes.append("const unsigned char k_anim%d[] = {" % ident)
        for i in range(0, len(data), 20):
            lignes.append("    " + ",".join(str(b) for b in data[i:i + 20]) + ",")
        lignes.append("};")
    lignes += [
        "} // namespace",
        "",
        "// The GIF bytes of animation `id`, or null when there is none.",
        "const unsigned char* OtdrDonneesAnimation(unsigned id, std::size_t* taille)",
        "{",
        "    switch (id) {",
    ]
    for ident, _ in clips:
        lignes.append("    case %d: *taille = sizeof k_anim%d; return k_anim%d;" % (ident, ident, ident))
    lignes += [
        "    default: *taille = 0; return nullptr;",
        "    }",
        "}",
        "",
    ]
    return "\n".join(lignes)


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    dossier = argv[1]
    os.makedirs(dossier, exist_ok=True)
    # 2080: 14 frames at 6.5 a second = 215 hundredths; 2084: 22 at 12 = 183.
    clips = [
        (2080, ecrire_gif(clip_connexion(), delais(14, round(100 * 14 / 6.5)))),
        (2084, ecrire_gif(clip_deconnexion(), delais(22, round(100 * 22 / 12)))),
    ]
    for ident, data in clips:
        with open(os.path.join(dossier, "anim_%d.gif" % ident), "wb") as f:
            f.write(data)
    chemin = os.path.join(dossier, "Animations.cpp")
    texte = source_cpp(clips)
    # Rewrite only on change so an unchanged clip does not rebuild the library.
    try:
        with open(chemin) as f:
            if f.read() == texte:
                return 0
    except OSError:
        pass
    with open(chemin, "w") as f:
        f.write(texte)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
