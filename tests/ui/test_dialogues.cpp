// The small dialogs: configuration, FTP identification (through the facade's
// entry point with no instrument), and the wait window.

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "driver/COtdrDriver.h"
#include "profile/CProfilMemoire.h"
#include "profile/ClesProfil.h"
#include "support/FrontalScripte.h"
#include "ui/Attente.h"
#include "ui/CDlgAttente.h"
#include "ui/CDlgConfigDriverOtdr.h"
#include "ui/CDlgSaisieIdentificationFtp.h"
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
        DefinirFrontal(frontal);
        DefinirProfil(profil);
    }
    void TearDown() override
    {
        DefinirFrontal(nullptr);
        DefinirProfil(std::make_shared<CProfilMemoire>());
    }
    CString Adresse() { return profil->GetProfileString(SECTION_DRIVER, ADRESSE_IP, L"<none>"); }
    void StockerIdentification(int type, const wchar_t* login, const wchar_t* motDePasse)
    {
        profil->WriteProfileInt(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, type);
        profil->WriteProfileString(SECTION_DRIVER, FTP_LOGIN, login);
        profil->WriteProfileString(SECTION_DRIVER, FTP_PASSWORD, motDePasse);
    }
    int TypeStocke() { return profil->GetProfileInt(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, -1); }
    CString Stocke(const wchar_t* cle) { return profil->GetProfileString(SECTION_DRIVER, cle, L"<none>"); }
    CFenetreScriptee* Attente() { return frontal->Fenetre(Ressources::IDD_ATTENTE); }

    std::shared_ptr<CFrontalScripte> frontal = std::make_shared<CFrontalScripte>();
    std::shared_ptr<CProfilMemoire> profil = std::make_shared<CProfilMemoire>();
    COtdrDriver driver;  // not started: no model, no FTP client
};

void Remplacer(CFenetreScriptee& f, unsigned id, const CString& texte)
{
    f.GetDlgItem(id)->SetWindowText(L"");
    ASSERT_TRUE(f.Taper(id, texte));
}

} // namespace

TEST_F(DialogsTest, ConfigurationShowsTheStoredAddressAndConnectStoresTheTypedOneTrimmed)
{
    profil->WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"10.1.2.3");
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
}

TEST_F(DialogsTest, AnImplausibleAddressIsStoredOnlyWhenConfirmed)
{
    struct tCas { const wchar_t* pszAdresse; bool bPlausible; };
    const tCas cas[] = {{L"192.168.1.7", true}, {L"7lab-box.local", true}, {L"otdr", true}, {L"fe80::1", true},
                        {L"999.1.1.1", false}, {L"field unit 7", false}, {L"1.2.3", false}, {L"-box.lab", false},
                        {L"a..b", false}, {L"host_name", false}};
    for (const tCas& c : cas)
        EXPECT_EQ(CDlgConfigDriverOtdr::AdressePlausible(c.pszAdresse), c.bPlausible)
            << std::string(c.pszAdresse, c.pszAdresse + wcslen(c.pszAdresse));
    for (int reponse : {ID_NON, ID_OUI}) {
        profil->WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"10.1.2.3");
        frontal->EffacerMessages();
        bool bOuvert = false;
        frontal->AjouterReponseMessage(reponse);
        frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
            Remplacer(f, IDC_ADRESSE, L"999.1.1.1");
            f.Cliquer(ID_OK);
            // Refused: the dialog stays, the address in the field to correct.
            bOuvert = !f.EstTerminee();
            if (bOuvert) {
                EXPECT_EQ(f.GetFocus(), f.GetDlgItem(IDC_ADRESSE));
                f.Cliquer(ID_ANNULER);
            }
        });
        driver.ConfigDriver();
        ASSERT_EQ(frontal->Messages().size(), 1u);
        EXPECT_NE(frontal->Messages()[0].Find(L"\"999.1.1.1\" is neither an IPv4 address"), -1);
        EXPECT_EQ(bOuvert, reponse == ID_NON);
        EXPECT_EQ(Adresse(), CString(reponse == ID_OUI ? L"999.1.1.1" : L"10.1.2.3"));
    }
}

TEST_F(DialogsTest, ConfigurationCancelledKeepsTheStoredAddress)
{
    profil->WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"10.1.2.3");
    // Cancel, Escape, or the close box of a dialog left open.
    for (int geste = 0; geste < 3; ++geste) {
        frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
            Remplacer(f, IDC_ADRESSE, L"1.1.1.1");
            if (geste == 0) f.Cliquer(ID_ANNULER);
            if (geste == 1) f.AppuyerEchap();
        });
        EXPECT_EQ(driver.ConfigDriver(7), 0) << geste;
        EXPECT_EQ(Adresse(), CString(L"10.1.2.3")) << geste;
    }
}

