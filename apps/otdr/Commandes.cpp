// The otdr commands. Each uses the library as a host would: COtdrDriver for the
// command channel, CFTPDirect for files, the profile store for settings.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "Affichage.h"
#include "CConnexionFtp.h"
#include "CProfilSurcharge.h"
#include "CProgression.h"
#include "Contexte.h"
#include "Erreurs.h"
#include "comm/TraceCom.h"
#include "common/Conversions.h"
#include "driver/COtdrDriver.h"
#include "ftp/CParcoursDistant.h"
#include "ftp/CheminDistant.h"
#include "profile/CProfilIni.h"
#include "profile/ClesProfil.h"

namespace fs = std::filesystem;

namespace {

CString Large(const std::string& s) { return CString(Utf8ToWide(s)); }
std::string Etroit(const std::wstring& s) { return WideToUtf8(s); }
CString LargeChemin(const fs::path& p) { return Large(p.string()); }

void VerifierOperandes(const tContexte& ctx, size_t nMin, size_t nMax, const char* usage)
{
    const size_t n = ctx.options.operandes.size();
    if (n < nMin || n > nMax)
        throw ErreurUsage(std::string(n < nMin ? "missing operand" : "too many operands") + ": usage: otdr " +
                          usage + " (see 'otdr " + ctx.options.strCommande + " --help')");
}

std::string Statut(short n) { return "server reply " + std::to_string(static_cast<unsigned short>(n)); }

// "d-a---r-" style column: the type, then each attribute letter or '-'.
std::string Attributs(const tInfosFichierFtp& e)
{
    std::string s(1, CFTPDirect::IsDirectory(e) ? 'd' : '-');
    for (wchar_t c : std::wstring(L"achnrs"))
        s += e.m_strAttributs.Find(c) >= 0 ? static_cast<char>(c) : '-';
    return s;
}

void ImprimerEntree(const tInfosFichierFtp& e)
{
    std::printf("%s %12llu %-19s %s\n", Attributs(e).c_str(), static_cast<unsigned long long>(e.m_nTaille),
                Visible(Etroit(e.m_strDate)).c_str(), Visible(Etroit(e.m_strNom)).c_str());
}

// A trailing "/" in a remote operand means "into this directory".
bool FinitParBarre(const std::string& s) { return !s.empty() && s.back() == '/'; }

std::string Resume(const char* verbe, int nFichiers, uint64_t nOctets, const std::string& cible, double s)
{
    char t[64];
    std::snprintf(t, sizeof t, "%.1f", s);
    return std::string(verbe) + " " + std::to_string(nFichiers) + (nFichiers == 1 ? " file" : " files") + " (" +
           CProgression::Octets(nOctets) + ") " + cible + " in " + t + " s";
}

// The entry of a remote path that must exist; `quoi` names what was expected.
tInfosFichierFtp EtatExistant(CConnexionFtp& c, const std::string& abs, const char* quoi)
{
    tInfosFichierFtp infos;
    if (!c.Etat(abs, infos))
        throw ErreurOperation(std::string("no such ") + quoi + " on the instrument: '" + abs + "'");
    return infos;
}

// A tree walk's hooks for the progress bar: its totals grow as each directory
// is listed.
CParcoursDistant::tRappels Suivi(CProgression& prog, bool bTelechargement)
{
    CParcoursDistant::tRappels r;
    r.entreeRepertoire = [&prog](const CParcoursDistant::tRepertoire& d) { prog.AjouterTotal(d.nOctets, d.nFichiers); };
    r.avantFichier = [&prog, bTelechargement](const CParcoursDistant::tFichier& f) {
        prog.Debut(fs::path(Etroit(f.strLocal)), Etroit(f.strRelatif), bTelechargement);
        return CParcoursDistant::tSuite::Faire;
    };
    r.apresFichier = [&prog](const CParcoursDistant::tFichier& f, bool bReussi) { prog.Fin(f.nTaille, bReussi); };
    return r;
}

// " (skipped 1 link to a directory already copied: '/a/self')", or nothing.
std::string LiensIgnores(const CParcoursDistant::tBilan& b)
{
    if (b.ignores.empty()) return std::string();
    const size_t n = b.ignores.size();
    return " (skipped " + std::to_string(n) + (n == 1 ? " link" : " links") + " to a directory already " +
           "walked: '" + Etroit(b.ignores[0].strChemin) + "'" + (n > 1 ? ", ..." : "") + ")";
}

// Ends a tree command: what failed, was skipped or was not done, in one message.
void SignalerBilan(const CParcoursDistant::tBilan& b, const std::string& quoi)
{
    if (b.Complet()) return;
    std::string texte;
    for (size_t i = 0; i < b.echecs.size() && i < 5; ++i)
        texte += (i ? "; '" : "'") + Etroit(b.echecs[i].strChemin) + "': " + Etroit(b.echecs[i].strRaison);
    if (b.echecs.size() > 5) texte += "; and " + std::to_string(b.echecs.size() - 5) + " more";
    if (b.bSessionPerdue || b.bArrete) {
        texte += std::string(texte.empty() ? "" : "; ") +
                 (b.bSessionPerdue ? "the connection to the instrument was lost" : "stopped");
        if (!b.nonFaits.empty())
            texte += ", " + std::to_string(b.nonFaits.size()) + " not done from '" + Etroit(b.nonFaits[0]) + "' on";
    }
    throw ErreurOperation("not everything could be " + quoi + ": " + texte);
}

} // namespace

