// The FTP client beside plain libcurl, both inside this process, both logged
// in once and keeping their connection (like with like: no process start, no
// login on either side), in active mode against the same vsftpd on loopback:
//   GET and PUT of a 256 MiB file, 7 times each (goal: at least 0.95 of libcurl's throughput),
//   listing of a 10,000-entry directory (libcurl only fetches the raw text; the
//   client also parses it and builds the records).
// Whole processes against whole processes (the otdr CLI beside curl and lftp,
// login included) are compared by comparer_ftp.py in this folder.
// Set OTDR_BENCH_FTP_MIB to use another file size.

#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <curl/curl.h>

#include "ftp/CFTPDirect.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

struct tBanc
{
    fs::path dossier;
    fs::path racine;
    fs::path local;
    pid_t pid = -1;
    int port = 0;
    long long taille = 0;
};
tBanc g_banc;

int PortLibre()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    ::close(s);
    return ntohs(a.sin_port);
}

bool Accepte(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

int Lancer(const std::vector<std::string>& argv, pid_t* pPid = nullptr)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
        return -1;
    if (pPid) {
        *pPid = pid;
        return 0;
    }
    int statut = 0;
    waitpid(pid, &statut, 0);
    return WIFEXITED(statut) ? WEXITSTATUS(statut) : -1;
}

