#include "OptionsOtdr.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "Erreurs.h"

namespace {

const char* const kCommandes[] = {"config", "identify", "ls", "get", "put", "rm", "mkdir", "rmdir", "scan", "sync"};

// Instruments allow few FTP sessions at once; more than this gains nothing.
constexpr int PARALLELE_MAX = 16;

} // namespace

bool OptionAvecValeur(const std::string& nom)
{
    return nom == "--profile" || nom == "--address" || nom == "--port" || nom == "--ftp-port" ||
           nom == "--user" || nom == "--password" || nom == "--timeout" || nom == "--progress" ||
           nom == "--fleet" || nom == "--jobs" || nom == "--parallel" || nom == "--include" ||
           nom == "--exclude" || nom == "--newer-than" || nom == "--retry" || nom == "--shard";
}

namespace {

const char* const kOptionsGlobales =
    "Global options (before or after the command):\n"
    "  --profile FILE    profile store to use (INI file; default\n"
    "                    $XDG_CONFIG_HOME/otdrdriver/profile.ini)\n"
    "  --address A       instrument address (default: the profile's)\n"
    "  --port N          command port (default: the profile's, else 1400;\n"
    "                    'default': 1400 whatever the profile holds)\n"
    "  --ftp-port N      FTP port (default: the profile's, else 21; 'default': 21)\n"
    "  --user U          FTP user name; without --password, the password of its\n"
    "                    ~/.netrc entry, else asked on a terminal\n"
    "  --password P      FTP password (or the OTDR_PASSWORD environment variable,\n"
    "                    which other users cannot see in the process list)\n"
    "                    Without --user: the ~/.netrc entry of the address; else\n"
    "                    the login of the instrument's family (its model asked\n"
    "                    with \"*IDN?\"); else the login stored with 'otdr config\n"
    "                    --user'; else the family logins in the driver's order:\n"
    "                    krx15, krx14, krx12, krx11, tellmar, anonymous.\n"
    "  --timeout S       time limit in seconds for each connection attempt and for\n"
    "                    each reply, in all (also the OTDR_TIMEOUT environment\n"
    "                    variable; default 15 to connect, 30 per reply, and 120\n"
    "                    for the whole connection sequence of identify; 3 for the\n"
    "                    model asked by the file commands)\n"
    "  --passive         passive FTP data connections (the tool connects to the\n"
    "                    instrument: through NAT, VPNs and firewalls). By default\n"
    "                    they are active (the instrument connects back) unless\n"
    "                    the profile's 'Ftp Passive' is 1; when an active one\n"
    "                    cannot be made, the tool says so and goes on in passive\n"
    "                    mode. --active: active only, never passive.\n"
    "  --parallel N      FTP connections that share the files of get -r, put -r and\n"
    "                    sync (1-16, default 1); fewer when the instrument refuses\n"
    "                    some\n"
    "  --progress WHEN   progress bars: auto (on a terminal, for transfers lasting\n"
    "                    over a second), always, never\n"
    "  -v, --verbose     trace every command line and FTP command on standard error\n"
    "                    (passwords masked)\n"
    "  -q, --quiet       no progress, no summary: errors only\n"
    "  --dry-run         print what get, put, rm, mkdir, rmdir, sync or config\n"
    "                    would do, and do nothing\n"
    "  --include PATTERN with get -r, put -r and sync, only the files that match\n"
    "                    (repeatable; '*', '?', '[...]'; a pattern with '/' is\n"
    "                    matched against the path below the tree, else the name)\n"
    "  --exclude PATTERN never the files that match, nor what lies in a directory\n"
    "                    whose name matches (repeatable)\n"
    "  --newer-than WHEN only the files changed since WHEN: a date in UTC\n"
    "                    (2026-12-01, 2026-12-01T08:30) or a time back from now\n"
    "                    (90s, 30m, 12h, 7d, 2w)\n"
    "  --retry N         run again after a failure (status 1), N times at most\n"
    "                    (0-10), waiting 1, 2, 4... seconds\n"
    "  --json            print one JSON document (identify, ls, scan, sync, fleet\n"
    "                    runs) and errors as one JSON object on standard error\n"
    "  --fleet FILE      run the command for every instrument of FILE, one a line:\n"
    "                    NAME ADDRESS [PORT [FTP_PORT]] ('#' starts a comment)\n"
    "  --jobs N          with --fleet, instruments handled at once (default 4)\n"
    "  --shard I/N       with --fleet, only the instruments whose index among the\n"
    "                    file's instrument lines (counted from 0; comments and\n"
    "                    blank lines not counted) modulo N is I; a shard that gets\n"
    "                    no instrument says so and succeeds (one shard per\n"
    "                    machine or per pod of an indexed job)\n"
    "  -h, --help        this help, or the command's\n"
    "  --version         the version\n";

const char* const kNoteFtp =
    "FTP commands log in to the instrument's FTP server directly (address and FTP\n"
    "port). Without --user they ask the command channel \"*IDN?\" and nothing\n"
    "else, so the login fits the instrument's family: the instrument is never\n"
    "taken into remote control. Remote paths are absolute or relative to the\n"
    "login directory.\n";

// How every tree command walks, for their help.
const char* const kTexteArbres =
    "Trees (-r, sync) are walked one directory at a time, each handled as soon as\n"
    "it is listed, none twice (a link back to one already walked is skipped), none\n"
    "deeper than 64 levels. One that cannot be entered or listed is skipped and\n"
    "named (status 1) and the rest goes on. When the connection is lost the tool\n"
    "logs in again once; the second time it stops and says what was not done.\n";

} // namespace

