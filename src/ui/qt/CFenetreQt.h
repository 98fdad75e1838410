#pragma once
// The Qt Widgets side of the control layer: one QDialog per template, one
// widget per control.
//
//   static text -> QLabel (wraps)          edit -> QLineEdit
//   push button -> QPushButton (never default by accident; multi-line captions wrap)
//   radio button -> QRadioButton (one exclusive group per template group)
//   list box -> QListWidget                drop-down list -> QComboBox
//   list view -> QTreeWidget in report form (rows, several selectable, clickable headers)
//   progress bar -> QProgressBar           animation -> QLabel + QMovie
//
// Windows live on the GUI thread; the front end refuses to make one elsewhere.
// Positions come from the template in dialog units converted with the dialog
// font's base units. Notifications follow the rules of ui/Controles.h; once the
// dialog has ended (or while its window is being destroyed) it reports nothing,
// so focus moves caused by hiding or deleting the window never reach the logic.

#include <QDialog>
#include <QPointer>

#include <memory>
#include <vector>

#include "ui/Controles.h"
#include "ui/qt/UnitesDialogue.h"

class CControleQt;
class CFenetreQt;
class QEventLoop;

// The top-level widget of a dialog window; turns keys, close requests and
// size changes into the listener's calls.
class CDialogQt : public QDialog
{
public:
    explicit CDialogQt(CFenetreQt& fenetre, Qt::WindowFlags flags);

    void accept() override {}
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    CFenetreQt& m_fenetre;
};

class CFenetreQt : public IFenetreDialogue
{
public:
    CFenetreQt(const tModeleDialogue& modele, IEcouteurDialogue& ecouteur);
    ~CFenetreQt() override;

    const tModeleDialogue& GetModele() const override { return m_modele; }
    IControle* GetDlgItem(unsigned id) override;
    IControle* GetFocus() override;
    void SetWindowText(const CString& titre) override;
    CString GetWindowText() const override;
    tRect GetClientRect() const override;
    void SetTailleMinimale(int largeur, int hauteur) override;
    void Afficher(bool bVisible) override;
    bool EstVisible() const override;
    int RunModal() override;
    void EndDialog(int resultat) override;
    void PosterClic(unsigned id) override;
    int MessageBox(const CString& texte, tBoutonsMessage boutons) override;
    unsigned MenuContextuel(const std::vector<tEntreeMenu>& entrees) override;
    void CopierTexte(const CString& texte) override;

    // --- used by the widgets
    QDialog* Dialog() const { return m_pDialog; }
    const tUnitesBase& Base() const { return m_base; }
    // A list view column width given in pixels of the 8-point dialog font, for
    // this dialog's font: scaled by the wider of the average character and the
    // digit, so a column sized for a date or a size still shows it whole.
    int LargeurColonne(int pixelsReference) const;
    // Delivers a notification unless the window no longer reports any.
    void Notifier(unsigned id, tNotification n, int parametre);
    // Enter: the focused push button, else the default command (ToucheEntree).
    void Entree();
    void Annulation();
    void Taille(int largeur, int hauteur);
    // The focus rule of ui/Controles.h: a control about to be disabled or
    // hidden hands the focus to the dialog itself; enabled and shown again,
    // it gets it back unless a control took it meanwhile.
    void AvantRetrait(CControleQt& c);
    void ApresRetour(CControleQt& c);
    void FocusPris() { m_pFocusSuspendu = nullptr; }
    // The window may not be minimised (no minimise in its template).
    bool Reductible() const;

private:
    // The window manager's functions and decorations the template allows.
    void IndiquerFonctions();
    CControleQt* ControleDeWidget(const QWidget* w) const;

    const tModeleDialogue& m_modele;
    IEcouteurDialogue& m_ecouteur;
    CDialogQt* m_pDialog = nullptr;   // owned; deleted in the destructor
    tUnitesBase m_base;
    double m_dEchelleColonnes = 1.0;
    std::vector<std::unique_ptr<CControleQt>> m_controles;
    QPointer<QEventLoop> m_pBoucle;
    bool m_bTerminee = false;
    bool m_bMuet = false;
    int m_nResultat = 0;
    CControleQt* m_pFocusSuspendu = nullptr;
};

// Message box with the buttons asked for; parent may be null.
int MessageBoxQt(QWidget* parent, const CString& texte, tBoutonsMessage boutons);

QString VersQString(const CString& s);
CString DepuisQString(const QString& s);
