#include "ftp/CMoteurTransferts.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "common/Conversions.h"
#include "ftp/CFTPDirect.h"
#include "ftp/CheminDistant.h"
#include "ftp/FichiersLocaux.h"

namespace fs = std::filesystem;

namespace {

bool ExisteLocal(const CString& strLocal)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(FichiersLocaux::Chemin(strLocal), ec));
}

bool EstTelechargement(CMoteurTransferts::tOperation e)
{
    return e == CMoteurTransferts::tOperation::TelechargerArbre || e == CMoteurTransferts::tOperation::Synchroniser ||
           e == CMoteurTransferts::tOperation::TelechargerFichier;
}

} // namespace

CMoteurTransferts::CMoteurTransferts(CFTPDirect& ftp, IAbonne& abonne) : m_ftp(ftp), m_abonne(abonne) {}

CMoteurTransferts::~CMoteurTransferts()
{
    std::lock_guard<std::mutex> verrou(m_mutexThread);
    if (!m_thread.joinable())
        return;
    // Only a job still running is cancelled, and that cancel does not outlive
    // the engine: the client serves its owner afterwards.
    const bool bAnnule = m_bEnCours;
    if (bAnnule)
        Annuler();
    m_thread.join();
    if (bAnnule)
        m_ftp.RearmerAnnulation();
}

bool CMoteurTransferts::Lancer(tTravail travail)
{
    std::lock_guard<std::mutex> verrou(m_mutexThread);
    if (m_thread.joinable())
        return false;
    m_travail = std::move(travail);
    m_resultat = tResultat{};
    m_exception = nullptr;
    // A cancel of the last job does not reach this one.
    m_bAnnule = false;
    m_ftp.RearmerAnnulation();
    m_bEnCours = true;
    m_thread = std::thread([this] { Executer(); });
    return true;
}

void CMoteurTransferts::Annuler()
{
    m_bAnnule = true;
    m_ftp.Annuler();
}

CMoteurTransferts::tResultat CMoteurTransferts::Attendre()
{
    std::lock_guard<std::mutex> verrou(m_mutexThread);
    if (m_thread.joinable())
        m_thread.join();
    if (m_exception)
        std::rethrow_exception(std::exchange(m_exception, nullptr));
    return m_resultat;
}

void CMoteurTransferts::Executer()
{
    try {
        const tOperation e = m_travail.eOperation;
        m_resultat = e == tOperation::TelechargerFichier || e == tOperation::EnvoyerFichier ? ExecuterFichier()
                                                                                          : ExecuterArbre();
        m_resultat.eOperation = e;
    } catch (...) {
        // Attendre rethrows it on the caller's thread; the job still ends once.
        m_exception = std::current_exception();
        m_resultat.parcours.bArrete = true;
    }
    m_abonne.Termine(m_resultat);
    m_bEnCours = false;
}

CMoteurTransferts::tSuite CMoteurTransferts::Avant(const tFichier& f) const
{
    tSuite suite = m_abonne.Choisir(f);
    if (suite == tSuite::Faire && m_travail.eRemplacement == tRemplacement::Demander) {
        const bool bExiste = EstTelechargement(m_travail.eOperation) ? ExisteLocal(f.strLocal) : f.pDistant != nullptr;
        if (bExiste)
            suite = m_abonne.Question(f);
    }
    if (suite == tSuite::Faire)
        m_abonne.Debut(f);
    return suite;
}

CParcoursDistant::tRappels CMoteurTransferts::Rappels()
{
    CParcoursDistant::tRappels r;
    if (m_travail.eOperation != tOperation::Synchroniser)
        r.entreeRepertoire = [this](const tRepertoire& d) { m_abonne.Repertoire(d); };
    r.avantFichier = [this](const tFichier& f) { return Avant(f); };
    r.octets = [this](const tFichier& f, uint64_t nFaits, uint64_t nTotal) { m_abonne.Octets(f, nFaits, nTotal); };
    r.finFichier = [this](const tFichier& f, tIssueFichier issue, const CString& strCause) {
        m_abonne.Fin(f, issue, strCause);
    };
    r.arret = [this] { return m_bAnnule.load(); };
    return r;
}

