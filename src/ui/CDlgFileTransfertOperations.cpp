// The file transfer dialog's single-level operations: the copy buttons, file
// deletion, the new-directory name entry and the directory removal
// confirmation, with the progress bar and the one message that names what
// failed. The recursive copies and removals are in CDlgFileTransfertArbres.cpp.

#include "ui/CDlgFileTransfert.h"

#include "ftp/CFTPDirect.h"
#include "ftp/CheminDistant.h"
#include "ui/IdsControles.h"
#include "ui/Ressources.h"
#include "ui/TextesTransfert.h"

using namespace IdsControles;

namespace {

// The failure message names at most this many paths; a long list would not fit a box.
constexpr size_t kEchecsNommes = 20;

// Cuts the field back to its longest valid beginning. Setting the text reports
// a change again, which then finds a valid (or empty) text and stops.
void Filtrer(IControle* champ)
{
    if (!champ)
        return;
    CString s = champ->GetWindowText();
    if (s.IsEmpty() || TextesTransfert::NomRepertoireValide(s))
        return;
    while (!s.IsEmpty() && !TextesTransfert::NomRepertoireValide(s))
        s.pop_back();
    champ->SetWindowText(s);
    champ->SetSel(-1, -1);
}

} // namespace

// ---------------------------------------------------------------- failures

void CDlgFileTransfert::NoterEchec(const CString& strChemin)
{
    m_vecEchecs.push_back(strChemin);
}

void CDlgFileTransfert::DebutOperation()
{
    if (m_nOperations++ == 0)
        m_vecEchecs.clear();
}

void CDlgFileTransfert::FinOperation()
{
    if (--m_nOperations > 0 || m_vecEchecs.empty())
        return;
    CString strTexte = Ressources::Chaine(Ressources::IDS_ECHECS_TRANSFERT);
    for (size_t i = 0; i < m_vecEchecs.size() && i < kEchecsNommes; ++i)
        strTexte += L"\n" + m_vecEchecs[i];
    if (m_vecEchecs.size() > kEchecsNommes) {
        CString strSuite;
        strSuite.Format(L"\n(+%d)", static_cast<int>(m_vecEchecs.size() - kEchecsNommes));
        strTexte += strSuite;
    }
    m_vecEchecs.clear();
    MessageBox(strTexte, tBoutonsMessage::Ok);
}

// ---------------------------------------------------------------- progress

void CDlgFileTransfert::DebutProgression(int nTotal)
{
    IControle* barre = GetDlgItem(IDC_PROGRESSION);
    if (!barre)
        return;
    barre->ShowWindow(true);
    barre->SetRange(0, nTotal);
    barre->SetPos(0);
}

void CDlgFileTransfert::AvancerProgression(int nFaits)
{
    if (IControle* barre = GetDlgItem(IDC_PROGRESSION))
        barre->SetPos(nFaits);
}

void CDlgFileTransfert::FinProgression()
{
    Afficher(IDC_PROGRESSION, false);
}

// ---------------------------------------------------------------- single-level work

void CDlgFileTransfert::ParcourirSelection(CVoletTransfert& volet,
                                           const std::function<void(const CString&)>& traiter)
{
    const std::vector<CString> noms = volet.NomsSelectionnes();
    DebutProgression(static_cast<int>(noms.size()));
    int nFaits = 0;
    for (const CString& nom : noms) {
        traiter(nom);
        AvancerProgression(++nFaits);
    }
    FinProgression();
}

void CDlgFileTransfert::CopierFichiersDistantsSelectionnes()
{
    ParcourirSelection(m_voletDistant, [this](const CString& nom) {
        const CString strDistant = m_voletDistant.CheminFichier(nom);
        if (!CheminDistant::NomSur(nom) || !m_pFtp->GetFile(strDistant, m_voletLocal.CheminFichier(nom)))
            NoterEchec(strDistant);
    });
}

