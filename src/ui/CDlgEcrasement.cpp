#include "ui/CDlgEcrasement.h"

#include "common/TableChaines.h"
#include "ui/IdsControles.h"
#include "ui/Ressources.h"
#include "ui/TextesTransfert.h"

using namespace IdsControles;

namespace {

// A path too long for the question's lines keeps its end, where the
// directories the user knows are.
CString Raccourci(const CString& strChemin)
{
    constexpr int kLongueurMax = 60;
    if (strChemin.GetLength() <= kLongueurMax)
        return strChemin;
    return L"..." + strChemin.Right(kLongueurMax - 3);
}

CString Formater(unsigned idChaine, const CString& a)
{
    CString s;
    s.Format(Ressources::ChargerChaine(idChaine), a.c_str());
    return s;
}

} // namespace

CDlgEcrasement::CDlgEcrasement(const tQuestionEcrasement& question)
    : CDialogue(Ressources::IDD_ECRASEMENT), m_question(question)
{
}

CString CDlgEcrasement::TexteFichier(uint64_t nTaille, long long nDateUtc)
{
    CString strOctets;
    strOctets.Format(L"%llu", static_cast<unsigned long long>(nTaille));
    const CString strDate = nDateUtc != 0 ? TextesTransfert::TexteDateLocale(static_cast<std::time_t>(nDateUtc))
                                          : Ressources::Chaine(Ressources::IDS_DATE_INCONNUE);
    CString s;
    s.Format(Ressources::ChargerChaine(Ressources::IDS_TAILLE_DATE), TextesTransfert::TexteTaille(nTaille).c_str(),
             strOctets.c_str(), strDate.c_str());
    return s;
}

tReponseEcrasement CDlgEcrasement::Demander()
{
    m_reponse = tReponseEcrasement();
    DoModal();
    return m_reponse;
}

int CDlgEcrasement::OnInitDialog()
{
    CDialogue::OnInitDialog();
    const tQuestionEcrasement& q = m_question;
    CString strTexte;
    strTexte.Format(Ressources::ChargerChaine(q.bCibleLocale ? Ressources::IDS_ECRASEMENT_LOCAL
                                                             : Ressources::IDS_ECRASEMENT_DISTANT),
                    q.strNom.c_str(), Raccourci(q.strRepertoire).c_str());
    if (IControle* c = GetDlgItem(IDC_TEXTE_ECRASEMENT)) c->SetWindowText(strTexte);
    CString strCible = TexteFichier(q.nTailleCible, q.nDateCible);
    CString strSource = TexteFichier(q.nTailleSource, q.nDateSource);
    if (CDecisionEcrasement::SourcePlusRecente(q))
        strSource += Ressources::Chaine(Ressources::IDS_PLUS_RECENT);
    else if (q.nDateSource != 0 && q.nDateCible > q.nDateSource)
        strCible += Ressources::Chaine(Ressources::IDS_PLUS_RECENT);
    if (IControle* c = GetDlgItem(IDC_FICHIER_EXISTANT)) c->SetWindowText(Formater(Ressources::IDS_FICHIER_EXISTANT, strCible));
    if (IControle* c = GetDlgItem(IDC_FICHIER_COPIE)) c->SetWindowText(Formater(Ressources::IDS_FICHIER_COPIE, strSource));
    // The safe answer has the focus, so a stray Enter loses nothing.
    if (IControle* c = GetDlgItem(IDC_PASSER)) c->SetFocus();
    return 1;
}

void CDlgEcrasement::OnOK()
{
    m_reponse = {tChoixEcrasement::Passer, false};
    EndDialog(IDC_PASSER);
}

void CDlgEcrasement::OnCommande(unsigned nId, tNotification notification, int)
{
    if (notification != tNotification::Clic)
        return;
    struct tBouton { unsigned nId; tChoixEcrasement choix; bool bPourTous; };
    static const tBouton kBoutons[] = {
        {IDC_ECRASER, tChoixEcrasement::Ecraser, false},
        {IDC_PASSER, tChoixEcrasement::Passer, false},
        {IDC_ECRASER_SI_RECENT, tChoixEcrasement::EcraserSiPlusRecent, false},
        {IDC_ECRASER_TOUT, tChoixEcrasement::Ecraser, true},
        {IDC_PASSER_TOUT, tChoixEcrasement::Passer, true},
        {IDC_ECRASER_TOUT_SI_RECENT, tChoixEcrasement::EcraserSiPlusRecent, true},
    };
    for (const tBouton& b : kBoutons) {
        if (b.nId == nId) {
            m_reponse = {b.choix, b.bPourTous};
            EndDialog(static_cast<int>(nId));
            return;
        }
    }
}
