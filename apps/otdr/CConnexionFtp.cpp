#include "CConnexionFtp.h"

#include <chrono>

#include "Erreurs.h"
#include "common/Conversions.h"
#include "driver/IdentifiantsFtp.h"
#include "ftp/CheminDistant.h"

namespace {

CString Large(const std::string& s) { return CString(Utf8ToWide(s)); }
std::string Etroit(const std::wstring& s) { return WideToUtf8(s); }

} // namespace

CConnexionFtp::CConnexionFtp(const tContexte& ctx)
    : m_ctx(ctx), m_ftp(Large(ctx.strAdresse), ctx.nPortFtp)
{
    if (ctx.options.delaiMs) {
        const std::chrono::milliseconds d(*ctx.options.delaiMs);
        m_ftp.SetDelaiConnexion(d);
        m_ftp.SetDelaiReponse(d);
        m_ftp.SetDelaiBlocage(d);
    }
    const bool bVerbeux = ctx.options.bVerbeux;
    m_ftp.SetTrace([this, bVerbeux](const std::string& ligne) {
        if (ligne.compare(0, 2, "< ") == 0)
            ++m_nReponses;
        if (bVerbeux)
            EcrireTrace("ftp", ligne);
    });
}

void CConnexionFtp::Connecter()
{
    if (m_ctx.strAdresse.empty())
        throw ErreurUsage("no instrument address: give --address, or store one with 'otdr config --address A'");

    const tOptionsOtdr& o = m_ctx.options;
    const CString strUtilisateur = o.utilisateur ? Large(*o.utilisateur) : CString();
    const CString strMotDePasse = o.motDePasse ? Large(*o.motDePasse) : CString();
    std::string tentes;
    int nRefus = 0;
    // The model is not known here: the driver's order for an unknown instrument.
    const int resultat = IdentifiantsFtp::Connecter(
        CString(), o.utilisateur ? strUtilisateur.c_str() : nullptr, o.motDePasse ? strMotDePasse.c_str() : nullptr,
        [&](const CString& u, const CString& p) {
            const int nAvant = m_nReponses;
            if (o.bVerbeux)
                EcrireTrace("ftp", "login to " + m_ctx.Cible(m_ctx.nPortFtp) + " as " + Etroit(u));
            if (m_ftp.FtpConnexion(u, p))
                return 1;
            // Not a single reply: no server there, or one that never answers.
            if (m_nReponses == nAvant)
                return -1;
            tentes += (tentes.empty() ? "" : ", ") + Etroit(u);
            ++nRefus;
            return 0;
        });
    if (resultat < 0)
        throw ErreurOperation("cannot reach the FTP server at " + m_ctx.Cible(m_ctx.nPortFtp) +
                              " (connection refused, or no reply in time)");
    if (resultat == 0)
        throw ErreurOperation("the FTP server at " + m_ctx.Cible(m_ctx.nPortFtp) + " refused the login" +
                              (nRefus > 1 ? "s (" : " (") + tentes + ")");
    CString rep;
    if (m_ftp.GetCurrentDirectoryW(rep) && !rep.empty())
        m_strInitial = Etroit(rep);
}

std::string CConnexionFtp::Absolu(const std::string& chemin) const
{
    return CheminDistant::Absolu(m_strInitial, chemin);
}

CFTPDirect::tEtatListe CConnexionFtp::Lister(const std::string& abs, std::vector<tInfosFichierFtp>& entrees,
                                             bool& bEntre)
{
    CString chemin = Large(abs);
    CListeFichiersFtp liste;
    bEntre = m_ftp.GetDir(&chemin, liste, 0) != 3;
    entrees.clear();
    for (int i = 0; i < liste.m_nNombre; ++i)
        if (!CFTPDirect::IsSpecialDir(liste.m_pElements[i].m_strNom))
            entrees.push_back(liste.m_pElements[i]);
    return bEntre ? m_ftp.GetEtatDerniereListe() : CFTPDirect::tEtatListe::Refusee;
}

bool CConnexionFtp::Etat(const std::string& abs, tInfosFichierFtp& infos)
{
    if (abs == "/") {
        infos = tInfosFichierFtp(L"/", L"", L"d", 0);
        return true;
    }
    std::vector<tInfosFichierFtp> entrees;
    bool bEntre = false;
    const std::string parent = CheminDistant::Parent(abs);
    const CFTPDirect::tEtatListe etat = Lister(parent, entrees, bEntre);
    const std::wstring nom = Utf8ToWide(CheminDistant::Nom(abs));
    for (const tInfosFichierFtp& e : entrees)
        if (e.m_strNom == nom) {
            infos = e;
            return true;
        }
    // Not in a listing that stopped early says nothing about the path.
    if (bEntre && etat != CFTPDirect::tEtatListe::Complete)
        throw ErreurOperation(ListeIncomplete(parent, etat));
    return false;
}

bool CConnexionFtp::EstRepertoire(const std::string& abs)
{
    return m_ftp.SetCurrentDirectoryW(Large(abs), 0) == 0;
}

std::string CConnexionFtp::ListeIncomplete(const std::string& abs, CFTPDirect::tEtatListe etat)
{
    using tEtat = CFTPDirect::tEtatListe;
    const char* raison = etat == tEtat::Refusee   ? "was refused by the server"
                         : etat == tEtat::Expiree ? "timed out"
                         : etat == tEtat::Annulee ? "was cancelled"
                                                  : "was cut short";
    return "the listing of '" + abs + "' " + raison;
}

short CConnexionFtp::CreerRepertoire(const std::string& abs)
{
    if (m_ftp.SetCurrentDirectoryW(Large(CheminDistant::Parent(abs)), 0) != 0)
        return 3;
    return m_ftp.MakeDir(Large(CheminDistant::Nom(abs)));
}
