#include "driver/CTacheDriver.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "comm/CAppareilBaseTcpIp.h"
#include "common/Conversions.h"
#include "driver/CWTSetLocale.h"
#include "profile/ClesProfil.h"
#include "profile/Profil.h"
#include "ftp/CFTPDirect.h"
#include "ui/Attente.h"
#include "ui/Ressources.h"

namespace {

// Why an instrument that answered "*IDN?" is not identified: its reply, quoted
// (cut when long; the CLI and the hosts show control characters escaped).
std::string RaisonSansModele(const CString& strReponse)
{
    constexpr size_t LONGUEUR_CITEE = 80;
    if (strReponse.IsEmpty()) return "the reply to \"*IDN?\" is empty";
    const std::wstring& texte = strReponse;
    std::string cite = WideToUtf8(texte.substr(0, LONGUEUR_CITEE));
    if (texte.size() > LONGUEUR_CITEE) cite += "...";
    return "the reply to \"*IDN?\" is not maker,model,serial,version: \"" + cite + "\"";
}

// A limit of the facade for the channel: 0 keeps the channel's own, "infinite"
// and what does not fit an int mean no limit.
void AppliquerDelai(unsigned long nMs, int& nCanal)
{
    if (nMs == 0) return;
    nCanal = nMs >= 0xFFFFFFFFul || nMs > static_cast<unsigned long>(INT_MAX) ? tDelaisCom::SANS_LIMITE
                                                                              : static_cast<int>(nMs);
}

// A port key of the profile: its value when present and a valid port, else the default.
int LirePort(IProfil* profil, const wchar_t* cle, int defaut)
{
    if (profil == nullptr) return defaut;
    int n = profil->GetProfileInt(ClesProfil::SECTION_DRIVER, cle, 0);
    return (n > 0 && n <= 65535) ? n : defaut;
}

// The wait window is one for the process, the workers may be many (one per
// facade): it stays while any worker's start or stop runs, with the text of
// the latest one still running. Otherwise one facade's start ending would take
// the window away from another that is still connecting.
class CAttentesTaches
{
public:
    void Afficher(const void* pTache, const wchar_t* texte, unsigned idAnimation)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Oublier(pTache);
        m_demandes.push_back({pTache, texte, idAnimation});
        ::AfficherAttente(texte, idAnimation);
    }

    void Retirer(const void* pTache, unsigned idAnimation)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Oublier(pTache);
        if (m_demandes.empty())
            ::AfficherAttente(nullptr, idAnimation);
        else
            ::AfficherAttente(m_demandes.back().texte.c_str(), m_demandes.back().idAnimation);
    }

private:
    struct tDemande
    {
        const void* pTache;
        std::wstring texte;
        unsigned idAnimation;
    };

    void Oublier(const void* pTache)
    {
        for (auto it = m_demandes.begin(); it != m_demandes.end(); ++it)
            if (it->pTache == pTache) {
                m_demandes.erase(it);
                return;
            }
    }

    std::mutex m_mutex;
    std::vector<tDemande> m_demandes;
};

CAttentesTaches& AttentesTaches()
{
    // Never destroyed: an abandoned worker may still remove its window while
    // the process ends.
    static auto* pAttentes = new CAttentesTaches;
    return *pAttentes;
}

} // namespace

CTacheDriver::CTacheDriver(std::shared_ptr<CEvenementManuel> evenement)
    : m_hEvenement(std::move(evenement))
{
}

CTacheDriver::~CTacheDriver() = default;

int CTacheDriver::InitInstance()
{
    // The completion event is handed over at construction: nothing to open.
    return 1;
}

int CTacheDriver::ExitInstance()
{
    // Released without Fermer: an instrument still in remote control gets "*LOC".
    Liberer(eLiberation::RendreLaMain);
    AfficherAttente(nullptr, ID_ANIMATION_AUCUNE);
    // Nothing will be handled any more: no wait may go on for it.
    m_nDerniereRequeteTerminee = UINT64_MAX;
    if (m_hEvenement) m_hEvenement->SetEvent();
    return CWinThreadEx::ExitInstance();
}

void CTacheDriver::SignalerFin()
{
    if (m_nNumeroEnCours > m_nDerniereRequeteTerminee) m_nDerniereRequeteTerminee = m_nNumeroEnCours;
    m_hEvenement->SetEvent();
}

