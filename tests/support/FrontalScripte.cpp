#include "support/FrontalScripte.h"

#include <algorithm>

#include "common/CEvenementManuel.h"

// ---------------------------------------------------------------------------
// Front end

std::unique_ptr<IFenetreDialogue> CFrontalScripte::CreerDialogue(const tModeleDialogue& modele,
                                                                 IEcouteurDialogue& ecouteur)
{
    return std::make_unique<CFenetreScriptee>(*this, modele, ecouteur);
}

int CFrontalScripte::MessageBox(const CString& texte, tBoutonsMessage boutons)
{
    {
        Verrou v(m_mutex);
        m_messages.push_back(texte);
        if (!m_reponses.empty()) {
            const int r = m_reponses.front();
            m_reponses.erase(m_reponses.begin());
            return r;
        }
    }
    return CFrontalMemoire::MessageBox(texte, boutons);
}

bool CFrontalScripte::AttendreOperation(CEvenementManuel& evenement, unsigned long nDelaiMs, IControle* pLibre)
{
    std::function<bool()> action;
    {
        Verrou v(m_mutex);
        ++m_nAttentes;
        m_bEnAttente = true;
        m_pLibre = pLibre;
        if (!m_pendantAttente.empty()) action = m_pendantAttente.front();
    }
    if (action && action()) {
        Verrou v(m_mutex);
        if (!m_pendantAttente.empty()) m_pendantAttente.erase(m_pendantAttente.begin());
    }
    {
        Verrou v(m_mutex);
        m_bEnAttente = false;
        m_pLibre = nullptr;
    }
    return evenement.Attendre(nDelaiMs);
}

CFenetreScriptee* CFrontalScripte::Fenetre(unsigned idModele) const
{
    Verrou v(m_mutex);
    for (auto it = m_fenetres.rbegin(); it != m_fenetres.rend(); ++it)
        if ((*it)->GetModele().nId == idModele) return *it;
    return nullptr;
}

bool CFrontalScripte::ProchainScript(FnScript& script)
{
    Verrou v(m_mutex);
    if (m_scripts.empty()) return false;
    script = std::move(m_scripts.front());
    m_scripts.erase(m_scripts.begin());
    return true;
}

void CFrontalScripte::Enregistrer(CFenetreScriptee* f, bool bPresente)
{
    Verrou v(m_mutex);
    if (bPresente) m_fenetres.push_back(f);
    else m_fenetres.erase(std::remove(m_fenetres.begin(), m_fenetres.end(), f), m_fenetres.end());
}

// ---------------------------------------------------------------------------
// Window

CFenetreScriptee::CFenetreScriptee(CFrontalScripte& frontal, const tModeleDialogue& modele,
                                   IEcouteurDialogue& ecouteur)
    : CFenetreMemoire(frontal, modele, ecouteur), m_scripte(frontal), m_client(CFenetreMemoire::GetClientRect())
{
    m_scripte.Enregistrer(this, true);
}

CFenetreScriptee::~CFenetreScriptee() { m_scripte.Enregistrer(this, false); }

tRect CFenetreScriptee::GetClientRect() const
{
    Verrou v(m_mutex);
    return m_client;
}

void CFenetreScriptee::SetTailleMinimale(int largeur, int hauteur)
{
    Verrou v(m_mutex);
    m_nLargeurMin = largeur;
    m_nHauteurMin = hauteur;
}

int CFenetreScriptee::RunModal()
{
    if (!EstTerminee()) {
        {
            Verrou v(m_scripte.m_mutex);
            m_scripte.m_modaux.push_back(GetModele().nId);
        }
        Afficher(true);
        CFrontalScripte::FnScript script;
        if (m_scripte.ProchainScript(script)) {
            TraiterMessages();
            if (!EstTerminee() && script) script(*this);
            TraiterMessages();
            // The user closes what the script left open.
            if (!EstTerminee()) {
                Ecouteur().OnAnnulation();
                TraiterMessages();
            }
        }
        Verrou v(m_mutex);
        m_postes.clear();
    }
    return CFenetreMemoire::RunModal();
}

void CFenetreScriptee::PosterClic(unsigned id)
{
    if (EstTerminee()) return;
    Verrou v(m_mutex);
    m_postes.push_back(id);
}

void CFenetreScriptee::TraiterMessages()
{
    for (;;) {
        unsigned id;
        {
            Verrou v(m_mutex);
            if (m_postes.empty() || EstTerminee()) return;
            id = m_postes.front();
            m_postes.erase(m_postes.begin());
        }
        // A posted command reaches the dialog whatever the button's state.
        Ecouteur().OnNotification(id, tNotification::Clic, 0);
    }
}

