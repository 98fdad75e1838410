#include "ui/CDlgConfigDriverOtdr.h"

#include <string>
#include <vector>

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
    m_strAdresse.Trim();
    if (!m_strAdresse.IsEmpty() && !AdressePlausible(m_strAdresse)) {
        CString strQuestion;
        strQuestion.Format(Ressources::ChargerChaine(Ressources::IDS_ADRESSE_DOUTEUSE), m_strAdresse.c_str());
        if (MessageBox(strQuestion, tBoutonsMessage::OuiNon) != ID_OUI) {
            if (IControle* edit = GetDlgItem(IdsControles::IDC_ADRESSE)) {
                edit->SetFocus();
                edit->SetSel(0, -1);
            }
            return;
        }
    }
    if (auto profil = ProfilCourant())
        profil->WriteProfileString(ClesProfil::SECTION_DRIVER, ClesProfil::ADRESSE_IP, m_strAdresse);
    EndDialog(ID_OK);
}

namespace {

bool EstChiffre(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool EstLettre(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool EstHexa(wchar_t c) { return EstChiffre(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }

std::vector<CString> Etiquettes(const CString& s)
{
    std::vector<CString> v(1);
    for (wchar_t c : s) {
        if (c == L'.') v.emplace_back();
        else v.back() += c;
    }
    return v;
}

bool EstIpv4(const std::vector<CString>& etiquettes)
{
    if (etiquettes.size() != 4) return false;
    for (const CString& e : etiquettes) {
        if (e.empty() || e.size() > 3) return false;
        for (wchar_t c : e)
            if (!EstChiffre(c)) return false;
        if (std::stoi(e) > 255) return false;
    }
    return true;
}

bool EstNomHote(const CString& s, const std::vector<CString>& etiquettes)
{
    if (s.size() > 253) return false;
    bool bQueChiffres = true;
    for (const CString& e : etiquettes) {
        if (e.empty() || e.size() > 63 || e.front() == L'-' || e.back() == L'-') return false;
        for (wchar_t c : e) {
            if (!EstChiffre(c) && !EstLettre(c) && c != L'-') return false;
            bQueChiffres = bQueChiffres && EstChiffre(c);
        }
    }
    // Numbers and dots alone would be an IPv4 address, and were not one.
    return !bQueChiffres;
}

bool EstIpv6(const CString& s)
{
    int nDeuxPoints = 0;
    for (wchar_t c : s) {
        if (c == L':') ++nDeuxPoints;
        else if (!EstHexa(c) && c != L'.') return false;
    }
    return nDeuxPoints >= 2 && s.size() <= 45;
}

} // namespace

bool CDlgConfigDriverOtdr::AdressePlausible(const CString& strAdresse)
{
    const std::vector<CString> etiquettes = Etiquettes(strAdresse);
    return EstIpv4(etiquettes) || EstNomHote(strAdresse, etiquettes) || EstIpv6(strAdresse);
}
