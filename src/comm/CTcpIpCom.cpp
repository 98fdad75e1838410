#include "comm/CTcpIpCom.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>
#include <thread>
#include <vector>

#include "comm/AdresseIp.h"
#include "comm/CArchiveSocket.h"
#include "comm/CSocketDebug.h"
#include "common/Conversions.h"

namespace {

// A register value as the instrument sends it: a decimal number, leading white
// space allowed, anything unreadable counting as 0. Only the low byte matters.
int LireRegistre(const CString& reponse)
{
    return static_cast<int>(std::wcstol(reponse.c_str(), nullptr, 10)) & 0xFF;
}

// A register value as a sound instrument sends it: digits, white space around.
bool EstNombre(const CString& reponse)
{
    const std::wstring& t = reponse;
    const size_t debut = t.find_first_not_of(L" \t"), fin = t.find_last_not_of(L" \t\r");
    if (debut == std::wstring::npos || fin == std::wstring::npos) return false;
    size_t i = debut + ((t[debut] == L'+' || t[debut] == L'-') ? 1 : 0);
    if (i > fin) return false;
    for (; i <= fin; ++i)
        if (t[i] < L'0' || t[i] > L'9') return false;
    return true;
}

constexpr int NB_MAX_LIGNES_INTRUSES = 3;      // skipped before a register reply, at most
constexpr int BIT_RESUME_EVENEMENTS = 0x20; // STB bit 5: event status summary
constexpr int MASQUE_ERREURS_ESR = 0x3C;    // ESR bits 2-5: query, device, execution, command error

// "30 s", "2.5 s", "0.3 s".
std::string Secondes(int nMs)
{
    char t[32];
    std::snprintf(t, sizeof t, "%g s", nMs / 1000.0);
    return t;
}

std::string Limite(int nMs) { return nMs < 0 ? "without limit" : "within " + Secondes(nMs); }

// The error bits of a standard event status register, named.
std::string ErreursEsr(int esr)
{
    static const struct { int bit; const char* nom; } bits[] = {
        {0x04, "query error"}, {0x08, "device-dependent error"}, {0x10, "execution error"}, {0x20, "command error"}};
    std::string s;
    for (const auto& b : bits)
        if (esr & b.bit) s += (s.empty() ? "" : ", ") + std::string(b.nom);
    return s;
}

// The password command's arguments are a secret: traces and messages show
// "*PASS ****" whatever the channel's trace does with it.
std::string Masquer(const std::string& ligne)
{
    std::string debut = ligne.substr(0, 5);
    for (char& c : debut) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (debut == "*PASS" && ligne.size() > 5) return "*PASS ****";
    return ligne;
}

std::string Cite(const std::string& commande) { return "\"" + commande + "\""; }

// A reply as quoted in a message: its first line, cut when long, in UTF-8.
std::string Citation(const CString& reponse)
{
    std::wstring texte = reponse;
    texte = texte.substr(0, texte.find_first_of(L"\r\n"));
    const bool bCoupe = texte.size() > CTcpIpCom::LONGUEUR_CITATION;
    return WideToUtf8(texte.substr(0, CTcpIpCom::LONGUEUR_CITATION)) + (bCoupe ? "..." : "");
}

} // namespace

CTcpIpCom::CTcpIpCom() = default;

CTcpIpCom::~CTcpIpCom()
{
    // An instrument left in remote control would lock its front panel out.
    if (m_nEtat != 0) {
        try {
            CTcpIpCom::EnvoyerCommande(CString(L"*LOC"), '\n', 0);
        } catch (...) {
            // Nothing may leave a destructor; the link is dropped below anyway.
        }
        CTcpIpCom::Deconnecter();
        Pause(m_delais.nPauseMs);
    }
    m_pArchive.reset();
    m_pFichierSocket.reset();
    m_pSocket.reset();
}

bool CTcpIpCom::TraceActive() const { return m_fnTrace || TraceComActive(); }

void CTcpIpCom::Tracer(eSensTrace sens, const std::string& texte) const
{
    if (m_fnTrace)
        m_fnTrace(sens, texte);
    else
        TracerCom(sens, texte);
}

