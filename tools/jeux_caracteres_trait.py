#!/usr/bin/env python3
"""Writes the eight stroke charsets of the converter (host/jeux_caracteres_trait.cpp) and the
glyph sheet example (examples/glyphs.hpgl) from the drawings below.

A glyph is drawn on the character cell: x 0-4 is the cell's width, y 0 the baseline and 6 the
capital height; strokes may reach x -1 to 6 and y -4 to 11. A drawing is a list of strokes
separated by '/', each stroke a list of points "x,y": the pen moves to the first point and
draws through the others. Accented letters are their base letter and an accent.

    python3 tools/jeux_caracteres_trait.py   # from the repository root
"""

import os
import sys
import unicodedata

RACINE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Letters, digits and signs.
FORMES = {
    '!': "2,6 2,2 / 2,1 2,0",
    '"': "1,6 1,4 / 3,6 3,4",
    '#': "1,0 1,6 / 3,0 3,6 / 0,2 4,2 / 0,4 4,4",
    '$': "4,5 3,6 1,6 0,5 0,4 1,3 3,3 4,2 4,1 3,0 1,0 0,1 / 2,7 2,-1",
    '%': "0,0 4,6 / 0,6 0,5 1,5 1,6 0,6 / 3,1 3,0 4,0 4,1 3,1",
    '&': "4,0 1,4 1,5 2,6 3,5 3,4 0,1 1,0 2,0 4,2",
    "'": "2,6 2,4",
    '(': "3,7 2,6 1,4 1,2 2,0 3,-1",
    ')': "1,7 2,6 3,4 3,2 2,0 1,-1",
    '*': "2,1 2,5 / 0,2 4,4 / 0,4 4,2",
    '+': "2,1 2,5 / 0,3 4,3",
    ',': "1,0 1,1 2,1 2,-1 1,-2",
    '-': "1,3 3,3",
    '.': "2,0 1,0 1,1 2,1 2,0",
    '/': "0,0 4,6",
    '0': "1,0 0,1 0,5 1,6 3,6 4,5 4,1 3,0 1,0 / 0,1 4,5",
    '1': "1,0 3,0 / 2,0 2,6 1,5",
    '2': "0,5 1,6 3,6 4,5 4,4 0,0 4,0",
    '3': "0,5 1,6 3,6 4,5 4,4 3,3 4,2 4,1 3,0 1,0 0,1 / 1,3 3,3",
    '4': "3,0 3,6 0,2 4,2",
    '5': "4,6 0,6 0,4 3,4 4,3 4,1 3,0 1,0 0,1",
    '6': "4,5 3,6 1,6 0,5 0,1 1,0 3,0 4,1 4,2 3,3 0,3",
    '7': "0,6 4,6 4,5 1,0",
    '8': "1,3 0,4 0,5 1,6 3,6 4,5 4,4 3,3 1,3 0,2 0,1 1,0 3,0 4,1 4,2 3,3",
    '9': "4,3 1,3 0,4 0,5 1,6 3,6 4,5 4,1 3,0 1,0 0,1",
    ':': "2,0 1,0 1,1 2,1 2,0 / 2,3 1,3 1,4 2,4 2,3",
    ';': "2,3 1,3 1,4 2,4 2,3 / 1,0 1,1 2,1 2,-1 1,-2",
    '<': "4,5 0,3 4,1",
    '=': "0,2 4,2 / 0,4 4,4",
    '>': "0,5 4,3 0,1",
    '?': "0,5 1,6 3,6 4,5 4,4 2,3 2,2 / 2,1 2,0",
    '@': "3,0 1,0 0,1 0,5 1,6 3,6 4,5 4,2 2,2 2,4 4,4",
    'A': "0,0 0,5 1,6 3,6 4,5 4,0 / 0,2 4,2",
    'B': "0,0 0,6 3,6 4,5 4,4 3,3 0,3 / 3,3 4,2 4,1 3,0 0,0",
    'C': "4,5 3,6 1,6 0,5 0,1 1,0 3,0 4,1",
    'D': "0,0 0,6 3,6 4,5 4,1 3,0 0,0",
    'E': "4,0 0,0 0,6 4,6 / 0,3 3,3",
    'F': "0,0 0,6 4,6 / 0,3 3,3",
    'G': "4,5 3,6 1,6 0,5 0,1 1,0 3,0 4,1 4,3 2,3",
    'H': "0,0 0,6 / 4,0 4,6 / 0,3 4,3",
    'I': "1,0 3,0 / 2,0 2,6 / 1,6 3,6",
    'J': "0,1 1,0 2,0 3,1 3,6 / 2,6 4,6",
    'K': "0,0 0,6 / 4,6 0,2 / 1,3 4,0",
    'L': "0,6 0,0 4,0",
    'M': "0,0 0,6 2,3 4,6 4,0",
    'N': "0,0 0,6 4,0 4,6",
    'O': "1,0 0,1 0,5 1,6 3,6 4,5 4,1 3,0 1,0",
    'P': "0,0 0,6 3,6 4,5 4,4 3,3 0,3",
    'Q': "1,0 0,1 0,5 1,6 3,6 4,5 4,1 3,0 1,0 / 2,2 4,0",
    'R': "0,0 0,6 3,6 4,5 4,4 3,3 0,3 / 2,3 4,0",
    'S': "4,5 3,6 1,6 0,5 0,4 1,3 3,3 4,2 4,1 3,0 1,0 0,1",
    'T': "0,6 4,6 / 2,6 2,0",
    'U': "0,6 0,1 1,0 3,0 4,1 4,6",
    'V': "0,6 2,0 4,6",
    'W': "0,6 1,0 2,4 3,0 4,6",
    'X': "0,0 4,6 / 0,6 4,0",
    'Y': "0,6 2,3 4,6 / 2,3 2,0",
    'Z': "0,6 4,6 0,0 4,0",
    '[': "3,7 1,7 1,-1 3,-1",
    '\\': "0,6 4,0",
    ']': "1,7 3,7 3,-1 1,-1",
    '^': "0,4 2,6 4,4",
    '_': "0,-1 4,-1",
    '`': "1,6 2,4",
    'a': "1,4 3,4 4,3 4,0 1,0 0,1 1,2 4,2",
    'b': "0,6 0,0 / 0,3 1,4 3,4 4,3 4,1 3,0 1,0 0,1",
    'c': "4,3 3,4 1,4 0,3 0,1 1,0 3,0 4,1",
    'd': "4,6 4,0 / 4,3 3,4 1,4 0,3 0,1 1,0 3,0 4,1",
    'e': "0,2 4,2 4,3 3,4 1,4 0,3 0,1 1,0 3,0 4,1",
    'f': "4,5 3,6 2,6 1,5 1,0 / 0,3 3,3",
    'g': "4,4 4,-1 3,-2 1,-2 0,-1 / 4,3 3,4 1,4 0,3 0,1 1,0 3,0 4,1",
    'h': "0,6 0,0 / 0,3 1,4 3,4 4,3 4,0",
    'i': "1,4 2,4 2,0 / 1,0 3,0 / 2,6 2,5",
    'j': "2,4 3,4 3,-1 2,-2 1,-2 0,-1 / 3,6 3,5",
    'k': "0,6 0,0 / 4,4 0,2 / 2,3 4,0",
    'l': "1,6 2,6 2,0 / 1,0 3,0",
    'm': "0,4 0,0 / 0,3 1,4 2,3 2,0 / 2,3 3,4 4,3 4,0",
    'n': "0,4 0,0 / 0,3 1,4 3,4 4,3 4,0",
    'o': "1,0 0,1 0,3 1,4 3,4 4,3 4,1 3,0 1,0",
    'p': "0,4 0,-2 / 0,3 1,4 3,4 4,3 4,1 3,0 1,0 0,1",
    'q': "4,4 4,-2 / 4,3 3,4 1,4 0,3 0,1 1,0 3,0 4,1",
    'r': "0,4 0,0 / 0,3 1,4 3,4 4,3",
    's': "4,3 3,4 1,4 0,3 1,2 3,2 4,1 3,0 1,0 0,1",
    't': "1,6 1,1 2,0 3,0 4,1 / 0,4 3,4",
    'u': "0,4 0,1 1,0 3,0 4,1 / 4,4 4,0",
    'v': "0,4 2,0 4,4",
    'w': "0,4 1,0 2,2 3,0 4,4",
    'x': "0,0 4,4 / 0,4 4,0",
    'y': "0,4 2,0 / 4,4 1,-2 0,-2",
    'z': "0,4 4,4 0,0 4,0",
    '{': "3,7 2,6 2,4 1,3 2,2 2,0 3,-1",
    '|': "2,7 2,-1",
    '}': "1,7 2,6 2,4 3,3 2,2 2,0 1,-1",
    '~': "0,3 1,4 3,3 4,4",
    # Latin letters and signs beyond ASCII
    'ı': "1,4 2,4 2,0 / 1,0 3,0",
    'Æ': "0,0 0,5 1,6 4,6 / 2,6 2,0 4,0 / 0,3 3,3",
    'æ': "0,4 2,4 2,0 0,0 0,2 4,2 4,4 2,4 / 2,0 4,0",
    'Ø': "1,0 0,1 0,5 1,6 3,6 4,5 4,1 3,0 1,0 / 0,-1 4,7",
    'ø': "1,0 0,1 0,3 1,4 3,4 4,3 4,1 3,0 1,0 / 0,-1 4,5",
    'Œ': "2,0 1,0 0,1 0,5 1,6 4,6 / 2,6 2,0 4,0 / 2,3 4,3",
    'œ': "1,0 0,1 0,3 1,4 2,3 2,1 1,0 / 2,2 4,2 4,3 3,4 2,3 / 2,1 3,0 4,0",
    'ß': "0,0 0,5 1,6 3,6 4,5 3,3 4,2 4,1 3,0 2,0",
    'Ð': "0,0 0,6 3,6 4,5 4,1 3,0 0,0 / -1,3 2,3",
    'ð': "1,0 0,1 0,3 1,4 3,4 4,3 4,1 3,0 1,0 / 4,3 4,5 2,6 / 2,4 4,6",
    'Þ': "0,6 0,0 / 0,5 3,5 4,4 4,2 3,1 0,1",
    'þ': "0,6 0,-2 / 0,3 1,4 3,4 4,3 4,1 3,0 1,0 0,1",
    '£': "4,5 3,6 2,6 1,5 1,1 0,0 4,0 / 0,3 3,3",
    '§': "4,6 3,7 1,7 0,6 1,5 3,4 4,3 3,2 / 1,4 0,3 1,2 3,1 4,0 3,-1 1,-1 0,0",
    '¡': "2,5 2,4 / 2,3 2,-1",
    '¿': "4,0 3,-1 1,-1 0,0 0,1 2,2 2,3 / 2,4 2,5",
    '¥': "0,6 2,3 4,6 / 2,3 2,0 / 0,3 4,3 / 0,1 4,1",
    '¢': "4,3 3,4 1,4 0,3 0,1 1,0 3,0 4,1 / 2,5 2,-1",
    '¤': "1,1 3,1 3,3 1,3 1,1 / 0,0 1,1 / 4,0 3,1 / 0,4 1,3 / 4,4 3,3",
    '¦': "2,7 2,4 / 2,2 2,-1",
    '©': "0,-1 -1,0 -1,6 0,7 4,7 5,6 5,0 4,-1 0,-1 / 3,5 1,5 1,1 3,1",
    '®': "0,-1 -1,0 -1,6 0,7 4,7 5,6 5,0 4,-1 0,-1 / 1,1 1,5 3,5 3,3 1,3 / 2,3 3,1",
    'ª': "1,6 3,6 3,4 1,4 1,5 3,5 / 1,3 3,3",
    'º': "1,6 3,6 3,4 1,4 1,6 / 1,3 3,3",
    '«': "2,4 0,2 2,0 / 4,4 2,2 4,0",
    '»': "0,4 2,2 0,0 / 2,4 4,2 2,0",
    '‹': "3,4 1,2 3,0",
    '›': "1,4 3,2 1,0",
    '¬': "0,4 4,4 4,2",
    '\u00ad': "1,3 3,3",
    '°': "2,4 1,5 2,6 3,5 2,4",
    '±': "2,2 2,6 / 0,4 4,4 / 0,0 4,0",
    '²': "1,5 2,6 3,5 1,3 3,3",
    '³': "1,6 3,6 2,5 3,4 2,3 1,3",
    '¹': "1,5 2,6 2,3 / 1,3 3,3",
    'µ': "0,4 0,-2 / 0,1 1,0 3,0 4,1 / 4,4 4,0",
    '¶': "2,0 2,6 4,6 / 3,6 3,0 / 2,6 1,6 0,5 0,4 1,3 2,3",
    '·': "2,2 1,2 1,3 2,3 2,2",
    '¼': "0,5 1,6 1,3 / 0,0 4,6 / 3,0 3,3 2,1 4,1",
    '½': "0,5 1,6 1,3 / 0,0 4,6 / 2,2 3,3 4,2 2,0 4,0",
    '¾': "0,6 2,6 1,5 2,4 1,3 0,3 / 0,0 4,6 / 3,0 3,3 2,1 4,1",
    '×': "1,2 3,4 / 1,4 3,2",
    '÷': "0,3 4,3 / 2,5 2,6 / 2,0 2,1",
    '€': "4,5 3,6 2,6 1,5 1,1 2,0 3,0 4,1 / 0,4 3,4 / 0,2 3,2",
    '„': "1,0 0,-2 / 3,0 2,-2",
    '…': "0,0 0,1 / 2,0 2,1 / 4,0 4,1",
    '‘': "2,4 2,5 3,6",
    '’': "1,4 2,5 2,6",
    '“': "1,4 1,5 2,6 / 3,4 3,5 4,6",
    '”': "0,4 1,5 1,6 / 2,4 3,5 3,6",
    '•': "1,2 1,4 3,4 3,2 1,2 / 1,3 3,3 / 2,2 2,4",
    '–': "0,3 4,3",
    '—': "-1,3 5,3",
    '™': "0,6 2,6 / 1,6 1,4 / 3,4 3,6 4,5 5,6 5,4",
    '‾': "0,7 4,7",
    # Greek
    'Γ': "0,0 0,6 4,6 4,5",
    'Δ': "0,0 2,6 4,0 0,0",
    'Θ': "1,0 0,1 0,5 1,6 3,6 4,5 4,1 3,0 1,0 / 1,3 3,3",
    'Λ': "0,0 2,6 4,0",
    'Ξ': "0,6 4,6 / 1,3 3,3 / 0,0 4,0",
    'Π': "0,0 0,6 4,6 4,0",
    'Σ': "4,6 0,6 2,3 0,0 4,0",
    'Φ': "2,0 2,6 / 1,1 0,2 0,4 1,5 3,5 4,4 4,2 3,1 1,1",
    'Ψ': "0,6 0,4 1,2 3,2 4,4 4,6 / 2,6 2,0",
    'Ω': "0,0 1,0 1,1 0,2 0,5 1,6 3,6 4,5 4,2 3,1 3,0 4,0",
    'α': "4,0 3,1 2,0 1,0 0,1 0,3 1,4 2,4 3,3 4,4 / 3,1 3,3",
    'β': "0,-2 0,5 1,6 3,6 4,5 4,4 3,3 1,3 / 3,3 4,2 4,1 3,0 1,0 0,1",
    'γ': "0,4 2,1 2,-2 / 2,1 4,4",
    'δ': "3,6 1,6 0,5 1,4 3,4 4,3 4,1 3,0 1,0 0,1 0,3 1,4",
    'ε': "4,4 1,4 0,3 1,2 3,2 / 1,2 0,1 1,0 4,0",
    'ζ': "1,6 4,6 0,2 0,1 1,0 3,0 4,-1 3,-2",
    'η': "0,4 0,0 / 0,3 1,4 3,4 4,3 4,-2",
    'θ': "2,0 1,1 1,5 2,6 3,5 3,1 2,0 / 1,3 3,3",
    'ι': "1,4 1,1 2,0 3,1",
    'κ': "0,4 0,0 / 4,4 0,1 / 1,2 4,0",
    'λ': "0,6 1,6 4,0 / 2,4 0,0",
    'μ': "0,4 0,-2 / 0,1 1,0 3,0 4,1 / 4,4 4,0",
    'ν': "0,4 1,4 2,0 3,1 4,3 4,4",
    'ξ': "4,6 2,6 1,5 2,4 3,4 / 2,4 1,3 1,1 2,0 3,0 4,-1 3,-2",
    'π': "0,4 4,4 / 1,4 1,0 / 3,4 3,0",
    'ρ': "0,-2 0,3 1,4 3,4 4,3 4,1 3,0 1,0 0,1",
    'σ': "4,4 1,4 0,3 0,1 1,0 3,0 4,1 4,3 3,4",
    'ς': "4,4 1,4 0,3 0,1 1,0 3,0 3,-1 2,-2",
    'τ': "0,4 4,4 / 2,4 2,1 3,0",
    'υ': "0,4 0,1 1,0 3,0 4,1 4,4",
    'φ': "2,6 2,-2 / 1,4 0,3 0,1 1,0 3,0 4,1 4,3 3,4 1,4",
    'χ': "0,4 1,4 4,-2 / 0,-2 4,4",
    'ψ': "0,4 0,1 1,0 3,0 4,1 4,4 / 2,5 2,-2",
    'ω': "1,4 0,3 0,1 1,0 2,1 3,0 4,1 4,3 3,4 / 2,1 2,3",
    # Mathematics
    '∀': "0,6 2,0 4,6 / 1,3 3,3",
    '∃': "0,6 4,6 4,0 0,0 / 1,3 4,3",
    '∋': "0,5 3,5 4,4 4,2 3,1 0,1 / 4,3 1,3",
    '∗': "2,1 2,5 / 0,2 4,4 / 0,4 4,2",
    '−': "0,3 4,3",
    '≅': "0,4 1,5 3,4 4,5 / 0,2 4,2 / 0,0 4,0",
    '∴': "2,5 2,4 / 0,1 0,0 / 4,1 4,0",
    '⊥': "0,0 4,0 / 2,0 2,6",
    '∼': "0,2 1,4 3,2 4,4",
    '≠': "0,2 4,2 / 0,4 4,4 / 1,0 3,6",
    '≤': "4,6 0,4 4,2 / 0,0 4,0",
    '≥': "0,6 4,4 0,2 / 0,0 4,0",
    '∞': "2,3 1,4 0,3 1,2 2,3 3,4 4,3 3,2 2,3",
    '√': "0,3 1,3 2,0 4,7 5,7",
    '≈': "0,4 1,5 3,4 4,5 / 0,1 1,2 3,1 4,2",
    '∫': "4,7 3,7 2,6 2,0 1,-1 0,-1",
    '∑': "4,6 0,6 2,3 0,0 4,0",
    '∏': "0,6 4,6 / 1,6 1,0 / 3,6 3,0",
    '∂': "1,6 3,6 4,5 4,1 3,0 1,0 0,1 0,2 1,3 4,3",
    '∇': "0,6 2,0 4,6 0,6",
    '←': "4,3 0,3 / 1,4 0,3 1,2",
    '→': "0,3 4,3 / 3,4 4,3 3,2",
    '↑': "2,0 2,6 / 1,5 2,6 3,5",
    '↓': "2,6 2,0 / 1,1 2,0 3,1",
    '′': "2,7 1,5",
    '∈': "4,5 1,5 0,4 0,2 1,1 4,1 / 0,3 3,3",
    '∩': "0,0 0,4 1,5 3,5 4,4 4,0",
    '\u0305': "0,7 4,7",
    # Markers, centred on (2, 3)
    '○': "1,1 0,2 0,4 1,5 3,5 4,4 4,2 3,1 1,1",
    '□': "0,1 0,5 4,5 4,1 0,1",
    '△': "0,1 2,5 4,1 0,1",
    '◇': "2,1 0,3 2,5 4,3 2,1",
    '▽': "0,5 2,1 4,5 0,5",
    '✚': "2,1 2,5 / 0,3 4,3",
    '✕': "0,1 4,5 / 0,5 4,1",
    '☆': "2,6 1,3 -1,3 1,2 0,0 2,1 4,0 3,2 5,3 3,3 2,6",
    '✳': "2,1 2,5 / 0,3 4,3 / 0,1 4,5 / 0,5 4,1",
    '●': "1,1 0,2 0,4 1,5 3,5 4,4 4,2 3,1 1,1 / 1,2 1,4 / 2,1 2,5 / 3,2 3,4 / 0,3 4,3",
    '■': "0,1 0,5 4,5 4,1 0,1 / 1,1 1,5 / 2,1 2,5 / 3,1 3,5",
    '▲': "0,1 2,5 4,1 0,1 / 1,1 2,4 3,1 / 2,1 2,5",
    '◆': "2,1 0,3 2,5 4,3 2,1 / 1,2 1,4 / 2,1 2,5 / 3,2 3,4",
    '▼': "0,5 2,1 4,5 0,5 / 1,5 2,2 3,5 / 2,5 2,1",
    '⊕': "1,1 0,2 0,4 1,5 3,5 4,4 4,2 3,1 1,1 / 2,1 2,5 / 0,3 4,3",
    '⊗': "1,1 0,2 0,4 1,5 3,5 4,4 4,2 3,1 1,1 / 1,2 3,4 / 1,4 3,2",
    '⊙': "1,1 0,2 0,4 1,5 3,5 4,4 4,2 3,1 1,1 / 2,3 2,2 3,3 2,4 1,3 2,2",
    '◎': "1,0 -1,2 -1,4 1,6 3,6 5,4 5,2 3,0 1,0 / 2,1 0,3 2,5 4,3 2,1",
    '⊠': "0,1 0,5 4,5 4,1 0,1 / 0,1 4,5 / 0,5 4,1",
}

