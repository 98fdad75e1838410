#pragma once
// A listening socket on 127.0.0.1 that never accepts and never answers: the
// kernel completes the connection, then nothing comes, as from an instrument
// that hangs.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class CServeurMuet
{
public:
    CServeurMuet()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t l = sizeof a;
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(m_fd, 8) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &l) == 0)
            m_nPort = ntohs(a.sin_port);
    }
    ~CServeurMuet()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    CServeurMuet(const CServeurMuet&) = delete;
    CServeurMuet& operator=(const CServeurMuet&) = delete;
    int Port() const { return m_nPort; }

private:
    int m_fd = -1;
    int m_nPort = 0;
};