void CTcpIpCom::Pause(int nMs) const
{
    if (nMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(nMs));
}

void CTcpIpCom::NoterEchec(eCauseEchec eCause, const std::string& strRaison)
{
    m_eCauseEchec = eCause;
    m_strRaisonEchec = strRaison;
    if (TraceActive()) Tracer(eSensTrace::Evenement, strRaison);
}

void CTcpIpCom::SetAdresse(CString strAdresse) { m_strAdresse = NormaliserAdresseIp(strAdresse.c_str()); }

int CTcpIpCom::IsConnecte() const
{
    return m_bConnecte != 0 && m_pArchive && m_pFichierSocket && m_pSocket;
}

short CTcpIpCom::Connecter()
{
    try {
        if (!m_pSocket) m_pSocket = std::make_unique<CSocketDebug>();
        // The sending objects refer to the previous connection.
        m_pArchive.reset();
        m_pFichierSocket.reset();
        m_bFluxRompu = false;
        m_pSocket->SetLimiteEnvoi(m_delais.nAttenteReponseMs);

        const std::string hote = WideToUtf8(m_strAdresse);
        // What one attempt's failure was, in a few words, and its cause.
        eCauseEchec ePremiere = eCauseEchec::Aucune;
        auto tenter = [&](std::string& strEchec) {
            if (m_pSocket->Connecter(hote, m_nPort, LimiteBornee(m_delais.nConnexionMs))) return true;
            eCauseEchec e = eCauseEchec::ConnexionImpossible;
            std::string quoi = "connection failed (" + m_pSocket->GetDerniereErreur() + ")";
            switch (m_pSocket->GetEchecConnexion()) {
            case CSocketDebug::eEchec::Resolution:
                e = eCauseEchec::AdresseInconnue;
                quoi = "cannot resolve '" + hote + "' (" + m_pSocket->GetDerniereErreur() + ")";
                break;
            case CSocketDebug::eEchec::Refus:
                e = eCauseEchec::ConnexionRefusee;
                quoi = "connection refused";
                break;
            case CSocketDebug::eEchec::Delai:
                e = eCauseEchec::DelaiConnexion;
                quoi = "no answer to the connection " + Limite(m_delais.nConnexionMs);
                break;
            default: break;
            }
            if (ePremiere == eCauseEchec::Aucune) ePremiere = e;
            strEchec = e == eCauseEchec::AdresseInconnue ? quoi : "port " + std::to_string(m_nPort) + ": " + quoi;
            if (TraceActive())
                Tracer(eSensTrace::Evenement, "connect to " + hote + ":" + std::to_string(m_nPort) + " failed (" +
                                                  m_pSocket->GetDerniereErreur() + ")");
            return false;
        };
        std::string strPremier, strSecond;
        bool bConnecte = tenter(strPremier);
        if (!bConnecte && m_bPortSecours) {
            m_nPort = PORT_SECOURS;
            bConnecte = tenter(strSecond);
        }
        if (!bConnecte) {
            m_bConnecte = 0;
            // A name that does not resolve fails both attempts alike: say it once.
            const std::string raison = !m_bPortSecours || (ePremiere == eCauseEchec::AdresseInconnue && strSecond == strPremier)
                                           ? strPremier
                                           : strPremier + "; " + strSecond;
            m_eCauseEchec = ePremiere;
            m_strRaisonEchec = raison;
            return COM_ECHEC_SUPPORT;
        }
        m_bConnecte = 1;
        m_pFichierSocket = std::make_unique<CFichierSocket>(*m_pSocket);
        m_pArchive = std::make_unique<CArchiveSocket>(*m_pFichierSocket);
        if (TraceActive())
            Tracer(eSensTrace::Evenement, "connected to " + hote + ":" + std::to_string(m_nPort));
        return COM_OK;
    } catch (const std::exception&) {
        m_bConnecte = 0;
        NoterEchec(eCauseEchec::ConnexionImpossible, "connection failed (out of memory)");
        return COM_ECHEC_SUPPORT;
    }
}

