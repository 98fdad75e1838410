// CFTPDirect's file transfers: downloads (whole or resumed) and uploads.

#include "ftp/CFTPDirect.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "common/Conversions.h"
#include "ftp/CheminDistant.h"
#include "ftp/CSessionFtp.h"
#include "ftp/FichiersLocaux.h"
#include "ftp/RecepteurListeFtp.h"

namespace fs = std::filesystem;

// What a download knows before it starts, and what it leaves.
struct tTelechargementFtp
{
    bool bConnu = false;      ///< size and time come from the caller, not the cache
    uint64_t nTaille = 0;
    int64_t nDate = 0;        ///< exact time, 0: ask MDTM
    bool bReprendre = false;  ///< into the fixed partial file, kept on failure
    uint64_t nRepris = 0;     ///< bytes of a partial file the transfer went on from
};

namespace {

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
    std::rewind(f);
#if defined(_WIN32)
    return _chsize_s(_fileno(f), 0) == 0;
#else
    return ::ftruncate(fileno(f), 0) == 0;
#endif
}

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
        if (f || nErrno != EEXIST)
            return f;
    }
    return nullptr;
}

// The partial file of a resumable download, opened at its end; nRepris: the
// bytes it holds, 0 when it was started anew. A partial file as long as the
// whole or longer cannot be the start of it; anything but a plain file is
// never written through.
std::FILE* OuvrirPartiel(const fs::path& partiel, uint64_t nTaille, uint64_t& nRepris, int& nErrno)
{
    std::error_code ec;
    const fs::file_status etat = fs::symlink_status(partiel, ec);
    nRepris = 0;
    if (fs::is_regular_file(etat)) {
        const uint64_t n = fs::file_size(partiel, ec);
        if (!ec && n > 0 && n < nTaille)
            nRepris = n;
    }
    if (nRepris > 0) {
        std::FILE* f = Ouvrir(partiel, "ab");
        nErrno = errno;
        if (f)
            return f;
        nRepris = 0;
    }
    if (fs::exists(etat))
        fs::remove(partiel, ec);
    std::FILE* f = Ouvrir(partiel, "wbx");
    nErrno = errno;
    return f;
}

} // namespace

bool CFTPDirect::ListeExacte() const { return m_pSession && m_pSession->ListeMlsd(); }

int CFTPDirect::GetFile(CString strDistant, CString strLocal)
{
    tTelechargementFtp t;
    return Telecharger(strDistant, strLocal, t);
}

int CFTPDirect::GetFileListe(CString strDistant, CString strLocal, uint64_t nTaille, int64_t nDateExacte,
                             bool bReprendre, uint64_t* pRepris)
{
    tTelechargementFtp t;
    t.bConnu = true;
    t.nTaille = nTaille;
    t.nDate = nDateExacte;
    t.bReprendre = bReprendre;
    const int n = Telecharger(strDistant, strLocal, t);
    if (pRepris)
        *pRepris = t.nRepris;
    return n;
}

