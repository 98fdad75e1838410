#include "ftp/CSessionFtp.h"

#include "ftp/CheminDistant.h"

#include <curl/curl.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstring>
#include <ctime>

#if defined(_WIN32)
#include <winsock2.h>
#include <io.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
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

struct CListeCurl
{
    curl_slist* p = nullptr;
    CListeCurl() = default;
    CListeCurl(const CListeCurl&) = delete;
    CListeCurl& operator=(const CListeCurl&) = delete;
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

std::string Secondes(long ms) { return std::to_string((ms + 999) / 1000) + " s"; }

std::string TexteErrno(int n) { return n ? std::strerror(n) : "input/output error"; }

int FermerSocket(std::intptr_t s)
{
#if defined(_WIN32)
    return ::closesocket(static_cast<SOCKET>(s));
#else
    return ::close(static_cast<int>(s));
#endif
}

void Couper(std::intptr_t s)
{
#if defined(_WIN32)
    ::shutdown(static_cast<SOCKET>(s), SD_BOTH);
#else
    ::shutdown(static_cast<int>(s), SHUT_RDWR);
#endif
}

int PortLocal(std::intptr_t s)
{
    sockaddr_storage a{};
    socklen_t n = sizeof a;
#if defined(_WIN32)
    if (::getsockname(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&a), &n) != 0)
#else
    if (::getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&a), &n) != 0)
#endif
        return -1;
    if (a.ss_family == AF_INET)
        return ntohs(reinterpret_cast<sockaddr_in*>(&a)->sin_port);
    if (a.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<sockaddr_in6*>(&a)->sin6_port);
    return -1;
}

// "(1234 bytes)" in a 150 reply: the size the server is about to send.
long long TailleAnnoncee(const std::string& ligne)
{
    const size_t fin = ligne.find(" bytes)");
    if (fin == std::string::npos)
        return -1;
    size_t debut = fin;
    while (debut > 0 && std::isdigit(static_cast<unsigned char>(ligne[debut - 1])))
        --debut;
    if (debut == fin || debut == 0 || ligne[debut - 1] != '(')
        return -1;
    return std::strtoll(ligne.c_str() + debut, nullptr, 10);
}

// curl_easy_perform through a multi handle of our own, woken at least every
// 100 ms: the progress callback (cancel, progress, idle check) then runs that
// often even while no byte arrives. The multi handle keeps the connection
// from one request to the next.
CURLcode ExecuterMulti(CURLM* multi, CURL* c)
{
    if (curl_multi_add_handle(multi, c) != CURLM_OK)
        return CURLE_FAILED_INIT;
    CURLcode resultat = CURLE_OK;
    int nActifs = 1;
    while (nActifs > 0) {
        if (curl_multi_perform(multi, &nActifs) != CURLM_OK) {
            resultat = CURLE_OUT_OF_MEMORY;
            break;
        }
        if (nActifs > 0 && curl_multi_poll(multi, nullptr, 0, 100, nullptr) != CURLM_OK) {
            resultat = CURLE_OUT_OF_MEMORY;
            break;
        }
    }
    int nMessages = 0;
    while (CURLMsg* m = curl_multi_info_read(multi, &nMessages))
        if (m->msg == CURLMSG_DONE && m->easy_handle == c)
            resultat = m->data.result;
    curl_multi_remove_handle(multi, c);
    return resultat;
}

} // namespace

// ---------------------------------------------------------------- cancel

void CAnnulationFtp::Annuler()
{
    m_bAnnule = true;
    std::lock_guard<std::mutex> verrou(m_mutex);
    for (std::intptr_t s : m_sockets)
        Couper(s);
    if (m_nDonnees >= 0 && PortLocal(m_nDonnees) == m_nPortDonnees)
        Couper(m_nDonnees);
}

void CAnnulationFtp::Ajouter(std::intptr_t s)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_sockets.push_back(s);
    // Created after a cancel (the cancel holds): no wait may start on it.
    if (m_bAnnule && !m_bNettoyage)
        Couper(s);
}

