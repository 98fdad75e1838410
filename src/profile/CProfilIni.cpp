#include "profile/CProfilIni.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "common/Conversions.h"
#include "profile/CTexteIni.h"
#include "profile/ValeursProfil.h"

namespace fs = std::filesystem;

namespace {

// Writers of this process take turns; other processes are kept out by a lock
// on the profile's folder.
std::mutex g_ecritures;

bool EstBlancIni(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool ContientSautDeLigne(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

// Names the INI layout could not give back: line breaks anywhere, ']' in a
// section, '=' in a key, blanks at the ends (trimmed on reading), a key that
// would read as a comment or a section.
bool NomSectionValide(const std::string& s)
{
    return !s.empty() && !ContientSautDeLigne(s) && s.find(']') == std::string::npos &&
           !EstBlancIni(s.front()) && !EstBlancIni(s.back());
}

bool NomCleValide(const std::string& s)
{
    return !s.empty() && !ContientSautDeLigne(s) && s.find('=') == std::string::npos &&
           !EstBlancIni(s.front()) && !EstBlancIni(s.back()) && s.front() != '[' && s.front() != ';' &&
           s.front() != '#';
}

bool EntreGuillemets(const std::string& s) { return s.size() >= 2 && s.front() == '"' && s.back() == '"'; }

std::string Proteger(const std::string& v)
{
    if (!v.empty() && (EstBlancIni(v.front()) || EstBlancIni(v.back()) || EntreGuillemets(v)))
        return '"' + v + '"';
    return v;
}

std::string Deproteger(const std::string& v)
{
    return EntreGuillemets(v) ? v.substr(1, v.size() - 2) : v;
}

enum class eLecture { Absent, Lu, Refuse };

std::string Octal(unsigned mode)
{
    char t[8];
    std::snprintf(t, sizeof t, "%04o", mode & 07777u);
    return t;
}

#ifndef _WIN32
class CDescripteur
{
public:
    explicit CDescripteur(int fd) : m_fd(fd) {}
    ~CDescripteur()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    CDescripteur(const CDescripteur&) = delete;
    CDescripteur& operator=(const CDescripteur&) = delete;
    int Fd() const { return m_fd; }
    // Closes now, reporting a failure (a delayed write error shows here).
    bool Fermer()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

std::string Systeme(int err) { return std::strerror(err); }
#endif

// The profile's bytes. Absent when there is no file (a link to nothing
// included): it reads as empty and a write creates it. Refuse with the reason
// when there is something that cannot serve as the profile.
eLecture Charger(const fs::path& chemin, std::string& contenu, std::string& strRaison)
{
    contenu.clear();
#ifndef _WIN32
    struct stat st {};
    if (::stat(chemin.c_str(), &st) != 0) {
        // No file there (a folder on the way may be a file): nothing to lose.
        if (errno == ENOENT || errno == ENOTDIR) return eLecture::Absent;
        strRaison = Systeme(errno);
        return eLecture::Refuse;
    }
    if (S_ISDIR(st.st_mode)) {
        strRaison = "it is a directory";
        return eLecture::Refuse;
    }
    if (!S_ISREG(st.st_mode)) {
        strRaison = "it is not a regular file";
        return eLecture::Refuse;
    }
    // Without waiting: a FIFO put there since stat must not hold the caller.
    CDescripteur f(::open(chemin.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (f.Fd() < 0) {
        strRaison = Systeme(errno);
        return eLecture::Refuse;
    }
    if (::fstat(f.Fd(), &st) != 0 || !S_ISREG(st.st_mode)) {
        strRaison = "it is not a regular file";
        return eLecture::Refuse;
    }
    if (static_cast<unsigned long long>(st.st_size) > CTexteIni::TAILLE_MAX) {
        contenu.resize(static_cast<size_t>(st.st_size));   // only its size is looked at
        return CTexteIni::EstProfil(contenu, strRaison) ? eLecture::Lu : eLecture::Refuse;
    }
    char bloc[16384];
    while (contenu.size() <= CTexteIni::TAILLE_MAX) {
        const ssize_t n = ::read(f.Fd(), bloc, sizeof bloc);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            strRaison = Systeme(errno);
            return eLecture::Refuse;
        }
        if (n == 0) break;
        contenu.append(bloc, static_cast<size_t>(n));
    }
#else
    std::error_code ec;
    const fs::file_status etat = fs::status(chemin, ec);
    if (etat.type() == fs::file_type::not_found) return eLecture::Absent;
    if (ec || !fs::is_regular_file(etat)) {
        strRaison = ec ? ec.message() : fs::is_directory(etat) ? "it is a directory" : "it is not a regular file";
        return eLecture::Refuse;
    }
    std::ifstream f(chemin, std::ios::binary);
    std::ostringstream tout;
    if (f) tout << f.rdbuf();
    if (!f || f.bad()) {
        strRaison = "it cannot be read";
        return eLecture::Refuse;
    }
    contenu = tout.str();
#endif
    return CTexteIni::EstProfil(contenu, strRaison) ? eLecture::Lu : eLecture::Refuse;
}

// The file a write replaces: the profile's path with its symbolic links
// followed, so that the link stays and its target gets the value.
bool Destination(const fs::path& chemin, fs::path& cible, std::string& strRaison)
{
    fs::path p = chemin;
    for (int i = 0; i < 40; ++i) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(p, ec))) {
            cible = p;
            return true;
        }
        const fs::path lien = fs::read_symlink(p, ec);
        if (ec) {
            strRaison = ec.message();
            return false;
        }
        p = lien.is_absolute() ? lien : p.parent_path() / lien;
    }
    strRaison = "too many levels of symbolic links";
    return false;
}

#ifndef _WIN32
// Exclusive lock on the folder for the time of one write.
class CVerrouDossier
{
public:
    explicit CVerrouDossier(const fs::path& dossier)
        : m_fd(::open(dossier.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (m_fd >= 0) {
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~CVerrouDossier()
    {
        if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
    }
    CVerrouDossier(const CVerrouDossier&) = delete;
    CVerrouDossier& operator=(const CVerrouDossier&) = delete;
    int Descripteur() const { return m_fd; }

private:
    int m_fd;
};

bool EcrireTout(int fd, const std::string& s)
{
    size_t fait = 0;
    while (fait < s.size()) {
        ssize_t n = ::write(fd, s.data() + fait, s.size() - fait);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        fait += static_cast<size_t>(n);
    }
    return true;
}
#endif

// Creates the profile's folder when it is missing.
bool PreparerDossier(const fs::path& dossier, std::string& strErreur)
{
    std::error_code ec;
    if (fs::exists(dossier, ec)) return true;
    fs::create_directories(dossier, ec);
    if (ec) {
        strErreur = "cannot create the folder '" + dossier.string() + "': " + ec.message();
        return false;
    }
    // The folder only ever holds the profile: keep it private.
    fs::permissions(dossier, fs::perms::owner_all, fs::perm_options::replace, ec);
    return true;
}

#ifndef _WIN32
// What the new file keeps of the one it replaces.
struct tProprietes {
    mode_t mode = S_IRUSR | S_IWUSR;
    uid_t proprietaire = ::geteuid();
    gid_t groupe = ::getegid();
};

// The existing profile's owner and mode (narrowed to its owner, said in
// strRemarque); false when it may not be written.
bool LireProprietes(const fs::path& cible, tProprietes& p, std::string& strErreur, std::string& strRemarque)
{
    struct stat st {};
    if (::stat(cible.c_str(), &st) != 0) {
        strErreur = Systeme(errno);
        return false;
    }
    // A file its owner made read-only stays so, even for a user the
    // system would let through.
    if ((st.st_mode & S_IWUSR) == 0) {
        strErreur = "it is read-only (mode " + Octal(st.st_mode) + ")";
        return false;
    }
    if (::faccessat(AT_FDCWD, cible.c_str(), W_OK, AT_EACCESS) != 0) {
        strErreur = Systeme(errno);
        return false;
    }
    p.mode = st.st_mode & 07777;
    if ((p.mode & ~static_cast<mode_t>(0600)) != 0) {
        strRemarque = "its mode was " + Octal(p.mode) + ", now 0600: it holds the FTP password";
        p.mode &= 0600;
    }
    p.proprietaire = st.st_uid;
    p.groupe = st.st_gid;
    return true;
}

// Writes the whole new text, synced, into a fresh file beside the profile
// (its path in temporaire once it exists).
bool EcrireTemporaire(const fs::path& dossier, const fs::path& cible, const std::string& sortie,
                      const tProprietes& p, fs::path& temporaire, std::string& strErreur)
{
    std::string modele = (dossier / ("." + cible.filename().string() + ".XXXXXX")).string();
    CDescripteur f(::mkstemp(modele.data()));
    if (f.Fd() < 0) {
        strErreur = "cannot create a file in '" + dossier.string() + "': " + Systeme(errno);
        return false;
    }
    temporaire = modele;
    bool ok = ::fchmod(f.Fd(), p.mode) == 0;
    // The file keeps its owner when it can (a write made by an administrator).
    if (ok && (p.proprietaire != ::geteuid() || p.groupe != ::getegid()))
        (void)::fchown(f.Fd(), p.proprietaire, p.groupe);
    ok = ok && EcrireTout(f.Fd(), sortie) && ::fsync(f.Fd()) == 0;
    if (!ok) strErreur = Systeme(errno);
    if (!f.Fermer() && ok) {
        strErreur = Systeme(errno);
        ok = false;
    }
    return ok;
}
#else
bool EcrireTemporaire(const fs::path& cible, const std::string& sortie, fs::path& temporaire,
                      std::string& strErreur)
{
    temporaire = cible;
    temporaire += L".tmp";
    std::ofstream f(temporaire, std::ios::binary | std::ios::trunc);
    f.write(sortie.data(), static_cast<std::streamsize>(sortie.size()));
    f.flush();
    if (f) return true;
    strErreur = "cannot write '" + temporaire.string() + "'";
    return false;
}
#endif

} // namespace

CProfilIni::CProfilIni(fs::path chemin) : m_chemin(chemin.empty() ? CheminParDefaut() : std::move(chemin)) {}

CProfilIni::~CProfilIni() = default;

fs::path CProfilIni::CheminParDefaut()
{
    fs::path base;
    // A relative XDG_CONFIG_HOME is invalid and must be ignored.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg && fs::path(xdg).is_absolute()) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
#ifndef _WIN32
        if (!home || !*home) {
            if (const passwd* pw = ::getpwuid(::getuid())) home = pw->pw_dir;
        }
#endif
        std::error_code ec;
        base = (home && *home) ? fs::path(home) / ".config" : fs::current_path(ec);
    }
    return base / "otdrdriver" / "profile.ini";
}

bool CProfilIni::Verifier(std::string& strRaison) const
{
    std::string contenu;
    return Charger(m_chemin, contenu, strRaison) != eLecture::Refuse;
}

std::string CProfilIni::GetDerniereErreur() const
{
    std::lock_guard<std::mutex> verrou(g_ecritures);
    return m_strErreur;
}

std::string CProfilIni::GetDerniereRemarque() const
{
    std::lock_guard<std::mutex> verrou(g_ecritures);
    return m_strRemarque;
}

bool CProfilIni::Lire(const wchar_t* section, const wchar_t* cle, std::string& valeur)
{
    if (!section || !cle) return false;
    std::string contenu, raison;
    if (Charger(m_chemin, contenu, raison) != eLecture::Lu) return false;
    if (!CTexteIni(contenu).Lire(WideToUtf8(section), WideToUtf8(cle), valeur)) return false;
    valeur = Deproteger(valeur);
    return true;
}

int CProfilIni::GetProfileInt(const wchar_t* section, const wchar_t* cle, int defaut)
{
    std::string v;
    int n = defaut;
    if (Lire(section, cle, v) && ValeursProfil::LireEntier(Utf8ToWide(v), n)) return n;
    return defaut;
}

CString CProfilIni::GetProfileString(const wchar_t* section, const wchar_t* cle, const wchar_t* defaut)
{
    std::string v;
    if (Lire(section, cle, v)) return CString(Utf8ToWide(v));
    return CString(defaut);
}

int CProfilIni::WriteProfileInt(const wchar_t* section, const wchar_t* cle, int valeur)
{
    const std::string v = std::to_string(valeur);
    return Ecrire(section, cle, &v);
}

int CProfilIni::WriteProfileString(const wchar_t* section, const wchar_t* cle, const wchar_t* valeur)
{
    if (!valeur) return Ecrire(section, cle, nullptr);
    const std::string v = WideToUtf8(valeur);
    return Ecrire(section, cle, &v);
}

bool CProfilIni::Remplacer(const fs::path& temporaire, const fs::path& cible)
{
    std::error_code ec;
    fs::rename(temporaire, cible, ec);
    return !ec;
}

int CProfilIni::Ecrire(const wchar_t* section, const wchar_t* cle, const std::string* valeur)
{
    std::lock_guard<std::mutex> verrouProcessus(g_ecritures);
    m_strErreur.clear();
    m_strRemarque.clear();
    if (!section || !cle) {
        m_strErreur = "no section or key given";
        return 0;
    }
    const std::string nomSection = WideToUtf8(section);
    const std::string nomCle = WideToUtf8(cle);
    if (!NomSectionValide(nomSection) || !NomCleValide(nomCle)) {
        m_strErreur = "'" + nomSection + "' / '" + nomCle + "' cannot be a section and key of the profile";
        return 0;
    }
    if (valeur && ContientSautDeLigne(*valeur)) {
        m_strErreur = "a value cannot hold a line break";
        return 0;
    }
    return EcrireFichier(nomSection, nomCle, valeur, m_strErreur, m_strRemarque) ? 1 : 0;
}

bool CProfilIni::EcrireFichier(const std::string& section, const std::string& cle, const std::string* valeur,
                               std::string& strErreur, std::string& strRemarque)
{
    fs::path cible;
    if (!Destination(m_chemin, cible, strErreur)) return false;
    const fs::path dossier = cible.has_parent_path() ? cible.parent_path() : fs::path(".");
    if (!PreparerDossier(dossier, strErreur)) return false;

#ifndef _WIN32
    CVerrouDossier verrou(dossier);
    if (verrou.Descripteur() < 0) {
        strErreur = "cannot open the folder '" + dossier.string() + "': " + Systeme(errno);
        return false;
    }
#endif

    // Re-read under the lock: another writer may have changed the file since.
    std::string contenu;
    const eLecture lecture = Charger(cible, contenu, strErreur);
    if (lecture == eLecture::Refuse) return false;
#ifndef _WIN32
    tProprietes proprietes;
    if (lecture == eLecture::Lu && !LireProprietes(cible, proprietes, strErreur, strRemarque)) return false;
#endif

    CTexteIni texte(contenu);
    if (valeur)
        texte.Ecrire(section, cle, Proteger(*valeur));
    else
        texte.Supprimer(section, cle);

    fs::path temporaire;
#ifndef _WIN32
    bool ok = EcrireTemporaire(dossier, cible, texte.Texte(), proprietes, temporaire, strErreur);
#else
    bool ok = EcrireTemporaire(cible, texte.Texte(), temporaire, strErreur);
#endif
    if (ok && !Remplacer(temporaire, cible)) {
        strErreur = "cannot replace it with the new version";
        ok = false;
    }
    if (!ok) {
        std::error_code ec;
        if (!temporaire.empty()) fs::remove(temporaire, ec);
        strRemarque.clear();   // nothing changed, the mode included
        return false;
    }
#ifndef _WIN32
    // Make the rename itself durable.
    ::fsync(verrou.Descripteur());
#endif
    return true;
}
