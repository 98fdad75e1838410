// The passive retry of a request whose active data connection could not be
// made: behind NAT or a firewall the server cannot connect back.

#include <algorithm>

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
    // What the failed attempt left of the control connection is not trusted
    // (the server may still try to connect back, or answer late).
    OublierConnexion();
    if (r.recommencer && !r.recommencer()) return n;
    // The first attempt's account, should passive mode be refused as well.
    const std::vector<std::string> reponses = r.reponses;
    const int nCurl = r.nCurl;
    const bool bCommencee = r.bCommencee, bFinPreliminaire = r.bFinPreliminaire, bBloque = r.bBloque;
    std::string erreur(r.szErreur);
    m_eModeDonnees = eModeDonnees::Passif;
    const int n2 = ExecuterUneFois(r);
    if (n2 != 0 && (r.nCurl == CURLE_FTP_WEIRD_PASV_REPLY || r.nCurl == CURLE_FTP_WEIRD_227_FORMAT)) {
        // No passive mode either: the active failure is the one to tell, and
        // passive is not tried again on this session.
        m_eModeDonnees = eModeDonnees::ActifSeul;
        r.reponses = reponses;
        r.nCurl = nCurl;
        r.bCommencee = bCommencee;
        r.bFinPreliminaire = bFinPreliminaire;
        r.bBloque = bBloque;
        erreur.copy(r.szErreur, sizeof r.szErreur - 1);
        r.szErreur[std::min(erreur.size(), sizeof r.szErreur - 1)] = '\0';
        OublierConnexion();
        return n;
    }
    if (m_trace) m_trace("(active data connection failed: " + raison + "; passive mode from now on)");
    if (m_repliPassif) m_repliPassif(raison);
    return n2;
}
