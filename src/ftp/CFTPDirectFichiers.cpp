// CFTPDirect's file transfers: downloads (whole or resumed) and uploads.

#include "ftp/CFTPDirect.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#else
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <curl/curl.h>

#include "common/Conversions.h"
#include "ftp/CheminDistant.h"
#include "ftp/CSessionFtp.h"
#include "ftp/FichiersLocaux.h"
#include "ftp/RecepteurListeFtp.h"

namespace fs = std::filesystem;

// What a download knows before it starts, and what it leaves.
struct tTelechargementFtp
{
    bool bConnu = false;          ///< size and time come from the caller, not the cache
    long long nTaille = -1;       ///< the size the bytes must come to; -1: unknown
    bool bTailleDuCache = false;  ///< from the last listing, which may be older than the file
    int64_t nDate = 0;            ///< exact time, 0: ask MDTM
    int64_t nDateListe = 0;       ///< the listing's time, part of a partial file's identity
    bool bReprendre = false;      ///< into the fixed partial file, kept on failure
    uint64_t nRepris = 0;         ///< bytes of a partial file the transfer went on from
    bool bDoute = false;          ///< what came cannot be the start of the file: nothing is kept
    long long nDateMdtm = 0;
};

namespace {

// Bytes of a partial file sent again before the offset of a resume and
// compared with the file: a server that ignores REST, or a file that changed
// under the same name, size and date, shows there.
constexpr uint64_t RECOUVREMENT = 64 * 1024;

struct tFermerFichier
{
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using CFichier = std::unique_ptr<std::FILE, tFermerFichier>;

// Closes the file, telling whether everything reached the disk (errno set when not).
bool Fermer(CFichier& f)
{
    bool bOk = std::fflush(f.get()) == 0;
    const int nErrno = errno;
    bOk = std::fclose(f.release()) == 0 && bOk;
    if (nErrno != 0 && errno == 0)
        errno = nErrno;
    return bOk;
}

std::string Fil(const CString& texte) { return WideToUtf8(texte); }

fs::path CheminLocal(const CString& texte) { return FichiersLocaux::Chemin(texte); }

std::string Texte(const fs::path& p) { return p.string(); }

std::FILE* Ouvrir(const fs::path& chemin, const char* mode)
{
#if defined(_WIN32)
    std::wstring m(mode, mode + std::strlen(mode));
    return _wfopen(chemin.c_str(), m.c_str());
#else
    return std::fopen(chemin.c_str(), mode);
#endif
}

bool Inscriptible(const fs::path& chemin)
{
#if defined(_WIN32)
    return ::_waccess(chemin.c_str(), 2) == 0;
#else
    return ::access(chemin.c_str(), W_OK) == 0;
#endif
}

bool Tronquer(std::FILE* f)
{
    if (std::fflush(f) != 0)
        return false;
#if defined(_WIN32)
    const bool bOk = _chsize_s(_fileno(f), 0) == 0;
#else
    const bool bOk = ::ftruncate(fileno(f), 0) == 0;
#endif
    return bOk && std::fseek(f, 0, SEEK_END) == 0;
}

std::string Hex16()
{
    std::random_device alea;
    char texte[20];
    std::snprintf(texte, sizeof texte, "%08x%08x", static_cast<unsigned>(alea()), static_cast<unsigned>(alea()));
    return texte;
}

// The whole-file downloads in flight in this process, so that an
// interrupted program can remove them (SupprimerTemporairesEnCours).
std::mutex g_mutexTemporaires;
std::set<fs::path> g_temporaires;

// Keeps a download's temporary on the list while it exists.
class CTemporaireInscrit
{
public:
    explicit CTemporaireInscrit(const fs::path& chemin) : m_chemin(chemin)
    {
        std::lock_guard<std::mutex> verrou(g_mutexTemporaires);
        g_temporaires.insert(m_chemin);
    }
    ~CTemporaireInscrit()
    {
        std::lock_guard<std::mutex> verrou(g_mutexTemporaires);
        g_temporaires.erase(m_chemin);
    }
    CTemporaireInscrit(const CTemporaireInscrit&) = delete;
    CTemporaireInscrit& operator=(const CTemporaireInscrit&) = delete;

private:
    fs::path m_chemin;
};

// A temporary file of a random short name beside the target, created anew
// (never through a link someone left there).
std::FILE* OuvrirTemporaire(const fs::path& dossier, fs::path& temporaire, int& nErrno)
{
    std::random_device alea;
    for (int essai = 0; essai < 8; ++essai) {
        char nom[40];
        std::snprintf(nom, sizeof nom, ".otdr-%08x.part", static_cast<unsigned>(alea()));
        temporaire = dossier / nom;
        std::FILE* f = Ouvrir(temporaire, "wbx");
        nErrno = errno;
#if !defined(_WIN32)
        if (f)
            FichiersLocaux::Marquer(fileno(f));
#endif
        if (f || nErrno != EEXIST)
            return f;
    }
    return nullptr;
}

// The partial file of a resumable download, opened at its end (and readable:
// its last bytes are compared with the server's); nRepris: the bytes it
// holds, 0 when it was started anew. A partial file as long as the whole or
// longer cannot be the start of it; anything but a plain file is never
// written through.
std::FILE* OuvrirPartiel(const fs::path& partiel, uint64_t nTaille, uint64_t& nRepris, int& nErrno)
{
    std::error_code ec;
    const fs::file_status etat = fs::symlink_status(partiel, ec);
    nRepris = 0;
    // A file of that name this library did not make is the user's: left alone.
    if (fs::exists(etat) && (!fs::is_regular_file(etat) || !FichiersLocaux::EstMarque(partiel))) {
        nErrno = EEXIST;
        return nullptr;
    }
    if (fs::is_regular_file(etat)) {
        const uint64_t n = fs::file_size(partiel, ec);
        if (!ec && n > 0 && n < nTaille)
            nRepris = n;
    }
    std::FILE* f = nullptr;
    if (nRepris > 0) {
        f = Ouvrir(partiel, "a+b");
        nErrno = errno;
        if (!f)
            nRepris = 0;
    }
    if (!f) {
        if (fs::exists(etat))
            fs::remove(partiel, ec);
        f = Ouvrir(partiel, "w+bx");
        nErrno = errno;
    }
#if !defined(_WIN32)
    // Another run writing the same partial file holds its lock: this one
    // fetches into a temporary of its own.
    if (f && ::flock(fileno(f), LOCK_EX | LOCK_NB) != 0) {
        std::fclose(f);
        nRepris = 0;
        nErrno = EBUSY;
        return nullptr;
    }
    if (f)
        FichiersLocaux::Marquer(fileno(f));
#endif
    return f;
}

// The last n bytes of a file open for reading and appending; empty on failure.
std::string LireFin(std::FILE* f, uint64_t nFin, uint64_t n)
{
    std::string octets(static_cast<size_t>(n), '\0');
    if (std::fseek(f, static_cast<long>(nFin - n), SEEK_SET) != 0 ||
        std::fread(octets.data(), 1, octets.size(), f) != octets.size())
        octets.clear();
    std::fseek(f, 0, SEEK_END);
    return octets;
}

// The file a download replaces: a symbolic link is written through (the file
// it leads to is replaced); a directory, a special file, or a file the user
// may not write is refused with the reason.
bool ResoudreCible(const fs::path& demande, fs::path& cible, bool& bExiste, std::string& strRaison)
{
    if (demande.filename().empty()) {
        strRaison = "'" + Texte(demande) + "' names no file";
        return false;
    }
    std::error_code ec;
    cible = demande;
    for (int i = 0; i < 40 && fs::is_symlink(fs::symlink_status(cible, ec)); ++i) {
        const fs::path lien = fs::read_symlink(cible, ec);
        if (ec)
            break;
        cible = lien.is_absolute() ? lien : cible.parent_path() / lien;
    }
    const fs::file_status etat = fs::status(cible, ec);
    bExiste = fs::exists(etat);
    if (!bExiste)
        return true;
    if (fs::is_directory(etat))
        strRaison = "'" + Texte(cible) + "' is a directory";
    else if (!fs::is_regular_file(etat))
        strRaison = "'" + Texte(cible) + "' is not a regular file";
    else if (!Inscriptible(cible))
        strRaison = "cannot replace '" + Texte(cible) + "': " + std::strerror(errno);
    else
        return true;
    return false;
}

// The same directory as a remote path ("a.sor", "sub/a.sor", "/x/a.sor"), another name.
std::string Voisin(const std::string& chemin, const std::string& nom)
{
    const size_t i = chemin.rfind('/');
    return i == std::string::npos ? nom : chemin.substr(0, i + 1) + nom;
}

} // namespace

void CFTPDirect::SupprimerTemporairesEnCours()
{
    std::lock_guard<std::mutex> verrou(g_mutexTemporaires);
    for (const fs::path& p : g_temporaires) {
        std::error_code ec;
        fs::remove(p, ec);
    }
}

bool CFTPDirect::ListeExacte() const { return m_pSession && m_pSession->ListeMlsd(); }

int CFTPDirect::GetFile(CString strDistant, CString strLocal)
{
    tTelechargementFtp t;
    return Telecharger(strDistant, strLocal, t);
}

int CFTPDirect::GetFileListe(CString strDistant, CString strLocal, const tVersionFtp& version, tReprise reprise,
                             uint64_t* pRepris)
{
    tTelechargementFtp t;
    t.bConnu = true;
    t.nTaille = static_cast<long long>(version.nTaille);
    t.nDate = version.nDateExacte;
    t.nDateListe = version.nDateListe;
    t.bReprendre = reprise == tReprise::Oui;
    const int n = Telecharger(strDistant, strLocal, t);
    if (pRepris)
        *pRepris = t.nRepris;
    return n;
}

void CFTPDirect::ConnaitreFichier(const std::string& distant, tTelechargementFtp& t)
{
    // Size and time from the last listing of the same directory when there
    // is one, else the size by SIZE (the 150 reply's count otherwise).
    const std::string absolu = CheminDistant::Joindre(m_pSession->RepertoireCourant(), distant);
    if (!m_pCache->strRepertoire.empty() &&
        CheminDistant::Normaliser(CheminDistant::Parent(absolu)) == CheminDistant::Normaliser(m_pCache->strRepertoire)) {
        const tCacheListeFtp::tCle cle{HashFtp(CheminDistant::Nom(absolu)), 0, 0};
        const auto it = std::lower_bound(m_pCache->cles.begin(), m_pCache->cles.end(), cle);
        if (it != m_pCache->cles.end() && it->nHash == cle.nHash) {
            t.nTaille = static_cast<long long>(it->nTaille);
            t.bTailleDuCache = true;
            t.nDate = it->nDateUtc;
            return;
        }
    }
    long long nTaille = -1;
    if (m_pSession->Taille(distant, nTaille) == 0)
        t.nTaille = nTaille;
}

int CFTPDirect::Telecharger(const CString& strDistant, const CString& strLocal, tTelechargementFtp& t)
{
    if (!Utilisable())
        return 0;
    try {
        fs::path cible;
        bool bExiste = false;
        std::string raison;
        if (!ResoudreCible(CheminLocal(strLocal), cible, bExiste, raison))
            return EchecBool(raison);
        const std::string distant = Fil(strDistant);
        if (!t.bConnu)
            ConnaitreFichier(distant, t);

        // Download beside the target, then rename over it: a failed transfer
        // leaves an existing file as it was. The temporary name is short,
        // whatever the target's length; a resumable one is fixed (after the
        // file's name and version), so that the next attempt finds it.
        fs::path temporaire;
        CFichier f;
        int nErrno = 0;
        if (t.bReprendre) {
            const int64_t nVersion = t.nDate != 0 ? t.nDate : t.nDateListe;
            temporaire = cible.parent_path() /
                         CheminLocal(FichiersLocaux::NomPartiel(FichiersLocaux::Texte(cible.filename()),
                                                                static_cast<uint64_t>(t.nTaille), nVersion));
            f.reset(OuvrirPartiel(temporaire, static_cast<uint64_t>(t.nTaille), t.nRepris, nErrno));
            // A user's file of that name, or another run's partial file: a
            // whole fetch into a temporary of this call's own.
            if (!f && (nErrno == EEXIST || nErrno == EBUSY))
                t.bReprendre = false;
        } else {
            // What runs killed on the way left here (no run holds it) goes.
            FichiersLocaux::NettoyerTemporaires(cible.parent_path(), FichiersLocaux::tTemporaires::Telechargements);
        }
        if (!t.bReprendre)
            f.reset(OuvrirTemporaire(cible.parent_path(), temporaire, nErrno));
        if (!f)
            return EchecBool("cannot create '" + Texte(temporaire) + "': " + std::strerror(nErrno));
        // A resumable partial file stays for the next run, whatever ends this one.
        std::unique_ptr<CTemporaireInscrit> inscrit;
        if (!t.bReprendre)
            inscrit = std::make_unique<CTemporaireInscrit>(temporaire);

        int n = Recevoir(distant, f.get(), Texte(temporaire), t);
        const long nEcrits = std::ftell(f.get());
        errno = 0;
        const bool bFerme = Fermer(f);
        nErrno = errno;
        if (m_progression)
            m_progression(nEcrits > 0 ? static_cast<uint64_t>(nEcrits) : 0,
                          static_cast<uint64_t>(std::max(t.nTaille, 0LL)));
        if (n == 0 && !bFerme) {
            m_strErreur = "cannot write '" + Texte(temporaire) + "': " + std::strerror(nErrno ? nErrno : EIO);
            n = -1;
        }
        if (n == 0 && Conclure(temporaire, cible, bExiste, t.nDate != 0 ? t.nDate : t.nDateMdtm))
            return 1;
        // What came of a resumable download stays for the next attempt,
        // unless it cannot be the start of the file.
        std::error_code ec;
        const bool bGarder = t.bReprendre && n != 0 && !t.bDoute && nEcrits > 0 && nEcrits < t.nTaille && bFerme;
        if (!bGarder)
            fs::remove(temporaire, ec);
        return 0;
    } catch (const std::exception& ex) {
        return EchecBool(ex.what());
    }
}

bool CFTPDirect::Conclure(const fs::path& temporaire, const fs::path& cible, bool bExiste, int64_t nDate)
{
#if !defined(_WIN32)
    struct stat avant;
    if (bExiste && ::stat(cible.c_str(), &avant) == 0)
        ::chmod(temporaire.c_str(), avant.st_mode & 07777);
#else
    (void)bExiste;
#endif
    if (nDate > 0)
        FichiersLocaux::Dater(temporaire, nDate);
    std::error_code ec;
    fs::rename(temporaire, cible, ec);
    if (ec) {
        m_strErreur = "cannot replace '" + Texte(cible) + "': " + ec.message();
        return false;
    }
    m_strErreur.clear();
    return true;
}

// The download made and checked: a transfer that does not come to the known
// size is made once more, whole; a resume in doubt is made whole.
int CFTPDirect::Recevoir(const std::string& distant, std::FILE* f, const std::string& temporaire,
                         tTelechargementFtp& t)
{
    int nEntiers = 0;
    for (;;) {
        const bool bRepris = t.nRepris > 0;
        int n = RecevoirUneFois(distant, f, temporaire, t);
        if (n == 0 && TailleAttendue(distant, f, t))
            return 0;
        if (n == CSessionFtp::ANNULE || m_annulation->EstAnnule())
            return n != 0 ? n : static_cast<int>(CSessionFtp::ANNULE);
        if (n != 0 && (!bRepris || m_pSession->ConnexionPerdue()))
            return n;  // kept for the next attempt when it was a resume cut short
        if (n == 0)
            n = CURLE_PARTIAL_FILE;
        t.bDoute = true;
        if (!bRepris && ++nEntiers >= 2)
            return n;
        t.nRepris = 0;
        if (!Tronquer(f)) {
            m_strErreur = "cannot write '" + temporaire + "': " + std::strerror(errno);
            return -1;
        }
    }
}

int CFTPDirect::RecevoirUneFois(const std::string& distant, std::FILE* f, const std::string& temporaire,
                                tTelechargementFtp& t)
{
    CSessionFtp::tReception reception;
    reception.nTailleIndicative = std::max(t.nTaille, 0LL);
    reception.bDemanderDate = t.nDate == 0;
    // The span re-read is at most half the partial file: a REST to 0 would
    // not prove that the server resumes at all.
    if (t.nRepris == 1) {
        if (!Tronquer(f))
            return EchecBool("cannot write '" + temporaire + "': " + std::strerror(errno)), -1;
        t.nRepris = 0;
    }
    if (t.nRepris > 0) {
        const uint64_t k = std::min(t.nRepris / 2, RECOUVREMENT);
        reception.strRecouvrement = LireFin(f, t.nRepris, k);
        reception.nReprise = static_cast<long long>(t.nRepris - reception.strRecouvrement.size());
    }
    if (m_progression && !m_progression(t.nRepris, static_cast<uint64_t>(reception.nTailleIndicative)))
        m_annulation->Annuler();
    if (m_annulation->EstAnnule())
        return Echec(CSessionFtp::ANNULE), CSessionFtp::ANNULE;
    const int n = m_pSession->Telecharger(distant, f, reception);
    t.nDateMdtm = reception.nDateUtc;
    if (n == 0)
        return 0;
    Echec(n);
    if (reception.nErrnoLocal != 0 && !reception.bRecouvrementFaux)
        m_strErreur = "cannot write '" + temporaire + "': " + std::strerror(reception.nErrnoLocal);
    return n;
}

// Whether the bytes received come to the size known before the transfer; a
// size from an older listing is asked again (SIZE) before a mismatch counts.
bool CFTPDirect::TailleAttendue(const std::string& distant, std::FILE* f, tTelechargementFtp& t)
{
    const long long nRecus = std::ftell(f);
    if (t.nTaille < 0 || nRecus == t.nTaille)
        return true;
    if (t.bTailleDuCache) {
        t.bTailleDuCache = false;
        long long nTaille = -1;
        if (m_pSession->Taille(distant, nTaille) == 0) {
            t.nTaille = nTaille;
            if (nTaille == nRecus)
                return true;
        }
    }
    m_strErreur = std::string(nRecus < t.nTaille ? "the file arrived incomplete: " : "the file arrived too long: ") +
                  std::to_string(nRecus) + " of " + std::to_string(t.nTaille) + " bytes";
    return false;
}

int CFTPDirect::PutFile(CString strLocal, CString strDistant)
{
    if (!Utilisable())
        return 0;
    try {
        const fs::path source = CheminLocal(strLocal);
        std::error_code ec;
        const fs::file_status etat = fs::status(source, ec);
        if (!fs::exists(etat))
            return EchecBool("cannot read '" + Texte(source) + "': " + (ec ? ec.message() : "No such file"));
        if (!fs::is_regular_file(etat))
            return EchecBool("'" + Texte(source) + "' is not a regular file");
        const auto taille = fs::file_size(source, ec);
        if (ec)
            return EchecBool("cannot read '" + Texte(source) + "': " + ec.message());
        CFichier f(Ouvrir(source, "rb"));
        if (!f)
            return EchecBool("cannot read '" + Texte(source) + "': " + std::strerror(errno));
        int64_t nDate = 0;
#if defined(_WIN32)
        struct _stat64 st;
        if (::_fstat64(_fileno(f.get()), &st) == 0)
            nDate = st.st_mtime;
#else
        struct stat st;
        if (::fstat(fileno(f.get()), &st) == 0)
            nDate = st.st_mtime;
#endif
        OublierListe();
        if (m_progression && !m_progression(0, taille))
            m_annulation->Annuler();
        const int n = Envoyer(f.get(), taille, Fil(strDistant), nDate);
        if (m_progression)
            m_progression(n == 0 ? taille : 0, taille);
        if (n != 0)
            return 0;
        m_strErreur.clear();
        return 1;
    } catch (const std::exception& ex) {
        return EchecBool(ex.what());
    }
}

// STOR under a temporary name beside the target, then renamed over it: a
// cut or cancelled upload leaves the server's file whole. Only when the
// server refuses the temporary name, and no file of the target's name
// exists, is the file stored directly.
int CFTPDirect::Envoyer(std::FILE* f, uint64_t nTaille, const std::string& distant, int64_t nDate)
{
    if (m_annulation->EstAnnule())
        return Echec(CSessionFtp::ANNULE), CSessionFtp::ANNULE;
    const std::string temporaire = Voisin(distant, ".otdr-u" + Hex16() + ".part");
    int n = m_pSession->Envoyer(f, static_cast<long long>(nTaille), temporaire, nDate);
    if (n == 0) {
        n = Remplacer(temporaire, distant);
        if (n != 0)
            Nettoyer(temporaire);
        return n;
    }
    Echec(n);
    if (n == CSessionFtp::ANNULE || m_pSession->ConnexionPerdue() || n < 500 || n > 599) {
        Nettoyer(temporaire);
        return n;
    }
    // Refused outright: some servers take only names of their own form.
    Nettoyer(temporaire);
    const std::string refus = m_strErreur;
    long long nExistant = -1;
    if (m_pSession->Taille(distant, nExistant) != 550) {
        m_strErreur = "the server refused a temporary name (" + refus + "); '" + distant +
                      "' may exist and was left as it was";
        return n;
    }
    std::rewind(f);
    n = m_pSession->Envoyer(f, static_cast<long long>(nTaille), distant, nDate);
    if (n == 0)
        return 0;
    Echec(n);
    if (n == CSessionFtp::ANNULE)
        Nettoyer(distant);  // it did not exist before
    return n;
}

// Renames the stored temporary over the target. A server that will not
// rename over a file has the target renamed aside first, and back when the
// second rename fails.
int CFTPDirect::Remplacer(const std::string& temporaire, const std::string& distant)
{
    int n = m_pSession->Renommer(temporaire, distant);
    if (n == 0)
        return 0;
    Echec(n);
    if (n < 500 || n > 599)
        return n;
    const std::string refus = m_strErreur;
    const std::string cote = Voisin(distant, ".otdr-o" + Hex16() + ".part");
    if (m_pSession->Renommer(distant, cote) != 0) {
        m_strErreur = "cannot put the upload in place of '" + distant + "': " + refus;
        return n;
    }
    n = m_pSession->Renommer(temporaire, distant);
    if (n != 0) {
        Echec(n);
        const std::string raison = m_strErreur;
        if (m_pSession->RenommerNettoyage(cote, distant) != 0)
            m_strErreur = "cannot put the upload in place of '" + distant + "' (" + raison +
                          "); the server's file is now named '" + cote + "'";
        return n;
    }
    // A failure here leaves a copy of the old file, never a loss.
    m_pSession->Commande("DELE " + cote);
    return 0;
}

// Removes what a failed upload stored, even once cancelled, keeping the
// failure's reason; names the file when it could not.
void CFTPDirect::Nettoyer(const std::string& distant)
{
    const std::string raison = m_strErreur;
    const int n = m_pSession->CommandeNettoyage("DELE " + distant);
    m_strErreur = raison;
    if (n != 0 && n != 550)
        m_strErreur += "; '" + distant + "' may be left on the server (" + m_pSession->DerniereErreur() + ")";
}
