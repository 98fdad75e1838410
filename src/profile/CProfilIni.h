#pragma once
// The default profile store: an INI file in UTF-8, by default
// $XDG_CONFIG_HOME/otdrdriver/profile.ini (~/.config when that is unset).
//
// Every read loads the file afresh and every write re-reads it, changes one
// line and replaces the whole file at once (temporary file in the same folder,
// then rename), so two stores on the same file, in this process or another,
// never undo each other's values and a failed write leaves the old file whole.
// Everything else in the file stays as it was, comments and lines this store
// does not understand included.
//
// What the file is, is respected: a symbolic link is written through (its
// target is replaced, the link stays); a file the user may not write, or whose
// owner took the write permission away, is refused, not replaced; a file that
// is not a profile (binary data, not UTF-8, over 1 MiB) is never replaced;
// something other than a regular file (a directory, a FIFO) is refused without
// waiting on it. Those files read as empty (every value its default), and
// Verifier says why. The file is created with mode 0600 (it holds the FTP
// password); an existing file keeps its mode, unless others may read it: it
// is then narrowed to 0600 (and GetDerniereRemarque says so).
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

    // True when the file can serve as the profile (also when it does not exist
    // yet); otherwise false with the reason, for people.
    bool Verifier(std::string& strRaison) const;
    // Why the last write through this object returned 0; empty after a write
    // that succeeded. GetDerniereErreur is the project's name for the last
    // failure told as text (CFTPDirect's too); GetLastError is the facade's.
    std::string GetDerniereErreur() const;
    // What the last successful write changed besides the value (a mode
    // narrowed to 0600); empty when nothing.
    std::string GetDerniereRemarque() const;

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
    // Ecrire's work; false with the reason.
    bool EcrireFichier(const std::string& section, const std::string& cle, const std::string* valeur,
                       std::string& strErreur, std::string& strRemarque);

    std::filesystem::path m_chemin;
    std::string m_strErreur;     // guarded by the store's write lock
    std::string m_strRemarque;
};