void CDlgFileTransfert::CopierFichiersLocauxSelectionnes()
{
    ParcourirSelection(m_voletLocal, [this](const CString& nom) {
        // A local name that is not one remote component ("a\b") is not sent.
        const CString strLocal = m_voletLocal.CheminFichier(nom);
        if (!CheminDistant::NomSur(nom) || !m_pFtp->PutFile(strLocal, m_voletDistant.CheminFichier(nom)))
            NoterEchec(strLocal);
    });
}

void CDlgFileTransfert::SupprimerFichiersSelectionnes(CVoletTransfert& volet)
{
    ParcourirSelection(volet, [this, &volet](const CString& nom) {
        if (!volet.NomSur(nom) || !volet.SupprimerFichier(nom))
            NoterEchec(volet.CheminFichier(nom));
    });
}

// ---------------------------------------------------------------- copies

void CDlgFileTransfert::CopierVersLocal()
{
    if (!m_pFtp)
        return;
    DebutOperation();
    Activer(IDC_VERS_DISTANT, false);

    const CString strRep = m_voletDistant.RepertoireSelectionne();
    if (!strRep.IsEmpty() && strRep != L"..") {
        DesactiverTout();
        m_bTransfertEnCours = 1;
        CopierRepDistantVersLocal(strRep);
        m_bTransfertEnCours = 0;
        RemplirListeLocale();
        RemplirListeDistante();
        ActiverTout();
    }
    if (m_voletDistant.NombreFichiersSelectionnes() > 0) {
        DesactiverTout();
        CopierFichiersDistantsSelectionnes();
        RemplirListeLocale();
        FinProgression();
        ActiverTout();
    }

    Activer(IDC_VERS_DISTANT, true);
    FinOperation();
}

void CDlgFileTransfert::CopierVersDistant()
{
    if (!m_pFtp)
        return;
    DebutOperation();
    Activer(IDC_VERS_LOCAL, false);

    const CString strRep = m_voletLocal.RepertoireSelectionne();
    if (!strRep.IsEmpty() && strRep != L"..") {
        DesactiverTout();
        m_bTransfertEnCours = 1;
        CopierRepLocalVersDistant(strRep);
        m_bTransfertEnCours = 0;
        RemplirListeDistante();
        ActiverTout();
    }
    if (m_voletLocal.NombreFichiersSelectionnes() > 0) {
        DesactiverTout();
        CopierFichiersLocauxSelectionnes();
        m_voletDistant.Actualiser();
        FinProgression();
        ActiverTout();
    }

    Activer(IDC_VERS_LOCAL, true);
    FinOperation();
}

// ---------------------------------------------------------------- file deletion

void CDlgFileTransfert::SupprimerFichiers(CVoletTransfert& volet)
{
    if (!volet.Disponible() || volet.NombreFichiersSelectionnes() <= 0)
        return;
    DebutOperation();
    DesactiverTout();
    SupprimerFichiersSelectionnes(volet);
    volet.Actualiser();
    FinProgression();
    ActiverTout();
    FinOperation();
}

void CDlgFileTransfert::SupprimerFichiersLocaux()
{
    SupprimerFichiers(m_voletLocal);
}

void CDlgFileTransfert::SupprimerFichiersDistants()
{
    SupprimerFichiers(m_voletDistant);
}

// ---------------------------------------------------------------- name entry

void CDlgFileTransfert::OuvrirSaisie(CVoletTransfert& volet)
{
    // One entry at a time: the other pane's closes first.
    if (m_bSaisieRepertoire) {
        CVoletTransfert& autre = Autre(volet);
        IControle* champAutre = autre.Controle(autre.Ids().nNom);
        if (champAutre && champAutre->IsWindowVisible())
            FermerSaisie(autre);
    }
    m_bSaisieRepertoire = 1;
    IControle* champ = volet.Controle(volet.Ids().nNom);
    if (champ) champ->SetWindowText(CString());
    volet.ChangerEtatRangee(CVoletTransfert::tEtatRangee::Saisie);
    if (champ) champ->SetFocus();
}

void CDlgFileTransfert::FermerSaisie(CVoletTransfert& volet)
{
    m_bSaisieRepertoire = 0;
    volet.ChangerEtatRangee(CVoletTransfert::tEtatRangee::Normal);
}

