// The file transfer dialog's long work: each user operation's start and end,
// the work run off the dialog's thread while the dialog waits (painted, its
// "Cancel" live), the progress in the status line and the bar, the copy of
// one file with its overwrite question, and the summary and failure message
// at the end.

#include "ui/CDlgFileTransfert.h"

#include "common/TableChaines.h"
#include "ftp/CFTPDirect.h"
#include "ftp/CheminDistant.h"
#include "ui/CDlgEcrasement.h"
#include "ui/IdsControles.h"
#include "ui/PanneauLocal.h"
#include "ui/Ressources.h"
#include "ui/TextesTransfert.h"

using namespace IdsControles;

namespace {

using Ressources::Formater;

// The last component of a path, local or remote.
CString Nom(const CString& strChemin)
{
    const int n = strChemin.ReverseFind(L'/');
    return n < 0 ? strChemin : strChemin.Mid(n + 1);
}

CString Dossier(const CString& strChemin)
{
    const int n = strChemin.ReverseFind(L'/');
    return n <= 0 ? CString(L"/") : strChemin.Left(n);
}

// The client's own words for a plain cancel, which names nothing left behind.
bool EstAnnulationSimple(const CString& strCause)
{
    CString s(strCause);
    s.Trim();
    return s.IsEmpty() || s.CompareNoCase(Ressources::ChargerChaine(Ressources::IDS_ANNULE)) == 0;
}

} // namespace

// ---------------------------------------------------------------- one operation

void CDlgFileTransfert::DebutOperation()
{
    if (m_nOperations++ > 0)
        return;
    {
        std::lock_guard<std::mutex> verrou(m_mutexEchecs);
        m_vecEchecs.clear();
    }
    m_bAnnule = false;
    m_genre = tGenre::Aucun;
    m_decision.Reinitialiser();
    m_progression.Demarrer();
    if (m_pFtp) {
        m_pFtp->RearmerAnnulation();
        m_pFtp->SetProgression([this](uint64_t nFaits, uint64_t nTotal) {
            m_progression.Avancer(nFaits, nTotal);
            return !m_bAnnule;
        });
    }
    Afficher(IDC_ANNULER_OPERATION, true);
    Activer(IDC_ANNULER_OPERATION, true);
}

void CDlgFileTransfert::FinOperation()
{
    if (--m_nOperations > 0)
        return;
    if (m_pFtp) {
        m_pFtp->SetProgression({});
        m_pFtp->RearmerAnnulation();
    }
    Afficher(IDC_ANNULER_OPERATION, false);
    FinProgression();
    const tEtatProgression etat = m_progression.Lire();
    if (m_genre != tGenre::Aucun || m_bAnnule)
        SetEtat(TexteBilan(etat));
    else
        SetEtat(m_strEtat);
    m_genre = tGenre::Aucun;

    std::vector<std::pair<CString, CString>> echecs;
    {
        std::lock_guard<std::mutex> verrou(m_mutexEchecs);
        echecs.swap(m_vecEchecs);
    }
    ViderJournal();
    if (!echecs.empty())
        SignalerEchecs(echecs);
    m_nCommandeReessai = 0;
}

void CDlgFileTransfert::ExecuterHorsFil(const std::function<void()>& travail)
{
    if (m_travail.SurFilTravail() || m_travail.EnCours()) {
        travail();
        return;
    }
    // Outside an operation (a listing, a login) a cancel is the user's last word
    // on the previous one only.
    const bool bSeul = m_nOperations == 0;
    if (bSeul) {
        m_bAnnule = false;
        if (m_pFtp)
            m_pFtp->RearmerAnnulation();
    }
    IControle* annuler = GetDlgItem(IDC_ANNULER_OPERATION);
    const bool bMontrer = annuler && !annuler->IsWindowVisible();
    if (bMontrer) {
        annuler->ShowWindow(true);
        annuler->EnableWindow(true);
    }
    m_travail.Executer(travail, annuler, [this] {
        ViderJournal();
        AfficherProgression();
    });
    if (bMontrer)
        annuler->ShowWindow(false);
    if (bSeul)
        SetEtat(m_strEtat);
    // What the dialog posted to itself meanwhile runs now, in order.
    std::vector<unsigned> clics;
    clics.swap(m_vecClicsDifferes);
    if (IFenetreDialogue* f = GetFenetre())
        for (unsigned id : clics)
            f->PosterClic(id);
}

