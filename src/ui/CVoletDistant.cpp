#include "ui/CVoletDistant.h"

#include "ftp/CFTPDirect.h"
#include "ftp/CheminDistant.h"
#include "ui/CDlgFileTransfert.h"
#include "common/TableChaines.h"
#include "ui/IdsControles.h"
#include "ui/TextesTransfert.h"

using namespace IdsControles;

namespace {

const CVoletTransfert::tIds kIdsDistants{
    IDC_RAFRAICHIR_DISTANT,  IDC_SUPPR_FICHIERS_DISTANTS, IDC_CREER_REP_DISTANT,
    IDC_SUPPR_REP_DISTANT,   IDC_LIBELLE_NOM_DISTANT,     IDC_NOM_DISTANT,
    IDC_VALIDER_NOM_DISTANT, IDC_ANNULER_NOM_DISTANT,     IDC_CONFIRMER_SUPPR_DISTANT,
    IDC_ANNULER_SUPPR_DISTANT, IDC_QUESTION_DISTANT,
    IDC_REPS_DISTANTS, IDC_FICHIERS_DISTANTS};

} // namespace

// ---------------------------------------------------------------- the dialog's entry points

void CDlgFileTransfert::RemplirListeDistante()
{
    m_voletDistant.Remplir();
}

void CDlgFileTransfert::EntrerRepDistant()
{
    m_voletDistant.EntrerSelection();
}

void CDlgFileTransfert::RafraichirDistant()
{
    m_voletDistant.Rafraichir();
}

void CDlgFileTransfert::ValiderRepDistant()
{
    m_voletDistant.Valider();
}

// ---------------------------------------------------------------- the pane

CVoletDistant::CVoletDistant(CDlgFileTransfert& dlg, CString& strRep)
    : CVoletTransfert(dlg, strRep, kIdsDistants)
{
}

void CVoletDistant::Remplir()
{
    CFTPDirect* pFtp = m_dlg.m_pFtp;
    if (!pFtp)
        return;
    if (RempliSansBouger())
        return;
    CListeFichiersFtp liste;
    CString strRep = m_strRep;
    bool bAnnule = false;
    m_dlg.SetEtatActivite(Ressources::IDS_LISTE_EN_COURS, strRep);
    m_dlg.ExecuterHorsFil([&] {
        pFtp->GetDir(&strRep, liste, 1);
        bAnnule = pFtp->EstAnnule();
    });
    if (bAnnule) {
        RevenirAuRepertoireAffiche();
        return;
    }
    m_strRep = strRep;

    IControle* reps = Controle(IDC_REPS_DISTANTS);
    IControle* table = Controle(IDC_FICHIERS_DISTANTS);
    if (reps) reps->ResetContent();
    if (table) table->DeleteAllItems();
    m_vecReps.clear();
    m_vecFichiers.clear();
    ListesRemplacees();

    const bool bTransfert = m_dlg.TransfertEnCours() != 0;
    if (reps && m_strRep != L"/")
        reps->AddString(L"[..]");
    for (int i = 0; i < liste.m_nNombre; ++i) {
        const tInfosFichierFtp& e = liste.m_pElements[i];
        // A name that cannot be one path component is never shown: the user
        // could not act on it without it turning into another path.
        const bool bSpecial = CheminDistant::EstSpecial(e.m_strNom);
        if (!CheminDistant::NomSur(e.m_strNom) && !bSpecial)
            continue;
        const bool bSansAttribut = e.m_strAttributs.IsEmpty();
        const bool bRepertoire = bSansAttribut || e.m_strAttributs.Find(L'd') >= 0;
        if (bRepertoire) {
            if (!bSansAttribut && bSpecial)
                continue;
            if (reps) reps->AddString(L"[" + e.m_strNom + L"]");
            m_vecReps.push_back(e.m_strNom);
            continue;
        }
        m_vecFichiers.push_back(e);
        if (!table)
            continue;
        const int n = table->InsertItem(table->GetItemCount(), e.m_strNom);
        if (n >= 0 && !bTransfert) {
            table->SetItemText(n, 1, TextesTransfert::TexteTaille(e.m_nTaille));
            // Exact times (UTC by the protocol) in local time; a listing's
            // own date text, whose zone nobody knows, as it came.
            table->SetItemText(n, 2, e.m_nDateUtc != 0 ? TextesTransfert::TexteDateLocale(static_cast<std::time_t>(e.m_nDateUtc))
                                                       : e.m_strDate);
            table->SetItemData(n, e.m_nTaille);
        }
    }
    if (reps) reps->UpdateWindow();
    if (table) {
        if (!bTransfert)
            m_dlg.TrierListe(m_dlg.GetColonneTri(), table);
        table->UpdateWindow();
    }
    if (IControle* champ = Controle(IDC_REP_DISTANT)) {
        champ->SetWindowText(m_strRep);
        champ->UpdateWindow();
    }
}

