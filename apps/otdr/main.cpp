// otdr: the command-line face of the driver library.

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <pthread.h>
#include <chrono>
#include <thread>

#include "Affichage.h"
#include "CProgression.h"
#include "Contexte.h"
#include "Erreurs.h"
#include "Flotte.h"
#include "Json.h"
#include "OptionsOtdr.h"
#include "common/Conversions.h"
#include "profile/CProfilIni.h"
#include "profile/ClesProfil.h"

namespace {

std::mutex g_mutexTrace;
bool g_bJson = false;   // set before the command line is parsed: its own errors are JSON too

bool DemandeJson(const std::vector<std::string>& args)
{
    for (const std::string& a : args) {
        if (a == "--") return false;
        if (a == "--json") return true;
    }
    return false;
}

// The instrument from options first, then from the profile.
void Resoudre(tContexte& ctx)
{
    const tOptionsOtdr& o = ctx.options;
    auto ini = o.profil ? std::make_shared<CProfilIni>(std::filesystem::path(*o.profil))
                        : std::make_shared<CProfilIni>();
    ctx.strCheminProfil = ini->Chemin().string();
    ctx.profil = ini;
    ctx.ini = ini;

    using namespace ClesProfil;
    if (o.adresse) {
        ctx.strAdresse = *o.adresse;
    } else {
        // Nothing to read the instrument from: say why rather than "not set".
        std::string raison;
        if (o.strCommande != "config" && !ini->Verifier(raison))
            throw ErreurOperation("cannot read the profile '" + ctx.strCheminProfil + "': " + raison);
        CString a = ini->GetProfileString(SECTION_DRIVER, ADRESSE_IP, L"");
        a.Trim();
        ctx.strAdresse = WideToUtf8(a);
    }
    auto port = [&](const std::optional<int>& option, const wchar_t* cle, int defaut) {
        if (option) return *option == PORT_PAR_DEFAUT ? defaut : *option;
        const int n = ini->GetProfileInt(SECTION_DRIVER, cle, 0);
        return (n > 0 && n <= 65535) ? n : defaut;
    };
    ctx.nPort = port(o.port, PORT, 1400);
    ctx.nPortFtp = port(o.portFtp, FTP_PORT, 21);
    using tMode = CFTPDirect::tModeDonnees;
    if (o.passif) ctx.eModeFtp = *o.passif ? tMode::Passif : tMode::ActifSeul;
    else if (ini->GetProfileInt(SECTION_DRIVER, FTP_PASSIF, 0) != 0) ctx.eModeFtp = tMode::Passif;
}

int ExecuterCommande(tContexte& ctx);

// --retry N: a run that failed (status 1: the instrument, the network) is made
// again, N times at most, after 1, 2, 4... seconds (60 at most); each failure
// is said. A wrong command line is never retried.
int AvecReprises(tContexte& ctx)
{
    for (int nEssai = 0;; ++nEssai) {
        try {
            return ExecuterCommande(ctx);
        } catch (const CErreurOtdr& e) {
            if (e.Sortie() != SORTIE_ECHEC || nEssai >= ctx.options.nReprises) throw;
            EcrireErreur(e.what(), e.Sortie());
        }
        const int nAttente = nEssai < 6 ? 1 << nEssai : 60;
        std::fprintf(stderr, "otdr: trying again in %d s (%d of %d)\n", nAttente, nEssai + 1, ctx.options.nReprises);
        std::this_thread::sleep_for(std::chrono::seconds(nAttente));
    }
}

int Executer(const std::vector<std::string>& args)
{
    tContexte ctx;
    ctx.options = AnalyserLigne(args);
    const tOptionsOtdr& o = ctx.options;
    if (o.bVersion && o.strCommande.empty()) {
        std::printf("otdr %s\n", OTDR_VERSION);
        return SORTIE_SUCCES;
    }
    if (o.bAide) {
        std::fputs((o.strCommande.empty() ? AideGenerale() : AideCommande(o.strCommande)).c_str(), stdout);
        return SORTIE_SUCCES;
    }
    if (o.strCommande.empty())
        throw ErreurUsage("no command given (see 'otdr --help')");
    if (o.flotte) return ExecuterFlotte(args, o);
    // A scan reaches addresses of its own: the profile's instrument plays no part.
    if (o.strCommande == "scan") return CommandeScan(ctx);

    Resoudre(ctx);
    if (o.strCommande == "config") return CommandeConfig(ctx);
    return AvecReprises(ctx);
}
int ExecuterCommande(tContexte& ctx)
{
    const std::string& c = ctx.options.strCommande;
    if (c == "identify") return CommandeIdentify(ctx);
    if (c == "ls") return CommandeLs(ctx);
    if (c == "get") return CommandeGet(ctx);
    if (c == "put") return CommandePut(ctx);
    if (c == "rm") return CommandeRm(ctx);
    if (c == "mkdir") return CommandeMkdir(ctx);
    if (c == "rmdir") return CommandeRmdir(ctx);
    if (c == "sync") return CommandeSync(ctx);
    throw ErreurUsage("unknown command '" + c + "'");
}

} // namespace

void EcrireErreur(const std::string& message, int nSortie)
{
    std::fflush(stdout);
    const std::string ligne = g_bJson ? ErreurJson(message, nSortie) : "otdr: " + Visible(message);
    std::lock_guard<std::mutex> lock(g_mutexTrace);
    std::fprintf(stderr, "%s\n", ligne.c_str());
}

void EcrireTrace(const std::string& canal, const std::string& ligne)
{
    const std::string visible = Visible(ligne);
    std::lock_guard<std::mutex> lock(g_mutexTrace);
    std::fprintf(stderr, "[%s] %s\n", canal.c_str(), visible.c_str());
}

// Ctrl+C, SIGTERM, SIGHUP: handled on a thread of their own (every other
// thread, the library's included, has them blocked), so a download cut short
// leaves no partial file behind.
static void SurveillerInterruptions()
{
    sigset_t signaux;
    sigemptyset(&signaux);
    sigaddset(&signaux, SIGINT);
    sigaddset(&signaux, SIGTERM);
    sigaddset(&signaux, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signaux, nullptr);
    std::thread([signaux] {
        int n = 0;
        if (sigwait(&signaux, &n) != 0)
            return;
        CProgression::Interrompre();
        TerminerFlotte();
        std::fprintf(stderr, "otdr: interrupted\n");
        std::_Exit(128 + n);
    }).detach();
}

int main(int argc, char** argv)
{
    SurveillerInterruptions();
    // Numbers on the wire stay in the "C" locale whatever the user's.
    std::setlocale(LC_ALL, "C");
    std::vector<std::string> args(argv + 1, argv + argc);
    g_bJson = DemandeJson(args);
    int nSortie;
    try {
        nSortie = Executer(args);
    } catch (const CErreurOtdr& e) {
        nSortie = e.Sortie();
        EcrireErreur(e.what(), nSortie);
    } catch (const std::exception& e) {
        nSortie = SORTIE_ECHEC;
        EcrireErreur(e.what(), nSortie);
    }
    std::fflush(stdout);
    return nSortie;
}
