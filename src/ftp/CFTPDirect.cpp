#include "ftp/CFTPDirect.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "common/CChaineUTF8.h"
#include "common/Conversions.h"
#include "ftp/AnalyseListeFtp.h"
#include "ftp/CheminDistant.h"
#include "ftp/CSessionFtp.h"

namespace fs = std::filesystem;

namespace {

// Remote names travel as the UTF-8 bytes of their text.
std::string Fil(const CString& texte) { return WideToUtf8(texte); }

// Received names: an incomplete character at the end is dropped, other
// malformed bytes show as U+FFFD.
CString DepuisFil(const std::string& octets)
{
    return CString(Utf8ToWide(octets.data(), CChaineUTF8::ReparerFin(octets.data(), octets.size())));
}

short Statut(int n) { return static_cast<short>(static_cast<unsigned>(n) & 0xFFFFu); }

long Secondes(std::chrono::milliseconds d)
{
    const long long s = (d.count() + 999) / 1000;
    return s < 1 ? 1L : static_cast<long>(s);
}

fs::path CheminLocal(const CString& texte)
{
#if defined(_WIN32)
    return fs::path(static_cast<const std::wstring&>(texte));
#else
    return fs::path(WideToUtf8(texte));
#endif
}

std::FILE* Ouvrir(const fs::path& chemin, const char* mode)
{
#if defined(_WIN32)
    std::wstring m(mode, mode + std::strlen(mode));
    return _wfopen(chemin.c_str(), m.c_str());
#else
    return std::fopen(chemin.c_str(), mode);
#endif
}

// MKD, RMD or DELE on a name in the current directory: the server's reply
// number, 0 for success; an empty name is refused here (501).
int CommandeSurNom(CSessionFtp& session, const char* verbe, const CString& strNom)
{
    const std::string nom = Fil(strNom);
    if (nom.empty())
        return 501;
    return session.Commande(verbe + nom);
}

} // namespace

CFTPDirect::CFTPDirect(const CString& strAdresse, int nPort) : m_strAdresse(strAdresse), m_nPort(nPort)
{
}

CFTPDirect::~CFTPDirect() { FtpDeconnexion(); }

int CFTPDirect::FtpConnexion(CString strUtilisateur, CString strMotDePasse)
{
    if (m_bAnnule) return 0;
    FtpDeconnexion();
    try {
        CString hote = m_strAdresse;
        hote.Trim();
        auto session = std::make_unique<CSessionFtp>(Fil(hote), m_nPort);
        AppliquerDelais(*session);
        session->SetTrace(m_trace);
        if (!session->Connecter(Fil(strUtilisateur), Fil(strMotDePasse)))
            return 0;
        m_pSession = std::move(session);
        return 1;
    } catch (...) {
        return 0;
    }
}

int CFTPDirect::FtpDeconnexion()
{
    const int bConnecte = m_pSession != nullptr;
    m_pSession.reset();
    return bConnecte;
}

int CFTPDirect::EstConnecte() const { return m_pSession != nullptr; }

short CFTPDirect::GetDir(CString* pChemin, CListeFichiersFtp& liste, int nFallback)
{
    if (m_bAnnule) return ECHEC_ANNULE;
    if (!m_pSession)
        return 0;
    try {
        int n = m_pSession->ChangerRepertoire(pChemin ? Fil(*pChemin) : std::string());
        if (n != 0) {
            if (nFallback != 1)
                return 3;
            if (pChemin)
                *pChemin = L"/";
            n = m_pSession->ChangerRepertoire("/");
        }
        const short resultat = Statut(n);

        std::string donnees;
        bool bMlsd = false;
        m_pSession->Lister(donnees, bMlsd);
        // Whatever the listing gave, the previous content goes; entries read
        // before a failure are kept.
        liste.RemoveAll();
        for (const tEntreeListeFtp& e : AnalyserListe(donnees, bMlsd))
            liste.Add(tInfosFichierFtp(DepuisFil(e.strNom), FormaterDateFtp(e), AttributsFtp(e),
                                       e.nTaille));
        return resultat;
    } catch (...) {
        return Statut(12);  // out of memory
    }
}

short CFTPDirect::MakeDir(CString strNom, CString strRepertoire)
{
    if (m_bAnnule) return ECHEC_ANNULE;
    if (!m_pSession)
        return 0;
    m_pSession->ChangerRepertoire(Fil(strRepertoire));
    return MakeDir(strNom);
}

