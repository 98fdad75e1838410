#include "Affichage.h"
#include "CConnexionFtp.h"

#include <atomic>
#include <chrono>
#include <cstdio>

#include "Erreurs.h"
#include "Identifiants.h"
#include "common/Conversions.h"
#include "ftp/CheminDistant.h"

namespace {

CString Large(const std::string& s) { return CString(Utf8ToWide(s)); }
std::string Etroit(const std::wstring& s) { return WideToUtf8(s); }

} // namespace

CConnexionFtp::CConnexionFtp(const tContexte& ctx)
    : m_ctx(ctx), m_ftp(Large(ctx.strAdresse), ctx.nPortFtp)
{
    Regler(m_ftp);
}

void CConnexionFtp::Regler(CFTPDirect& ftp) const
{
    ftp.SetModeDonnees(m_ctx.eModeFtp);
    ftp.SetRepliPassif([this](const std::string& raison) {
        // Said once, however many connections (--parallel) meet it.
        static std::atomic<bool> bDit{false};
        if (bDit.exchange(true)) return;
        std::fprintf(stderr, "otdr: no active data connection with %s (%s): going on in passive mode "
                             "(--passive, or 'otdr config --passive', asks for it at once)\n",
                     Visible(m_ctx.Hote()).c_str(), Visible(raison).c_str());
    });
    if (m_ctx.options.delaiMs) {
        const std::chrono::milliseconds d(*m_ctx.options.delaiMs);
        ftp.SetDelaiConnexion(d);
        ftp.SetDelaiReponse(d);
        ftp.SetDelaiBlocage(d);
    }
    if (m_ctx.options.bVerbeux)
        ftp.SetTrace([](const std::string& ligne) { EcrireTrace("ftp", ligne); });
}

std::unique_ptr<CFTPDirect> CConnexionFtp::NouvelleSession() const
{
    auto ftp = std::make_unique<CFTPDirect>(Large(m_ctx.strAdresse), m_ctx.nPortFtp);
    Regler(*ftp);
    if (ftp->FtpConnexion(m_strUtilisateur, m_strMotDePasse))
        return ftp;
    if (m_ctx.options.bVerbeux)
        EcrireTrace("ftp", "another connection was refused: " + Etroit(ftp->GetDerniereErreur()));
    return nullptr;
}

void CConnexionFtp::Connecter()
{
    if (m_ctx.strAdresse.empty())
        throw ErreurUsage("no instrument address: give --address, or store one with 'otdr config --address A'");

    const tOptionsOtdr& o = m_ctx.options;
    std::string tentes;
    std::string raison;
    int nRefus = 0;
    const int resultat = ConnecterSelonOptions(
        m_ctx,
        [&](const CString& u, const CString& p) {
            if (o.bVerbeux)
                EcrireTrace("ftp", "login to " + m_ctx.Cible(m_ctx.nPortFtp) + " as " + Etroit(u));
            if (m_ftp.FtpConnexion(u, p)) {
                m_strUtilisateur = u;
                m_strMotDePasse = p;
                return 1;
            }
            raison = Etroit(m_ftp.GetDerniereErreur());
            // Unreachable, cut or silent: no other login can do better.
            if (m_ftp.GetEchecConnexion() != CFTPDirect::tEchecConnexion::Refusee)
                return -1;
            tentes += (tentes.empty() ? "" : ", ") + Etroit(u);
            ++nRefus;
            return 0;
        });
    if (resultat < 0)
        throw ErreurOperation("cannot reach the FTP server at " + m_ctx.Cible(m_ctx.nPortFtp) + " (" + raison + ")");
    if (resultat == 0)
        throw ErreurOperation("the FTP server at " + m_ctx.Cible(m_ctx.nPortFtp) + " refused the login" +
                              (nRefus > 1 ? "s (" : " (") + tentes + "): " + raison);
    CString rep;
    if (m_ftp.GetCurrentDirectoryW(rep) && !rep.empty())
        m_strInitial = Etroit(rep);
}

std::string CConnexionFtp::Absolu(const std::string& chemin) const
{
    return CheminDistant::Absolu(m_strInitial, chemin);
}

bool CConnexionFtp::Etat(const std::string& abs, tInfosFichierFtp& infos)
{
    // Asked of the server for this one path (never its parent's listing): a
    // directory when it can be entered; otherwise the transfer or command
    // that follows names a missing file by the server's own reply.
    if (abs == "/" || EstRepertoire(abs)) {
        infos = tInfosFichierFtp(abs == "/" ? L"/" : Large(CheminDistant::Nom(abs)), L"", L"d", 0);
        return true;
    }
    infos = tInfosFichierFtp(Large(CheminDistant::Nom(abs)), L"", L"", 0);
    return true;
}

bool CConnexionFtp::EstRepertoire(const std::string& abs)
{
    return m_ftp.SetCurrentDirectoryW(Large(abs), 0) == 0;
}

std::string CConnexionFtp::ListeIncomplete(const std::string& abs, CFTPDirect::tEtatListe etat,
                                           const std::string& raisonLib)
{
    using tEtat = CFTPDirect::tEtatListe;
    const char* raison = etat == tEtat::Refusee   ? "was refused by the server"
                         : etat == tEtat::Expiree ? "timed out"
                         : etat == tEtat::Annulee ? "was cancelled"
                                                  : "was cut short";
    return "the listing of '" + abs + "' " + raison + (raisonLib.empty() ? "" : " (" + raisonLib + ")");
}

short CConnexionFtp::CreerRepertoire(const std::string& abs)
{
    if (m_ftp.SetCurrentDirectoryW(Large(CheminDistant::Parent(abs)), 0) != 0)
        return 3;
    return m_ftp.MakeDir(Large(CheminDistant::Nom(abs)));
}
