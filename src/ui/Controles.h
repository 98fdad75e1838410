#pragma once
// The control layer the dialogs are written against.
//
// This is the interface the Qt front end (a separate library) implements, so the
// core exports it; a host never includes it.
//
// A front end (IFrontal) turns a dialog template (ModeleDialogue.h) into a window
// (IFenetreDialogue) whose controls (IControle) the dialog logic drives, and
// reports the user's actions back to the logic (IEcouteurDialogue). Two front
// ends exist: the headless one (CFrontalMemoire.h), on which the tests build a
// scripted user, and the Qt Widgets one (separate library). The operations are
// the classic dialog-control ones, one to one with Qt widgets.
//
// Notification rules every front end keeps (the dialog logic relies on them):
//  - Notifications are delivered synchronously, on the thread that owns the window.
//  - Setting the text of an edit control (SetWindowText, also from the logic)
//    reports a text change, like typing does; setting the same text again does too.
//  - SetFocus (also from the logic) reports the focus loss of the control that had
//    it, then the focus gain of the new one.
//  - Selections changed by the logic (SetCurSel, SelectString, SetItemSelected)
//    report nothing; only the user's choices report a selection change.
//  - A disabled or hidden control receives no user action.
//  - A control that is disabled or hidden while it has the keyboard focus hands
//    it to the dialog itself (no control has it; its loss is reported), never
//    to the next control; it gets it back when it is enabled and shown again,
//    unless the focus went elsewhere meanwhile. (A native dialog leaves the
//    focus where it was; moving it on would land it in whatever input control
//    comes next, with its text selected.)
//  - Enter clicks the focused push button (enabled and shown) and is the
//    default command (IEcouteurDialogue::OnEntree) anywhere else; see
//    ToucheEntree below.
//
// Threads: modal dialogs run on the host's thread. A modeless window (the wait
// window) may be created, changed and destroyed from another thread (the driver's
// worker); a GUI front end forwards those calls to its GUI thread.

#include <cstdint>
#include <memory>
#include <vector>

#include "common/CString.h"
#include "common/Export.h"
#include "ui/ModeleDialogue.h"

// One entry of a context menu: the command it gives (0: a separator), its
// text ("Text\tShortcut") and whether it can be chosen now.
struct tEntreeMenu {
    unsigned nCommande = 0;
    CString strTexte;
    bool bActif = true;
};

// Results of dialogs and message boxes; also the ids of the OK and Cancel buttons.
constexpr int ID_OK = 1;
constexpr int ID_ANNULER = 2;
constexpr int ID_OUI = 6;
constexpr int ID_NON = 7;
constexpr int ID_REESSAYER = 4;

// Buttons of a message box.
// OkReessayer: OK first (Enter and Escape), and "Retry".
enum class tBoutonsMessage { Ok, OkAnnuler, OuiNon, OkReessayer };

// A rectangle in pixels, right and bottom exclusive (as a RECT).
struct tRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Largeur() const { return right - left; }
    int Hauteur() const { return bottom - top; }
    bool operator==(const tRect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const tRect& o) const { return !(*this == o); }
};

enum class tAlignement { Gauche, Centre, Droite };

// What the user did to a control.
enum class tNotification {
    Clic,               // button or radio button clicked
    DoubleClic,         // list box entry double-clicked (the entry is selected first)
    ChangementSelection,// user changed the selection of a list box or drop-down list
    ChangementTexte,    // edit text changed (typing, pasting, or SetWindowText)
    PriseFocus,         // control gained the keyboard focus
    PerteFocus,         // control lost the keyboard focus
    ClicEnTete,         // list view column header clicked; parametre = column
    ToucheSuppr,        // Delete key pressed in a list box or a list view
    Touche,             // another command key in a list box or a list view; parametre = tTouche
    MenuContextuel,     // the user asked for a list's context menu (right button, menu key)
    Depot,              // rows of another list view dropped on this one; parametre = its id
};

// The command keys a list reports (tNotification::Touche), without modifiers.
// Copier: the platform's copy shortcut (Ctrl+C).
enum class tTouche { F2 = 1, F5, F7, F8, RetourArriere, Copier };

// One control of a dialog window. Operations that do not apply to the control's
// kind do nothing and return 0, -1 or an empty text.
class OTDR_EXPORT IControle
{
public:
    virtual ~IControle();  // out of line: the vtable lives in the core only

    virtual unsigned GetId() const = 0;
    virtual tTypeControle GetType() const = 0;

