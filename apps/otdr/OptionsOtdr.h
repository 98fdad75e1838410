#pragma once
// The command line of otdr: one command, its operands, and global options that
// may appear before or after the command.

#include <optional>
#include <string>
#include <vector>

enum class eProgression { Auto, Toujours, Jamais };

// --shard I/N: the part of a fleet one run takes (0 <= I < N).
struct tTranche
{
    int nIndice = 0;
    int nNombre = 1;
};

struct tOptionsOtdr
{
    std::string strCommande;              // empty: none given
    std::vector<std::string> operandes;
    bool bAide = false;                   // --help / -h
    bool bVersion = false;
    bool bRecursif = false;               // -r (get, put, rmdir)
    bool bVerbeux = false;
    bool bJson = false;                   // --json: one JSON document out, errors as JSON
    std::optional<std::string> profil;
    std::optional<std::string> adresse;
    std::optional<int> port;              // PORT_PAR_DEFAUT: "default"
    std::optional<int> portFtp;
    std::optional<std::string> utilisateur;
    std::optional<std::string> motDePasse;
    bool bMotDePasseLigne = false;        // given as --password (seen in the process list)
    std::optional<long> delaiMs;          // --timeout, or OTDR_TIMEOUT
    std::optional<bool> passif;           // --passive (true) or --active (false); else the profile's
    eProgression eProgres = eProgression::Auto;
    std::optional<std::string> flotte;   // --fleet FILE: the command runs for each instrument of FILE
    int nTaches = 4;                      // --jobs N: instruments at once (1..JOBS_MAX)
    std::optional<tTranche> tranche;      // --shard I/N, with --fleet only
    int nParallele = 1;                   // --parallel: FTP connections of a tree copy
    bool bSilencieux = false;             // -q: no progress, no summary; errors only
    bool bEssai = false;                  // --dry-run: say what would be done, do nothing
    std::vector<std::string> inclusions;  // --include PATTERN: only the files that match one
    std::vector<std::string> exclusions;  // --exclude PATTERN: never the files that match one
    std::optional<long long> nouveauDepuis;   // --newer-than: seconds since 1970 UTC
    int nReprises = 0;                    // --retry N: runs again after a failure, N times at most
};

constexpr int REPRISES_MAX = 10;

// "--newer-than": a date (2026-12-01, 2026-12-01T08:30, 2026-12-01T08:30:15,
// UTC; a final Z allowed) or a duration back from nMaintenant (90s, 30m, 12h,
// 7d, 2w) -> seconds since 1970 UTC; a usage error otherwise.
long long LireDateLimite(const std::string& strValeur, long long nMaintenant);

// The operand count of the command against its usage; a usage error naming it.
void VerifierNombreOperandes(const tOptionsOtdr& o);

constexpr int JOBS_MAX = 64;

// Reads argv (without argv[0]). Throws CErreurOtdr(SORTIE_USAGE) on a wrong
// option or value; the operand count is checked by each command.
tOptionsOtdr AnalyserLigne(const std::vector<std::string>& args);

// "--port default": the default port, whatever the profile holds (and, for
// config, the stored port removed).
constexpr int PORT_PAR_DEFAUT = 0;

// A port number 1..65535, or "default" (PORT_PAR_DEFAUT); else a usage error
// naming the option.
int LirePortOption(const std::string& strOption, const std::string& strValeur);

// "I/N" with 0 <= I < N -> the shard; a usage error naming the option otherwise.
tTranche LireTranche(const std::string& strOption, const std::string& strValeur);

// "2", "0.5", "1.5s", "300ms" -> milliseconds; a usage error otherwise.
long LireDelai(const std::string& strOption, const std::string& strValeur);

// The help texts: general, or of one command (empty when the command is unknown).
std::string AideGenerale();
std::string AideCommande(const std::string& strCommande);
bool CommandeConnue(const std::string& strCommande);
// True for an option that takes a value ("--port N" or "--port=N").
bool OptionAvecValeur(const std::string& strNom);
