#include "Flotte.h"

#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <set>
#include <sstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Affichage.h"
#include "Erreurs.h"
#include "Json.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

// The children alive, for TerminerFlotte: a slot is cleared before its child is
// reaped, so a pid signalled is never one the system gave to someone else.
std::array<std::atomic<pid_t>, JOBS_MAX> g_enfants{};

bool NomValide(const std::string& n)
{
    if (n.empty() || n[0] == '.' || n[0] == '-' || n.size() > 128) return false;
    for (char c : n)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-') return false;
    return true;
}

std::string Port(const std::optional<int>& p) { return *p == PORT_PAR_DEFAUT ? "default" : std::to_string(*p); }

// The operand naming the local side of a command that copies to this machine:
// each instrument gets its own directory under it.
int OperandeLocal(const std::string& commande)
{
    return commande == "get" || commande == "sync" ? 1 : -1;
}

// The command line of one instrument: the user's, without the options the
// fleet sets (its own, the ports, progress bars), the local operand made
// LOCAL/NAME, and the instrument's address and ports in front.
std::vector<std::string> LigneEnfant(const std::vector<std::string>& args, const tOptionsOtdr& o,
                                     const tInstrumentFlotte& inst, const std::string& strLocal)
{
    std::vector<std::string> r{"--address", inst.strAdresse, "--progress", "never"};
    const std::optional<int> port = inst.port ? inst.port : o.port;
    const std::optional<int> portFtp = inst.portFtp ? inst.portFtp : o.portFtp;
    r.insert(r.end(), {"--port", port ? Port(port) : "default", "--ftp-port", portFtp ? Port(portFtp) : "default"});
    bool bFinOptions = false, bCommande = false;
    int nOperande = 0;
    const int nLocal = OperandeLocal(o.strCommande);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (bFinOptions || a.empty() || a[0] != '-' || a == "-") {
            if (bCommande && nOperande++ == nLocal) {
                r.push_back(strLocal);
                continue;
            }
            bCommande = true;
            r.push_back(a);
            continue;
        }
        if (a == "--") {
            bFinOptions = true;
            r.push_back(a);
            continue;
        }
        const std::string nom = a.substr(0, a.find('='));
        const bool bRetiree = nom == "--fleet" || nom == "--jobs" || nom == "--port" || nom == "--ftp-port" ||
                              nom == "--progress" || nom == "--shard";
        const bool bValeurSuit = OptionAvecValeur(nom) && a.find('=') == std::string::npos;
        if (!bRetiree) r.push_back(a);
        if (bValeurSuit && i + 1 < args.size()) {
            if (!bRetiree) r.push_back(args[i + 1]);
            ++i;
        }
    }
    return r;
}

struct tTache
{
    const tInstrumentFlotte* pInst = nullptr;
    size_t nSlot = 0;
    pid_t pid = -1;
    int fdSortie = -1, fdErreur = -1;
    std::string tamponSortie, tamponErreur;
    std::string strDocument;          // --json: the child's standard output, whole
    std::optional<std::string> derniereErreur;   // held back: it may be the reason of a failure
    int nSortie = -1;
    std::string strRaison;
    bool bFinie = false;
};

class CFlotte
{
public:
    CFlotte(const std::vector<std::string>& args, const tOptionsOtdr& o, std::vector<tInstrumentFlotte> instruments)
        : m_args(args), m_o(o), m_instruments(std::move(instruments)), m_taches(m_instruments.size())
    {
        char chemin[4096];
        const ssize_t n = ::readlink("/proc/self/exe", chemin, sizeof chemin - 1);
        m_strProgramme = n > 0 ? std::string(chemin, static_cast<size_t>(n)) : "/proc/self/exe";
    }

    int Executer()
    {
        size_t nSuivant = 0, nEnCours = 0;
        while (nSuivant < m_taches.size() || nEnCours > 0) {
            while (nSuivant < m_taches.size() && nEnCours < static_cast<size_t>(m_o.nTaches)) {
                if (Lancer(nSuivant)) ++nEnCours;
                ++nSuivant;
            }
            nEnCours -= Attendre();
        }
        return Conclure();
    }

private:
    size_t SlotLibre() const
    {
        for (size_t i = 0; i < g_enfants.size(); ++i)
            if (g_enfants[i].load() == 0) return i;
        return 0;
    }

