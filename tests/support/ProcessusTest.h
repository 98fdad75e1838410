#pragma once
// Child processes for tests: the simulator, FTP servers, the CLI.

#include <chrono>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

class CProcessusTest
{
public:
    CProcessusTest() = default;
    ~CProcessusTest();
    CProcessusTest(const CProcessusTest&) = delete;
    CProcessusTest& operator=(const CProcessusTest&) = delete;

    // Starts argv[0] with its arguments; standard output is read by the test,
    // standard error goes to the test's own. Returns false when it could not start.
    bool Demarrer(const std::vector<std::string>& argv);

    // Reads standard output lines until one equals `ligne`. Lines of the form
    // "LISTEN <service> <port>" seen on the way are kept for Port(). False on
    // end of output or when the limit passes.
    bool AttendreLigne(const std::string& ligne,
                       std::chrono::milliseconds limite = std::chrono::seconds(20));

    // Port announced by a "LISTEN <service> <port>" line, 0 when none was.
    int Port(const std::string& service) const;

    // SIGTERM, then SIGKILL after `grace`; waits for the process. Returns its exit status.
    int Arreter(std::chrono::milliseconds grace = std::chrono::seconds(3));
    // SIGKILL at once (a server that dies mid-transfer).
    void Tuer();

    pid_t Pid() const { return m_pid; }
    const std::vector<std::string>& Lignes() const { return m_lignes; }

private:
    pid_t m_pid = -1;
    int m_fdSortie = -1;
    std::string m_reste;
    std::vector<std::string> m_lignes;
    std::map<std::string, int> m_ports;
};

// Starts the instrument simulator with the given extra options and waits for it
// to be ready; fails the current test (ADD_FAILURE) when it cannot.
// The simulator listens on 127.0.0.1 with ports chosen by the system.
bool DemarrerSimulateur(CProcessusTest& sim, const std::vector<std::string>& options = {});

// A TCP port on 127.0.0.1 that nothing listens on right now.
int PortLibre();
