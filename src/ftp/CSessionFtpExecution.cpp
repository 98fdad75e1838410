// How one request of CSessionFtp runs: its libcurl options and callbacks
// (sockets known to the cancel, progress, the idle check), the multi handle
// that wakes every 100 ms, the retry of a transfer that ended on a 1xx reply,
// and the failure texts.

#include "ftp/RequeteFtp.h"

#include "ftp/AnalyseListeFtp.h"
#include "ftp/RecepteurListeFtp.h"

#include <cerrno>
#include <cstring>

using Horloge = std::chrono::steady_clock;

namespace {

std::string Secondes(long ms) { return std::to_string((ms + 999) / 1000) + " s"; }

std::string TexteErrno(int n) { return n ? std::strerror(n) : "input/output error"; }

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

// "150 ..." or "125-...": a reply line of the given first digit.
bool EstLigneReponse(const std::string& ligne, char chiffre)
{
    return ligne.size() >= 4 && ligne[0] == chiffre && std::isdigit(static_cast<unsigned char>(ligne[1])) &&
           std::isdigit(static_cast<unsigned char>(ligne[2])) && (ligne[3] == ' ' || ligne[3] == '-');
}

// Whether a 1xx reply came, and whether a final reply (2xx, 4xx, 5xx) followed it.
void NoterPreliminaire(const std::vector<std::string>& reponses, bool& bCommencee, bool& bSansFin)
{
    size_t nPreliminaire = reponses.size();
    for (size_t i = 0; i < reponses.size(); ++i)
        if (EstLigneReponse(reponses[i], '1'))
            nPreliminaire = i;
    bCommencee = nPreliminaire < reponses.size();
    bSansFin = bCommencee;
    for (size_t i = nPreliminaire + 1; bSansFin && i < reponses.size(); ++i)
        if (EstLigneReponse(reponses[i], '2') || EstLigneReponse(reponses[i], '4') ||
            EstLigneReponse(reponses[i], '5'))
            bSansFin = false;
}

// A failure after which the control connection is gone or out of step with
// the server. A server that still answers (426 after a cut transfer) keeps it,
// but for 421, which closes it.
bool EstPerteSession(int nCurl, int n)
{
    if (n >= 400 && n <= 599)
        return n == 421;
    switch (nCurl) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_ABORTED_BY_CALLBACK:  // the idle check
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

} // namespace

size_t CSessionFtp::VerifierRecouvrement(tRequete& r, const char* data, size_t n)
{
    if (!r.pRecouvrement || r.nRecouvrementVu >= r.pRecouvrement->size())
        return 0;
    const size_t k = std::min(n, r.pRecouvrement->size() - r.nRecouvrementVu);
    if (std::memcmp(data, r.pRecouvrement->data() + r.nRecouvrementVu, k) != 0)
        r.bRecouvrementFaux = true;
    r.nRecouvrementVu += k;
    return k;
}

int CSessionFtp::Trace(CURL*, int type, char* data, size_t size, void* p)
{
    CSessionFtp* self = static_cast<CSessionFtp*>(p);
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT)
        return 0;
    PourChaqueLigne(std::string_view(data, size), [&](std::string_view vue) {
        if (vue.empty())
            return;
        std::string ligne(vue);
        if (type == CURLINFO_HEADER_OUT && CommencePar(ligne, "PASS"))
            ligne = "PASS ****";
        self->m_trace((type == CURLINFO_HEADER_OUT ? "> " : "< ") + ligne);
    });
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
    if (m_eModeDonnees != eModeDonnees::Passif)
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
    PreparerSockets();
    PreparerSurveillance(r);
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
    PreparerDonnees(r);
}

void CSessionFtp::PreparerSockets()
{
    CURL* c = m_pCurl;
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
}

void CSessionFtp::PreparerSurveillance(tRequete& r)
{
    CURL* c = m_pCurl;
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
}

