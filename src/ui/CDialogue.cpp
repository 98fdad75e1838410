#include "ui/CDialogue.h"

#include "ui/Ressources.h"

CDialogue::CDialogue(unsigned idModele) : m_nIdModele(idModele) {}

CDialogue::~CDialogue()
{
    // A derived class's OnDestroy can no longer run here; the window just goes.
    m_pFenetre.reset();
}

bool CDialogue::CreerFenetre()
{
    if (m_pFenetre) return true;
    const tModeleDialogue* modele = Ressources::ModeleDialogue(m_nIdModele);
    if (!modele) return false;
    m_pFrontal = FrontalCourant();
    if (!m_pFrontal) return false;
    m_pFenetre = m_pFrontal->CreerDialogue(*modele, *this);
    return m_pFenetre != nullptr;
}

int CDialogue::DoModal()
{
    if (m_pFenetre || !CreerFenetre()) return -1;
    OnInitDialog();
    int resultat = m_pFenetre->RunModal();
    DestroyWindow();
    return resultat;
}

int CDialogue::Create()
{
    if (m_pFenetre || !CreerFenetre()) return 0;
    OnInitDialog();
    return 1;
}

void CDialogue::DestroyWindow()
{
    if (!m_pFenetre) return;
    OnDestroy();
    m_pFenetre.reset();
}

IControle* CDialogue::GetDlgItem(unsigned id) const
{
    return m_pFenetre ? m_pFenetre->GetDlgItem(id) : nullptr;
}

void CDialogue::EndDialog(int resultat)
{
    if (m_pFenetre) m_pFenetre->EndDialog(resultat);
}

int CDialogue::UpdateData(int bSauver)
{
    if (!m_pFenetre) return 0;
    DoDataExchange(bSauver);
    return 1;
}

void CDialogue::DoDataExchange(int) {}

int CDialogue::MessageBox(unsigned idChaine, tBoutonsMessage boutons)
{
    return MessageBox(Ressources::Chaine(idChaine), boutons);
}

int CDialogue::MessageBox(const CString& texte, tBoutonsMessage boutons)
{
    if (m_pFenetre) return m_pFenetre->MessageBox(texte, boutons);
    return AfficherMessage(texte, boutons);
}

std::vector<IControle*> CDialogue::GroupeRadio(unsigned idPremier) const
{
    std::vector<IControle*> groupe;
    if (!m_pFenetre) return groupe;
    bool dansGroupe = false;
    for (const auto& c : m_pFenetre->GetModele().controles) {
        if (!dansGroupe) {
            if (c.nId != idPremier) continue;
            dansGroupe = true;
        } else if (c.nType != tTypeControle::BoutonRadio || (c.nStyles & STYLE_DEBUT_GROUPE)) {
            break;
        }
        // A missing control keeps its place: the indexes follow the template.
        groupe.push_back(m_pFenetre->GetDlgItem(c.nId));
    }
    return groupe;
}

int CDialogue::GetRadioCoche(unsigned idPremier) const
{
    const std::vector<IControle*> groupe = GroupeRadio(idPremier);
    for (size_t i = 0; i < groupe.size(); ++i)
        if (groupe[i] && groupe[i]->GetCheck()) return static_cast<int>(i);
    return -1;
}

void CDialogue::SetRadioCoche(unsigned idPremier, int index)
{
    const std::vector<IControle*> groupe = GroupeRadio(idPremier);
    for (size_t i = 0; i < groupe.size(); ++i)
        if (groupe[i]) groupe[i]->SetCheck(static_cast<int>(i) == index ? 1 : 0);
}

int CDialogue::OnInitDialog()
{
    UpdateData(0);
    return 1;
}

void CDialogue::OnOK()
{
    UpdateData(1);
    EndDialog(ID_OK);
}

void CDialogue::OnCancel() { EndDialog(ID_ANNULER); }

void CDialogue::OnNotification(unsigned idControle, tNotification notification, int parametre)
{
    if (notification == tNotification::Clic && idControle == static_cast<unsigned>(ID_OK))
        OnOK();
    else if (notification == tNotification::Clic && idControle == static_cast<unsigned>(ID_ANNULER))
        OnCancel();
    else
        OnCommande(idControle, notification, parametre);
}

void CDialogue::OnEntree() { OnOK(); }

void CDialogue::OnAnnulation() { OnCancel(); }

void CDialogue::OnTaille(int largeur, int hauteur) { OnSize(largeur, hauteur); }
