#pragma once
// COtdrDriver: the one class through which a host drives the library.
//
// The facade does no instrument work itself. It owns a worker thread
// (CTacheDriver) and a completion event; every blocking request resets the
// event, posts a message to the worker and waits on the event. Everything else
// is a plain accessor. All operations are meant to be called from one host
// thread (normally its user-interface thread), one request at a time.
//
// Copies share the worker and the event with their source; ownership is
// shared, so any copy may be the last one destroyed. The last one ends the
// worker, which releases the instrument and the FTP client it still holds.
//
// Nested requests are refused. The requests are StartDriver, StopDriver, the
// two retrievals, ConfigDriver and the two FileTransfert calls. While one of
// them runs on a thread, that thread may run other code: the wait on a GUI
// thread runs its event loop (so the wait window paints), and the dialogs run
// theirs. A request made from there (a host timer, a queued call, a slot), by
// this facade, a copy or any other facade, is refused at once: nothing is
// posted to the worker and nothing runs. Refused, StartDriver returns 0 and
// queues no stop; StopDriver still returns 1 but nothing is stopped (the
// instrument stays connected); the retrievals return -2; ConfigDriver and the
// FileTransfert calls show nothing and return 0. Requests from another thread
// are not refused, but they are not supported either (see above).

#include <cstdint>
#include <memory>

#include "common/CString.h"
#include "common/Export.h"

class CWnd;            // host window; only stored
class CFTPDirect;
class CTacheDriver;
class CEvenementManuel;

// Distance unit chosen by the host; the driver stores it and never interprets it.
enum tUniteDistance : int {
    UNITE_KILOMETRE = 0,
    UNITE_METRE,
    UNITE_KILOPIED,
    UNITE_PIED,
    UNITE_MILE,
};

// Instrument parameters set by the host. Stored only: the connection sequence
// takes the contact means and the address from the host's profile.
struct OTDR_EXPORT tParametresAppareil
{
    int m_nTypeAppareil = 0;
    int m_nMoyenContact = 0;          // 0 = TCP/IP
    CString m_strAdresseContact;
    unsigned int m_nNumPort = 1400;
};

// Time limits of the facade's requests, in milliseconds. DELAI_INFINI means no
// limit, and so does any larger value: (unsigned long)-1, which hosts ported
// from platforms with a 32-bit unsigned long write for "infinite", is one.
// The defaults are the production values; tests shorten them.
struct OTDR_EXPORT tDelaisDriver
{
    static constexpr unsigned long DELAI_INFINI = 0xFFFFFFFFul;
    static constexpr bool EstInfini(unsigned long nDelai) { return nDelai >= DELAI_INFINI; }

    unsigned long m_nDemarrage = 120000;          // StartDriver
    unsigned long m_nArret = 60000;               // StopDriver
    unsigned long m_nArretApresEchec = 120000;    // the stop queued after a start that ran out of time
    unsigned long m_nRecuperation = DELAI_INFINI; // the two file-retrieval requests
    // The instrument's command channel, for the next starts: wait for each reply
    // (30 s), the pause after handing control back with "*LOC" (500 ms) and
    // each connection attempt (15 s, on the configured port, then on port 21).
    // 0 keeps the channel's own value.
    unsigned long m_nAttenteReponse = 0;
    unsigned long m_nPauseCom = 0;
    unsigned long m_nConnexion = 0;

    // The longest a start can last with these channel limits when the
    // instrument answers every query within them (both connection attempts,
    // every status check of the sequence): a start limit that fits it never
    // gives up on a slow but working instrument. DELAI_INFINI when a channel
    // limit is infinite.
    unsigned long DureeMaxDemarrage() const;
};

class OTDR_EXPORT COtdrDriver
{
public:
    explicit COtdrDriver(CWnd* pParent = nullptr);
    COtdrDriver(const COtdrDriver& autre);
    COtdrDriver& operator=(const COtdrDriver& autre);
    ~COtdrDriver();

