#pragma once
// The headless front end, what a host without a display runs on: windows and
// controls keep their state in memory so the dialog logic runs as usual, and
// nothing is shown. Nobody is there to answer: a modal run ends at once with
// ID_ANNULER (posted clicks are dropped), a message box answers its first
// button, and a window keeps its template's size (dialog units converted with
// the base units 6 x 13).
//
// Tests build a scripted user on it (tests/support): a derived window overrides
// the IFenetreDialogue calls where a user would act and reports the user's
// actions to the logic through Ecouteur().

#include <memory>
#include <mutex>
#include <vector>

#include "ui/Controles.h"

class CFrontalMemoire : public IFrontal
{
public:
    std::unique_ptr<IFenetreDialogue> CreerDialogue(const tModeleDialogue& modele,
                                                    IEcouteurDialogue& ecouteur) override;
    int MessageBox(const CString& texte, tBoutonsMessage boutons) override;
};

class CFenetreMemoire : public IFenetreDialogue
{
public:
    // 'frontal' answers the message boxes shown over the window.
    CFenetreMemoire(IFrontal& frontal, const tModeleDialogue& modele, IEcouteurDialogue& ecouteur);
    ~CFenetreMemoire() override;

    const tModeleDialogue& GetModele() const override { return m_modele; }
    IControle* GetDlgItem(unsigned id) override;
    IControle* GetFocus() override;
    void SetWindowText(const CString& titre) override;
    CString GetWindowText() const override;
    tRect GetClientRect() const override;
    void SetTailleMinimale(int, int) override {}
    void Afficher(bool bVisible) override;
    bool EstVisible() const override;
    int RunModal() override;
    void EndDialog(int resultat) override;
    void PosterClic(unsigned) override {}
    int MessageBox(const CString& texte, tBoutonsMessage boutons) override;
    // The clipboard of the window: what was copied last.
    void CopierTexte(const CString& texte) override;
    CString TexteCopie() const;

    // Whether EndDialog (or a modal run) has ended the window.
    bool EstTerminee() const;

protected:
    // Where a derived window reports what its user does.
    IEcouteurDialogue& Ecouteur() const { return m_ecouteur; }

private:
    class CControleMemoire;
    using Verrou = std::lock_guard<std::recursive_mutex>;
    // SetFocus of a control: the loss, then the gain, each reported.
    void ChangerFocus(IControle* nouveau);
    // A control was enabled, disabled, shown or hidden: the focus rule of
    // ui/Controles.h (the dialog keeps it, the control gets it back).
    void EtatChange(IControle* c, bool bUtilisable);

    IFrontal& m_frontal;
    const tModeleDialogue& m_modele;
    IEcouteurDialogue& m_ecouteur;
    std::vector<std::unique_ptr<CControleMemoire>> m_controles;
    // A modeless window may be changed from another thread than its owner's.
    mutable std::recursive_mutex m_mutex;
    CString m_strTitre;
    bool m_bVisible = false;
    bool m_bTerminee = false;
    int m_nResultat = 0;
    IControle* m_pFocus = nullptr;
    IControle* m_pFocusSuspendu = nullptr;  // disabled or hidden while it had the focus
    CString m_strCopie;
};