IControle* CFenetreScriptee::ControleUtilisable(unsigned id)
{
    IControle* c = EstTerminee() ? nullptr : GetDlgItem(id);
    // While an operation runs, only its live control takes the user's input.
    if (c && m_scripte.EnAttente() && c != m_scripte.ControleLibre()) return nullptr;
    return c && c->IsWindowVisible() && c->IsWindowEnabled() ? c : nullptr;
}

bool CFenetreScriptee::EditionUtilisable(unsigned id, IControle*& c)
{
    c = ControleUtilisable(id);
    if (!c || c->GetType() != tTypeControle::Edition || (GetModele().Controle(id)->nStyles & STYLE_LECTURE_SEULE))
        return false;
    c->SetFocus();
    return true;
}

void CFenetreScriptee::CocherRadio(const IControle& radio)
{
    // Automatic radio button: the others of its group go off.
    const auto& ctrls = GetModele().controles;
    auto debut = std::find_if(ctrls.begin(), ctrls.end(),
                              [&](const tModeleControle& c) { return c.nId == radio.GetId(); });
    while (debut != ctrls.begin() && !(debut->nStyles & STYLE_DEBUT_GROUPE) &&
           std::prev(debut)->nType == tTypeControle::BoutonRadio)
        --debut;
    for (auto c = debut; c != ctrls.end(); ++c) {
        if (c != debut && (c->nType != tTypeControle::BoutonRadio || (c->nStyles & STYLE_DEBUT_GROUPE))) break;
        GetDlgItem(c->nId)->SetCheck(c->nId == radio.GetId() ? 1 : 0);
    }
}

bool CFenetreScriptee::Cliquer(unsigned id)
{
    IControle* c = ControleUtilisable(id);
    if (!c || (c->GetType() != tTypeControle::Bouton && c->GetType() != tTypeControle::BoutonRadio)) return false;
    c->SetFocus();
    if (c->GetType() == tTypeControle::BoutonRadio) CocherRadio(*c);
    if (!EstTerminee()) Ecouteur().OnNotification(id, tNotification::Clic, 0);
    TraiterMessages();
    return true;
}

bool CFenetreScriptee::DoubleCliquer(unsigned id, int index)
{
    IControle* c = ControleUtilisable(id);
    if (!c || c->GetType() != tTypeControle::ListeSimple || index < 0 || index >= c->GetCount()) return false;
    c->SetFocus();
    c->SetCurSel(index);
    if (GetModele().Controle(id)->nStyles & STYLE_NOTIFIANT) {
        Ecouteur().OnNotification(id, tNotification::ChangementSelection, 0);
        if (!EstTerminee()) Ecouteur().OnNotification(id, tNotification::DoubleClic, 0);
    }
    TraiterMessages();
    return true;
}

bool CFenetreScriptee::Choisir(unsigned id, int index)
{
    IControle* c = ControleUtilisable(id);
    const bool deroulante = c && c->GetType() == tTypeControle::ListeDeroulante;
    if (!c || (!deroulante && c->GetType() != tTypeControle::ListeSimple) || index < 0 || index >= c->GetCount())
        return false;
    c->SetFocus();
    c->SetCurSel(index);
    if (deroulante || (GetModele().Controle(id)->nStyles & STYLE_NOTIFIANT))
        Ecouteur().OnNotification(id, tNotification::ChangementSelection, 0);
    TraiterMessages();
    return true;
}

bool CFenetreScriptee::CliquerLigne(unsigned id, int ligne, tModificateur mod)
{
    IControle* c = ControleUtilisable(id);
    if (!c || c->GetType() != tTypeControle::VueListe || ligne < 0 || ligne >= c->GetItemCount()) return false;
    c->SetFocus();
    if (!(GetModele().Controle(id)->nStyles & STYLE_MULTISELECTION)) mod = tModificateur::Aucun;
    int& ancre = m_ancres.emplace(id, -1).first->second;
    if (mod == tModificateur::Maj) {
        const int a = ancre < 0 || ancre >= c->GetItemCount() ? ligne : ancre;
        for (int i = 0; i < c->GetItemCount(); ++i)
            c->SetItemSelected(i, i >= std::min(a, ligne) && i <= std::max(a, ligne));
    } else {
        const bool bSel = mod == tModificateur::Ctrl ? !c->IsItemSelected(ligne) : true;
        if (mod == tModificateur::Aucun) c->SetItemSelected(-1, false);
        c->SetItemSelected(ligne, bSel);
        ancre = ligne;
    }
    TraiterMessages();
    return true;
}