    // --- every control
    virtual void EnableWindow(bool bActif) = 0;
    virtual bool IsWindowEnabled() const = 0;
    virtual void ShowWindow(bool bVisible) = 0;
    // Whether the control itself is shown (its window may still be hidden).
    virtual bool IsWindowVisible() const = 0;
    // Position in the dialog's client area, in pixels.
    virtual tRect GetRect() const = 0;
    virtual void MoveWindow(int x, int y, int cx, int cy) = 0;
    virtual CString GetWindowText() const = 0;
    virtual void SetWindowText(const CString& texte) = 0;
    virtual void SetFocus() = 0;
    // Static text: the part of the text (from SetWindowText, in characters)
    // that a front end may shorten in its middle when the whole does not fit,
    // so that the rest (numbers) stays readable; such a text keeps its font
    // size. A new text has no such part until told.
    virtual void SetPartieReductible(int /*nDebut*/, int /*nLongueur*/) {}
    // Repaints now (a long operation in a handler shows its progress).
    virtual void UpdateWindow() = 0;

    // --- edit: selection / caret (debut = fin puts the caret; -1 means the end)
    virtual void SetSel(int debut, int fin) = 0;

    // --- radio button: 1 checked, 0 not
    virtual int GetCheck() const = 0;
    virtual void SetCheck(int etat) = 0;

    // --- list box and drop-down list
    virtual void ResetContent() = 0;
    // Adds at the sorted place (STYLE_TRIE) or at the end; returns the index.
    virtual int AddString(const CString& texte) = 0;
    virtual int GetCount() const = 0;
    virtual CString GetText(int index) const = 0;
    // -1 when nothing is selected.
    virtual int GetCurSel() const = 0;
    // -1 clears the selection. Returns the index, or -1 when out of range.
    virtual int SetCurSel(int index) = 0;
    // Selects the first entry after 'apres' (-1: from the start, wrapping round)
    // whose text begins with 'debut' without regard to case; returns its index,
    // or -1 with the selection unchanged.
    virtual int SelectString(int apres, const CString& debut) = 0;

    // --- list view (report mode)
    virtual int InsertColumn(int colonne, const CString& titre, tAlignement alignement, int largeur) = 0;
    virtual int GetColumnCount() const = 0;
    virtual CString GetColumnText(int colonne) const = 0;
    // Inserts a row with its first cell; returns the row index (-1 on failure).
    virtual int InsertItem(int ligne, const CString& texte) = 0;
    virtual bool SetItemText(int ligne, int colonne, const CString& texte) = 0;
    virtual CString GetItemText(int ligne, int colonne) const = 0;
    virtual int GetItemCount() const = 0;
    virtual bool DeleteItem(int ligne) = 0;
    virtual void DeleteAllItems() = 0;
    // Next selected row after 'apres' (-1: from the first), or -1.
    virtual int GetNextSelected(int apres) const = 0;
    virtual int GetSelectedCount() const = 0;
    virtual bool IsItemSelected(int ligne) const = 0;
    // ligne -1: every row.
    virtual void SetItemSelected(int ligne, bool bSelectionne) = 0;
    // A number kept with a row and not shown (0 for a new row).
    virtual void SetItemData(int ligne, uint64_t nDonnee) = 0;
    virtual uint64_t GetItemData(int ligne) const = 0;
    // The arrow a column header shows for the order of the rows (colonne -1:
    // none). The control sorts nothing by itself.
    virtual void SetIndicateurTri(int colonne, bool bAscendant) = 0;
    // The column whose header shows the arrow (-1: none), and its direction.
    virtual int GetIndicateurTri(bool* pbAscendant = nullptr) const = 0;

    // --- progress bar
    virtual void SetRange(int min, int max) = 0;
    virtual void SetPos(int pos) = 0;
    virtual int GetPos() const = 0;
    virtual int GetRangeMin() const = 0;
    virtual int GetRangeMax() const = 0;

    // --- animation: clip by resource id, played in a loop until stopped
    virtual bool OuvrirAnimation(unsigned idAnimation) = 0;
    virtual void JouerAnimation() = 0;
    virtual void ArreterAnimation() = 0;
    virtual void FermerAnimation() = 0;
    // Id of the open clip (0: none) and whether it plays.
    virtual unsigned GetAnimation() const = 0;
    virtual bool AnimationEnCours() const = 0;
};

// The dialog logic's side: what the window reports. CDialogue implements it.
class OTDR_EXPORT IEcouteurDialogue
{
public:
    virtual ~IEcouteurDialogue();  // out of line: the vtable lives in the core only
    virtual void OnNotification(unsigned idControle, tNotification notification, int parametre) = 0;
    // Enter key (the default button's command).
    virtual void OnEntree() = 0;
    // Escape key or the window's close box.
    virtual void OnAnnulation() = 0;
    // The client area changed size; (0, 0) when the window is minimised.
    virtual void OnTaille(int largeur, int hauteur) = 0;
};

