#include "comm/CGenericCom.h"

#include "common/TableChaines.h"

const CRuntimeClass CGenericCom::classCGenericCom = {"CGenericCom", &CObject::classCObject};

CGenericCom::~CGenericCom() = default;

const CRuntimeClass* CGenericCom::GetRuntimeClass() const { return &classCGenericCom; }

void CGenericCom::CopierEtat(CGenericCom* pDestination)
{
    if (pDestination == nullptr) return;
    pDestination->m_nEtat = m_nEtat;
    pDestination->m_cParam1 = m_cParam1;
    pDestination->m_cParam2 = m_cParam2;
}

CString CGenericCom::GetMessageErreur(short nCode)
{
    switch (nCode) {
    case COM_TIMEOUT: return Ressources::Chaine(Ressources::IDS_COMM_TIMEOUT);
    case COM_ECHEC_SUPPORT: return Ressources::Chaine(Ressources::IDS_COMM_SUPPORT);
    case COM_ECHEC: return Ressources::Chaine(Ressources::IDS_COMM_ECHEC);
    case COM_MODEM_OCCUPE: return Ressources::Chaine(Ressources::IDS_MODEM_OCCUPE);
    case COM_ECHEC_MODEM: return Ressources::Chaine(Ressources::IDS_MODEM_ECHEC);
    default: return CString();
    }
}

CString CGenericCom::SupprimerCaractere(char c, CString strTexte)
{
    // The character is taken as a signed byte: bytes from 128 up become negative
    // and match nothing.
    const wchar_t w = static_cast<wchar_t>(static_cast<signed char>(c));
    CString resultat;
    resultat.reserve(strTexte.size());
    for (wchar_t x : strTexte)
        if (x != w) resultat.push_back(x);
    return resultat;
}
