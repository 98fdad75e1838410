#pragma once
// The abstract instrument channel. Instrument classes inherit it (virtually)
// and call the channel operations on themselves; the concrete instrument joins
// an instrument branch and a channel branch over one shared CGenericCom, so
// those calls run the channel implementation (CTcpIpCom).
//
// Every operation reports a signed 16-bit status:
//   0 success, -1 time-out, -2 link or stream failure,
//   -3 error reported by the instrument's standard event status register,
//   -5 / -6 modem busy / modem failure (modem channels only).

#include "comm/CObject.h"
#include "common/CString.h"
#include "common/Export.h"

class CGenericCom : public CObject
{
public:
    enum : short {
        COM_OK = 0,
        COM_TIMEOUT = -1,
        COM_ECHEC_SUPPORT = -2,
        COM_ECHEC = -3,
        COM_MODEM_OCCUPE = -5,
        COM_ECHEC_MODEM = -6,
    };

    CGenericCom() = default;
    ~CGenericCom() override;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCGenericCom;

    // Copies the channel state (m_nEtat and the two parameters) into pDestination.
    virtual void CopierEtat(CGenericCom* pDestination);

    // Sends the command followed by the terminator (0 means line feed). With
    // bVerifier non-zero, then reads "*STB?" and, when its event summary bit is
    // set, "*ESR?", failing with -3 on a query, device-dependent, execution or
    // command error. An empty command sends nothing and succeeds.
    virtual short EnvoyerCommande(const wchar_t* szCommande, char cTerminateur = 0, int bVerifier = 0) = 0;
    virtual short EnvoyerCommande(const CString& strCommande, char cTerminateur = 0, int bVerifier = 0) = 0;

    // Discards pending input, sends the query, reads one reply line. A query
    // that does not begin with "*" is followed by the status check above.
    virtual short Interroger(CString& strReponse, const wchar_t* szRequete) = 0;
    virtual short Interroger(CString& strReponse, const CString& strRequete) = 0;

    // One reply line, its line feed removed (a carriage return before it stays).
    virtual short LireReponse(CString& strReponse) = 0;

    // Bytes until the terminator or nTaille-1 bytes; the terminator becomes NUL
    // and the buffer is always NUL-terminated.
    virtual short LireTampon(char* pTampon, int nTaille, char cTerminateur) = 0;

    // Interroger for a query whose reply must not be mistaken for a stray
    // line; a channel that can tell checks it. Here: Interroger.
    virtual short InterrogerSansAmbiguite(CString& strReponse, const CString& strRequete)
    {
        return Interroger(strReponse, strRequete);
    }

    // Throws away every byte that has already arrived.
    virtual short ViderReception() = 0;

    // Connects and takes the instrument into remote control; sets m_nEtat to 1.
    virtual short Ouvrir() = 0;
    // Tears the connection down; sets m_nEtat to 0. Sends nothing.
    virtual void Fermer() = 0;

    // The user-visible text of a status code; empty for codes without one.
    virtual CString GetMessageErreur(short nCode);

    // The text with every occurrence of c removed (only c below 128 can match).
    static CString SupprimerCaractere(char c, CString strTexte);

    int GetEtat() const { return m_nEtat; }

protected:
    CGenericCom(const CGenericCom&) = default;
    CGenericCom& operator=(const CGenericCom&) = default;

    int m_nEtat = 0;            // 1 while open with the instrument in remote control
    unsigned char m_cParam1 = 0; // channel parameters: only copied, never interpreted
    unsigned char m_cParam2 = 0;
};