short CTcpIpCom::Deconnecter()
{
    if (m_pArchive) {
        if (!m_pArchive->Fermer()) m_pArchive->Abandonner();
        m_pArchive.reset();
    }
    if (m_pFichierSocket) {
        m_pFichierSocket->Fermer();
        m_pFichierSocket.reset();
    }
    if (!m_pSocket) return COM_OK;
    const short r = m_pSocket->FermerEnvoi() ? COM_OK : COM_ECHEC_SUPPORT;
    m_pSocket.reset();
    if (TraceActive()) Tracer(eSensTrace::Evenement, "disconnected");
    return r;
}

short CTcpIpCom::Ouvrir()
{
    short r = Connecter();
    if (r != COM_OK) return r;
    // A line some instruments send on connecting must not be read as the
    // reply to the first question.
    r = ViderApresRepos();
    if (r != COM_OK) return r;
    r = EnvoyerCommande(CString(L"*REM"), '\n', 0);
    if (r != COM_OK) return r;
    r = EnvoyerCommande(CString(L"*CLS"), 0, 1);
    if (r != COM_OK) {
        // The first failure is the cause; the fallback's own failure (often
        // only a consequence, such as a broken pipe) comes after it.
        const eCauseEchec ePremiere = m_eCauseEchec;
        const std::string strPremiere = m_strRaisonEchec;
        // Instruments that keep remote control behind a password accept it now.
        EnvoyerCommande(CString(L"*PASS \"FPX\" \"LANTERNS\""), '\n', 0);
        r = EnvoyerCommande(CString(L"*CLS"), 0, 1);
        if (r != COM_OK) {
            m_eCauseEchec = ePremiere;
            m_strRaisonEchec = strPremiere + "; then, after the password command: " + m_strRaisonEchec;
            return r;
        }
    }
    m_nEtat = 1;
    return COM_OK;
}

void CTcpIpCom::Fermer()
{
    Deconnecter();
    m_pSocket.reset();
    m_bConnecte = 0;
    m_pFichierSocket.reset();
    m_pArchive.reset();
    m_nEtat = 0;
}

short CTcpIpCom::EnvoyerCommande(const wchar_t* szCommande, char cTerminateur, int bVerifier)
{
    return EnvoyerCommande(CString(szCommande), cTerminateur, bVerifier);
}

short CTcpIpCom::EnvoyerCommande(const CString& strCommande, char cTerminateur, int bVerifier)
{
    // The line ends at the first NUL, as a C string would.
    const std::wstring texte(strCommande.c_str());
    if (texte.empty()) return COM_OK;
    if (m_bConnecte == 0 || !m_pArchive) return COM_ECHEC_SUPPORT;

    std::string ligne = WideToAnsi(texte);
    m_strDernierEnvoi = Masquer(ligne);
    if (TraceActive()) Tracer(eSensTrace::Envoi, m_strDernierEnvoi);
    ligne.push_back(cTerminateur != 0 ? cTerminateur : '\n');
    if (!m_pArchive->Ecrire(ligne.data(), ligne.size()) || !m_pArchive->Vider()) {
        NoterEchec(eCauseEchec::EnvoiImpossible, "cannot send " + Cite(m_strDernierEnvoi) + " (" +
                                                     m_pSocket->GetDerniereErreur() + ")");
        return COM_ECHEC_SUPPORT;
    }
    if (bVerifier != 0) return VerifierEtat(m_strDernierEnvoi);
    return COM_OK;
}

short CTcpIpCom::InterrogerRegistre(CString& strReponse, const wchar_t* szRequete)
{
    short r = Interroger(strReponse, CString(szRequete));
    // A register is a number. Anything else, with a line right behind it, is
    // a line nobody asked for that came first: the reply is the next line,
    // and reading it keeps the later replies in step with their questions.
    for (int i = 0; i < NB_MAX_LIGNES_INTRUSES && r == COM_OK && !EstNombre(strReponse) && ArriveePendantRepos(); ++i) {
        if (TraceActive()) Tracer(eSensTrace::Evenement, "not a register value, taken for a line nobody asked for");
        r = LireReponse(strReponse);
    }
    return r;
}

