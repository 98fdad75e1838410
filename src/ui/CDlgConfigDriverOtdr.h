#pragma once
// The configuration dialog: the instrument's address or host name, kept in the
// profile ("OTDR Driver" / "Adress IP"). "Connect" only stores the address;
// the host connects afterwards with StartDriver.

#include "common/CString.h"
#include "common/Export.h"
#include "ui/CDialogue.h"

class CDlgConfigDriverOtdr : public CDialogue
{
public:
    CDlgConfigDriverOtdr();

    const CString& GetAdresse() const { return m_strAdresse; }

    // A valid IPv4 address (four numbers from 0 to 255), a plausible host
    // name (letters, digits and hyphens in dot-separated labels of at most 63
    // characters, not all numbers), or an IPv6 address (hex digits and
    // colons). "999.1.1.1" and "field unit 7" are none of these.
    static bool AdressePlausible(const CString& strAdresse);

protected:
    void DoDataExchange(int bSauver) override;
    // Shows the stored address (empty without a profile).
    int OnInitDialog() override;
    // Stores the address without its surrounding white space (nothing without a
    // profile), then closes with ID_OK. An address that is not plausible is
    // stored only when the user confirms it; otherwise the dialog stays.
    void OnOK() override;

private:
    CString m_strAdresse;
};