# Accents over a capital (or alone); over a small letter they are drawn two units lower.
ACCENTS = {
    '\u0300': "1,8 2,7",           # grave
    '\u0301': "2,7 3,8",           # acute
    '\u0302': "1,7 2,8 3,7",       # circumflex
    '\u0303': "0,7 1,8 3,7 4,8",   # tilde
    '\u0308': "1,7 1,8 / 3,7 3,8",  # diaeresis
    '\u030a': "2,7 1,8 2,9 3,8 2,7",  # ring
    '\u030c': "1,8 2,7 3,8",       # caron
    '\u0327': "2,0 3,-1 2,-2 1,-2",  # cedilla
    '\u0332': "0,-1 4,-1",         # underline
}
ESPACEMENTS = {'´': '\u0301', '¨': '\u0308', '¸': '\u0327', '¯': '\u0305'}
# Greek letters drawn as the Latin letters they look like.
for grec, latin in zip('ΑΒΕΖΗΙΚΜΝΟΡΤΥΧο', 'ABEZHIKMNOPTYXo'):
    FORMES[grec] = FORMES[latin]


def lit_dessin(texte):
    traits = []
    for morceau in texte.split('/'):
        points = [tuple(int(v) for v in p.split(',')) for p in morceau.split()]
        if points:
            traits.append(points)
    return traits