// ---------------------------------------------------------------- config

int CommandeConfig(tContexte& ctx)
{
    VerifierOperandes(ctx, 0, 0, "config [--address A] [--port N|default] [--ftp-port N|default]");
    const tOptionsOtdr& o = ctx.options;
    IProfil& p = *ctx.profil;
    using namespace ClesProfil;
    const bool bModifier = o.adresse || o.port || o.portFtp;
    std::string raison;
    if (!ctx.ini->Verifier(raison))
        throw ErreurOperation("cannot read the profile '" + ctx.strCheminProfil + "': " + raison +
                              (bModifier ? " (nothing was changed)" : ""));

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
    for (const std::string& r : remarques)
        std::fprintf(stderr, "otdr: the profile '%s': %s\n", Visible(ctx.strCheminProfil).c_str(), r.c_str());

    auto port = [&](const wchar_t* cle, int defaut) {
        const int n = p.GetProfileInt(SECTION_DRIVER, cle, 0);
        return (n > 0 && n <= 65535) ? std::to_string(n) : std::to_string(defaut) + " (default)";
    };
    const std::string adresse = Etroit(p.GetProfileString(SECTION_DRIVER, ADRESSE_IP, L""));
    std::printf("profile:   %s\n", Visible(ctx.strCheminProfil).c_str());
    std::printf("address:   %s\n", adresse.empty() ? "(not set)" : Visible(adresse).c_str());
    std::printf("port:      %s\n", port(PORT, 1400).c_str());
    std::printf("ftp-port:  %s\n", port(FTP_PORT, 21).c_str());
    return SORTIE_SUCCES;
}

// ---------------------------------------------------------------- identify

namespace {

// The trace of the command channel (--verbose), removed however identify ends.
class CTraceCommandes
{
public:
    explicit CTraceCommandes(bool bActive)
    {
        if (!bActive) return;
        DefinirTraceCom([](eSensTrace sens, const std::string& texte) {
            if (sens == eSensTrace::Envoi) return EcrireTrace("cmd", "> " + texte);
            if (sens == eSensTrace::Evenement) return EcrireTrace("cmd", texte);
            // The CR of the instrument's CR LF ends the line; it is no part of the reply.
            const bool bCr = !texte.empty() && texte.back() == '\r';
            EcrireTrace("cmd", "< " + texte.substr(0, texte.size() - (bCr ? 1 : 0)));
        });
    }
    ~CTraceCommandes() { DefinirTraceCom({}); }
    CTraceCommandes(const CTraceCommandes&) = delete;
    CTraceCommandes& operator=(const CTraceCommandes&) = delete;
};

} // namespace

