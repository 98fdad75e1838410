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

// Seconds from 1970-01-01 UTC to the start of that day (proleptic Gregorian).
long long SecondesUtc(int a, int m, int j)
{
    a -= m <= 2 ? 1 : 0;
    const int ere = (a >= 0 ? a : a - 399) / 400;
    const int ae = a - ere * 400;
    const int jour = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + j - 1;
    const int je = ae * 365 + ae / 4 - ae / 100 + jour;
    return (static_cast<long long>(ere) * 146097 + je - 719468) * 86400LL;
}

// A final reply of failure ("550 ...").
bool EstCodeEchec(const std::string& ligne)
{
    return ligne.size() >= 4 && (ligne[0] == '4' || ligne[0] == '5') && std::isdigit(static_cast<unsigned char>(ligne[1])) &&
           std::isdigit(static_cast<unsigned char>(ligne[2])) && ligne[3] == ' ';
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

int CSessionFtp::Commande(const std::string& commande, eAnnulation annulation, std::vector<std::string>* pReponses)
{
    if (!CheminDistant::CheminSur(commande)) {
        m_strErreur = "501 the name holds a character FTP commands cannot carry";
        return 501;
    }
    tRequete r;
    r.strUrl = Url(m_strRepertoire, "");
    r.bSansCorps = true;
    r.bMalgreAnnulation = annulation == eAnnulation::Ignoree;
    r.postQuote.Ajouter(commande);
    const int n = Executer(r);
    if (pReponses)
        *pReponses = std::move(r.reponses);
    return n;
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

int CSessionFtp::Telecharger(const std::string& nom, std::FILE* fichier, tReception& reception)
{
    reception.nDateUtc = 0;
    reception.bRecouvrementFaux = false;
    tRequete r;
    if (!UrlFichier(nom, r.strUrl)) {
        m_strErreur = "501 not a usable file name";
        return 501;
    }
    const long long nReprise = reception.nReprise;
    if (nReprise > 0 && m_bSansRest) {
        m_strErreur = "the server does not resume downloads (REST)";
        return 502;
    }
    r.pFichierRecu = fichier;
    r.bDonnees = true;
    r.bProgression = true;
    r.bDate = reception.bDemanderDate;
    r.nReprise = nReprise;
    if (nReprise > 0 && !reception.strRecouvrement.empty())
        r.pRecouvrement = &reception.strRecouvrement;
    r.nTotal = reception.nTailleIndicative > 0 ? reception.nTailleIndicative : 0;
    const long long nGarde = nReprise + static_cast<long long>(r.pRecouvrement ? r.pRecouvrement->size() : 0);
    r.recommencer = [fichier, nGarde] {
        // Back to what was there before this transfer (what stdio still
        // holds written first, so that it cannot land after the cut).
        const bool bCoupe = std::fflush(fichier) == 0 &&
#if defined(_WIN32)
            _chsize_s(_fileno(fichier), nGarde) == 0;
#else
            ::ftruncate(fileno(fichier), static_cast<off_t>(nGarde)) == 0;
#endif
        return bCoupe && std::fseek(fichier, 0, SEEK_END) == 0;
    };
    const int n = Executer(r);
    reception.bRecouvrementFaux = r.bRecouvrementFaux;
    reception.nErrnoLocal = r.nCurl == CURLE_WRITE_ERROR ? r.nErrnoLocal : 0;
    if (n != 0) {
        if (r.nCurl == CURLE_FTP_COULDNT_USE_REST)
            m_bSansRest = true;
        return n;
    }
    if (r.pRecouvrement && r.nRecouvrementVu < r.pRecouvrement->size()) {
        m_strErreur = "the server's data does not match the partial file";
        reception.bRecouvrementFaux = true;
        return CURLE_WRITE_ERROR;
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
    if (reception.bDemanderDate) {
        curl_off_t nDate = -1;
        if (curl_easy_getinfo(m_pCurl, CURLINFO_FILETIME_T, &nDate) == CURLE_OK && nDate > 0)
            reception.nDateUtc = static_cast<long long>(nDate);
    }
    return 0;
}

int CSessionFtp::Taille(const std::string& nom, long long& nTaille)
{
    nTaille = -1;
    if (nom.empty() || !CheminDistant::CheminSur(nom)) {
        m_strErreur = "501 not a usable file name";
        return 501;
    }
    tRequete r;
    r.strUrl = Url(m_strRepertoire, "");
    r.bSansCorps = true;
    // Servers refuse SIZE in ASCII mode; "*": a refusal is read below.
    r.postQuote.Ajouter("TYPE I");
    r.postQuote.Ajouter("*SIZE " + nom);
    const int n = Executer(r);
    if (n != 0)
        return n;
    for (auto it = r.reponses.rbegin(); it != r.reponses.rend(); ++it) {
        if (it->compare(0, 4, "213 ") == 0) {
            char* fin = nullptr;
            const long long v = std::strtoll(it->c_str() + 4, &fin, 10);
            if (fin != it->c_str() + 4 && v >= 0) {
                nTaille = v;
                return 0;
            }
            break;
        }
        if (EstCodeEchec(*it)) {
            m_strErreur = *it;
            return std::atoi(it->c_str());
        }
    }
    m_strErreur = "the server does not tell the file's size";
    return 550;
}

int CSessionFtp::DateExacte(const std::string& nom, long long& nDateUtc)
{
    nDateUtc = 0;
    std::vector<std::string> reponses;
    const int n = Commande("*MDTM " + nom, &reponses);
    if (n != 0)
        return n;
    for (auto it = reponses.rbegin(); it != reponses.rend(); ++it) {
        int a = 0, mo = 0, j = 0, h = 0, mi = 0, se = 0;
        if (it->compare(0, 4, "213 ") == 0 && it->size() >= 18 &&
            std::sscanf(it->c_str() + 4, "%4d%2d%2d%2d%2d%2d", &a, &mo, &j, &h, &mi, &se) == 6) {
            nDateUtc = SecondesUtc(a, mo, j) + h * 3600LL + mi * 60LL + se;
            return nDateUtc > 0 && mo >= 1 && mo <= 12 && j >= 1 && j <= 31 ? 0 : 550;
        }
        if (EstCodeEchec(*it)) {
            m_strErreur = *it;
            return std::atoi(it->c_str());
        }
    }
    m_strErreur = "the server does not tell the file's time";
    return 550;
}

int CSessionFtp::Renommer(const std::string& de, const std::string& vers)
{
    return Renommer(de, vers, eAnnulation::Respectee);
}

int CSessionFtp::RenommerNettoyage(const std::string& de, const std::string& vers)
{
    return Renommer(de, vers, eAnnulation::Ignoree);
}

int CSessionFtp::Renommer(const std::string& de, const std::string& vers, eAnnulation annulation)
{
    if (!CheminDistant::CheminSur(de) || !CheminDistant::CheminSur(vers) || de.empty() || vers.empty()) {
        m_strErreur = "501 the name holds a character FTP commands cannot carry";
        return 501;
    }
    tRequete r;
    r.strUrl = Url(m_strRepertoire, "");
    r.bSansCorps = true;
    r.bMalgreAnnulation = annulation == eAnnulation::Ignoree;
    r.postQuote.Ajouter("RNFR " + de);
    r.postQuote.Ajouter("RNTO " + vers);
    return Executer(r);
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
    const int n = Commande("MLST", &reponses);
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
