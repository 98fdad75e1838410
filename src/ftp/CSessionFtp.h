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
// curl error code. 0 is success.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

typedef void CURL;

class CSessionFtp
{
public:
    using FonctionTrace = std::function<void(const std::string&)>;

    struct tDelais
    {
        long nConnexionMs = 30000;  ///< TCP connect and login
        long nReponseS = 30;        ///< each reply; the server's connect back in active mode
        long nBlocageMs = 30000;    ///< data transfer moving no byte
    };

    CSessionFtp(const std::string& strHote, int nPort);
    ~CSessionFtp();  ///< QUIT and close
    CSessionFtp(const CSessionFtp&) = delete;
    CSessionFtp& operator=(const CSessionFtp&) = delete;

    void SetDelais(const tDelais& delais) { m_delais = delais; }
    void SetTrace(FonctionTrace trace) { m_trace = std::move(trace); }

    /// USER/PASS, then PWD for the starting directory. True when logged in.
    bool Connecter(const std::string& strUtilisateur, const std::string& strMotDePasse);

    const std::string& RepertoireCourant() const { return m_strRepertoire; }

    /// CWD to an absolute path or one relative to the current directory;
    /// the current directory follows on success.
    int ChangerRepertoire(const std::string& strChemin);
    /// A command that needs no data connection (MKD x, RMD x, DELE x), run in
    /// the current directory; pReponses, when given, receives the reply lines.
    int Commande(const std::string& strCommande, std::vector<std::string>* pReponses = nullptr);
    /// RETR of a name (or path) relative to the current directory into `fichier`.
    int Telecharger(const std::string& strNom, std::FILE* fichier);
    /// STOR of `fichier` (nTaille bytes) under a name relative to the current directory.
    int Envoyer(std::FILE* fichier, long long nTaille, const std::string& strNom);
    /// Listing of the current directory: MLSD, or LIST when the server refuses
    /// MLSD. `bMlsd` tells which form `strDonnees` holds. A listing that ends
    /// before the server's final reply is asked again once on a new connection;
    /// the second time it fails (CURLE_PARTIAL_FILE).
    int Lister(std::string& strDonnees, bool& bMlsd);
    /// Whether the last Lister got as far as the server's 1xx reply: a failure
    /// after it cut the listing, one before it refused it.
    bool ListeCommencee() const { return m_bListeCommencee; }
    /// MLST of the current directory: its facts line ("type=dir;unique=x; /a").
    int FaitsRepertoire(std::string& strFaits);

    /// True when the last request failed because the session is gone: the
    /// connection was closed, reset or refused, or a reply or a transfer hit its
    /// time limit. The next request connects and logs in again.
    bool ConnexionPerdue() const { return m_bConnexionPerdue; }
    /// True for the failure numbers of a time limit (reply, data connection, stall).
    static bool EstExpiration(int nEchec);

private:
    struct tRequete;
    int Executer(tRequete& requete);
    std::string Url(const std::string& strRepertoireAbsolu, const std::string& strNom) const;
    // URL of the file strNom (relative to the current directory or absolute);
    // false when it cannot name a file (unsafe, empty, or a directory path).
    bool UrlFichier(const std::string& strNom, std::string& strUrl) const;
    static int Trace(CURL*, int type, char* data, size_t size, void* p);
    static size_t RecevoirEnTete(char* data, size_t taille, size_t n, void* p);
    int ListerUneFois(std::string& strDonnees, bool& bMlsd, bool& bSansFin);
    void NoterReponsesListe(const tRequete& requete, bool& bSansFin);
    // Drops the connection (the next request logs in again).
    void Reouvrir();

    CURL* m_pCurl = nullptr;
    std::string m_strHote;
    int m_nPort;
    std::string m_strUtilisateur;
    std::string m_strMotDePasse;
    std::string m_strRepertoire = "/";
    bool m_bSansMlsd = false;
    bool m_bListeCommencee = false;
    bool m_bConnexionPerdue = false;
    tDelais m_delais;
    FonctionTrace m_trace;
};
