// The passive retry of a request whose active data connection could not be
// made: behind NAT or a firewall the server cannot connect back.

#include "ftp/RequeteFtp.h"

int CSessionFtp::RepliPassif(tRequete& r, int n)
{
    if (n == 0 || n == ANNULE || m_eModeDonnees != eModeDonnees::Actif || !r.bDonnees)
        return n;
    // PORT/EPRT refused, the server's 425, or no connection back in time.
    const bool bEchecActif = n == 425 || r.nCurl == CURLE_FTP_PORT_FAILED || r.nCurl == CURLE_FTP_ACCEPT_FAILED ||
                             r.nCurl == CURLE_FTP_ACCEPT_TIMEOUT;
    if (!bEchecActif) return n;
    Expliquer(r, n);
    const std::string raison = m_strErreur;
    m_eModeDonnees = eModeDonnees::Passif;
    if (m_trace) m_trace("(active data connection failed: " + raison + "; passive mode from now on)");
    if (m_repliPassif) m_repliPassif(raison);
    // What the failed attempt left of the control connection is not trusted
    // (the server may still try to connect back, or answer late).
    OublierConnexion();
    if (r.recommencer && !r.recommencer()) return n;
    return ExecuterUneFois(r);
}
