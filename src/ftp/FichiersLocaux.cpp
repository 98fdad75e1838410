#include "ftp/FichiersLocaux.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>

#if defined(_WIN32)
#include <sys/utime.h>
#else
#include <cerrno>
#include <cstring>
#include <fstream>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include "common/Conversions.h"
#include "ftp/CParcoursDistant.h"

namespace fs = std::filesystem;

namespace {

uint64_t Fnv1a(uint64_t h, const void* p, size_t n)
{
    const unsigned char* o = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i) {
        h ^= o[i];
        h *= 1099511628211ull;
    }
    return h;
}

#if !defined(_WIN32)
// The process holding a flock on the file open as fd, from /proc/locks; 0
// when the system does not tell.
long DetenteurVerrou(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return 0;
    char cle[64];
    std::snprintf(cle, sizeof cle, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    std::ifstream verrous("/proc/locks");
    std::string ligne;
    while (std::getline(verrous, ligne)) {
        // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"
        char type[16] = {}, sorte[16] = {}, acces[16] = {}, fichier[64] = {};
        long pid = 0;
        if (ligne.find("->") == std::string::npos &&
            std::sscanf(ligne.c_str(), "%*d: %15s %15s %15s %ld %63s", type, sorte, acces, &pid, fichier) == 5 &&
            std::strcmp(type, "FLOCK") == 0 && cle == std::string(fichier))
            return pid;
    }
    return 0;
}
#endif

} // namespace

namespace FichiersLocaux {

fs::path Chemin(const CString& texte)
{
#if defined(_WIN32)
    return fs::path(static_cast<const std::wstring&>(texte));
#else
    return fs::path(WideToUtf8(texte));
#endif
}

CString Texte(const fs::path& chemin)
{
#if defined(_WIN32)
    return CString(chemin.wstring());
#else
    return CString(Utf8ToWide(chemin.string()));
#endif
}

CString NomPartiel(const CString& strNom, uint64_t nTaille, int64_t nDate)
{
    const std::string nom = WideToUtf8(strNom);
    uint64_t h = Fnv1a(14695981039346656037ull, nom.data(), nom.size() + 1);
    h = Fnv1a(h, &nTaille, sizeof nTaille);
    h = Fnv1a(h, &nDate, sizeof nDate);
    char texte[40];
    std::snprintf(texte, sizeof texte, ".otdr-r%016" PRIx64 ".part", h);
    return CString(Utf8ToWide(texte));
}

bool EstNomPartiel(const CString& strNom)
{
    const std::string n = WideToUtf8(strNom);
    if (n.size() != 28 || n.compare(0, 7, ".otdr-r") != 0 || n.compare(23, 5, ".part") != 0)
        return false;
    return std::all_of(n.begin() + 7, n.begin() + 23, [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

bool EstNomTemporaire(const CString& strNom)
{
    const std::string n = WideToUtf8(strNom);
    if (n.size() != 19 || n.compare(0, 6, ".otdr-") != 0 || n.compare(14, 5, ".part") != 0)
        return false;
    return std::all_of(n.begin() + 6, n.begin() + 14, [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

#if defined(_WIN32)
bool Marquer(int) { return false; }
bool EstMarque(const fs::path&) { return false; }
void NettoyerTemporaires(const fs::path&, tTemporaires, const std::set<fs::path>&) {}
#else
namespace {
const char MARQUE[] = "user.otdr-temporaire";
}

bool Marquer(int fd)
{
    ::flock(fd, LOCK_EX | LOCK_NB);
    return ::fsetxattr(fd, MARQUE, "1", 1, 0) == 0;
}

bool EstMarque(const fs::path& chemin)
{
    char valeur[4];
    return ::lgetxattr(chemin.c_str(), MARQUE, valeur, sizeof valeur) == 1 && valeur[0] == '1';
}

void NettoyerTemporaires(const fs::path& dossier, tTemporaires genre, const std::set<fs::path>& garder)
{
    std::error_code ec;
    for (fs::directory_iterator it(dossier, ec), fin; !ec && it != fin; it.increment(ec)) {
        const CString nom = Texte(it->path().filename());
        const bool bNom = EstNomTemporaire(nom) || (genre == tTemporaires::Tous && EstNomPartiel(nom));
        std::error_code ecEntree;
        if (!bNom || garder.count(it->path()) || !it->is_regular_file(ecEntree) || it->is_symlink(ecEntree) ||
            !EstMarque(it->path()))
            continue;
        // Removed only when no run holds it (its writer's lock).
        const int fd = ::open(it->path().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(it->path().c_str());
        ::close(fd);
    }
}
#endif

void Dater(const fs::path& chemin, int64_t nDateUtc)
{
#if defined(_WIN32)
    struct _utimbuf t{static_cast<time_t>(nDateUtc), static_cast<time_t>(nDateUtc)};
    _wutime(chemin.c_str(), &t);
#else
    struct timespec t[2];
    t[0].tv_sec = t[1].tv_sec = static_cast<time_t>(nDateUtc);
    t[0].tv_nsec = t[1].tv_nsec = 0;
    ::utimensat(AT_FDCWD, chemin.c_str(), t, 0);
#endif
}

} // namespace FichiersLocaux

CVerrouDossier::~CVerrouDossier()
{
#if !defined(_WIN32)
    if (m_nFd >= 0)
        ::close(m_nFd);
#endif
}

bool CVerrouDossier::Prendre(const fs::path& dossier, std::string& raison)
{
#if defined(_WIN32)
    (void)dossier;
    (void)raison;
    return true;
#else
    const int fd = ::open(dossier.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        raison = "cannot open '" + dossier.string() + "': " + std::strerror(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int nErrno = errno;
        const long pid = nErrno == EWOULDBLOCK ? DetenteurVerrou(fd) : 0;
        ::close(fd);
        if (nErrno != EWOULDBLOCK) {
            raison = "cannot lock '" + dossier.string() + "': " + std::strerror(nErrno);
            return false;
        }
        raison = "another otdr run" + (pid > 0 ? " (process " + std::to_string(pid) + ")" : std::string()) +
                 " is working in '" + dossier.string() + "'; try again once it has finished";
        return false;
    }
    if (m_nFd >= 0)
        ::close(m_nFd);
    m_nFd = fd;
    return true;
#endif
}

