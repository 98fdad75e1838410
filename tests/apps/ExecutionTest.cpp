#include "ExecutionTest.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// Both pipes are drained while the child runs, so a chatty child never blocks.
void Lire(int fd, std::string& dest, bool& ouvert)
{
    char tampon[4096];
    const ssize_t n = read(fd, tampon, sizeof tampon);
    if (n > 0) dest.append(tampon, static_cast<size_t>(n));
    else if (n == 0 || (errno != EINTR && errno != EAGAIN)) ouvert = false;
}

} // namespace

tResultatExecution Executer(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                            const std::string& cwd, std::chrono::milliseconds limite)
{
    tResultatExecution r;
    int sortie[2], erreur[2];
    if (pipe(sortie) != 0) return r;
    if (pipe(erreur) != 0) { close(sortie[0]); close(sortie[1]); return r; }

    // Environment built before fork: only async-signal-safe calls after it.
    std::vector<std::string> envs;
    for (char** e = environ; *e; ++e) {
        std::string v = *e;
        bool remplace = false;
        for (const std::string& x : env) {
            const std::string nom = x.substr(0, x.find('=') + 1);
            if (v.compare(0, nom.size(), nom) == 0) remplace = true;
        }
        if (!remplace) envs.push_back(v);
    }
    for (const std::string& x : env)
        if (x.back() != '=') envs.push_back(x);
    std::vector<char*> cenv, cargv;
    for (std::string& s : envs) cenv.push_back(s.data());
    cenv.push_back(nullptr);
    std::vector<std::string> args = argv;
    for (std::string& s : args) cargv.push_back(s.data());
    cargv.push_back(nullptr);

    const auto debut = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(sortie[1], 1);
        dup2(erreur[1], 2);
        close(sortie[0]); close(sortie[1]); close(erreur[0]); close(erreur[1]);
        const int nul = open("/dev/null", O_RDONLY);
        if (nul >= 0) { dup2(nul, 0); close(nul); }
        setpgid(0, 0);   // its own group, so a kill reaches its children too
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
        execve(cargv[0], cargv.data(), cenv.data());
        _exit(127);
    }
    close(sortie[1]);
    close(erreur[1]);
    if (pid < 0) { close(sortie[0]); close(erreur[0]); return r; }

    bool o1 = true, o2 = true;
    while (o1 || o2) {
        const auto reste = limite - std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - debut);
        if (reste.count() <= 0) {
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            r.bTue = true;
            break;
        }
        pollfd fds[2] = {{sortie[0], POLLIN, 0}, {erreur[0], POLLIN, 0}};
        if (!o1) fds[0].fd = -1;
        if (!o2) fds[1].fd = -1;
        const int n = poll(fds, 2, static_cast<int>(std::min<long long>(reste.count(), 200)));
        if (n < 0 && errno != EINTR) break;
        if (fds[0].revents) Lire(sortie[0], r.strSortie, o1);
        if (fds[1].revents) Lire(erreur[0], r.strErreur, o2);
    }
    close(sortie[0]);
    close(erreur[0]);
    int statut = 0;
    waitpid(pid, &statut, 0);
    r.dSecondes = std::chrono::duration<double>(std::chrono::steady_clock::now() - debut).count();
    if (!r.bTue && WIFEXITED(statut)) r.nSortie = WEXITSTATUS(statut);
    return r;
}
