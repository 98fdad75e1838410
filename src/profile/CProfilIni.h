#pragma once
// The default profile store: an INI file in UTF-8, by default
// $XDG_CONFIG_HOME/otdrdriver/profile.ini (~/.config when that is unset).
//
// Every read loads the file afresh and every write re-reads it, changes one
// value and replaces the whole file at once (temporary file in the same folder,
// then rename), so two stores on the same file, in this process or another,
// never undo each other's values and a failed write leaves the old file whole.
// The file is created with mode 0600: it holds the FTP password.
//
// Values are stored as typed; a value with blanks at either end, or one that
// begins and ends with a double quote, is written between double quotes so it
// reads back unchanged. Line breaks cannot be stored: such writes return 0.

#include <filesystem>
#include <mutex>
#include <string>

#include "common/Export.h"
#include "profile/Profil.h"

class OTDR_EXPORT CProfilIni : public IProfil
{
public:
    // An empty path selects the default location.
    explicit CProfilIni(std::filesystem::path chemin = {});
    ~CProfilIni() override;

    static std::filesystem::path CheminParDefaut();
    const std::filesystem::path& Chemin() const { return m_chemin; }

    int GetProfileInt(const wchar_t* section, const wchar_t* cle, int defaut) override;
    CString GetProfileString(const wchar_t* section, const wchar_t* cle, const wchar_t* defaut) override;
    int WriteProfileInt(const wchar_t* section, const wchar_t* cle, int valeur) override;
    int WriteProfileString(const wchar_t* section, const wchar_t* cle, const wchar_t* valeur) override;

protected:
    // Puts the finished temporary file in place of the profile. Tests override
    // it to see what a failed replacement leaves behind.
    virtual bool Remplacer(const std::filesystem::path& temporaire, const std::filesystem::path& cible);

private:
    // The stored value in UTF-8 (quotes removed); false when absent.
    bool Lire(const wchar_t* section, const wchar_t* cle, std::string& valeur);
    // Sets (or, with a null value, removes) one key and rewrites the file.
    int Ecrire(const wchar_t* section, const wchar_t* cle, const std::string* valeur);

    std::filesystem::path m_chemin;
};
