#pragma once
// The FTP identification dialog: which kind of instrument is connected
// (Automatic, KRX 11 to KRX 15, or Other with a user name and a password).
// The two edits are usable only while "Other :" is chosen.

#include "common/CString.h"
#include "common/Export.h"
#include "ui/CDialogue.h"

class CDlgSaisieIdentificationFtp : public CDialogue
{
public:
    // Radio indexes, in the group's order.
    enum : int {
        TYPE_AUTOMATIQUE = 0,
        TYPE_KRX11 = 1,
        TYPE_KRX12 = 2,
        TYPE_KRX13 = 3,
        TYPE_KRX14 = 4,
        TYPE_KRX15 = 5,
        TYPE_AUTRE = 6,
    };

    CDlgSaisieIdentificationFtp();

    // Presets the dialog; a type outside 1 to 6 means Automatic.
    void SetIdentification(int nType, const wchar_t* user, const wchar_t* password);
    // 0 to 6 (no radio chosen counts as Automatic).
    int GetTypeIdentification() const;
    CString GetUtilisateur() const { return m_strUtilisateur; }
    CString GetMotDePasse() const { return m_strMotDePasse; }

    // Reads the controls, then enables the two edits only for "Other :".
    void ActiverSaisie();

protected:
    void DoDataExchange(int bSauver) override;
    int OnInitDialog() override;
    void OnCommande(unsigned nId, tNotification notification, int nParametre) override;

private:
    int m_nTypeIdentification = -1;
    CString m_strUtilisateur;
    CString m_strMotDePasse;
};
