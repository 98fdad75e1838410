#pragma once
// A listener on 127.0.0.1 whose accept queue is kept full: the system drops
// every further connection attempt without an answer, as a switched-off
// instrument behind a router or a firewall does. Nothing leaves this machine.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

class CEcouteSaturee
{
public:
    CEcouteSaturee()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t l = sizeof a;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(m_fd, 0) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &l) != 0)
            return;
        // Connections that nobody accepts, until one gets no answer: the queue is full.
        for (int i = 0; i < 16; ++i) {
            const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (c < 0) return;
            m_attente.push_back(c);
            if (::connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) continue;
            pollfd p{c, POLLOUT, 0};
            if (::poll(&p, 1, 200) == 0) {
                m_nPort = ntohs(a.sin_port);
                return;
            }
        }
    }
    ~CEcouteSaturee()
    {
        for (int c : m_attente) ::close(c);
        if (m_fd >= 0) ::close(m_fd);
    }
    CEcouteSaturee(const CEcouteSaturee&) = delete;
    CEcouteSaturee& operator=(const CEcouteSaturee&) = delete;

    // 0 when the queue could not be filled.
    int Port() const { return m_nPort; }

private:
    int m_fd = -1;
    int m_nPort = 0;
    std::vector<int> m_attente;
};
