#include "ui/CFrontalMemoire.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// Controls

class CFenetreMemoire::CControleMemoire : public IControle
{
public:
    CControleMemoire(CFenetreMemoire& f, const tModeleControle& m)
        : m_f(f), m_m(m), m_bActif(m.bActif), m_bVisible(m.bVisible), m_strTexte(m.szTexte)
    {
        m_rect.left = UnitesVersPixelsX(m.x);
        m_rect.top = UnitesVersPixelsY(m.y);
        m_rect.right = m_rect.left + UnitesVersPixelsX(m.cx);
        m_rect.bottom = m_rect.top + UnitesVersPixelsY(m.cy);
    }

    const tModeleControle& Modele() const { return m_m; }
    bool Est(tTypeControle t) const { return m_m.nType == t; }
    bool EstListe() const { return Est(tTypeControle::ListeSimple) || Est(tTypeControle::ListeDeroulante); }

    unsigned GetId() const override { return m_m.nId; }
    tTypeControle GetType() const override { return m_m.nType; }

    void EnableWindow(bool b) override { Verrou v(m_f.m_mutex); m_bActif = b; }
    bool IsWindowEnabled() const override { Verrou v(m_f.m_mutex); return m_bActif; }
    void ShowWindow(bool b) override { Verrou v(m_f.m_mutex); m_bVisible = b; }
    bool IsWindowVisible() const override { Verrou v(m_f.m_mutex); return m_bVisible; }
    tRect GetRect() const override { Verrou v(m_f.m_mutex); return m_rect; }
    void MoveWindow(int x, int y, int cx, int cy) override
    {
        Verrou v(m_f.m_mutex);
        m_rect = tRect{x, y, x + cx, y + cy};
        ++m_nDeplacements;
    }
    CString GetWindowText() const override { Verrou v(m_f.m_mutex); return m_strTexte; }
    void SetWindowText(const CString& texte) override
    {
        {
            Verrou v(m_f.m_mutex);
            m_strTexte = texte;
        }
        if (Est(tTypeControle::Edition)) m_f.Notifier(m_m.nId, tNotification::ChangementTexte, 0);
    }
    void SetFocus() override { m_f.ChangerFocus(this); }
    void UpdateWindow() override {}

    void SetSel(int debut, int fin) override
    {
        Verrou v(m_f.m_mutex);
        m_nSelDebut = debut;
        m_nSelFin = fin;
    }

    int GetCheck() const override { Verrou v(m_f.m_mutex); return m_nCoche; }
    void SetCheck(int etat) override { Verrou v(m_f.m_mutex); m_nCoche = etat ? 1 : 0; }

    void ResetContent() override
    {
        Verrou v(m_f.m_mutex);
        m_entrees.clear();
        m_nSel = -1;
    }
    int AddString(const CString& texte) override
    {
        Verrou v(m_f.m_mutex);
        if (!EstListe()) return -1;
        auto pos = m_entrees.end();
        if (m_m.nStyles & STYLE_TRIE)
            pos = std::upper_bound(m_entrees.begin(), m_entrees.end(), texte,
                                   [](const CString& a, const CString& b) { return ComparerTexteListe(a, b) < 0; });
        const int index = static_cast<int>(pos - m_entrees.begin());
        m_entrees.insert(pos, texte);
        if (m_nSel >= index) ++m_nSel;
        return index;
    }
    int GetCount() const override { Verrou v(m_f.m_mutex); return static_cast<int>(m_entrees.size()); }
    CString GetText(int index) const override
    {
        Verrou v(m_f.m_mutex);
        if (index < 0 || index >= static_cast<int>(m_entrees.size())) return CString();
        return m_entrees[static_cast<size_t>(index)];
    }
    int GetCurSel() const override { Verrou v(m_f.m_mutex); return m_nSel; }
    int SetCurSel(int index) override
    {
        Verrou v(m_f.m_mutex);
        if (index < 0 || index >= static_cast<int>(m_entrees.size())) {
            m_nSel = -1;
            return -1;
        }
        m_nSel = index;
        return index;
    }
    int SelectString(int apres, const CString& debut) override
    {
        Verrou v(m_f.m_mutex);
        const int n = static_cast<int>(m_entrees.size());
        if (n == 0) return -1;
        const int depart = (apres < -1 || apres >= n) ? 0 : apres + 1;
        for (int k = 0; k < n; ++k) {
            const int i = (depart + k) % n;
            const CString& e = m_entrees[static_cast<size_t>(i)];
            if (e.GetLength() >= debut.GetLength() && e.Left(debut.GetLength()).CompareNoCase(debut) == 0) {
                m_nSel = i;
                return i;
            }
        }
        return -1;
    }