TEST_F(DialogsTest, ConfigurationEnterConnectsAndStoresABlankAddressAsEmpty)
{
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        EXPECT_EQ(f.GetDlgItem(IDC_ADRESSE)->GetWindowText(), CString());
        Remplacer(f, IDC_ADRESSE, L"   ");
        f.AppuyerEntree();
    });
    EXPECT_EQ(driver.ConfigDriver(), 1);
    EXPECT_EQ(Adresse(), CString());
}

TEST_F(DialogsTest, EnterWithTheFocusOnCancelCancels)
{
    profil->WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"10.1.2.3");
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        Remplacer(f, IDC_ADRESSE, L"1.1.1.1");
        ASSERT_TRUE(f.DonnerFocus(ID_ANNULER));
        f.AppuyerEntree();
    });
    EXPECT_EQ(driver.ConfigDriver(), 0);
    EXPECT_EQ(Adresse(), CString(L"10.1.2.3"));

    StockerIdentification(2, L"", L"");
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        ASSERT_TRUE(f.Cliquer(IDC_RADIO_KRX11));
        ASSERT_TRUE(f.DonnerFocus(ID_ANNULER));
        f.AppuyerEntree();
    });
    EXPECT_EQ(driver.FileTransfertAvecDemandeLogin(), 1);
    EXPECT_EQ(TypeStocke(), 2);
    // Elsewhere Enter is the default button: OK.
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        ASSERT_TRUE(f.Cliquer(IDC_RADIO_KRX11));
        f.AppuyerEntree();
    });
    EXPECT_EQ(driver.FileTransfertAvecDemandeLogin(), 0);
    EXPECT_EQ(TypeStocke(), 1);
}

TEST_F(DialogsTest, ConfigurationWithoutProfileStillConnects)
{
    DefinirProfil(nullptr);
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        EXPECT_EQ(f.GetDlgItem(IDC_ADRESSE)->GetWindowText(), CString());
        Remplacer(f, IDC_ADRESSE, L"host");
        f.Cliquer(ID_OK);
    });
    EXPECT_EQ(driver.ConfigDriver(), 1);
    EXPECT_EQ(frontal->NombreFenetres(), 0);
}

TEST_F(DialogsTest, IdentificationFixedTypeDisablesTheEditsAndStillStoresTheirTexts)
{
    StockerIdentification(6, L"bob", L"pw");
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        EXPECT_EQ(f.GetDlgItem(IDC_RADIO_AUTRE)->GetCheck(), 1);
        EXPECT_EQ(f.GetDlgItem(IDC_UTILISATEUR)->GetWindowText(), CString(L"bob"));
        EXPECT_EQ(f.GetDlgItem(IDC_MOT_DE_PASSE)->GetWindowText(), CString(L"pw"));
        ASSERT_TRUE(f.Taper(IDC_UTILISATEUR, L"by"));
        ASSERT_TRUE(f.Cliquer(IDC_RADIO_KRX12));
        EXPECT_FALSE(f.GetDlgItem(IDC_UTILISATEUR)->IsWindowEnabled());
        EXPECT_FALSE(f.Taper(IDC_MOT_DE_PASSE, L"x"));
        f.Cliquer(ID_OK);
    });
    // Not connected: the choice is made and saved, then no login is possible.
    EXPECT_EQ(driver.FileTransfertAvecDemandeLogin(), 0);
    EXPECT_EQ(TypeStocke(), 2);
    EXPECT_EQ(Stocke(FTP_LOGIN), CString(L"bobby"));
    EXPECT_EQ(Stocke(FTP_PASSWORD), CString(L"pw"));
    // No transfer dialog was run.
    EXPECT_EQ(frontal->ModauxLances(), std::vector<unsigned>{Ressources::IDD_IDENTIFICATION_FTP});
}