bool CommandeConnue(const std::string& c)
{
    for (const char* k : kCommandes)
        if (c == k) return true;
    return false;
}

int LirePortOption(const std::string& option, const std::string& valeur)
{
    if (valeur == "default") return PORT_PAR_DEFAUT;
    char* fin = nullptr;
    errno = 0;
    const long n = std::strtol(valeur.c_str(), &fin, 10);
    if (valeur.empty() || *fin != '\0' || errno != 0 || n < 1 || n > 65535)
        throw ErreurUsage(option + ": '" + valeur + "' is not a port number (1-65535) nor 'default'");
    return static_cast<int>(n);
}

tTranche LireTranche(const std::string& option, const std::string& valeur)
{
    const size_t barre = valeur.find('/');
    auto entier = [](const std::string& t, long& n) {
        char* fin = nullptr;
        errno = 0;
        n = std::strtol(t.c_str(), &fin, 10);
        return !t.empty() && std::isdigit(static_cast<unsigned char>(t[0])) && *fin == '\0' && errno == 0 &&
               n <= 1000000;
    };
    long i = -1, n = 0;
    if (barre == std::string::npos || !entier(valeur.substr(0, barre), i) || !entier(valeur.substr(barre + 1), n) ||
        n < 1 || i >= n)
        throw ErreurUsage(option + ": '" + valeur + "' is not a shard I/N (0 <= I < N, e.g. 0/4)");
    return {static_cast<int>(i), static_cast<int>(n)};
}

long LireDelai(const std::string& option, const std::string& valeur)
{
    std::string texte = valeur;
    double facteur = 1000.0;
    if (texte.size() > 2 && texte.compare(texte.size() - 2, 2, "ms") == 0) {
        texte.resize(texte.size() - 2);
        facteur = 1.0;
    } else if (texte.size() > 1 && texte.back() == 's') {
        texte.pop_back();
    }
    char* fin = nullptr;
    errno = 0;
    const double v = std::strtod(texte.c_str(), &fin);
    if (texte.empty() || *fin != '\0' || errno != 0 || !std::isfinite(v) || v <= 0 || v * facteur > 86400000.0)
        throw ErreurUsage(option + ": '" + valeur + "' is not a time limit in seconds (e.g. 5, 0.5, 300ms)");
    const long ms = static_cast<long>(std::llround(v * facteur));
    return ms < 1 ? 1 : ms;
}