bool Preparer()
{
    const char* mib = std::getenv("OTDR_BENCH_FTP_MIB");
    g_banc.taille = (mib ? std::atoll(mib) : 256) << 20;
    char modele[] = "/tmp/otdr-bench-ftp-XXXXXX";
    if (!mkdtemp(modele))
        return false;
    g_banc.dossier = modele;
    g_banc.racine = g_banc.dossier / "root";
    g_banc.local = g_banc.dossier / "local";
    fs::create_directories(g_banc.racine / "many");
    fs::create_directories(g_banc.dossier / "empty");
    fs::create_directories(g_banc.local);
    {
        std::ofstream f(g_banc.racine / "big.bin", std::ios::binary);
        std::vector<char> bloc(1 << 20);
        for (size_t i = 0; i < bloc.size(); ++i)
            bloc[i] = static_cast<char>(i * 2654435761u >> 24);
        for (long long n = 0; n < g_banc.taille; n += static_cast<long long>(bloc.size()))
            f.write(bloc.data(), static_cast<std::streamsize>(bloc.size()));
    }
    fs::copy_file(g_banc.racine / "big.bin", g_banc.local / "big.bin");
    for (int i = 0; i < 10000; ++i) {
        char nom[64];
        std::snprintf(nom, sizeof nom, "Site_%03d_F%04d_1550nm.sor", i % 37, i);
        std::ofstream(g_banc.racine / "many" / nom) << i;
    }
    g_banc.port = PortLibre();
    const std::string conf =
        "listen=YES\nlisten_address=127.0.0.1\nlisten_port=" + std::to_string(g_banc.port) +
        "\nlisten_ipv6=NO\nbackground=NO\nanonymous_enable=YES\nno_anon_password=YES\nlocal_enable=NO\n"
        "anon_root=" + g_banc.racine.string() +
        "\nwrite_enable=YES\nanon_upload_enable=YES\nanon_other_write_enable=YES\n"
        "anon_world_readable_only=NO\nallow_writeable_chroot=YES\nport_enable=YES\n"
        "connect_from_port_20=NO\nrun_as_launching_user=YES\nseccomp_sandbox=NO\nxferlog_enable=NO\n"
        "secure_chroot_dir=" + (g_banc.dossier / "empty").string() + "\n";
    std::ofstream(g_banc.dossier / "vsftpd.conf") << conf;
    if (Lancer({"/usr/sbin/vsftpd", (g_banc.dossier / "vsftpd.conf").string()}, &g_banc.pid) != 0)
        return false;
    for (int i = 0; i < 100; ++i) {
        if (Accepte(g_banc.port))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void Nettoyer()
{
    if (g_banc.pid > 0) {
        ::kill(g_banc.pid, SIGTERM);
        waitpid(g_banc.pid, nullptr, 0);
    }
    std::error_code ec;
    fs::remove_all(g_banc.dossier, ec);
}

std::string Url(const std::string& relatif)
{
    return "ftp://127.0.0.1:" + std::to_string(g_banc.port) + "/" + relatif;
}

// Paths below the login directory (vsftpd does not chroot when it runs as
// the launching user).
CString Distant(const std::string& relatif) { return CString((g_banc.racine / relatif).wstring()); }

void Connecter(CFTPDirect& client, benchmark::State& state)
{
    if (!client.FtpConnexion(L"anonymous", L"bench@host"))
        state.SkipWithError("login failed");
}

void BM_Get_Client(benchmark::State& state)
{
    CFTPDirect client(L"127.0.0.1", g_banc.port);
    Connecter(client, state);
    const CString cible((g_banc.local / "get-client.bin").wstring());
    for (auto _ : state)
        if (!client.GetFile(Distant("big.bin"), cible))
            state.SkipWithError("GetFile failed");
    state.SetBytesProcessed(state.iterations() * g_banc.taille);
}

// One libcurl handle for the whole benchmark: its connection stays logged in.
class CCurlBrut
{
public:
    CCurlBrut() : m_c(curl_easy_init()) {}
    ~CCurlBrut() { curl_easy_cleanup(m_c); }
    CCurlBrut(const CCurlBrut&) = delete;
    CCurlBrut& operator=(const CCurlBrut&) = delete;
    bool Executer(const std::string& url, std::FILE* recu, std::FILE* envoye, long long taille, std::string* texte)
    {
        curl_easy_reset(m_c);
        curl_easy_setopt(m_c, CURLOPT_URL, url.c_str());
        curl_easy_setopt(m_c, CURLOPT_USERNAME, "anonymous");
        curl_easy_setopt(m_c, CURLOPT_PASSWORD, "bench");
        curl_easy_setopt(m_c, CURLOPT_FTPPORT, "-");
        curl_easy_setopt(m_c, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
        if (recu)
            curl_easy_setopt(m_c, CURLOPT_WRITEDATA, recu);
        if (texte) {
            curl_write_callback f = [](char* d, size_t t, size_t n, void* p) -> size_t {
                static_cast<std::string*>(p)->append(d, t * n);
                return t * n;
            };
            curl_easy_setopt(m_c, CURLOPT_WRITEFUNCTION, f);
            curl_easy_setopt(m_c, CURLOPT_WRITEDATA, texte);
        }
        if (envoye) {
            curl_easy_setopt(m_c, CURLOPT_UPLOAD, 1L);
            curl_easy_setopt(m_c, CURLOPT_READDATA, envoye);
            curl_easy_setopt(m_c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(taille));
        }
        return curl_easy_perform(m_c) == CURLE_OK;
    }

private:
    CURL* m_c;
};

void BM_Get_Curl(benchmark::State& state)
{
    CCurlBrut curl;
    const std::string cible = (g_banc.local / "get-curl.bin").string();
    for (auto _ : state) {
        std::FILE* f = std::fopen(cible.c_str(), "wb");
        if (!f || !curl.Executer(Url("big.bin"), f, nullptr, 0, nullptr))
            state.SkipWithError("libcurl failed");
        if (f)
            std::fclose(f);
    }
    state.SetBytesProcessed(state.iterations() * g_banc.taille);
}

void BM_Put_Client(benchmark::State& state)
{
    CFTPDirect client(L"127.0.0.1", g_banc.port);
    Connecter(client, state);
    const CString source((g_banc.local / "big.bin").wstring());
    for (auto _ : state)
        if (!client.PutFile(source, Distant("put-client.bin")))
            state.SkipWithError("PutFile failed");
    state.SetBytesProcessed(state.iterations() * g_banc.taille);
}

void BM_Put_Curl(benchmark::State& state)
{
    CCurlBrut curl;
    const std::string source = (g_banc.local / "big.bin").string();
    for (auto _ : state) {
        std::FILE* f = std::fopen(source.c_str(), "rb");
        if (!f || !curl.Executer(Url("put-curl.bin"), nullptr, f, g_banc.taille, nullptr))
            state.SkipWithError("libcurl failed");
        if (f)
            std::fclose(f);
    }
    state.SetBytesProcessed(state.iterations() * g_banc.taille);
}

void BM_GetDir_Client(benchmark::State& state)
{
    CFTPDirect client(L"127.0.0.1", g_banc.port);
    Connecter(client, state);
    CListeFichiersFtp liste;
    for (auto _ : state) {
        CString chemin = Distant("many");
        client.GetDir(&chemin, liste, 0);
        if (liste.m_nNombre != 10000)
            state.SkipWithError("incomplete listing");
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}

void BM_GetDir_Curl(benchmark::State& state)
{
    CCurlBrut curl;
    for (auto _ : state) {
        std::string texte;
        if (!curl.Executer(Url("many/"), nullptr, nullptr, 0, &texte) || texte.empty())
            state.SkipWithError("libcurl failed");
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}

// Keeps each run's real time per iteration to print the ratios at the end.
class CRapport : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            if (!r.error_occurred && r.iterations > 0)
                temps[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> temps;
};

} // namespace

BENCHMARK(BM_Get_Client)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
BENCHMARK(BM_Get_Curl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
BENCHMARK(BM_Put_Client)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
BENCHMARK(BM_Put_Curl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
BENCHMARK(BM_GetDir_Client)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_GetDir_Curl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (::access("/usr/sbin/vsftpd", X_OK) != 0) {
        std::fprintf(stderr, "bench_ftp: needs /usr/sbin/vsftpd\n");
        return 1;
    }
    if (!Preparer()) {
        std::fprintf(stderr, "bench_ftp: could not start vsftpd\n");
        Nettoyer();
        return 1;
    }
    CRapport rapport;
    benchmark::RunSpecifiedBenchmarks(&rapport);
    Nettoyer();

    auto ratio = [&](const char* client, const char* curl) {
        const auto a = rapport.temps.find(std::string(client) + "/iterations:" +
                                          (std::string(client).find("GetDir") != std::string::npos ? "10" : "7") +
                                          "/real_time");
        const auto b = rapport.temps.find(std::string(curl) + "/iterations:" +
                                          (std::string(curl).find("GetDir") != std::string::npos ? "10" : "7") +
                                          "/real_time");
        if (a == rapport.temps.end() || b == rapport.temps.end())
            return -1.0;
        return b->second / a->second;  // > 1: the client is faster
    };
    const double get = ratio("BM_Get_Client", "BM_Get_Curl");
    const double put = ratio("BM_Put_Client", "BM_Put_Curl");
    const double dir = ratio("BM_GetDir_Client", "BM_GetDir_Curl");
    std::printf("\nin process, logged in: throughput client/libcurl  GET %.2f  PUT %.2f  (goal >= 0.95)\n", get, put);
    if (dir > 0)
        std::printf("in process, logged in: listing time client/libcurl  %.2f  (the client also parses)\n", 1.0 / dir);
    return 0;
}