    int InsertColumn(int colonne, const CString& titre, tAlignement a, int largeur) override
    {
        Verrou v(m_f.m_mutex);
        if (!Est(tTypeControle::VueListe) || colonne < 0) return -1;
        colonne = std::min(colonne, static_cast<int>(m_colonnes.size()));
        m_colonnes.insert(m_colonnes.begin() + colonne, tColonne{titre, a, largeur});
        for (auto& l : m_lignes)
            if (static_cast<int>(l.cellules.size()) > colonne)
                l.cellules.insert(l.cellules.begin() + colonne, CString());
        return colonne;
    }
    int GetColumnCount() const override { Verrou v(m_f.m_mutex); return static_cast<int>(m_colonnes.size()); }
    CString GetColumnText(int colonne) const override
    {
        Verrou v(m_f.m_mutex);
        if (colonne < 0 || colonne >= static_cast<int>(m_colonnes.size())) return CString();
        return m_colonnes[static_cast<size_t>(colonne)].titre;
    }
    int GetColumnWidth(int colonne) const
    {
        Verrou v(m_f.m_mutex);
        if (colonne < 0 || colonne >= static_cast<int>(m_colonnes.size())) return 0;
        return m_colonnes[static_cast<size_t>(colonne)].largeur;
    }
    int InsertItem(int ligne, const CString& texte) override
    {
        Verrou v(m_f.m_mutex);
        if (!Est(tTypeControle::VueListe) || ligne < 0) return -1;
        ligne = std::min(ligne, static_cast<int>(m_lignes.size()));
        tLigne l;
        l.cellules.push_back(texte);
        m_lignes.insert(m_lignes.begin() + ligne, std::move(l));
        if (m_nAncre >= ligne) ++m_nAncre;
        return ligne;
    }
    bool SetItemText(int ligne, int colonne, const CString& texte) override
    {
        Verrou v(m_f.m_mutex);
        if (!LigneValide(ligne) || colonne < 0 || colonne >= std::max(1, static_cast<int>(m_colonnes.size())))
            return false;
        auto& c = m_lignes[static_cast<size_t>(ligne)].cellules;
        if (static_cast<int>(c.size()) <= colonne) c.resize(static_cast<size_t>(colonne) + 1);
        c[static_cast<size_t>(colonne)] = texte;
        return true;
    }
    CString GetItemText(int ligne, int colonne) const override
    {
        Verrou v(m_f.m_mutex);
        if (!LigneValide(ligne) || colonne < 0) return CString();
        const auto& c = m_lignes[static_cast<size_t>(ligne)].cellules;
        return colonne < static_cast<int>(c.size()) ? c[static_cast<size_t>(colonne)] : CString();
    }
    int GetItemCount() const override { Verrou v(m_f.m_mutex); return static_cast<int>(m_lignes.size()); }
    bool DeleteItem(int ligne) override
    {
        Verrou v(m_f.m_mutex);
        if (!LigneValide(ligne)) return false;
        m_lignes.erase(m_lignes.begin() + ligne);
        if (m_nAncre == ligne) m_nAncre = -1;
        else if (m_nAncre > ligne) --m_nAncre;
        return true;
    }
    void DeleteAllItems() override
    {
        Verrou v(m_f.m_mutex);
        m_lignes.clear();
        m_nAncre = -1;
    }
    int GetNextSelected(int apres) const override
    {
        Verrou v(m_f.m_mutex);
        for (int i = std::max(0, apres + 1); i < static_cast<int>(m_lignes.size()); ++i)
            if (m_lignes[static_cast<size_t>(i)].bSel) return i;
        return -1;
    }
    int GetSelectedCount() const override
    {
        Verrou v(m_f.m_mutex);
        return static_cast<int>(std::count_if(m_lignes.begin(), m_lignes.end(), [](const tLigne& l) { return l.bSel; }));
    }
    bool IsItemSelected(int ligne) const override
    {
        Verrou v(m_f.m_mutex);
        return LigneValide(ligne) && m_lignes[static_cast<size_t>(ligne)].bSel;
    }
    void SetItemSelected(int ligne, bool b) override
    {
        Verrou v(m_f.m_mutex);
        if (ligne == -1) {
            for (auto& l : m_lignes) l.bSel = b;
        } else if (LigneValide(ligne)) {
            if (b && !(m_m.nStyles & STYLE_MULTISELECTION))
                for (auto& l : m_lignes) l.bSel = false;
            m_lignes[static_cast<size_t>(ligne)].bSel = b;
        }
    }

