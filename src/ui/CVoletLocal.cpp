#include "ui/CVoletLocal.h"

#include "ui/CDlgFileTransfert.h"
#include "ui/IdsControles.h"
#include "ui/TextesTransfert.h"

using namespace IdsControles;

namespace {

const CVoletTransfert::tIds kIdsLocaux{
    IDC_RAFRAICHIR_LOCAL,  IDC_SUPPR_FICHIERS_LOCAUX, IDC_CREER_REP_LOCAL,
    IDC_SUPPR_REP_LOCAL,   IDC_LIBELLE_NOM_LOCAL,     IDC_NOM_LOCAL,
    IDC_VALIDER_NOM_LOCAL, IDC_ANNULER_NOM_LOCAL,     IDC_CONFIRMER_SUPPR_LOCAL,
    IDC_ANNULER_SUPPR_LOCAL, IDC_QUESTION_LOCAL,
    IDC_REPS_LOCAUX, IDC_FICHIERS_LOCAUX};

} // namespace

// ---------------------------------------------------------------- the dialog's entry points

void CDlgFileTransfert::RemplirListeLocale()
{
    m_voletLocal.Remplir();
}

void CDlgFileTransfert::ChangerLecteur()
{
    m_voletLocal.ChangerLecteur();
}

void CDlgFileTransfert::EntrerRepLocal()
{
    m_voletLocal.EntrerSelection();
}

void CDlgFileTransfert::RafraichirLocal()
{
    m_voletLocal.Rafraichir();
}

// ---------------------------------------------------------------- the pane

CVoletLocal::CVoletLocal(CDlgFileTransfert& dlg, CString& strRep) : CVoletTransfert(dlg, strRep, kIdsLocaux)
{
}

void CVoletLocal::Remplir()
{
    if (RempliSansBouger())
        return;
    // A directory that cannot be listed gives way to home, then to "/".
    CString strRep = m_strRep;
    PanneauLocal::tContenuLocal contenu;
    m_dlg.ExecuterHorsFil([&] { PanneauLocal::ListerAvecRepli(strRep, contenu); });
    m_strRep = strRep;
    m_contenu = std::move(contenu);

    IControle* reps = Controle(IDC_REPS_LOCAUX);
    IControle* table = Controle(IDC_FICHIERS_LOCAUX);
    if (reps) reps->ResetContent();
    if (table) table->DeleteAllItems();
    ListesRemplacees();

    if (IControle* lecteurs = Controle(IDC_LECTEURS))
        lecteurs->SelectString(-1, PanneauLocal::LecteurDe(m_strRep));
    if (reps)
        for (const CString& nom : m_contenu.m_vecRepertoires)
            reps->AddString(L"[" + nom + L"]");
    if (table) {
        for (const auto& f : m_contenu.m_vecFichiers) {
            const int n = table->InsertItem(table->GetItemCount(), f.m_strNom);
            if (n < 0)
                continue;
            table->SetItemText(n, 1, TextesTransfert::TexteTaille(f.m_nTaille));
            table->SetItemText(n, 2, TextesTransfert::DateAffichee(f.m_strDate));
            table->SetItemData(n, f.m_nTaille);
        }
        m_dlg.TrierListe(m_dlg.GetColonneTri(), table);
        table->UpdateWindow();
    }
    if (reps) reps->UpdateWindow();
    if (IControle* champ = Controle(IDC_REP_LOCAL))
        champ->SetWindowText(m_strRep);
}

CString CVoletLocal::Parent() const
{
    return PanneauLocal::Parent(m_strRep);
}

void CVoletLocal::RemplirLecteurs()
{
    IControle* lecteurs = Controle(IDC_LECTEURS);
    if (!lecteurs)
        return;
    lecteurs->ResetContent();
    for (const CString& s : PanneauLocal::Lecteurs())
        lecteurs->AddString(s);
    lecteurs->SetCurSel(0);
}

void CVoletLocal::ChangerLecteur()
{
    IControle* lecteurs = Controle(IDC_LECTEURS);
    if (!lecteurs)
        return;
    const int n = lecteurs->GetCurSel();
    if (n < 0)
        return;
    m_strRep = PanneauLocal::RepertoireDuLecteur(lecteurs->GetText(n));
    Remplir();
}

bool CVoletLocal::NomSur(const CString& strNom) const
{
    return TextesTransfert::NomLocalSur(strNom);
}

CString CVoletLocal::CheminFichier(const CString& strNom) const
{
    return m_strRep + strNom;
}

CString CVoletLocal::CheminRepertoire(const CString& strNom) const
{
    return m_strRep + strNom + L"/";
}

bool CVoletLocal::EstLien(const CString& strChemin) const
{
    return PanneauLocal::EstLien(strChemin);
}

bool CVoletLocal::CreerRepertoire(const CString& strNom)
{
    bool bFait = false;
    m_dlg.ExecuterHorsFil([&] { bFait = PanneauLocal::CreerRepertoire(m_strRep + strNom, &m_strErreur); });
    return bFait;
}

bool CVoletLocal::SupprimerFichier(const CString& strNom)
{
    bool bFait = false;
    m_dlg.ExecuterHorsFil([&] { bFait = PanneauLocal::SupprimerFichier(m_strRep + strNom, &m_strErreur); });
    return bFait;
}

bool CVoletLocal::Renommer(const CString& strAncien, const CString& strNouveau)
{
    bool bFait = false;
    m_dlg.ExecuterHorsFil([&] { bFait = PanneauLocal::Renommer(m_strRep + strAncien, m_strRep + strNouveau, &m_strErreur); });
    return bFait;
}

bool CVoletLocal::SupprimerRepertoire(const CString& strNom)
{
    bool bFait = false;
    m_dlg.ExecuterHorsFil([&] { bFait = PanneauLocal::SupprimerRepertoire(m_strRep + strNom, &m_strErreur); });
    return bFait;
}

bool CVoletLocal::InfosFichier(const CString& strNom, uint64_t& nTaille, long long& nDateUtc) const
{
    for (const auto& f : m_contenu.m_vecFichiers) {
        if (f.m_strNom == strNom) {
            nTaille = f.m_nTaille;
            nDateUtc = f.m_nDateUtc;
            return true;
        }
    }
    return false;
}

std::vector<CString> CVoletLocal::SousRepertoires() const
{
    std::vector<CString> sousReps;
    for (const CString& nom : m_contenu.m_vecRepertoires)
        if (nom != L"." && nom != L"..")
            sousReps.push_back(nom);
    return sousReps;
}
