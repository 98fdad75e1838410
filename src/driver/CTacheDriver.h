#pragma once
// CTacheDriver: the worker thread of one facade.
//
// It owns the connected instrument, its FTP client and the wait indication,
// runs the connection and disconnection sequences, and answers the facade's
// requests one at a time, in order of arrival. Every handler ends by setting
// the facade's completion event. Ending the thread (Terminer) releases
// whatever it still holds; an instrument still in remote control then gets "*LOC".
//
// The query operations may be called from the facade's thread at any time:
// they see the state of before or after a running handler, never half of it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "common/CString.h"
#include "common/Export.h"
#include "driver/CWinThreadEx.h"

class CAppareil;
class CAppareilBaseTcpIp;
class CFTPDirect;
class COtdrDriver;

// The facade's requests.
constexpr unsigned WM_STARTDRIVER = WM_USER_TACHE + 20;                // 0x414
constexpr unsigned WM_STOPDRIVER = WM_USER_TACHE + 21;                 // 0x415
constexpr unsigned WM_RECUPERERFICHIERFTP = WM_USER_TACHE + 31;        // 0x41F
constexpr unsigned WM_RECUPERERFICHIERFTPBINARY = WM_USER_TACHE + 32;  // 0x420

// Animations of the wait indication.
constexpr unsigned ID_ANIMATION_AUCUNE = 2069;      // passed with the removal; ignored
constexpr unsigned ID_ANIMATION_CONNEXION = 2080;
constexpr unsigned ID_ANIMATION_DECONNEXION = 2084;

// Command port of the instrument and FTP port, unless the profile overrides them.
constexpr int PORT_COMMANDE_DEFAUT = 1400;
constexpr int PORT_FTP_DEFAUT = 21;

class CTacheDriver : public CWinThreadEx
{
public:
    // evenement: the facade's completion event, set at the end of every handler.
    explicit CTacheDriver(std::shared_ptr<CEvenementManuel> evenement);
    ~CTacheDriver() override;

    void SetDriver(COtdrDriver* pDriver) { m_pDriver.store(pDriver); }

    short GetDerniereErreur() const { return m_nDerniereErreur.load(); }
    // Number (PosterMessage) of the last request whose handler has finished.
    // The facade waits for its own request's number: a completion left over
    // from an earlier request must not end the wait of the next one.
    std::uint64_t GetDerniereRequeteTerminee() const { return m_nDerniereRequeteTerminee.load(); }
    int IsCommunicationEnCours() const { return 0; }
    // 1 while an FTP client is held (a start connected, no stop since).
    int IsConnexionEnCours() const;
    // The FTP client (null when not connected). Owned by the worker.
    CFTPDirect* GetFTPDirect() const;
    // The instrument's model name; empty when there is no instrument or it did
    // not identify itself.
    CString GetIdentification() const;
    // The instrument's version text; empty as for the model.
    CString GetVersion() const;
    // Why the last start did not end with an identified instrument (empty
    // when it did), and the command port it reached or last tried.
    CString GetRaisonEchec() const;
    unsigned GetPortConnexion() const;

    // Shows, replaces (texte non-null) or removes (texte null) the wait
    // indication; the animation passed with a removal is ignored.
    void AfficherAttente(const wchar_t* texte, unsigned idAnimation);

    // Time limits of the instrument's command channel for the next starts
    // (milliseconds; 0 keeps the channel's defaults; 0xFFFFFFFF and above: no limit).
    void SetDelaisCommunication(unsigned long nAttenteReponseMs, unsigned long nPauseMs,
                                unsigned long nConnexionMs);
    // The facade's limit for a start: the sequence ends a little before it,
    // every wait held to what is left, so the facade always learns the cause.
    void SetLimiteDemarrage(unsigned long nDemarrageMs) { m_nDemarrageMs = nDemarrageMs; }

protected:
    int InitInstance() override;
    int ExitInstance() override;
    void TraiterMessage(const tMessageTache& msg) override;

    void OnStartDriver(std::uintptr_t wParam, std::intptr_t lParam);
    // Ouvrir, Initialiser, Identifier, stopping at the first failure, all
    // within the start limit counted from `debut`: why the instrument is not
    // (or not fully) there, empty when it identified itself.
    std::string Sequence(CAppareilBaseTcpIp& appareil, std::chrono::steady_clock::time_point debut);
    void OnStopDriver(std::uintptr_t wParam, std::intptr_t lParam);
    void OnRecupererFichierFTP(std::uintptr_t wParam, std::intptr_t lParam);
    void OnRecupererFichierFTPBinary(std::uintptr_t wParam, std::intptr_t lParam);

private:
    // End of a handler: records the request as done, then sets the event.
    void SignalerFin();

    // Takes the instrument and the FTP client out of the worker (under the lock)
    // so they are released outside it; closing the instrument may take a while.
    // Fermer closes the channel first (nothing sent); RendreLaMain deletes it
    // open, so an instrument in remote control gets "*LOC".
    enum class eLiberation { Fermer, RendreLaMain };
    void Liberer(eLiberation eMode);

    bool m_bAttenteAffichee = false;                 // worker thread only
    std::atomic<COtdrDriver*> m_pDriver{nullptr};    // recorded, never used to reach the facade

    mutable std::mutex m_mutexEtat;                  // guards the two owned objects and the outcome
    std::unique_ptr<CAppareil> m_pAppareil;
    std::unique_ptr<CFTPDirect> m_pFTPDirect;
    CString m_strRaisonEchec;
    unsigned m_nPortConnexion = 0;

    std::shared_ptr<CEvenementManuel> m_hEvenement;
    std::atomic<short> m_nDerniereErreur{0};
    std::uint64_t m_nNumeroEnCours = 0;              // worker thread only
    std::atomic<std::uint64_t> m_nDerniereRequeteTerminee{0};
    std::atomic<unsigned long> m_nAttenteReponseMs{0};
    std::atomic<unsigned long> m_nPauseMs{0};
    std::atomic<unsigned long> m_nConnexionMs{0};
    std::atomic<unsigned long> m_nDemarrageMs{0xFFFFFFFFul};
};
