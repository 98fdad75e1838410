#pragma once
// The instrument channel's TCP stream socket: a thin RAII class over the
// system's sockets. Connect and send block until done; reading never blocks
// longer than the limit the caller gives.

#include <cstddef>
#include <string>

#include "common/Export.h"

class CSocketDebug
{
public:
    CSocketDebug() = default;
    ~CSocketDebug();
    CSocketDebug(const CSocketDebug&) = delete;
    CSocketDebug& operator=(const CSocketDebug&) = delete;

    // Resolves `hote` (numeric IPv4/IPv6 address or host name) and connects to
    // the first address that accepts. Any previous connection is closed first:
    // a socket whose connect failed cannot be reused. False when none accepts.
    bool Connecter(const std::string& hote, unsigned nPort);

    bool IsValide() const { return m_fd >= 0; }

    // Sends every byte (retrying partial sends). False on failure, or when the
    // peer has not taken the bytes within the send limit.
    bool EnvoyerTout(const char* pDonnees, size_t nTaille);

    // At most nTaille bytes of what has arrived (does not wait): the count, 0 when
    // the peer has closed, -1 on failure or when nothing is there.
    int Recevoir(char* pTampon, int nTaille);

    // Bytes waiting to be read (FIONREAD), -1 on failure.
    int OctetsEnAttente() const;

    // Waits up to nLimiteMs for bytes or end of stream: 1 when readable (bytes or
    // end of stream), 0 when the limit passed, -1 on failure or hang-up.
    int AttendreLecture(int nLimiteMs) const;

    // Shuts the sending side down (the peer reads end of stream). False on failure.
    bool FermerEnvoi();

    // Limit for a blocked send, in milliseconds (0: none).
    void SetLimiteEnvoi(int nLimiteMs);

    // Closes the handle; the object may connect again.
    void Fermer();

    // Text of the last system error seen by this socket, for traces.
    const std::string& GetDerniereErreur() const { return m_strErreur; }

private:
    void NoterErreur(const char* operation, int err);

    int m_fd = -1;
    int m_nLimiteEnvoiMs = 0;
    std::string m_strErreur;
};
