#include "ui/CDlgConfigDriverOtdr.h"

#include "profile/ClesProfil.h"
#include "profile/Profil.h"
#include "ui/IdsControles.h"
#include "ui/Ressources.h"

CDlgConfigDriverOtdr::CDlgConfigDriverOtdr() : CDialogue(Ressources::IDD_CONFIG_DRIVER) {}

void CDlgConfigDriverOtdr::DoDataExchange(int bSauver)
{
    IControle* edit = GetDlgItem(IdsControles::IDC_ADRESSE);
    if (!edit) return;
    if (bSauver)
        m_strAdresse = edit->GetWindowText();
    else
        edit->SetWindowText(m_strAdresse);
}

int CDlgConfigDriverOtdr::OnInitDialog()
{
    CDialogue::OnInitDialog();
    if (auto profil = ProfilCourant())
        m_strAdresse = profil->GetProfileString(ClesProfil::SECTION_DRIVER, ClesProfil::ADRESSE_IP, L"");
    UpdateData(0);
    UpdateData(1);
    return 1;
}

void CDlgConfigDriverOtdr::OnOK()
{
    UpdateData(1);
    if (auto profil = ProfilCourant()) {
        m_strAdresse.Trim();
        profil->WriteProfileString(ClesProfil::SECTION_DRIVER, ClesProfil::ADRESSE_IP, m_strAdresse);
    }
    EndDialog(ID_OK);
}