void CDlgFileTransfert::Annuler()
{
    m_bAnnule = true;
    if (m_pFtp)
        m_pFtp->Annuler();
    Activer(IDC_ANNULER_OPERATION, false);
    if (IControle* etat = GetDlgItem(IDC_ETAT_OPERATION))
        etat->SetWindowText(Ressources::Chaine(Ressources::IDS_ANNULATION_EN_COURS));
}

void CDlgFileTransfert::NoterEchec(const CString& strChemin, const CString& strCause, bool bMemeAnnule)
{
    // Once cancelled, what fails is what was not done, which the summary says.
    if (m_bAnnule && !bMemeAnnule)
        return;
    m_pJournal->Ajouter(strCause.IsEmpty()
                            ? Formater(Ressources::IDS_JOURNAL_ECHEC_SANS_CAUSE, strChemin.c_str())
                            : Formater(Ressources::IDS_JOURNAL_ECHEC, strChemin.c_str(), strCause.c_str()));
    std::lock_guard<std::mutex> verrou(m_mutexEchecs);
    m_vecEchecs.emplace_back(strChemin, strCause);
}

CString CDlgFileTransfert::CauseFtp() const
{
    return m_pFtp ? m_pFtp->GetDerniereErreur() : CString();
}

// ---------------------------------------------------------------- the copy of one file

bool CDlgFileTransfert::EcrasementAccepte(const tQuestionEcrasement& question, tIssueFichier& issue)
{
    switch (m_decision.Decider(question)) {
    case CDecisionEcrasement::tDecision::Copier: return true;
    case CDecisionEcrasement::tDecision::Passer: issue = tIssueFichier::Passe; return false;
    case CDecisionEcrasement::tDecision::Annuler: break;
    }
    m_travail.SurFilDialogue([this] { Annuler(); });
    issue = tIssueFichier::Annule;
    return false;
}

tIssueFichier CDlgFileTransfert::TelechargerFichier(const CString& strDistant, const tInfosFichierFtp& source,
                                                    const CString& strLocal)
{
    if (!m_travail.SurFilTravail() && !m_travail.EnCours()) {
        tIssueFichier issue = tIssueFichier::Echec;
        ExecuterHorsFil([&] { issue = TelechargerFichier(strDistant, source, strLocal); });
        return issue;
    }
    const CString strNom = source.m_strNom.IsEmpty() ? Nom(strDistant) : source.m_strNom;
    m_progression.DebutFichier(strNom, source.m_nTaille);
    if (m_bAnnule || !m_pFtp)
        return FinFichier(strDistant, tIssueFichier::Annule);

    tIssueFichier issue;
    if (!CopieVersLocalAcceptee(strNom, source, strLocal, issue))
        return FinFichier(strDistant, issue);
    if (m_pFtp->GetFile(strDistant, strLocal))
        return FinFichier(strDistant, tIssueFichier::Fait);
    // A download cut short leaves the old file whole and nothing beside it.
    if (m_bAnnule || m_pFtp->EstAnnule())
        return FinFichier(strDistant, tIssueFichier::Annule);
    NoterEchec(strDistant, CauseFtp());
    return FinFichier(strDistant, tIssueFichier::Echec);
}

tIssueFichier CDlgFileTransfert::EnvoyerFichier(const CString& strLocal, const CString& strDistant,
                                                const tInfosFichierFtp* pExistant)
{
    if (!m_travail.SurFilTravail() && !m_travail.EnCours()) {
        tIssueFichier issue = tIssueFichier::Echec;
        ExecuterHorsFil([&] { issue = EnvoyerFichier(strLocal, strDistant, pExistant); });
        return issue;
    }
    const CString strNom = Nom(strLocal);
    uint64_t nTaille = 0;
    long long nDate = 0;
    PanneauLocal::InfosFichier(strLocal, nTaille, nDate);
    m_progression.DebutFichier(strNom, nTaille);
    if (m_bAnnule || !m_pFtp)
        return FinFichier(strLocal, tIssueFichier::Annule);

    tIssueFichier issue;
    if (pExistant && !CopieVersDistantAcceptee(strNom, nTaille, nDate, strDistant, *pExistant, issue))
        return FinFichier(strLocal, issue);
    if (m_pFtp->PutFile(strLocal, strDistant))
        return FinFichier(strLocal, tIssueFichier::Fait);
    if (m_bAnnule || m_pFtp->EstAnnule()) {
        NoterEnvoiInterrompu(strDistant);
        return FinFichier(strLocal, tIssueFichier::Annule);
    }
    NoterEchec(strLocal, CauseFtp());
    return FinFichier(strLocal, tIssueFichier::Echec);
}