    // Connect to the instrument configured in the profile. 1 when the worker
    // finished the sequence in time (whether a connection was made is read with
    // IsConnexionEnCours / GetFTPDirect); 0 when it ran out of time (a stop is
    // then queued behind the start and waited for, up to m_nArretApresEchec)
    // or there is no worker.
    int StartDriver();
    // Disconnect and release the instrument and the FTP client. Always 1, even
    // when refused as a nested request (then nothing was stopped).
    int StopDriver();
    // File retrieval through these two requests is not available: the worker
    // answers -2 (files move through the file transfer dialog). -2 without worker.
    short RecupererFichierFTP(const wchar_t* nom1, const wchar_t* nom2);
    short RecupererFichierFTPBinary(const wchar_t* nom1, const wchar_t* nom2);

    // Last error of the worker: 0, or -2 after a retrieval request; -2 without worker.
    // The worker's own name for it is CTacheDriver::GetDerniereErreur.
    short GetLastError();
    int IsCommunicationEnCours();
    // 1 while the worker holds an FTP client (a start connected, no stop since).
    int IsConnexionEnCours();
    // The worker's FTP client, null when not connected. Owned by the worker:
    // never delete it. It is deleted, and the pointer dangles, at the next
    // StartDriver (a start first releases the previous connection, whether or
    // not the new one succeeds), at StopDriver, and when the last copy of the
    // facade goes; a start or stop made through a copy counts too. Call
    // GetFTPDirect again after each of them instead of keeping the pointer.
    CFTPDirect* GetFTPDirect();

    // The connected instrument's model name and version as it reported them;
    // empty when not connected or when it did not identify itself.
    CString GetIdentificationAppareil();
    CString GetVersionAppareil();
    // Why the last start left no connection, or a connection whose instrument
    // did not identify itself: one sentence naming the cause, the port and the
    // limit concerned, e.g. "port 1400: connection refused; port 21: no answer
    // to the connection within 15 s" or "no reply to "*STB?" within 30 s".
    // Empty after a start that identified the instrument, and before any start.
    CString GetRaisonEchecConnexion();
    // The command port the last start connected to (21 after the fallback),
    // else the last one it tried; 0 before any start.
    unsigned int GetPortConnexion();

    int GetTypeAppareil();
    void SetTypeAppareil(int nType);
    int GetMoyenContact();
    void SetMoyenContact(int nMoyen);
    CString GetAdresseContact();
    void SetAdresseContact(const wchar_t* adresse);
    unsigned int GetNumPort();
    void SetNumPort(unsigned int nPort);
    tUniteDistance GetUniteDistance() const;
    void SetUniteDistance(tUniteDistance eUnite);

    // Configuration dialog (instrument address). 1 when closed with "Connect".
    // The argument is not used.
    int ConfigDriver(int nInutilise);
    int ConfigDriver();

    // Log the worker's FTP client in and run the file transfer dialog.
    // Either pointer may be null. 1 when a login succeeded.
    int FileTransfert(const wchar_t* user, const wchar_t* password);
    // Choose the credentials (from the model, or by asking the user), then
    // FileTransfert. 1 also when the user cancels the identification dialog.
    int FileTransfertAvecDemandeLogin();

    // Time limits of the requests; copies made afterwards take them along. The
    // two channel limits go to the worker, which the copies share.
    void SetDelais(const tDelaisDriver& delais);
    tDelaisDriver GetDelais() const;

private:
    // For the dialog entry points: the worker's instrument model name (empty
    // when none) and its FTP client (null without one).
    CString GetIdentificationTache() const;
    CFTPDirect* GetFTPDirectTache() const;

    // Reset the event, post, wait. True when this very request's handler
    // finished within the limit.
    bool Requete(unsigned nMessage, std::uintptr_t wParam, std::intptr_t lParam,
                 unsigned long nDelai);

    CWnd* m_pParent = nullptr;
    std::shared_ptr<CTacheDriver> m_pTache;           // the last copy ends the worker
    std::shared_ptr<CEvenementManuel> m_hEvenement;   // this facade's completion event
    CString m_strReserve1;
    CString m_strReserve2;
    tUniteDistance m_eUniteDistance = UNITE_KILOMETRE;
    tParametresAppareil m_Parametres;
    tDelaisDriver m_Delais;
};
