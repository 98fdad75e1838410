#include "ui/qt/UnitesDialogue.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QString>

namespace {
// MulDiv with rounding, as the dialog manager converts units.
int MulDiv(int a, int b, int c)
{
    const long long p = static_cast<long long>(a) * b;
    return static_cast<int>(p >= 0 ? (p + c / 2) / c : (p - c / 2) / c);
}
} // namespace

QFont PoliceDialogue(const wchar_t* szPolice, int nTaillePoints)
{
    QFont defaut = QApplication::font("QDialog");
    if (szPolice && *szPolice) {
        const QString famille = QString::fromWCharArray(szPolice);
        if (QFontDatabase::families().contains(famille, Qt::CaseInsensitive)) {
            QFont police(famille, nTaillePoints > 0 ? nTaillePoints : defaut.pointSize());
            if (QFontInfo(police).exactMatch()) return police;
        }
    }
    return defaut;
}

tUnitesBase UnitesBase(const QFont& police)
{
    tUnitesBase base;
    const QFontMetrics fm(police);
    const int largeur = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int hauteur = fm.height();
    if (largeur > 0 && hauteur > 0) {
        base.x = (largeur / 26 + 1) / 2;
        base.y = hauteur;
    }
    if (base.x <= 0) base.x = 6;
    return base;
}

int PixelsX(const tUnitesBase& base, int unites) { return MulDiv(unites, base.x, 4); }
int PixelsY(const tUnitesBase& base, int unites) { return MulDiv(unites, base.y, 8); }

QRect RectPixels(const tUnitesBase& base, int x, int y, int cx, int cy)
{
    const int gauche = PixelsX(base, x), haut = PixelsY(base, y);
    // Convert the far edges, not the sizes, so adjacent controls stay adjacent.
    return QRect(gauche, haut, PixelsX(base, x + cx) - gauche, PixelsY(base, y + cy) - haut);
}
