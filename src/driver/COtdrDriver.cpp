#include "driver/COtdrDriver.h"

#include <chrono>
#include <new>

#include "comm/CTcpIpCom.h"
#include "common/CEvenementManuel.h"
#include "driver/CTacheDriver.h"
#include "driver/GardeRequete.h"

namespace {

// The last copy of a facade to go ends the worker: quit message, wait without
// limit, then the object is deleted (Terminer does it).
void TerminerTache(CTacheDriver* pTache)
{
    pTache->Terminer(CWinThreadEx::INFINI);
}

} // namespace

COtdrDriver::COtdrDriver(CWnd* pParent) : m_pParent(pParent)
{
    // One event per facade, shared only with its copies and its worker: another
    // facade's completion must never end this one's wait.
    m_hEvenement = std::make_shared<CEvenementManuel>();

    CTacheDriver* pTache = new (std::nothrow) CTacheDriver(m_hEvenement);
    if (pTache == nullptr) return;
    if (!pTache->CreateThread()) {
        // No worker: every operation answers its "without worker" value.
        delete pTache;
        return;
    }
    m_pTache = std::shared_ptr<CTacheDriver>(pTache, TerminerTache);
    m_pTache->SetDriver(this);
    SetDelais(m_Delais);
}

COtdrDriver::COtdrDriver(const COtdrDriver& autre) = default;

COtdrDriver& COtdrDriver::operator=(const COtdrDriver& autre)
{
    if (this != &autre) {
        m_pParent = autre.m_pParent;
        m_pTache = autre.m_pTache;          // may end the worker this object shared before
        m_hEvenement = autre.m_hEvenement;
        m_strReserve1 = autre.m_strReserve1;
        m_strReserve2 = autre.m_strReserve2;
        m_eUniteDistance = autre.m_eUniteDistance;
        m_Parametres = autre.m_Parametres;
        m_Delais = autre.m_Delais;
    }
    return *this;
}

COtdrDriver::~COtdrDriver()
{
    // No stop request: ending the worker releases the connection.
    m_pTache.reset();
    m_hEvenement.reset();
}

bool COtdrDriver::Requete(unsigned nMessage, std::uintptr_t wParam, std::intptr_t lParam,
                          unsigned long nDelai)
{
    m_hEvenement->ResetEvent();
    const std::uint64_t nNumero = m_pTache->PosterMessage(nMessage, wParam, lParam);
    if (nNumero == 0) return false;   // the thread has ended: nobody would set the event

    const bool bSansLimite = tDelaisDriver::EstInfini(nDelai);
    const auto fin = std::chrono::steady_clock::now() + std::chrono::milliseconds(bSansLimite ? 0 : nDelai);
    for (;;) {
        // The event may have been set by a request handled before this one
        // (the stop queued after a start that ran out of time): only this
        // request's own completion ends the wait.
        if (m_pTache->GetDerniereRequeteTerminee() >= nNumero) return true;
        unsigned long nReste = CEvenementManuel::INFINI;
        if (!bSansLimite) {
            const auto reste = std::chrono::duration_cast<std::chrono::milliseconds>(fin - std::chrono::steady_clock::now());
            if (reste.count() <= 0) return false;
            nReste = static_cast<unsigned long>(reste.count());
        }
        if (!AttendreRequete(*m_hEvenement, nReste))
            return m_pTache->GetDerniereRequeteTerminee() >= nNumero;
        m_hEvenement->ResetEvent();
    }
}

int COtdrDriver::StartDriver()
{
    CGardeRequete garde;
    if (!garde.Acceptee() || !m_pTache) return 0;
    if (Requete(WM_STARTDRIVER, reinterpret_cast<std::uintptr_t>(&m_Parametres), 0, m_Delais.m_nDemarrage))
        return 1;
    // Out of time: queue a stop behind the start that is still running, and
    // wait for that stop to be done (so the host's next request starts clean).
    Requete(WM_STOPDRIVER, 0, 0, m_Delais.m_nArretApresEchec);
    return 0;
}

int COtdrDriver::StopDriver()
{
    CGardeRequete garde;
    if (garde.Acceptee() && m_pTache) Requete(WM_STOPDRIVER, 0, 0, m_Delais.m_nArret);
    return 1;
}

short COtdrDriver::RecupererFichierFTP(const wchar_t* nom1, const wchar_t* nom2)
{
    CGardeRequete garde;
    if (!garde.Acceptee() || !m_pTache) return -2;
    Requete(WM_RECUPERERFICHIERFTP, reinterpret_cast<std::uintptr_t>(nom1),
            reinterpret_cast<std::intptr_t>(nom2), m_Delais.m_nRecuperation);
    return GetLastError();
}