    bool Lancer(size_t i)
    {
        tTache& t = m_taches[i];
        t.pInst = &m_instruments[i];
        std::string local;
        const int nLocal = OperandeLocal(m_o.strCommande);
        if (nLocal >= 0 && static_cast<size_t>(nLocal) < m_o.operandes.size()) {
            const fs::path dossier = fs::path(m_o.operandes[static_cast<size_t>(nLocal)]) / t.pInst->strNom;
            std::error_code ec;
            fs::create_directories(dossier, ec);
            if (ec) return Echec(t, "cannot create '" + dossier.string() + "': " + ec.message());
            local = dossier.string();
        }
        std::vector<std::string> ligne = LigneEnfant(m_args, m_o, *t.pInst, local);
        ligne.insert(ligne.begin(), m_strProgramme);
        std::vector<char*> argv;
        for (std::string& s : ligne) argv.push_back(s.data());
        argv.push_back(nullptr);

        int sortie[2], erreur[2];
        if (::pipe2(sortie, O_CLOEXEC) != 0) return Echec(t, std::string("cannot start: ") + std::strerror(errno));
        if (::pipe2(erreur, O_CLOEXEC) != 0) {
            ::close(sortie[0]), ::close(sortie[1]);
            return Echec(t, std::string("cannot start: ") + std::strerror(errno));
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, sortie[1], 1);
        posix_spawn_file_actions_adddup2(&actions, erreur[1], 2);
        posix_spawnattr_t attributs;
        posix_spawnattr_init(&attributs);
        sigset_t aucun;
        sigemptyset(&aucun);
        posix_spawnattr_setsigmask(&attributs, &aucun);
        posix_spawnattr_setflags(&attributs, POSIX_SPAWN_SETSIGMASK);
        const int n = ::posix_spawn(&t.pid, m_strProgramme.c_str(), &actions, &attributs, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributs);
        ::close(sortie[1]);
        ::close(erreur[1]);
        if (n != 0) {
            ::close(sortie[0]), ::close(erreur[0]);
            return Echec(t, std::string("cannot start: ") + std::strerror(n));
        }
        t.nSlot = SlotLibre();
        g_enfants[t.nSlot].store(t.pid);
        t.fdSortie = sortie[0];
        t.fdErreur = erreur[0];
        return true;
    }

    bool Echec(tTache& t, const std::string& raison)
    {
        t.bFinie = true;
        t.nSortie = SORTIE_ECHEC;
        t.strRaison = raison;
        return false;
    }

    // Waits for output or an end; relays whole lines. The number of children that ended.
    size_t Attendre()
    {
        std::vector<pollfd> fds;
        std::vector<std::pair<tTache*, bool>> quoi;   // the task, and whether stdout
        bool bEnAttente = false;
        for (tTache& t : m_taches) {
            if (t.pid < 0 || t.bFinie) continue;
            if (t.fdSortie >= 0) fds.push_back({t.fdSortie, POLLIN, 0}), quoi.push_back({&t, true});
            if (t.fdErreur >= 0) fds.push_back({t.fdErreur, POLLIN, 0}), quoi.push_back({&t, false});
            if (t.fdSortie < 0 && t.fdErreur < 0) bEnAttente = true;
        }
        // A child that closed both pipes but has not ended yet is looked at again soon.
        if (!fds.empty() && ::poll(fds.data(), fds.size(), bEnAttente ? 50 : -1) < 0 && errno != EINTR) return 0;
        for (size_t i = 0; i < fds.size(); ++i)
            if (fds[i].revents != 0) LireFlux(*quoi[i].first, quoi[i].second);
        size_t nFinies = 0;
        for (tTache& t : m_taches)
            if (t.pid > 0 && !t.bFinie && t.fdSortie < 0 && t.fdErreur < 0 && Recolter(t)) ++nFinies;
        return nFinies;
    }

    // Takes what one of a child's pipes holds (stdout or stderr) and relays its
    // whole lines; at the pipe's end, closes it and relays the rest.
    void LireFlux(tTache& t, bool bSortie)
    {
        int& fd = bSortie ? t.fdSortie : t.fdErreur;
        char bloc[65536];
        const ssize_t n = ::read(fd, bloc, sizeof bloc);
        if (n < 0 && errno == EINTR) return;
        if (n <= 0) {
            ::close(fd);
            fd = -1;
            Relayer(t, bSortie, true);
            return;
        }
        (bSortie ? t.tamponSortie : t.tamponErreur).append(bloc, static_cast<size_t>(n));
        Relayer(t, bSortie, false);
    }

    // Prints the whole lines received (all that is left at the end of the stream).
    void Relayer(tTache& t, bool bSortie, bool bFin)
    {
        std::string& tampon = bSortie ? t.tamponSortie : t.tamponErreur;
        if (bSortie && m_o.bJson) {
            t.strDocument += tampon;
            tampon.clear();
            return;
        }
        size_t debut = 0;
        for (size_t fin; (fin = tampon.find('\n', debut)) != std::string::npos; debut = fin + 1)
            Ligne(t, bSortie, tampon.substr(debut, fin - debut));
        tampon.erase(0, debut);
        if (bFin && !tampon.empty()) {
            Ligne(t, bSortie, tampon);
            tampon.clear();
        }
    }