void CAnnulationFtp::Retirer(std::intptr_t s)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    for (size_t i = 0; i < m_sockets.size(); ++i)
        if (m_sockets[i] == s) {
            m_sockets.erase(m_sockets.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    FermerSocket(s);
}

void CAnnulationFtp::DefinirDonnees(std::intptr_t s)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_nDonnees = s;
    m_nPortDonnees = PortLocal(s);
    if (m_bAnnule && !m_bNettoyage)
        Couper(s);
}

void CAnnulationFtp::OublierDonnees()
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_nDonnees = -1;
    m_nPortDonnees = -1;
}

// ---------------------------------------------------------------- requests

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
    std::function<bool()> recommencer;  ///< rewinds what the transfer wrote or read

    std::vector<std::string> reponses;
    int nCurl = 0;
    int nErrnoLocal = 0;
    bool bFinPreliminaire = false;  ///< ended on a 1xx reply: nothing was transferred
    bool bBloque = false;           ///< ended by the idle check below
    bool bDonneesVues = false;
    long long nDernierTotal = 0;
    Horloge::time_point derniereActivite;
    Horloge::time_point derniereProgression;
    char szErreur[CURL_ERROR_SIZE] = {};
    CSessionFtp* pSession = nullptr;
};

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
        if (type == CURLINFO_HEADER_OUT && CommencePar(ligne, "PASS"))
            ligne = "PASS ****";
        self->m_trace((type == CURLINFO_HEADER_OUT ? "> " : "< ") + ligne);
    }
    return 0;
}

size_t CSessionFtp::RecevoirEnTete(char* data, size_t taille, size_t n, void* p)
{
    tRequete& r = *static_cast<tRequete*>(p);
    std::string ligne(data, taille * n);
    while (!ligne.empty() && (ligne.back() == '\n' || ligne.back() == '\r'))
        ligne.pop_back();
    r.derniereActivite = Horloge::now();
    if (r.pFichierRecu && (ligne.compare(0, 4, "150 ") == 0 || ligne.compare(0, 4, "125 ") == 0)) {
        r.nAnnonce = TailleAnnoncee(ligne);
        if (r.nAnnonce >= 0)
            r.nTotal = r.nAnnonce;
    }
    r.reponses.push_back(std::move(ligne));
    return taille * n;
}

