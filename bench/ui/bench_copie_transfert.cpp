// A recursive copy through the file transfer dialog (1,000 files in 50
// directories, from the instrument simulator's FTP service) beside
// `lftp -e "mirror ..."` fetching the same tree from the same server, both in
// active mode. Goal: the dialog takes at most 1.5 times lftp's time.
//
// Each side's clock holds what lftp's does: login, listing and the copy (the
// dialog's window is created and destroyed inside it too; lftp's process start
// and exit are inside its own). Rounds (OTDR_BENCH_ROUNDS, at least 7) are
// interleaved; each run happens in a fresh network namespace with its own
// simulator when this runs as root (unshare -n), so no run pays for the
// TIME_WAIT sockets of the one before; otherwise all runs share one simulator,
// and the output says so.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "common/Conversions.h"
#include "profile/CProfilMemoire.h"
#include "profile/ClesProfil.h"
#include "ftp/CFTPDirect.h"
#include "ui/CDlgFileTransfert.h"
#include "ui/IdsControles.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

struct tBanc
{
    fs::path dossier;
    pid_t pid = -1;
    int port = 0;
};
tBanc g_banc;

constexpr int kRepertoires = 50;
constexpr int kFichiersParRep = 20;

void Generer(const fs::path& racine)
{
    std::string contenu(6000, '\0');
    for (int d = 0; d < kRepertoires; ++d) {
        // Two levels: 10 groups of 5 directories, the files in the directories.
        const fs::path rep = racine / "arbre" / ("groupe" + std::to_string(d / 5)) / ("rep" + std::to_string(d));
        fs::create_directories(rep);
        for (int f = 0; f < kFichiersParRep; ++f) {
            for (size_t i = 0; i < contenu.size(); ++i) contenu[i] = static_cast<char>((i * 31 + d * 7 + f) & 0xFF);
            std::ofstream(rep / ("trace_" + std::to_string(f) + ".sor"), std::ios::binary) << contenu;
        }
    }
}

