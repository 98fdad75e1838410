#include "ftp/CFTPDirect.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#include <sys/utime.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "common/Conversions.h"
#include "ftp/AnalyseListeFtp.h"
#include "ftp/CheminDistant.h"
#include "ftp/CSessionFtp.h"
#include "ftp/FichiersLocaux.h"
#include "ftp/RecepteurListeFtp.h"

namespace fs = std::filesystem;

namespace {

// Remote names travel as the UTF-8 bytes of their text.
std::string Fil(const CString& texte) { return WideToUtf8(texte); }

short Statut(int n) { return static_cast<short>(static_cast<unsigned>(n) & 0xFFFFu); }

long Millisecondes(std::chrono::milliseconds d) { return static_cast<long>(d.count() < 1 ? 1 : d.count()); }

// Host names, IPv4 and IPv6 texts (with a zone): nothing that could change the
// URL the address goes into ("user@host", "host/path", "host:port").
bool AdresseValide(const std::string& h)
{
    if (h.empty() || h.size() > 253)
        return false;
    if (h.find(':') != std::string::npos) {
        const size_t zone = h.find('%');
        if (zone != std::string::npos) {
            if (zone + 1 == h.size())
                return false;
            for (size_t i = zone + 1; i < h.size(); ++i)
                if (!std::isalnum(static_cast<unsigned char>(h[i])) && h[i] != '_' && h[i] != '-' && h[i] != '.')
                    return false;
        }
        in6_addr a;
        return ::inet_pton(AF_INET6, h.substr(0, zone).c_str(), &a) == 1;
    }
    if (h[0] == '-' || h[0] == '.')
        return false;
    for (char c : h)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_')
            return false;
    return true;
}

// How a listing ended, from the failure number of the directory change or of
// the listing, and whether the server had begun to send (its 1xx reply).
CFTPDirect::tEtatListe EtatListe(const CSessionFtp& session, int n, bool bCommencee)
{
    using tEtat = CFTPDirect::tEtatListe;
    if (n == 0)
        return tEtat::Complete;
    if (n == CSessionFtp::ANNULE)
        return tEtat::Annulee;
    if (CSessionFtp::EstExpiration(n))
        return tEtat::Expiree;
    if (n >= 400 && n <= 599 && !bCommencee && !session.ConnexionPerdue())
        return tEtat::Refusee;
    return tEtat::Coupee;
}

} // namespace

CFTPDirect::CFTPDirect(const CString& strAdresse, int nPort)
    : m_annulation(std::make_shared<CAnnulationFtp>()), m_pCache(std::make_unique<tCacheListeFtp>()),
      m_strAdresse(strAdresse), m_nPort(nPort)
{
}

CFTPDirect::~CFTPDirect() { FtpDeconnexion(); }

short CFTPDirect::Echec(int nCode)
{
    m_strErreur = nCode == CSessionFtp::ANNULE ? std::string("cancelled") : m_pSession->DerniereErreur();
    return Statut(nCode);
}

int CFTPDirect::EchecBool(const std::string& strRaison)
{
    m_strErreur = strRaison;
    return 0;
}

// Connected, and not cancelled: else the reason is set.
bool CFTPDirect::Utilisable()
{
    if (!m_pSession) {
        m_strErreur = "not connected to the FTP server";
        return false;
    }
    if (m_annulation->EstAnnule()) {
        m_strErreur = "cancelled";
        return false;
    }
    return true;
}

void CFTPDirect::OublierListe()
{
    m_pCache->strRepertoire.clear();
    m_pCache->cles.clear();
}

int CFTPDirect::FtpConnexion(CString strUtilisateur, CString strMotDePasse)
{
    FtpDeconnexion();
    try {
        CString hote = m_strAdresse;
        hote.Trim();
        const std::string strHote = Fil(hote);
        if (!AdresseValide(strHote)) {
            m_eEchecConnexion = tEchecConnexion::Injoignable;
            return EchecBool("'" + strHote + "' is not a host name or an IP address");
        }
        auto session = std::make_unique<CSessionFtp>(strHote, m_nPort, m_annulation);
        AppliquerDelais(*session);
        session->SetTrace(m_trace);
        session->SetProgression(&m_progression);
        session->SetModeDonnees(static_cast<CSessionFtp::eModeDonnees>(static_cast<int>(m_eModeDonnees)));
        session->SetRepliPassif([this](const std::string& raison) {
            m_eModeDonnees = tModeDonnees::Passif;   // the next logins too
            if (m_repliPassif) m_repliPassif(raison);
        });
        // USER and PASS go out in the ANSI code page, as typed.
        const CSessionFtp::eEchecConnexion e =
            session->Connecter(WideToAnsi(strUtilisateur), WideToAnsi(strMotDePasse));
        if (e != CSessionFtp::eEchecConnexion::Aucun) {
            m_eEchecConnexion = e;
            return EchecBool(session->DerniereErreur());
        }
        m_eEchecConnexion = tEchecConnexion::Aucun;
        m_strErreur.clear();
        m_pSession = std::move(session);
        return 1;
    } catch (const std::exception& ex) {
        m_eEchecConnexion = tEchecConnexion::Injoignable;
        return EchecBool(ex.what());
    }
}