void CSessionFtp::Preparer(tRequete& r)
{
    CURL* c = m_pCurl;
    // Reset drops the previous request's options but keeps the live connection.
    curl_easy_reset(c);
    const bool bCourt = r.bMalgreAnnulation;
    const long nConnexionMs = bCourt ? std::min(m_delais.nConnexionMs, 5000L) : m_delais.nConnexionMs;
    const long nReponseMs = bCourt ? std::min(m_delais.nReponseMs, 5000L) : m_delais.nReponseMs;
    curl_easy_setopt(c, CURLOPT_URL, r.strUrl.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(c, CURLOPT_USERNAME, m_strUtilisateur.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, m_strMotDePasse.c_str());
    curl_easy_setopt(c, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, r.szErreur);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, nConnexionMs);
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, (nReponseMs + 999) / 1000);
    curl_easy_setopt(c, CURLOPT_ACCEPTTIMEOUT_MS, nReponseMs);
    // A data connection that never carries a byte: libcurl's own check (it
    // averages over a few seconds); the callback below is the finer one.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, (m_delais.nBlocageMs + 999) / 1000);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &CSessionFtp::RecevoirEnTete);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &r);

    // Every socket is known to the cancel, which shuts them down to end any
    // wait at once.
    curl_opensocket_callback ouvrir = [](void* p, curlsocktype, curl_sockaddr* a) -> curl_socket_t {
        const curl_socket_t s = ::socket(a->family, a->socktype, a->protocol);
        if (s != CURL_SOCKET_BAD)
            static_cast<CAnnulationFtp*>(p)->Ajouter(static_cast<std::intptr_t>(s));
        return s;
    };
    curl_closesocket_callback fermer = [](void* p, curl_socket_t s) -> int {
        static_cast<CAnnulationFtp*>(p)->Retirer(static_cast<std::intptr_t>(s));
        return 0;
    };
    curl_sockopt_callback options = [](void* p, curl_socket_t s, curlsocktype type) -> int {
        if (type == CURLSOCKTYPE_ACCEPT)
            static_cast<CAnnulationFtp*>(p)->DefinirDonnees(static_cast<std::intptr_t>(s));
        return CURL_SOCKOPT_OK;
    };
    curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, ouvrir);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, m_annulation.get());
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, fermer);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, m_annulation.get());
    curl_easy_setopt(c, CURLOPT_SOCKOPTFUNCTION, options);
    curl_easy_setopt(c, CURLOPT_SOCKOPTDATA, m_annulation.get());

    // Cancel, progress, and the idle check: nothing moved and no reply came for
    // the limit (stall of the data; the final reply that libcurl would
    // otherwise wait 60 s for).
    curl_xferinfo_callback surveiller = [](void* p, curl_off_t, curl_off_t dl, curl_off_t, curl_off_t ul) -> int {
        tRequete& r = *static_cast<tRequete*>(p);
        CSessionFtp& s = *r.pSession;
        if (!r.bMalgreAnnulation && s.m_annulation->EstAnnule())
            return 1;
        const auto maintenant = Horloge::now();
        const long long total = static_cast<long long>(dl) + static_cast<long long>(ul);
        if (total != r.nDernierTotal) {
            r.nDernierTotal = total;
            r.derniereActivite = maintenant;
            r.bDonneesVues = true;
        }
        const long nLimite = r.bDonneesVues ? s.m_delais.nBlocageMs
                                            : std::max(s.m_delais.nReponseMs, s.m_delais.nConnexionMs) + 1000;
        if (maintenant - r.derniereActivite >= std::chrono::milliseconds(nLimite)) {
            r.bBloque = true;
            return 1;
        }
        if (r.bProgression && s.m_pProgression && *s.m_pProgression &&
            maintenant - r.derniereProgression >= std::chrono::milliseconds(100)) {
            r.derniereProgression = maintenant;
            if (!(*s.m_pProgression)(static_cast<uint64_t>(total), static_cast<uint64_t>(r.nTotal))) {
                s.m_annulation->Annuler();
                return 1;
            }
        }
        return 0;
    };
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, surveiller);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &r);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);

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
        curl_write_callback ecrire = [](char* data, size_t taille, size_t n, void* p) -> size_t {
            tRequete& req = *static_cast<tRequete*>(p);
            const size_t ecrits = std::fwrite(data, 1, taille * n, req.pFichierRecu);
            if (ecrits != taille * n)
                req.nErrnoLocal = errno ? errno : EIO;
            return ecrits;
        };
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, ecrire);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &r);
        // The size comes from the listing or the 150 reply, and is checked
        // once the file is here: no SIZE command before each RETR.
        curl_easy_setopt(c, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
        if (r.bDate)
            curl_easy_setopt(c, CURLOPT_FILETIME, 1L);
    } else if (r.pRecepteur) {
        curl_write_callback lignes = [](char* data, size_t taille, size_t n, void* p) -> size_t {
            tRequete& req = *static_cast<tRequete*>(p);
            const size_t nTotal = taille * n;
            const char* debut = data;
            const char* fin = data + nTotal;
            while (debut < fin) {
                const char* nl = static_cast<const char*>(std::memchr(debut, '\n', static_cast<size_t>(fin - debut)));
                if (!nl) {
                    req.strReste.append(debut, fin);
                    break;
                }
                const char* ligne = debut;
                size_t nLongueur = static_cast<size_t>(nl - debut);
                if (!req.strReste.empty()) {
                    req.strReste.append(debut, nLongueur);
                    ligne = req.strReste.data();
                    nLongueur = req.strReste.size();
                }
                if (nLongueur > 0 && ligne[nLongueur - 1] == '\r')
                    --nLongueur;
                req.pRecepteur->Ligne(ligne, nLongueur);
                req.strReste.clear();
                debut = nl + 1;
            }
            return nTotal;
        };
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, lignes);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &r);
    }
    if (r.pFichierEnvoye) {
        curl_read_callback lire = [](char* data, size_t taille, size_t n, void* p) -> size_t {
            tRequete& req = *static_cast<tRequete*>(p);
            const size_t lus = std::fread(data, 1, taille * n, req.pFichierEnvoye);
            if (lus == 0 && std::ferror(req.pFichierEnvoye)) {
                req.nErrnoLocal = errno ? errno : EIO;
                return CURL_READFUNC_ABORT;
            }
            return lus;
        };
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, lire);
        curl_easy_setopt(c, CURLOPT_READDATA, &r);
        curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(r.nTailleEnvoyee));
    }
}