int CommandeIdentify(tContexte& ctx)
{
    VerifierOperandes(ctx, 0, 0, "identify");
    if (ctx.strAdresse.empty())
        throw ErreurUsage("no instrument address: give --address, or store one with 'otdr config --address A'");

    // The driver reads the instrument from the profile: show it the resolved
    // values without storing them.
    auto surcharge = std::make_shared<CProfilSurcharge>(ctx.profil);
    surcharge->SurchargerChaine(ClesProfil::SECTION_DRIVER, ClesProfil::ADRESSE_IP, Utf8ToWide(ctx.strAdresse));
    surcharge->SurchargerEntier(ClesProfil::SECTION_DRIVER, ClesProfil::PORT, ctx.nPort);
    surcharge->SurchargerEntier(ClesProfil::SECTION_DRIVER, ClesProfil::FTP_PORT, ctx.nPortFtp);
    surcharge->SurchargerEntier(ClesProfil::SECTION_DRIVER, ClesProfil::CONTACT, 0);
    DefinirProfil(surcharge);
    CTraceCommandes trace(ctx.options.bVerbeux);

    COtdrDriver driver;
    if (ctx.options.delaiMs) {
        const unsigned long t = static_cast<unsigned long>(*ctx.options.delaiMs);
        tDelaisDriver d = driver.GetDelais();
        d.m_nAttenteReponse = t;
        d.m_nConnexion = t;
        d.m_nPauseCom = std::min(t, 500ul);
        // Room for the whole sequence of an instrument that answers every query
        // in time, however slowly.
        d.m_nDemarrage = d.DureeMaxDemarrage();
        d.m_nArret = 2 * t + 1000;
        d.m_nArretApresEchec = 2 * t + 1000;
        driver.SetDelais(d);
    }
    if (!driver.StartDriver()) {
        // The worker is still busy with the instrument; the process ends now
        // rather than waiting for it.
        const unsigned long limite = driver.GetDelais().m_nDemarrage;
        std::fprintf(stderr, "otdr: the instrument at %s did not complete the connection sequence within %lu s\n",
                     Visible(ctx.Cible(ctx.nPort)).c_str(), (limite + 999) / 1000);
        std::fflush(nullptr);
        std::_Exit(SORTIE_ECHEC);
    }
    // The port actually reached: the fallback port 21 when the configured one failed.
    const int nPort = driver.GetPortConnexion() != 0 ? static_cast<int>(driver.GetPortConnexion()) : ctx.nPort;
    const std::string raison = Etroit(driver.GetRaisonEchecConnexion());
    if (!driver.IsConnexionEnCours()) {
        driver.StopDriver();
        throw ErreurOperation("cannot connect to the instrument at " + ctx.Hote() + " (" + raison + ")");
    }
    const std::string modele = Etroit(driver.GetIdentificationAppareil());
    const std::string version = Etroit(driver.GetVersionAppareil());
    std::printf("Model:       %s\n", modele.empty() ? "(not identified)" : Visible(modele).c_str());
    std::printf("Version:     %s\n", version.empty() ? "(unknown)" : Visible(version).c_str());
    std::printf("Connection:  connected to %s\n", Visible(ctx.Cible(nPort)).c_str());
    std::fflush(stdout);
    driver.StopDriver();
    if (modele.empty())
        throw ErreurOperation("the instrument at " + ctx.Cible(nPort) +
                              " accepted the connection but did not identify itself" +
                              (raison.empty() ? "" : " (" + raison + ")"));
    return SORTIE_SUCCES;
}

// ---------------------------------------------------------------- ls

int CommandeLs(tContexte& ctx)
{
    VerifierOperandes(ctx, 0, 1, "ls [REMOTE_DIR]");
    CConnexionFtp c(ctx);
    c.Connecter();
    const std::string abs = ctx.options.operandes.empty() ? c.RepertoireInitial() : c.Absolu(ctx.options.operandes[0]);
    std::vector<tInfosFichierFtp> entrees;
    bool bEntre = false;
    const CFTPDirect::tEtatListe etat = c.Lister(abs, entrees, bEntre);
    if (!bEntre) {
        tInfosFichierFtp e;
        if (c.Etat(abs, e)) {
            ImprimerEntree(e);
            return SORTIE_SUCCES;
        }
        throw ErreurOperation("no such directory on the instrument: '" + abs + "'");
    }
    std::sort(entrees.begin(), entrees.end(),
              [](const tInfosFichierFtp& a, const tInfosFichierFtp& b) { return a.m_strNom < b.m_strNom; });
    for (const tInfosFichierFtp& e : entrees)
        ImprimerEntree(e);
    if (etat != CFTPDirect::tEtatListe::Complete)
        throw ErreurOperation(CConnexionFtp::ListeIncomplete(abs, etat) +
                              (entrees.empty() ? "" : ": the entries shown are only part of it"));
    return SORTIE_SUCCES;
}