    void SetRange(int min, int max) override { Verrou v(m_f.m_mutex); m_nMin = min; m_nMax = max; }
    void SetPos(int pos) override { Verrou v(m_f.m_mutex); m_nPos = std::clamp(pos, std::min(m_nMin, m_nMax), std::max(m_nMin, m_nMax)); }
    int GetPos() const override { Verrou v(m_f.m_mutex); return m_nPos; }
    int GetRangeMin() const override { Verrou v(m_f.m_mutex); return m_nMin; }
    int GetRangeMax() const override { Verrou v(m_f.m_mutex); return m_nMax; }

    bool OuvrirAnimation(unsigned id) override
    {
        Verrou v(m_f.m_mutex);
        if (!Est(tTypeControle::Animation)) return false;
        m_nAnimation = id;
        m_bJoue = id != 0 && (m_m.nStyles & STYLE_ANIM_AUTO);
        return id != 0;
    }
    void JouerAnimation() override { Verrou v(m_f.m_mutex); m_bJoue = m_nAnimation != 0; }
    void ArreterAnimation() override { Verrou v(m_f.m_mutex); m_bJoue = false; }
    void FermerAnimation() override { Verrou v(m_f.m_mutex); m_nAnimation = 0; m_bJoue = false; }
    unsigned GetAnimation() const override { Verrou v(m_f.m_mutex); return m_nAnimation; }
    bool AnimationEnCours() const override { Verrou v(m_f.m_mutex); return m_bJoue; }

    // --- user side (called by the window with its lock not held)
    void TaperCaractere(wchar_t c)
    {
        {
            Verrou v(m_f.m_mutex);
            m_strTexte += c;
        }
        m_f.Notifier(m_m.nId, tNotification::ChangementTexte, 0);
    }
    void AjouterTexte(const CString& s)
    {
        {
            Verrou v(m_f.m_mutex);
            m_strTexte += s;
        }
        m_f.Notifier(m_m.nId, tNotification::ChangementTexte, 0);
    }
    bool EffacerCaractere()
    {
        {
            Verrou v(m_f.m_mutex);
            if (m_strTexte.empty()) return false;
            m_strTexte.pop_back();
        }
        m_f.Notifier(m_m.nId, tNotification::ChangementTexte, 0);
        return true;
    }
    void CliquerLigne(int ligne, tModificateur mod)
    {
        Verrou v(m_f.m_mutex);
        const bool multi = (m_m.nStyles & STYLE_MULTISELECTION) != 0;
        if (mod == tModificateur::Ctrl && multi) {
            auto& l = m_lignes[static_cast<size_t>(ligne)];
            l.bSel = !l.bSel;
            m_nAncre = ligne;
        } else if (mod == tModificateur::Maj && multi) {
            const int a = m_nAncre < 0 ? ligne : m_nAncre;
            for (int i = 0; i < static_cast<int>(m_lignes.size()); ++i)
                m_lignes[static_cast<size_t>(i)].bSel = i >= std::min(a, ligne) && i <= std::max(a, ligne);
        } else {
            for (auto& l : m_lignes) l.bSel = false;
            m_lignes[static_cast<size_t>(ligne)].bSel = true;
            m_nAncre = ligne;
        }
    }
    void CocherRadio()
    {
        Verrou v(m_f.m_mutex);
        // Automatic radio button: the others of its group go off.
        const auto& ctrls = m_f.m_modele.controles;
        auto it = std::find_if(ctrls.begin(), ctrls.end(), [this](const tModeleControle& c) { return &c == &m_m; });
        auto debut = it;
        while (debut != ctrls.begin() && !(debut->nStyles & STYLE_DEBUT_GROUPE) &&
               std::prev(debut)->nType == tTypeControle::BoutonRadio)
            --debut;
        for (auto c = debut; c != ctrls.end(); ++c) {
            if (c != debut && (c->nType != tTypeControle::BoutonRadio || (c->nStyles & STYLE_DEBUT_GROUPE))) break;
            if (CControleMemoire* r = m_f.ControleModele(&*c)) r->m_nCoche = 0;
        }
        m_nCoche = 1;
    }
    bool LigneValide(int ligne) const { return ligne >= 0 && ligne < static_cast<int>(m_lignes.size()); }
    int Deplacements() const { Verrou v(m_f.m_mutex); return m_nDeplacements; }

private:
    using Verrou = std::lock_guard<std::recursive_mutex>;
    struct tColonne {
        CString titre;
        tAlignement alignement;
        int largeur;
    };
    struct tLigne {
        std::vector<CString> cellules;
        bool bSel = false;
    };