namespace {

void VerifierPortees(const tOptionsOtdr& o);

// -r, --fleet, --shard and --parallel against the command they came with.
void VerifierPorteesCommande(const tOptionsOtdr& o)
{
    if (o.bAide) return;
    if (o.bRecursif && o.strCommande != "get" && o.strCommande != "put" && o.strCommande != "rmdir")
        throw ErreurUsage("option -r applies to get, put and rmdir only");
    if (o.flotte) {
        if (o.strCommande == "config" || o.strCommande == "scan")
            throw ErreurUsage("--fleet does not apply to " + o.strCommande);
        if (o.adresse) throw ErreurUsage("--fleet and --address exclude each other: the file gives the addresses");
    }
    if (o.tranche && !o.flotte) throw ErreurUsage("--shard applies to --fleet only");
    if (o.nParallele > 1 && !((o.bRecursif && o.strCommande != "rmdir") || o.strCommande == "sync"))
        throw ErreurUsage("option --parallel applies to get -r, put -r and sync only");
}

// The checks of a whole command line, once every option is read.
void Completer(tOptionsOtdr& o)
{
    if (!o.motDePasse) {
        if (const char* env = std::getenv("OTDR_PASSWORD"))
            o.motDePasse = std::string(env);
    }
    // Help and version need no time limit: a wrong one must not stand in their way.
    if (!o.delaiMs && !o.bAide && !o.bVersion) {
        if (const char* env = std::getenv("OTDR_TIMEOUT"); env && *env)
            o.delaiMs = LireDelai("OTDR_TIMEOUT", env);
    }
    VerifierPorteesCommande(o);
    VerifierPortees(o);
    if (o.bSilencieux) o.eProgres = eProgression::Jamais;
    // Checked here, before anything runs: a fleet says it once, not once per instrument.
    if (!o.bAide && !o.strCommande.empty()) VerifierNombreOperandes(o);
}

// The options that apply to some commands only.
void VerifierPortees(const tOptionsOtdr& o)
{
    if (o.bAide) return;
    const bool bArbre = (o.bRecursif && (o.strCommande == "get" || o.strCommande == "put")) || o.strCommande == "sync";
    if (!bArbre && (!o.inclusions.empty() || !o.exclusions.empty() || o.nouveauDepuis))
        throw ErreurUsage("options --include, --exclude and --newer-than apply to get -r, put -r and sync only");
    const bool bChange = o.strCommande == "get" || o.strCommande == "put" || o.strCommande == "rm" ||
                         o.strCommande == "mkdir" || o.strCommande == "rmdir" || o.strCommande == "sync" ||
                         o.strCommande == "config";
    if (o.bEssai && !bChange)
        throw ErreurUsage("option --dry-run applies to the commands that change something: get, put, rm, mkdir, "
                          "rmdir, sync, config");
}

// A flag option (no value); false when it is none.
bool AppliquerDrapeau(tOptionsOtdr& o, const std::string& a)
{
    if (a == "-h" || a == "--help") o.bAide = true;
    else if (a == "--version") o.bVersion = true;
    else if (a == "--verbose" || a == "-v") o.bVerbeux = true;
    else if (a == "--json") o.bJson = true;
    else if (a == "-r" || a == "--recursive") o.bRecursif = true;
    else if (a == "--passive") o.passif = true;
    else if (a == "--active") o.passif = false;
    else if (a == "-q" || a == "--quiet") o.bSilencieux = true;
    else if (a == "--dry-run") o.bEssai = true;
    else return false;
    return true;
}

} // namespace



