#pragma once
// One logged-in FTP control connection over libcurl.
//
// libcurl keeps the control connection alive between transfers of the same
// easy handle, so every operation here is one curl_easy_perform on that
// handle. The current remote directory is tracked here as an absolute path
// (bytes as the server spells them): each request addresses
// ftp://host:port/%2F<dir>/<name> with a single CWD, and MKD/RMD/DELE run as
// POSTQUOTE once that CWD is done. Transfers are binary, in active mode
// unless passive mode is asked; an active data connection that cannot be
// made (refused PORT/EPRT, 425, no connection back in time) is tried once
// more in passive mode, which the session then keeps.
//
// Failure numbers: the server's reply code when it gave one (550...), else the
// curl error code, ANNULE for a cancelled request. 0 is success. After each
// failure DerniereErreur() tells why in one line: the server's reply, or the
// local reason.
//
// Two libcurl 7.88 behaviours are worked around here:
// - In active mode, on a reused connection, a transfer whose 150 reply comes
//   before the server has connected back can end at once with no data and no
//   final reply (the server's late 425/226 then answers the next command). A
//   transfer that ends on a preliminary (1xx) reply is therefore never taken
//   for a success: the connection is dropped and the transfer made again (at
//   most REPRISES_PRELIMINAIRE times).
// - Once the data has moved, libcurl waits up to 60 s for the final reply
//   whatever the reply limit; the progress callback ends that wait at the
//   reply limit.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ftp/CAnnulationFtp.h"
#include "ftp/CFTPDirect.h"

typedef void CURL;
typedef void CURLM;

class CSessionFtp
{
public:
    static constexpr int ANNULE = -30;
    /// Times a transfer that ended on its 1xx reply alone is made again.
    static constexpr int REPRISES_PRELIMINAIRE = 2;

    using FonctionTrace = std::function<void(const std::string&)>;
    using FonctionProgression = std::function<bool(uint64_t nFaits, uint64_t nTotal)>;

    struct tDelais
    {
        long nConnexionMs = 30000;  ///< TCP connect and greeting
        long nReponseMs = 30000;    ///< each reply; the server's connect back in active mode
        long nBlocageMs = 30000;    ///< data transfer moving no byte
    };

    /// How a login failed: the client's own enumeration, one for both.
    using eEchecConnexion = CFTPDirect::tEchecConnexion;

    // Receives a listing line by line (without its CR LF), as it arrives.
    // Debut starts each attempt: a transfer made again starts from nothing.
    class IRecepteurListe
    {
    public:
        virtual ~IRecepteurListe() = default;
        virtual void Debut(bool bMlsd) = 0;
        virtual void Ligne(const char* pLigne, size_t nLongueur) = 0;
    };

    CSessionFtp(const std::string& strHote, int nPort, std::shared_ptr<CAnnulationFtp> annulation);
    ~CSessionFtp();  ///< QUIT and close (no QUIT once cancelled)
    CSessionFtp(const CSessionFtp&) = delete;
    CSessionFtp& operator=(const CSessionFtp&) = delete;

    /// Actif: active, once more in passive mode when an active data
    /// connection cannot be made; ActifSeul: never passive.
    enum class eModeDonnees { Actif, Passif, ActifSeul };
    /// Called once when the session turns to passive mode after an active data
    /// connection failed, with the reason; may be empty.
    using FonctionRepli = std::function<void(const std::string& strRaison)>;

    void SetDelais(const tDelais& delais) { m_delais = delais; }
    void SetModeDonnees(eModeDonnees eMode) { m_eModeDonnees = eMode; }
    eModeDonnees ModeDonnees() const { return m_eModeDonnees; }
    void SetRepliPassif(FonctionRepli repli) { m_repliPassif = std::move(repli); }
    void SetTrace(FonctionTrace trace) { m_trace = std::move(trace); }
    /// Called during RETR and STOR (see CFTPDirect::SetProgression); may be empty.
    void SetProgression(const FonctionProgression* pProgression) { m_pProgression = pProgression; }

    /// USER/PASS (bytes as they go on the wire), PWD for the starting
    /// directory. Aucun when logged in.
    eEchecConnexion Connecter(const std::string& strUtilisateur, const std::string& strMotDePasse);

    const std::string& RepertoireCourant() const { return m_strRepertoire; }
    const std::string& DerniereErreur() const { return m_strErreur; }