    CFenetreMemoire& m_f;
    const tModeleControle& m_m;
    bool m_bActif;
    bool m_bVisible;
    tRect m_rect;
    int m_nDeplacements = 0;
    CString m_strTexte;
    int m_nSelDebut = 0, m_nSelFin = 0;
    int m_nCoche = 0;
    std::vector<CString> m_entrees;
    int m_nSel = -1;
    std::vector<tColonne> m_colonnes;
    std::vector<tLigne> m_lignes;
    int m_nAncre = -1;
    int m_nMin = 0, m_nMax = 100, m_nPos = 0;
    unsigned m_nAnimation = 0;
    bool m_bJoue = false;
};

// ---------------------------------------------------------------------------
// Window

CFenetreMemoire::CFenetreMemoire(CFrontalMemoire& frontal, const tModeleDialogue& modele, IEcouteurDialogue& ecouteur)
    : m_frontal(frontal), m_modele(modele), m_ecouteur(ecouteur), m_strTitre(modele.szTitre)
{
    for (const auto& c : modele.controles) m_controles.push_back(std::make_unique<CControleMemoire>(*this, c));
    m_client = tRect{0, 0, UnitesVersPixelsX(modele.cx), UnitesVersPixelsY(modele.cy)};
    m_frontal.Enregistrer(this);
}

CFenetreMemoire::~CFenetreMemoire() { m_frontal.Oublier(this); }

CFenetreMemoire::CControleMemoire* CFenetreMemoire::Controle(unsigned id) const
{
    for (const auto& c : m_controles)
        if (c->GetId() == id) return c.get();
    return nullptr;
}

CFenetreMemoire::CControleMemoire* CFenetreMemoire::ControleModele(const tModeleControle* m) const
{
    for (const auto& c : m_controles)
        if (&c->Modele() == m) return c.get();
    return nullptr;
}

CFenetreMemoire::CControleMemoire* CFenetreMemoire::ControleUtilisable(unsigned id) const
{
    std::lock_guard<std::recursive_mutex> v(m_mutex);
    if (m_bTerminee) return nullptr;
    CControleMemoire* c = Controle(id);
    if (!c || !c->IsWindowVisible() || !c->IsWindowEnabled()) return nullptr;
    return c;
}

IControle* CFenetreMemoire::GetDlgItem(unsigned id) { return Controle(id); }

IControle* CFenetreMemoire::GetFocus()
{
    std::lock_guard<std::recursive_mutex> v(m_mutex);
    return m_pFocus;
}

void CFenetreMemoire::SetWindowText(const CString& titre)
{
    std::lock_guard<std::recursive_mutex> v(m_mutex);
    m_strTitre = titre;
}

CString CFenetreMemoire::GetWindowText() const
{
    std::lock_guard<std::recursive_mutex> v(m_mutex);
    return m_strTitre;
}

tRect CFenetreMemoire::GetClientRect() const
{
    std::lock_guard<std::recursive_mutex> v(m_mutex);
    return m_client;
}

void CFenetreMemoire::SetTailleMinimale(int largeur, int hauteur)
{
    std::lock_guard<std::recursive_mutex> v(m_mutex);
    m_nLargeurMin = largeur;
    m_nHauteurMin = hauteur;
}