    void Ligne(tTache& t, bool bSortie, const std::string& ligne)
    {
        if (bSortie) {
            std::fprintf(stdout, "%s: %s\n", t.pInst->strNom.c_str(), ligne.c_str());
            return;
        }
        if (t.derniereErreur) Emettre(t, *t.derniereErreur);
        t.derniereErreur = ligne;
    }

    void Emettre(const tTache& t, const std::string& ligne)
    {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", t.pInst->strNom.c_str(), ligne.c_str());
    }

    bool Recolter(tTache& t)
    {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(t.pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == 0)
            return false;
        g_enfants[t.nSlot].store(0);
        int etat = 0;
        while (::waitpid(t.pid, &etat, 0) < 0 && errno == EINTR) {}
        t.bFinie = true;
        if (WIFEXITED(etat)) {
            t.nSortie = WEXITSTATUS(etat);
        } else {
            t.nSortie = SORTIE_ECHEC;
            t.strRaison = "ended by signal " + std::to_string(WTERMSIG(etat));
            t.strDocument.clear();   // cut short: not a document
        }
        // The child's own last message is the reason of its failure.
        if (t.derniereErreur) {
            std::string raison;
            if (t.nSortie != SORTIE_SUCCES && t.strRaison.empty() &&
                (m_o.bJson ? LireErreurJson(*t.derniereErreur, raison)
                           : t.derniereErreur->rfind("otdr: ", 0) == 0 && !(raison = t.derniereErreur->substr(6)).empty()))
                t.strRaison = raison;
            else
                Emettre(t, *t.derniereErreur);
            t.derniereErreur.reset();
        }
        if (t.nSortie != SORTIE_SUCCES && t.strRaison.empty())
            t.strRaison = "ended with status " + std::to_string(t.nSortie);
        return true;
    }

    int Conclure()
    {
        std::fflush(stdout);
        size_t nEchecs = 0;
        for (const tTache& t : m_taches) nEchecs += t.nSortie != SORTIE_SUCCES;
        if (m_o.bJson) std::printf("%s\n", Document(nEchecs).c_str());
        std::fflush(stdout);
        for (const tTache& t : m_taches) {
            if (t.nSortie == SORTIE_SUCCES) continue;
            const std::string quoi = t.pInst->strNom + " (" + t.pInst->strAdresse + ")";
            if (m_o.bJson) {
                CEcrivainJson j;
                j.DebutObjet().Cle("error").Valeur(quoi + ": " + t.strRaison).Cle("status").Valeur(t.nSortie);
                j.Cle("name").Valeur(t.pInst->strNom).FinObjet();
                std::fprintf(stderr, "%s\n", j.Texte().c_str());
            } else {
                // The instrument's reason is already terminal-safe: it comes from
                // the child's own message.
                std::fprintf(stderr, "otdr: %s failed: %s\n", Visible(quoi).c_str(), t.strRaison.c_str());
            }
        }
        if (nEchecs > 0 && !m_o.bJson)
            std::fprintf(stderr, "otdr: %zu of %zu instruments failed\n", nEchecs, m_taches.size());
        // The fleet file's ports are checked here: a child's usage error is the
        // command line's, the same for every instrument.
        for (const tTache& t : m_taches)
            if (t.nSortie == SORTIE_USAGE) return SORTIE_USAGE;
        return nEchecs > 0 ? SORTIE_ECHEC : SORTIE_SUCCES;
    }

    std::string Document(size_t nEchecs) const
    {
        CEcrivainJson j;
        j.DebutObjet().Cle("command").Valeur(m_o.strCommande).Cle("instruments").DebutTableau();
        for (const tTache& t : m_taches) {
            const tInstrumentFlotte& i = *t.pInst;
            j.DebutObjet().Cle("name").Valeur(i.strNom).Cle("address").Valeur(i.strAdresse);
            j.Cle("status").Valeur(t.nSortie);
            // A child's document is whole once it ended normally: it prints it at once.
            const size_t d = t.strDocument.find_first_not_of(" \t\r\n");
            const size_t f = t.strDocument.find_last_not_of(" \t\r\n");
            const bool bDocument = d != std::string::npos && (t.strDocument[d] == '{' || t.strDocument[d] == '[') &&
                                   (t.strDocument[f] == '}' || t.strDocument[f] == ']');
            j.Cle("result");
            if (bDocument) j.Brut(t.strDocument.substr(d, f - d + 1));
            else j.Nul();
            // A command without a document of its own (get, put...): its text;
            // the key is always there, null when there is none.
            j.Cle("output");
            if (!bDocument && d != std::string::npos) j.Valeur(t.strDocument);
            else j.Nul();
            j.Cle("error");
            if (t.nSortie == SORTIE_SUCCES) j.Nul();
            else j.Valeur(t.strRaison);
            j.FinObjet();
        }
        j.FinTableau().Cle("failed").Valeur(uint64_t(nEchecs)).FinObjet();
        return j.Texte();
    }

