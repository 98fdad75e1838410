#pragma once
// Dialog templates as data: what a front end needs to build a dialog window.
//
// Positions and sizes are in dialog units (a quarter of the dialog font's average
// character width horizontally, an eighth of its height vertically). A front end
// converts them with the font's base units; without a measurable font it uses
// 6 x 13 pixels (the base units of the 8-point dialog font at 96 dpi), which is
// also what the headless front end uses.

#include <vector>

#include "common/Export.h"

enum class tTypeControle {
    Statique,       // text label                     -> QLabel
    Edition,        // single-line edit               -> QLineEdit
    Bouton,         // push button                    -> QPushButton
    BoutonRadio,    // automatic radio button         -> QRadioButton
    ListeSimple,    // list box                       -> QListWidget
    ListeDeroulante,// drop-down list (not editable)  -> QComboBox
    VueListe,       // report list view with columns  -> QTreeWidget / QTableWidget
    BarreProgression, //                              -> QProgressBar
    Animation,      // looping clip                   -> QLabel + QMovie
};

// Control styles (bit mask). Only those the templates use.
enum : unsigned {
    STYLE_LECTURE_SEULE = 1u << 0,        // edit: read-only
    STYLE_DEFILEMENT_HORIZ = 1u << 1,     // edit: scrolls horizontally (no width limit on the text)
    STYLE_TRIE = 1u << 2,                 // list box, drop-down: entries kept sorted (ComparerTexteListe)
    STYLE_NOTIFIANT = 1u << 3,            // list box: reports clicks and double-clicks
    STYLE_MULTISELECTION = 1u << 4,       // list view: several rows can be selected
    STYLE_SELECTION_VISIBLE = 1u << 5,    // list view: selection shown without the focus
    STYLE_MULTILIGNE = 1u << 6,           // button: caption wraps on several lines
    STYLE_DEFAUT = 1u << 7,               // button: the default push button
    STYLE_DEBUT_GROUPE = 1u << 8,         // starts a group (radio buttons)
    STYLE_CENTRE_VERT = 1u << 9,          // static: text centred vertically
    STYLE_BORDURE = 1u << 10,             // edit: border
    STYLE_TABULATION = 1u << 11,          // reachable with Tab
    STYLE_ANIM_CENTRE = 1u << 12,         // animation: clip centred in the control
    STYLE_ANIM_TRANSPARENT = 1u << 13,    // animation: transparent background
    STYLE_ANIM_AUTO = 1u << 14,           // animation: plays as soon as opened
    STYLE_JOURNAL = 1u << 15,             // list view: a log (one column, no header, no drag,
                                          // follows the last row while it is in view)
};

// Dialog styles (bit mask).
enum : unsigned {
    DLG_REDIMENSIONNABLE = 1u << 0,   // resizable frame
    DLG_MENU_SYSTEME = 1u << 1,       // system menu (close box)
    DLG_CENTRE = 1u << 2,             // centred on the screen
    DLG_PREMIER_PLAN = 1u << 3,       // brought to the foreground when shown
    DLG_CADRE_MODAL = 1u << 4,        // modal frame (fixed size)
    DLG_TITRE = 1u << 5,              // caption bar
    DLG_SYSTEME_MODAL = 1u << 6,      // topmost
    DLG_ASPECT_3D = 1u << 7,
};

// Id of the labels that carry no id of their own.
constexpr unsigned ID_STATIQUE = 0xFFFF;

struct tModeleControle {
    unsigned nId;
    tTypeControle nType;
    const wchar_t* szTexte;   // caption, never null ("" for none)
    unsigned nStyles;
    int x, y, cx, cy;         // dialog units
    bool bVisible;            // shown at creation
    bool bActif;              // enabled at creation
};

struct tModeleDialogue {
    unsigned nId;
    const wchar_t* szTitre;
    unsigned nStyles;
    const wchar_t* szPolice;  // "MS Sans Serif"
    int nTaillePolice;        // points
    int cx, cy;               // client size in dialog units
    std::vector<tModeleControle> controles;  // in tab order

    const tModeleControle* Controle(unsigned id) const
    {
        for (const auto& c : controles)
            if (c.nId == id) return &c;
        return nullptr;
    }
};

// Dialog units to pixels with the given base units (MulDiv rounding, as the
// dialog manager does).
inline int UnitesVersPixelsX(int unites, int baseX = 6) { return (unites * baseX + 2) / 4; }
inline int UnitesVersPixelsY(int unites, int baseY = 13) { return (unites * baseY + 4) / 8; }
