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
    /// the current directory.
    int Commande(const std::string& strCommande);
    /// RETR of a name (or path) relative to the current directory into `fichier`.
    int Telecharger(const std::string& strNom, std::FILE* fichier);
    /// STOR of `fichier` (nTaille bytes) under a name relative to the current directory.
    int Envoyer(std::FILE* fichier, long long nTaille, const std::string& strNom);
    /// Listing of the current directory: MLSD, or LIST when the server refuses
    /// MLSD. `bMlsd` tells which form `strDonnees` holds.
    int Lister(std::string& strDonnees, bool& bMlsd);

private:
    struct tRequete;
    int Executer(tRequete& requete);
    std::string Url(const std::string& strRepertoireAbsolu, const std::string& strNom) const;
    // URL of the file strNom (relative to the current directory or absolute);
    // false when it cannot name a file (unsafe, empty, or a directory path).
    bool UrlFichier(const std::string& strNom, std::string& strUrl) const;
    static int Trace(CURL*, int type, char* data, size_t size, void* p);
    static size_t RecevoirEnTete(char* data, size_t taille, size_t n, void* p);

    CURL* m_pCurl = nullptr;
    std::string m_strHote;
    int m_nPort;
    std::string m_strUtilisateur;
    std::string m_strMotDePasse;
    std::string m_strRepertoire = "/";
    bool m_bSansMlsd = false;
    tDelais m_delais;
    FonctionTrace m_trace;
};
