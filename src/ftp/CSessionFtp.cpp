#include "ftp/CSessionFtp.h"

#include "ftp/CheminDistant.h"

#include <curl/curl.h>

#include <cctype>
#include <chrono>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

void InitialiserCurl()
{
    // curl_global_init is not thread-safe on every build; do it once.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CListeCurl
{
    curl_slist* p = nullptr;
    ~CListeCurl() { curl_slist_free_all(p); }
    void Ajouter(const std::string& s) { p = curl_slist_append(p, s.c_str()); }
};

std::string Encoder(const std::string& composant)
{
    // Everything but unreserved characters is escaped, dots included, so that
    // "." and ".." reach the server as written instead of being resolved by
    // the URL parser.
    static const char hex[] = "0123456789ABCDEF";
    std::string r;
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

bool EstCommandePass(const std::string& ligne)
{
    if (ligne.size() < 4)
        return false;
    for (size_t i = 0; i < 4; ++i)
        if (std::toupper(static_cast<unsigned char>(ligne[i])) != "PASS"[i])
            return false;
    return ligne.size() == 4 || ligne[4] == ' ';
}

size_t EcrireFichier(char* data, size_t taille, size_t n, void* p)
{
    return std::fwrite(data, taille, n, static_cast<std::FILE*>(p)) * taille;
}

size_t EcrireTexte(char* data, size_t taille, size_t n, void* p)
{
    static_cast<std::string*>(p)->append(data, taille * n);
    return taille * n;
}

// curl's own low-speed check averages over several seconds; once data flows,
// this one ends a transfer as soon as nothing has moved for the stall limit.
struct tSurveillance
{
    long long nDernierTotal = 0;
    std::chrono::steady_clock::time_point dernierMouvement;
    std::chrono::milliseconds delaiBlocage{30000};
};

int SurveillerBlocage(void* p, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow)
{
    tSurveillance& r = *static_cast<tSurveillance*>(p);
    const long long total = static_cast<long long>(dlnow) + static_cast<long long>(ulnow);
    const auto maintenant = std::chrono::steady_clock::now();
    if (total != r.nDernierTotal || total == 0) {
        r.nDernierTotal = total;
        r.dernierMouvement = maintenant;
        return 0;
    }
    return maintenant - r.dernierMouvement >= r.delaiBlocage ? 1 : 0;
}

// A failure after which the control connection is gone or out of step with
// the server. A server that still answers (426 after a cut transfer) keeps it,
// but for 421, which closes it.
bool EstPerteSession(CURLcode code, long reponse)
{
    if (reponse >= 400 && reponse <= 599)
        return reponse == 421;
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_FTP_WEIRD_SERVER_REPLY:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_ABORTED_BY_CALLBACK:  // the stall check
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:  // the data stopped early: mostly a server or link going down
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_LOGIN_DENIED:
        return true;
    default:
        return false;
    }
}

// "150 ..." or "125-...": a reply line of the given first digit.
bool EstLigneReponse(const std::string& ligne, char chiffre)
{
    return ligne.size() >= 4 && ligne[0] == chiffre && std::isdigit(static_cast<unsigned char>(ligne[1])) &&
           std::isdigit(static_cast<unsigned char>(ligne[2])) && (ligne[3] == ' ' || ligne[3] == '-');
}

size_t LireFichier(char* data, size_t taille, size_t n, void* p)
{
    std::FILE* f = static_cast<std::FILE*>(p);
    const size_t lus = std::fread(data, taille, n, f);
    if (lus == 0 && std::ferror(f))
        return CURL_READFUNC_ABORT;
    return lus * taille;
}

} // namespace

struct CSessionFtp::tRequete
{
    std::string strUrl;
    bool bSansCorps = false;
    const char* pszCommandeListe = nullptr;
    CListeCurl postQuote;
    std::FILE* pFichierRecu = nullptr;
    std::string* pTexteRecu = nullptr;
    std::FILE* pFichierEnvoye = nullptr;
    long long nTailleEnvoyee = -1;
    std::vector<std::string> reponses;
    tSurveillance surveillance;
};

CSessionFtp::CSessionFtp(const std::string& strHote, int nPort) : m_strHote(strHote), m_nPort(nPort)
{
    InitialiserCurl();
    m_pCurl = curl_easy_init();
}

CSessionFtp::~CSessionFtp()
{
    if (m_pCurl)
        curl_easy_cleanup(m_pCurl);  // sends QUIT on the kept connection
}