void CTacheDriver::TraiterMessage(const tMessageTache& msg)
{
    const std::uint64_t nPrecedent = m_nNumeroEnCours;
    m_nNumeroEnCours = msg.nNumero;
    switch (msg.nMessage) {
    case WM_STARTDRIVER: OnStartDriver(msg.wParam, msg.lParam); break;
    case WM_STOPDRIVER: OnStopDriver(msg.wParam, msg.lParam); break;
    case WM_RECUPERERFICHIERFTP: OnRecupererFichierFTP(msg.wParam, msg.lParam); break;
    case WM_RECUPERERFICHIERFTPBINARY: OnRecupererFichierFTPBinary(msg.wParam, msg.lParam); break;
    default: break;
    }
    m_nNumeroEnCours = nPrecedent;
}

int CTacheDriver::IsConnexionEnCours() const
{
    std::lock_guard<std::mutex> lock(m_mutexEtat);
    return m_pFTPDirect ? 1 : 0;
}

CFTPDirect* CTacheDriver::GetFTPDirect() const
{
    std::lock_guard<std::mutex> lock(m_mutexEtat);
    return m_pFTPDirect.get();
}

CString CTacheDriver::GetIdentification() const
{
    std::lock_guard<std::mutex> lock(m_mutexEtat);
    return m_pAppareil ? m_pAppareil->GetModele() : CString();
}

CString CTacheDriver::GetVersion() const
{
    std::lock_guard<std::mutex> lock(m_mutexEtat);
    return m_pAppareil ? m_pAppareil->GetVersion() : CString();
}

CString CTacheDriver::GetRaisonEchec() const
{
    std::lock_guard<std::mutex> lock(m_mutexEtat);
    return m_strRaisonEchec;
}

unsigned CTacheDriver::GetPortConnexion() const
{
    std::lock_guard<std::mutex> lock(m_mutexEtat);
    return m_nPortConnexion;
}

void CTacheDriver::AfficherAttente(const wchar_t* texte, unsigned idAnimation)
{
    if (texte == nullptr) {
        if (m_bAttenteAffichee) AttentesTaches().Retirer(this, idAnimation);
        m_bAttenteAffichee = false;
        return;
    }
    // A new text replaces the indication shown, if any: only one at a time.
    AttentesTaches().Afficher(this, texte, idAnimation);
    m_bAttenteAffichee = true;
}

void CTacheDriver::SetDelaisCommunication(unsigned long nAttenteReponseMs, unsigned long nPauseMs,
                                          unsigned long nConnexionMs)
{
    m_nAttenteReponseMs = nAttenteReponseMs;
    m_nPauseMs = nPauseMs;
    m_nConnexionMs = nConnexionMs;
}

void CTacheDriver::Liberer(eLiberation eMode)
{
    std::unique_ptr<CAppareil> appareil;
    std::unique_ptr<CFTPDirect> ftp;
    {
        std::lock_guard<std::mutex> lock(m_mutexEtat);
        appareil = std::move(m_pAppareil);
        ftp = std::move(m_pFTPDirect);
    }
    if (appareil) {
        if (eMode == eLiberation::Fermer) appareil->Fermer();
        appareil.reset();
    }
    ftp.reset();
}

