#include "ftp/CSessionFtp.h"
#include "ftp/RequeteFtp.h"

#include "ftp/AnalyseListeFtp.h"
#include "ftp/CheminDistant.h"

#include <curl/curl.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

using Horloge = std::chrono::steady_clock;

namespace {

void InitialiserCurl()
{
    // curl_global_init is not thread-safe on every build; do it once.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string Encoder(const std::string& composant)
{
    // Everything but unreserved characters is escaped, dots included, so that
    // "." and ".." reach the server as written instead of being resolved by
    // the URL parser.
    static const char hex[] = "0123456789ABCDEF";
    std::string r;
    r.reserve(composant.size());
    for (unsigned char c : composant) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '_' || c == '~') {
            r += static_cast<char>(c);
        } else {
            r += '%';
            r += hex[c >> 4];
            r += hex[c & 15];
        }
    }
    return r;
}

// 257 "<path>" with embedded quotes doubled (RFC 959).
bool LireReponsePwd(const std::string& ligne, std::string& chemin)
{
    if (ligne.compare(0, 4, "257 ") != 0)
        return false;
    const size_t debut = ligne.find('"');
    if (debut == std::string::npos)
        return false;
    std::string r;
    for (size_t i = debut + 1; i < ligne.size(); ++i) {
        if (ligne[i] == '"') {
            if (i + 1 < ligne.size() && ligne[i + 1] == '"') {
                r += '"';
                ++i;
                continue;
            }
            chemin = r;
            return !r.empty() && r[0] == '/';
        }
        r += ligne[i];
    }
    return false;
}

} // namespace

bool CommencePar(const std::string& ligne, const char* mot)
{
    const size_t n = std::strlen(mot);
    if (ligne.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(ligne[i])) != mot[i])
            return false;
    return ligne.size() == n || ligne[n] == ' ';
}

// ---------------------------------------------------------------- requests

CSessionFtp::CSessionFtp(const std::string& strHote, int nPort, std::shared_ptr<CAnnulationFtp> annulation)
    : m_annulation(std::move(annulation)), m_strHote(strHote), m_nPort(nPort)
{
    InitialiserCurl();
    m_pCurl = curl_easy_init();
    m_pMulti = curl_multi_init();
}

CSessionFtp::~CSessionFtp()
{
    // The multi handle holds the kept connection: its clean-up sends QUIT.
    if (m_pMulti)
        curl_multi_cleanup(m_pMulti);
    if (m_pCurl)
        curl_easy_cleanup(m_pCurl);
}

void CSessionFtp::OublierConnexion()
{
    // A connection in doubt (cancelled, out of step with the server) is never
    // used again: new handles start from a new connection and login.
    if (m_pMulti)
        curl_multi_cleanup(m_pMulti);
    if (m_pCurl)
        curl_easy_cleanup(m_pCurl);
    m_pCurl = curl_easy_init();
    m_pMulti = curl_multi_init();
}

std::string CSessionFtp::Url(const std::string& repertoire, const std::string& nom) const
{
    std::string url = "ftp://";
    if (m_strHote.find(':') != std::string::npos) {
        // IPv6, with a zone ("%eth0") escaped as URLs want it.
        url += "[";
        for (char c : m_strHote)
            url += c == '%' ? std::string("%25") : std::string(1, c);
        url += "]";
    } else {
        url += m_strHote;
    }
    url += ":" + std::to_string(m_nPort) + "/%2F";
    bool bPremier = true;
    for (const std::string& c : CheminDistant::Composants(repertoire)) {
        if (!bPremier)
            url += "/";
        url += Encoder(c);
        bPremier = false;
    }
    url += "/" + Encoder(nom);
    return url;
}

// ---------------------------------------------------------------- operations

CSessionFtp::eEchecConnexion CSessionFtp::Connecter(const std::string& utilisateur, const std::string& motDePasse)
{
    // A line break would end USER/PASS early and start a command of its own.
    for (const std::string* t : {&utilisateur, &motDePasse})
        if (t->find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
            m_strErreur = "the user name or password holds a line break or a NUL character, which FTP cannot send";
            return eEchecConnexion::Refusee;
        }
    m_strUtilisateur = utilisateur;
    m_strMotDePasse = motDePasse;
    m_bSansMlsd = false;
    m_bSansRest = false;
    m_bMfmt = false;
    m_bFeat = false;
    tRequete r;
    r.bConnexion = true;
    // No %2F: the login directory itself, which curl learns with PWD.
    r.strUrl = Url("/", "");
    r.strUrl.replace(r.strUrl.rfind("/%2F/"), 5, "/");
    r.bSansCorps = true;
    const int n = Executer(r);
    if (n != 0) {
        if (n == ANNULE)
            return eEchecConnexion::Annulee;
        if (r.nCurl == CURLE_LOGIN_DENIED)
            return eEchecConnexion::Refusee;
        if (r.nCurl == CURLE_OPERATION_TIMEDOUT || r.nCurl == CURLE_ABORTED_BY_CALLBACK)
            return eEchecConnexion::Expiree;
        return eEchecConnexion::Injoignable;
    }
    const char* entree = nullptr;
    if (curl_easy_getinfo(m_pCurl, CURLINFO_FTP_ENTRY_PATH, &entree) == CURLE_OK && entree && entree[0] == '/')
        m_strRepertoire = entree;
    else
        m_strRepertoire = "/";
    return eEchecConnexion::Aucun;
}

