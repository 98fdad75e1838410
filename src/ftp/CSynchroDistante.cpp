#include "ftp/CSynchroDistante.h"

#include <atomic>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include <sys/stat.h>

#include "ftp/CFTPDirect.h"
#include "ftp/FichiersLocaux.h"

namespace fs = std::filesystem;

namespace {

struct tEtatFichierLocal
{
    uint64_t nTaille = 0;
    int64_t nDate = 0;     ///< modified
    int64_t nEcrit = 0;    ///< last written or re-dated (the copy's own time)
};

bool EtatLocal(const fs::path& chemin, tEtatFichierLocal& e)
{
#if defined(_WIN32)
    struct _stat64 st;
    if (::_wstat64(chemin.c_str(), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG)
        return false;
#else
    struct stat st;
    if (::stat(chemin.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
#endif
    e.nTaille = static_cast<uint64_t>(st.st_size);
    e.nDate = static_cast<int64_t>(st.st_mtime);
    e.nEcrit = static_cast<int64_t>(st.st_ctime);
    return true;
}

int64_t DateListe(const CParcoursDistant::tFichier& f) { return f.pDistant ? f.pDistant->m_nDateUtc : 0; }

// The partial file GetFileListe keeps for this version of the file.
fs::path Partiel(const CParcoursDistant::tFichier& f)
{
    const fs::path local = FichiersLocaux::Chemin(f.strLocal);
    const int64_t nVersion = f.nDateExacte != 0 ? f.nDateExacte : DateListe(f);
    return local.parent_path() /
           FichiersLocaux::Chemin(FichiersLocaux::NomPartiel(FichiersLocaux::Texte(local.filename()), f.nTaille,
                                                         nVersion));
}

// Douteux: same size, and the listing's time (to the minute or the day)
// cannot tell: the local copy was made within that window, so the file may
// have been rewritten after it within the same minute.
enum class tEtat { Nouveau, Modifie, Inchange, Douteux };

// How a remote file stands against its local copy (see the header).
tEtat Comparer(uint64_t nTaille, int64_t nDateExacte, int64_t nDateListe, const CString& strLocal)
{
    tEtatFichierLocal local;
    if (!EtatLocal(FichiersLocaux::Chemin(strLocal), local))
        return fs::exists(FichiersLocaux::Chemin(strLocal)) ? tEtat::Modifie : tEtat::Nouveau;
    if (local.nTaille != nTaille)
        return tEtat::Modifie;
    if (nDateExacte != 0)
        return local.nDate == nDateExacte ? tEtat::Inchange : tEtat::Modifie;
    if (nDateListe == 0)
        return tEtat::Inchange;
    // LIST gives the minute, or the day for files older than six months.
    const int64_t nPrecision = nDateListe % 86400 == 0 ? 86400 : 60;
    if (local.nDate < nDateListe || local.nDate >= nDateListe + nPrecision)
        return tEtat::Modifie;
    return local.nEcrit < nDateListe + nPrecision ? tEtat::Douteux : tEtat::Inchange;
}

// A doubtful file asked its exact time (MDTM): unchanged only when it is the
// local copy's; a server that does not tell has it fetched.
tEtat Lever(CFTPDirect& ftp, const CParcoursDistant::tFichier& f)
{
    int64_t nExacte = 0;
    tEtatFichierLocal local;
    if (!ftp.GetDateExacte(f.strDistant, nExacte) || !EtatLocal(FichiersLocaux::Chemin(f.strLocal), local))
        return tEtat::Modifie;
    return local.nDate == nExacte ? tEtat::Inchange : tEtat::Modifie;
}

} // namespace

CSynchroDistante::tBilan CSynchroDistante::Synchroniser(const CString& strDistant, const CString& strLocal)
{
    using tFichier = CParcoursDistant::tFichier;
    tBilan bilan;
    std::map<CString, bool> nouveaux;       // files handed to the walk, by local path: new or changed
    std::set<fs::path> partielsGardes;      // of the files that failed
    std::vector<fs::path> dossiers;         // local directories walked
    std::atomic<int> nRepris{0};

    CParcoursDistant::tRappels r = m_rappels;
    r.entreeRepertoire = [&](const CParcoursDistant::tRepertoire& d) {
        dossiers.push_back(FichiersLocaux::Chemin(d.strLocal));
        if (m_rappels.entreeRepertoire)
            m_rappels.entreeRepertoire(d);
    };
    r.avantFichier = [&](const tFichier& f) {
        tEtat etat = Comparer(f.nTaille, f.nDateExacte, DateListe(f), f.strLocal);
        if (etat == tEtat::Douteux)
            etat = Lever(m_ftp, f);
        if (etat == tEtat::Inchange) {
            ++bilan.nInchanges;
            return CParcoursDistant::tSuite::Passer;
        }
        const CParcoursDistant::tSuite suite =
            m_rappels.avantFichier ? m_rappels.avantFichier(f) : CParcoursDistant::tSuite::Faire;
        if (suite == CParcoursDistant::tSuite::Faire)
            nouveaux[f.strLocal] = etat == tEtat::Nouveau;
        return suite;
    };
    r.apresFichier = [&](const tFichier& f, bool bReussi) {
        const auto it = nouveaux.find(f.strLocal);
        if (bReussi && it != nouveaux.end())
            (it->second ? bilan.nouveaux : bilan.modifies).push_back(f.strDistant);
        if (!bReussi)
            partielsGardes.insert(Partiel(f));
        if (it != nouveaux.end())
            nouveaux.erase(it);
        if (m_rappels.apresFichier)
            m_rappels.apresFichier(f, bReussi);
    };
    r.transfert = [&nRepris](CFTPDirect& ftp, const tFichier& f) {
        uint64_t nDejaLa = 0;
        const CFTPDirect::tVersionFtp version{f.nTaille, f.nDateExacte, DateListe(f)};
        if (!ftp.GetFileListe(f.strDistant, f.strLocal, version, CFTPDirect::tReprise::Oui, &nDejaLa))
            return false;
        if (nDejaLa > 0)
            ++nRepris;
        // A server that tells no time but in its listing: the listing's time,
        // so that the next sync finds the file unchanged.
        if (f.nDateExacte == 0 && DateListe(f) != 0 &&
            Comparer(f.nTaille, 0, DateListe(f), f.strLocal) == tEtat::Modifie)
            FichiersLocaux::Dater(FichiersLocaux::Chemin(f.strLocal), DateListe(f));
        return true;
    };

    CParcoursDistant parcours(m_ftp, r);
    parcours.SetParallele(m_nSessions, m_connecter);
    bilan.parcours = parcours.Telecharger(strDistant, strLocal);
    bilan.nRepris = nRepris;

    // A walk that went through leaves no partial file but those it may resume.
    if (!bilan.parcours.bArrete && !bilan.parcours.bSessionPerdue) {
        for (const fs::path& dossier : dossiers)
            FichiersLocaux::NettoyerTemporaires(dossier, FichiersLocaux::tTemporaires::Tous, partielsGardes);
    }
    return bilan;
}