bool CDlgFileTransfert::CopieVersLocalAcceptee(const CString& strNom, const tInfosFichierFtp& source,
                                               const CString& strLocal, tIssueFichier& issue)
{
    tQuestionEcrasement q;
    if (!PanneauLocal::InfosFichier(strLocal, q.nTailleCible, q.nDateCible))
        return true;
    q.strNom = strNom;
    q.strRepertoire = Dossier(strLocal) + L"/";
    q.bCibleLocale = true;
    q.nTailleSource = source.m_nTaille;
    q.nDateSource = TextesTransfert::DateUtc(source);
    return EcrasementAccepte(q, issue);
}

bool CDlgFileTransfert::CopieVersDistantAcceptee(const CString& strNom, uint64_t nTaille, long long nDate,
                                                 const CString& strDistant, const tInfosFichierFtp& existant,
                                                 tIssueFichier& issue)
{
    tQuestionEcrasement q;
    q.strNom = strNom;
    q.strRepertoire = Dossier(strDistant);
    q.bCibleLocale = false;
    q.nTailleCible = existant.m_nTaille;
    q.nDateCible = TextesTransfert::DateUtc(existant);
    q.nTailleSource = nTaille;
    q.nDateSource = nDate;
    return EcrasementAccepte(q, issue);
}

void CDlgFileTransfert::NoterEnvoiInterrompu(const CString& strDistant)
{
    // An upload cut short is taken off the instrument; when it could not be,
    // the client says so and the file is named.
    const CString strCause = CauseFtp();
    if (!EstAnnulationSimple(strCause))
        NoterEchec(strDistant, strCause, true);
}

// ---------------------------------------------------------------- tree walks

CParcoursDistant::tRappels CDlgFileTransfert::RappelsParcours(tSensParcours sens)
{
    using tSuite = CParcoursDistant::tSuite;
    CParcoursDistant::tRappels r;
    // The walk adds each directory's files as it reaches them.
    r.entreeRepertoire = [this](const CParcoursDistant::tRepertoire& rep) {
        m_progression.AjouterAFaire(rep.nFichiers, rep.nOctets);
    };
    r.avantFichier = [this, sens](const CParcoursDistant::tFichier& f) {
        const CString strNom = Nom(f.strRelatif);
        m_progression.DebutFichier(strNom, f.nTaille);
        tIssueFichier issue = tIssueFichier::Annule;
        bool bAccepte = !m_bAnnule;
        if (bAccepte && sens == tSensParcours::VersLocal && f.pDistant)
            bAccepte = CopieVersLocalAcceptee(strNom, *f.pDistant, f.strLocal, issue);
        else if (bAccepte && sens == tSensParcours::VersDistant && f.pDistant) {
            uint64_t nTaille = 0;
            long long nDate = 0;
            PanneauLocal::InfosFichier(f.strLocal, nTaille, nDate);
            bAccepte = CopieVersDistantAcceptee(strNom, nTaille, nDate, f.strDistant, *f.pDistant, issue);
        }
        if (bAccepte)
            return tSuite::Faire;
        FinFichier(sens == tSensParcours::VersDistant ? f.strLocal : f.strDistant, issue);
        return issue == tIssueFichier::Passe ? tSuite::Passer : tSuite::Arreter;
    };
    r.apresFichier = [this, sens](const CParcoursDistant::tFichier& f, bool bReussi) {
        const CString& strSource = sens == tSensParcours::VersDistant ? f.strLocal : f.strDistant;
        if (bReussi) {
            FinFichier(strSource, tIssueFichier::Fait);
            return;
        }
        const bool bAnnule = m_bAnnule || (m_pFtp && m_pFtp->EstAnnule());
        if (bAnnule && sens == tSensParcours::VersDistant)
            NoterEnvoiInterrompu(f.strDistant);
        // The walk names the failure with its cause in its summary.
        FinFichier(strSource, bAnnule ? tIssueFichier::Annule : tIssueFichier::Echec);
    };
    r.arret = [this] { return static_cast<bool>(m_bAnnule); };
    return r;
}

tReponseEcrasement CDlgFileTransfert::DemanderEcrasement(const tQuestionEcrasement& question)
{
    CDlgEcrasement dlg(question);
    const tReponseEcrasement reponse = dlg.Demander();
    m_progression.Reprendre();
    return reponse;
}

// ---------------------------------------------------------------- progress and status

void CDlgFileTransfert::SetEtat(const CString& strTexte)
{
    m_strEtat = strTexte;
    IControle* etat = GetDlgItem(IDC_ETAT_OPERATION);
    if (etat && etat->GetWindowText() != strTexte)
        etat->SetWindowText(strTexte);
}