std::string CSessionFtp::Url(const std::string& repertoire, const std::string& nom) const
{
    std::string url = "ftp://";
    if (m_strHote.find(':') != std::string::npos)
        url += "[" + m_strHote + "]";
    else
        url += m_strHote;
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

int CSessionFtp::Trace(CURL*, int type, char* data, size_t size, void* p)
{
    CSessionFtp* self = static_cast<CSessionFtp*>(p);
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT)
        return 0;
    std::string texte(data, size);
    size_t debut = 0;
    while (debut < texte.size()) {
        size_t fin = texte.find('\n', debut);
        if (fin == std::string::npos)
            fin = texte.size();
        std::string ligne = texte.substr(debut, fin - debut);
        debut = fin + 1;
        if (!ligne.empty() && ligne.back() == '\r')
            ligne.pop_back();
        if (ligne.empty())
            continue;
        if (type == CURLINFO_HEADER_OUT && EstCommandePass(ligne))
            ligne = "PASS ****";
        self->m_trace((type == CURLINFO_HEADER_OUT ? "> " : "< ") + ligne);
    }
    return 0;
}

size_t CSessionFtp::RecevoirEnTete(char* data, size_t taille, size_t n, void* p)
{
    std::string ligne(data, taille * n);
    while (!ligne.empty() && (ligne.back() == '\n' || ligne.back() == '\r'))
        ligne.pop_back();
    static_cast<tRequete*>(p)->reponses.push_back(std::move(ligne));
    return taille * n;
}

int CSessionFtp::Executer(tRequete& r)
{
    if (!m_pCurl)
        return CURLE_FAILED_INIT;
    CURL* c = m_pCurl;
    // Reset drops the previous request's options but keeps the live connection.
    curl_easy_reset(c);
    curl_easy_setopt(c, CURLOPT_URL, r.strUrl.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(c, CURLOPT_USERNAME, m_strUtilisateur.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, m_strMotDePasse.c_str());
    curl_easy_setopt(c, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, m_delais.nConnexionMs);
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, m_delais.nReponseS);
    curl_easy_setopt(c, CURLOPT_ACCEPTTIMEOUT_MS, m_delais.nReponseS * 1000L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, (m_delais.nBlocageMs + 999) / 1000);
    r.surveillance.delaiBlocage = std::chrono::milliseconds(m_delais.nBlocageMs);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &SurveillerBlocage);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &r.surveillance);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &CSessionFtp::RecevoirEnTete);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &r);
    if (m_trace) {
        curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, &CSessionFtp::Trace);
        curl_easy_setopt(c, CURLOPT_DEBUGDATA, this);
        curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    }
    if (r.bSansCorps)
        curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    if (r.postQuote.p)
        curl_easy_setopt(c, CURLOPT_POSTQUOTE, r.postQuote.p);
    if (r.pszCommandeListe)
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, r.pszCommandeListe);
    if (r.pFichierRecu || r.pFichierEnvoye) {
        // Larger buffers than the defaults (16 KiB / 64 KiB): fewer callbacks
        // and system calls on big traces and archives.
        curl_easy_setopt(c, CURLOPT_BUFFERSIZE, 256L * 1024L);
        curl_easy_setopt(c, CURLOPT_UPLOAD_BUFFERSIZE, 256L * 1024L);
    }
    if (r.pFichierRecu) {
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &EcrireFichier);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, r.pFichierRecu);
    } else if (r.pTexteRecu) {
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &EcrireTexte);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, r.pTexteRecu);
    }
    if (r.pFichierEnvoye) {
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, &LireFichier);
        curl_easy_setopt(c, CURLOPT_READDATA, r.pFichierEnvoye);
        curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(r.nTailleEnvoyee));
    }
    const CURLcode code = curl_easy_perform(c);
    m_bConnexionPerdue = false;
    if (code == CURLE_OK)
        return 0;
    long reponse = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reponse);
    m_bConnexionPerdue = EstPerteSession(code, reponse);
    if (reponse >= 400 && reponse <= 599)
        return static_cast<int>(reponse);
    return static_cast<int>(code);
}

