#include "ftp/CAnnulationFtp.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

int FermerSocket(std::intptr_t s)
{
#if defined(_WIN32)
    return ::closesocket(static_cast<SOCKET>(s));
#else
    return ::close(static_cast<int>(s));
#endif
}

void Couper(std::intptr_t s)
{
#if defined(_WIN32)
    ::shutdown(static_cast<SOCKET>(s), SD_BOTH);
#else
    ::shutdown(static_cast<int>(s), SHUT_RDWR);
#endif
}

int PortLocal(std::intptr_t s)
{
    sockaddr_storage a{};
    socklen_t n = sizeof a;
#if defined(_WIN32)
    if (::getsockname(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&a), &n) != 0)
#else
    if (::getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&a), &n) != 0)
#endif
        return -1;
    if (a.ss_family == AF_INET)
        return ntohs(reinterpret_cast<sockaddr_in*>(&a)->sin_port);
    if (a.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<sockaddr_in6*>(&a)->sin6_port);
    return -1;
}

} // namespace

void CAnnulationFtp::Annuler()
{
    m_bAnnule = true;
    std::lock_guard<std::mutex> verrou(m_mutex);
    for (std::intptr_t s : m_sockets)
        Couper(s);
    if (m_nDonnees >= 0 && PortLocal(m_nDonnees) == m_nPortDonnees)
        Couper(m_nDonnees);
}

void CAnnulationFtp::Ajouter(std::intptr_t s)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_sockets.push_back(s);
    // Created after a cancel (the cancel holds): no wait may start on it.
    if (m_bAnnule && !m_bNettoyage)
        Couper(s);
}

void CAnnulationFtp::Retirer(std::intptr_t s)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    for (size_t i = 0; i < m_sockets.size(); ++i)
        if (m_sockets[i] == s) {
            m_sockets.erase(m_sockets.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    FermerSocket(s);
}

void CAnnulationFtp::DefinirDonnees(std::intptr_t s)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_nDonnees = s;
    m_nPortDonnees = PortLocal(s);
    if (m_bAnnule && !m_bNettoyage)
        Couper(s);
}

void CAnnulationFtp::OublierDonnees()
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_nDonnees = -1;
    m_nPortDonnees = -1;
}