def decale(traits, dy):
    return [[(x, y + dy) for x, y in t] for t in traits]


def dessin(car):
    """Strokes of one character: its own drawing, or a base letter with its accent."""
    if car in FORMES:
        return lit_dessin(FORMES[car])
    if car in ESPACEMENTS:
        return lit_dessin(ACCENTS.get(ESPACEMENTS[car], FORMES.get(ESPACEMENTS[car], '')))
    decompose = unicodedata.normalize('NFD', car)
    if len(decompose) == 2 and decompose[1] in ACCENTS:
        base, accent = decompose
        if base == 'i':
            base = 'ı'
        traits = lit_dessin(FORMES[base])
        marque = lit_dessin(ACCENTS[accent])
        if base.islower() and accent not in ('\u0327', '\u0332'):
            marque = decale(marque, -2)
        return traits + marque
    raise KeyError(f"no drawing for {car!r} (U+{ord(car):04X})")


def marque(accent):
    """A non-spacing accent: drawn over the character before it."""
    return ('marque', accent)


def octets(traits, nom):
    sortie = []
    for trait in traits:
        for i, (x, y) in enumerate(trait):
            if not (-1 <= x <= 6 and -4 <= y <= 11):
                raise ValueError(f"{nom}: point {x},{y} outside the cell")
            octet = (x + 1) << 4 | (y + 4)
            if i:
                octet |= 0x80
            elif octet == 0:
                raise ValueError(f"{nom}: a move to -1,-4 would end the string")
            sortie.append(octet)
    return sortie