// ---------------------------------------------------------------- get

int CommandeGet(tContexte& ctx)
{
    VerifierOperandes(ctx, 2, 2, "get [-r] REMOTE LOCAL");
    const fs::path local = fs::path(ctx.options.operandes[1]);
    CConnexionFtp c(ctx);
    c.Connecter();
    const std::string abs = c.Absolu(ctx.options.operandes[0]);
    const tInfosFichierFtp infos = EtatExistant(c, abs, "file or directory");
    std::error_code ec;
    const bool bLocalRep = fs::is_directory(local, ec);
    const std::string nom = abs == "/" ? std::string() : CheminDistant::Nom(abs);

    if (!CFTPDirect::IsDirectory(infos)) {
        const fs::path cible = bLocalRep ? local / nom : local;
        CProgression prog(ctx.options.eProgres, infos.m_nTaille, 1);
        prog.Debut(cible, nom, true);
        const int ok = c.Ftp().GetFile(Large(abs), LargeChemin(cible));
        prog.Fin(infos.m_nTaille, ok != 0);
        prog.Terminer();
        if (!ok)
            throw ErreurOperation("cannot download '" + abs + "' to '" + cible.string() + "'");
        return SORTIE_SUCCES;
    }
    if (!ctx.options.bRecursif)
        throw ErreurOperation("'" + abs + "' is a directory on the instrument (use 'otdr get -r')");

    const fs::path racine = bLocalRep && !nom.empty() ? local / nom : local;
    if (fs::exists(racine, ec) && !fs::is_directory(racine, ec))
        throw ErreurOperation("'" + racine.string() + "' exists and is not a directory");
    CProgression prog(ctx.options.eProgres, 0, 0);
    CParcoursDistant parcours(c.Ftp(), Suivi(prog, true));
    const CParcoursDistant::tBilan bilan = parcours.Telecharger(Large(abs), LargeChemin(racine));
    prog.Terminer();
    std::printf("%s\n", Visible(Resume("Downloaded", bilan.nFichiers, prog.OctetsFaits(), "to " + racine.string(),
                                       prog.Secondes()) + LiensIgnores(bilan)).c_str());
    SignalerBilan(bilan, "downloaded");
    return SORTIE_SUCCES;
}

// ---------------------------------------------------------------- put

