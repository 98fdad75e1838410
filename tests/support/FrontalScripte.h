#pragma once
// A scripted user on the headless front end: tests drive dialogs through it as
// a user would (click, type, give focus, resize, press Enter or Escape, click a
// column header, answer message boxes) and read back what the user saw.
//
// Modal runs: each RunModal takes the next script queued with AjouterScriptModal
// and runs it as the user's session: posted clicks are delivered first, then the
// script, with posted clicks delivered after each user action. If the dialog is
// still open when the script returns, the user closes it (close box: OnCancel);
// if it is still open after that, it ends with ID_ANNULER. With no script queued
// the run ends at once with ID_ANNULER, dropping posted clicks (nobody there).
//
// Operation waits (a dialog's work running on another thread): the user acts
// through the actions queued with PendantAttente, run on the waiting thread at
// each turn of the wait. Meanwhile the window follows the GUI front end's
// rules: every user action is dropped (returns false, reaches nothing) except
// those on the wait's live control; Escape and Enter on it click it.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "ui/CFrontalMemoire.h"

class CEvenementManuel;
class CFenetreScriptee;

// Keys held during a click on a list view row.
enum class tModificateur { Aucun, Ctrl, Maj };

class CFrontalScripte : public CFrontalMemoire
{
public:
    using FnScript = std::function<void(CFenetreScriptee& fenetre)>;

    std::unique_ptr<IFenetreDialogue> CreerDialogue(const tModeleDialogue& modele,
                                                    IEcouteurDialogue& ecouteur) override;
    // Kept in the journal; answered by the next queued answer, else the first button.
    int MessageBox(const CString& texte, tBoutonsMessage boutons) override;
    bool AttendreOperation(CEvenementManuel& evenement, unsigned long nDelaiMs, IControle* pLibre) override;

    // An action of the user during the operation waits: run at each turn of a
    // wait until it returns true (done), then the next one.
    void PendantAttente(std::function<bool()> action) { Verrou v(m_mutex); m_pendantAttente.push_back(std::move(action)); }
    int ActionsEnAttente() const { Verrou v(m_mutex); return static_cast<int>(m_pendantAttente.size()); }
    // Turns of operation waits so far.
    int NombreAttentes() const { Verrou v(m_mutex); return m_nAttentes; }
    // Whether an operation wait runs now, and its live control.
    bool EnAttente() const { Verrou v(m_mutex); return m_bEnAttente; }
    IControle* ControleLibre() const { Verrou v(m_mutex); return m_pLibre; }

    // The user's session for the next modal run (first queued, first used).
    void AjouterScriptModal(FnScript script) { Verrou v(m_mutex); m_scripts.push_back(std::move(script)); }
    void AjouterReponseMessage(int reponse) { Verrou v(m_mutex); m_reponses.push_back(reponse); }
    // Texts of every message box shown, in order (also those shown over a window).
    std::vector<CString> Messages() const { Verrou v(m_mutex); return m_messages; }
    void EffacerMessages() { Verrou v(m_mutex); m_messages.clear(); }
    // Template ids of the modal runs started, in order.
    std::vector<unsigned> ModauxLances() const { Verrou v(m_mutex); return m_modaux; }
    // Windows alive now; the most recent one made from template 'idModele' (or null).
    int NombreFenetres() const { Verrou v(m_mutex); return static_cast<int>(m_fenetres.size()); }
    CFenetreScriptee* Fenetre(unsigned idModele) const;

private:
    friend class CFenetreScriptee;
    using Verrou = std::lock_guard<std::mutex>;
    bool ProchainScript(FnScript& script);
    void Enregistrer(CFenetreScriptee* f, bool bPresente);

    // Windows may come and go on the driver's worker thread.
    mutable std::mutex m_mutex;
    std::vector<FnScript> m_scripts;
    std::vector<int> m_reponses;
    std::vector<CString> m_messages;
    std::vector<unsigned> m_modaux;
    std::vector<CFenetreScriptee*> m_fenetres;
    std::vector<std::function<bool()>> m_pendantAttente;
    int m_nAttentes = 0;
    bool m_bEnAttente = false;
    IControle* m_pLibre = nullptr;
};

// A window the user acts on. A user action on a hidden or disabled control (or
// on a control the window does not have) does nothing and returns false.
class CFenetreScriptee : public CFenetreMemoire
{
public:
    CFenetreScriptee(CFrontalScripte& frontal, const tModeleDialogue& modele, IEcouteurDialogue& ecouteur);
    ~CFenetreScriptee() override;

    tRect GetClientRect() const override;
    void SetTailleMinimale(int largeur, int hauteur) override;
    int RunModal() override;
    void PosterClic(unsigned id) override;

    // --- user actions
    bool Cliquer(unsigned id);
    // List box: selects the entry (as the first click does), then double-clicks it.
    bool DoubleCliquer(unsigned id, int index);
    // List box or drop-down list: the user picks an entry (focus, selection, notification).
    bool Choisir(unsigned id, int index);
    // List view: click on a row; Ctrl toggles it, Shift extends from the row the
    // user last clicked without Shift.
    bool CliquerLigne(unsigned id, int ligne, tModificateur mod = tModificateur::Aucun);
    bool CliquerEnTete(unsigned id, int colonne);
    // Edit: focus, then one character at a time at the end, each a text change.
    bool Taper(unsigned id, const CString& texte);
    // Edit: focus, then the whole text added at the end as one change.
    bool Coller(unsigned id, const CString& texte);
    // Edit: focus, then the last character removed (one change; nothing when empty).
    bool Effacer(unsigned id);
    bool DonnerFocus(unsigned id);
    // Enter: the focused push button, else the default command (ToucheEntree).
    void AppuyerEntree();
    void AppuyerEchap();
    // Delete key in the focused list box or list view.
    bool AppuyerSuppr();
    // A command key (F2, F5, F7, F8, Backspace) in the focused list.
    bool AppuyerTouche(tTouche touche);
    // The focused list's context menu: the entries it offered, and the
    // entry with command nChoix chosen (0: none, the menu closed).
    bool OuvrirMenu(unsigned nChoix);
    const std::vector<tEntreeMenu>& DernierMenu() const { return m_dernierMenu; }
    unsigned MenuContextuel(const std::vector<tEntreeMenu>& entrees) override;
    // New client size, no smaller than the minimum size.
    void Redimensionner(int largeur, int hauteur);
    // Reports a size of 0 x 0; the client rectangle and the controls stay.
    void Minimiser();
    // Delivers the posted clicks (the modal run and every action do it by themselves).
    void TraiterMessages();

    int GetLargeurMinimale() const { Verrou v(m_mutex); return m_nLargeurMin; }
    int GetHauteurMinimale() const { Verrou v(m_mutex); return m_nHauteurMin; }

private:
    using Verrou = std::lock_guard<std::mutex>;
    IControle* ControleUtilisable(unsigned id);
    // The focused list box or list view that a key would reach, or null.
    IControle* ListeFocalisee();
    bool EditionUtilisable(unsigned id, IControle*& c);
    void CocherRadio(const IControle& radio);

    CFrontalScripte& m_scripte;
    mutable std::mutex m_mutex;
    std::vector<unsigned> m_postes;
    tRect m_client;
    int m_nLargeurMin = 0, m_nHauteurMin = 0;
    std::map<unsigned, int> m_ancres;  // list view id -> anchor row of Shift clicks
    std::vector<tEntreeMenu> m_dernierMenu;
    unsigned m_nChoixMenu = 0;
};