int CFTPDirect::FtpDeconnexion()
{
    const int bConnecte = m_pSession != nullptr;
    m_pSession.reset();
    OublierListe();
    return bConnecte;
}

int CFTPDirect::EstConnecte() const { return m_pSession != nullptr; }

short CFTPDirect::GetDir(CString* pChemin, CListeFichiersFtp& liste, int nFallback)
{
    return Lister(pChemin, liste, nFallback, nullptr);
}

short CFTPDirect::Lister(CString* pChemin, CListeFichiersFtp& liste, int nFallback,
                         std::vector<std::string>* pIdentites)
{
    CRecepteurListeFtp recepteur(liste, *m_pCache, pIdentites);
    return Lister(pChemin, nFallback, recepteur);
}

short CFTPDirect::GetDir(CString* pChemin, const FonctionEntreeListe& fonction, int nFallback)
{
    CRecepteurListeFtp recepteur(fonction);
    return Lister(pChemin, nFallback, recepteur);
}

short CFTPDirect::GetDirBrut(CString* pChemin, const FonctionEntreeBrute& fonction, int nFallback)
{
    CRecepteurListeFtp recepteur(fonction);
    return Lister(pChemin, nFallback, recepteur);
}

short CFTPDirect::Lister(CString* pChemin, int nFallback, CRecepteurListeFtp& r)
{
    m_etatListe = tEtatListe::Refusee;
    m_nomsEnDoublon.clear();
    m_nomsInutilisables.clear();
    m_lignesIllisibles.clear();
    if (!m_pSession) {
        m_strErreur = "not connected to the FTP server";
        return 0;
    }
    if (!Utilisable()) {
        m_etatListe = tEtatListe::Annulee;
        return ECHEC_ANNULE;
    }
    try {
        int n = m_pSession->ChangerRepertoire(pChemin ? Fil(*pChemin) : std::string());
        if (n == CSessionFtp::ANNULE) {
            m_etatListe = tEtatListe::Annulee;
            return Echec(n);
        }
        if (n != 0) {
            if (nFallback != 1) {
                m_etatListe = EtatListe(*m_pSession, n, false);
                Echec(n);
                return 3;
            }
            if (pChemin)
                *pChemin = L"/";
            n = m_pSession->ChangerRepertoire("/");
        }
        const short resultat = Statut(n);

        OublierListe();
        // The list is emptied when the listing starts; entries read before a
        // failure are kept (whole lines only).
        const int nListe = m_pSession->Lister(r);
        m_etatListe = EtatListe(*m_pSession, nListe, m_pSession->ListeCommencee());
        r.Terminer(m_nomsEnDoublon);
        m_nomsInutilisables.swap(r.Inutilisables());
        m_lignesIllisibles.swap(r.Illisibles());
        if (nListe == 0) {
            m_pCache->strRepertoire = m_pCache->cles.empty() ? std::string() : m_pSession->RepertoireCourant();
            std::sort(m_pCache->cles.begin(), m_pCache->cles.end());
            m_strErreur.clear();
        } else {
            OublierListe();
            Echec(nListe);
        }
        return resultat;
    } catch (const std::bad_alloc&) {
        m_etatListe = tEtatListe::Coupee;
        m_strErreur = "out of memory";
        return Statut(12);
    }
}

std::string CFTPDirect::IdentiteRepertoireCourant()
{
    std::string faits;
    tEntreeListeFtp e;
    if (!m_pSession || m_pSession->FaitsRepertoire(faits) != 0 || !AnalyserLigneMlsd(faits, e))
        return std::string();
    return std::string(e.strUnique);
}

int CFTPDirect::SessionPerdue() const
{
    return m_pSession && !m_annulation->EstAnnule() && m_pSession->ConnexionPerdue();
}

short CFTPDirect::MakeDir(CString strNom, CString strRepertoire)
{
    if (!m_pSession)
        return 0;
    if (!Utilisable())
        return ECHEC_ANNULE;
    if (m_pSession->ChangerRepertoire(Fil(strRepertoire)) == CSessionFtp::ANNULE)
        return Echec(CSessionFtp::ANNULE);
    return MakeDir(strNom);
}

short CFTPDirect::MakeDir(CString strNom)
{
    if (!m_pSession)
        return 0;
    if (!Utilisable())
        return ECHEC_ANNULE;
    return CommandeSurNom("MKD ", strNom);
}

short CFTPDirect::RemDir(CString strNom, CString strRepertoire)
{
    if (!m_pSession)
        return 0;
    if (!Utilisable())
        return ECHEC_ANNULE;
    if (m_pSession->ChangerRepertoire(Fil(strRepertoire)) == CSessionFtp::ANNULE)
        return Echec(CSessionFtp::ANNULE);
    return CommandeSurNom("RMD ", strNom);
}

