#include "comm/CArchiveSocket.h"

#include <cstring>

#include "comm/CSocketDebug.h"

bool CFichierSocket::Ecrire(const char* pDonnees, size_t nTaille)
{
    return m_socket.EnvoyerTout(pDonnees, nTaille);
}

bool CArchiveSocket::Ecrire(const void* pDonnees, size_t nTaille)
{
    const char* p = static_cast<const char*>(pDonnees);
    while (nTaille > 0) {
        if (m_nRempli == TAILLE_TAMPON && !Vider()) return false;
        size_t n = TAILLE_TAMPON - m_nRempli;
        if (n > nTaille) n = nTaille;
        std::memcpy(m_tampon + m_nRempli, p, n);
        m_nRempli += n;
        p += n;
        nTaille -= n;
    }
    return true;
}

bool CArchiveSocket::Vider()
{
    if (m_nRempli == 0) return true;
    const size_t n = m_nRempli;
    m_nRempli = 0;
    return m_fichier.Ecrire(m_tampon, n);
}

bool CArchiveSocket::Fermer() { return Vider(); }