short COtdrDriver::RecupererFichierFTPBinary(const wchar_t* nom1, const wchar_t* nom2)
{
    CGardeRequete garde;
    if (!garde.Acceptee() || !m_pTache) return -2;
    Requete(WM_RECUPERERFICHIERFTPBINARY, reinterpret_cast<std::uintptr_t>(nom1),
            reinterpret_cast<std::intptr_t>(nom2), m_Delais.m_nRecuperation);
    return GetLastError();
}

short COtdrDriver::GetLastError()
{
    return m_pTache ? m_pTache->GetDerniereErreur() : static_cast<short>(-2);
}

int COtdrDriver::IsCommunicationEnCours()
{
    return m_pTache ? m_pTache->IsCommunicationEnCours() : 0;
}

int COtdrDriver::IsConnexionEnCours()
{
    return m_pTache ? m_pTache->IsConnexionEnCours() : 0;
}

CFTPDirect* COtdrDriver::GetFTPDirect()
{
    return m_pTache ? m_pTache->GetFTPDirect() : nullptr;
}

CString COtdrDriver::GetIdentificationAppareil()
{
    return m_pTache ? m_pTache->GetIdentification() : CString();
}

CString COtdrDriver::GetVersionAppareil()
{
    return m_pTache ? m_pTache->GetVersion() : CString();
}

CString COtdrDriver::GetRaisonEchecConnexion()
{
    return m_pTache ? m_pTache->GetRaisonEchec() : CString();
}

unsigned int COtdrDriver::GetPortConnexion()
{
    return m_pTache ? m_pTache->GetPortConnexion() : 0u;
}

int COtdrDriver::GetTypeAppareil() { return m_Parametres.m_nTypeAppareil; }
void COtdrDriver::SetTypeAppareil(int nType) { m_Parametres.m_nTypeAppareil = nType; }
int COtdrDriver::GetMoyenContact() { return m_Parametres.m_nMoyenContact; }
void COtdrDriver::SetMoyenContact(int nMoyen) { m_Parametres.m_nMoyenContact = nMoyen; }
CString COtdrDriver::GetAdresseContact() { return m_Parametres.m_strAdresseContact; }
void COtdrDriver::SetAdresseContact(const wchar_t* adresse) { m_Parametres.m_strAdresseContact = adresse; }
unsigned int COtdrDriver::GetNumPort() { return m_Parametres.m_nNumPort; }
void COtdrDriver::SetNumPort(unsigned int nPort) { m_Parametres.m_nNumPort = nPort; }
tUniteDistance COtdrDriver::GetUniteDistance() const { return m_eUniteDistance; }
void COtdrDriver::SetUniteDistance(tUniteDistance eUnite) { m_eUniteDistance = eUnite; }

void COtdrDriver::SetDelais(const tDelaisDriver& delais)
{
    m_Delais = delais;
    if (m_pTache) {
        m_pTache->SetDelaisCommunication(delais.m_nAttenteReponse, delais.m_nPauseCom, delais.m_nConnexion);
        m_pTache->SetLimiteDemarrage(delais.m_nDemarrage);
    }
}

unsigned long tDelaisDriver::DureeMaxDemarrage() const
{
    if (EstInfini(m_nConnexion) || EstInfini(m_nAttenteReponse)) return DELAI_INFINI;
    const tDelaisCom canal;
    auto valeur = [](unsigned long n, int nDefaut) { return n != 0 ? n : static_cast<unsigned long long>(nDefaut); };
    const unsigned long long connexion = valeur(m_nConnexion, canal.nConnexionMs);
    const unsigned long long reponse = valeur(m_nAttenteReponse, canal.nAttenteReponseMs);
    const unsigned long long pause = valeur(m_nPauseCom, canal.nPauseMs);
    // Two connection attempts. Then at most ten reply waits: "*REM", "*CLS"
    // refused ("*STB?", "*ESR?"), the password and "*CLS" again (two more),
    // the two checks of Initialiser and Identifier (four), and "*IDN?", whose
    // silence costs two waits. A pause may follow each reply; three settle
    // times (on connecting, after "*IDN?"), one second for the rest, and the
    // worker's margin (it ends its sequence up to 2 s before the limit).
    const unsigned long long total = 2 * connexion + 10 * reponse + 10 * pause + 3ull * tDelaisCom().nReposMs + 3000;
    return total >= DELAI_INFINI ? DELAI_INFINI - 1 : static_cast<unsigned long>(total);
}

tDelaisDriver COtdrDriver::GetDelais() const
{
    return m_Delais;
}

CString COtdrDriver::GetIdentificationTache() const
{
    return m_pTache ? m_pTache->GetIdentification() : CString();
}

CFTPDirect* COtdrDriver::GetFTPDirectTache() const
{
    return m_pTache ? m_pTache->GetFTPDirect() : nullptr;
}
