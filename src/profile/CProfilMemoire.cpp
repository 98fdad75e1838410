#include "profile/CProfilMemoire.h"

#include "profile/ValeursProfil.h"

CProfilMemoire::tCle CProfilMemoire::Cle(const wchar_t* section, const wchar_t* cle)
{
    return {ValeursProfil::NomSansCasse(section), ValeursProfil::NomSansCasse(cle)};
}

int CProfilMemoire::GetProfileInt(const wchar_t* section, const wchar_t* cle, int defaut)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    auto it = m_valeurs.find(Cle(section, cle));
    int valeur = defaut;
    if (it != m_valeurs.end() && ValeursProfil::LireEntier(it->second, valeur)) return valeur;
    return defaut;
}

CString CProfilMemoire::GetProfileString(const wchar_t* section, const wchar_t* cle, const wchar_t* defaut)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    auto it = m_valeurs.find(Cle(section, cle));
    if (it != m_valeurs.end()) return CString(it->second);
    return CString(defaut);
}

int CProfilMemoire::WriteProfileInt(const wchar_t* section, const wchar_t* cle, int valeur)
{
    return WriteProfileString(section, cle, std::to_wstring(valeur).c_str());
}

int CProfilMemoire::WriteProfileString(const wchar_t* section, const wchar_t* cle, const wchar_t* valeur)
{
    if (!section || !cle) return 0;
    std::lock_guard<std::mutex> verrou(m_mutex);
    // A null value removes the key, as the framework's profile did.
    if (!valeur)
        m_valeurs.erase(Cle(section, cle));
    else
        m_valeurs[Cle(section, cle)] = valeur;
    return 1;
}

int CProfilMemoire::Contient(const wchar_t* section, const wchar_t* cle) const
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    return m_valeurs.count(Cle(section, cle)) ? 1 : 0;
}

void CProfilMemoire::Effacer(const wchar_t* section, const wchar_t* cle)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_valeurs.erase(Cle(section, cle));
}

void CProfilMemoire::Vider()
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_valeurs.clear();
}
