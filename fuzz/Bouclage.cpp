#include "Bouclage.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "Invariant.h"
#include "comm/CTcpIpCom.h"

namespace {

// One listening socket for the whole run; each input gets its own connection.
int Ecoute(unsigned& nPort)
{
    static unsigned s_nPort = 0;
    static const int s_fd = [] {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        VERIFIER(fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd, 8) == 0);
        VERIFIER(::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0);
        s_nPort = ntohs(a.sin_port);
        return fd;
    }();
    nPort = s_nPort;
    return s_fd;
}

} // namespace

CBouclage::CBouclage(CTcpIpCom& canal)
{
    unsigned nPort = 0;
    const int ecoute = Ecoute(nPort);
    canal.SetAdresse(L"127.0.0.1");
    canal.SetPort(nPort);
    VERIFIER(canal.Connecter() == 0);
    do m_fd = ::accept4(ecoute, nullptr, nullptr, SOCK_CLOEXEC);
    while (m_fd < 0 && errno == EINTR);
    VERIFIER(m_fd >= 0);
}

CBouclage::~CBouclage()
{
    const linger l{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(m_fd);
}

void CBouclage::Envoyer(const std::string& octets)
{
    for (size_t fait = 0; fait < octets.size();) {
        const ssize_t n = ::send(m_fd, octets.data() + fait, octets.size() - fait, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return; // the channel has gone: what it read is checked by the caller
        fait += static_cast<size_t>(n);
    }
}

void CBouclage::FermerEnvoi() { ::shutdown(m_fd, SHUT_WR); }

bool CBouclage::LireLigne(std::string& ligne)
{
    for (;;) {
        const size_t fin = m_recu.find('\n');
        if (fin != std::string::npos) {
            ligne = m_recu.substr(0, fin);
            m_recu.erase(0, fin + 1);
            return true;
        }
        char bloc[512];
        const ssize_t n = ::recv(m_fd, bloc, sizeof bloc, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        m_recu.append(bloc, static_cast<size_t>(n));
    }
}