int CSessionFtp::ExecuterUneFois(tRequete& r)
{
    if (!m_pCurl || !m_pMulti) {
        m_strErreur = "cannot start the FTP layer";
        return CURLE_FAILED_INIT;
    }
    r.pSession = this;
    r.reponses.clear();
    r.strReste.clear();
    r.nErrnoLocal = 0;
    r.nAnnonce = -1;
    r.bBloque = false;
    r.bDonneesVues = false;
    r.bFinPreliminaire = false;
    r.nDernierTotal = 0;
    r.derniereActivite = Horloge::now();
    r.derniereProgression = r.derniereActivite;
    r.szErreur[0] = '\0';
    Preparer(r);
    m_annulation->SetNettoyage(r.bMalgreAnnulation);
    const CURLcode code = ExecuterMulti(m_pMulti, m_pCurl);
    m_annulation->SetNettoyage(false);
    m_annulation->OublierDonnees();
    if (r.pRecepteur && !r.strReste.empty()) {
        // A last line without its line feed.
        r.pRecepteur->Ligne(r.strReste.data(), r.strReste.size());
        r.strReste.clear();
    }
    r.nCurl = static_cast<int>(code);
    if (code == CURLE_OK) {
        if (r.bDonnees && !r.reponses.empty() && r.reponses.back().compare(0, 1, "1") == 0) {
            r.bFinPreliminaire = true;
            return CURLE_PARTIAL_FILE;
        }
        return 0;
    }
    if (!r.bMalgreAnnulation && m_annulation->EstAnnule())
        return ANNULE;
    // libcurl reports a 421 ("service not available, closing") as a time-out.
    if (code == CURLE_OPERATION_TIMEDOUT && !r.bBloque && !r.reponses.empty() &&
        r.reponses.back().compare(0, 4, "421 ") == 0) {
        r.nCurl = CURLE_WEIRD_SERVER_REPLY;
        return 421;
    }
    long reponse = 0;
    curl_easy_getinfo(m_pCurl, CURLINFO_RESPONSE_CODE, &reponse);
    if (reponse >= 400 && reponse <= 599 && code != CURLE_OPERATION_TIMEDOUT && !r.bBloque)
        return static_cast<int>(reponse);
    return static_cast<int>(code);
}

int CSessionFtp::Executer(tRequete& r)
{
    if (!r.bMalgreAnnulation && m_annulation->EstAnnule()) {
        m_strErreur = "cancelled";
        return ANNULE;
    }
    int n = ExecuterUneFois(r);
    if (r.bFinPreliminaire) {
        OublierConnexion();
        if (r.recommencer && r.recommencer())
            n = ExecuterUneFois(r);
        if (r.bFinPreliminaire)
            OublierConnexion();
    }
    if (n == 0) {
        m_strErreur.clear();
        return 0;
    }
    Expliquer(r, n);
    // What a cancel, a time limit or a cut leaves of the connection is not
    // worth keeping: the next request logs in anew.
    if (n == ANNULE || r.nCurl == CURLE_OPERATION_TIMEDOUT || r.nCurl == CURLE_ABORTED_BY_CALLBACK ||
        r.nCurl == CURLE_RECV_ERROR || r.nCurl == CURLE_SEND_ERROR || r.nCurl == CURLE_GOT_NOTHING)
        OublierConnexion();
    return n;
}

std::string CSessionFtp::TexteCurl(int n)
{
    return curl_easy_strerror(static_cast<CURLcode>(n));
}

