#include "CProgression.h"

#include "Affichage.h"
#include "common/Conversions.h"
#include "ftp/CFTPDirect.h"

#include <cmath>
#include <cstdlib>
#include <utility>
#include <sys/ioctl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// The transfer in flight, for the interruption handler.
std::mutex g_mutexCourante;
CProgression* g_pCourante = nullptr;
} // namespace

CProgression::CProgression(eProgression eMode, uint64_t nTotal, int nFichiers)
    : m_nTotal(nTotal), m_nFichiers(nFichiers), m_debut(std::chrono::steady_clock::now())
{
    m_bTerminal = isatty(STDERR_FILENO) != 0;
    m_bActif = eMode == eProgression::Toujours || (eMode == eProgression::Auto && m_bTerminal);
    m_bImmediat = eMode == eProgression::Toujours;
    m_dernierTexte = m_debut;
    if (m_bActif)
        m_thread = std::thread([this] { Boucle(); });
    std::lock_guard<std::mutex> lock(g_mutexCourante);
    g_pCourante = this;
}

CProgression::~CProgression()
{
    Terminer();
    std::lock_guard<std::mutex> lock(g_mutexCourante);
    if (g_pCourante == this)
        g_pCourante = nullptr;
}

void CProgression::Interrompre()
{
    std::lock_guard<std::mutex> lock(g_mutexCourante);
    if (!g_pCourante)
        return;
    CFTPDirect::SupprimerTemporairesEnCours();
    std::lock_guard<std::mutex> lock2(g_pCourante->m_mutex);
    if (g_pCourante->m_bAffiche && g_pCourante->m_bTerminal)
        std::fputs("\n", stderr);
    std::fflush(stderr);
}

void CProgression::AjouterTotal(uint64_t nOctets, int nFichiers)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nTotal += nOctets;
    m_nFichiers += nFichiers;
}

void CProgression::DefinirTotal(uint64_t nTotal)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (nTotal)
        m_nTotal = nTotal;
}

void CProgression::Debut(const std::string& strNom)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strNom = Visible(strNom);   // a remote name: shown, never interpreted by the terminal
}

void CProgression::Octets(const std::string& strCle, uint64_t nFaits)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_enCours[strCle] = nFaits;
}

void CProgression::Fin(const std::string& strCle, uint64_t nOctets, bool bReussi)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (bReussi) {
        m_nOctetsFaits += nOctets;
        ++m_nFaits;
    }
    m_enCours.erase(strCle);
}

void CProgression::Terminer()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bArret) return;
        m_bArret = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    // "always" shows at least the final state, even of a short transfer.
    if (m_bAffiche || m_bImmediat)
        Dessiner(true);
}

uint64_t CProgression::OctetsFaits() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nOctetsFaits;
}

double CProgression::Secondes() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_debut).count();
}

uint64_t CProgression::EnCours() const
{
    uint64_t n = 0;
    for (const auto& fichier : m_enCours)
        n += fichier.second;
    return n;
}

void CProgression::Boucle()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bArret) {
        m_cv.wait_for(lock, std::chrono::milliseconds(m_bTerminal ? 150 : 1000));
        if (m_bArret) break;
        if (!m_bImmediat && Secondes() < 1.0) continue;
        Dessiner(false);
    }
}

std::string CProgression::Octets(uint64_t n)
{
    char s[32];
    if (n < 1024) {
        std::snprintf(s, sizeof s, "%llu B", static_cast<unsigned long long>(n));
        return s;
    }
    const char* unites[] = {"KiB", "MiB", "GiB", "TiB"};
    double v = static_cast<double>(n) / 1024.0;
    int i = 0;
    while (v >= 1024.0 && i < 3) { v /= 1024.0; ++i; }
    std::snprintf(s, sizeof s, "%.1f %s", v, unites[i]);
    return s;
}

std::string CProgression::Duree(double secondes)
{
    if (!std::isfinite(secondes) || secondes < 0) return "--:--";
    const long t = static_cast<long>(secondes + 0.5);
    char s[32];
    if (t >= 3600)
        std::snprintf(s, sizeof s, "%ld:%02ld:%02ld", t / 3600, (t / 60) % 60, t % 60);
    else
        std::snprintf(s, sizeof s, "%ld:%02ld", t / 60, t % 60);
    return s;
}

