#include "comm/CSocketDebug.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

CSocketDebug::~CSocketDebug() { Fermer(); }

void CSocketDebug::Fermer()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void CSocketDebug::NoterErreur(const char* operation, int err)
{
    m_strErreur = std::string(operation) + ": " + std::strerror(err);
}

namespace {

// Milliseconds left until `fin`, for poll: never negative, rounded up so that
// a wait never ends before its limit.
int Reste(std::chrono::steady_clock::time_point fin)
{
    const auto reste = std::chrono::ceil<std::chrono::milliseconds>(fin - std::chrono::steady_clock::now());
    if (reste.count() <= 0) return 0;
    return reste.count() > INT_MAX ? INT_MAX : static_cast<int>(reste.count());
}

// Waits for a connection started without blocking to end: 0, or why it failed.
int AttendreConnexion(int fd, bool bSansLimite, std::chrono::steady_clock::time_point fin)
{
    pollfd p{fd, POLLOUT, 0};
    for (;;) {
        const int r = ::poll(&p, 1, bSansLimite ? -1 : Reste(fin));
        if (r > 0) break;
        if (r == 0) return ETIMEDOUT;
        if (errno != EINTR) return errno;
    }
    int err = 0;
    socklen_t l = sizeof err;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &l) != 0) return errno;
    return err;
}

} // namespace

int CSocketDebug::ConnecterAvant(int fd, const sockaddr* adresse, unsigned nLongueur, bool bSansLimite,
                                 std::chrono::steady_clock::time_point fin)
{
    // Started without blocking, then waited for: a host that drops packets
    // would otherwise hold the thread for the system's two minutes or more.
    const int drapeaux = ::fcntl(fd, F_GETFL);
    if (drapeaux < 0 || ::fcntl(fd, F_SETFL, drapeaux | O_NONBLOCK) != 0) return errno;
    int err = ::connect(fd, adresse, nLongueur) == 0 ? 0 : errno;
    if (err == EINPROGRESS || err == EINTR) err = AttendreConnexion(fd, bSansLimite, fin);
    if (err == 0 && ::fcntl(fd, F_SETFL, drapeaux) != 0) err = errno;
    return err;
}

bool CSocketDebug::Connecter(const std::string& hote, unsigned nPort, int nLimiteMs)
{
    Fermer();
    m_eEchec = eEchec::Aucun;
    const bool bSansLimite = nLimiteMs < 0;
    const auto fin = std::chrono::steady_clock::now() + std::chrono::milliseconds(bSansLimite ? 0 : nLimiteMs);
    addrinfo indices{};
    indices.ai_family = AF_UNSPEC;
    indices.ai_socktype = SOCK_STREAM;
    indices.ai_flags = AI_ADDRCONFIG;
    addrinfo* liste = nullptr;
    const std::string service = std::to_string(nPort);
    int r = ::getaddrinfo(hote.c_str(), service.c_str(), &indices, &liste);
    if (r == EAI_BADFLAGS || (r != 0 && (indices.ai_flags & AI_ADDRCONFIG))) {
        // Without a configured non-loopback interface AI_ADDRCONFIG hides even
        // 127.0.0.1 on some systems: ask again without it.
        indices.ai_flags = 0;
        r = ::getaddrinfo(hote.c_str(), service.c_str(), &indices, &liste);
    }
    if (r != 0) {
        m_strErreur = std::string("getaddrinfo: ") + ::gai_strerror(r);
        m_eEchec = eEchec::Resolution;
        return false;
    }
    int nDerniere = 0;
    for (addrinfo* a = liste; a != nullptr; a = a->ai_next) {
        if (!bSansLimite && a != liste && Reste(fin) == 0) break;
        int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            nDerniere = errno;
            NoterErreur("socket", nDerniere);
            continue;
        }
        nDerniere = ConnecterAvant(fd, a->ai_addr, static_cast<unsigned>(a->ai_addrlen), bSansLimite, fin);
        if (nDerniere == 0) {
            // Command lines are small and each is flushed on its own: send at once.
            int un = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &un, sizeof un);
            m_fd = fd;
            SetLimiteEnvoi(m_nLimiteEnvoiMs);
            break;
        }
        NoterErreur("connect", nDerniere);
        ::close(fd);
    }
    ::freeaddrinfo(liste);
    if (m_fd >= 0) return true;
    m_eEchec = nDerniere == ECONNREFUSED ? eEchec::Refus : nDerniere == ETIMEDOUT ? eEchec::Delai : eEchec::Autre;
    return false;
}

void CSocketDebug::SetLimiteEnvoi(int nLimiteMs)
{
    m_nLimiteEnvoiMs = nLimiteMs > 0 ? nLimiteMs : 0;
    if (m_fd < 0) return;
    timeval tv{};
    tv.tv_sec = m_nLimiteEnvoiMs / 1000;
    tv.tv_usec = (m_nLimiteEnvoiMs % 1000) * 1000;
    ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool CSocketDebug::EnvoyerTout(const char* pDonnees, size_t nTaille)
{
    if (m_fd < 0) {
        m_strErreur = "send: socket closed";
        return false;
    }
    while (nTaille > 0) {
        ssize_t n = ::send(m_fd, pDonnees, nTaille, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            NoterErreur("send", errno);
            return false;
        }
        pDonnees += n;
        nTaille -= static_cast<size_t>(n);
    }
    return true;
}

int CSocketDebug::Recevoir(char* pTampon, int nTaille, bool bApercu)
{
    if (m_fd < 0 || nTaille <= 0) return -1;
    for (;;) {
        ssize_t n = ::recv(m_fd, pTampon, static_cast<size_t>(nTaille), MSG_DONTWAIT | (bApercu ? MSG_PEEK : 0));
        if (n >= 0) return static_cast<int>(n);
        if (errno == EINTR) continue;
        NoterErreur("recv", errno);
        return -1;
    }
}

int CSocketDebug::OctetsEnAttente() const
{
    if (m_fd < 0) return -1;
    int n = 0;
    if (::ioctl(m_fd, FIONREAD, &n) != 0) return -1;
    return n;
}

int CSocketDebug::AttendreLecture(int nLimiteMs) const
{
    if (m_fd < 0) return -1;
    pollfd p{m_fd, POLLIN, 0};
    const bool bSansLimite = nLimiteMs < 0;
    const auto fin = std::chrono::steady_clock::now() + std::chrono::milliseconds(bSansLimite ? 0 : nLimiteMs);
    for (;;) {
        int r = ::poll(&p, 1, bSansLimite ? -1 : Reste(fin));
        if (r < 0 && errno == EINTR) continue; // a signal: wait for what is left of the limit
        if (r < 0) return -1;
        if (r == 0) return 0;
        if (p.revents & POLLIN) return 1;
        return -1; // POLLERR, POLLHUP or POLLNVAL without data
    }
}

bool CSocketDebug::FermerEnvoi()
{
    if (m_fd < 0) return false;
    if (::shutdown(m_fd, SHUT_WR) != 0) {
        NoterErreur("shutdown", errno);
        return false;
    }
    return true;
}
