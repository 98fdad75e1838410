#include "profile/CProfilIni.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include "common/Conversions.h"
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

// The file's bytes; false when it exists but cannot be read (a write must then
// not replace it, or the values it holds would be lost).
bool LireFichier(const fs::path& chemin, std::string& contenu)
{
    contenu.clear();
    std::error_code ec;
    if (!fs::exists(chemin, ec)) return !ec;
    std::ifstream f(chemin, std::ios::binary);
    if (!f) return false;
    std::ostringstream tout;
    tout << f.rdbuf();
    if (f.bad()) return false;
    contenu = tout.str();
    return true;
}

bool Analyser(const std::string& contenu, CSimpleIniA& ini)
{
    ini.SetUnicode(true);
    ini.SetMultiKey(false);
    ini.SetMultiLine(false);
    ini.SetQuotes(false);
    return contenu.empty() || ini.LoadData(contenu.data(), contenu.size()) >= 0;
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

bool CProfilIni::Lire(const wchar_t* section, const wchar_t* cle, std::string& valeur)
{
    if (!section || !cle) return false;
    std::string contenu;
    if (!LireFichier(m_chemin, contenu)) return false;
    CSimpleIniA ini;
    if (!Analyser(contenu, ini)) return false;
    const char* v = ini.GetValue(WideToUtf8(section).c_str(), WideToUtf8(cle).c_str(), nullptr);
    if (!v) return false;
    valeur = Deproteger(v);
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
    if (!section || !cle) return 0;
    const std::string nomSection = WideToUtf8(section);
    const std::string nomCle = WideToUtf8(cle);
    if (!NomSectionValide(nomSection) || !NomCleValide(nomCle)) return 0;
    if (valeur && ContientSautDeLigne(*valeur)) return 0;

    std::lock_guard<std::mutex> verrouProcessus(g_ecritures);
    const fs::path dossier = m_chemin.has_parent_path() ? m_chemin.parent_path() : fs::path(".");
    std::error_code ec;
    if (!fs::exists(dossier, ec)) {
        fs::create_directories(dossier, ec);
        if (ec) return 0;
        // The folder only ever holds the profile: keep it private.
        fs::permissions(dossier, fs::perms::owner_all, fs::perm_options::replace, ec);
    }

#ifndef _WIN32
    CVerrouDossier verrou(dossier);
    if (verrou.Descripteur() < 0) return 0;
#endif

    std::string contenu;
    if (!LireFichier(m_chemin, contenu)) return 0;
    CSimpleIniA ini;
    if (!Analyser(contenu, ini)) return 0;
    if (valeur) {
        if (ini.SetValue(nomSection.c_str(), nomCle.c_str(), Proteger(*valeur).c_str()) < 0) return 0;
    } else {
        ini.Delete(nomSection.c_str(), nomCle.c_str(), true);
    }
    std::string sortie;
    if (ini.Save(sortie, false) < 0) return 0;

#ifndef _WIN32
    std::string modele = (dossier / ("." + m_chemin.filename().string() + ".XXXXXX")).string();
    int fd = ::mkstemp(modele.data());
    if (fd < 0) return 0;
    const fs::path temporaire(modele);
    bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && EcrireTout(fd, sortie) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
#else
    fs::path temporaire = m_chemin;
    temporaire += L".tmp";
    bool ok;
    {
        std::ofstream f(temporaire, std::ios::binary | std::ios::trunc);
        f.write(sortie.data(), static_cast<std::streamsize>(sortie.size()));
        f.flush();
        ok = static_cast<bool>(f);
    }
#endif
    if (!ok || !Remplacer(temporaire, m_chemin)) {
        fs::remove(temporaire, ec);
        return 0;
    }
#ifndef _WIN32
    // Make the rename itself durable.
    ::fsync(verrou.Descripteur());
#endif
    return 1;
}