int CSessionFtp::ChangerRepertoire(const std::string& chemin)
{
    if (chemin.empty() || !CheminDistant::CheminSur(chemin)) {
        m_strErreur = "550 not a usable directory path";
        return 550;
    }
    const std::string absolu = CheminDistant::Joindre(m_strRepertoire, chemin);
    tRequete r;
    r.strUrl = Url(absolu, "");
    r.bSansCorps = true;
    r.postQuote.Ajouter("PWD");
    const int n = Executer(r);
    if (n != 0)
        return n;
    std::string pwd;
    for (auto it = r.reponses.rbegin(); it != r.reponses.rend(); ++it)
        if (LireReponsePwd(*it, pwd))
            break;
    // The server's PWD is the truth; the lexical form only when it cannot be read.
    m_strRepertoire = pwd.empty() ? CheminDistant::Normaliser(absolu) : pwd;
    return 0;
}

int CSessionFtp::Commande(const std::string& commande, bool bMalgreAnnulation, std::vector<std::string>* pReponses)
{
    if (!CheminDistant::CheminSur(commande)) {
        m_strErreur = "501 the name holds a character FTP commands cannot carry";
        return 501;
    }
    tRequete r;
    r.strUrl = Url(m_strRepertoire, "");
    r.bSansCorps = true;
    r.bMalgreAnnulation = bMalgreAnnulation;
    r.postQuote.Ajouter(commande);
    const int n = Executer(r);
    if (pReponses)
        *pReponses = std::move(r.reponses);
    return n;
}

int CSessionFtp::Renommer(const std::string& de, const std::string& vers)
{
    if (de.empty() || vers.empty() || !CheminDistant::CheminSur(de) || !CheminDistant::CheminSur(vers)) {
        m_strErreur = "501 not a usable file name";
        return 501;
    }
    tRequete r;
    r.strUrl = Url(m_strRepertoire, "");
    r.bSansCorps = true;
    r.postQuote.Ajouter("RNFR " + de);
    r.postQuote.Ajouter("RNTO " + vers);
    return Executer(r);
}

bool CSessionFtp::UrlFichier(const std::string& nom, std::string& url) const
{
    if (nom.empty() || !CheminDistant::CheminSur(nom))
        return false;
    const std::string absolu = CheminDistant::Joindre(m_strRepertoire, nom);
    const std::string fichier = CheminDistant::Nom(absolu);
    // A path ending in "/" names a directory, not a file to transfer.
    if (fichier.empty())
        return false;
    url = Url(CheminDistant::Parent(absolu), fichier);
    return true;
}

int CSessionFtp::Telecharger(const std::string& nom, std::FILE* fichier, long long nTailleIndicative,
                             bool bDemanderDate, long long& nDateUtc, long long nReprise)
{
    nDateUtc = 0;
    tRequete r;
    if (!UrlFichier(nom, r.strUrl)) {
        m_strErreur = "501 not a usable file name";
        return 501;
    }
    if (nReprise > 0 && m_bSansRest) {
        m_strErreur = "the server does not resume downloads (REST)";
        return 502;
    }
    r.pFichierRecu = fichier;
    r.bDonnees = true;
    r.bProgression = true;
    r.bDate = bDemanderDate;
    r.nReprise = nReprise;
    r.nTotal = nTailleIndicative > 0 ? nTailleIndicative : 0;
    r.recommencer = [fichier, nReprise] {
        // Back to what was there before this transfer (what stdio still
        // holds written first, so that it cannot land after the cut).
        const bool bCoupe = std::fflush(fichier) == 0 &&
#if defined(_WIN32)
            _chsize_s(_fileno(fichier), nReprise) == 0;
#else
            ::ftruncate(fileno(fichier), static_cast<off_t>(nReprise)) == 0;
#endif
        return bCoupe && std::fseek(fichier, 0, SEEK_END) == 0;
    };
    const int n = Executer(r);
    if (n != 0) {
        if (r.nCurl == CURLE_FTP_COULDNT_USE_REST)
            m_bSansRest = true;
        return n;
    }
    curl_off_t nRecus = 0;
    curl_easy_getinfo(m_pCurl, CURLINFO_SIZE_DOWNLOAD_T, &nRecus);
    // After REST servers announce either the whole size or the rest: the
    // caller checks the whole file's size instead.
    if (nReprise == 0 && r.nAnnonce >= 0 && nRecus != r.nAnnonce) {
        m_strErreur = "the file arrived incomplete: " + std::to_string(static_cast<long long>(nRecus)) + " of " +
                      std::to_string(r.nAnnonce) + " bytes";
        return CURLE_PARTIAL_FILE;
    }
    if (bDemanderDate) {
        curl_off_t nDate = -1;
        if (curl_easy_getinfo(m_pCurl, CURLINFO_FILETIME_T, &nDate) == CURLE_OK && nDate > 0)
            nDateUtc = static_cast<long long>(nDate);
    }
    return 0;
}

