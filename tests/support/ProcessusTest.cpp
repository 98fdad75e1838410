#include "support/ProcessusTest.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

CProcessusTest::~CProcessusTest() { Arreter(std::chrono::milliseconds(500)); }

bool CProcessusTest::Demarrer(const std::vector<std::string>& argv)
{
    int tube[2];
    if (pipe2(tube, O_CLOEXEC) != 0) return false;
    pid_t pid = fork();
    if (pid < 0) {
        close(tube[0]);
        close(tube[1]);
        return false;
    }
    if (pid == 0) {
        dup2(tube[1], STDOUT_FILENO);
        setpgid(0, 0);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(tube[1]);
    m_pid = pid;
    m_fdSortie = tube[0];
    return true;
}

bool CProcessusTest::AttendreLigne(const std::string& ligne, std::chrono::milliseconds limite)
{
    auto fin = std::chrono::steady_clock::now() + limite;
    for (;;) {
        size_t nl;
        while ((nl = m_reste.find('\n')) != std::string::npos) {
            std::string l = m_reste.substr(0, nl);
            m_reste.erase(0, nl + 1);
            if (!l.empty() && l.back() == '\r') l.pop_back();
            m_lignes.push_back(l);
            char service[64];
            int port;
            if (std::sscanf(l.c_str(), "LISTEN %63s %d", service, &port) == 2) m_ports[service] = port;
            if (l == ligne) return true;
        }
        auto reste = std::chrono::duration_cast<std::chrono::milliseconds>(fin - std::chrono::steady_clock::now());
        if (reste.count() <= 0 || m_fdSortie < 0) return false;
        pollfd p{m_fdSortie, POLLIN, 0};
        int r = poll(&p, 1, static_cast<int>(reste.count()));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        char buf[4096];
        ssize_t n = read(m_fdSortie, buf, sizeof buf);
        if (n <= 0) return false;
        m_reste.append(buf, static_cast<size_t>(n));
    }
}

int CProcessusTest::Port(const std::string& service) const
{
    auto it = m_ports.find(service);
    return it == m_ports.end() ? 0 : it->second;
}

int CProcessusTest::Arreter(std::chrono::milliseconds grace)
{
    int status = -1;
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        auto fin = std::chrono::steady_clock::now() + grace;
        for (;;) {
            pid_t r = waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid || r < 0) break;
            if (std::chrono::steady_clock::now() >= fin) {
                kill(-m_pid, SIGKILL);
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        m_pid = -1;
    }
    if (m_fdSortie >= 0) {
        close(m_fdSortie);
        m_fdSortie = -1;
    }
    return status;
}

void CProcessusTest::Tuer()
{
    if (m_pid > 0) {
        kill(-m_pid, SIGKILL);
        kill(m_pid, SIGKILL);
        int status;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
}

bool DemarrerSimulateur(CProcessusTest& sim, const std::vector<std::string>& options)
{
    std::vector<std::string> argv{OTDR_PYTHON, OTDR_SIM_PATH, "--address", "127.0.0.1", "--port", "0",
                                  "--ftp-port", "0"};
    argv.insert(argv.end(), options.begin(), options.end());
    if (!sim.Demarrer(argv)) {
        ADD_FAILURE() << "cannot start the simulator";
        return false;
    }
    if (!sim.AttendreLigne("READY")) {
        ADD_FAILURE() << "the simulator did not become ready";
        return false;
    }
    return true;
}

int PortLibre()
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        socklen_t len = sizeof a;
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    close(s);
    return port;
}
