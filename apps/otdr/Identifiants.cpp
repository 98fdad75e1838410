#include "Identifiants.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <termios.h>
#include <unistd.h>

#include "common/Conversions.h"
#include "driver/IdentifiantsFtp.h"
#include "profile/ClesProfil.h"

namespace {

CString Large(const std::string& s) { return CString(Utf8ToWide(s)); }

// Echo off on the terminal for as long as it lives.
class CSansEcho
{
public:
    explicit CSansEcho(int fd) : m_fd(fd)
    {
        if (tcgetattr(m_fd, &m_avant) != 0) return;
        termios t = m_avant;
        t.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        m_bActif = tcsetattr(m_fd, TCSANOW, &t) == 0;   // typed ahead stays
    }
    ~CSansEcho()
    {
        if (m_bActif) tcsetattr(m_fd, TCSANOW, &m_avant);
    }
    CSansEcho(const CSansEcho&) = delete;
    CSansEcho& operator=(const CSansEcho&) = delete;

private:
    int m_fd;
    termios m_avant{};
    bool m_bActif = false;
};

bool LireLigne(std::string& ligne)
{
    ligne.clear();
    for (int c; (c = std::fgetc(stdin)) != EOF;) {
        if (c == '\n') return true;
        ligne += static_cast<char>(c);
    }
    return !ligne.empty();
}

// The ~/.netrc entry of the instrument's address (or its "default").
bool LoginNetrc(const tContexte& ctx, std::string& u, std::string& p, bool& bMotDePasse)
{
    const char* home = std::getenv("HOME");
    if (!home || !*home) return false;
    std::ifstream f(std::string(home) + "/.netrc", std::ios::binary);
    if (!f) return false;
    std::ostringstream texte;
    texte << f.rdbuf();
    return IdentifiantsFtp::ParNetrc(texte.str(), ctx.strAdresse, u, p, bMotDePasse);
}

void Tracer(const tContexte& ctx, const std::string& ligne)
{
    if (ctx.options.bVerbeux) EcrireTrace("ftp", ligne);
}

// --user: its password from the options, the ~/.netrc entry of that login, or
// the terminal; none at all without a terminal.
int ConnecterUtilisateur(const tContexte& ctx, const FonctionLogin& login)
{
    const tOptionsOtdr& o = ctx.options;
    std::string mdp;
    std::string uNetrc, pNetrc;
    bool bNetrc = false;
    if (o.motDePasse) {
        mdp = *o.motDePasse;
    } else if (LoginNetrc(ctx, uNetrc, pNetrc, bNetrc) && bNetrc && uNetrc == *o.utilisateur) {
        mdp = pNetrc;
    } else if (TerminalInteractif()) {
        LireMotDePasse("FTP password for " + *o.utilisateur + "@" + ctx.Hote() + ": ", mdp);
    }
    const CString u = Large(*o.utilisateur), p = Large(mdp);
    return IdentifiantsFtp::Connecter(CString(), u.c_str(), p.c_str(), login);
}

} // namespace

bool TerminalInteractif() { return isatty(STDIN_FILENO) != 0; }

bool LireMotDePasse(const std::string& invite, std::string& mdp)
{
    if (!TerminalInteractif()) return LireLigne(mdp);
    std::fprintf(stderr, "%s", invite.c_str());
    std::fflush(stderr);
    bool ok;
    {
        CSansEcho sansEcho(STDIN_FILENO);
        ok = LireLigne(mdp);
    }
    std::fprintf(stderr, "\n");
    return ok;
}

int ConnecterSelonOptions(const tContexte& ctx, const FonctionLogin& login)
{
    const tOptionsOtdr& o = ctx.options;
    if (o.utilisateur) return ConnecterUtilisateur(ctx, login);
    std::string u, p;
    bool bMotDePasse = false;
    if (!o.motDePasse && LoginNetrc(ctx, u, p, bMotDePasse)) {
        Tracer(ctx, "the login of " + ctx.strAdresse + " in ~/.netrc");
        const CString lu = Large(u), lp = Large(p);
        return IdentifiantsFtp::Connecter(CString(), lu.c_str(), lp.c_str(), login);
    }
    // The instrument's model chooses the family's login: asked briefly, with
    // "*IDN?" alone.
    const long nLimite = std::min(o.delaiMs ? *o.delaiMs : 3000L, 3000L);
    const std::string modele = ModeleAppareil(ctx, nLimite);
    Tracer(ctx, modele.empty() ? "the instrument did not identify itself" : "instrument model '" + modele + "'");
    if (o.motDePasse) {
        const CString lp = Large(*o.motDePasse);
        return IdentifiantsFtp::Connecter(Large(modele), nullptr, lp.c_str(), login);
    }
    using namespace ClesProfil;
    IProfil& profil = *ctx.profil;
    return IdentifiantsFtp::ConnecterSelonChoix(Large(modele), profil.GetProfileInt(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, 0),
                                                profil.GetProfileString(SECTION_DRIVER, FTP_LOGIN, L""),
                                                profil.GetProfileString(SECTION_DRIVER, FTP_PASSWORD, L""), login);
}
