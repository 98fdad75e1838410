#pragma once
// The in-memory front end: windows and controls that keep their state in memory,
// with nothing shown. Tests drive dialogs through it as a user would (click, type,
// give focus, resize, press Enter or Escape, click a column header, answer message
// boxes), and the headless default front end is one of these with no user.
//
// Modal runs: each RunModal takes the next script queued with AjouterScriptModal
// and runs it as the user's session: posted clicks are delivered first, then the
// script, with posted clicks delivered after each user action. If the dialog is
// still open when the script returns, the user closes it (close box: OnCancel);
// if it is still open after that, it ends with ID_ANNULER. With no script queued
// the run ends at once with ID_ANNULER, dropping posted clicks (nobody there).
//
// Pixels: dialog units convert with the base units 6 x 13.

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "common/Export.h"
#include "ui/Controles.h"

class CFenetreMemoire;

// Keys held during a click on a list view row.
enum class tModificateur { Aucun, Ctrl, Maj };

class CFrontalMemoire : public IFrontal, public std::enable_shared_from_this<CFrontalMemoire>
{
public:
    using FnScript = std::function<void(CFenetreMemoire& fenetre)>;

    // bJournal false: message texts and modal runs are not kept (headless use).
    explicit CFrontalMemoire(bool bJournal = true);
    ~CFrontalMemoire() override;

    std::unique_ptr<IFenetreDialogue> CreerDialogue(const tModeleDialogue& modele,
                                                    IEcouteurDialogue& ecouteur) override;
    int MessageBox(const CString& texte, tBoutonsMessage boutons) override;

    // --- test side
    // The user's session for the next modal run (first queued, first used).
    void AjouterScriptModal(FnScript script);
    int ScriptsEnAttente() const;
    // The answer to the next message box; without one, the first button answers.
    void AjouterReponseMessage(int reponse);
    // Texts of every message box shown, in order (also those shown over a window).
    std::vector<CString> Messages() const;
    void EffacerMessages();
    // Template ids of the modal runs started, in order.
    std::vector<unsigned> ModauxLances() const;
    // Windows alive now; the most recent one made from template 'idModele' (or null).
    int NombreFenetres() const;
    CFenetreMemoire* Fenetre(unsigned idModele) const;

private:
    friend class CFenetreMemoire;
    FnScript ProchainScript(bool& bTrouve);
    void Enregistrer(CFenetreMemoire* f);
    void Oublier(CFenetreMemoire* f);
    void NoterModal(unsigned idModele);

    mutable std::mutex m_mutex;
    bool m_bJournal;
    std::vector<FnScript> m_scripts;
    std::vector<int> m_reponses;
    std::vector<CString> m_messages;
    std::vector<unsigned> m_modaux;
    std::vector<CFenetreMemoire*> m_fenetres;
};

// A window of the in-memory front end. The IFenetreDialogue side is what the
// logic uses; the methods below it are the user's actions. A user action on a
// hidden or disabled control (or on a control the window does not have) does
// nothing and returns false.
class CFenetreMemoire : public IFenetreDialogue
{
public:
    CFenetreMemoire(CFrontalMemoire& frontal, const tModeleDialogue& modele, IEcouteurDialogue& ecouteur);
    ~CFenetreMemoire() override;

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

    // --- user actions
    bool Cliquer(unsigned id);
    // List box: selects the entry (as the first click does), then double-clicks it.
    bool DoubleCliquer(unsigned id, int index);
    // List box or drop-down list: the user picks an entry (focus, selection, notification).
    bool Choisir(unsigned id, int index);
    // List view: click on a row; Ctrl toggles it, Shift extends from the last clicked row.
    bool CliquerLigne(unsigned id, int ligne, tModificateur mod = tModificateur::Aucun);
    bool CliquerEnTete(unsigned id, int colonne);
    // Edit: focus, then one character at a time at the end, each a text change.
    bool Taper(unsigned id, const CString& texte);
    // Edit: focus, then the whole text added at the end as one change.
    bool Coller(unsigned id, const CString& texte);
    // Edit: focus, then the last character removed (one change; nothing when empty).
    bool Effacer(unsigned id);
    bool DonnerFocus(unsigned id);
    void AppuyerEntree();
    void AppuyerEchap();
    // New client size, no smaller than the minimum size.
    void Redimensionner(int largeur, int hauteur);
    // Reports a size of 0 x 0; the client rectangle and the controls stay.
    void Minimiser();
    // Delivers the posted clicks (the modal loop does it by itself).
    void TraiterMessages();

    // --- state for checks
    bool EstTerminee() const;
    int GetResultat() const;
    int GetLargeurMinimale() const;
    int GetHauteurMinimale() const;
    // Column width given to InsertColumn (0 when none).
    int GetLargeurColonne(unsigned id, int colonne) const;
    // How many times the logic moved the control.
    int NombreDeplacements(unsigned id) const;

    // Used by the controls.
    void Notifier(unsigned id, tNotification n, int parametre);
    void ChangerFocus(IControle* nouveau);

private:
    class CControleMemoire;
    CControleMemoire* Controle(unsigned id) const;
    CControleMemoire* ControleUtilisable(unsigned id) const;
    CControleMemoire* ControleModele(const tModeleControle* m) const;

    CFrontalMemoire& m_frontal;
    const tModeleDialogue& m_modele;
    IEcouteurDialogue& m_ecouteur;
    std::vector<std::unique_ptr<CControleMemoire>> m_controles;
    mutable std::recursive_mutex m_mutex;
    CString m_strTitre;
    tRect m_client;
    int m_nLargeurMin = 0, m_nHauteurMin = 0;
    bool m_bVisible = false;
    bool m_bTerminee = false;
    bool m_bEnModal = false;
    int m_nResultat = 0;
    IControle* m_pFocus = nullptr;
    std::vector<unsigned> m_postes;
};
