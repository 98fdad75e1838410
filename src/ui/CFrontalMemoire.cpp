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

    bool Est(tTypeControle t) const { return m_m.nType == t; }
    bool EstListe() const { return Est(tTypeControle::ListeSimple) || Est(tTypeControle::ListeDeroulante); }

    unsigned GetId() const override { return m_m.nId; }
    tTypeControle GetType() const override { return m_m.nType; }

    void EnableWindow(bool b) override { Changer(m_bActif, b); }
    bool IsWindowEnabled() const override { Verrou v(m_f.m_mutex); return m_bActif; }
    void ShowWindow(bool b) override { Changer(m_bVisible, b); }
    bool IsWindowVisible() const override { Verrou v(m_f.m_mutex); return m_bVisible; }
    tRect GetRect() const override { Verrou v(m_f.m_mutex); return m_rect; }
    void MoveWindow(int x, int y, int cx, int cy) override { Verrou v(m_f.m_mutex); m_rect = tRect{x, y, x + cx, y + cy}; }
    CString GetWindowText() const override { Verrou v(m_f.m_mutex); return m_strTexte; }
    void SetWindowText(const CString& texte) override
    {
        {
            Verrou v(m_f.m_mutex);
            m_strTexte = texte;
        }
        if (Est(tTypeControle::Edition)) m_f.m_ecouteur.OnNotification(m_m.nId, tNotification::ChangementTexte, 0);
    }
    void SetFocus() override { m_f.ChangerFocus(this); }
    void UpdateWindow() override {}

    void SetSel(int, int) override {}

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

    int InsertColumn(int colonne, const CString& titre, tAlignement, int) override
    {
        Verrou v(m_f.m_mutex);
        if (!Est(tTypeControle::VueListe) || colonne < 0) return -1;
        colonne = std::min(colonne, static_cast<int>(m_colonnes.size()));
        m_colonnes.insert(m_colonnes.begin() + colonne, titre);
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
        return m_colonnes[static_cast<size_t>(colonne)];
    }
    int InsertItem(int ligne, const CString& texte) override
    {
        Verrou v(m_f.m_mutex);
        if (!Est(tTypeControle::VueListe) || ligne < 0) return -1;
        ligne = std::min(ligne, static_cast<int>(m_lignes.size()));
        tLigne l;
        l.cellules.push_back(texte);
        m_lignes.insert(m_lignes.begin() + ligne, std::move(l));
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
        return true;
    }
    void DeleteAllItems() override
    {
        Verrou v(m_f.m_mutex);
        m_lignes.clear();
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

    void SetItemData(int ligne, uint64_t n) override
    {
        Verrou v(m_f.m_mutex);
        if (LigneValide(ligne)) m_lignes[static_cast<size_t>(ligne)].nDonnee = n;
    }
    uint64_t GetItemData(int ligne) const override
    {
        Verrou v(m_f.m_mutex);
        return LigneValide(ligne) ? m_lignes[static_cast<size_t>(ligne)].nDonnee : 0;
    }
    void SetIndicateurTri(int colonne, bool bAscendant) override
    {
        Verrou v(m_f.m_mutex);
        if (!Est(tTypeControle::VueListe)) return;
        m_nColonneTri = colonne;
        m_bTriAscendant = bAscendant;
    }
    int GetIndicateurTri(bool* pbAscendant) const override
    {
        Verrou v(m_f.m_mutex);
        if (pbAscendant) *pbAscendant = m_bTriAscendant;
        return m_nColonneTri;
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

private:
    // Enabled or shown: the focus follows (CFenetreMemoire::EtatChange).
    void Changer(bool& bEtat, bool b)
    {
        bool bUtilisable;
        {
            Verrou v(m_f.m_mutex);
            bEtat = b;
            bUtilisable = m_bActif && m_bVisible;
        }
        m_f.EtatChange(this, bUtilisable);
    }
    bool LigneValide(int ligne) const { return ligne >= 0 && ligne < static_cast<int>(m_lignes.size()); }

    struct tLigne {
        std::vector<CString> cellules;
        bool bSel = false;
        uint64_t nDonnee = 0;
    };

    CFenetreMemoire& m_f;
    const tModeleControle& m_m;
    bool m_bActif;
    bool m_bVisible;
    tRect m_rect;
    CString m_strTexte;
    int m_nCoche = 0;
    std::vector<CString> m_entrees;
    int m_nSel = -1;
    std::vector<CString> m_colonnes;  // titles
    std::vector<tLigne> m_lignes;
    int m_nColonneTri = -1;
    bool m_bTriAscendant = true;
    int m_nMin = 0, m_nMax = 100, m_nPos = 0;
    unsigned m_nAnimation = 0;
    bool m_bJoue = false;
};

// ---------------------------------------------------------------------------
// Window

CFenetreMemoire::CFenetreMemoire(IFrontal& frontal, const tModeleDialogue& modele, IEcouteurDialogue& ecouteur)
    : m_frontal(frontal), m_modele(modele), m_ecouteur(ecouteur), m_strTitre(modele.szTitre)
{
    for (const auto& c : modele.controles) m_controles.push_back(std::make_unique<CControleMemoire>(*this, c));
}

CFenetreMemoire::~CFenetreMemoire() = default;

IControle* CFenetreMemoire::GetDlgItem(unsigned id)
{
    for (const auto& c : m_controles)
        if (c->GetId() == id) return c.get();
    return nullptr;
}

IControle* CFenetreMemoire::GetFocus()
{
    Verrou v(m_mutex);
    return m_pFocus;
}

void CFenetreMemoire::SetWindowText(const CString& titre)
{
    Verrou v(m_mutex);
    m_strTitre = titre;
}

CString CFenetreMemoire::GetWindowText() const
{
    Verrou v(m_mutex);
    return m_strTitre;
}

tRect CFenetreMemoire::GetClientRect() const
{
    return tRect{0, 0, UnitesVersPixelsX(m_modele.cx), UnitesVersPixelsY(m_modele.cy)};
}

void CFenetreMemoire::Afficher(bool b)
{
    Verrou v(m_mutex);
    m_bVisible = b;
}

bool CFenetreMemoire::EstVisible() const
{
    Verrou v(m_mutex);
    return m_bVisible;
}

int CFenetreMemoire::RunModal()
{
    Verrou v(m_mutex);
    if (!m_bTerminee) {
        m_bTerminee = true;
        m_nResultat = ID_ANNULER;
    }
    m_bVisible = false;
    return m_nResultat;
}

void CFenetreMemoire::EndDialog(int resultat)
{
    Verrou v(m_mutex);
    if (m_bTerminee) return;
    m_bTerminee = true;
    m_nResultat = resultat;
}

int CFenetreMemoire::MessageBox(const CString& texte, tBoutonsMessage boutons)
{
    return m_frontal.MessageBox(texte, boutons);
}

bool CFenetreMemoire::EstTerminee() const
{
    Verrou v(m_mutex);
    return m_bTerminee;
}

void CFenetreMemoire::EtatChange(IControle* c, bool bUtilisable)
{
    bool bRendre = false;
    {
        Verrou v(m_mutex);
        if (!bUtilisable && m_pFocus == c) {
            // The dialog keeps the focus; the control gets it back later.
            m_pFocus = nullptr;
            m_pFocusSuspendu = c;
        } else if (bUtilisable && m_pFocusSuspendu == c && !m_pFocus) {
            bRendre = true;
        } else {
            return;
        }
    }
    if (bRendre) ChangerFocus(c);
    else m_ecouteur.OnNotification(c->GetId(), tNotification::PerteFocus, 0);
}

void CFenetreMemoire::ChangerFocus(IControle* nouveau)
{
    IControle* ancien;
    {
        Verrou v(m_mutex);
        if (nouveau) m_pFocusSuspendu = nullptr;
        if (m_pFocus == nouveau) return;
        ancien = m_pFocus;
        m_pFocus = nouveau;
    }
    if (ancien) m_ecouteur.OnNotification(ancien->GetId(), tNotification::PerteFocus, 0);
    // The logic may have moved the focus again while handling the loss.
    if (nouveau && GetFocus() == nouveau) m_ecouteur.OnNotification(nouveau->GetId(), tNotification::PriseFocus, 0);
}

// ---------------------------------------------------------------------------
// Front end

std::unique_ptr<IFenetreDialogue> CFrontalMemoire::CreerDialogue(const tModeleDialogue& modele,
                                                                 IEcouteurDialogue& ecouteur)
{
    return std::make_unique<CFenetreMemoire>(*this, modele, ecouteur);
}

int CFrontalMemoire::MessageBox(const CString&, tBoutonsMessage boutons)
{
    return boutons == tBoutonsMessage::OuiNon ? ID_OUI : ID_OK;
}

void CFenetreMemoire::CopierTexte(const CString& texte)
{
    Verrou v(m_mutex);
    m_strCopie = texte;
}

CString CFenetreMemoire::TexteCopie() const
{
    Verrou v(m_mutex);
    return m_strCopie;
}