void CFenetreMemoire::Afficher(bool b)
{
    std::lock_guard<std::recursive_mutex> v(m_mutex);
    m_bVisible = b;
}

bool CFenetreMemoire::EstVisible() const
{
    std::lock_guard<std::recursive_mutex> v(m_mutex);
    return m_bVisible;
}

int CFenetreMemoire::RunModal()
{
    {
        std::lock_guard<std::recursive_mutex> v(m_mutex);
        if (m_bTerminee) return m_nResultat;
        m_bEnModal = true;
        m_bVisible = true;
    }
    m_frontal.NoterModal(m_modele.nId);
    bool trouve = false;
    CFrontalMemoire::FnScript script = m_frontal.ProchainScript(trouve);
    if (trouve) {
        TraiterMessages();
        if (!EstTerminee() && script) script(*this);
        TraiterMessages();
        // The user closes what the script left open.
        if (!EstTerminee()) {
            m_ecouteur.OnAnnulation();
            TraiterMessages();
        }
    }
    std::lock_guard<std::recursive_mutex> v(m_mutex);
    if (!m_bTerminee) {
        m_bTerminee = true;
        m_nResultat = ID_ANNULER;
    }
    m_postes.clear();
    m_bVisible = false;
    m_bEnModal = false;
    return m_nResultat;
}

void CFenetreMemoire::EndDialog(int resultat)
{
    std::lock_guard<std::recursive_mutex> v(m_mutex);
    if (m_bTerminee) return;
    m_bTerminee = true;
    m_nResultat = resultat;
}

void CFenetreMemoire::PosterClic(unsigned id)
{
    std::lock_guard<std::recursive_mutex> v(m_mutex);
    if (!m_bTerminee) m_postes.push_back(id);
}

int CFenetreMemoire::MessageBox(const CString& texte, tBoutonsMessage boutons)
{
    return m_frontal.MessageBox(texte, boutons);
}

void CFenetreMemoire::TraiterMessages()
{
    for (;;) {
        unsigned id;
        {
            std::lock_guard<std::recursive_mutex> v(m_mutex);
            if (m_bTerminee || m_postes.empty()) return;
            id = m_postes.front();
            m_postes.erase(m_postes.begin());
        }
        // A posted command reaches the dialog whatever the button's state.
        m_ecouteur.OnNotification(id, tNotification::Clic, 0);
    }
}

void CFenetreMemoire::Notifier(unsigned id, tNotification n, int parametre)
{
    m_ecouteur.OnNotification(id, n, parametre);
}

void CFenetreMemoire::ChangerFocus(IControle* nouveau)
{
    IControle* ancien;
    {
        std::lock_guard<std::recursive_mutex> v(m_mutex);
        if (m_pFocus == nouveau) return;
        ancien = m_pFocus;
        m_pFocus = nouveau;
    }
    if (ancien) Notifier(ancien->GetId(), tNotification::PerteFocus, 0);
    if (nouveau && GetFocus() == nouveau) Notifier(nouveau->GetId(), tNotification::PriseFocus, 0);
}

bool CFenetreMemoire::Cliquer(unsigned id)
{
    CControleMemoire* c = ControleUtilisable(id);
    if (!c || !(c->Est(tTypeControle::Bouton) || c->Est(tTypeControle::BoutonRadio))) return false;
    ChangerFocus(c);
    if (c->Est(tTypeControle::BoutonRadio)) c->CocherRadio();
    if (!EstTerminee()) Notifier(id, tNotification::Clic, 0);
    TraiterMessages();
    return true;
}

bool CFenetreMemoire::DoubleCliquer(unsigned id, int index)
{
    CControleMemoire* c = ControleUtilisable(id);
    if (!c || !c->Est(tTypeControle::ListeSimple) || index < 0 || index >= c->GetCount()) return false;
    ChangerFocus(c);
    c->SetCurSel(index);
    const bool notifiant = (c->Modele().nStyles & STYLE_NOTIFIANT) != 0;
    if (notifiant) Notifier(id, tNotification::ChangementSelection, 0);
    if (notifiant && !EstTerminee()) Notifier(id, tNotification::DoubleClic, 0);
    TraiterMessages();
    return true;
}

