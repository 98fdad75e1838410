#pragma once
// The instrument channel's TCP stream socket: a thin RAII class over the
// system's sockets. Connect waits at most the limit the caller gives; sends
// block until done or the send limit; reading never blocks longer than the
// limit the caller gives.

#include <chrono>
#include <cstddef>
#include <string>

#include "common/Export.h"

struct sockaddr;

class CSocketDebug
{
public:
    CSocketDebug() = default;
    ~CSocketDebug();
    CSocketDebug(const CSocketDebug&) = delete;
    CSocketDebug& operator=(const CSocketDebug&) = delete;

    // Why the last connect failed.
    enum class eEchec { Aucun, Resolution, Refus, Delai, Autre };

    // Resolves `hote` (numeric IPv4/IPv6 address or host name) and connects to
    // the first address that accepts, within nLimiteMs for all of them
    // (negative: no limit). Any previous connection is closed first: a socket
    // whose connect failed cannot be reused. False when none accepts in time.
    bool Connecter(const std::string& hote, unsigned nPort, int nLimiteMs);
    eEchec GetEchecConnexion() const { return m_eEchec; }

    // Sends every byte (retrying partial sends). False on failure, or when the
    // peer has not taken the bytes within the send limit.
    bool EnvoyerTout(const char* pDonnees, size_t nTaille);

    // At most nTaille bytes of what has arrived (does not wait): the count, 0 when
    // the peer has closed, -1 on failure or when nothing is there. With bApercu
    // the bytes are copied and stay in the socket.
    int Recevoir(char* pTampon, int nTaille, bool bApercu = false);

    // Bytes waiting to be read (FIONREAD), -1 on failure.
    int OctetsEnAttente() const;

    // Waits up to nLimiteMs (negative: no limit) for bytes or end of stream: 1
    // when readable (bytes or end of stream), 0 when the limit passed, -1 on
    // failure or hang-up.
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
    // Connects fd to one address; errno-style result (0, or ETIMEDOUT when the
    // deadline passed first).
    int ConnecterAvant(int fd, const sockaddr* adresse, unsigned nLongueur, bool bSansLimite,
                       std::chrono::steady_clock::time_point fin);

    int m_fd = -1;
    eEchec m_eEchec = eEchec::Aucun;
    int m_nLimiteEnvoiMs = 0;
    std::string m_strErreur;
};
