// Instrument channel benchmarks.
//  (a) CPU used by the channel while it waits for a reply that never comes
//      (goal: under 1% of a core): the wait must block, not poll.
//  (b) Ouvrir + Initialiser + Identifier against the simulator, against the same
//      exchange by a minimal raw-socket client: median ratio (goal: at most 1.5).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "comm/CAppareilBaseTcpIp.h"

namespace {

double CpuThreadSecondes()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A listener that accepts and never answers.
class CEcouteMuette
{
public:
    CEcouteMuette()
    {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(m_fd, 8);
        socklen_t len = sizeof a;
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_nPort = ntohs(a.sin_port);
    }
    ~CEcouteMuette() { close(m_fd); }
    int Port() const { return m_nPort; }

private:
    int m_fd = -1;
    int m_nPort = 0;
};

// The simulator, started once for the whole run.
class CSimulateur
{
public:
    bool Demarrer()
    {
        int tube[2];
        if (pipe2(tube, O_CLOEXEC) != 0) return false;
        std::vector<std::string> argv{OTDR_PYTHON, OTDR_SIM_PATH, "--address", "127.0.0.1", "--port", "0"};
        if (std::filesystem::exists(std::filesystem::path(OTDR_SIM_PATH).parent_path() / "sim_ftp.py")) {
            argv.push_back("--ftp-port");
            argv.push_back("0");
        }
        m_pid = fork();
        if (m_pid == 0) {
            dup2(tube[1], STDOUT_FILENO);
            std::vector<char*> args;
            for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        close(tube[1]);
        std::string sortie;
        char tampon[512];
        for (;;) {
            pollfd p{tube[0], POLLIN, 0};
            if (poll(&p, 1, 20000) <= 0) break;
            ssize_t n = read(tube[0], tampon, sizeof tampon);
            if (n <= 0) break;
            sortie.append(tampon, static_cast<size_t>(n));
            if (sortie.find("READY\n") != std::string::npos) break;
        }
        close(tube[0]);
        const size_t pos = sortie.find("LISTEN command ");
        if (pos != std::string::npos) m_nPort = std::atoi(sortie.c_str() + pos + 15);
        return m_nPort > 0;
    }
    ~CSimulateur()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int status;
            waitpid(m_pid, &status, 0);
        }
    }
    int Port() const { return m_nPort; }

private:
    pid_t m_pid = -1;
    int m_nPort = 0;
};

bool EchangeBrut(int port);

CSimulateur& Simulateur()
{
    static CSimulateur sim;
    static bool demarre = [] {
        if (!sim.Demarrer()) return false;
        // Warm the simulator up so neither side pays its first connections.
        for (int i = 0; i < 20; ++i) EchangeBrut(sim.Port());
        return true;
    }();
    (void)demarre;
    return sim;
}

std::vector<double> g_tempsCanal, g_tempsBrut;