void CDlgFileTransfert::OuvrirSaisieRepLocal()
{
    OuvrirSaisie(m_voletLocal);
}

void CDlgFileTransfert::OuvrirSaisieRepDistant()
{
    OuvrirSaisie(m_voletDistant);
}

void CDlgFileTransfert::FermerSaisieRepLocal()
{
    FermerSaisie(m_voletLocal);
}

void CDlgFileTransfert::FermerSaisieRepDistant()
{
    FermerSaisie(m_voletDistant);
}

int CDlgFileTransfert::NomRepValide(CString strNom)
{
    return TextesTransfert::NomRepertoireValide(strNom) ? 1 : 0;
}

void CDlgFileTransfert::FiltrerNomLocal()
{
    Filtrer(GetDlgItem(IDC_NOM_LOCAL));
}

void CDlgFileTransfert::FiltrerNomDistant()
{
    Filtrer(GetDlgItem(IDC_NOM_DISTANT));
}

bool CDlgFileTransfert::LireNomRep(CVoletTransfert& volet, CString& strNom)
{
    IControle* champ = volet.Controle(volet.Ids().nNom);
    strNom = champ ? champ->GetWindowText() : CString();
    if (NomRepValide(strNom))
        return true;
    MessageBox(Ressources::IDS_NOM_REPERTOIRE_INVALIDE, tBoutonsMessage::Ok);
    if (champ) champ->SetFocus();
    return false;
}

void CDlgFileTransfert::CreerRep(CVoletTransfert& volet)
{
    CString strNom;
    if (!volet.Disponible() || !LireNomRep(volet, strNom))
        return;
    volet.CreerRepertoire(strNom);
    FermerSaisie(volet);
    volet.Actualiser();
}

void CDlgFileTransfert::CreerRepLocal()
{
    CreerRep(m_voletLocal);
}

void CDlgFileTransfert::CreerRepDistant()
{
    CreerRep(m_voletDistant);
}

// ---------------------------------------------------------------- directory removal

void CDlgFileTransfert::DemanderSuppression(CVoletTransfert& volet)
{
    const CString strRep = volet.RepertoireSelectionne();
    if (!strRep.IsEmpty() && strRep != L"..")
        volet.ChangerEtatRangee(CVoletTransfert::tEtatRangee::Confirmation);
}

void CDlgFileTransfert::DemanderSuppressionRepLocal()
{
    DemanderSuppression(m_voletLocal);
}

void CDlgFileTransfert::DemanderSuppressionRepDistant()
{
    DemanderSuppression(m_voletDistant);
}

void CDlgFileTransfert::FermerConfirmationLocale()
{
    m_voletLocal.FermerConfirmation();
}

void CDlgFileTransfert::FermerConfirmationDistante()
{
    m_voletDistant.FermerConfirmation();
}

void CDlgFileTransfert::ConfirmerSuppression(CVoletTransfert& volet)
{
    if (!volet.RepertoireEstSelectionne())
        return;
    const CString strRep = volet.RepertoireSelectionne();
    DebutOperation();
    DesactiverTout();
    const bool bVersDistant = EstActif(IDC_VERS_DISTANT), bVersLocal = EstActif(IDC_VERS_LOCAL);
    Activer(IDC_VERS_DISTANT, false);
    Activer(IDC_VERS_LOCAL, false);
    if (strRep != L"..") {
        m_bTransfertEnCours = 1;
        SupprimerRep(volet, strRep, 0);
        m_bTransfertEnCours = 0;
        volet.Remplir();
        volet.FermerConfirmation();
    }
    Activer(IDC_VERS_DISTANT, bVersDistant);
    Activer(IDC_VERS_LOCAL, bVersLocal);
    ActiverTout();
    FinOperation();
}

void CDlgFileTransfert::ConfirmerSuppressionRepLocal()
{
    ConfirmerSuppression(m_voletLocal);
}

void CDlgFileTransfert::ConfirmerSuppressionRepDistant()
{
    ConfirmerSuppression(m_voletDistant);
}
