#pragma once
// What every command works with: the parsed options, the profile store, and
// the instrument's address and ports once resolved from options and profile.

#include <memory>
#include <string>

#include "OptionsOtdr.h"
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

// Commands; each returns the exit status or throws CErreurOtdr.
int CommandeConfig(tContexte& ctx);
int CommandeIdentify(tContexte& ctx);
int CommandeLs(tContexte& ctx);
int CommandeGet(tContexte& ctx);
int CommandePut(tContexte& ctx);
int CommandeRm(tContexte& ctx);
int CommandeMkdir(tContexte& ctx);
int CommandeRmdir(tContexte& ctx);