namespace {

// A whole number from nMin to nMax, else a usage error naming the option and what it counts.
int LireNombre(const std::string& nom, const std::string& valeur, long nMin, long nMax, const std::string& quoi)
{
    char* fin = nullptr;
    errno = 0;
    const long n = std::strtol(valeur.c_str(), &fin, 10);
    if (valeur.empty() || *fin != '\0' || errno != 0 || n < nMin || n > nMax)
        throw ErreurUsage(nom + ": '" + valeur + "' is not " + quoi);
    return static_cast<int>(n);
}

std::string NonVide(const std::string& nom, const std::string& valeur, const char* quoi)
{
    if (valeur.empty()) throw ErreurUsage(nom + ": the " + quoi + " is empty");
    return valeur;
}

// An option that takes a value; false when it is none of them.
bool AppliquerValeur(tOptionsOtdr& o, const std::string& nom, const std::string& valeur)
{
    if (nom == "--profile") o.profil = NonVide(nom, valeur, "file name");
    else if (nom == "--fleet") o.flotte = NonVide(nom, valeur, "file name");
    else if (nom == "--port") o.port = LirePortOption(nom, valeur);
    else if (nom == "--ftp-port") o.portFtp = LirePortOption(nom, valeur);
    else if (nom == "--user") o.utilisateur = valeur;
    else if (nom == "--timeout") o.delaiMs = LireDelai(nom, valeur);
    else if (nom == "--include") o.inclusions.push_back(NonVide(nom, valeur, "pattern"));
    else if (nom == "--exclude") o.exclusions.push_back(NonVide(nom, valeur, "pattern"));
    else if (nom == "--newer-than") o.nouveauDepuis = LireDateLimite(valeur, static_cast<long long>(std::time(nullptr)));
    else if (nom == "--parallel")
        o.nParallele = LireNombre(nom, valeur, 1, PARALLELE_MAX,
                                  "a number of connections (1-" + std::to_string(PARALLELE_MAX) + ")");
    else if (nom == "--retry")
        o.nReprises = LireNombre(nom, valeur, 0, REPRISES_MAX, "a number from 0 to " + std::to_string(REPRISES_MAX));
    else if (nom == "--jobs")
        o.nTaches = LireNombre(nom, valeur, 1, JOBS_MAX, "a number from 1 to " + std::to_string(JOBS_MAX));
    else if (nom == "--shard") o.tranche = LireTranche(nom, valeur);
    else return false;
    return true;
}

void AppliquerOption(tOptionsOtdr& o, const std::string& nom, const std::string& valeur)
{
    if (AppliquerValeur(o, nom, valeur)) return;
    if (nom == "--address") {
        if (valeur.empty() || valeur.find_first_of(" \t\r\n") != std::string::npos)
            throw ErreurUsage("--address: '" + valeur + "' is not an address");
        o.adresse = valeur;
    } else if (nom == "--password") {
        o.motDePasse = valeur;
        o.bMotDePasseLigne = true;
    } else if (nom == "--progress") {
        if (valeur == "auto") o.eProgres = eProgression::Auto;
        else if (valeur == "always") o.eProgres = eProgression::Toujours;
        else if (valeur == "never") o.eProgres = eProgression::Jamais;
        else throw ErreurUsage("--progress: '" + valeur + "' is not auto, always or never");
    }
}

// Short options together: "-rv" is "-r -v".
void AppliquerCourtes(tOptionsOtdr& o, const std::string& a)
{
    for (size_t k = 1; k < a.size(); ++k) {
        const std::string c = std::string("-") + a[k];
        if (c != "-r" && c != "-v" && c != "-h" && c != "-q")
            throw ErreurUsage("unknown option '" + c + "' in '" + a + "' (see 'otdr --help')");
    }
    for (size_t k = 1; k < a.size(); ++k) AppliquerDrapeau(o, std::string("-") + a[k]);
}

void AjouterMot(tOptionsOtdr& o, const std::string& a)
{
    if (!o.strCommande.empty()) {
        o.operandes.push_back(a);
        return;
    }
    if (!CommandeConnue(a)) throw ErreurUsage("unknown command '" + a + "' (see 'otdr --help')");
    o.strCommande = a;
}

} // namespace

