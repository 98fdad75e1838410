// The small dialogs: configuration, FTP identification (through the facade's
// entry point with no instrument), and the wait window.

#include <gtest/gtest.h>

#include "driver/COtdrDriver.h"
#include "profile/CProfilMemoire.h"
#include "profile/ClesProfil.h"
#include "ui/Attente.h"
#include "ui/CDlgAttente.h"
#include "ui/CDlgSaisieIdentificationFtp.h"
#include "support/FrontalScripte.h"
#include "ui/IdsControles.h"
#include "ui/Ressources.h"

using namespace IdsControles;
using namespace ClesProfil;

namespace {

class DialogsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frontal = std::make_shared<CFrontalScripte>();
        DefinirFrontal(frontal);
        profil = std::make_shared<CProfilMemoire>();
        DefinirProfil(profil);
    }
    void TearDown() override
    {
        DefinirFrontal(nullptr);
        DefinirProfil(std::make_shared<CProfilMemoire>());
    }
    CString Adresse() { return profil->GetProfileString(SECTION_DRIVER, ADRESSE_IP, L"<none>"); }

    std::shared_ptr<CFrontalScripte> frontal;
    std::shared_ptr<CProfilMemoire> profil;
};

void Remplacer(CFenetreScriptee& f, unsigned id, const CString& texte)
{
    f.GetDlgItem(id)->SetWindowText(L"");
    ASSERT_TRUE(f.Taper(id, texte));
}

} // namespace

TEST_F(DialogsTest, ConfigurationShowsTrimsAndStoresTheAddress)
{
    COtdrDriver driver;
    profil->WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"10.1.2.3");

    // Opening shows the stored address; "Connect" stores the typed one without blanks.
    CString vu;
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        vu = f.GetDlgItem(IDC_ADRESSE)->GetWindowText();
        EXPECT_EQ(f.GetWindowText(), CString(L"File transfer : Connection"));
        Remplacer(f, IDC_ADRESSE, L" \t 7lab-box.local  ");
        f.Cliquer(ID_OK);
    });
    EXPECT_EQ(driver.ConfigDriver(), 1);
    EXPECT_EQ(vu, CString(L"10.1.2.3"));
    EXPECT_EQ(Adresse(), CString(L"7lab-box.local"));

    // Cancel after editing (button, Escape, or leaving it open) keeps the stored value.
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        Remplacer(f, IDC_ADRESSE, L"1.1.1.1");
        f.Cliquer(ID_ANNULER);
    });
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        Remplacer(f, IDC_ADRESSE, L"1.1.1.1");
        f.AppuyerEchap();
    });
    EXPECT_EQ(driver.ConfigDriver(7), 0);
    EXPECT_EQ(driver.ConfigDriver(), 0);
    EXPECT_EQ(Adresse(), CString(L"7lab-box.local"));

    // Enter is "Connect"; an empty address is stored as well.
    profil->Vider();
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        vu = f.GetDlgItem(IDC_ADRESSE)->GetWindowText();
        Remplacer(f, IDC_ADRESSE, L"   ");
        f.AppuyerEntree();
    });
    EXPECT_EQ(driver.ConfigDriver(), 1);
    EXPECT_EQ(vu, CString());
    EXPECT_EQ(Adresse(), CString());

    // No profile at all: an empty field, OK still answers 1 and writes nowhere.
    DefinirProfil(nullptr);
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        vu = f.GetDlgItem(IDC_ADRESSE)->GetWindowText();
        Remplacer(f, IDC_ADRESSE, L"host");
        f.Cliquer(ID_OK);
    });
    EXPECT_EQ(driver.ConfigDriver(), 1);
    EXPECT_EQ(vu, CString());
    EXPECT_EQ(frontal->NombreFenetres(), 0);
}

