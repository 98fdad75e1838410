#include "CConnexionFtp.h"

#include <algorithm>
#include <chrono>

#include "Erreurs.h"
#include "common/Conversions.h"
#include "driver/IdentifiantsFtp.h"

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

    struct tEssai { CString u, p; };
    std::vector<tEssai> essais;
    const tOptionsOtdr& o = m_ctx.options;
    const bool bUtilisateur = o.utilisateur.has_value();
    // The first login: the given credentials, each defaulting to krx15's.
    essais.push_back({bUtilisateur ? Large(*o.utilisateur) : CString(IdentifiantsFtp::E.szUtilisateur),
                      o.motDePasse ? Large(*o.motDePasse) : CString(IdentifiantsFtp::E.szMotDePasse)});
    // Nothing known about the instrument and no user given: the families in turn.
    if (!bUtilisateur)
        for (const tIdentifiantsFtp* id : {&IdentifiantsFtp::D, &IdentifiantsFtp::B, &IdentifiantsFtp::A,
                                           &IdentifiantsFtp::C, &IdentifiantsFtp::H})
            essais.push_back({id->szUtilisateur, id->szMotDePasse});

    std::string tentes;
    for (const tEssai& e : essais) {
        const int nAvant = m_nReponses;
        if (o.bVerbeux)
            EcrireTrace("ftp", "login to " + m_ctx.Cible(m_ctx.nPortFtp) + " as " + Etroit(e.u));
        if (m_ftp.FtpConnexion(e.u, e.p)) {
            CString rep;
            if (m_ftp.GetCurrentDirectoryW(rep) && !rep.empty())
                m_strInitial = Etroit(rep);
            return;
        }
        if (m_nReponses == nAvant) {
            // Not a single reply: no server there, or one that never answers.
            throw ErreurOperation("cannot reach the FTP server at " + m_ctx.Cible(m_ctx.nPortFtp) +
                                  " (connection refused, or no reply in time)");
        }
        tentes += (tentes.empty() ? "" : ", ") + Etroit(e.u);
    }
    throw ErreurOperation("the FTP server at " + m_ctx.Cible(m_ctx.nPortFtp) + " refused the login" +
                          (essais.size() > 1 ? "s (" : " (") + tentes + ")");
}

std::string CConnexionFtp::Joindre(const std::string& rep, const std::string& nom)
{
    if (rep.empty() || rep == "/") return "/" + nom;
    return rep + "/" + nom;
}

std::string CConnexionFtp::Parent(const std::string& abs)
{
    const size_t barre = abs.rfind('/');
    if (barre == std::string::npos || barre == 0) return "/";
    return abs.substr(0, barre);
}

std::string CConnexionFtp::Nom(const std::string& abs)
{
    const size_t barre = abs.rfind('/');
    return barre == std::string::npos ? abs : abs.substr(barre + 1);
}

std::string CConnexionFtp::Absolu(const std::string& chemin) const
{
    const std::string complet = (!chemin.empty() && chemin[0] == '/') ? chemin : m_strInitial + "/" + chemin;
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= complet.size()) {
        size_t fin = complet.find('/', i);
        if (fin == std::string::npos) fin = complet.size();
        const std::string p = complet.substr(i, fin - i);
        i = fin + 1;
        if (p.empty() || p == ".") continue;
        if (p == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(p);
    }
    std::string r;
    for (const std::string& p : parts) r += "/" + p;
    return r.empty() ? "/" : r;
}

bool CConnexionFtp::Lister(const std::string& abs, std::vector<tInfosFichierFtp>& entrees)
{
    CString chemin = Large(abs);
    CListeFichiersFtp liste;
    if (m_ftp.GetDir(&chemin, liste, 0) != 0)
        return false;
    entrees.clear();
    for (int i = 0; i < liste.m_nNombre; ++i)
        if (!CFTPDirect::IsSpecialDir(liste.m_pElements[i].m_strNom))
            entrees.push_back(liste.m_pElements[i]);
    return true;
}

bool CConnexionFtp::Etat(const std::string& abs, tInfosFichierFtp& infos)
{
    if (abs == "/") {
        infos = tInfosFichierFtp(L"/", L"", L"d", 0);
        return true;
    }
    std::vector<tInfosFichierFtp> entrees;
    if (!Lister(Parent(abs), entrees))
        return false;
    const std::wstring nom = Utf8ToWide(Nom(abs));
    for (const tInfosFichierFtp& e : entrees)
        if (e.m_strNom == nom) {
            infos = e;
            return true;
        }
    return false;
}

bool CConnexionFtp::EstRepertoire(const std::string& abs)
{
    return m_ftp.SetCurrentDirectoryW(Large(abs), 0) == 0;
}

void CConnexionFtp::Parcourir(const std::string& abs, const std::string& rel, std::vector<tEntreeDistante>& sortie)
{
    std::vector<tInfosFichierFtp> entrees;
    if (!Lister(abs, entrees))
        throw ErreurOperation("cannot list the remote directory '" + abs + "'");
    std::sort(entrees.begin(), entrees.end(),
              [](const tInfosFichierFtp& a, const tInfosFichierFtp& b) { return a.m_strNom < b.m_strNom; });
    for (const tInfosFichierFtp& e : entrees) {
        const std::string nom = Etroit(e.m_strNom);
        tEntreeDistante d;
        d.strChemin = Joindre(abs, nom);
        d.strRelatif = rel.empty() ? nom : rel + "/" + nom;
        d.bRepertoire = CFTPDirect::IsDirectory(e) != 0;
        d.nTaille = e.m_nTaille;
        sortie.push_back(d);
        if (d.bRepertoire)
            Parcourir(d.strChemin, d.strRelatif, sortie);
    }
}

short CConnexionFtp::CreerRepertoire(const std::string& abs)
{
    if (m_ftp.SetCurrentDirectoryW(Large(Parent(abs)), 0) != 0)
        return 3;
    return m_ftp.MakeDir(Large(Nom(abs)));
}
