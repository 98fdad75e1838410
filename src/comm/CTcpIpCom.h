#pragma once
// The TCP/IP instrument channel. Each command is one line of single-byte text
// (ISO-8859-1 here) sent in one flush; replies are read line by line from the
// socket. Commands sent with the check flag are followed by the IEEE 488.2
// status check ("*STB?", then "*ESR?" when the event summary bit is set).
// Opening takes the instrument into remote control ("*REM", with the password
// command as fallback); destroying a channel that is still open hands control
// back ("*LOC").
//
// Single-threaded: one thread creates, uses and destroys a channel.

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "comm/CGenericCom.h"
#include "comm/TraceCom.h"
#include "common/CString.h"
#include "common/Export.h"

class CSocketDebug;
class CFichierSocket;
class CArchiveSocket;

// Time limits of the channel. The defaults are the instrument's; tests shorten them.
struct tDelaisCom
{
    static constexpr int SANS_LIMITE = -1;

    int nAttenteReponseMs = 30000; // wait for reply bytes (each wait); SANS_LIMITE: none
    int nPauseMs = 500;            // after a long reply, and after "*LOC" on destruction
    // Each connection attempt (the configured port, then port 21): both fit in
    // the driver's 120 s start limit. SANS_LIMITE: the system's own.
    int nConnexionMs = 15000;
    // How long a line nobody asked for may take to show itself: a line that
    // arrives this soon after the reply to "*IDN?" makes that reply doubtful,
    // and a probe lets this time pass before it drains and asks.
    int nReposMs = 100;
    // Waits of nAttenteReponseMs before a reply counts as missing: the
    // instrument's two (one sizes the buffer, one reads); a probe waits once.
    int nAttentesReponse = 2;
};

// Why the last failing operation of a channel failed.
enum class eCauseEchec {
    Aucune,
    AdresseInconnue,     // the host name does not resolve
    ConnexionRefusee,
    DelaiConnexion,      // no answer to the connection attempt within the limit
    ConnexionImpossible, // any other reason the connect failed (unreachable network...)
    FermeeParAppareil,   // the instrument closed the connection
    ErreurSignalee,      // the event status register reported an error (-3)
    SansReponse,         // no reply within the limit (-1)
    EnvoiImpossible,
    ReponseTropLongue,   // a reply line over TAILLE_MAX_REPONSE bytes (-2)
    ReponseAmbigue,      // a line came unasked around the reply to "*IDN?" (-2)
    FluxSansFin,         // the instrument kept sending unasked past the drain's bounds (-2)
};

class CTcpIpCom : public virtual CGenericCom
{
public:
    static constexpr unsigned PORT_INSTRUMENT = 1400;
    static constexpr unsigned PORT_SECOURS = 21;   // tried once when the configured port refuses
    static constexpr int LONGUEUR_REPONSE_LONGUE = 100;
    static constexpr int TAILLE_MIN_REPONSE = 100;
    static constexpr int TAILLE_BLOC_VIDAGE = 50;
    static constexpr size_t TAILLE_MAX_REPONSE = 65536; // longest reply line LireReponse accepts, CR LF not counted
    // The most a drain throws away before it gives up on an instrument that
    // keeps sending unasked.
    static constexpr size_t TAILLE_MAX_VIDAGE = 65536;
    static constexpr size_t LONGUEUR_CITATION = 80;     // of a discarded line, in messages and traces
    // A line that goes on this far past the limit without a line feed is not
    // read to its end: the stream is given up.
    static constexpr size_t TAILLE_MAX_REJET = 1u << 20;

    CTcpIpCom();
    ~CTcpIpCom() override;
    CTcpIpCom(const CTcpIpCom&) = delete;
    CTcpIpCom& operator=(const CTcpIpCom&) = delete;

    // CGenericCom
    short EnvoyerCommande(const wchar_t* szCommande, char cTerminateur = 0, int bVerifier = 0) override;
    short EnvoyerCommande(const CString& strCommande, char cTerminateur = 0, int bVerifier = 0) override;
    short Interroger(CString& strReponse, const wchar_t* szRequete) override;
    short Interroger(CString& strReponse, const CString& strRequete) override;
    // Reads up to the line feed even when the reply comes in several pieces.
    // A line longer than TAILLE_MAX_REPONSE bytes fails with -2 (its first
    // bytes in the reply) and the rest of it, up to its line feed, is read and
    // dropped, so the next reply is read in its place. A NUL byte ends the
    // reply's text; the line is still read to its line feed.
    short LireReponse(CString& strReponse) override;
    short LireTampon(char* pTampon, int nTaille, char cTerminateur) override;
    // Discards what has already arrived, at most TAILLE_MAX_VIDAGE bytes and
    // for at most the reply limit: past either, -2 (an instrument that keeps
    // sending). The trace gets a summary (byte count, first line).
    short ViderReception() override;
    // Interroger, then the reply must stand alone: a line that arrives within
    // the settle time after it makes the exchange doubtful, and the query is
    // asked once more. Two equal replies with nothing after them are kept;
    // otherwise -2, the message quoting the stray text.
    short InterrogerSansAmbiguite(CString& strReponse, const CString& strRequete) override;
    // Lets the settle time pass, then drains: a line sent unasked on
    // connecting is gone before the first question.
    short ViderApresRepos();
    // Connecter, the settle time and a drain (a greeting is not a reply),
    // "*REM", "*CLS" with the status check; when that check fails, the
    // password command and a second checked "*CLS" (the message then gives
    // the first failure, then the second). The TCP link stays up when a later
    // step fails (m_nEtat then stays 0).
    short Ouvrir() override;
    // Deconnecter and forget the socket; m_bConnecte and m_nEtat become 0.
    void Fermer() override;