TEST_F(DialogsTest, IdentificationChoicesAreStoredAfterOk)
{
    COtdrDriver driver;  // not started: no model, no FTP client
    profil->WriteProfileInt(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, 6);
    profil->WriteProfileString(SECTION_DRIVER, FTP_LOGIN, L"bob");
    profil->WriteProfileString(SECTION_DRIVER, FTP_PASSWORD, L"pw");

    // Preset from the profile; "KRX 12" disables the edits, whose texts are still stored.
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        EXPECT_EQ(f.GetDlgItem(IDC_RADIO_AUTRE)->GetCheck(), 1);
        EXPECT_TRUE(f.GetDlgItem(IDC_UTILISATEUR)->IsWindowEnabled());
        EXPECT_EQ(f.GetDlgItem(IDC_UTILISATEUR)->GetWindowText(), CString(L"bob"));
        EXPECT_EQ(f.GetDlgItem(IDC_MOT_DE_PASSE)->GetWindowText(), CString(L"pw"));
        ASSERT_TRUE(f.Taper(IDC_UTILISATEUR, L"by"));
        ASSERT_TRUE(f.Cliquer(IDC_RADIO_KRX12));
        EXPECT_FALSE(f.GetDlgItem(IDC_UTILISATEUR)->IsWindowEnabled());
        EXPECT_FALSE(f.GetDlgItem(IDC_MOT_DE_PASSE)->IsWindowEnabled());
        EXPECT_FALSE(f.Taper(IDC_MOT_DE_PASSE, L"x"));
        f.Cliquer(ID_OK);
    });
    // Not connected: the choice is made and saved, then no login is possible.
    EXPECT_EQ(driver.FileTransfertAvecDemandeLogin(), 0);
    EXPECT_EQ(profil->GetProfileInt(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, -1), 2);
    EXPECT_EQ(profil->GetProfileString(SECTION_DRIVER, FTP_LOGIN, L""), CString(L"bobby"));
    EXPECT_EQ(profil->GetProfileString(SECTION_DRIVER, FTP_PASSWORD, L""), CString(L"pw"));

    // "Other :" enables the edits again; the typed password is stored as typed.
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        EXPECT_EQ(f.GetDlgItem(IDC_RADIO_KRX12)->GetCheck(), 1);
        ASSERT_TRUE(f.Cliquer(IDC_RADIO_AUTRE));
        Remplacer(f, IDC_UTILISATEUR, L"ana");
        Remplacer(f, IDC_MOT_DE_PASSE, L" s3cret ");
        f.AppuyerEntree();
    });
    EXPECT_EQ(driver.FileTransfertAvecDemandeLogin(), 0);
    EXPECT_EQ(profil->GetProfileInt(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, -1), 6);
    EXPECT_EQ(profil->GetProfileString(SECTION_DRIVER, FTP_LOGIN, L""), CString(L"ana"));
    EXPECT_EQ(profil->GetProfileString(SECTION_DRIVER, FTP_PASSWORD, L""), CString(L" s3cret "));

    // Cancel: 1, nothing written.
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        f.Cliquer(IDC_RADIO_KRX11);
        f.Cliquer(ID_ANNULER);
    });
    EXPECT_EQ(driver.FileTransfertAvecDemandeLogin(), 1);
    EXPECT_EQ(profil->GetProfileInt(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, -1), 6);

    // A stored type out of range opens on "Automatic" and is stored back as 0.
    profil->WriteProfileInt(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, 9);
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        EXPECT_EQ(f.GetDlgItem(IDC_RADIO_AUTOMATIQUE)->GetCheck(), 1);
        EXPECT_FALSE(f.GetDlgItem(IDC_UTILISATEUR)->IsWindowEnabled());
        f.Cliquer(ID_OK);
    });
    EXPECT_EQ(driver.FileTransfertAvecDemandeLogin(), 0);
    EXPECT_EQ(profil->GetProfileInt(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, -1), 0);
    // No transfer dialog was ever run.
    for (unsigned id : frontal->ModauxLances()) EXPECT_EQ(id, 2087u);
}

TEST_F(DialogsTest, IdentificationTypeOutOfRangeBecomesAutomatic)
{
    CDlgSaisieIdentificationFtp dlg;
    EXPECT_EQ(dlg.GetTypeIdentification(), 0);  // nothing chosen yet
    for (int type : {-1, 0, 7}) {
        dlg.SetIdentification(type, L"u", L"p");
        EXPECT_EQ(dlg.GetTypeIdentification(), 0) << type;
    }
    dlg.SetIdentification(4, nullptr, L"p");
    EXPECT_EQ(dlg.GetTypeIdentification(), 4);
    EXPECT_EQ(dlg.GetUtilisateur(), CString());
    // Headless: the run ends with Cancel and the preset stays.
    DefinirFrontal(nullptr);
    EXPECT_EQ(dlg.DoModal(), ID_ANNULER);
    EXPECT_EQ(dlg.GetTypeIdentification(), 4);
}

TEST_F(DialogsTest, WaitWindowIgnoresEnterAndEscapeAndIsReplaced)
{
    AfficherAttente(Ressources::ChargerChaine(Ressources::IDS_CONNEXION), Ressources::IDR_ANIM_CONNEXION);
    ASSERT_EQ(frontal->NombreFenetres(), 1);
    CFenetreScriptee* f = frontal->Fenetre(Ressources::IDD_ATTENTE);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->EstVisible());
    EXPECT_EQ(f->GetWindowText(), CString(L"Connecting ..."));
    EXPECT_EQ(f->GetDlgItem(IDC_ANIMATION)->GetAnimation(), 2080u);
    EXPECT_TRUE(f->GetDlgItem(IDC_ANIMATION)->AnimationEnCours());
    f->AppuyerEntree();
    f->AppuyerEchap();
    EXPECT_FALSE(f->EstTerminee());
    EXPECT_EQ(frontal->NombreFenetres(), 1);

    // A new text replaces the window; only one is ever there.
    AfficherAttente(L"Disconnecting ...", Ressources::IDR_ANIM_DECONNEXION);
    ASSERT_EQ(frontal->NombreFenetres(), 1);
    f = frontal->Fenetre(Ressources::IDD_ATTENTE);
    EXPECT_EQ(f->GetWindowText(), CString(L"Disconnecting ..."));
    EXPECT_EQ(f->GetDlgItem(IDC_ANIMATION)->GetAnimation(), 2084u);

    // No text: removed, whatever the id.
    AfficherAttente(nullptr, Ressources::IDR_ANIM_FIN);
    EXPECT_EQ(frontal->NombreFenetres(), 0);

    // Animation 0: the caption alone.
    {
        CDlgAttente attente(L"Trace transfer ...", 0);
        f = frontal->Fenetre(Ressources::IDD_ATTENTE);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->GetWindowText(), CString(L"Trace transfer ..."));
        EXPECT_EQ(f->GetDlgItem(IDC_ANIMATION)->GetAnimation(), 0u);
        EXPECT_FALSE(f->GetDlgItem(IDC_ANIMATION)->AnimationEnCours());
    }
    EXPECT_EQ(frontal->NombreFenetres(), 0);

    // Back to headless: the wait window goes with the front end and the hook does nothing.
    AfficherAttente(L"Connecting ...", 2080);
    EXPECT_EQ(frontal->NombreFenetres(), 1);
    DefinirFrontal(nullptr);
    EXPECT_EQ(frontal->NombreFenetres(), 0);
    AfficherAttente(L"Connecting ...", 2080);
    EXPECT_EQ(frontal->NombreFenetres(), 0);
}
