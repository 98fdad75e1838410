#pragma once
// The instrument's end of a real TCP connection on 127.0.0.1, for the fuzz
// targets that feed a channel: the constructor connects the channel (its own
// Connecter) to a listening socket of this process and takes the connection.

#include <string>

class CTcpIpCom;

class CBouclage
{
public:
    explicit CBouclage(CTcpIpCom& canal);
    // Drops the connection with a reset: a million runs must not leave a
    // million connections waiting out TIME_WAIT.
    ~CBouclage();
    CBouclage(const CBouclage&) = delete;
    CBouclage& operator=(const CBouclage&) = delete;

    // Every byte, blocking until the socket has taken them.
    void Envoyer(const std::string& octets);
    // The channel reads the end of the stream after what was sent.
    void FermerEnvoi();
    // The next line the channel sent, without its line feed; false at the end
    // of the stream.
    bool LireLigne(std::string& ligne);

private:
    int m_fd = -1;
    std::string m_recu;
};
