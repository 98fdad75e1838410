#pragma once
// What every command works with: the parsed options, the profile store, and
// the instrument's address and ports once resolved from options and profile.

#include <filesystem>
#include <memory>
#include <string>

#include "OptionsOtdr.h"
#include "ftp/CFTPDirect.h"
#include "ftp/CMoteurTransferts.h"
#include "ftp/CParcoursDistant.h"
#include "profile/CProfilIni.h"
#include "profile/Profil.h"

struct tContexte
{
    tOptionsOtdr options;
    std::shared_ptr<IProfil> profil;   // the INI store (--profile, or the default one)
    std::shared_ptr<CProfilIni> ini;   // the same, for its diagnostics
    std::string strCheminProfil;       // its file, for messages
    std::string strAdresse;            // empty when neither option nor profile gives one
    int nPort = 1400;
    int nPortFtp = 21;
    // FTP data connections: --passive or the profile's key; --active: never passive.
    CFTPDirect::tModeDonnees eModeFtp = CFTPDirect::tModeDonnees::Actif;

    // Address text for messages: "host", "[v6 address]", and "host:port".
    std::string Hote() const
    {
        return strAdresse.find(':') != std::string::npos ? "[" + strAdresse + "]" : strAdresse;
    }
    std::string Cible(int nPortCible) const { return Hote() + ":" + std::to_string(nPortCible); }
};

// The instrument's model as it identifies itself on the command channel, each
// step limited to nLimiteMs; empty when it does not answer or identify itself.
std::string ModeleAppareil(const tContexte& ctx, long nLimiteMs);

// Writes one trace line on standard error (--verbose); safe from any thread.
void EcrireTrace(const std::string& strCanal, const std::string& strLigne);

// Writes the message of a failure on standard error: "otdr: ..." on one line,
// or under --json one JSON object with the exit status it ends with.
void EcrireErreur(const std::string& strMessage, int nSortie);

// A usage error unless the command has nMin to nMax operands.
void VerifierOperandes(const tContexte& ctx, size_t nMin, size_t nMax, const char* pszUsage);

// Commands; each returns the exit status or throws CErreurOtdr.
int CommandeConfig(tContexte& ctx);
int CommandeIdentify(tContexte& ctx);
int CommandeLs(tContexte& ctx);
int CommandeGet(tContexte& ctx);
int CommandePut(tContexte& ctx);
int CommandeRm(tContexte& ctx);
int CommandeMkdir(tContexte& ctx);
int CommandeRmdir(tContexte& ctx);
int CommandeScan(tContexte& ctx);
int CommandeSync(tContexte& ctx);

// Shared by the tree commands.
class CProgression;
// "Downloaded 3 files (1.2 MiB) to x in 0.4 s".
std::string Resume(const char* pszVerbe, int nFichiers, uint64_t nOctets, const std::string& strCible, double s);
class CConnexionFtp;
// Runs a job in the transfer engine on c's client (with --parallel's
// connections for the copies and sync), abonne told its events, and waits
// for its end: the summary.
CMoteurTransferts::tResultat ExecuterTravail(CConnexionFtp& c, CMoteurTransferts::tTravail travail,
                                             CMoteurTransferts::IAbonne& abonne);
// One file (TelechargerFichier, EnvoyerFichier) through the engine, its
// progress on prog (ended); true when done, else the client's
// GetDerniereErreur says why.
bool TransfererFichier(CConnexionFtp& c, CProgression& prog, CMoteurTransferts::tOperation eOperation,
                       const std::string& strDistant, const std::filesystem::path& local);
// " (skipped 1 link to a directory already walked: '/a/self')", or nothing.
std::string LiensIgnores(const CParcoursDistant::tBilan& b);
// Ends a tree command: throws, naming what failed, was skipped or not done.
void SignalerBilan(const CParcoursDistant::tBilan& b, const std::string& strQuoi);
// Says on standard error when the instrument allowed fewer connections than --parallel.
void NoterSessions(const tContexte& ctx, const CParcoursDistant::tBilan& b);