double Mediane(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void BM_AttenteReponseCpu(benchmark::State& state)
{
    CEcouteMuette muet;
    for (auto _ : state) {
        CAppareilBaseTcpIp canal;
        tDelaisCom d;
        d.nAttenteReponseMs = 1000; // LireReponse waits twice: 2 s in all
        canal.SetDelais(d);
        canal.SetAdresse(L"127.0.0.1");
        canal.SetPort(static_cast<unsigned>(muet.Port()));
        if (canal.Connecter() != 0) {
            state.SkipWithError("connect failed");
            break;
        }
        const auto debutMur = std::chrono::steady_clock::now();
        const double debutCpu = CpuThreadSecondes();
        CString reponse;
        const short r = canal.LireReponse(reponse);
        const double cpu = CpuThreadSecondes() - debutCpu;
        const double mur = std::chrono::duration<double>(std::chrono::steady_clock::now() - debutMur).count();
        state.SetIterationTime(mur);
        state.counters["result"] = r;
        state.counters["cpu_percent_of_core"] = 100.0 * cpu / mur;
    }
}
BENCHMARK(BM_AttenteReponseCpu)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_IdentificationCanal(benchmark::State& state)
{
    const int port = Simulateur().Port();
    if (port <= 0) {
        state.SkipWithError("simulator did not start");
        return;
    }
    for (auto _ : state) {
        const auto debut = std::chrono::steady_clock::now();
        CAppareilBaseTcpIp appareil;
        appareil.SetAdresse(L"127.0.0.1");
        appareil.SetPort(static_cast<unsigned>(port));
        if (appareil.Ouvrir() != 0 || appareil.Initialiser() != 0 || appareil.Identifier() != 0) {
            state.SkipWithError("exchange failed");
            break;
        }
        appareil.Fermer();
        const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - debut).count();
        g_tempsCanal.push_back(t);
        state.SetIterationTime(t);
    }
}
BENCHMARK(BM_IdentificationCanal)->Iterations(200)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The same exchange, written as plainly as possible.
bool LigneBrute(int fd, std::string& reste, std::string& ligne)
{
    for (;;) {
        const size_t nl = reste.find('\n');
        if (nl != std::string::npos) {
            ligne = reste.substr(0, nl);
            reste.erase(0, nl + 1);
            return true;
        }
        char tampon[512];
        const ssize_t n = recv(fd, tampon, sizeof tampon, 0);
        if (n <= 0) return false;
        reste.append(tampon, static_cast<size_t>(n));
    }
}

bool EchangeBrut(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    int un = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &un, sizeof un);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    std::string reste, ligne;
    auto envoyer = [&](const char* l) { return send(fd, l, std::strlen(l), MSG_NOSIGNAL) > 0; };
    auto etatOk = [&] {
        return envoyer("*STB?\n") && LigneBrute(fd, reste, ligne) && (std::atoi(ligne.c_str()) & 32) == 0;
    };
    ok = ok && envoyer("*REM\n") && envoyer("*CLS\n") && etatOk();
    ok = ok && envoyer("*CLS\n") && etatOk();
    ok = ok && envoyer("*CLS\n") && etatOk();
    ok = ok && envoyer("*IDN?\n") && LigneBrute(fd, reste, ligne) && ligne.find("KRX 15") != std::string::npos;
    shutdown(fd, SHUT_WR);
    close(fd);
    return ok;
}

void BM_IdentificationBrute(benchmark::State& state)
{
    const int port = Simulateur().Port();
    if (port <= 0) {
        state.SkipWithError("simulator did not start");
        return;
    }
    for (auto _ : state) {
        const auto debut = std::chrono::steady_clock::now();
        if (!EchangeBrut(port)) {
            state.SkipWithError("exchange failed");
            break;
        }
        const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - debut).count();
        g_tempsBrut.push_back(t);
        state.SetIterationTime(t);
    }
}
BENCHMARK(BM_IdentificationBrute)->Iterations(200)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double canal = Mediane(g_tempsCanal), brut = Mediane(g_tempsBrut);
    auto quantile = [](std::vector<double> v, double q) {
        if (v.empty()) return 0.0;
        std::sort(v.begin(), v.end());
        return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1))];
    };
    std::printf("channel p10/p90/max: %.0f/%.0f/%.0f us; raw socket: %.0f/%.0f/%.0f us\n",
                quantile(g_tempsCanal, 0.1) * 1e6, quantile(g_tempsCanal, 0.9) * 1e6, quantile(g_tempsCanal, 1) * 1e6,
                quantile(g_tempsBrut, 0.1) * 1e6, quantile(g_tempsBrut, 0.9) * 1e6, quantile(g_tempsBrut, 1) * 1e6);
    if (canal > 0 && brut > 0)
        std::printf("identify exchange, median: channel %.0f us, raw socket %.0f us, ratio %.2f (goal <= 1.5)\n",
                    canal * 1e6, brut * 1e6, canal / brut);
    return 0;
}