short CTcpIpCom::VerifierEtat(std::string strCommande)
{
    CString reponse;
    short r = InterrogerRegistre(reponse, L"*STB?");
    if (r != COM_OK) return r;
    if ((LireRegistre(reponse) & BIT_RESUME_EVENEMENTS) == 0) return COM_OK;
    r = InterrogerRegistre(reponse, L"*ESR?");
    if (r != COM_OK) return r;
    const int esr = LireRegistre(reponse);
    if ((esr & MASQUE_ERREURS_ESR) == 0) return COM_OK;
    NoterEchec(eCauseEchec::ErreurSignalee, "the instrument reported an error after " + Cite(strCommande) +
                                                " (event status register " + std::to_string(esr) + ": " +
                                                ErreursEsr(esr) + ")");
    return COM_ECHEC;
}

short CTcpIpCom::Interroger(CString& strReponse, const wchar_t* szRequete)
{
    return Interroger(strReponse, CString(szRequete));
}

short CTcpIpCom::Interroger(CString& strReponse, const CString& strRequete)
{
    short r = ViderReception();
    if (r != COM_OK) return r;
    r = EnvoyerCommande(strRequete, '\n', 0);
    // The instrument needs a moment after sending a long reply before it takes
    // the next query.
    if (m_bReponseLongue != 0) Pause(m_delais.nPauseMs);
    if (r != COM_OK) return r;
    r = LireReponse(strReponse);
    m_bReponseLongue = strReponse.GetLength() > LONGUEUR_REPONSE_LONGUE ? 1 : 0;
    if (r != COM_OK) return r;
    if (!strRequete.IsEmpty() && strRequete[0] == L'*') return COM_OK;
    return VerifierEtat(m_strDernierEnvoi);
}

unsigned CTcpIpCom::AttendreDonnees()
{
    m_bFluxRompu = false;
    if (m_bConnecte == 0 || !m_pSocket) {
        m_bFluxRompu = true;
        return 0;
    }
    int n = m_pSocket->OctetsEnAttente();
    if (n > 0) return static_cast<unsigned>(n);
    if (n == 0) {
        const int nLimite = LimiteBornee(m_delais.nAttenteReponseMs);
        m_bEcourte = m_bEcourte || nLimite != m_delais.nAttenteReponseMs;
        const int etat = m_pSocket->AttendreLecture(nLimite);
        if (etat == 0) { // time-out
            m_nAttenduMs += std::max(nLimite, 0);
            return 0;
        }
        n = etat > 0 ? m_pSocket->OctetsEnAttente() : -1;
        if (n > 0) return static_cast<unsigned>(n);
    }
    // Readable with nothing to read is the end of the stream; or the socket failed.
    m_bFluxRompu = true;
    if (TraceActive()) Tracer(eSensTrace::Evenement, "connection closed by the instrument");
    return 0;
}

short CTcpIpCom::LireTampon(char* pTampon, int nTaille, char cTerminateur)
{
    int nOctets = 0;
    return LireOctets(pTampon, nTaille, cTerminateur, nOctets);
}

short CTcpIpCom::LireOctets(char* pTampon, int nTaille, char cTerminateur, int& nOctets)
{
    nOctets = 0;
    if (!m_pSocket) return COM_ECHEC_SUPPORT;
    if (pTampon == nullptr) return COM_ECHEC_SUPPORT;
    if (nTaille - 1 <= 0) {
        if (nTaille == 1) pTampon[0] = 0;
        return COM_OK;
    }
    int nLus = 0;
    short r = COM_OK;
    while (nLus < nTaille - 1) {
        if (AttendreDonnees() == 0) {
            r = m_bFluxRompu ? COM_ECHEC_SUPPORT : COM_TIMEOUT;
            break;
        }
        // Looked at first, then taken only up to the terminator: a line that
        // follows in the same chunk stays in the socket, to be seen for what
        // it is (the next reply, or a line nobody asked for).
        const int nVus = m_pSocket->Recevoir(pTampon + nLus, nTaille - nLus - 1, true);
        const void* pFin = nVus > 0 && cTerminateur != 0
                               ? std::memchr(pTampon + nLus, cTerminateur, static_cast<size_t>(nVus))
                               : nullptr;
        const int nPris = pFin ? static_cast<int>(static_cast<const char*>(pFin) - (pTampon + nLus)) + 1 : nVus;
        const int n = nVus > 0 ? m_pSocket->Recevoir(pTampon + nLus, nPris) : nVus;
        if (n <= 0 || n != nPris) { // failure, or the peer closed
            r = COM_ECHEC_SUPPORT;
            break;
        }
        nLus += n;
        if (pFin) {
            pTampon[nLus - 1] = 0;
            nOctets = nLus - 1;
            pTampon[nLus] = 0;
            return r;
        }
    }
    nOctets = nLus;
    pTampon[nLus] = 0;
    return r;
}