int CFTPDirect::Telecharger(const CString& strDistant, const CString& strLocal, tTelechargementFtp& t)
{
    if (!Utilisable())
        return 0;
    try {
        const fs::path demande = CheminLocal(strLocal);
        if (demande.filename().empty())
            return EchecBool("'" + Texte(demande) + "' names no file");
        // A symbolic link is written through: the file it leads to is replaced.
        std::error_code ec;
        fs::path cible = demande;
        for (int i = 0; i < 40 && fs::is_symlink(fs::symlink_status(cible, ec)); ++i) {
            const fs::path lien = fs::read_symlink(cible, ec);
            if (ec)
                break;
            cible = lien.is_absolute() ? lien : cible.parent_path() / lien;
        }
        const fs::file_status etat = fs::status(cible, ec);
        const bool bExiste = fs::exists(etat);
        if (bExiste) {
            if (fs::is_directory(etat))
                return EchecBool("'" + Texte(cible) + "' is a directory");
            if (!fs::is_regular_file(etat))
                return EchecBool("'" + Texte(cible) + "' is not a regular file");
            if (!Inscriptible(cible))
                return EchecBool("cannot replace '" + Texte(cible) + "': " + std::strerror(errno));
        }

        // Size and time from the caller, or from the last listing of the same
        // directory when there is one.
        const std::string distant = Fil(strDistant);
        long long nTaille = static_cast<long long>(t.nTaille);
        int64_t nDate = t.nDate;
        if (!t.bConnu) {
            const std::string absolu = CheminDistant::Joindre(m_pSession->RepertoireCourant(), distant);
            if (!m_pCache->strRepertoire.empty() && CheminDistant::Normaliser(CheminDistant::Parent(absolu)) ==
                                                        CheminDistant::Normaliser(m_pCache->strRepertoire)) {
                const tCacheListeFtp::tCle cle{HashFtp(CheminDistant::Nom(absolu)), 0, 0};
                const auto it = std::lower_bound(m_pCache->cles.begin(), m_pCache->cles.end(), cle);
                if (it != m_pCache->cles.end() && it->nHash == cle.nHash) {
                    nTaille = static_cast<long long>(it->nTaille);
                    nDate = it->nDateUtc;
                }
            }
        }

        // Download beside the target, then rename over it: a failed transfer
        // leaves an existing file as it was. The temporary name is short,
        // whatever the target's length; a resumable one is fixed, so that the
        // next attempt finds it.
        fs::path temporaire;
        std::FILE* f = nullptr;
        int nErrno = 0;
        uint64_t nRepris = 0;
        if (t.bReprendre) {
            temporaire = cible.parent_path() /
                         CheminLocal(FichiersLocaux::NomPartiel(FichiersLocaux::Texte(cible.filename()), t.nTaille, t.nDate));
            f = OuvrirPartiel(temporaire, t.nTaille, nRepris, nErrno);
        } else {
            f = OuvrirTemporaire(cible.parent_path(), temporaire, nErrno);
        }
        if (!f)
            return EchecBool("cannot create '" + Texte(temporaire) + "': " + std::strerror(nErrno));

        bool bContinuer = true;
        if (m_progression)
            bContinuer = m_progression(nRepris, static_cast<uint64_t>(nTaille));
        if (!bContinuer)
            m_annulation->Annuler();
        long long nDateMdtm = 0;
        auto transferer = [&](uint64_t nDepuis) {
            return bContinuer ? m_pSession->Telecharger(distant, f, nTaille, nDate == 0, nDateMdtm,
                                                        static_cast<long long>(nDepuis))
                              : static_cast<int>(CSessionFtp::ANNULE);
        };
        int n = transferer(nRepris);
        // No REST, or a resumed file that does not come to its size (a server
        // that ignored REST, or the file changed): fetched whole again.
        if (nRepris > 0 && ((n != 0 && m_pSession->RepriseRefusee() && !m_annulation->EstAnnule()) ||
                         (n == 0 && std::ftell(f) != nTaille))) {
            nRepris = 0;
            n = Tronquer(f) ? transferer(0) : -1;
            if (n == -1)
                m_strErreur = "cannot write '" + Texte(temporaire) + "': " + std::strerror(errno);
        }
        t.nRepris = nRepris;
        if (nDate == 0)
            nDate = nDateMdtm;
        const long nEcrits = std::ftell(f);
        bool bFerme = std::fflush(f) == 0;
        nErrno = errno;
        bFerme = std::fclose(f) == 0 && bFerme;
        if (m_progression)
            m_progression(nEcrits > 0 ? static_cast<uint64_t>(nEcrits) : 0, static_cast<uint64_t>(nTaille));
        if (n == 0 && !bFerme) {
            m_strErreur = "cannot write '" + Texte(temporaire) + "': " + std::strerror(nErrno);
            n = -1;
        } else if (n != 0 && n != -1) {
            Echec(n);
            if (m_strErreur.rfind("cannot write the local file", 0) == 0)
                m_strErreur = "cannot write '" + Texte(temporaire) + "'" + m_strErreur.substr(27);
        }
        if (n == 0) {
#if !defined(_WIN32)
            struct stat avant;
            if (bExiste && ::stat(cible.c_str(), &avant) == 0)
                ::chmod(temporaire.c_str(), avant.st_mode & 07777);
#endif
            if (nDate > 0)
                FichiersLocaux::Dater(temporaire, nDate);
            fs::rename(temporaire, cible, ec);
            if (!ec) {
                m_strErreur.clear();
                return 1;
            }
            m_strErreur = "cannot replace '" + Texte(cible) + "': " + ec.message();
        }
        // What came of a resumable download stays for the next attempt,
        // unless it cannot be the start of the file.
        const bool bGarder = t.bReprendre && n != 0 && nEcrits > 0 && nEcrits < nTaille && bFerme;
        if (!bGarder)
            fs::remove(temporaire, ec);
        return 0;
    } catch (const std::exception& ex) {
        return EchecBool(ex.what());
    }
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
        std::FILE* f = Ouvrir(source, "rb");
        if (!f)
            return EchecBool("cannot read '" + Texte(source) + "': " + std::strerror(errno));
        int64_t nDate = 0;
#if defined(_WIN32)
        struct _stat64 st;
        if (::_fstat64(_fileno(f), &st) == 0)
            nDate = st.st_mtime;
#else
        struct stat st;
        if (::fstat(fileno(f), &st) == 0)
            nDate = st.st_mtime;
#endif
        OublierListe();
        const std::string distant = Fil(strDistant);
        bool bContinuer = true;
        if (m_progression)
            bContinuer = m_progression(0, taille);
        if (!bContinuer)
            m_annulation->Annuler();
        const int n = bContinuer ? m_pSession->Envoyer(f, static_cast<long long>(taille), distant, nDate)
                                 : static_cast<int>(CSessionFtp::ANNULE);
        std::fclose(f);
        if (m_progression)
            m_progression(n == 0 ? taille : 0, taille);
        if (n == 0) {
            m_strErreur.clear();
            return 1;
        }
        Echec(n);
        if (n == CSessionFtp::ANNULE && !distant.empty()) {
            // What the server stored of the file goes; 550: nothing was stored.
            const int nDele = m_pSession->Commande("DELE " + distant, true);
            if (nDele != 0 && nDele != 550)
                m_strErreur = "cancelled; '" + distant + "' may be left incomplete on the server (" +
                              m_pSession->DerniereErreur() + ")";
        }
        return 0;
    } catch (const std::exception& ex) {
        return EchecBool(ex.what());
    }
}