tOptionsOtdr AnalyserLigne(const std::vector<std::string>& args)
{
    tOptionsOtdr o;
    bool bFinOptions = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (bFinOptions || a.empty() || a[0] != '-' || a == "-") {
            AjouterMot(o, a);
            continue;
        }
        if (a == "--") {
            bFinOptions = true;
            continue;
        }
        const size_t egal = a.compare(0, 2, "--") == 0 ? a.find('=') : std::string::npos;
        const bool bValeurJointe = egal != std::string::npos;
        const std::string nom = bValeurJointe ? a.substr(0, egal) : a;
        if (OptionAvecValeur(nom)) {
            if (!bValeurJointe && i + 1 >= args.size())
                throw ErreurUsage("option " + nom + " needs a value (see 'otdr --help')");
            AppliquerOption(o, nom, bValeurJointe ? a.substr(egal + 1) : args[++i]);
        } else if (bValeurJointe) {
            throw ErreurUsage("option " + nom + " takes no value");
        } else if (a.size() > 2 && a[1] != '-') {
            AppliquerCourtes(o, a);
        } else if (!AppliquerDrapeau(o, a)) {
            throw ErreurUsage("unknown option '" + a + "' (see 'otdr --help')");
        }
    }
    Completer(o);
    return o;
}

std::string AideGenerale()
{
    return std::string(
               "Usage: otdr [OPTIONS] COMMAND [ARGS]\n"
               "Reach a fibre-optic test instrument: identify it and move files over FTP.\n"
               "\n"
               "Commands:\n"
               "  config [--address A] [--port N|default] [--ftp-port N|default]\n"
               "         [--passive|--active] [--user U]\n"
               "                       show, or set, the instrument in the profile\n"
               "  identify             connect, print model, version and connection state\n"
               "  ls [REMOTE_DIR]      list a remote directory like 'ls -l'\n"
               "  get [-r] REMOTE... LOCAL\n"
               "                       copy files (or, with -r, trees) from the instrument\n"
               "  put [-r] LOCAL REMOTE  copy a file (or, with -r, a tree) to the instrument\n"
               "  rm REMOTE...         delete remote files\n"
               "  mkdir REMOTE         create a remote directory\n"
               "  rmdir [-r] REMOTE    remove a remote directory (with -r, and its content)\n"
               "  scan [--port N] TARGET...  find the instruments answering at these addresses\n"
               "  sync REMOTE_DIR LOCAL_DIR\n"
               "                       copy what is new or changed in REMOTE_DIR into LOCAL_DIR\n"
               "\n") +
           kOptionsGlobales +
           "\n" + kNoteFtp +
           "\nExit status: 0 success, 1 the operation failed, 2 wrong command line.\n"
           "'otdr COMMAND --help' describes one command.\n";
}