int CommandePut(tContexte& ctx)
{
    VerifierOperandes(ctx, 2, 2, "put [-r] LOCAL REMOTE");
    const fs::path local = fs::path(ctx.options.operandes[0]);
    std::error_code ec;
    const auto etat = fs::status(local, ec);
    if (!fs::exists(etat))
        throw ErreurOperation("no such local file or directory: '" + local.string() + "'");
    const bool bRepLocal = fs::is_directory(etat);
    if (bRepLocal && !ctx.options.bRecursif)
        throw ErreurOperation("'" + local.string() + "' is a directory (use 'otdr put -r')");
    if (!bRepLocal && !fs::is_regular_file(etat))
        throw ErreurOperation("'" + local.string() + "' is not a regular file");
    std::string nomLocal = local.filename().string();
    if (nomLocal.empty() || nomLocal == "." || nomLocal == "..")
        nomLocal = fs::weakly_canonical(fs::absolute(local, ec), ec).filename().string();

    CConnexionFtp c(ctx);
    c.Connecter();
    const std::string& operande = ctx.options.operandes[1];
    std::string abs = c.Absolu(operande);
    const bool bDansRep = FinitParBarre(operande) || c.EstRepertoire(abs);

    if (!bRepLocal) {
        if (bDansRep) abs = CheminDistant::Joindre(abs, nomLocal);
        const uint64_t taille = fs::file_size(local, ec);
        CProgression prog(ctx.options.eProgres, ec ? 0 : taille, 1);
        prog.Debut(local, nomLocal, false);
        const int ok = c.Ftp().PutFile(LargeChemin(local), Large(abs));
        prog.Fin(taille, ok != 0);
        prog.Terminer();
        if (!ok)
            throw ErreurOperation("cannot upload '" + local.string() + "' to '" + abs + "'");
        return SORTIE_SUCCES;
    }

    const std::string racine = bDansRep ? CheminDistant::Joindre(abs, nomLocal) : abs;
    CProgression prog(ctx.options.eProgres, 0, 0);
    CParcoursDistant parcours(c.Ftp(), Suivi(prog, false));
    const CParcoursDistant::tBilan bilan = parcours.Envoyer(LargeChemin(local), Large(racine));
    prog.Terminer();
    std::printf("%s\n", Visible(Resume("Uploaded", bilan.nFichiers, prog.OctetsFaits(), "to " + racine,
                                       prog.Secondes()) + LiensIgnores(bilan)).c_str());
    SignalerBilan(bilan, "uploaded");
    return SORTIE_SUCCES;
}

// ---------------------------------------------------------------- rm, mkdir, rmdir

int CommandeRm(tContexte& ctx)
{
    VerifierOperandes(ctx, 1, 1, "rm REMOTE");
    CConnexionFtp c(ctx);
    c.Connecter();
    const std::string abs = c.Absolu(ctx.options.operandes[0]);
    const tInfosFichierFtp infos = EtatExistant(c, abs, "file");
    if (CFTPDirect::IsDirectory(infos))
        throw ErreurOperation("'" + abs + "' is a directory (use 'otdr rmdir')");
    if (c.Ftp().SetCurrentDirectoryW(Large(CheminDistant::Parent(abs)), 0) != 0 ||
        !c.Ftp().DelFile(Large(CheminDistant::Nom(abs))))
        throw ErreurOperation("cannot delete '" + abs + "' on the instrument");
    return SORTIE_SUCCES;
}

int CommandeMkdir(tContexte& ctx)
{
    VerifierOperandes(ctx, 1, 1, "mkdir REMOTE");
    CConnexionFtp c(ctx);
    c.Connecter();
    const std::string abs = c.Absolu(ctx.options.operandes[0]);
    tInfosFichierFtp infos;
    if (abs == "/" || c.Etat(abs, infos))
        throw ErreurOperation("'" + abs + "' already exists on the instrument");
    const short n = c.CreerRepertoire(abs);
    if (n == 3)
        throw ErreurOperation("no such directory on the instrument: '" + CheminDistant::Parent(abs) + "'");
    if (n != 0)
        throw ErreurOperation("cannot create '" + abs + "' on the instrument (" + Statut(n) + ")");
    return SORTIE_SUCCES;
}

int CommandeRmdir(tContexte& ctx)
{
    VerifierOperandes(ctx, 1, 1, "rmdir [-r] REMOTE");
    CConnexionFtp c(ctx);
    c.Connecter();
    const std::string abs = c.Absolu(ctx.options.operandes[0]);
    if (abs == "/")
        throw ErreurOperation("the root directory of the instrument is never removed");
    const tInfosFichierFtp infos = EtatExistant(c, abs, "directory");
    if (!CFTPDirect::IsDirectory(infos))
        throw ErreurOperation("'" + abs + "' is not a directory (use 'otdr rm')");

    if (ctx.options.bRecursif) {
        CParcoursDistant parcours(c.Ftp());
        SignalerBilan(parcours.Supprimer(Large(abs)), "removed");
        return SORTIE_SUCCES;
    }
    const short n = c.Ftp().RemDir(Large(CheminDistant::Nom(abs)), Large(CheminDistant::Parent(abs)));
    if (n != 0)
        throw ErreurOperation("cannot remove '" + abs + "' on the instrument (" + Statut(n) +
                              "; not empty? use 'otdr rmdir -r')");
    return SORTIE_SUCCES;
}
