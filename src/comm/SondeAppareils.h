#pragma once
// Finding instruments on a network: every address of a list of targets is
// probed on the command port, a few dozen at a time. A probe connects (one
// port only), sends "*IDN?" and nothing else, reads the one reply line and
// closes: no instrument is taken into remote control, none is left waiting.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "comm/TraceCom.h"
#include "common/Export.h"

struct tParametresSonde
{
    unsigned nPort = 1400;
    int nConnexionMs = 1000;    // each connection attempt: short, most addresses do not answer
    int nReponseMs = 3000;      // the reply to "*IDN?" (one wait)
    // A line sent unasked on connecting is left this long to arrive, and is
    // drained, before "*IDN?"; one arriving this soon after the reply makes it doubtful.
    int nReposMs = 100;
    unsigned nSimultanes = 64;  // probes at once
    // Called from the probing threads (so it must be safe from any thread),
    // with the address probed.
    std::function<void(const std::string& strAdresse, eSensTrace sens, const std::string& texte)> trace;
};

enum class eEtatSonde {
    Absent,     // no connection (refused, no answer in time, unreachable)
    Inconnu,    // the target is not an address, or its name does not resolve
    Muet,       // connected, but no identification came back
    Identifie,  // answered "*IDN?" with a maker and a model
};

struct tAppareilSonde
{
    std::string strAdresse;   // as scanned: a dotted address of a block, or the target as given
    eEtatSonde eEtat = eEtatSonde::Absent;
    // The reply's fields (UTF-8; the instrument's bytes are ISO-8859-1).
    std::string strFabricant, strModele, strNumeroSerie, strVersion;
    std::optional<std::string> strReponse;   // the reply line, when one came
    std::string strRaison;    // why not identified: the channel's reason, or the reply that was not an identification
};

// Targets: IPv4 or IPv6 addresses, host names, IPv4 blocks "a.b.c.d/N" with N
// from 22 to 32 (at most 1,024 addresses; a block's network and broadcast
// addresses are left out from /30 up). Addresses are probed in the order of
// the targets, each block in ascending order, an address met twice once
// (127.0.0.002 is 127.0.0.2). A target made of digits and dots that is not an
// IPv4 address (300.1.1.1) never reaches the resolver: its result says why.
// False, with the reason in strErreur, when a target is not one of these
// (nothing is probed then); otherwise one result per address, in that order.
OTDR_EXPORT bool SonderAppareils(const std::vector<std::string>& cibles, const tParametresSonde& parametres,
                                 std::vector<tAppareilSonde>& resultats, std::string& strErreur);