namespace {

// Each command's own help, before the notes it shares with others.
const std::pair<const char*, const char*> kAidesCommandes[] = {
    {"config",
     "Usage: otdr config [--address A] [--port N|default] [--ftp-port N|default]\n"
     "                   [--passive|--active] [--user U] [--profile FILE]\n"
     "Without options, show the instrument settings of the profile: address,\n"
     "command port, FTP port, data connections and login. With options,\n"
     "store the values given; 'default' removes a stored port, so 1400 and 21\n"
     "apply again. --passive stores passive FTP data connections ('Ftp\n"
     "Passive'), --active goes back to active ones. --user U stores a login\n"
     "('Ftp Login', 'Ftp Password', as the identification dialog's \"Other\"\n"
     "choice): its password is asked on a terminal (not shown) or read from\n"
     "the first line of standard input, never from the command line; --user ''\n"
     "forgets it. The stored login serves instruments whose model names no\n"
     "family.\n"
     "The profile is the store the driver and every host read ('Adress IP',\n"
     "'Port' and 'Ftp Port' in section 'OTDR Driver'). A profile that cannot\n"
     "be read (not a profile, not a regular file, not readable) is reported\n"
     "and never replaced; a symbolic link is written through to its target.\n"},
    {"identify",
     "Usage: otdr identify [--address A] [--port N]\n"
     "Connect to the instrument's command channel (as a host does with the\n"
     "driver's StartDriver), print its model, its version and the connection\n"
     "state, then hand the instrument back to local control (\"*LOC\") and\n"
     "disconnect. Fails (status 1) when no connection can be made or the\n"
     "instrument does not identify itself.\n"},
    {"ls",
     "Usage: otdr ls [REMOTE_DIR]\n"
     "List a remote directory (default: the login directory) like 'ls -l':\n"
     "attributes, size in bytes, date (MM/DD/YYYY HH:MM:SS) and name, sorted by\n"
     "name. Attributes: d directory, then a archive, c compressed, h hidden,\n"
     "n normal, r read-only, s system ('-' where absent).\n"
     "Given a file, list that file. A listing the server cuts short, refuses or\n"
     "lets time out ends with status 1 and names the directory (what came is shown).\n"},
    {"get",
     "Usage: otdr get [-r] REMOTE... LOCAL\n"
     "Copy the remote file REMOTE to LOCAL (into it when LOCAL is a directory;\n"
     "with several, LOCAL must be one). The last part of REMOTE may be a\n"
     "pattern ('/Traces/*1310nm.sor'; '*', '?', '[...]'; quote it from the\n"
     "shell), matched against its directory's listing. LOCAL '-' writes the\n"
     "one file to standard output. A failed download leaves an existing LOCAL\n"
     "file as it was.\n"
     "With -r, copy the remote directory REMOTE and everything under it: to\n"
     "LOCAL/<name> when LOCAL is an existing directory, else to LOCAL.\n"},
    {"put",
     "Usage: otdr put [-r] LOCAL REMOTE\n"
     "Copy the local file LOCAL to REMOTE (into it when REMOTE is a remote\n"
     "directory). With -r, copy the local directory LOCAL and everything under\n"
     "it: to REMOTE/<name> when REMOTE is an existing remote directory, else to\n"
     "REMOTE (created).\n"},
    {"rm",
     "Usage: otdr rm REMOTE...\n"
     "Delete the remote files REMOTE (directories: see 'otdr rmdir'). The last\n"
     "part of each may be a pattern ('/Traces/*.tmp'), matched against its\n"
     "directory's listing; --dry-run lists what would go.\n"},
    {"mkdir",
     "Usage: otdr mkdir REMOTE\n"
     "Create the remote directory REMOTE; its parent must exist.\n"},
    {"rmdir",
     "Usage: otdr rmdir [-r] REMOTE\n"
     "Remove the remote directory REMOTE, which must be empty; with -r, remove\n"
     "its files and subdirectories first. The root directory is never removed.\n"
     "A link is removed as a link: what it leads to is never touched. Nothing\n"
     "is removed from a directory whose listing was cut short.\n"},
    {"scan",
     "Usage: otdr scan [--port N] TARGET...\n"
     "Find the instruments at TARGET: addresses, host names or IPv4 blocks up to\n"
     "/22 (1024 addresses, e.g. 192.168.1.0/24). Each address is probed on the\n"
     "command port (default 1400), 64 at a time: the probe connects (1 s limit),\n"
     "sends \"*IDN?\" and nothing else, reads the reply (3 s limit) and closes, so\n"
     "no instrument is taken into remote control. --timeout S sets both limits.\n"
     "Prints address, model, version and serial of each instrument, in the order\n"
     "of the targets (a block in ascending order), and the addresses that accepted\n"
     "the connection without identifying. Status 1 when none identified itself.\n"},
    {"sync",
     "Usage: otdr sync [--parallel N] REMOTE_DIR LOCAL_DIR\n"
     "Copy the contents of the remote directory REMOTE_DIR into LOCAL_DIR (created\n"
     "when missing), fetching only the files that are new or changed: a local\n"
     "file of another size, or whose time is not the instrument's, is fetched\n"
     "again. Local files get the instrument's times, so a second sync of an\n"
     "unchanged tree only lists it. Nothing is ever deleted locally.\n"
     "A download cut short is kept aside (\".otdr-r*.part\" beside its file) and\n"
     "continued by the next sync where the server allows it, else fetched again.\n"
     "Prints how many files were new, changed, unchanged and failed; status 1\n"
     "when any failed.\n"},
};

} // namespace