bool CSessionFtp::Connecter(const std::string& utilisateur, const std::string& motDePasse)
{
    // A line break would end USER/PASS early and start a command of its own.
    for (const std::string* t : {&utilisateur, &motDePasse})
        if (t->find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
            return false;
    m_strUtilisateur = utilisateur;
    m_strMotDePasse = motDePasse;
    m_bSansMlsd = false;
    tRequete r;
    // No %2F: the login directory itself, which curl learns with PWD.
    r.strUrl = Url("/", "");
    r.strUrl.replace(r.strUrl.rfind("/%2F/"), 5, "/");
    r.bSansCorps = true;
    if (Executer(r) != 0)
        return false;
    const char* entree = nullptr;
    if (curl_easy_getinfo(m_pCurl, CURLINFO_FTP_ENTRY_PATH, &entree) == CURLE_OK && entree &&
        entree[0] == '/')
        m_strRepertoire = entree;
    else
        m_strRepertoire = "/";
    return true;
}

int CSessionFtp::ChangerRepertoire(const std::string& chemin)
{
    if (chemin.empty() || !CheminDistant::CheminSur(chemin))
        return 550;
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

int CSessionFtp::Commande(const std::string& commande, std::vector<std::string>* pReponses)
{
    if (!CheminDistant::CheminSur(commande))
        return 501;
    tRequete r;
    r.strUrl = Url(m_strRepertoire, "");
    r.bSansCorps = true;
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

int CSessionFtp::Telecharger(const std::string& nom, std::FILE* fichier)
{
    tRequete r;
    if (!UrlFichier(nom, r.strUrl))
        return 501;
    r.pFichierRecu = fichier;
    return Executer(r);
}

int CSessionFtp::Envoyer(std::FILE* fichier, long long taille, const std::string& nom)
{
    tRequete r;
    if (!UrlFichier(nom, r.strUrl))
        return 501;
    r.pFichierEnvoye = fichier;
    r.nTailleEnvoyee = taille;
    return Executer(r);
}

int CSessionFtp::Lister(std::string& donnees, bool& bMlsd)
{
    bool bSansFin = false;
    int n = ListerUneFois(donnees, bMlsd, bSansFin);
    if (n == 0 && bSansFin) {
        // libcurl can end an active-mode listing with success and no data when
        // the server's 150 comes before it connects back: the server's final
        // reply then stays unread and would answer the next command. That
        // connection goes, and the listing is asked once more.
        Reouvrir();
        n = ListerUneFois(donnees, bMlsd, bSansFin);
        if (n == 0 && bSansFin) {
            Reouvrir();
            donnees.clear();
            n = CURLE_PARTIAL_FILE;
        }
    }
    return n;
}

int CSessionFtp::ListerUneFois(std::string& donnees, bool& bMlsd, bool& bSansFin)
{
    if (!m_bSansMlsd) {
        donnees.clear();
        tRequete r;
        r.strUrl = Url(m_strRepertoire, "");
        r.pszCommandeListe = "MLSD";
        r.pTexteRecu = &donnees;
        const int n = Executer(r);
        NoterReponsesListe(r, bSansFin);
        // 500/502: command unknown or not implemented; 501/504 from servers
        // that know MLSD but not without arguments.
        if (n < 500 || n > 504) {
            bMlsd = true;
            return n;
        }
        m_bSansMlsd = true;
    }
    donnees.clear();
    tRequete r;
    r.strUrl = Url(m_strRepertoire, "");
    r.pTexteRecu = &donnees;
    bMlsd = false;
    const int n = Executer(r);
    NoterReponsesListe(r, bSansFin);
    return n;
}

void CSessionFtp::NoterReponsesListe(const tRequete& r, bool& bSansFin)
{
    size_t nPreliminaire = r.reponses.size();
    for (size_t i = 0; i < r.reponses.size(); ++i)
        if (EstLigneReponse(r.reponses[i], '1'))
            nPreliminaire = i;
    m_bListeCommencee = nPreliminaire < r.reponses.size();
    bSansFin = m_bListeCommencee;
    for (size_t i = nPreliminaire + 1; i < r.reponses.size(); ++i)
        if (EstLigneReponse(r.reponses[i], '2') || EstLigneReponse(r.reponses[i], '4') ||
            EstLigneReponse(r.reponses[i], '5'))
            bSansFin = false;
}

void CSessionFtp::Reouvrir()
{
    if (m_pCurl)
        curl_easy_cleanup(m_pCurl);
    m_pCurl = curl_easy_init();
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
    // The facts come on their own line, after a blank, inside the 250 reply.
    for (const std::string& ligne : reponses)
        if (!ligne.empty() && ligne[0] == ' ') {
            faits = ligne.substr(1);
            return 0;
        }
    return 550;
}

bool CSessionFtp::EstExpiration(int n)
{
    return n == CURLE_OPERATION_TIMEDOUT || n == CURLE_FTP_ACCEPT_TIMEOUT || n == CURLE_ABORTED_BY_CALLBACK;
}
