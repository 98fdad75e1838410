#pragma once
// A profile kept in memory only: for tests and for hosts that keep their
// settings elsewhere and copy them in. Thread-safe. Section and key names
// compare without regard to ASCII case, as in the INI store.

#include <map>
#include <mutex>
#include <string>

#include "common/Export.h"
#include "profile/Profil.h"

class OTDR_EXPORT CProfilMemoire : public IProfil
{
public:
    CProfilMemoire() = default;

    int GetProfileInt(const wchar_t* section, const wchar_t* cle, int defaut) override;
    CString GetProfileString(const wchar_t* section, const wchar_t* cle, const wchar_t* defaut) override;
    int WriteProfileInt(const wchar_t* section, const wchar_t* cle, int valeur) override;
    int WriteProfileString(const wchar_t* section, const wchar_t* cle, const wchar_t* valeur) override;

    // 1 when the key holds a value.
    int Contient(const wchar_t* section, const wchar_t* cle) const;
    void Effacer(const wchar_t* section, const wchar_t* cle);
    void Vider();

private:
    // Names folded to lower case (ASCII) so lookups ignore case.
    using tCle = std::pair<std::wstring, std::wstring>;
    static tCle Cle(const wchar_t* section, const wchar_t* cle);

    mutable std::mutex m_mutex;
    std::map<tCle, std::wstring> m_valeurs;
};
