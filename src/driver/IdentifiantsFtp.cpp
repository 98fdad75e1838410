#include "driver/IdentifiantsFtp.h"

#include <sstream>

#include "comm/FamillesAppareil.h"

namespace IdentifiantsFtp {

const tIdentifiantsFtp A{L"krx11", L"QWPZ"};
const tIdentifiantsFtp B{L"krx12", L"QWPZ"};
const tIdentifiantsFtp C{L"tellmar", L"ulk"};
const tIdentifiantsFtp D{L"krx14", L"brimola"};
const tIdentifiantsFtp E{L"krx15", L"brimola"};
const tIdentifiantsFtp F{L"brimola", L"pelvu7"};
const tIdentifiantsFtp G{L"FPX", L"LANTERNS"};
// Anonymous login: servers expect an address-shaped password.
const tIdentifiantsFtp H{L"anonymous", L"otdrdriver@localhost.localdomain"};

namespace {
bool Contient(const CString& texte, const CString& motif) { return texte.Find(motif.c_str()) >= 0; }

void Prendre(const tIdentifiantsFtp& id, CString& u, CString& p)
{
    u = id.szUtilisateur;
    p = id.szMotDePasse;
}
} // namespace

bool ParModele(const CString& strModele, CString& strUtilisateur, CString& strMotDePasse)
{
    bool trouve = false;
    if (Contient(strModele, g_strFamillesAppareil[FAMILLE_KRX])) {
        Prendre(C, strUtilisateur, strMotDePasse);
        trouve = true;
    }
    if (Contient(strModele, g_strFamillesAppareil[FAMILLE_NETSCAN]) ||
        Contient(strModele, g_strFamillesAppareil[FAMILLE_NETREFL])) {
        Prendre(F, strUtilisateur, strMotDePasse);
        trouve = true;
    }
    if (Contient(strModele, g_strFamillesAppareil[FAMILLE_FPX])) {
        Prendre(G, strUtilisateur, strMotDePasse);
        trouve = true;
    }
    return trouve;
}

bool ParType(int nType, CString& strUtilisateur, CString& strMotDePasse)
{
    static const tIdentifiantsFtp* const kParType[] = {&A, &B, &C, &D, &E};
    if (nType < 1 || nType > 5) return false;
    Prendre(*kParType[nType - 1], strUtilisateur, strMotDePasse);
    return true;
}

bool ParChoix(int nType, const CString& strLogin, const CString& strMotDePasseChoisi, CString& strUtilisateur,
              CString& strMotDePasse)
{
    constexpr int TYPE_AUTRE = 6;
    if (ParType(nType, strUtilisateur, strMotDePasse)) return true;
    if (nType != TYPE_AUTRE) return false;
    strUtilisateur = strLogin;
    strMotDePasse = strMotDePasseChoisi;
    return true;
}

namespace {

// One entry of a .netrc: its tokens up to the next "machine", "default" or "macdef".
struct tEntreeNetrc
{
    std::string strUtilisateur, strMotDePasse;
    bool bUtilisateur = false, bMotDePasse = false;
};

void LireEntree(std::istringstream& flux, tEntreeNetrc& e)
{
    std::string mot;
    while (true) {
        const std::streampos p = flux.tellg();
        if (!(flux >> mot)) return;
        if (mot == "machine" || mot == "default" || mot == "macdef") {
            flux.seekg(p);
            return;
        }
        std::string valeur;
        if (!(flux >> valeur)) return;
        if (mot == "login") e.strUtilisateur = valeur, e.bUtilisateur = true;
        else if (mot == "password") e.strMotDePasse = valeur, e.bMotDePasse = true;
    }
}

// A macro's body runs to the first empty line: its words are no entries.
void SauterMacro(std::istringstream& flux)
{
    std::string ligne;
    std::getline(flux, ligne);
    while (std::getline(flux, ligne) && !ligne.empty()) {
    }
}

} // namespace

bool ParNetrc(const std::string& texte, const std::string& machine, std::string& strUtilisateur,
              std::string& strMotDePasse, bool& bMotDePasse)
{
    std::istringstream flux(texte);
    std::string mot;
    tEntreeNetrc trouvee, parDefaut;
    bool bTrouvee = false, bDefaut = false;
    while (flux >> mot) {
        if (mot == "macdef") {
            SauterMacro(flux);
        } else if (mot == "default") {
            tEntreeNetrc e;
            LireEntree(flux, e);
            if (!bDefaut) parDefaut = e, bDefaut = true;
        } else if (mot == "machine") {
            std::string nom;
            flux >> nom;
            tEntreeNetrc e;
            LireEntree(flux, e);
            if (!bTrouvee && nom == machine) trouvee = e, bTrouvee = true;
        }
    }
    const tEntreeNetrc* e = bTrouvee ? &trouvee : bDefaut ? &parDefaut : nullptr;
    if (!e || !e->bUtilisateur) return false;
    strUtilisateur = e->strUtilisateur;
    strMotDePasse = e->strMotDePasse;
    bMotDePasse = e->bMotDePasse;
    return true;
}

int ConnecterSelonChoix(const CString& strModele, int nType, const CString& strLogin,
                        const CString& strMotDePasseChoisi,
                        const std::function<int(const CString&, const CString&)>& connexion)
{
    CString u, p;
    if (!strModele.IsEmpty() && ParModele(strModele, u, p)) return connexion(u, p);
    constexpr int TYPE_AUTRE = 6;
    if ((nType != TYPE_AUTRE || !strLogin.IsEmpty()) && ParChoix(nType, strLogin, strMotDePasseChoisi, u, p))
        return connexion(u, p);
    return Connecter(strModele, nullptr, nullptr, connexion);
}

int Connecter(const CString& strModele, const wchar_t* user, const wchar_t* password,
              const std::function<int(const CString&, const CString&)>& connexion)
{
    CString strUtilisateur = user ? user : E.szUtilisateur;
    CString strMotDePasse = password ? password : E.szMotDePasse;
    if (!strModele.IsEmpty()) ParModele(strModele, strUtilisateur, strMotDePasse);

    int resultat = connexion(strUtilisateur, strMotDePasse);
    if (!user && strModele.IsEmpty() && resultat == 0) {
        for (const tIdentifiantsFtp* id : {&D, &B, &A, &C, &H}) {
            resultat = connexion(id->szUtilisateur, id->szMotDePasse);
            if (resultat != 0) break;
        }
    }
    return resultat;
}

} // namespace IdentifiantsFtp