CMoteurTransferts::tResultat CMoteurTransferts::ExecuterArbre()
{
    tResultat res;
    const tTravail& t = m_travail;
    if (t.eOperation == tOperation::Synchroniser) {
        CSynchroDistante synchro(m_ftp, Rappels());
        synchro.SetParallele(t.nSessions, t.connecter);
        res.synchro = synchro.Synchroniser(t.strDistant, t.strLocal);
        res.parcours = res.synchro.parcours;
        return res;
    }
    CParcoursDistant parcours(m_ftp, Rappels());
    parcours.SetParallele(t.nSessions, t.connecter);
    parcours.SetListerCibles(t.eRemplacement == tRemplacement::Demander);
    if (t.eOperation == tOperation::TelechargerArbre)
        res.parcours = parcours.Telecharger(t.strDistant, t.strLocal);
    else if (t.eOperation == tOperation::EnvoyerArbre)
        res.parcours = parcours.Envoyer(t.strLocal, t.strDistant);
    else
        res.parcours = parcours.Supprimer(t.strDistant);
    return res;
}

// One file, with the walker's events and summary: started, its bytes, done
// once (with its size); a failure named with the client's reason. The file's
// name is its source's.
CMoteurTransferts::tResultat CMoteurTransferts::ExecuterFichier()
{
    tResultat res;
    const tTravail& t = m_travail;
    const bool bDescente = t.eOperation == tOperation::TelechargerFichier;
    const fs::path local = FichiersLocaux::Chemin(t.strLocal);
    std::error_code ec;
    const uint64_t nTaille = bDescente ? 0 : fs::file_size(local, ec);
    const CString strNom = bDescente ? CString(CheminDistant::Nom(static_cast<const std::wstring&>(t.strDistant)))
                                     : CString(Utf8ToWide(local.filename().string()));
    tFichier f{t.strDistant, t.strLocal, strNom, ec ? 0 : nTaille};
    const tSuite suite = m_bAnnule ? tSuite::Arreter : Avant(f);
    if (suite != tSuite::Faire) {
        Conclure(res.parcours, f, tIssueFichier::NonFait, suite);
        return res;
    }
    m_ftp.SetProgression([this, &f](uint64_t nFaits, uint64_t nTotal) {
        m_abonne.Octets(f, nFaits, nTotal);
        return !m_bAnnule;
    });
    const bool bFait = (bDescente ? m_ftp.GetFile(f.strDistant, f.strLocal) : m_ftp.PutFile(f.strLocal, f.strDistant)) != 0;
    m_ftp.SetProgression({});
    const bool bAnnule = !bFait && (m_bAnnule || m_ftp.EstAnnule());
    const tIssueFichier issue = bFait ? tIssueFichier::Fait : bAnnule ? tIssueFichier::NonFait : tIssueFichier::Echoue;
    const CString strCause = issue == tIssueFichier::Echoue ? m_ftp.GetDerniereErreur() : CString();
    if (bFait && bDescente) {
        const uint64_t nRecu = fs::file_size(local, ec);
        f.nTaille = ec ? 0 : nRecu;
    }
    m_abonne.Fin(f, issue, strCause);
    Conclure(res.parcours, f, issue, tSuite::Faire, strCause);
    return res;
}

void CMoteurTransferts::Conclure(CParcoursDistant::tBilan& bilan, const tFichier& f, tIssueFichier issue,
                                 tSuite suite, const CString& strCause) const
{
    const bool bDescente = m_travail.eOperation == tOperation::TelechargerFichier;
    const CString& strNom = bDescente ? f.strDistant : f.strLocal;
    if (suite == tSuite::Passer) {
        bilan.nPasses = 1;
    } else if (issue == tIssueFichier::Fait) {
        bilan.nFichiers = 1;
        bilan.nOctets = f.nTaille;
    } else if (issue == tIssueFichier::NonFait) {
        bilan.bArrete = true;
        bilan.nonFaits.push_back(strNom);
    } else {
        const CString strQuoi = bDescente ? L"cannot be downloaded" : L"cannot be uploaded";
        bilan.echecs.push_back({strNom, strCause.IsEmpty() ? strQuoi : CString(strQuoi + L": " + strCause)});
    }
}