bool CFenetreMemoire::Choisir(unsigned id, int index)
{
    CControleMemoire* c = ControleUtilisable(id);
    if (!c || !c->EstListe() || index < 0 || index >= c->GetCount()) return false;
    ChangerFocus(c);
    c->SetCurSel(index);
    if (c->Est(tTypeControle::ListeDeroulante) || (c->Modele().nStyles & STYLE_NOTIFIANT))
        Notifier(id, tNotification::ChangementSelection, 0);
    TraiterMessages();
    return true;
}

bool CFenetreMemoire::CliquerLigne(unsigned id, int ligne, tModificateur mod)
{
    CControleMemoire* c = ControleUtilisable(id);
    if (!c || !c->Est(tTypeControle::VueListe) || !c->LigneValide(ligne)) return false;
    ChangerFocus(c);
    c->CliquerLigne(ligne, mod);
    TraiterMessages();
    return true;
}

bool CFenetreMemoire::CliquerEnTete(unsigned id, int colonne)
{
    CControleMemoire* c = ControleUtilisable(id);
    if (!c || !c->Est(tTypeControle::VueListe) || colonne < 0 || colonne >= c->GetColumnCount()) return false;
    Notifier(id, tNotification::ClicEnTete, colonne);
    TraiterMessages();
    return true;
}

bool CFenetreMemoire::Taper(unsigned id, const CString& texte)
{
    CControleMemoire* c = ControleUtilisable(id);
    if (!c || !c->Est(tTypeControle::Edition) || (c->Modele().nStyles & STYLE_LECTURE_SEULE)) return false;
    ChangerFocus(c);
    for (wchar_t ch : texte) {
        if (EstTerminee()) break;
        c->TaperCaractere(ch);
    }
    TraiterMessages();
    return true;
}

bool CFenetreMemoire::Coller(unsigned id, const CString& texte)
{
    CControleMemoire* c = ControleUtilisable(id);
    if (!c || !c->Est(tTypeControle::Edition) || (c->Modele().nStyles & STYLE_LECTURE_SEULE)) return false;
    ChangerFocus(c);
    if (!texte.empty()) c->AjouterTexte(texte);
    TraiterMessages();
    return true;
}

bool CFenetreMemoire::Effacer(unsigned id)
{
    CControleMemoire* c = ControleUtilisable(id);
    if (!c || !c->Est(tTypeControle::Edition) || (c->Modele().nStyles & STYLE_LECTURE_SEULE)) return false;
    ChangerFocus(c);
    c->EffacerCaractere();
    TraiterMessages();
    return true;
}

bool CFenetreMemoire::DonnerFocus(unsigned id)
{
    CControleMemoire* c = ControleUtilisable(id);
    if (!c || c->Est(tTypeControle::Statique) || c->Est(tTypeControle::BarreProgression)) return false;
    ChangerFocus(c);
    TraiterMessages();
    return true;
}

void CFenetreMemoire::AppuyerEntree()
{
    if (EstTerminee()) return;
    m_ecouteur.OnEntree();
    TraiterMessages();
}

void CFenetreMemoire::AppuyerEchap()
{
    if (EstTerminee()) return;
    m_ecouteur.OnAnnulation();
    TraiterMessages();
}

void CFenetreMemoire::Redimensionner(int largeur, int hauteur)
{
    {
        std::lock_guard<std::recursive_mutex> v(m_mutex);
        if (m_bTerminee) return;
        largeur = std::max(largeur, m_nLargeurMin);
        hauteur = std::max(hauteur, m_nHauteurMin);
        m_client = tRect{0, 0, largeur, hauteur};
    }
    m_ecouteur.OnTaille(largeur, hauteur);
    TraiterMessages();
}

void CFenetreMemoire::Minimiser()
{
    if (EstTerminee()) return;
    m_ecouteur.OnTaille(0, 0);
    TraiterMessages();
}

bool CFenetreMemoire::EstTerminee() const
{
    std::lock_guard<std::recursive_mutex> v(m_mutex);
    return m_bTerminee;
}

int CFenetreMemoire::GetResultat() const
{
    std::lock_guard<std::recursive_mutex> v(m_mutex);
    return m_nResultat;
}