std::string AideCommande(const std::string& c)
{
    std::string s;
    for (const auto& aide : kAidesCommandes)
        if (c == aide.first) s = aide.second;
    if (s.empty()) return {};
    if (c == "get" || c == "put" || c == "rmdir" || c == "sync")
        s += kTexteArbres;
    if (c != "config" && c != "identify" && c != "scan")
        s += "\n" + std::string(kNoteFtp);
    return s + "\n" + kOptionsGlobales;
}

long long LireDateLimite(const std::string& valeur, long long nMaintenant)
{
    const auto erreur = [&] {
        return ErreurUsage("--newer-than: '" + valeur +
                           "' is neither a date (2026-12-01, 2026-12-01T08:30, UTC) nor a duration (90s, 30m, 12h, "
                           "7d, 2w)");
    };
    char* fin = nullptr;
    errno = 0;
    const double n = std::strtod(valeur.c_str(), &fin);
    static const std::pair<char, long long> kUnites[] = {{'s', 1}, {'m', 60}, {'h', 3600}, {'d', 86400}, {'w', 604800}};
    if (fin != valeur.c_str() && errno == 0 && std::isfinite(n) && n >= 0 && fin[0] != '\0' && fin[1] == '\0' &&
        valeur.find('-') == std::string::npos) {
        for (const auto& u : kUnites)
            if (fin[0] == u.first && n * static_cast<double>(u.second) < 1e11)
                return nMaintenant - static_cast<long long>(std::llround(n * static_cast<double>(u.second)));
        throw erreur();
    }
    std::tm t{};
    int nLus = 0;
    const int n1 = std::sscanf(valeur.c_str(), "%4d-%2d-%2d%n", &t.tm_year, &t.tm_mon, &t.tm_mday, &nLus);
    if (n1 != 3) throw erreur();
    std::string reste = valeur.substr(static_cast<size_t>(nLus));
    if (!reste.empty() && reste.back() == 'Z') reste.pop_back();
    if (!reste.empty()) {
        int nLusHeure = 0;
        if ((std::sscanf(reste.c_str(), "T%2d:%2d:%2d%n", &t.tm_hour, &t.tm_min, &t.tm_sec, &nLusHeure) != 3 &&
             std::sscanf(reste.c_str(), "T%2d:%2d%n", &t.tm_hour, &t.tm_min, &nLusHeure) != 2) ||
            static_cast<size_t>(nLusHeure) != reste.size())
            throw erreur();
    }
    if (t.tm_mon < 1 || t.tm_mon > 12 || t.tm_mday < 1 || t.tm_mday > 31 || t.tm_hour > 23 || t.tm_min > 59 ||
        t.tm_sec > 60 || t.tm_year < 1970)
        throw erreur();
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return static_cast<long long>(timegm(&t));
}

void VerifierNombreOperandes(const tOptionsOtdr& o)
{
    constexpr size_t N = static_cast<size_t>(-1);
    static const struct { const char* commande; size_t nMin, nMax; const char* usage; } kUsages[] = {
        {"config", 0, 0, "config [--address A] [--port N|default] [--ftp-port N|default] [--passive|--active] [--user U]"},
        {"identify", 0, 0, "identify"},
        {"ls", 0, 1, "ls [REMOTE_DIR]"},
        {"get", 2, N, "get [-r] REMOTE... LOCAL"},
        {"put", 2, 2, "put [-r] LOCAL REMOTE"},
        {"rm", 1, N, "rm REMOTE..."},
        {"mkdir", 1, 1, "mkdir REMOTE"},
        {"rmdir", 1, 1, "rmdir [-r] REMOTE"},
        {"scan", 1, N, "scan [--port N] TARGET..."},
        {"sync", 2, 2, "sync REMOTE_DIR LOCAL_DIR"},
    };
    const size_t n = o.operandes.size();
    for (const auto& u : kUsages)
        if (o.strCommande == u.commande && (n < u.nMin || n > u.nMax))
            throw ErreurUsage(std::string(n < u.nMin ? "missing operand" : "too many operands") + ": usage: otdr " +
                              u.usage + " (see 'otdr " + o.strCommande + " --help')");
}
