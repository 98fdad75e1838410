#pragma once
// The sending side of the channel: a file view of the socket and a buffered
// writer over it. Commands are written into the 4096-byte buffer and flushed
// once per command line, so each line leaves in one send whenever it fits.

#include <cstddef>

#include "common/Export.h"

class CSocketDebug;

class CFichierSocket
{
public:
    explicit CFichierSocket(CSocketDebug& socket) : m_socket(socket) {}
    CFichierSocket(const CFichierSocket&) = delete;
    CFichierSocket& operator=(const CFichierSocket&) = delete;

    // False when the socket send fails (the framework raised a file exception).
    bool Ecrire(const char* pDonnees, size_t nTaille);
    void Fermer() {}

private:
    CSocketDebug& m_socket;
};

class CArchiveSocket
{
public:
    static constexpr size_t TAILLE_TAMPON = 4096;

    explicit CArchiveSocket(CFichierSocket& fichier) : m_fichier(fichier) {}
    CArchiveSocket(const CArchiveSocket&) = delete;
    CArchiveSocket& operator=(const CArchiveSocket&) = delete;

    // Buffers the bytes, sending full buffers on the way. False on a failed send.
    bool Ecrire(const void* pDonnees, size_t nTaille);
    // Sends what is buffered. False on a failed send (the buffer is then dropped).
    bool Vider();
    // Flushes and closes; False when the final flush failed.
    bool Fermer();
    // Drops whatever is buffered without sending it.
    void Abandonner() { m_nRempli = 0; }

private:
    CFichierSocket& m_fichier;
    size_t m_nRempli = 0;
    char m_tampon[TAILLE_TAMPON];
};