short CTcpIpCom::LireLigneBornee(std::string& octets, size_t& nTrop)
{
    // Room for the CR of a CR LF line: the limit counts the text only.
    constexpr size_t nLimite = TAILLE_MAX_REPONSE + 1;
    nTrop = 0;
    // Sized to what is already there (the first wait), never below 100 bytes.
    const size_t n = static_cast<size_t>(AttendreDonnees()) + 1;
    if (n == 1 && !m_bFluxRompu && m_delais.nAttentesReponse <= 1) return COM_TIMEOUT;
    size_t nTaille = std::min<size_t>(std::max<size_t>(n, TAILLE_MIN_REPONSE), nLimite + 1);
    std::vector<char> tampon(nTaille);
    int nLus = 0;
    short r = LireOctets(tampon.data(), static_cast<int>(nTaille), '\n', nLus);
    // Counted, not measured up to a NUL: a NUL byte in the line must not
    // make a full buffer look like a whole line.
    octets.assign(tampon.data(), static_cast<size_t>(nLus));
    // A full buffer means the line feed has not come yet: a reply that
    // arrived in pieces larger than the first would otherwise be cut and
    // still reported as read. Read on up to the line feed (within a bound).
    bool bPlein = octets.size() == tampon.size() - 1;
    while (r == COM_OK && bPlein && octets.size() < nLimite) {
        const size_t nSuite = std::min<size_t>(std::max<size_t>(AttendreDonnees() + 1, TAILLE_MIN_REPONSE),
                                               nLimite - octets.size() + 1);
        tampon.assign(nSuite, 0);
        r = LireOctets(tampon.data(), static_cast<int>(nSuite), '\n', nLus);
        octets.append(tampon.data(), static_cast<size_t>(nLus));
        bPlein = static_cast<size_t>(nLus) == nSuite - 1;
    }
    // The limit is reached without the line feed: unless it comes next, the
    // line is too long. Its rest must go, or it would be read as the replies
    // to the next queries.
    if (r == COM_OK && bPlein) r = JeterFinDeLigne(nTrop);
    const size_t nTexte = octets.size() - (!octets.empty() && octets.back() == '\r' ? 1 : 0);
    if (nTexte > TAILLE_MAX_REPONSE) {
        nTrop += nTexte - TAILLE_MAX_REPONSE;
        octets.resize(TAILLE_MAX_REPONSE);
    }
    return r;
}

short CTcpIpCom::LireReponse(CString& strReponse)
{
    if (m_bConnecte == 0) return COM_ECHEC_SUPPORT;
    m_nAttenduMs = 0;
    m_bEcourte = false;
    try {
        std::string octets;
        size_t nJetes = 0;
        short r = LireLigneBornee(octets, nJetes);
        // The text ends at a NUL, as the line read as a C string would.
        octets.resize(std::min(octets.find('\0'), octets.size()));
        strReponse = AnsiToWide(octets);
        if (TraceActive() && !(r == COM_TIMEOUT && octets.empty())) Tracer(eSensTrace::Reception, octets);
        if (r == COM_OK && nJetes == 0) return r;
        if (nJetes > 0)
            NoterEchec(eCauseEchec::ReponseTropLongue, "the reply to " + Cite(m_strDernierEnvoi) + " is longer than " +
                                                           std::to_string(TAILLE_MAX_REPONSE) + " bytes");
        else if (r == COM_TIMEOUT)
            NoterEchec(eCauseEchec::SansReponse, "no reply to " + Cite(m_strDernierEnvoi) + " " + Attendu());
        else if (m_bFluxRompu)
            NoterEchec(eCauseEchec::FermeeParAppareil,
                       "the instrument closed the connection while " + Cite(m_strDernierEnvoi) + " awaited its reply");
        else
            NoterEchec(eCauseEchec::FermeeParAppareil, "the connection failed while " + Cite(m_strDernierEnvoi) +
                                                           " awaited its reply (" + m_pSocket->GetDerniereErreur() + ")");
        return r == COM_OK ? static_cast<short>(COM_ECHEC_SUPPORT) : r;
    } catch (const std::bad_alloc&) {
        return COM_ECHEC_SUPPORT;
    }
}

