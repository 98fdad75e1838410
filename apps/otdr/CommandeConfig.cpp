// otdr config: the instrument, its ports, its FTP data mode and its login, as
// the profile store keeps them for the driver and every host.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Affichage.h"
#include "Contexte.h"
#include "Erreurs.h"
#include "Identifiants.h"
#include "Selection.h"
#include "common/Conversions.h"
#include "profile/CProfilIni.h"
#include "profile/ClesProfil.h"

namespace {

CString Large(const std::string& s) { return CString(Utf8ToWide(s)); }
std::string Etroit(const std::wstring& s) { return WideToUtf8(s); }

constexpr int TYPE_AUTRE = 6;   // "Other :" of the identification dialog: its login and password

// The password of 'config --user': typed (no echo) or piped, never from the
// command line, where every user of the machine could read it.
std::string MotDePasseAStocker(const tContexte& ctx)
{
    if (ctx.options.bMotDePasseLigne)
        throw ErreurUsage("config --user: the password is not taken from the command line; type it when asked, "
                          "or give it on standard input");
    std::string mdp;
    if (!LireMotDePasse("FTP password for " + *ctx.options.utilisateur + ": ", mdp) && !TerminalInteractif())
        throw ErreurUsage("config --user: no password on standard input (give an empty line for none)");
    return mdp;
}

void Afficher(const tContexte& ctx, IProfil& p)
{
    using namespace ClesProfil;
    auto port = [&](const wchar_t* cle, int defaut) {
        const int n = p.GetProfileInt(SECTION_DRIVER, cle, 0);
        return (n > 0 && n <= 65535) ? std::to_string(n) : std::to_string(defaut) + " (default)";
    };
    const std::string adresse = Etroit(p.GetProfileString(SECTION_DRIVER, ADRESSE_IP, L""));
    const int nType = p.GetProfileInt(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, 0);
    const std::string login = Etroit(p.GetProfileString(SECTION_DRIVER, FTP_LOGIN, L""));
    std::printf("profile:   %s\n", Visible(ctx.strCheminProfil).c_str());
    std::printf("address:   %s\n", adresse.empty() ? "(not set)" : Visible(adresse).c_str());
    std::printf("port:      %s\n", port(PORT, 1400).c_str());
    std::printf("ftp-port:  %s\n", port(FTP_PORT, 21).c_str());
    std::printf("data:      %s\n", p.GetProfileInt(SECTION_DRIVER, FTP_PASSIF, 0) != 0 ? "passive" : "active (default)");
    if (nType == TYPE_AUTRE && !login.empty())
        std::printf("login:     %s (password stored)\n", Visible(login).c_str());
    else
        std::printf("login:     %s\n", nType >= 1 && nType <= 5 ? "a family's (chosen in the dialog)"
                                                                : "by the instrument's model (default)");
}

// config --dry-run: the keys that would be written (the password never shown, nor asked).
int EssaiConfig(const tContexte& ctx)
{
    const tOptionsOtdr& o = ctx.options;
    Selection::CEssai essai;
    auto cle = [&](const char* nom, const std::string& valeur) { essai.Ajouter("set", nom, valeur); };
    auto port = [&](const char* nom, int n) {
        if (n == PORT_PAR_DEFAUT) essai.Ajouter("remove", nom, "");
        else cle(nom, std::to_string(n));
    };
    if (o.adresse) cle("Adress IP", *o.adresse);
    if (o.port) port("Port", *o.port);
    if (o.portFtp) port("Ftp Port", *o.portFtp);
    if (o.passif) *o.passif ? cle("Ftp Passive", "1") : essai.Ajouter("remove", "Ftp Passive", "");
    if (o.utilisateur) {
        cle("Ftp Type Identification", o.utilisateur->empty() ? "0" : std::to_string(TYPE_AUTRE));
        cle("Ftp Login", *o.utilisateur);
        cle("Ftp Password", o.utilisateur->empty() ? "" : "(the password typed)");
    }
    essai.Imprimer(o.bJson);
    return SORTIE_SUCCES;
}

} // namespace

int CommandeConfig(tContexte& ctx)
{
    VerifierOperandes(ctx, 0, 0, "config [--address A] [--port N|default] [--ftp-port N|default] "
                                 "[--passive|--active] [--user U]");
    const tOptionsOtdr& o = ctx.options;
    IProfil& p = *ctx.profil;
    using namespace ClesProfil;
    const bool bModifier = o.adresse || o.port || o.portFtp || o.passif || o.utilisateur;
    std::string raison;
    if (!ctx.ini->Verifier(raison))
        throw ErreurOperation("cannot read the profile '" + ctx.strCheminProfil + "': " + raison +
                              (bModifier ? " (nothing was changed)" : ""));
    if (o.bEssai) return EssaiConfig(ctx);
    // Read before anything is written: a refused password changes nothing.
    const std::string mdp = o.utilisateur && !o.utilisateur->empty() ? MotDePasseAStocker(ctx) : std::string();

    std::vector<std::string> remarques;
    auto verifier = [&](int ok) {
        if (!ok)
            throw ErreurOperation("cannot write the profile '" + ctx.strCheminProfil + "': " +
                                  ctx.ini->GetDerniereErreur());
        const std::string r = ctx.ini->GetDerniereRemarque();
        if (!r.empty() && std::find(remarques.begin(), remarques.end(), r) == remarques.end()) remarques.push_back(r);
    };
    // "default" removes the key: the driver's own port applies again.
    auto ecrirePort = [&](const wchar_t* cle, int n) {
        verifier(n == PORT_PAR_DEFAUT ? p.WriteProfileString(SECTION_DRIVER, cle, nullptr)
                                      : p.WriteProfileInt(SECTION_DRIVER, cle, n));
    };
    if (o.adresse) verifier(p.WriteProfileString(SECTION_DRIVER, ADRESSE_IP, Large(*o.adresse)));
    if (o.port) ecrirePort(PORT, *o.port);
    if (o.portFtp) ecrirePort(FTP_PORT, *o.portFtp);
    if (o.passif)
        verifier(*o.passif ? p.WriteProfileInt(SECTION_DRIVER, FTP_PASSIF, 1)
                           : p.WriteProfileString(SECTION_DRIVER, FTP_PASSIF, nullptr));
    if (o.utilisateur) {
        // Stored as the identification dialog's "Other :" choice, which the
        // dialog then shows; an empty user goes back to the automatic choice.
        const bool bOubli = o.utilisateur->empty();
        verifier(p.WriteProfileInt(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, bOubli ? 0 : TYPE_AUTRE));
        verifier(p.WriteProfileString(SECTION_DRIVER, FTP_LOGIN, Large(*o.utilisateur)));
        verifier(p.WriteProfileString(SECTION_DRIVER, FTP_PASSWORD, Large(mdp)));
    }
    for (const std::string& r : remarques)
        std::fprintf(stderr, "otdr: the profile '%s': %s\n", Visible(ctx.strCheminProfil).c_str(), r.c_str());
    Afficher(ctx, p);
    return SORTIE_SUCCES;
}