// One dialog window made from a template. Created by IFrontal::CreerDialogue,
// destroyed by deleting it; deleting it reports nothing to the listener (the
// logic's OnDestroy has already run by then).
class OTDR_EXPORT IFenetreDialogue
{
public:
    virtual ~IFenetreDialogue();  // out of line: the vtable lives in the core only

    virtual const tModeleDialogue& GetModele() const = 0;
    // Null when the template has no such control.
    virtual IControle* GetDlgItem(unsigned id) = 0;
    // The control that has the keyboard focus, or null.
    virtual IControle* GetFocus() = 0;

    virtual void SetWindowText(const CString& titre) = 0;
    virtual CString GetWindowText() const = 0;
    virtual tRect GetClientRect() const = 0;
    // Smallest window size the user can track to, in pixels.
    virtual void SetTailleMinimale(int largeur, int hauteur) = 0;

    // Modeless show / hide.
    virtual void Afficher(bool bVisible) = 0;
    virtual bool EstVisible() const = 0;

    // Shows the window modally and returns the result given to EndDialog. If
    // EndDialog ran before (during initialisation), returns at once.
    virtual int RunModal() = 0;
    virtual void EndDialog(int resultat) = 0;

    // Queues a click of control 'id' to this window, delivered by its message loop
    // after the current handler returns (PostMessage of a command).
    virtual void PosterClic(unsigned id) = 0;

    // A context menu at the mouse (or under the focused control): the command
    // chosen, 0 when none. Without a user (the default) none is chosen.
    virtual unsigned MenuContextuel(const std::vector<tEntreeMenu>& /*entrees*/) { return 0; }

    // Puts text on the clipboard. Without a user (the default) it goes nowhere.
    virtual void CopierTexte(const CString& /*texte*/) {}

    // Modal message box over this window: the text, OK only or with a second
    // button; returns ID_OK, ID_ANNULER, ID_OUI, ID_NON or ID_REESSAYER.
    virtual int MessageBox(const CString& texte, tBoutonsMessage boutons) = 0;
};

class CEvenementManuel;

// A front end: makes windows from templates and shows parentless message boxes.
class OTDR_EXPORT IFrontal
{
public:
    virtual ~IFrontal();  // out of line: the vtable lives in the core only
    // The window is created hidden with the template's controls and start states;
    // 'ecouteur' receives its notifications and must outlive it. Null on failure.
    virtual std::unique_ptr<IFenetreDialogue> CreerDialogue(const tModeleDialogue& modele,
                                                            IEcouteurDialogue& ecouteur) = 0;
    virtual int MessageBox(const CString& texte, tBoutonsMessage boutons) = 0;

    // Waits, on the thread that owns the windows, until `evenement` is set or
    // nDelaiMs passes, while another thread does a dialog's work; true when
    // set. A GUI front end keeps every window painted meanwhile and drops the
    // user's input (never delivered, never replayed later), except on pLibre
    // (may be null): a click on it, Enter or Space while it has the focus, and
    // Escape anywhere, click it. The default is a plain wait.
    virtual bool AttendreOperation(CEvenementManuel& evenement, unsigned long nDelaiMs, IControle* pLibre);
};

// What Enter does in a dialog window: clicks the focused push button when it
// is enabled and shown, else gives the listener its default command (OnEntree).
// Every front end's Enter key goes through it.
OTDR_EXPORT void ToucheEntree(IFenetreDialogue& fenetre, IEcouteurDialogue& ecouteur);

// Installs the process-wide front end (null goes back to headless) and returns the
// previous one. Installing one also makes AfficherAttente (ui/Attente.h) show and
// replace a CDlgAttente through it; going back to headless removes that handler
// and any wait window.
OTDR_EXPORT std::shared_ptr<IFrontal> DefinirFrontal(std::shared_ptr<IFrontal> frontal);

// The installed front end, or the headless one. Headless: a dialog is created and
// initialised in memory, a modal run ends at once with ID_ANNULER (no user is
// there to answer; posted clicks are dropped), a message box answers its first
// button (ID_OK or ID_OUI) and nothing is shown.
std::shared_ptr<IFrontal> FrontalCourant();
bool FrontalInstalle();

// Parentless message boxes through the current front end.
int AfficherMessage(unsigned idChaine, tBoutonsMessage boutons = tBoutonsMessage::Ok);
int AfficherMessage(const CString& texte, tBoutonsMessage boutons = tBoutonsMessage::Ok);

// The order of sorted list boxes and drop-down lists: the parent-directory entry
// "[..]" first, then without regard to case (code units lowered), then by code
// unit to keep the order total.
OTDR_EXPORT int ComparerTexteListe(const CString& a, const CString& b);