std::string CTcpIpCom::Attendu() const
{
    if (m_bEcourte) return "within " + Secondes(m_nAttenduMs) + ", the time the whole exchange had left";
    if (m_delais.nAttenteReponseMs < 0) return Limite(m_delais.nAttenteReponseMs);
    return "within " + Secondes(m_nAttenduMs);
}

int CTcpIpCom::LimiteBornee(int nLimiteMs) const
{
    if (!m_echeance) return nLimiteMs;
    using namespace std::chrono;
    const auto reste = duration_cast<milliseconds>(*m_echeance - steady_clock::now());
    const long long nReste = std::clamp<long long>(reste.count(), 0, INT_MAX);
    return nLimiteMs < 0 ? static_cast<int>(nReste) : static_cast<int>(std::min<long long>(nLimiteMs, nReste));
}

short CTcpIpCom::JeterFinDeLigne(size_t& nJetes)
{
    nJetes = 0;
    char bloc[4096];
    while (nJetes <= TAILLE_MAX_REJET) {
        if (AttendreDonnees() == 0) return m_bFluxRompu ? COM_ECHEC_SUPPORT : COM_TIMEOUT;
        // Looked at first, then taken only up to the line feed: the next reply
        // may already be there behind it.
        const int nVus = m_pSocket->Recevoir(bloc, static_cast<int>(sizeof bloc), true);
        if (nVus <= 0) return COM_ECHEC_SUPPORT;
        const void* pFin = std::memchr(bloc, '\n', static_cast<size_t>(nVus));
        const int nPris = pFin ? static_cast<int>(static_cast<const char*>(pFin) - bloc) + 1 : nVus;
        if (m_pSocket->Recevoir(bloc, nPris) != nPris) return COM_ECHEC_SUPPORT;
        nJetes += static_cast<size_t>(pFin ? nPris - 1 : nPris);
        if (pFin) {
            if (nJetes > 0 && TraceActive())
                Tracer(eSensTrace::Evenement, "reply over the limit: " + std::to_string(nJetes) + " more bytes discarded");
            return COM_OK;
        }
    }
    // A line without end: give up reading it (the next query's drain takes
    // what has arrived by then).
    return COM_ECHEC_SUPPORT;
}

short CTcpIpCom::ViderReception()
{
    if (!m_pSocket) return COM_ECHEC_SUPPORT;
    m_strPremierRebut.clear();
    bool bLigneFinie = false;
    size_t nJetes = 0;
    short r = COM_OK;
    // Bounded in bytes and in time: an instrument that keeps sending must not
    // hold the channel (nor fill a trace) for ever.
    const auto fin =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(m_delais.nAttenteReponseMs, 0));
    char rebut[TAILLE_BLOC_VIDAGE];
    for (;;) {
        const int nAttente = m_pSocket->OctetsEnAttente();
        if (nAttente <= 0) break;
        if (nJetes >= TAILLE_MAX_VIDAGE ||
            (m_delais.nAttenteReponseMs >= 0 && std::chrono::steady_clock::now() >= fin)) {
            r = COM_ECHEC_SUPPORT;
            break;
        }
        const int n = m_pSocket->Recevoir(rebut, TAILLE_BLOC_VIDAGE);
        if (n <= 0) return COM_ECHEC_SUPPORT; // a failing socket would loop forever
        nJetes += static_cast<size_t>(n);
        for (int i = 0; i < n && !bLigneFinie; ++i) {
            bLigneFinie = rebut[i] == '\n';
            if (!bLigneFinie && m_strPremierRebut.size() < LONGUEUR_CITATION) m_strPremierRebut.push_back(rebut[i]);
        }
        if (n == nAttente) break;
    }
    if (!m_strPremierRebut.empty() && m_strPremierRebut.back() == '\r') m_strPremierRebut.pop_back();
    const std::string resume = std::to_string(nJetes) + " bytes nobody asked for, first line " +
                               Cite(WideToUtf8(AnsiToWide(m_strPremierRebut)));
    if (r != COM_OK)
        NoterEchec(eCauseEchec::FluxSansFin, "the instrument keeps sending unasked (" + resume + ")");
    else if (nJetes > 0 && TraceActive())
        Tracer(eSensTrace::Evenement, "discarded " + resume);
    return r;
}