    const std::vector<std::string>& m_args;
    const tOptionsOtdr& m_o;
    std::vector<tInstrumentFlotte> m_instruments;
    std::vector<tTache> m_taches;
    std::string m_strProgramme;
};

// The instruments of shard I/N: those whose index in the file (comments and
// blank lines not counted) modulo N is I, so the shards of N runs cover the
// fleet once between them.
std::vector<tInstrumentFlotte> GarderTranche(std::vector<tInstrumentFlotte> tous, const tTranche& t)
{
    std::vector<tInstrumentFlotte> r;
    for (size_t i = static_cast<size_t>(t.nIndice); i < tous.size(); i += static_cast<size_t>(t.nNombre))
        r.push_back(std::move(tous[i]));
    return r;
}

} // namespace

std::vector<tInstrumentFlotte> AnalyserFlotte(const std::string& texte, const std::string& fichier)
{
    std::vector<tInstrumentFlotte> r;
    std::set<std::string> noms;
    std::istringstream flux(texte);
    std::string ligne;
    for (int n = 1; std::getline(flux, ligne); ++n) {
        ligne = ligne.substr(0, ligne.find('#'));
        std::istringstream mots(ligne);
        std::vector<std::string> champs;
        for (std::string m; mots >> m;) champs.push_back(m);
        if (champs.empty()) continue;
        const std::string ou = "the fleet file '" + fichier + "', line " + std::to_string(n) + ": ";
        if (champs.size() > 4)
            throw ErreurUsage(ou + "expected NAME ADDRESS [PORT [FTP_PORT]]");
        if (champs.size() < 2)
            throw ErreurUsage(ou + "'" + champs[0] + "' has no address (expected NAME ADDRESS [PORT [FTP_PORT]])");
        tInstrumentFlotte i;
        i.strNom = champs[0];
        i.strAdresse = champs[1];
        if (!NomValide(i.strNom))
            throw ErreurUsage(ou + "'" + i.strNom + "' is not a name (letters, digits, '.', '_' and '-', " +
                              "not starting with '.' or '-')");
        if (!noms.insert(i.strNom).second) throw ErreurUsage(ou + "the name '" + i.strNom + "' is used twice");
        try {
            if (champs.size() > 2) i.port = LirePortOption("PORT", champs[2]);
            if (champs.size() > 3) i.portFtp = LirePortOption("FTP_PORT", champs[3]);
        } catch (const CErreurOtdr& e) {
            throw ErreurUsage(ou + e.what());
        }
        r.push_back(std::move(i));
    }
    if (r.empty()) throw ErreurUsage("the fleet file '" + fichier + "' names no instrument");
    return r;
}

int ExecuterFlotte(const std::vector<std::string>& args, const tOptionsOtdr& o)
{
    std::ifstream f(*o.flotte, std::ios::binary);
    std::error_code ec;
    if (!f || fs::is_directory(*o.flotte, ec))
        throw ErreurOperation("cannot read the fleet file '" + *o.flotte + "': " +
                              (f ? "it is a directory" : std::strerror(errno)));
    std::ostringstream texte;
    texte << f.rdbuf();
    if (o.strCommande.empty()) throw ErreurUsage("no command given (see 'otdr --help')");
    std::vector<tInstrumentFlotte> instruments = AnalyserFlotte(texte.str(), *o.flotte);
    if (o.tranche) {
        const size_t nTous = instruments.size();
        instruments = GarderTranche(std::move(instruments), *o.tranche);
        // More shards than instruments is the normal state of a fixed-size
        // indexed job over a small fleet: nothing to do is no failure.
        if (instruments.empty() && !o.bJson)
            std::fprintf(stderr, "otdr: shard %d/%d of the fleet file '%s' has no instrument (it names %zu)\n",
                         o.tranche->nIndice, o.tranche->nNombre, Visible(*o.flotte).c_str(), nTous);
    }
    CFlotte flotte(args, o, std::move(instruments));
    // Whole lines reach the terminal or file in the order written, standard
    // output and error alike.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    return flotte.Executer();
}

void TerminerFlotte()
{
    for (auto& e : g_enfants)
        if (const pid_t pid = e.load(); pid > 0) ::kill(pid, SIGTERM);
}