ASCII = {c: chr(c) for c in range(33, 127)}
# Control codes a label can hold (ETX ends one; BS, HT, LF, VT, CR, SO and SI move or switch),
# where charsets 4 to 6 keep their extra glyphs.
CONTROLES = [1, 2, 4, 5, 6, 7, 12] + list(range(16, 32))


def jeu(base, changes):
    j = dict(base)
    for code, car in changes.items():
        if car is None:
            j.pop(code, None)
        else:
            j[code] = car
    return j


# What each code of each charset draws: a character, or a non-spacing accent.
JEUX = [
    # 0: ASCII
    ASCII,
    # 1: ASCII whose underline, grave and tilde mark the character before them
    jeu(ASCII, {95: marque('\u0332'), 96: marque('\u0300'), 126: marque('\u0303')}),
    # 2: French and German
    jeu(ASCII, {35: '£', 39: marque('\u0301'), 64: 'à', 91: '°', 92: 'ç', 93: 'ß',
                94: marque('\u0302'), 95: marque('\u0332'), 96: marque('\u0300'),
                123: marque('\u0308'), 124: marque('\u0327'), 125: marque('\u0303'), 126: None}),
    # 3: Scandinavian
    jeu(ASCII, {64: 'É', 91: 'Æ', 92: 'Ø', 93: 'Å', 94: 'æ', 96: 'ø', 95: marque('\u0332'),
                123: marque('\u0308'), 124: marque('\u030a'), 125: marque('\u0301'), 126: None}),
    # 4: Spanish and Latin American
    jeu(ASCII, {39: marque('\u0301'), 91: '¡', 92: 'Ñ', 93: '¿', 94: marque('\u0302'),
                95: marque('\u0332'), 96: 'ñ', 123: marque('\u0308'), 124: marque('\u0303'),
                125: marque('\u0300'), 126: marque('\u0327'), 127: marque('\u030a'),
                **dict(zip(CONTROLES, 'ªº«»°çÇ€¢'))}),
    # 5: Greek and mathematics; 'e' puts a bar over the character before it
    jeu(ASCII, {34: '∀', 36: '∃', 39: '∋', 42: '∗', 45: '−', 64: '≅', 92: '∴', 94: '⊥',
                96: '‾', 126: '∼', 127: '≠', 101: marque('\u0305'),
                **dict(zip(range(65, 91), 'ΑΒΧΔΕΦΓΗΙ∂ΚΛΜΝΟΠΘΡΣΤΥ∇ΩΞΨΖ')),
                **dict(zip([c for c in range(97, 123) if c != 101], 'αβχδφγηιεκλμνοπθρστυςωξψζ')),
                **dict(zip(CONTROLES, '≤≥±×÷∞√≈∫∑∏←→↑↓°′∈∩'))}),
    # 6: ASCII with yen and overline, and markers
    jeu(ASCII, {92: '¥', 126: '‾',
                **dict(zip(CONTROLES, '○□△◇▽✚✕☆✳●■▲◆▼⊕⊗⊙◎⊠'))}),
    # 7: the upper half of the Latin-1 page (codes 128-255 of charset 0), with the
    # Windows signs and letters of 128-159
    {**{c - 128: bytes([c]).decode('latin-1') for c in range(161, 256)},
     **{c - 128: bytes([c]).decode('cp1252') for c in
        (0x80, 0x84, 0x85, 0x8A, 0x8B, 0x8C, 0x8E, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96,
         0x97, 0x99, 0x9A, 0x9B, 0x9C, 0x9E, 0x9F)}},
]