short CTcpIpCom::ViderApresRepos()
{
    Pause(m_delais.nReposMs);
    const short r = ViderReception();
    if (r != COM_OK || !m_pSocket) return r;
    // Readable with nothing to read: the instrument has already closed, which
    // is the cause to give (not the failed sends that would follow).
    if (m_pSocket->AttendreLecture(0) != 0 && m_pSocket->OctetsEnAttente() <= 0) {
        NoterEchec(eCauseEchec::FermeeParAppareil, "the instrument closed the connection on accepting it");
        return COM_ECHEC_SUPPORT;
    }
    return COM_OK;
}

bool CTcpIpCom::ArriveePendantRepos()
{
    if (!m_pSocket) return false;
    if (m_pSocket->OctetsEnAttente() > 0) return true;
    if (m_delais.nReposMs <= 0) return false;
    return m_pSocket->AttendreLecture(m_delais.nReposMs) > 0 && m_pSocket->OctetsEnAttente() > 0;
}

short CTcpIpCom::InterrogerSansAmbiguite(CString& strReponse, const CString& strRequete)
{
    short r = Interroger(strReponse, strRequete);
    if (r != COM_OK || !ArriveePendantRepos()) return r;
    // Which line answered the question cannot be told: ask once more.
    const CString premiere = strReponse;
    if (TraceActive()) Tracer(eSensTrace::Evenement, "a line came unasked with the reply: asking again");
    r = Interroger(strReponse, strRequete);
    if (r != COM_OK) return r;
    const bool bEgales = strReponse == premiere;
    if (bEgales && !ArriveePendantRepos()) return COM_OK;
    std::string raison;
    if (bEgales) {
        ViderReception();
        raison = Cite(m_strDernierEnvoi) + " was answered " + Cite(Citation(premiere)) +
                 " twice, each time followed by a line nobody asked for (" +
                 Cite(WideToUtf8(AnsiToWide(m_strPremierRebut))) + ")";
    } else {
        raison = Cite(m_strDernierEnvoi) + " was answered " + Cite(Citation(premiere)) + ", then " +
                 Cite(Citation(strReponse)) + ": a line came unasked, and which one is the reply cannot be told";
    }
    NoterEchec(eCauseEchec::ReponseAmbigue, raison);
    return COM_ECHEC_SUPPORT;
}

void CTcpIpCom::TransfererConnexion(CTcpIpCom* pDestination)
{
    if (pDestination == nullptr || pDestination == this) return;
    CopierEtat(pDestination);
    pDestination->m_bConnecte = m_bConnecte;
    pDestination->m_pArchive.reset();
    pDestination->m_pFichierSocket.reset();
    pDestination->m_pSocket = std::move(m_pSocket);
    pDestination->m_pFichierSocket = std::move(m_pFichierSocket);
    pDestination->m_pArchive = std::move(m_pArchive);
    pDestination->m_strAdresse = m_strAdresse;
    pDestination->m_nPort = m_nPort;
    // This object no longer holds the link: it must not claim it, nor send
    // "*LOC" through it when destroyed.
    m_bConnecte = 0;
    m_nEtat = 0;
}
