#include "driver/IdentifiantsFtp.h"

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