void CSessionFtp::Expliquer(const tRequete& r, int n)
{
    if (n == ANNULE) {
        m_strErreur = "cancelled";
        return;
    }
    if (n >= 100 && n <= 599 && !r.bFinPreliminaire) {
        for (auto it = r.reponses.rbegin(); it != r.reponses.rend(); ++it)
            if (it->compare(0, 3, std::to_string(n)) == 0) {
                m_strErreur = *it;
                return;
            }
        m_strErreur = "the server answered " + std::to_string(n);
        return;
    }
    const bool bAucuneReponse = r.reponses.empty();
    if (r.nErrnoLocal != 0 && r.pFichierEnvoye) {
        m_strErreur = "cannot read the local file: " + TexteErrno(r.nErrnoLocal);
        return;
    }
    switch (r.nCurl) {
    case CURLE_COULDNT_RESOLVE_HOST:
        m_strErreur = "cannot resolve the host name '" + m_strHote + "'";
        return;
    case CURLE_COULDNT_CONNECT: {
        long nErrno = 0;
        curl_easy_getinfo(m_pCurl, CURLINFO_OS_ERRNO, &nErrno);
        m_strErreur = "cannot connect to the server: " +
                      (nErrno ? std::string(std::strerror(static_cast<int>(nErrno))) : std::string(r.szErreur));
        return;
    }
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_ABORTED_BY_CALLBACK: {
        curl_off_t nConnecte = 0;
        curl_easy_getinfo(m_pCurl, CURLINFO_CONNECT_TIME_T, &nConnecte);
        if (r.bDonneesVues)
            m_strErreur = "the transfer stalled: nothing moved for " + Secondes(m_delais.nBlocageMs);
        else if (bAucuneReponse && nConnecte == 0 && r.bConnexion)
            m_strErreur = "no answer to the connection within " + Secondes(m_delais.nConnexionMs);
        else if (bAucuneReponse && r.bConnexion)
            m_strErreur = "no greeting from the server within " + Secondes(m_delais.nReponseMs);
        else
            m_strErreur = "timed out waiting for the server's reply (" + Secondes(m_delais.nReponseMs) + ")";
        return;
    }
    case CURLE_FTP_ACCEPT_TIMEOUT:
        m_strErreur = "the server did not open the data connection within " + Secondes(m_delais.nReponseMs);
        return;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
        if (r.bConnexion && (bAucuneReponse || r.reponses.back().compare(0, 4, "220-") == 0))
            m_strErreur = "the server closed the connection during its greeting";
        else
            m_strErreur = "the server closed the connection";
        return;
    case CURLE_WRITE_ERROR:
        m_strErreur = "cannot write the local file: " + TexteErrno(r.nErrnoLocal);
        return;
    case CURLE_READ_ERROR:
        m_strErreur = "cannot read the local file: " + TexteErrno(r.nErrnoLocal);
        return;
    case CURLE_PARTIAL_FILE:
        if (r.bFinPreliminaire) {
            m_strErreur = "the server did not complete the transfer (" + r.reponses.back() + ")";
            return;
        }
        break;
    case CURLE_WEIRD_SERVER_REPLY:
        if (!bAucuneReponse) {
            m_strErreur = "unexpected reply from the server: " + r.reponses.back();
            return;
        }
        break;
    default:
        break;
    }
    m_strErreur = r.szErreur[0] ? std::string(r.szErreur) : TexteCurl(r.nCurl);
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

int CSessionFtp::Commande(const std::string& commande, bool bMalgreAnnulation)
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
                             bool bDemanderDate, long long& nDateUtc)
{
    nDateUtc = 0;
    tRequete r;
    if (!UrlFichier(nom, r.strUrl)) {
        m_strErreur = "501 not a usable file name";
        return 501;
    }
    r.pFichierRecu = fichier;
    r.bDonnees = true;
    r.bProgression = true;
    r.bDate = bDemanderDate;
    r.nTotal = nTailleIndicative > 0 ? nTailleIndicative : 0;
    r.recommencer = [fichier] {
        std::rewind(fichier);
#if defined(_WIN32)
        return _chsize_s(_fileno(fichier), 0) == 0;
#else
        return ::ftruncate(fileno(fichier), 0) == 0;
#endif
    };
    const int n = Executer(r);
    if (n != 0)
        return n;
    curl_off_t nRecus = 0;
    curl_easy_getinfo(m_pCurl, CURLINFO_SIZE_DOWNLOAD_T, &nRecus);
    if (r.nAnnonce >= 0 && nRecus != r.nAnnonce) {
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
        const std::time_t t = static_cast<std::time_t>(nDateUtc);
        std::tm tmUtc{};
#if defined(_WIN32)
        gmtime_s(&tmUtc, &t);
#else
        gmtime_r(&t, &tmUtc);
#endif
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
    return Executer(r);
}
