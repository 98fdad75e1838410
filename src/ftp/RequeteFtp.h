#pragma once
// One request of CSessionFtp: what it sends, where its data goes, and what
// came back. Shared by the session's operations and by the code that runs a
// request through libcurl (CSessionFtpExecution.cpp).

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ftp/CSessionFtp.h"

struct CListeCurl
{
    curl_slist* p = nullptr;
    CListeCurl() = default;
    CListeCurl(const CListeCurl&) = delete;
    CListeCurl& operator=(const CListeCurl&) = delete;
    ~CListeCurl() { curl_slist_free_all(p); }
    void Ajouter(const std::string& s) { p = curl_slist_append(p, s.c_str()); }
};

// A reply line that starts with this word (case ignored), alone or followed by a blank.
bool CommencePar(const std::string& strLigne, const char* pszMot);

struct CSessionFtp::tRequete
{
    std::string strUrl;
    bool bSansCorps = false;
    const char* pszCommandeListe = nullptr;
    CListeCurl postQuote;
    std::FILE* pFichierRecu = nullptr;
    IRecepteurListe* pRecepteur = nullptr;
    std::string strReste;  ///< a listing line cut between two blocks
    std::FILE* pFichierEnvoye = nullptr;
    long long nTailleEnvoyee = -1;
    bool bDonnees = false;           ///< uses a data connection: must end on a final reply
    bool bDate = false;              ///< MDTM before RETR
    bool bProgression = false;
    bool bMalgreAnnulation = false;  ///< clean-up after a cancel: runs anyway, shortly
    bool bConnexion = false;         ///< the login request
    long long nTotal = 0;            ///< for the progress: 0 when unknown
    long long nAnnonce = -1;         ///< the size a 150 reply announced
    long long nReprise = 0;          ///< REST offset of a resumed download
    const std::string* pRecouvrement = nullptr;  ///< bytes the download must start with (not written)
    size_t nRecouvrementVu = 0;
    bool bRecouvrementFaux = false;
    std::function<bool()> recommencer;  ///< rewinds what the transfer wrote or read

    std::vector<std::string> reponses;
    int nCurl = 0;
    int nErrnoLocal = 0;
    bool bCommencee = false;        ///< a 1xx reply came: the server began the transfer
    bool bFinPreliminaire = false;  ///< ended with no final reply after the 1xx: nothing was transferred
    bool bBloque = false;           ///< ended by the idle check below
    bool bDonneesVues = false;
    long long nDernierTotal = 0;
    std::chrono::steady_clock::time_point derniereActivite;
    std::chrono::steady_clock::time_point derniereProgression;
    char szErreur[CURL_ERROR_SIZE] = {};
    CSessionFtp* pSession = nullptr;
};