int CFenetreMemoire::GetLargeurMinimale() const
{
    std::lock_guard<std::recursive_mutex> v(m_mutex);
    return m_nLargeurMin;
}

int CFenetreMemoire::GetHauteurMinimale() const
{
    std::lock_guard<std::recursive_mutex> v(m_mutex);
    return m_nHauteurMin;
}

int CFenetreMemoire::GetLargeurColonne(unsigned id, int colonne) const
{
    CControleMemoire* c = Controle(id);
    return c ? c->GetColumnWidth(colonne) : 0;
}

int CFenetreMemoire::NombreDeplacements(unsigned id) const
{
    CControleMemoire* c = Controle(id);
    return c ? c->Deplacements() : 0;
}

// ---------------------------------------------------------------------------
// Front end

CFrontalMemoire::CFrontalMemoire(bool bJournal) : m_bJournal(bJournal) {}

CFrontalMemoire::~CFrontalMemoire() = default;

std::unique_ptr<IFenetreDialogue> CFrontalMemoire::CreerDialogue(const tModeleDialogue& modele,
                                                                 IEcouteurDialogue& ecouteur)
{
    return std::make_unique<CFenetreMemoire>(*this, modele, ecouteur);
}

int CFrontalMemoire::MessageBox(const CString& texte, tBoutonsMessage boutons)
{
    std::lock_guard<std::mutex> v(m_mutex);
    if (m_bJournal) m_messages.push_back(texte);
    if (!m_reponses.empty()) {
        const int r = m_reponses.front();
        m_reponses.erase(m_reponses.begin());
        return r;
    }
    return boutons == tBoutonsMessage::OuiNon ? ID_OUI : ID_OK;
}

void CFrontalMemoire::AjouterScriptModal(FnScript script)
{
    std::lock_guard<std::mutex> v(m_mutex);
    m_scripts.push_back(std::move(script));
}

int CFrontalMemoire::ScriptsEnAttente() const
{
    std::lock_guard<std::mutex> v(m_mutex);
    return static_cast<int>(m_scripts.size());
}

void CFrontalMemoire::AjouterReponseMessage(int reponse)
{
    std::lock_guard<std::mutex> v(m_mutex);
    m_reponses.push_back(reponse);
}

std::vector<CString> CFrontalMemoire::Messages() const
{
    std::lock_guard<std::mutex> v(m_mutex);
    return m_messages;
}

void CFrontalMemoire::EffacerMessages()
{
    std::lock_guard<std::mutex> v(m_mutex);
    m_messages.clear();
}

std::vector<unsigned> CFrontalMemoire::ModauxLances() const
{
    std::lock_guard<std::mutex> v(m_mutex);
    return m_modaux;
}

int CFrontalMemoire::NombreFenetres() const
{
    std::lock_guard<std::mutex> v(m_mutex);
    return static_cast<int>(m_fenetres.size());
}

CFenetreMemoire* CFrontalMemoire::Fenetre(unsigned idModele) const
{
    std::lock_guard<std::mutex> v(m_mutex);
    for (auto it = m_fenetres.rbegin(); it != m_fenetres.rend(); ++it)
        if ((*it)->GetModele().nId == idModele) return *it;
    return nullptr;
}

CFrontalMemoire::FnScript CFrontalMemoire::ProchainScript(bool& bTrouve)
{
    std::lock_guard<std::mutex> v(m_mutex);
    bTrouve = !m_scripts.empty();
    if (!bTrouve) return {};
    FnScript s = std::move(m_scripts.front());
    m_scripts.erase(m_scripts.begin());
    return s;
}

void CFrontalMemoire::Enregistrer(CFenetreMemoire* f)
{
    std::lock_guard<std::mutex> v(m_mutex);
    m_fenetres.push_back(f);
}

void CFrontalMemoire::Oublier(CFenetreMemoire* f)
{
    std::lock_guard<std::mutex> v(m_mutex);
    m_fenetres.erase(std::remove(m_fenetres.begin(), m_fenetres.end(), f), m_fenetres.end());
}

void CFrontalMemoire::NoterModal(unsigned idModele)
{
    std::lock_guard<std::mutex> v(m_mutex);
    if (m_bJournal) m_modaux.push_back(idModele);
}
