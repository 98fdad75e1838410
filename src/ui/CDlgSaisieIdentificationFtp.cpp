#include "ui/CDlgSaisieIdentificationFtp.h"

#include "ui/IdsControles.h"
#include "ui/Ressources.h"

using namespace IdsControles;

CDlgSaisieIdentificationFtp::CDlgSaisieIdentificationFtp() : CDialogue(Ressources::IDD_IDENTIFICATION_FTP) {}

void CDlgSaisieIdentificationFtp::SetIdentification(int nType, const wchar_t* user, const wchar_t* password)
{
    m_strUtilisateur = user;
    m_strMotDePasse = password;
    m_nTypeIdentification = (nType >= TYPE_KRX11 && nType <= TYPE_AUTRE) ? nType : TYPE_AUTOMATIQUE;
}

int CDlgSaisieIdentificationFtp::GetTypeIdentification() const
{
    return (m_nTypeIdentification >= 0 && m_nTypeIdentification <= TYPE_AUTRE) ? m_nTypeIdentification
                                                                               : TYPE_AUTOMATIQUE;
}

void CDlgSaisieIdentificationFtp::DoDataExchange(int bSauver)
{
    IControle* user = GetDlgItem(IDC_UTILISATEUR);
    IControle* mdp = GetDlgItem(IDC_MOT_DE_PASSE);
    if (bSauver) {
        m_nTypeIdentification = GetRadioCoche(IDC_RADIO_AUTOMATIQUE);
        if (user) m_strUtilisateur = user->GetWindowText();
        if (mdp) m_strMotDePasse = mdp->GetWindowText();
    } else {
        SetRadioCoche(IDC_RADIO_AUTOMATIQUE, m_nTypeIdentification);
        if (user) user->SetWindowText(m_strUtilisateur);
        if (mdp) mdp->SetWindowText(m_strMotDePasse);
    }
}

int CDlgSaisieIdentificationFtp::OnInitDialog()
{
    CDialogue::OnInitDialog();
    ActiverSaisie();
    return 1;
}

void CDlgSaisieIdentificationFtp::ActiverSaisie()
{
    UpdateData(1);
    const bool autre = m_nTypeIdentification == TYPE_AUTRE;
    if (IControle* user = GetDlgItem(IDC_UTILISATEUR)) user->EnableWindow(autre);
    if (IControle* mdp = GetDlgItem(IDC_MOT_DE_PASSE)) mdp->EnableWindow(autre);
}

void CDlgSaisieIdentificationFtp::OnCommande(unsigned nId, tNotification notification, int)
{
    if (notification != tNotification::Clic) return;
    switch (nId) {
    case IDC_RADIO_AUTOMATIQUE:
    case IDC_RADIO_KRX11:
    case IDC_RADIO_KRX12:
    case IDC_RADIO_KRX13:
    case IDC_RADIO_KRX14:
    case IDC_RADIO_KRX15:
    case IDC_RADIO_AUTRE:
        ActiverSaisie();
        break;
    default:
        break;
    }
}