// Runs argv and waits for it; its standard output in *pSortie when asked.
int Executer(std::vector<std::string> argv, std::string* pSortie = nullptr)
{
    int tube[2] = {-1, -1};
    if (pSortie && ::pipe(tube) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (pSortie) {
        posix_spawn_file_actions_adddup2(&actions, tube[1], 1);
        posix_spawn_file_actions_addclose(&actions, tube[0]);
    }
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (pSortie) {
        ::close(tube[1]);
        char t[256];
        ssize_t n = 0;
        while (rc == 0 && (n = ::read(tube[0], t, sizeof t)) > 0) pSortie->append(t, static_cast<size_t>(n));
        ::close(tube[0]);
    }
    int statut = 0;
    if (rc != 0 || ::waitpid(pid, &statut, 0) < 0) return -1;
    return WIFEXITED(statut) ? WEXITSTATUS(statut) : -1;
}

// The simulator on the tree already generated in g_banc.dossier.
bool Demarrer()
{
    int tube[2];
    if (::pipe(tube) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, tube[1], 1);
    posix_spawn_file_actions_addclose(&actions, tube[0]);
    const std::string racine = (g_banc.dossier / "serveur").string();
    std::vector<std::string> argv{OTDR_PYTHON, OTDR_SIM_PATH, "--address", "127.0.0.1", "--port", "0",
                                  "--ftp-port", "0", "--ftp-root", racine};
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    const int rc = posix_spawn(&g_banc.pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(tube[1]);
    if (rc != 0) { ::close(tube[0]); return false; }
    FILE* sortie = ::fdopen(tube[0], "r");
    char ligne[256];
    while (sortie && std::fgets(ligne, sizeof ligne, sortie)) {
        int port = 0;
        if (std::sscanf(ligne, "LISTEN ftp %d", &port) == 1) g_banc.port = port;
        if (std::string(ligne).rfind("READY", 0) == 0) break;
    }
    // The simulator keeps writing nothing more of interest; leave the pipe open.
    return g_banc.port > 0;
}

void Arreter()
{
    if (g_banc.pid > 0) {
        ::kill(g_banc.pid, SIGTERM);
        ::waitpid(g_banc.pid, nullptr, 0);
    }
    g_banc.pid = -1;
}

fs::path Local(const char* nom)
{
    const fs::path p = g_banc.dossier / nom;
    std::error_code ec;
    fs::remove_all(p, ec);
    fs::create_directories(p);
    return p;
}

size_t Compter(const fs::path& p)
{
    size_t n = 0;
    for (const auto& e : fs::recursive_directory_iterator(p)) n += e.is_regular_file();
    return n;
}

using Horloge = std::chrono::steady_clock;

double Secondes(Horloge::time_point debut) { return std::chrono::duration<double>(Horloge::now() - debut).count(); }

// One copy through the dialog: login, window, listing, copy, window closed.
double CopieDialogue(size_t& nFichiers)
{
    auto profil = std::make_shared<CProfilMemoire>();
    DefinirProfil(profil);
    CFTPDirect ftp(L"127.0.0.1", g_banc.port);
    const fs::path local = Local("dialogue");
    profil->WriteProfileString(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_LOCAL,
                               CString(Utf8ToWide(local.string() + "/")));
    const auto debut = Horloge::now();
    CDlgFileTransfert dlg;
    if (dlg.ConnexionFtp(L"krx11", L"QWPZ", &ftp) != 1 || !dlg.Create()) {
        DefinirProfil(nullptr);
        return -1;
    }
    dlg.RafraichirDistant();  // the headless front end drops the posted refresh
    IControle* reps = dlg.GetDlgItem(IdsControles::IDC_REPS_DISTANTS);
    for (int i = 0; i < reps->GetCount(); ++i)
        if (reps->GetText(i) == L"[arbre]") reps->SetCurSel(i);
    dlg.CopierVersLocal();
    dlg.DestroyWindow();
    const double s = Secondes(debut);
    nFichiers = Compter(local);
    DefinirProfil(nullptr);
    return s;
}

// One lftp process: start, login, listing, copy, exit.
double CopieLftp(size_t& nFichiers)
{
    const fs::path local = Local("lftp");
    const std::string commande = "set ftp:passive-mode off; set net:max-retries 1; mirror /arbre " +
                                 (local / "arbre").string() + "; quit";
    const auto debut = Horloge::now();
    if (Executer({"/usr/bin/lftp", "-u", "krx11,QWPZ", "-p", std::to_string(g_banc.port), "-e", commande,
                  "127.0.0.1"}) != 0)
        return -1;
    const double s = Secondes(debut);
    nFichiers = Compter(local);
    return s;
}

// Inside a namespace of its own (or not): its simulator, one copy, the time
// and file count on standard output.
int UneMesure(const std::string& cote)
{
    Executer({"ip", "link", "set", "lo", "up"});  // a fresh namespace's loopback is down; elsewhere it is up
    if (!Demarrer()) {
        std::fprintf(stderr, "bench_copie_transfert: the simulator did not start\n");
        Arreter();
        return 1;
    }
    size_t nFichiers = 0;
    const double s = cote == "dialogue" ? CopieDialogue(nFichiers) : CopieLftp(nFichiers);
    Arreter();
    if (s < 0) return 1;
    std::printf("%.6f %zu\n", s, nFichiers);
    return 0;
}

struct tSerie
{
    std::vector<double> temps;
    size_t nFichiers = 0;
};

bool MesurerIsole(const char* soi, const std::string& cote, bool bEspace, tSerie& serie)
{
    std::string sortie;
    std::vector<std::string> argv{soi, "--une-mesure", cote, g_banc.dossier.string()};
    if (bEspace) argv.insert(argv.begin(), {"unshare", "-n"});
    if (Executer(argv, &sortie) != 0) return false;
    double s = 0;
    if (std::sscanf(sortie.c_str(), "%lf %zu", &s, &serie.nFichiers) != 2) return false;
    serie.temps.push_back(s);
    return true;
}

// Median, minimum and maximum.
void Resume(std::vector<double> v, double& med, double& lo, double& hi)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    med = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    lo = v.front();
    hi = v.back();
}

void Imprimer(const char* nom, const tSerie& s)
{
    double med = 0, lo = 0, hi = 0;
    Resume(s.temps, med, lo, hi);
    std::printf("  %-8s %8.3f s  (range %.3f-%.3f)  %zu files\n", nom, med, lo, hi, s.nFichiers);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--une-mesure") == 0) {
        g_banc.dossier = argv[3];
        return UneMesure(argv[2]);
    }
    if (::access("/usr/bin/lftp", X_OK) != 0) {
        std::fprintf(stderr, "bench_copie_transfert: needs /usr/bin/lftp\n");
        return 1;
    }
    const char* env = std::getenv("OTDR_BENCH_ROUNDS");
    const int nTours = std::max(7, env ? std::atoi(env) : 7);
    const bool bEspace = ::geteuid() == 0 && Executer({"unshare", "-n", "true"}) == 0;
    g_banc.dossier = fs::temp_directory_path() / ("otdr-bench-copie-" + std::to_string(::getpid()));
    fs::create_directories(g_banc.dossier / "serveur");
    Generer(g_banc.dossier / "serveur");
    tSerie dialogue, lftp;
    bool bOk = true;
    for (int r = 0; r < nTours && bOk; ++r) {
        // The side that starts alternates.
        const bool bDialogueDAbord = r % 2 == 0;
        bOk = MesurerIsole(argv[0], bDialogueDAbord ? "dialogue" : "lftp", bEspace,
                           bDialogueDAbord ? dialogue : lftp) &&
              MesurerIsole(argv[0], bDialogueDAbord ? "lftp" : "dialogue", bEspace,
                           bDialogueDAbord ? lftp : dialogue);
    }
    std::error_code ec;
    fs::remove_all(g_banc.dossier, ec);
    if (!bOk) {
        std::fprintf(stderr, "bench_copie_transfert: a run failed\n");
        return 1;
    }
    std::printf("recursive copy of %d files, login and listing included, %d interleaved rounds, %s:\n",
                kRepertoires * kFichiersParRep, nTours,
                bEspace ? "each run in a fresh network namespace with its own simulator"
                        : "one simulator for all runs (no namespace: not root)");
    Imprimer("dialog", dialogue);
    Imprimer("lftp", lftp);
    std::vector<double> rapports;
    for (size_t i = 0; i < dialogue.temps.size(); ++i) rapports.push_back(dialogue.temps[i] / lftp.temps[i]);
    double med = 0, lo = 0, hi = 0, md = 0, ml = 0, x = 0;
    Resume(rapports, med, lo, hi);
    Resume(dialogue.temps, md, x, x);
    Resume(lftp.temps, ml, x, x);
    std::printf("recursive copy time dialog/lftp  %.2f  (rounds %.2f-%.2f; goal <= 1.5)\n", md / ml, lo, hi);
    return 0;
}