void CDlgFileTransfert::SetEtatActivite(unsigned idFormat, const CString& strSujet)
{
    // An operation's progress has the line to itself.
    if (m_nOperations > 0 && m_genre != tGenre::Aucun)
        return;
    if (IControle* etat = GetDlgItem(IDC_ETAT_OPERATION))
        etat->SetWindowText(Formater(idFormat, strSujet.c_str()));
}

CString CDlgFileTransfert::GetEtat() const
{
    IControle* etat = GetDlgItem(IDC_ETAT_OPERATION);
    return etat ? etat->GetWindowText() : m_strEtat;
}

void CDlgFileTransfert::AfficherProgression()
{
    if (m_nOperations == 0 || m_genre == tGenre::Aucun)
        return;
    const tEtatProgression e = m_progression.Lire();
    if (e.nFichiersTotal == 0)
        return;
    AfficherBarres(e);
    IControle* etat = GetDlgItem(IDC_ETAT_OPERATION);
    const CString strTexte = m_bAnnule ? Ressources::Chaine(Ressources::IDS_ANNULATION_EN_COURS) : TexteProgression(e);
    if (etat && etat->GetWindowText() != strTexte) {
        etat->SetWindowText(strTexte);
        // Where the window is narrow, the name gives way, not the numbers.
        const size_t nNom = e.strFichier.IsEmpty() || m_bAnnule ? CString::npos : strTexte.find(e.strFichier);
        if (nNom != CString::npos)
            etat->SetPartieReductible(static_cast<int>(nNom), static_cast<int>(e.strFichier.size()));
    }
}

void CDlgFileTransfert::FinProgression()
{
    Afficher(IDC_PROGRESSION, false);
    Afficher(IDC_PROGRESSION_FICHIER, false);
}

CString CDlgFileTransfert::TexteProgression(const tEtatProgression& e) const
{
    CString s = Formater(m_genre == tGenre::Copie ? Ressources::IDS_COPIE_EN_COURS : Ressources::IDS_SUPPRESSION_EN_COURS,
                         e.strFichier.c_str());
    const int nRang = std::min(e.nFichiersTotal, e.nFichiersTraites + (e.bFichierEnCours ? 1 : 0));
    s += L" " + Formater(e.bTotalProvisoire ? Ressources::IDS_RANG_PROVISOIRE : Ressources::IDS_RANG, nRang,
                         e.nFichiersTotal);
    if (m_genre != tGenre::Copie)
        return s;
    std::vector<CString> pieces;
    if (e.bFichierEnCours && e.nTailleFichier > 0)
        pieces.push_back(TextesProgression::OctetsSur(e.nOctetsFichier, e.nTailleFichier));
    pieces.push_back(Formater(Ressources::IDS_TOTAL, TextesProgression::OctetsSur(e.nOctetsTraites, e.nOctetsTotal).c_str()));
    if (e.dDebit > 0)
        pieces.push_back(TextesProgression::Debit(e.dDebit));
    // A total that still grows would promise too early an end.
    if (e.nSecondesRestantes >= 0 && !e.bTotalProvisoire)
        pieces.push_back(Formater(Ressources::IDS_TEMPS_RESTANT, TextesProgression::Duree(e.nSecondesRestantes).c_str()));
    for (size_t i = 0; i < pieces.size(); ++i)
        s += (i == 0 ? L": " : L", ") + pieces[i];
    return s;
}

CString CDlgFileTransfert::TexteBilan(const tEtatProgression& e) const
{
    CString s;
    if (m_genre == tGenre::Copie)
        s = Formater(Ressources::IDS_BILAN_COPIES, e.nFaits, e.nFichiersTotal,
                     TextesTransfert::TexteTaille(e.nOctetsFaits).c_str());
    else if (m_genre == tGenre::Suppression)
        s = Formater(Ressources::IDS_BILAN_SUPPRESSIONS, e.nFaits, e.nFichiersTotal);
    const int nNonFaits = e.nFichiersTotal - e.nFaits - e.nPasses - e.nEchecs;
    const std::pair<unsigned, int> suites[] = {{Ressources::IDS_BILAN_PASSES, e.nPasses},
                                               {Ressources::IDS_BILAN_ECHECS, e.nEchecs},
                                               {Ressources::IDS_BILAN_NON_FAITS, nNonFaits}};
    for (const auto& suite : suites)
        if (suite.second > 0)
            s += (s.IsEmpty() ? L"" : L", ") + Formater(suite.first, suite.second);
    return m_bAnnule ? Formater(Ressources::IDS_BILAN_ANNULE, s.c_str()) : s;
}