void CVoletDistant::Actualiser()
{
    if (!m_dlg.TransfertEnCours())
        Remplir();
}

CString CVoletDistant::Parent() const
{
    return CheminDistant::Parent(m_strRep);
}

void CVoletDistant::Valider()
{
    const CString strAvant = m_strRep;
    m_dlg.UpdateData(1);
    // The remote directory is always held absolute and in its normal form: a
    // relative text would be resolved against wherever the connection happens
    // to stand, and going up from "/a/" would stay in /a.
    const CString strTape = m_strRep;
    m_strRep = CheminDistant::Absolu(strAvant, m_strRep);
    if (m_strRep != strAvant)
        Remplir();
    else if (strTape != m_strRep)
        m_dlg.UpdateData(0);
}

bool CVoletDistant::Disponible() const
{
    return m_dlg.m_pFtp != nullptr;
}

bool CVoletDistant::NomSur(const CString& strNom) const
{
    return CheminDistant::NomSur(strNom);
}

CString CVoletDistant::CheminFichier(const CString& strNom) const
{
    return CheminDistant::Joindre(m_strRep, strNom);
}

CString CVoletDistant::CheminRepertoire(const CString& strNom) const
{
    return CheminDistant::Joindre(m_strRep, strNom);
}

bool CVoletDistant::CreerRepertoire(const CString& strNom)
{
    CFTPDirect* pFtp = m_dlg.m_pFtp;
    bool bFait = false;
    if (pFtp)
        m_dlg.ExecuterHorsFil([&] { bFait = pFtp->MakeDir(strNom, m_strRep) == 0; });
    return bFait;
}

bool CVoletDistant::SupprimerFichier(const CString& strNom)
{
    CFTPDirect* pFtp = m_dlg.m_pFtp;
    bool bFait = false;
    if (pFtp)
        m_dlg.ExecuterHorsFil([&] { bFait = pFtp->DelFile(CheminFichier(strNom)) != 0; });
    return bFait;
}

bool CVoletDistant::Renommer(const CString& strAncien, const CString& strNouveau)
{
    CFTPDirect* pFtp = m_dlg.m_pFtp;
    bool bFait = false;
    if (pFtp)
        m_dlg.ExecuterHorsFil([&] { bFait = pFtp->Rename(CheminFichier(strAncien), CheminFichier(strNouveau)) != 0; });
    return bFait;
}

bool CVoletDistant::SupprimerRepertoire(const CString& strNom)
{
    CFTPDirect* pFtp = m_dlg.m_pFtp;
    bool bFait = false;
    if (pFtp)
        m_dlg.ExecuterHorsFil([&] { bFait = pFtp->RemDir(strNom, m_strRep) == 0; });
    return bFait;
}

CString CVoletDistant::DerniereErreur() const
{
    return m_dlg.CauseFtp();
}

const tInfosFichierFtp* CVoletDistant::Fichier(const CString& strNom) const
{
    for (const tInfosFichierFtp& e : m_vecFichiers)
        if (e.m_strNom == strNom)
            return &e;
    return nullptr;
}

bool CVoletDistant::InfosFichier(const CString& strNom, uint64_t& nTaille, long long& nDateUtc) const
{
    const tInfosFichierFtp* e = Fichier(strNom);
    if (!e)
        return false;
    nTaille = e->m_nTaille;
    nDateUtc = TextesTransfert::DateUtc(*e);
    return true;
}

std::vector<CString> CVoletDistant::SousRepertoires() const
{
    return m_vecReps;
}

void CVoletDistant::FermerConfirmation()
{
    CVoletTransfert::FermerConfirmation();
    m_dlg.Activer(IDC_CONFIRMER_SUPPR_DISTANT, true);
    m_dlg.Activer(IDC_ANNULER_SUPPR_DISTANT, true);
}