TEST_F(DialogsTest, IdentificationOtherStoresTheCredentialsAsTyped)
{
    StockerIdentification(2, L"bob", L"pw");
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        EXPECT_FALSE(f.GetDlgItem(IDC_UTILISATEUR)->IsWindowEnabled());
        ASSERT_TRUE(f.Cliquer(IDC_RADIO_AUTRE));
        Remplacer(f, IDC_UTILISATEUR, L"ana");
        Remplacer(f, IDC_MOT_DE_PASSE, L" s3cret ");
        f.AppuyerEntree();
    });
    EXPECT_EQ(driver.FileTransfertAvecDemandeLogin(), 0);
    EXPECT_EQ(TypeStocke(), 6);
    EXPECT_EQ(Stocke(FTP_LOGIN), CString(L"ana"));
    EXPECT_EQ(Stocke(FTP_PASSWORD), CString(L" s3cret "));
}

TEST_F(DialogsTest, IdentificationCancelledAnswersOneAndStoresNothing)
{
    StockerIdentification(6, L"bob", L"pw");
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        f.Cliquer(IDC_RADIO_KRX11);
        f.Cliquer(ID_ANNULER);
    });
    EXPECT_EQ(driver.FileTransfertAvecDemandeLogin(), 1);
    EXPECT_EQ(TypeStocke(), 6);
}

TEST_F(DialogsTest, IdentificationTypeOutOfRangeOpensOnAutomatic)
{
    StockerIdentification(9, L"bob", L"pw");
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        EXPECT_EQ(f.GetDlgItem(IDC_RADIO_AUTOMATIQUE)->GetCheck(), 1);
        EXPECT_FALSE(f.GetDlgItem(IDC_UTILISATEUR)->IsWindowEnabled());
        f.Cliquer(ID_OK);
    });
    EXPECT_EQ(driver.FileTransfertAvecDemandeLogin(), 0);
    EXPECT_EQ(TypeStocke(), 0);

    CDlgSaisieIdentificationFtp dlg;
    for (int type : {-1, 0, 7}) {
        dlg.SetIdentification(type, L"u", L"p");
        EXPECT_EQ(dlg.GetTypeIdentification(), 0) << type;
    }
}

TEST_F(DialogsTest, WaitWindowPlaysItsClipAndIgnoresEnterAndEscape)
{
    AfficherAttente(Ressources::ChargerChaine(Ressources::IDS_CONNEXION), Ressources::IDR_ANIM_CONNEXION);
    CFenetreScriptee* f = Attente();
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->EstVisible());
    EXPECT_EQ(f->GetWindowText(), CString(L"Connecting ..."));
    EXPECT_EQ(f->GetDlgItem(IDC_ANIMATION)->GetAnimation(), 2080u);
    EXPECT_TRUE(f->GetDlgItem(IDC_ANIMATION)->AnimationEnCours());
    f->AppuyerEntree();
    f->AppuyerEchap();
    EXPECT_FALSE(f->EstTerminee());
    EXPECT_EQ(frontal->NombreFenetres(), 1);
    AfficherAttente(nullptr, 0);
}

TEST_F(DialogsTest, WaitWindowIsReplacedByANewTextAndRemovedWithoutOne)
{
    AfficherAttente(L"Connecting ...", Ressources::IDR_ANIM_CONNEXION);
    AfficherAttente(L"Disconnecting ...", Ressources::IDR_ANIM_DECONNEXION);
    ASSERT_EQ(frontal->NombreFenetres(), 1);
    EXPECT_EQ(Attente()->GetWindowText(), CString(L"Disconnecting ..."));
    EXPECT_EQ(Attente()->GetDlgItem(IDC_ANIMATION)->GetAnimation(), 2084u);
    AfficherAttente(nullptr, Ressources::IDR_ANIM_FIN);  // whatever the id
    EXPECT_EQ(frontal->NombreFenetres(), 0);
}

TEST_F(DialogsTest, WaitWindowWithoutClipShowsItsCaptionAlone)
{
    CDlgAttente attente(L"Trace transfer ...", 0);
    ASSERT_NE(Attente(), nullptr);
    EXPECT_EQ(Attente()->GetWindowText(), CString(L"Trace transfer ..."));
    EXPECT_EQ(Attente()->GetDlgItem(IDC_ANIMATION)->GetAnimation(), 0u);
    EXPECT_FALSE(Attente()->GetDlgItem(IDC_ANIMATION)->AnimationEnCours());
}

TEST_F(DialogsTest, WaitWindowGoesWithTheFrontEndAndHeadlessShowsNone)
{
    AfficherAttente(L"Connecting ...", 2080);
    EXPECT_EQ(frontal->NombreFenetres(), 1);
    DefinirFrontal(nullptr);
    EXPECT_EQ(frontal->NombreFenetres(), 0);
    AfficherAttente(L"Connecting ...", 2080);
    EXPECT_EQ(frontal->NombreFenetres(), 0);
}