NOMBRES = [94, 94, 93, 93, 104, 114, 113, 115]

# Fixed strokes, byte for byte.
IMPOSES = {('0', 65): "14 99 AA CA D9 D4 16 D6", ('0', 49): "24 C4 34 BA A9",
           ('0', 46): "34 A4 A5 B5 B4"}


def glyphe(entree):
    if isinstance(entree, tuple):
        accent = entree[1]
        return lit_dessin(ACCENTS.get(accent, FORMES.get(accent, '')))
    return dessin(entree)


def nom(entree):
    if isinstance(entree, tuple):
        return f"non-spacing U+{ord(entree[1]):04X}"
    if entree == '\\':
        return "backslash"
    if unicodedata.category(entree).startswith(('L', 'N', 'P', 'S')):
        return entree
    return f"U+{ord(entree):04X}"


def tables():
    resultat = []
    for n, j in enumerate(JEUX):
        if len(j) != NOMBRES[n]:
            raise ValueError(f"charset {n}: {len(j)} glyphs, {NOMBRES[n]} expected")
        t = []
        for code in range(128):
            if code in j:
                b = octets(glyphe(j[code]), f"charset {n} code {code}")
                if not b:
                    raise ValueError(f"charset {n} code {code}: empty drawing")
                t.append((b, nom(j[code])))
            else:
                t.append(([], None))
        resultat.append(t)
    for (n, code), attendu in IMPOSES.items():
        b = resultat[int(n)][code][0]
        if bytes(b).hex(' ').upper() != attendu:
            raise ValueError(f"charset {n} code {code}: {bytes(b).hex(' ')} instead of {attendu}")
    return resultat


