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

protected:
    void DoDataExchange(int bSauver) override;
    // Shows the stored address (empty without a profile).
    int OnInitDialog() override;
    // Stores the address without its surrounding white space (nothing without a
    // profile), then closes with ID_OK.
    void OnOK() override;

private:
    CString m_strAdresse;
};
