#pragma once
// Dialog units to pixels for the Qt front end.
//
// Templates place controls in dialog units: a quarter of the dialog font's
// average character width across, an eighth of its height down. The base units
// are measured the way the Windows dialog manager does (average width of the 52
// Latin letters, rounded; the font's height), so the templates keep their
// proportions with whatever font the desktop uses.

#include <QFont>
#include <QRect>

struct tUnitesBase {
    int x = 6;
    int y = 13;
};

// The font dialogs use: the template's face and size when the system has it,
// else the application's dialog font.
QFont PoliceDialogue(const wchar_t* szPolice, int nTaillePoints);

// Base units of a font; 6 x 13 when the font cannot be measured.
tUnitesBase UnitesBase(const QFont& police);

// A template rectangle (dialog units) in pixels.
QRect RectPixels(const tUnitesBase& base, int x, int y, int cx, int cy);
int PixelsX(const tUnitesBase& base, int unites);
int PixelsY(const tUnitesBase& base, int unites);