    // Connects to the address on m_nPort; when that fails, once more on port
    // 21 (unless SetPortSecours(false)), which then stays in m_nPort. Each
    // attempt waits at most the connect limit. 0 or -2.
    virtual short Connecter();
    // Closes the sending objects and shuts the socket's sending side down, then
    // deletes the socket. m_bConnecte and m_nEtat are left as they were.
    // -2 when the shutdown fails (the socket is deleted all the same).
    virtual short Deconnecter();

    // Stores the address after NormaliserAdresseIp.
    void SetAdresse(CString strAdresse);
    CString GetAdresse() const { return m_strAdresse; }
    void SetPort(unsigned nPort) { m_nPort = nPort; }
    unsigned GetPort() const { return m_nPort; }
    // A probe of one port must not knock on the FTP port when it is closed.
    void SansPortSecours() { m_bPortSecours = false; }

    // True when connected and the socket and its sending objects are all present.
    int IsConnecte() const;

    // Waits (up to the reply limit) for bytes and returns how many are waiting;
    // 0 when none came, the channel is not connected, or the peer has closed.
    unsigned AttendreDonnees();

    // Hands the open connection over to pDestination; this object is left without one.
    void TransfererConnexion(CTcpIpCom* pDestination);

    int IsReponseLongue() const { return m_bReponseLongue; }

    // A time by which every wait of the channel ends, whatever its own limit
    // (a connection sequence must end within its caller's limit, with its
    // cause). Without one, each wait has its own limit only.
    void SetEcheance(std::chrono::steady_clock::time_point fin) { m_echeance = fin; }
    void SupprimerEcheance() { m_echeance.reset(); }

    void SetDelais(const tDelaisCom& delais) { m_delais = delais; }
    const tDelaisCom& GetDelais() const { return m_delais; }

    // The last failure of an operation that failed: its cause, and a sentence
    // for people that names it with the port, the command and the limit
    // concerned, e.g. "no reply to "*STB?" within 30 s". A failed connect
    // names both attempts ("port 1400: connection refused; port 21: ...").
    // Stale once a later operation has succeeded.
    eCauseEchec GetCauseEchec() const { return m_eCauseEchec; }
    const std::string& GetRaisonEchec() const { return m_strRaisonEchec; }

    // A trace for this channel only (replaces the process-wide one for it).
    // Either way, the arguments of the password command are masked.
    void SetTrace(FonctionTraceCom fonction) { m_fnTrace = std::move(fonction); }

protected:
    void Tracer(eSensTrace sens, const std::string& texte) const;
    bool TraceActive() const;
    // The status check after a command or a query: "*STB?", then "*ESR?".
    short VerifierEtat(std::string strCommande);   // a copy: the queries change the last line sent
    // Interroger for a status register ("*STB?", "*ESR?"), skipping a line
    // nobody asked for that came before the number.
    short InterrogerRegistre(CString& strReponse, const wchar_t* szRequete);
    void Pause(int nMs) const;
    void NoterEchec(eCauseEchec eCause, const std::string& strRaison);
    // Reads and drops what is left of an over-long line, up to and including
    // its line feed (never past it). nJetes: the bytes dropped before it.
    short JeterFinDeLigne(size_t& nJetes);
    // LireTampon, also giving how many bytes it stored before the terminator
    // (NUL bytes among them).
    short LireOctets(char* pTampon, int nTaille, char cTerminateur, int& nOctets);
    // One reply line (its line feed removed), at most TAILLE_MAX_REPONSE bytes
    // of text; nTrop: the bytes past that limit, read and dropped.
    short LireLigneBornee(std::string& octets, size_t& nTrop);
    // True when input arrives within the settle time (already there included).
    bool ArriveePendantRepos();
    // The time waited for the reply being read so far, as said in messages.
    std::string Attendu() const;
    // A wait's limit held to the deadline, if any (0 once it has passed).
    int LimiteBornee(int nLimiteMs) const;

    int m_bConnecte = 0;
    std::unique_ptr<CFichierSocket> m_pFichierSocket;
    std::unique_ptr<CArchiveSocket> m_pArchive;
    std::unique_ptr<CSocketDebug> m_pSocket;
    CString m_strAdresse;
    unsigned m_nPort = PORT_INSTRUMENT;
    int m_bReponseLongue = 0;

private:
    // Set by AttendreDonnees when the peer closed or the socket failed, so a read
    // fails at once with -2 instead of waiting out the limit.
    bool m_bFluxRompu = false;
    bool m_bPortSecours = true;
    tDelaisCom m_delais;
    FonctionTraceCom m_fnTrace;
    std::string m_strDernierEnvoi;   // the last line sent, as traced (for messages)
    std::string m_strPremierRebut;   // the first line the last drain discarded (cut)
    int m_nAttenduMs = 0;            // waited without a byte for the reply being read
    bool m_bEcourte = false;         // a wait of that reply was cut short by the deadline
    std::optional<std::chrono::steady_clock::time_point> m_echeance;
    eCauseEchec m_eCauseEchec = eCauseEchec::Aucune;
    std::string m_strRaisonEchec;
};