    /// CWD to an absolute path or one relative to the current directory;
    /// the current directory follows on success.
    int ChangerRepertoire(const std::string& strChemin);
    /// A command that needs no data connection (MKD x, RMD x, DELE x), run in
    /// the current directory. pReponses, when given, receives the reply lines.
    int Commande(const std::string& strCommande, std::vector<std::string>* pReponses = nullptr)
    {
        return Commande(strCommande, eAnnulation::Respectee, pReponses);
    }
    /// Commande, run even once cancelled (the clean-up after a cancelled upload).
    /// With short limits: the clean-up after a cancelled upload.
    int CommandeNettoyage(const std::string& strCommande) { return Commande(strCommande, eAnnulation::Ignoree); }
    /// What a download asks and what it learns (see Telecharger).
    struct tReception
    {
        long long nTailleIndicative = 0;  ///< from a listing, for the progress only; 0: unknown
        bool bDemanderDate = false;       ///< MDTM into nDateUtc (0 when the server does not tell)
        long long nDateUtc = 0;
        /// > 0: REST to this offset; the file already holds nReprise bytes plus
        /// strRecouvrement, which the server must send first (compared, not
        /// written): the proof that the server resumes where the file stopped.
        long long nReprise = 0;
        std::string strRecouvrement;
        bool bRecouvrementFaux = false;  ///< out: the server's bytes differed from the file's
        int nErrnoLocal = 0;             ///< out: why the local file could not be written
    };
    /// RETR of a name (or path) relative to the current directory into
    /// `fichier`, without SIZE: the transfer must end on the server's final
    /// reply, and with the size its 150 reply announces when it announces one.
    /// A resumed download's size is the caller's to check. A server that
    /// refuses REST fails it with RepriseRefusee() true, and is not asked again
    /// on this session.
    int Telecharger(const std::string& strNom, std::FILE* fichier, tReception& reception);
    /// SIZE of a file (binary type); the failure number when the server does not tell.
    int Taille(const std::string& strNom, long long& nTaille);
    /// MDTM of a file: its time to the second (UTC); the failure number when
    /// the server does not tell.
    int DateExacte(const std::string& strNom, long long& nDateUtc);
    /// RNFR/RNTO in the current directory.
    int Renommer(const std::string& strDe, const std::string& strVers);
    /// Renommer, run even once cancelled, with short limits (putting a file back).
    int RenommerNettoyage(const std::string& strDe, const std::string& strVers);
    bool RepriseRefusee() const { return m_bSansRest; }
    /// Whether the last listing came by MLSD (exact times) rather than LIST.
    bool ListeMlsd() const { return !m_bSansMlsd; }
    /// STOR of `fichier` (nTaille bytes) under a name relative to the current
    /// directory; then MFMT to nDateUtc when non-zero and the server lists MFMT
    /// in its FEAT reply (asked before the first such upload).
    int Envoyer(std::FILE* fichier, long long nTaille, const std::string& strNom, long long nDateUtc);
    /// Listing of the current directory: MLSD, or LIST when the server refuses MLSD.
    int Lister(IRecepteurListe& recepteur);
    /// Whether the last Lister got as far as the server's 1xx reply: a failure
    /// after it cut the listing, one before it refused it.
    bool ListeCommencee() const { return m_bListeCommencee; }
    /// MLST of the current directory: its facts line ("type=dir;unique=x; /a").
    int FaitsRepertoire(std::string& strFaits);

    /// True when the last request failed because the session is gone: the
    /// connection was closed, reset or refused, or a reply or a transfer hit its
    /// time limit (never for a cancel). The next request connects and logs in again.
    bool ConnexionPerdue() const { return m_bConnexionPerdue; }
    /// True for the failure numbers of a time limit (reply, data connection, stall).
    static bool EstExpiration(int nEchec);

    /// Text of a curl failure for people (reasons that are not a server reply).
    static std::string TexteCurl(int nCodeCurl);

private:
    struct tRequete;
    int Executer(tRequete& requete);
    // Whether a request runs once the session is cancelled (a clean-up).
    enum class eAnnulation { Respectee, Ignoree };
    int Commande(const std::string& strCommande, eAnnulation annulation, std::vector<std::string>* pReponses = nullptr);
    int Renommer(const std::string& strDe, const std::string& strVers, eAnnulation annulation);
    int ExecuterUneFois(tRequete& requete);
    // Once more in passive mode, when an active data connection could not be made.
    int RepliPassif(tRequete& requete, int nEchec);
    void Expliquer(const tRequete& requete, int nCode);
    void ExpliquerExpiration(const tRequete& requete);
    void OublierConnexion();
    // A request's libcurl options: Preparer sets the common ones and calls the
    // others (sockets known to the cancel, the watch callback, the data side).
    void Preparer(tRequete& requete);
    void PreparerSockets();
    void PreparerSurveillance(tRequete& requete);
    void PreparerDonnees(tRequete& requete);
    void PreparerReception(tRequete& requete);   // RETR into a file
    void PreparerEnvoi(tRequete& requete);       // STOR from a file
    std::string Url(const std::string& strRepertoireAbsolu, const std::string& strNom) const;
    // URL of the file strNom (relative to the current directory or absolute);
    // false when it cannot name a file (unsafe, empty, or a directory path).
    bool UrlFichier(const std::string& strNom, std::string& strUrl) const;
    static int Trace(CURL*, int type, char* data, size_t size, void* p);
    static size_t RecevoirEnTete(char* data, size_t taille, size_t n, void* p);
    // Compares the start of a resumed download with the bytes expected there;
    // returns how many of `data` were compared (not to be written).
    static size_t VerifierRecouvrement(tRequete& requete, const char* data, size_t n);

    CURL* m_pCurl = nullptr;
    CURLM* m_pMulti = nullptr;  ///< holds the kept connection between requests
    std::shared_ptr<CAnnulationFtp> m_annulation;
    std::string m_strHote;
    int m_nPort;
    std::string m_strUtilisateur;
    std::string m_strMotDePasse;
    std::string m_strRepertoire = "/";
    std::string m_strErreur;
    bool m_bSansMlsd = false;
    bool m_bSansRest = false;
    bool m_bMfmt = false;
    bool m_bFeat = false;   ///< FEAT asked (once, before the first upload with a time)
    bool m_bListeCommencee = false;
    bool m_bConnexionPerdue = false;
    tDelais m_delais;
    eModeDonnees m_eModeDonnees = eModeDonnees::Actif;
    FonctionRepli m_repliPassif;
    FonctionTrace m_trace;
    const FonctionProgression* m_pProgression = nullptr;
};
