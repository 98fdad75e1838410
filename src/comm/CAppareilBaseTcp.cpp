#include "comm/CAppareilBaseTcp.h"

namespace {

CString PremiereLigne(CString reponse)
{
    for (int i = 0; i < reponse.GetLength(); ++i) {
        if (reponse[i] == L'\r' || reponse[i] == L'\n')
            return reponse.Left(i);
    }
    return reponse;
}

} // namespace

CAppareilBaseTcp::~CAppareilBaseTcp() = default;

short CAppareilBaseTcp::Initialiser()
{
    ViderReception();
    return EnvoyerCommande(CString(L"*CLS"), 0, 1);
}

short CAppareilBaseTcp::Identifier()
{
    short r = Initialiser();
    if (r != 0) return r;
    CString reponse;
    m_strReponseIdn.clear();
    r = InterrogerSansAmbiguite(reponse, CString(L"*IDN?"));
    if (r != 0) return r;
    m_strReponseIdn = PremiereLigne(reponse);
    const tIdentification id = DecouperIdentification(reponse);
    // A reply that names no maker and model identifies nothing: what was
    // known stays.
    if (!id.EstIdentification()) return 0;
    m_strModele = id.strModele;
    m_strVersion = id.strVersion;
    return 0;
}

bool CAppareilBaseTcp::tIdentification::EstIdentification() const
{
    auto present = [](const CString& champ) { return champ.find_first_not_of(L" \t") != std::wstring::npos; };
    return present(strFabricant) && present(strModele);
}

CAppareilBaseTcp::tIdentification CAppareilBaseTcp::DecouperIdentification(CString reponse)
{
    tIdentification id;
    reponse = PremiereLigne(reponse);
    int virgule = reponse.Find(L',');
    if (virgule < 0) return id;
    id.nChamps = 2;
    id.strFabricant = reponse.Left(virgule);
    reponse = reponse.Mid(virgule + 1);
    virgule = reponse.Find(L',');
    if (virgule < 0) {
        // maker,model: no version.
        id.strModele = reponse;
        return id;
    }
    id.nChamps = 3;
    id.strModele = reponse.Left(virgule);
    reponse = reponse.Mid(virgule + 1);
    virgule = reponse.Find(L',');
    if (virgule >= 0) {
        id.nChamps = 4;
        id.strNumeroSerie = reponse.Left(virgule);
        reponse = reponse.Mid(virgule + 1);
    }
    id.strVersion = reponse;
    return id;
}