bool CFenetreScriptee::CliquerEnTete(unsigned id, int colonne)
{
    IControle* c = ControleUtilisable(id);
    if (!c || c->GetType() != tTypeControle::VueListe || colonne < 0 || colonne >= c->GetColumnCount()) return false;
    Ecouteur().OnNotification(id, tNotification::ClicEnTete, colonne);
    TraiterMessages();
    return true;
}

bool CFenetreScriptee::Taper(unsigned id, const CString& texte)
{
    IControle* c;
    if (!EditionUtilisable(id, c)) return false;
    for (wchar_t ch : texte) {
        if (EstTerminee()) break;
        c->SetWindowText(c->GetWindowText() + ch);  // reported as a text change
    }
    TraiterMessages();
    return true;
}

bool CFenetreScriptee::Coller(unsigned id, const CString& texte)
{
    IControle* c;
    if (!EditionUtilisable(id, c)) return false;
    if (!texte.empty()) c->SetWindowText(c->GetWindowText() + texte);
    TraiterMessages();
    return true;
}

bool CFenetreScriptee::Effacer(unsigned id)
{
    IControle* c;
    if (!EditionUtilisable(id, c)) return false;
    const CString t = c->GetWindowText();
    if (!t.empty()) c->SetWindowText(t.Left(t.GetLength() - 1));
    TraiterMessages();
    return true;
}

bool CFenetreScriptee::DonnerFocus(unsigned id)
{
    IControle* c = ControleUtilisable(id);
    if (!c || c->GetType() == tTypeControle::Statique || c->GetType() == tTypeControle::BarreProgression) return false;
    c->SetFocus();
    TraiterMessages();
    return true;
}

void CFenetreScriptee::AppuyerEntree()
{
    if (EstTerminee()) return;
    if (m_scripte.EnAttente()) {
        IControle* libre = m_scripte.ControleLibre();
        if (libre && GetFocus() == libre) Cliquer(libre->GetId());
        return;
    }
    ToucheEntree(*this, Ecouteur());
    TraiterMessages();
}

void CFenetreScriptee::AppuyerEchap()
{
    if (EstTerminee()) return;
    if (m_scripte.EnAttente()) {
        if (IControle* libre = m_scripte.ControleLibre()) Cliquer(libre->GetId());
        return;
    }
    Ecouteur().OnAnnulation();
    TraiterMessages();
}

IControle* CFenetreScriptee::ListeFocalisee()
{
    IControle* focus = EstTerminee() || m_scripte.EnAttente() ? nullptr : GetFocus();
    if (!focus || (focus->GetType() != tTypeControle::ListeSimple && focus->GetType() != tTypeControle::VueListe)
        || !focus->IsWindowEnabled() || !focus->IsWindowVisible())
        return nullptr;
    return focus;
}

bool CFenetreScriptee::AppuyerSuppr()
{
    IControle* focus = ListeFocalisee();
    if (!focus)
        return false;
    Ecouteur().OnNotification(focus->GetId(), tNotification::ToucheSuppr, 0);
    TraiterMessages();
    return true;
}

bool CFenetreScriptee::AppuyerTouche(tTouche touche)
{
    IControle* focus = ListeFocalisee();
    if (!focus)
        return false;
    Ecouteur().OnNotification(focus->GetId(), tNotification::Touche, static_cast<int>(touche));
    TraiterMessages();
    return true;
}

bool CFenetreScriptee::OuvrirMenu(unsigned nChoix)
{
    IControle* focus = ListeFocalisee();
    if (!focus)
        return false;
    m_dernierMenu.clear();
    m_nChoixMenu = nChoix;
    Ecouteur().OnNotification(focus->GetId(), tNotification::MenuContextuel, 0);
    TraiterMessages();
    return true;
}

unsigned CFenetreScriptee::MenuContextuel(const std::vector<tEntreeMenu>& entrees)
{
    m_dernierMenu = entrees;
    return m_nChoixMenu;
}

void CFenetreScriptee::Redimensionner(int largeur, int hauteur)
{
    if (EstTerminee()) return;
    {
        Verrou v(m_mutex);
        largeur = std::max(largeur, m_nLargeurMin);
        hauteur = std::max(hauteur, m_nHauteurMin);
        m_client = tRect{0, 0, largeur, hauteur};
    }
    Ecouteur().OnTaille(largeur, hauteur);
    TraiterMessages();
}

void CFenetreScriptee::Minimiser()
{
    if (EstTerminee()) return;
    Ecouteur().OnTaille(0, 0);
    TraiterMessages();
}