int CSessionFtp::Envoyer(std::FILE* fichier, long long taille, const std::string& nom, long long nDateUtc)
{
    tRequete r;
    if (!UrlFichier(nom, r.strUrl)) {
        m_strErreur = "501 not a usable file name";
        return 501;
    }
    r.pFichierEnvoye = fichier;
    r.nTailleEnvoyee = taille;
    r.bDonnees = true;
    r.bProgression = true;
    r.nTotal = taille;
    r.recommencer = [fichier] {
        std::rewind(fichier);
        return true;
    };
    if (nDateUtc > 0 && !m_bFeat) {
        // Asked once, before the first upload that has a time to give.
        m_bFeat = true;
        tRequete feat;
        feat.strUrl = Url(m_strRepertoire, "");
        feat.bSansCorps = true;
        feat.postQuote.Ajouter("*FEAT");
        if (Executer(feat) == 0)
            for (const std::string& ligne : feat.reponses) {
                size_t i = 0;
                while (i < ligne.size() && ligne[i] == ' ')
                    ++i;
                if (i > 0 && CommencePar(ligne.substr(i), "MFMT"))
                    m_bMfmt = true;
            }
    }
    if (nDateUtc > 0 && m_bMfmt) {
        const std::tm tmUtc = EnUtc(static_cast<std::time_t>(nDateUtc));
        char date[32];
        std::strftime(date, sizeof date, "%Y%m%d%H%M%S", &tmUtc);
        // After the STOR the connection stands in the file's directory. "*":
        // a refused MFMT does not fail the upload.
        r.postQuote.Ajouter(std::string("*MFMT ") + date + " " + CheminDistant::Nom(nom));
    }
    return Executer(r);
}

int CSessionFtp::Lister(IRecepteurListe& recepteur)
{
    m_bListeCommencee = false;
    if (!m_bSansMlsd) {
        tRequete r;
        r.strUrl = Url(m_strRepertoire, "");
        r.pszCommandeListe = "MLSD";
        r.pRecepteur = &recepteur;
        r.bDonnees = true;
        r.recommencer = [&recepteur] {
            recepteur.Debut(true);
            return true;
        };
        recepteur.Debut(true);
        const int n = Executer(r);
        m_bListeCommencee = r.bCommencee;
        // 500/502: command unknown or not implemented; 501/504 from servers
        // that know MLSD but not without arguments.
        if (n < 500 || n > 504)
            return n;
        m_bSansMlsd = true;
    }
    tRequete r;
    r.strUrl = Url(m_strRepertoire, "");
    r.pRecepteur = &recepteur;
    r.bDonnees = true;
    r.recommencer = [&recepteur] {
        recepteur.Debut(false);
        return true;
    };
    recepteur.Debut(false);
    const int n = Executer(r);
    m_bListeCommencee = r.bCommencee;
    return n;
}

int CSessionFtp::FaitsRepertoire(std::string& faits)
{
    // A server without MLSD has no MLST either.
    if (m_bSansMlsd)
        return 500;
    std::vector<std::string> reponses;
    const int n = Commande("MLST", false, &reponses);
    if (n != 0)
        return n;
    // The facts come on their own line, after a blank, inside the 250 reply
    // (the lines before it may hold a greeting's or a CWD's).
    size_t debut = 0;
    for (size_t i = 0; i < reponses.size(); ++i)
        if (reponses[i].compare(0, 4, "250-") == 0)
            debut = i + 1;
    for (size_t i = debut; i < reponses.size(); ++i)
        if (!reponses[i].empty() && reponses[i][0] == ' ') {
            faits = reponses[i].substr(1);
            return 0;
        }
    return 550;
}

bool CSessionFtp::EstExpiration(int n)
{
    // CURLE_ABORTED_BY_CALLBACK: the idle check (a cancel is ANNULE).
    return n == CURLE_OPERATION_TIMEDOUT || n == CURLE_FTP_ACCEPT_TIMEOUT || n == CURLE_ABORTED_BY_CALLBACK;
}