namespace {

// The bar's 24 cells for the part done: "=====>   ".
std::string Barre(double part)
{
    const int nBarre = 24;
    std::string barre(nBarre, ' ');
    const int plein = static_cast<int>(part * nBarre);
    for (int i = 0; i < plein && i < nBarre; ++i) barre[static_cast<size_t>(i)] = '=';
    if (plein < nBarre) barre[static_cast<size_t>(plein)] = '>';
    return barre;
}

// Columns of the terminal on standard error; 80 when it does not say.
int LargeurTerminal()
{
    winsize ws{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 20)
        return ws.ws_col;
    return 80;
}

} // namespace

void CProgression::Dessiner(bool bFinal)
{
    uint64_t fait = m_nOctetsFaits + (bFinal ? 0 : EnCours());
    if (m_nTotal && fait > m_nTotal) fait = m_nTotal;
    const double ecoule = Secondes();
    const double debit = ecoule > 0 ? static_cast<double>(fait) / ecoule : 0;
    const double reste = debit > 0 && m_nTotal >= fait ? static_cast<double>(m_nTotal - fait) / debit : -1;
    double part = m_nTotal ? static_cast<double>(fait) / static_cast<double>(m_nTotal) : (bFinal ? 1.0 : 0.0);
    // Bytes handed to the network are not yet stored: 100% only once the last file is done.
    if (!bFinal && part > 0.99) part = 0.99;

    char chiffres[160];
    int n = std::snprintf(chiffres, sizeof chiffres, "%3d%% %s / %s  %s/s  %s %s",
                          static_cast<int>(part * 100), Octets(fait).c_str(), Octets(m_nTotal).c_str(),
                          Octets(static_cast<uint64_t>(debit)).c_str(), bFinal ? "in" : "ETA",
                          Duree(bFinal ? ecoule : reste).c_str());
    if (m_nFichiers > 1 && n > 0 && static_cast<size_t>(n) < sizeof chiffres)
        std::snprintf(chiffres + n, sizeof chiffres - static_cast<size_t>(n), "  %d/%d files", m_nFaits, m_nFichiers);

    if (!m_bTerminal) {
        // Not a terminal (log, pipe): a plain line now and then.
        std::fprintf(stderr, "%s%s%s\n", chiffres, m_strNom.empty() || bFinal ? "" : "  ", bFinal ? "" : m_strNom.c_str());
        std::fflush(stderr);
        m_bAffiche = true;
        return;
    }
    const int largeur = LargeurTerminal();
    std::string ligne = "[" + Barre(part) + "] " + chiffres;
    if (!bFinal && !m_strNom.empty()) ligne += "  " + m_strNom;
    if (static_cast<int>(ligne.size()) > largeur - 1) ligne.resize(static_cast<size_t>(largeur - 1));
    std::fprintf(stderr, "\r\033[K%s%s", ligne.c_str(), bFinal ? "\n" : "");
    std::fflush(stderr);
    m_bAffiche = true;
}

// ---------------------------------------------------------------- the engine's events

namespace {
std::string Cle(const CParcoursDistant::tFichier& f) { return WideToUtf8(f.strRelatif); }
} // namespace

CSuiviProgression::CSuiviProgression(CProgression& prog, tTotaux eTotaux, FonctionChoix choisir)
    : m_prog(prog), m_eTotaux(eTotaux), m_choisir(std::move(choisir))
{
}

void CSuiviProgression::Repertoire(const CParcoursDistant::tRepertoire& d)
{
    if (m_eTotaux == tTotaux::ParRepertoire)
        m_prog.AjouterTotal(d.nOctets, d.nFichiers);
}

CParcoursDistant::tSuite CSuiviProgression::Choisir(const CParcoursDistant::tFichier& f)
{
    return m_choisir ? m_choisir(f) : CParcoursDistant::tSuite::Faire;
}

void CSuiviProgression::Debut(const CParcoursDistant::tFichier& f)
{
    if (m_eTotaux == tTotaux::ParFichier)
        m_prog.AjouterTotal(f.nTaille, 1);
    m_prog.Debut(Cle(f));
}

void CSuiviProgression::Octets(const CParcoursDistant::tFichier& f, uint64_t nFaits, uint64_t nTotal)
{
    if (m_eTotaux == tTotaux::DuFichier && nTotal > 0)
        m_prog.DefinirTotal(nTotal);
    m_prog.Octets(Cle(f), nFaits);
}

void CSuiviProgression::Fin(const CParcoursDistant::tFichier& f, CParcoursDistant::tIssueFichier issue,
                            const CString&)
{
    m_prog.Fin(Cle(f), f.nTaille, issue == CParcoursDistant::tIssueFichier::Fait);
}
