#pragma once
// Base of every dialog's logic: owns the window made from its template by the
// current front end, runs it modally or modeless, and turns the window's
// notifications into the usual handlers.
//
//   DoModal: create window -> OnInitDialog -> modal loop -> OnDestroy -> window deleted.
//   Create / DestroyWindow: the same for a modeless window, shown by the caller.
//
// Dispatch: a click on control ID_OK (1) or the Enter key -> OnOK; a click on
// ID_ANNULER (2), Escape or the close box -> OnCancel; a size change -> OnSize;
// everything else -> OnCommande.

#include <memory>
#include <vector>

#include "common/CString.h"
#include "common/Export.h"
#include "ui/Controles.h"

class CDialogue : protected IEcouteurDialogue
{
public:
    explicit CDialogue(unsigned idModele);
    ~CDialogue() override;
    CDialogue(const CDialogue&) = delete;
    CDialogue& operator=(const CDialogue&) = delete;

    // Runs the dialog modally; its result (ID_OK, ID_ANNULER, ...), or -1 when the
    // window could not be created (unknown template, front end refused).
    int DoModal();
    // Creates the window modeless and runs OnInitDialog; 0 on failure.
    int Create();
    // OnDestroy, then deletes the window. Nothing when there is no window.
    void DestroyWindow();

    IFenetreDialogue* GetFenetre() const { return m_pFenetre.get(); }
    // Null when there is no window or no such control.
    IControle* GetDlgItem(unsigned id) const;
    void EndDialog(int resultat);
    // 1 when bSauver reads the controls into the members, 0 for the reverse.
    int UpdateData(int bSauver = 1);

    // Message box over this dialog (parentless when it has no window).
    int MessageBox(unsigned idChaine, tBoutonsMessage boutons = tBoutonsMessage::Ok);
    int MessageBox(const CString& texte, tBoutonsMessage boutons = tBoutonsMessage::Ok);

    // Radio group helpers: the controls from idPremier (the group's first radio
    // button) to the next control starting a group or that is no radio button,
    // in template order. Index of the checked one, -1 when none.
    int GetRadioCoche(unsigned idPremier) const;
    void SetRadioCoche(unsigned idPremier, int index);

protected:
    virtual void DoDataExchange(int bSauver);
    virtual int OnInitDialog();   // UpdateData(0); returns 1
    virtual void OnOK();          // UpdateData(1), then EndDialog(ID_OK)
    virtual void OnCancel();      // EndDialog(ID_ANNULER)
    virtual void OnDestroy() {}
    virtual void OnSize(int /*largeur*/, int /*hauteur*/) {}
    virtual void OnCommande(unsigned /*idControle*/, tNotification /*notification*/, int /*parametre*/) {}

    // IEcouteurDialogue
    void OnNotification(unsigned idControle, tNotification notification, int parametre) override;
    void OnEntree() override;
    void OnAnnulation() override;
    void OnTaille(int largeur, int hauteur) override;

private:
    bool CreerFenetre();
    // The controls of the radio group that starts at idPremier, in template order.
    std::vector<IControle*> GroupeRadio(unsigned idPremier) const;

    unsigned m_nIdModele;
    std::unique_ptr<IFenetreDialogue> m_pFenetre;
    // Kept for the whole life of the window: the window is the front end's.
    std::shared_ptr<IFrontal> m_pFrontal;
};
