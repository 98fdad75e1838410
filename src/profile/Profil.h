#pragma once
// The host's profile: where the driver keeps its settings (instrument address,
// FTP identification choice, last directories of the file transfer dialog).
//
// A host supplies its own store by implementing IProfil and installing it with
// DefinirProfil; without one, the driver uses an INI file (CProfilIni) at
// $XDG_CONFIG_HOME/otdrdriver/profile.ini. Values absent or of the wrong type
// read as the default given by the caller.

#include <memory>

#include "common/CString.h"
#include "common/Export.h"

class OTDR_EXPORT IProfil
{
public:
    virtual ~IProfil() = default;
    virtual int GetProfileInt(const wchar_t* section, const wchar_t* cle, int defaut) = 0;
    virtual CString GetProfileString(const wchar_t* section, const wchar_t* cle, const wchar_t* defaut) = 0;
    // 1 when stored, 0 when the store could not be written.
    virtual int WriteProfileInt(const wchar_t* section, const wchar_t* cle, int valeur) = 0;
    virtual int WriteProfileString(const wchar_t* section, const wchar_t* cle, const wchar_t* valeur) = 0;
};

// Installs the store the driver uses from now on. A null store means "no
// profile": reads give their defaults and writes are dropped.
OTDR_EXPORT void DefinirProfil(std::shared_ptr<IProfil> profil);

// The store in use: the one installed, or else the default INI store (created
// on first use). Null only after DefinirProfil(nullptr).
OTDR_EXPORT std::shared_ptr<IProfil> ProfilCourant();
