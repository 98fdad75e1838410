// A whole session as a user would run it, against the simulator: the facade
// logs in by the instrument's model, the transfer dialog copies a tree down,
// the tree is changed locally and copied back up, then removed remotely.

#include <gtest/gtest.h>

#include <filesystem>

#include "common/Conversions.h"
#include "driver/COtdrDriver.h"
#include "profile/CProfilMemoire.h"
#include "profile/ClesProfil.h"
#include "support/ProcessusTest.h"
#include "support/RepertoireTemp.h"
#include "support/FrontalScripte.h"
#include "ui/IdsControles.h"

namespace fs = std::filesystem;
using namespace IdsControles;
using namespace ClesProfil;

namespace {

int Index(IControle* liste, const CString& texte)
{
    for (int i = 0; i < liste->GetCount(); ++i)
        if (liste->GetText(i) == texte) return i;
    return -1;
}

} // namespace

TEST(TransferSession, DownChangeUpAndRemoveThroughTheFacade)
{
    CRepertoireTemp distant("otdr-session-distant");
    CRepertoireTemp local("otdr-session-local");
    distant.Ecrire("traces/a.sor", "AAAA");
    distant.Ecrire("traces/sub/b.sor", std::string(70000, 'b'));
    distant.Ecrire("traces/sub/deep/c.sor", "CCC");
    fs::create_directories(distant.Chemin() / "incoming");

    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSimulateur(sim, {"--model", "KRX 15", "--ftp-root", distant.Chemin().string()}));

    auto frontal = std::make_shared<CFrontalScripte>();
    DefinirFrontal(frontal);
    auto profil = std::make_shared<CProfilMemoire>();
    DefinirProfil(profil);
    profil->WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"127.0.0.1");
    profil->WriteProfileInt(SECTION_DRIVER, PORT, sim.Port("command"));
    profil->WriteProfileInt(SECTION_DRIVER, FTP_PORT, sim.Port("ftp"));
    profil->WriteProfileString(SECTION_FTPDIRECT, REP_LOCAL, Utf8ToWide(local.Chemin().string() + "/").c_str());

    COtdrDriver driver;
    ASSERT_EQ(driver.StartDriver(), 1);
    ASSERT_EQ(driver.IsConnexionEnCours(), 1);

    bool joue = false;
    frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        joue = true;
        IControle* repsDistants = f.GetDlgItem(IDC_REPS_DISTANTS);
        IControle* repsLocaux = f.GetDlgItem(IDC_REPS_LOCAUX);
        // The posted refresh has listed the instrument's root.
        ASSERT_GE(Index(repsDistants, L"[traces]"), 0);

        // Down.
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(repsDistants, L"[traces]")));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        EXPECT_EQ(CRepertoireTemp::Lire(local.Chemin() / "traces/sub/deep/c.sor"), "CCC");
        EXPECT_EQ(CRepertoireTemp::Lire(local.Chemin() / "traces/sub/b.sor"), std::string(70000, 'b'));

        // Changed locally.
        local.Ecrire("traces/a.sor", "changed");
        local.Ecrire("traces/sub/new.sor", "new");
        ASSERT_TRUE(f.Cliquer(IDC_RAFRAICHIR_LOCAL));

        // Up, into another remote directory.
        ASSERT_TRUE(f.DoubleCliquer(IDC_REPS_DISTANTS, Index(repsDistants, L"[incoming]")));
        EXPECT_EQ(f.GetDlgItem(IDC_REP_DISTANT)->GetWindowText(), CString(L"/incoming"));
        ASSERT_TRUE(f.Choisir(IDC_REPS_LOCAUX, Index(repsLocaux, L"[traces]")));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_DISTANT));
        const fs::path haut = distant.Chemin() / "incoming/traces";
        EXPECT_EQ(CRepertoireTemp::Lire(haut / "a.sor"), "changed");
        EXPECT_EQ(CRepertoireTemp::Lire(haut / "sub/new.sor"), "new");
        EXPECT_EQ(CRepertoireTemp::Lire(haut / "sub/b.sor"), std::string(70000, 'b'));
        EXPECT_EQ(CRepertoireTemp::Lire(haut / "sub/deep/c.sor"), "CCC");

        // Removed remotely, after the confirmation.
        ASSERT_TRUE(f.DoubleCliquer(IDC_REPS_DISTANTS, Index(repsDistants, L"[..]")));
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(repsDistants, L"[traces]")));
        ASSERT_TRUE(f.Cliquer(IDC_SUPPR_REP_DISTANT));
        ASSERT_TRUE(f.Cliquer(IDC_CONFIRMER_SUPPR_DISTANT));
        EXPECT_FALSE(fs::exists(distant.Chemin() / "traces"));
        EXPECT_EQ(Index(repsDistants, L"[traces]"), -1);

        ASSERT_TRUE(f.Cliquer(IDC_FERMER));
    });
    EXPECT_EQ(driver.FileTransfert(nullptr, nullptr), 1);
    EXPECT_TRUE(joue);
    EXPECT_TRUE(frontal->Messages().empty());
    EXPECT_EQ(profil->GetProfileString(SECTION_FTPDIRECT, REP_DISTANT, L""), CString(L"/"));
    EXPECT_TRUE(fs::exists(distant.Chemin() / "incoming/traces/sub/deep/c.sor"));

    driver.StopDriver();
    DefinirFrontal(nullptr);
    DefinirProfil(std::make_shared<CProfilMemoire>());
}
