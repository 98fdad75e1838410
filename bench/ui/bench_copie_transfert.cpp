// A recursive copy through the file transfer dialog (1,000 files in 50
// directories, from the instrument simulator's FTP service) beside
// `lftp -e "mirror ..."` fetching the same tree from the same server, both in
// active mode. Goal: the dialog takes at most 1.5 times lftp's time.

#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
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

bool Demarrer()
{
    g_banc.dossier = fs::temp_directory_path() / ("otdr-bench-copie-" + std::to_string(::getpid()));
    fs::create_directories(g_banc.dossier / "serveur");
    Generer(g_banc.dossier / "serveur");

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
    std::error_code ec;
    fs::remove_all(g_banc.dossier, ec);
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

void BM_CopieDialogue(benchmark::State& state)
{
    auto profil = std::make_shared<CProfilMemoire>();
    DefinirProfil(profil);
    CFTPDirect ftp(L"127.0.0.1", g_banc.port);
    size_t nFichiers = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path local = Local("dialogue");
        profil->WriteProfileString(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_LOCAL,
                                   CString(Utf8ToWide(local.string() + "/")));
        CDlgFileTransfert dlg;
        if (dlg.ConnexionFtp(L"krx11", L"QWPZ", &ftp) != 1 || !dlg.Create()) {
            state.SkipWithError("login or window failed");
            return;
        }
        dlg.RafraichirDistant();  // the headless front end drops the posted refresh
        IControle* reps = dlg.GetDlgItem(IdsControles::IDC_REPS_DISTANTS);
        for (int i = 0; i < reps->GetCount(); ++i)
            if (reps->GetText(i) == L"[arbre]") reps->SetCurSel(i);
        state.ResumeTiming();
        dlg.CopierVersLocal();
        state.PauseTiming();
        dlg.DestroyWindow();
        nFichiers = Compter(local);
        state.ResumeTiming();
    }
    state.counters["files"] = static_cast<double>(nFichiers);
    DefinirProfil(nullptr);
}

void BM_CopieLftp(benchmark::State& state)
{
    size_t nFichiers = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path local = Local("lftp");
        const std::string commande = "set ftp:passive-mode off; set net:max-retries 1; mirror /arbre " +
                                     (local / "arbre").string() + "; quit";
        std::vector<std::string> argv{"/usr/bin/lftp", "-u", "krx11,QWPZ", "-p", std::to_string(g_banc.port),
                                      "-e", commande, "127.0.0.1"};
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        state.ResumeTiming();
        pid_t pid = -1;
        int statut = 0;
        if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0 ||
            ::waitpid(pid, &statut, 0) < 0) {
            state.SkipWithError("lftp failed");
            return;
        }
        state.PauseTiming();
        nFichiers = Compter(local);
        state.ResumeTiming();
    }
    state.counters["files"] = static_cast<double>(nFichiers);
}

class CRapport : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& r : runs) temps[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> temps;
};

} // namespace

BENCHMARK(BM_CopieDialogue)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CopieLftp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (::access("/usr/bin/lftp", X_OK) != 0) {
        std::fprintf(stderr, "bench_copie_transfert: needs /usr/bin/lftp\n");
        return 1;
    }
    if (!Demarrer()) {
        std::fprintf(stderr, "bench_copie_transfert: the simulator did not start\n");
        Arreter();
        return 1;
    }
    CRapport rapport;
    benchmark::RunSpecifiedBenchmarks(&rapport);
    Arreter();
    double dialogue = -1, lftp = -1;
    for (const auto& [nom, t] : rapport.temps) {
        if (nom.rfind("BM_CopieDialogue", 0) == 0) dialogue = t;
        if (nom.rfind("BM_CopieLftp", 0) == 0) lftp = t;
    }
    if (dialogue > 0 && lftp > 0)
        std::printf("\nrecursive copy time dialog/lftp  %.2f  (goal <= 1.5)\n", dialogue / lftp);
    return 0;
}
