#pragma once
// One logged-in FTP control connection over libcurl.
//
// libcurl keeps the control connection alive between transfers of the same
// easy handle, so every operation here is one curl_easy_perform on that
// handle. The current remote directory is tracked here as an absolute path
// (bytes as the server spells them): each request addresses
// ftp://host:port/%2F<dir>/<name> with a single CWD, and MKD/RMD/DELE run as
// POSTQUOTE once that CWD is done. Transfers are binary, in active mode.
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

    enum class eEchecConnexion { Aucun, Refusee, Injoignable, Expiree, Annulee };

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

    void SetDelais(const tDelais& delais) { m_delais = delais; }
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
    /// the current directory. bMalgreAnnulation: runs even once cancelled, with
    /// short limits (the clean-up after a cancelled upload). pReponses, when
    /// given, receives the reply lines.
    int Commande(const std::string& strCommande, bool bMalgreAnnulation = false,
                 std::vector<std::string>* pReponses = nullptr);
    /// RNFR strDe then RNTO strVers, one right after the other as the
    /// protocol wants, in the current directory.
    int Renommer(const std::string& strDe, const std::string& strVers);
    /// RETR of a name (or path) relative to the current directory into
    /// `fichier`, without SIZE: the transfer must end on the server's final
    /// reply, and with the size its 150 reply announces when it announces one.
    /// nTailleIndicative (from a listing; 0: unknown) serves the progress only.
    /// With bDemanderDate the time comes by MDTM into nDateUtc (0 when the
    /// server does not tell). nReprise > 0: `fichier` already holds that many
    /// bytes, and the server is asked (REST) to send the rest; the size is then
    /// the caller's to check. A server that refuses REST fails it with
    /// RepriseRefusee() true, and is not asked again on this session.
    int Telecharger(const std::string& strNom, std::FILE* fichier, long long nTailleIndicative, bool bDemanderDate,
                    long long& nDateUtc, long long nReprise = 0);
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
    int ExecuterUneFois(tRequete& requete);
    void Expliquer(const tRequete& requete, int nCode);
    void OublierConnexion();
    void Preparer(tRequete& requete);
    std::string Url(const std::string& strRepertoireAbsolu, const std::string& strNom) const;
    // URL of the file strNom (relative to the current directory or absolute);
    // false when it cannot name a file (unsafe, empty, or a directory path).
    bool UrlFichier(const std::string& strNom, std::string& strUrl) const;
    static int Trace(CURL*, int type, char* data, size_t size, void* p);
    static size_t RecevoirEnTete(char* data, size_t taille, size_t n, void* p);

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
    FonctionTrace m_trace;
    const FonctionProgression* m_pProgression = nullptr;
};