def ecrit_source(t, chemin):
    lignes = [
        "// Generated by tools/jeux_caracteres_trait.py from its glyph drawings: edit those and",
        "// run it again.",
        '#include "labels.h"',
        "",
        "const char* const JeuxCaracteresTrait[8][128] = {",
    ]
    for n, table in enumerate(t):
        lignes.append(f"    {{  // charset {n}")
        for code, (b, quoi) in enumerate(table):
            texte = ''.join(f"\\x{v:02X}" for v in b)
            commentaire = f"  // {code} {quoi}" if quoi else ""
            lignes.append(f'        "{texte}",{commentaire}')
        lignes.append("    },")
    lignes.append("};")
    with open(chemin, 'w', encoding='utf-8') as f:
        f.write('\n'.join(lignes) + '\n')


def ecrit_planche(chemin):
    """Every code of every charset on a grid of 16 columns, a block of 8 rows per charset;
    the label controls (BS, HT, LF, VT, CR, SO, SI) and the terminator ETX are left out.
    Charset 7 is shown as charset 0's codes 128 to 255, which reach all of it."""
    # About 60 x 85 mm: the sheet fits the default 100 mm plate and the lens field.
    sortie = [b"IN;SP1;SI0.08,0.12;"]
    for n in range(8):
        x0, y0 = 128 + (n % 2) * 1280, 3648 - (n // 2) * 928
        sortie.append(b"CS%d;" % (0 if n == 7 else n))
        for code in range(128):
            octet = code + 128 if n == 7 else code
            if octet in (3, 8, 9, 10, 11, 13, 14, 15, 32):
                continue
            x, y = x0 + (code % 16) * 70, y0 - (code // 16) * 106
            sortie.append(b"PU%d,%d;LB%s\x03" % (x, y, bytes([octet])))
    sortie.append(b"CS0;PG;")
    with open(chemin, 'wb') as f:
        f.write(b"\n".join(sortie) + b"\n")


def main():
    t = tables()
    ecrit_source(t, os.path.join(RACINE, "host", "jeux_caracteres_trait.cpp"))
    ecrit_planche(os.path.join(RACINE, "examples", "glyphs.hpgl"))
    return 0


if __name__ == '__main__':
    sys.exit(main())
