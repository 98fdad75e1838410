// The transfer dialog's session log (the FTP commands and replies, each
// file's outcome), shown or hidden at the user's choice, and Retry of the
// files a copy could not handle.

#include <algorithm>
#include <cstdarg>

#include "common/TableChaines.h"
#include "profile/ClesProfil.h"
#include "profile/Profil.h"
#include "ui/CDlgFileTransfert.h"
#include "ui/IdsControles.h"
#include "ui/Ressources.h"

using namespace IdsControles;

namespace {

// The failure message names at most this many paths; a long list would not fit a box.
constexpr size_t kEchecsNommes = 20;
// The log's height in pixels when shown.
constexpr int kHauteurJournal = 120;

using Ressources::Formater;

} // namespace

void CDlgFileTransfert::InitialiserJournal()
{
    if (auto profil = ProfilCourant())
        m_bJournal = profil->GetProfileInt(ClesProfil::SECTION_FTPDIRECT, ClesProfil::JOURNAL, 0) != 0 ? 1 : 0;
    if (IControle* journal = GetDlgItem(IDC_JOURNAL))
        journal->InsertColumn(0, CString(), tAlignement::Gauche, 600);
    ViderJournal();
    MontrerJournal();
}

void CDlgFileTransfert::BasculerJournal()
{
    m_bJournal = m_bJournal ? 0 : 1;
    if (auto profil = ProfilCourant())
        profil->WriteProfileInt(ClesProfil::SECTION_FTPDIRECT, ClesProfil::JOURNAL, m_bJournal);
    MontrerJournal();
}

void CDlgFileTransfert::MontrerJournal()
{
    Afficher(IDC_JOURNAL, m_bJournal != 0);
    if (IControle* bouton = GetDlgItem(IDC_AFFICHER_JOURNAL))
        bouton->SetWindowText(
            Ressources::Chaine(m_bJournal ? Ressources::IDS_CACHER_JOURNAL : Ressources::IDS_MONTRER_JOURNAL));
    PlacerControles();
}

void CDlgFileTransfert::ViderJournal()
{
    m_pJournal->Afficher(GetDlgItem(IDC_JOURNAL));
}

int CDlgFileTransfert::PlacerJournal(const tRect& client, int B)
{
    IControle* journal = GetDlgItem(IDC_JOURNAL);
    if (!journal || !m_bJournal)
        return B;
    // The panes keep at least half the height above it.
    const int H = std::min(kHauteurJournal, std::max(0, (B - client.top) / 2));
    Placer(IDC_JOURNAL, client.left + 4, B - H, std::max(0, client.Largeur() - 8), H);
    return B - H - 2;
}

void CDlgFileTransfert::CommandeJournal(tNotification n, int nParametre)
{
    if (n == tNotification::Touche && static_cast<tTouche>(nParametre) == tTouche::Copier) {
        CopierJournal();
        return;
    }
    if (n != tNotification::MenuContextuel)
        return;
    IFenetreDialogue* f = GetFenetre();
    IControle* journal = GetDlgItem(IDC_JOURNAL);
    if (!f || !journal)
        return;
    const std::vector<tEntreeMenu> entrees{
        {IDC_MENU_COPIER, Ressources::Chaine(Ressources::IDS_MENU_COPIER_JOURNAL), journal->GetItemCount() > 0}};
    if (f->MenuContextuel(entrees) == IDC_MENU_COPIER)
        CopierJournal();
}

void CDlgFileTransfert::CopierJournal()
{
    // The lines selected, or the whole log when none is.
    IControle* journal = GetDlgItem(IDC_JOURNAL);
    IFenetreDialogue* f = GetFenetre();
    if (!journal || !f)
        return;
    const bool bTout = journal->GetSelectedCount() == 0;
    CString strTexte;
    for (int i = 0; i < journal->GetItemCount(); ++i)
        if (bTout || journal->IsItemSelected(i))
            strTexte += journal->GetItemText(i, 0) + L"\n";
    if (!strTexte.IsEmpty())
        f->CopierTexte(strTexte);
}

void CDlgFileTransfert::Journaliser(const CString& strChemin, tIssueFichier issue)
{
    switch (issue) {
    case tIssueFichier::Fait: m_pJournal->Ajouter(Formater(Ressources::IDS_JOURNAL_FAIT, strChemin.c_str())); break;
    case tIssueFichier::Passe: m_pJournal->Ajouter(Formater(Ressources::IDS_JOURNAL_PASSE, strChemin.c_str())); break;
    case tIssueFichier::Annule: m_pJournal->Ajouter(Formater(Ressources::IDS_JOURNAL_ANNULE, strChemin.c_str())); break;
    case tIssueFichier::Echec: break;  // NoterEchec writes it, with its cause
    }
}

tIssueFichier CDlgFileTransfert::FinFichier(const CString& strChemin, tIssueFichier issue)
{
    Journaliser(strChemin, issue);
    m_progression.FinFichier(issue);
    return issue;
}

// ---------------------------------------------------------------- failures and Retry

CVoletTransfert* CDlgFileTransfert::VoletReessai()
{
    switch (m_nCommandeReessai) {
    case IDC_VERS_LOCAL: return &m_voletDistant;
    case IDC_VERS_DISTANT: return &m_voletLocal;
    default: return nullptr;
    }
}

std::vector<CString> CDlgFileTransfert::NomsAReessayer(const std::vector<std::pair<CString, CString>>& echecs)
{
    std::vector<CString> noms;
    CVoletTransfert* volet = VoletReessai();
    if (!volet || !volet->Disponible())
        return noms;
    for (const auto& echec : echecs) {
        const int n = echec.first.ReverseFind(L'/');
        const CString strNom = n < 0 ? echec.first : echec.first.Mid(n + 1);
        // Only a file of the pane's directory now: a file deeper in a tree,
        // or after the pane moved, is not what the user would see selected.
        if (volet->ContientFichier(strNom) && volet->CheminFichier(strNom) == echec.first &&
            std::find(noms.begin(), noms.end(), strNom) == noms.end())
            noms.push_back(strNom);
    }
    return noms;
}

void CDlgFileTransfert::SignalerEchecs(const std::vector<std::pair<CString, CString>>& echecs)
{
    CString strTexte = Ressources::Chaine(Ressources::IDS_ECHECS_TRANSFERT);
    for (size_t i = 0; i < echecs.size() && i < kEchecsNommes; ++i) {
        strTexte += L"\n" + echecs[i].first;
        if (!echecs[i].second.IsEmpty())
            strTexte += L": " + echecs[i].second;
    }
    if (echecs.size() > kEchecsNommes) {
        CString strSuite;
        strSuite.Format(L"\n(+%d)", static_cast<int>(echecs.size() - kEchecsNommes));
        strTexte += strSuite;
    }
    const std::vector<CString> noms = m_bAnnule ? std::vector<CString>() : NomsAReessayer(echecs);
    CVoletTransfert* volet = VoletReessai();
    IFenetreDialogue* f = GetFenetre();
    if (noms.empty() || !volet || !f) {
        MessageBox(strTexte, tBoutonsMessage::Ok);
        return;
    }
    if (MessageBox(strTexte, tBoutonsMessage::OkReessayer) != ID_REESSAYER)
        return;
    // The same button again, on just those files: same rules, same questions.
    volet->SelectionnerFichiers(noms);
    f->PosterClic(m_nCommandeReessai);
}