void CTacheDriver::OnStartDriver(std::uintptr_t, std::intptr_t)
{
    // The instrument's numbers use a dot whatever the host's locale.
    const auto debut = std::chrono::steady_clock::now();
    CWTSetLocale locale;
    locale.Appliquer();
    AfficherAttente(Ressources::ChargerChaine(Ressources::IDS_CONNEXION), ID_ANIMATION_CONNEXION);

    // A start while connected replaces the connection: the previous instrument
    // and FTP client are released first, as a stop would, instead of leaking.
    Liberer(eLiberation::Fermer);

    {
        std::lock_guard<std::mutex> lock(m_mutexEtat);
        m_strRaisonEchec.clear();
        m_nPortConnexion = 0;
    }
    std::string strRaison;

    std::shared_ptr<IProfil> profil = ProfilCourant();
    const int nContact = profil ? profil->GetProfileInt(ClesProfil::SECTION_DRIVER, ClesProfil::CONTACT, 0) : 0;

    std::unique_ptr<CAppareilBaseTcpIp> appareil;
    int nPortFtp = PORT_FTP_DEFAUT;
    if (nContact == 0) {
        // TCP/IP is the only contact means there is.
        CString strAdresse = profil
            ? profil->GetProfileString(ClesProfil::SECTION_DRIVER, ClesProfil::ADRESSE_IP, L"")
            : CString();
        const int nPort = LirePort(profil.get(), ClesProfil::PORT, PORT_COMMANDE_DEFAUT);
        nPortFtp = LirePort(profil.get(), ClesProfil::FTP_PORT, PORT_FTP_DEFAUT);

        appareil.reset(new (std::nothrow) CAppareilBaseTcpIp);
        if (appareil) {
            tDelaisCom delais = appareil->GetDelais();
            AppliquerDelai(m_nAttenteReponseMs, delais.nAttenteReponseMs);
            AppliquerDelai(m_nPauseMs, delais.nPauseMs);
            AppliquerDelai(m_nConnexionMs, delais.nConnexionMs);
            appareil->SetDelais(delais);
            appareil->SetAdresse(strAdresse);
            appareil->SetPort(static_cast<unsigned>(nPort));
        } else {
            strRaison = "out of memory";
        }
    } else {
        strRaison = "contact means " + std::to_string(nContact) + " is not available (0, TCP/IP, is)";
    }

    if (appareil) {
        // Whether the TCP link holds decides what is kept; the reason says why
        // the instrument is not (or not fully) there.
        strRaison = Sequence(*appareil, debut);
        {
            std::lock_guard<std::mutex> lock(m_mutexEtat);
            m_nPortConnexion = appareil->GetPort();
        }

        if (appareil->IsConnecte()) {
            // Not logged in here: the file transfer entry points do that.
            std::unique_ptr<CFTPDirect> ftp(new (std::nothrow) CFTPDirect(appareil->GetAdresse(), nPortFtp));
            if (ftp && profil && profil->GetProfileInt(ClesProfil::SECTION_DRIVER, ClesProfil::FTP_PASSIF, 0) != 0)
                ftp->SetModeDonnees(CFTPDirect::tModeDonnees::Passif);
            std::lock_guard<std::mutex> lock(m_mutexEtat);
            m_pAppareil = std::move(appareil);
            m_pFTPDirect = std::move(ftp);
        } else {
            appareil->Deconnecter();
            appareil.reset();
        }
    }

    {
        std::lock_guard<std::mutex> lock(m_mutexEtat);
        m_strRaisonEchec = CString(Utf8ToWide(strRaison));
    }
    AfficherAttente(nullptr, ID_ANIMATION_AUCUNE);
    SignalerFin();
    locale.Restaurer();
}

std::string CTacheDriver::Sequence(CAppareilBaseTcpIp& appareil, std::chrono::steady_clock::time_point debut)
{
    // Ends before the facade stops waiting, so that the cause is told.
    const unsigned long nLimite = m_nDemarrageMs;
    if (nLimite < 0xFFFFFFFFul)
        appareil.SetEcheance(debut + std::chrono::milliseconds(nLimite - std::min(nLimite / 10, 2000ul)));
    short r = appareil.Ouvrir();
    if (r == 0) r = appareil.Initialiser();
    if (r == 0) r = appareil.Identifier();
    appareil.SupprimerEcheance();
    if (r != 0) return appareil.GetRaisonEchec();
    if (appareil.GetModele().IsEmpty()) return RaisonSansModele(appareil.GetReponseIdentification());
    return {};
}

void CTacheDriver::OnStopDriver(std::uintptr_t, std::intptr_t)
{
    AfficherAttente(Ressources::ChargerChaine(Ressources::IDS_DECONNEXION), ID_ANIMATION_DECONNEXION);
    Liberer(eLiberation::Fermer);
    AfficherAttente(nullptr, ID_ANIMATION_AUCUNE);
    SignalerFin();
}

void CTacheDriver::OnRecupererFichierFTP(std::uintptr_t, std::intptr_t)
{
    // Files move through the file transfer dialog; this request is not served.
    m_nDerniereErreur = -2;
    SignalerFin();
}

void CTacheDriver::OnRecupererFichierFTPBinary(std::uintptr_t, std::intptr_t)
{
    m_nDerniereErreur = -2;
    SignalerFin();
}