void CSessionFtp::PreparerDonnees(tRequete& r)
{
    if (r.pFichierRecu || r.pFichierEnvoye) {
        // Larger buffers than the defaults (16 KiB / 64 KiB): fewer callbacks
        // and system calls on big traces and archives.
        curl_easy_setopt(m_pCurl, CURLOPT_BUFFERSIZE, 256L * 1024L);
        curl_easy_setopt(m_pCurl, CURLOPT_UPLOAD_BUFFERSIZE, 256L * 1024L);
    }
    if (r.pFichierRecu) {
        PreparerReception(r);
    } else if (r.pRecepteur) {
        curl_write_callback lignes = [](char* data, size_t taille, size_t n, void* p) -> size_t {
            tRequete& req = *static_cast<tRequete*>(p);
            RecevoirBlocListe(data, taille * n, req.strReste, *req.pRecepteur);
            return taille * n;
        };
        curl_easy_setopt(m_pCurl, CURLOPT_WRITEFUNCTION, lignes);
        curl_easy_setopt(m_pCurl, CURLOPT_WRITEDATA, &r);
    }
    if (r.pFichierEnvoye) PreparerEnvoi(r);
}

void CSessionFtp::PreparerReception(tRequete& r)
{
    CURL* c = m_pCurl;
    curl_write_callback ecrire = [](char* data, size_t taille, size_t n, void* p) -> size_t {
        tRequete& req = *static_cast<tRequete*>(p);
        const size_t nRecus = taille * n;
        const size_t nCompares = VerifierRecouvrement(req, data, nRecus);
        if (req.bRecouvrementFaux)
            return 0;
        const size_t ecrits = std::fwrite(data + nCompares, 1, nRecus - nCompares, req.pFichierRecu);
        if (ecrits != nRecus - nCompares) {
            req.nErrnoLocal = errno ? errno : EIO;
            return 0;
        }
        return nRecus;
    };
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, ecrire);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &r);
    // The size comes from the listing or the 150 reply, and is checked
    // once the file is here: no SIZE command before each RETR. A resumed
    // download needs libcurl's SIZE, without which it sends no REST.
    if (r.nReprise > 0)
        curl_easy_setopt(c, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(r.nReprise));
    else
        curl_easy_setopt(c, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    if (r.bDate)
        curl_easy_setopt(c, CURLOPT_FILETIME, 1L);
}

void CSessionFtp::PreparerEnvoi(tRequete& r)
{
    CURL* c = m_pCurl;
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
    r.nRecouvrementVu = 0;
    r.bRecouvrementFaux = false;
    r.nAnnonce = -1;
    r.bBloque = false;
    r.bDonneesVues = false;
    r.bCommencee = false;
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
    r.nCurl = static_cast<int>(code);
    bool bSansFin = false;
    NoterPreliminaire(r.reponses, r.bCommencee, bSansFin);
    if (r.pRecepteur && !r.strReste.empty()) {
        // A last line without its line feed counts only in a whole listing:
        // the piece a cut leaves could read as another, shorter name.
        if (code == CURLE_OK && !bSansFin)
            RecevoirFinListe(r.strReste, *r.pRecepteur);
        r.strReste.clear();
    }
    if (code == CURLE_OK) {
        if (r.bDonnees && bSansFin) {
            r.bFinPreliminaire = true;
            r.nCurl = CURLE_PARTIAL_FILE;
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
    m_bConnexionPerdue = false;
    if (!r.bMalgreAnnulation && m_annulation->EstAnnule()) {
        m_strErreur = "cancelled";
        return ANNULE;
    }
    int n = ExecuterUneFois(r);
    // A race of the server's (its final reply after the end libcurl saw) is
    // rarely lost twice; a server that always ends this way fails in bounded time.
    for (int nEssai = 1; r.bFinPreliminaire; ++nEssai) {
        OublierConnexion();
        if (nEssai > REPRISES_PRELIMINAIRE || !r.recommencer || !r.recommencer())
            break;
        n = ExecuterUneFois(r);
    }
    n = RepliPassif(r, n);
    if (n == 0) {
        m_strErreur.clear();
        return 0;
    }
    Expliquer(r, n);
    // Ending again and again without a final reply is the server's doing, not
    // a lost session.
    m_bConnexionPerdue = n != ANNULE && !r.bFinPreliminaire && EstPerteSession(r.nCurl, n);
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

void CSessionFtp::ExpliquerExpiration(const tRequete& r)
{
    const bool bAucuneReponse = r.reponses.empty();
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
    case CURLE_ABORTED_BY_CALLBACK:
        ExpliquerExpiration(r);
        return;
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
        if (r.bRecouvrementFaux) {
            m_strErreur = "the server's data does not match the partial file";
            return;
        }
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