short CFTPDirect::MakeDir(CString strNom)
{
    if (m_bAnnule) return ECHEC_ANNULE;
    if (!m_pSession)
        return 0;
    return Statut(CommandeSurNom(*m_pSession, "MKD ", strNom));
}

short CFTPDirect::RemDir(CString strNom, CString strRepertoire)
{
    if (m_bAnnule) return ECHEC_ANNULE;
    if (!m_pSession)
        return 0;
    m_pSession->ChangerRepertoire(Fil(strRepertoire));
    return Statut(CommandeSurNom(*m_pSession, "RMD ", strNom));
}

int CFTPDirect::GetFile(CString strDistant, CString strLocal)
{
    if (m_bAnnule) return 0;
    if (!m_pSession)
        return 0;
    try {
        const fs::path cible = CheminLocal(strLocal);
        if (cible.filename().empty())
            return 0;
        // Download beside the target, then rename over it: a failed transfer
        // leaves an existing file as it was and no partial file behind.
        std::random_device alea;
        fs::path temporaire;
        std::FILE* f = nullptr;
        for (int essai = 0; essai < 8 && !f; ++essai) {
            char suffixe[32];
            std::snprintf(suffixe, sizeof suffixe, ".%08x.part", static_cast<unsigned>(alea()));
            temporaire = cible;
            temporaire += suffixe;
            f = Ouvrir(temporaire, "wbx");
        }
        if (!f)
            return 0;
        const int n = m_pSession->Telecharger(Fil(strDistant), f);
        const bool bFerme = std::fclose(f) == 0;
        std::error_code ec;
        if (n == 0 && bFerme) {
            fs::rename(temporaire, cible, ec);
            if (!ec)
                return 1;
        }
        fs::remove(temporaire, ec);
        return 0;
    } catch (...) {
        return 0;
    }
}

int CFTPDirect::PutFile(CString strLocal, CString strDistant)
{
    if (m_bAnnule) return 0;
    if (!m_pSession)
        return 0;
    try {
        const fs::path source = CheminLocal(strLocal);
        std::error_code ec;
        if (!fs::is_regular_file(source, ec))
            return 0;
        const auto taille = fs::file_size(source, ec);
        if (ec)
            return 0;
        std::FILE* f = Ouvrir(source, "rb");
        if (!f)
            return 0;
        const int n = m_pSession->Envoyer(f, static_cast<long long>(taille), Fil(strDistant));
        std::fclose(f);
        return n == 0;
    } catch (...) {
        return 0;
    }
}

int CFTPDirect::DelFile(CString strNom)
{
    if (m_bAnnule) return 0;
    if (!m_pSession)
        return 0;
    return CommandeSurNom(*m_pSession, "DELE ", strNom) == 0;
}

short CFTPDirect::SetCurrentDirectoryW(CString strChemin, int nCreer)
{
    if (m_bAnnule) return ECHEC_ANNULE;
    if (!m_pSession)
        return 0;
    const std::string chemin = Fil(strChemin);
    if (m_pSession->ChangerRepertoire(chemin) == 0)
        return 0;
    if (nCreer == 0)
        return 3;
    // Walk the components from where the connection stands; a leading "/"
    // does not lead back to the root.
    for (const std::string& composant : CheminDistant::Composants(chemin)) {
        if (m_pSession->ChangerRepertoire(composant) == 0)
            continue;
        const int n = m_pSession->Commande("MKD " + composant);
        if (n != 0)
            return Statut(n);
        m_pSession->ChangerRepertoire(composant);
    }
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
    delais.nConnexionMs = static_cast<long>(m_delaiConnexion.count() < 1 ? 1 : m_delaiConnexion.count());
    delais.nReponseS = Secondes(m_delaiReponse);
    delais.nBlocageMs = static_cast<long>(m_delaiBlocage.count() < 1 ? 1 : m_delaiBlocage.count());
    session.SetDelais(delais);
}

void CFTPDirect::SetTrace(FonctionTrace fonction)
{
    m_trace = std::move(fonction);
    if (m_pSession)
        m_pSession->SetTrace(m_trace);
}

void CFTPDirect::SetProgression(FonctionProgression fonction) { m_progression = std::move(fonction); }
void CFTPDirect::Annuler() { m_bAnnule = true; }
void CFTPDirect::RearmerAnnulation() { m_bAnnule = false; }
bool CFTPDirect::EstAnnule() const { return m_bAnnule; }
CString CFTPDirect::GetDerniereErreur() const { return CString(); }