// MKD, RMD or DELE of a name (or path) in the current directory.
short CFTPDirect::CommandeSurNom(const char* pszVerbe, const CString& strNom)
{
    const std::string nom = Fil(strNom);
    if (nom.empty()) {
        m_strErreur = "501 no name given";
        return 501;
    }
    OublierListe();
    const int n = m_pSession->Commande(pszVerbe + nom);
    if (n != 0)
        return Echec(n);
    m_strErreur.clear();
    return 0;
}

int CFTPDirect::GetDateExacte(CString strNom, int64_t& nDateUtc)
{
    nDateUtc = 0;
    if (!Utilisable())
        return 0;
    long long n = 0;
    const int nEchec = m_pSession->DateExacte(WideToUtf8(strNom), n);
    if (nEchec != 0)
        return Echec(nEchec), 0;
    nDateUtc = n;
    return 1;
}

int CFTPDirect::DelFile(CString strNom)
{
    if (!Utilisable())
        return 0;
    return CommandeSurNom("DELE ", strNom) == 0;
}

int CFTPDirect::Rename(CString strAncien, CString strNouveau)
{
    if (!Utilisable())
        return 0;
    OublierListe();
    const int n = m_pSession->Renommer(Fil(strAncien), Fil(strNouveau));
    if (n != 0)
        return Echec(n), 0;
    m_strErreur.clear();
    return 1;
}

short CFTPDirect::SetCurrentDirectoryW(CString strChemin, int nCreer)
{
    if (!m_pSession)
        return 0;
    if (!Utilisable())
        return ECHEC_ANNULE;
    const std::string chemin = Fil(strChemin);
    const int nEssai = m_pSession->ChangerRepertoire(chemin);
    if (nEssai == 0) {
        m_strErreur.clear();
        return 0;
    }
    if (nEssai == CSessionFtp::ANNULE)
        return Echec(nEssai);
    Echec(nEssai);
    if (nCreer == 0)
        return 3;
    // Walk the components from where the connection stands; a leading "/"
    // does not lead back to the root.
    for (const std::string& composant : CheminDistant::Composants(chemin)) {
        const int nCwd = m_pSession->ChangerRepertoire(composant);
        if (nCwd == 0)
            continue;
        if (nCwd == CSessionFtp::ANNULE)
            return Echec(nCwd);
        OublierListe();
        const int n = m_pSession->Commande("MKD " + composant);
        if (n != 0)
            return Echec(n);
        m_pSession->ChangerRepertoire(composant);
    }
    m_strErreur.clear();
    return 0;
}

int CFTPDirect::GetCurrentDirectoryW(CString& strChemin) const
{
    if (!m_pSession)
        return 0;
    strChemin = DepuisFil(m_pSession->RepertoireCourant());
    return 1;
}

CString CFTPDirect::GetFileName(CString strTexte)
{
    const int n = strTexte.Find(L'*');
    return n < 0 ? CString() : strTexte.Left(n);
}

int CFTPDirect::IsSpecialDir(CString strNom) { return CheminDistant::EstSpecial(strNom); }

int CFTPDirect::IsDirectory(const tInfosFichierFtp& infos) { return infos.m_strAttributs.Find(L'd') >= 0; }

void CFTPDirect::SetDelaiConnexion(std::chrono::milliseconds delai) { m_delaiConnexion = delai; if (m_pSession) AppliquerDelais(*m_pSession); }
void CFTPDirect::SetDelaiReponse(std::chrono::milliseconds delai) { m_delaiReponse = delai; if (m_pSession) AppliquerDelais(*m_pSession); }
void CFTPDirect::SetDelaiBlocage(std::chrono::milliseconds delai) { m_delaiBlocage = delai; if (m_pSession) AppliquerDelais(*m_pSession); }

void CFTPDirect::AppliquerDelais(CSessionFtp& session) const
{
    CSessionFtp::tDelais delais;
    delais.nConnexionMs = Millisecondes(m_delaiConnexion);
    delais.nReponseMs = std::max(1000L, Millisecondes(m_delaiReponse));
    delais.nBlocageMs = Millisecondes(m_delaiBlocage);
    session.SetDelais(delais);
}

void CFTPDirect::SetTrace(FonctionTrace fonction)
{
    m_trace = std::move(fonction);
    if (m_pSession)
        m_pSession->SetTrace(m_trace);
}

void CFTPDirect::SetProgression(FonctionProgression fonction) { m_progression = std::move(fonction); }

void CFTPDirect::Annuler() { m_annulation->Annuler(); }

void CFTPDirect::RearmerAnnulation() { m_annulation->Rearmer(); }

bool CFTPDirect::EstAnnule() const { return m_annulation->EstAnnule(); }

CString CFTPDirect::GetDerniereErreur() const { return DepuisFil(m_strErreur); }
