#include "comm/CAppareilBaseTcp.h"

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
    r = Interroger(reponse, CString(L"*IDN?"));
    if (r != 0) return r;

    // maker,model,serial,version: fields are kept exactly as sent, spaces included.
    for (int i = 0; i < reponse.GetLength(); ++i) {
        if (reponse[i] == L'\r' || reponse[i] == L'\n') {
            reponse = reponse.Left(i);
            break;
        }
    }
    m_strReponseIdn = reponse;
    int virgule = reponse.Find(L',');
    if (virgule < 0) return 0;
    reponse = reponse.Mid(virgule + 1);
    virgule = reponse.Find(L',');
    if (virgule >= 0) {
        m_strModele = reponse.Left(virgule);
        reponse = reponse.Mid(virgule + 1);
    }
    virgule = reponse.Find(L',');
    if (virgule >= 0) reponse = reponse.Mid(virgule + 1);
    m_strVersion = reponse;
    return 0;
}
