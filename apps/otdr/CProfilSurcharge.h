#pragma once
// A profile store that shows values given on the command line in place of the
// stored ones, without writing them: "otdr --address A identify" must reach A
// through the driver (which reads the profile) and leave the user's profile as
// it was. Writes, and every other key, go to the underlying store.

#include <map>
#include <memory>
#include <string>

#include "profile/Profil.h"

class CProfilSurcharge : public IProfil
{
public:
    explicit CProfilSurcharge(std::shared_ptr<IProfil> base) : m_pBase(std::move(base)) {}

    void SurchargerChaine(const wchar_t* section, const wchar_t* cle, const std::wstring& valeur)
    {
        m_chaines[Cle(section, cle)] = valeur;
    }
    void SurchargerEntier(const wchar_t* section, const wchar_t* cle, int valeur)
    {
        m_entiers[Cle(section, cle)] = valeur;
    }

    int GetProfileInt(const wchar_t* section, const wchar_t* cle, int defaut) override
    {
        auto it = m_entiers.find(Cle(section, cle));
        if (it != m_entiers.end()) return it->second;
        return m_pBase ? m_pBase->GetProfileInt(section, cle, defaut) : defaut;
    }
    CString GetProfileString(const wchar_t* section, const wchar_t* cle, const wchar_t* defaut) override
    {
        auto it = m_chaines.find(Cle(section, cle));
        if (it != m_chaines.end()) return it->second;
        return m_pBase ? m_pBase->GetProfileString(section, cle, defaut) : CString(defaut);
    }
    int WriteProfileInt(const wchar_t* section, const wchar_t* cle, int valeur) override
    {
        return m_pBase ? m_pBase->WriteProfileInt(section, cle, valeur) : 0;
    }
    int WriteProfileString(const wchar_t* section, const wchar_t* cle, const wchar_t* valeur) override
    {
        return m_pBase ? m_pBase->WriteProfileString(section, cle, valeur) : 0;
    }

private:
    static std::wstring Cle(const wchar_t* section, const wchar_t* cle)
    {
        std::wstring s = std::wstring(section ? section : L"") + L'\n' + (cle ? cle : L"");
        for (wchar_t& c : s)
            if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        return s;
    }

    std::shared_ptr<IProfil> m_pBase;
    std::map<std::wstring, std::wstring> m_chaines;
    std::map<std::wstring, int> m_entiers;
};
