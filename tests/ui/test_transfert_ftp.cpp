// The file transfer dialog against a real FTP server (pyftpdlib on 127.0.0.1):
// copies and deletions of selected files, typed remote paths, remote directory
// creation, a directory the server refuses to enter, hostile names in listings,
// link loops on either side; and a whole session through the facade on the
// simulator.

#include <algorithm>

#include "TransfertFtpTest.h"
#include "driver/COtdrDriver.h"

using namespace IdsControles;
namespace fs = std::filesystem;
using namespace ClesProfil;

TEST_F(TransferDialogFtpTest, SelectedLocalFilesGoUpWithProgress)
{
    PreparerD();
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/d"));
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, 0));
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, 2, tModificateur::Maj));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_DISTANT));
        // The bar counts the bytes of the whole copy, in thousandths.
        EXPECT_EQ(f.GetDlgItem(IDC_PROGRESSION)->GetRangeMax(), 1000);
        EXPECT_EQ(f.GetDlgItem(IDC_PROGRESSION)->GetPos(), 1000);
        EXPECT_FALSE(f.GetDlgItem(IDC_PROGRESSION)->IsWindowVisible());
        EXPECT_FALSE(f.GetDlgItem(IDC_ANNULER_OPERATION)->IsWindowVisible());
        EXPECT_EQ(dlg.GetEtat(), CString(L"3 of 3 files copied (72)"));
        EXPECT_EQ(f.GetDlgItem(IDC_FICHIERS_DISTANTS)->GetItemCount(), 6);
    });
    for (const char* n : {"l1.sor", "l2.sor", "l3.sor"})
        EXPECT_EQ(CRepertoireTemp::Lire(Serveur() / "d" / n), CRepertoireTemp::Lire(Local() / n)) << n;
    EXPECT_TRUE(m_frontal->Messages().empty());
}

TEST_F(TransferDialogFtpTest, SelectedRemoteFilesComeDown)
{
    PreparerD();
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        SelectionnerDistants(f, {L"r1.sor", L"r3.sor"});
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        EXPECT_EQ(f.GetDlgItem(IDC_FICHIERS_LOCAUX)->GetItemCount(), 5);
    });
    EXPECT_EQ(CRepertoireTemp::Lire(Local() / "r1.sor"), Binaire(1, 100));
    EXPECT_EQ(CRepertoireTemp::Lire(Local() / "r3.sor"), Binaire(3, 300));
    EXPECT_FALSE(fs::exists(Local() / "r2.sor"));
}

TEST_F(TransferDialogFtpTest, SelectedRemoteFilesAreDeletedOnceAsked)
{
    PreparerD();
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        SelectionnerDistants(f, {L"r1.sor", L"r2.sor"});
        ASSERT_TRUE(f.Cliquer(IDC_SUPPR_FICHIERS_DISTANTS));
        EXPECT_EQ(Colonne(f.GetDlgItem(IDC_FICHIERS_DISTANTS)), (std::vector<CString>{L"r3.sor"}));
    });
    EXPECT_EQ(Arbre(Serveur() / "d"), (std::map<std::string, std::string>{
                                          {"r3.sor", Binaire(3, 300)}, {"sous", "<dir>"}}));
    EXPECT_EQ(m_frontal->Messages(), std::vector<CString>{L"Delete the 2 selected files from the instrument ?"});
}

TEST_F(TransferDialogFtpTest, FileThatVanishedBeforeTheCopyIsNamedInOneMessage)
{
    PreparerD();
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        SelectionnerDistants(f, {L"r1.sor", L"r3.sor"});
        fs::remove(Serveur() / "d" / "r1.sor");
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
    });
    ASSERT_EQ(m_frontal->Messages().size(), 1u);
    EXPECT_NE(m_frontal->Messages()[0].Find(L"/d/r1.sor"), -1);
    EXPECT_EQ(m_frontal->Messages()[0].Find(L"r3.sor"), -1);
    EXPECT_EQ(CRepertoireTemp::Lire(Local() / "r3.sor"), Binaire(3, 300));
}

TEST_F(TransferDialogFtpTest, TypedRemotePathIsAppliedOnFocusLossOrEnterAndAnUnknownOneGivesTheRoot)
{
    PreparerD();
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        f.Effacer(IDC_REP_DISTANT);
        EXPECT_EQ(f.GetDlgItem(IDC_REP_DISTANT)->GetWindowText(), CString(L"/"));
        f.Taper(IDC_REP_DISTANT, L"nulle/part");
        f.DonnerFocus(IDC_FICHIERS_LOCAUX);
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/"));
        f.Taper(IDC_REP_DISTANT, L"d");
        f.AppuyerEntree();
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/d"));
        EXPECT_FALSE(f.EstTerminee());
    });
}

TEST_F(TransferDialogFtpTest, RelativeTypedPathIsTakenFromTheDirectoryShown)
{
    PreparerD();
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        for (int i = 0; i < 2; ++i) f.Effacer(IDC_REP_DISTANT);
        f.Taper(IDC_REP_DISTANT, L"sous/");  // the final slash goes
        f.AppuyerEntree();
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/d/sous"));
        EXPECT_EQ(f.GetDlgItem(IDC_REP_DISTANT)->GetWindowText(), CString(L"/d/sous"));
        ASSERT_TRUE(f.DoubleCliquer(IDC_REPS_DISTANTS, Index(f.GetDlgItem(IDC_REPS_DISTANTS), L"[..]")));
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/d"));
    });
}

TEST_F(TransferDialogFtpTest, ClosingStoresBothDirectoriesAndLogsOut)
{
    PreparerD();
    CDlgFileTransfert dlg;
    EXPECT_EQ(Ouvrir(dlg, [&](CFenetreScriptee& f) { ASSERT_TRUE(f.Cliquer(IDC_FERMER)); }), ID_OK);
    EXPECT_EQ(m_profil->GetProfileString(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_DISTANT, L""),
              CString(L"/d"));
    EXPECT_EQ(m_profil->GetProfileString(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_LOCAL, L""),
              Dossier(Local()));
    EXPECT_FALSE(m_ftp->EstConnecte());
}

TEST_F(TransferDialogFtpTest, OpeningTheRemoteNameEntryClosesTheLocalOne)
{
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        ASSERT_TRUE(f.Cliquer(IDC_CREER_REP_LOCAL));
        ASSERT_TRUE(f.Cliquer(IDC_CREER_REP_DISTANT));
        EXPECT_TRUE(f.GetDlgItem(IDC_NOM_DISTANT)->IsWindowVisible());
        EXPECT_FALSE(f.GetDlgItem(IDC_NOM_LOCAL)->IsWindowVisible());
        EXPECT_TRUE(f.GetDlgItem(IDC_CREER_REP_LOCAL)->IsWindowVisible());
    });
}

TEST_F(TransferDialogFtpTest, RemoteDirectoryNameRefusesTheSlashAndTravelsAsUtf8)
{
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        ASSERT_TRUE(f.Cliquer(IDC_CREER_REP_DISTANT));
        f.Taper(IDC_NOM_DISTANT, L"a/b");
        EXPECT_EQ(f.GetDlgItem(IDC_NOM_DISTANT)->GetWindowText(), CString(L"ab"));
        f.Taper(IDC_NOM_DISTANT, L"\u00e9t\u00e9");
        ASSERT_TRUE(f.Cliquer(IDC_VALIDER_NOM_DISTANT));
        EXPECT_NE(Index(f.GetDlgItem(IDC_REPS_DISTANTS), L"[ab\u00e9t\u00e9]"), -1);
    });
    EXPECT_TRUE(fs::is_directory(Serveur() / "ab\xc3\xa9t\xc3\xa9"));
}

TEST_F(TransferDialogFtpTest, EnterInTheRemoteNameEntryCreatesTheDirectory)
{
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        ASSERT_TRUE(f.Cliquer(IDC_CREER_REP_DISTANT));
        f.Taper(IDC_NOM_DISTANT, L"deux");
        f.AppuyerEntree();
        EXPECT_FALSE(f.GetDlgItem(IDC_NOM_DISTANT)->IsWindowVisible());
        EXPECT_FALSE(f.EstTerminee());
    });
    EXPECT_TRUE(fs::is_directory(Serveur() / "deux"));
}

TEST_F(TransferDialogFtpTest, DirectoryThatCannotBeEnteredIsSkippedByTheCopyDown)
{
    PreparerRefus();
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        IControle* repsD = f.GetDlgItem(IDC_REPS_DISTANTS);
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(repsD, L"[arbre]")));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        // The root's files were never copied in place of the refused directory.
        EXPECT_EQ(Arbre(Local()), (std::map<std::string, std::string>{
                                      {"arbre", "<dir>"}, {"arbre/ok.txt", "ok"},
                                      {"arbre/sous", "<dir>"}, {"arbre/sous/g.txt", "g"}}));
        ASSERT_EQ(m_frontal->Messages().size(), 1u);
        EXPECT_NE(m_frontal->Messages()[0].Find(L"/arbre/interdit"), -1);
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/"));
    }, REFUS);
}

TEST_F(TransferDialogFtpTest, DirectoryThatCannotBeEnteredStaysWithItsParentWhenTheTreeIsRemoved)
{
    PreparerRefus();
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        IControle* repsD = f.GetDlgItem(IDC_REPS_DISTANTS);
        // What can be reached goes; nothing at the root is deleted.
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(repsD, L"[arbre]")));
        ASSERT_TRUE(f.Cliquer(IDC_SUPPR_REP_DISTANT));
        ASSERT_TRUE(f.Cliquer(IDC_CONFIRMER_SUPPR_DISTANT));
        EXPECT_EQ(Arbre(Serveur()), (std::map<std::string, std::string>{
                                        {"racine.txt", "root"}, {"arbre", "<dir>"},
                                        {"arbre/interdit", "<dir>"}, {"arbre/interdit/secret.txt", "secret"}}));
        ASSERT_EQ(m_frontal->Messages().size(), 1u);
        EXPECT_NE(m_frontal->Messages()[0].Find(L"/arbre/interdit"), -1);
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/"));
        EXPECT_TRUE(f.GetDlgItem(IDC_FERMER)->IsWindowEnabled());
    }, REFUS);
}

TEST_F(TransferDialogFtpTest, HostileRemoteNamesNeverBecomeLocalPaths)
{
    Ecrire(Serveur() / ".hostile", "");
    Ecrire(Serveur() / "ok.sor", "ok");
    Ecrire(Serveur() / "..\\evil3.sor", "evil");  // a real name with a backslash
    Ecrire(Serveur() / "arbre" / ".hostile", "");
    Ecrire(Serveur() / "arbre" / "dedans.sor", "in");
    fs::create_directories(RacineLocale().Chemin() / "local");

    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        IControle* tableD = f.GetDlgItem(IDC_FICHIERS_DISTANTS);
        IControle* repsD = f.GetDlgItem(IDC_REPS_DISTANTS);
        for (const CString& n : Colonne(tableD))
            EXPECT_TRUE(n.Find(L'/') < 0 && n.Find(L'\\') < 0) << n.size();
        EXPECT_EQ(Entrees(repsD), (std::vector<CString>{L"[arbre]"}));
        // Every row down, then the tree.
        ASSERT_GT(tableD->GetItemCount(), 0);
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_DISTANTS, 0));
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_DISTANTS, tableD->GetItemCount() - 1, tModificateur::Maj));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(repsD, L"[arbre]")));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
    }, {"--hostile"});
    // Nothing outside the local directory, no name with a separator inside it.
    for (const auto& e : fs::directory_iterator(RacineLocale().Chemin()))
        EXPECT_EQ(e.path().filename(), "local");
    for (const auto& [rel, contenu] : Arbre(Local())) {
        EXPECT_EQ(rel.find('\\'), std::string::npos) << rel;
        EXPECT_EQ(rel.find(".."), std::string::npos) << rel;
    }
    EXPECT_EQ(CRepertoireTemp::Lire(Local() / "ok.sor"), "ok");
    EXPECT_EQ(CRepertoireTemp::Lire(Local() / "arbre" / "dedans.sor"), "in");
    EXPECT_FALSE(fs::exists(Local().parent_path() / "evil.sor"));
}

TEST_F(TransferDialogFtpTest, LocalLinkCycleEndsTheCopyUp)
{
    Ecrire(Local() / "arbre" / "f.txt", "f");
    Ecrire(Local() / "arbre" / "a" / "g.txt", "g");
    fs::create_directory_symlink(Local() / "arbre", Local() / "arbre" / "a" / "boucle");

    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        m_frontal->EffacerMessages();
        ASSERT_TRUE(f.Choisir(IDC_REPS_LOCAUX, Index(f.GetDlgItem(IDC_REPS_LOCAUX), L"[arbre]")));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_DISTANT));
        ASSERT_EQ(m_frontal->Messages().size(), 1u);
        EXPECT_NE(m_frontal->Messages()[0].Find(L"boucle"), -1);
    });
    EXPECT_EQ(Arbre(Serveur()), (std::map<std::string, std::string>{
                                    {"arbre", "<dir>"}, {"arbre/f.txt", "f"},
                                    {"arbre/a", "<dir>"}, {"arbre/a/g.txt", "g"}}));
}

TEST_F(TransferDialogFtpTest, ServerSideLinkLoopIsWalkedOnceAndNamed)
{
    Ecrire(Serveur() / "arbre" / "f.txt", "f");
    fs::create_directory_symlink(Serveur() / "arbre", Serveur() / "arbre" / "boucle");

    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        m_frontal->EffacerMessages();
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(f.GetDlgItem(IDC_REPS_DISTANTS), L"[arbre]")));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        ASSERT_EQ(m_frontal->Messages().size(), 1u);
        EXPECT_NE(m_frontal->Messages()[0].Find(L"/arbre/boucle: the same directory as /arbre"), -1);
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/"));
    });
    EXPECT_EQ(Arbre(Local() / "arbre"), (std::map<std::string, std::string>{{"f.txt", "f"}}));
}

TEST_F(TransferDialogFtpTest, ListingCutShortIsNamedInTheMessage)
{
    Ecrire(Serveur() / "arbre" / "a.txt", "a");
    for (int i = 0; i < 20; ++i)
        Ecrire(Serveur() / "arbre" / "long" / ("f" + std::to_string(i) + ".txt"), "x");
    CDlgFileTransfert dlg;
    m_serveur.SetScript(OTDR_TEST_HOSTILE_SERVER);
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        m_frontal->EffacerMessages();
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(f.GetDlgItem(IDC_REPS_DISTANTS), L"[arbre]")));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        ASSERT_EQ(m_frontal->Messages().size(), 1u);
        EXPECT_NE(m_frontal->Messages()[0].Find(L"/arbre/long: its listing was cut short: 426 Connection closed; transfer aborted."), -1);
    }, {"--list", "/arbre/long=426:5"});
    EXPECT_EQ(CRepertoireTemp::Lire(Local() / "arbre" / "a.txt"), "a");
    EXPECT_EQ(Arbre(Local() / "arbre" / "long").size(), 5u);
}

// A session on the simulator (its FTP server lists through LIST, as older
// instruments answer MLSD with 500): the facade logs in by the instrument's
// model, a tree goes down, is changed, goes back up elsewhere, and is removed.
TEST_F(TransferDialogTest, SessionDownChangeUpAndRemoveThroughTheFacade)
{
    CRepertoireTemp distant("otdr-session-distant");
    distant.Ecrire("racine.txt", "root file");
    distant.Ecrire("traces/a.sor", Binaire(1, 5000));
    distant.Ecrire("traces/Mesures \xc3\xa9t\xc3\xa9/b.sor", Binaire(2, 70000));
    distant.Ecrire("traces/Mesures \xc3\xa9t\xc3\xa9/deep/c.txt", "line\r\nline\n");
    fs::create_directories(distant.Chemin() / "traces" / "vide");
    fs::create_directories(distant.Chemin() / "incoming");
    const auto arbre = Arbre(distant.Chemin() / "traces");

    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSimulateur(
        sim, {"--model", "KRX 15", "--ftp-no-mlsd", "--ftp-root", distant.Chemin().string()}));
    m_profil->WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"127.0.0.1");
    m_profil->WriteProfileInt(SECTION_DRIVER, PORT, sim.Port("command"));
    m_profil->WriteProfileInt(SECTION_DRIVER, FTP_PORT, sim.Port("ftp"));
    COtdrDriver driver;
    ASSERT_EQ(driver.StartDriver(), 1);
    ASSERT_EQ(driver.IsConnexionEnCours(), 1);

    bool bJoue = false;
    m_frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
        bJoue = true;
        IControle* repsD = f.GetDlgItem(IDC_REPS_DISTANTS);
        IControle* repsL = f.GetDlgItem(IDC_REPS_LOCAUX);
        // The posted refresh listed the root: no "[..]" there.
        EXPECT_EQ(Entrees(repsD), (std::vector<CString>{L"[incoming]", L"[traces]"}));
        EXPECT_EQ(Colonne(f.GetDlgItem(IDC_FICHIERS_DISTANTS), 1), (std::vector<CString>{L"9"}));

        // Down: the same tree, both panes back where the user started, everything enabled again.
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(repsD, L"[traces]")));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        EXPECT_EQ(Arbre(Local() / "traces"), arbre);
        EXPECT_EQ(f.GetDlgItem(IDC_REP_LOCAL)->GetWindowText(), Dossier(Local()));
        EXPECT_EQ(f.GetDlgItem(IDC_REP_DISTANT)->GetWindowText(), CString(L"/"));
        EXPECT_TRUE(f.GetDlgItem(IDC_VERS_DISTANT)->IsWindowEnabled());
        EXPECT_TRUE(f.GetDlgItem(IDC_FERMER)->IsWindowEnabled());

        // Changed locally, then up into another remote directory.
        Ecrire(Local() / "traces" / "a.sor", "changed");
        Ecrire(Local() / "traces" / "Mesures \xc3\xa9t\xc3\xa9" / "new.sor", "new");
        ASSERT_TRUE(f.Cliquer(IDC_RAFRAICHIR_LOCAL));
        ASSERT_TRUE(f.DoubleCliquer(IDC_REPS_DISTANTS, Index(repsD, L"[incoming]")));
        EXPECT_EQ(f.GetDlgItem(IDC_REP_DISTANT)->GetWindowText(), CString(L"/incoming"));
        ASSERT_TRUE(f.Choisir(IDC_REPS_LOCAUX, Index(repsL, L"[traces]")));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_DISTANT));
        EXPECT_EQ(Arbre(distant.Chemin() / "incoming" / "traces"), Arbre(Local() / "traces"));

        // The sizes and dates of a transfer-free refill are back.
        ASSERT_TRUE(f.DoubleCliquer(IDC_REPS_DISTANTS, Index(repsD, L"[traces]")));
        EXPECT_EQ(Colonne(f.GetDlgItem(IDC_FICHIERS_DISTANTS), 1), (std::vector<CString>{L"7"}));
        EXPECT_EQ(f.GetDlgItem(IDC_FICHIERS_DISTANTS)->GetItemText(0, 2).GetLength(), 19);

        // Removed remotely, after the confirmation.
        ASSERT_TRUE(f.DoubleCliquer(IDC_REPS_DISTANTS, Index(repsD, L"[..]")));
        ASSERT_TRUE(f.DoubleCliquer(IDC_REPS_DISTANTS, Index(repsD, L"[..]")));
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(repsD, L"[traces]")));
        ASSERT_TRUE(f.Cliquer(IDC_SUPPR_REP_DISTANT));
        ASSERT_TRUE(f.Cliquer(IDC_CONFIRMER_SUPPR_DISTANT));
        EXPECT_EQ(Index(repsD, L"[traces]"), -1);
        EXPECT_FALSE(f.GetDlgItem(IDC_QUESTION_DISTANT)->IsWindowVisible());
        ASSERT_TRUE(f.Cliquer(IDC_FERMER));
    });
    EXPECT_EQ(driver.FileTransfert(nullptr, nullptr), 1);
    EXPECT_TRUE(bJoue);
    EXPECT_TRUE(m_frontal->Messages().empty());
    EXPECT_FALSE(fs::exists(distant.Chemin() / "traces"));
    EXPECT_TRUE(fs::exists(distant.Chemin() / "racine.txt"));
    EXPECT_EQ(m_profil->GetProfileString(SECTION_FTPDIRECT, REP_DISTANT, L""), CString(L"/"));
    driver.StopDriver();
}

namespace {

std::vector<CString> LignesJournal(CFenetreScriptee& f)
{
    std::vector<CString> lignes;
    IControle* journal = f.GetDlgItem(IDC_JOURNAL);
    for (int i = 0; journal && i < journal->GetItemCount(); ++i)
        lignes.push_back(journal->GetItemText(i, 0));
    return lignes;
}

int Compter(const std::vector<CString>& lignes, const CString& strDebut)
{
    return static_cast<int>(std::count_if(lignes.begin(), lignes.end(),
                                          [&](const CString& l) { return l.Find(strDebut) == 0; }));
}

} // namespace

TEST_F(TransferDialogFtpTest, SessionLogShowsCommandsWithThePasswordMaskedEachFileAndCopies)
{
    PreparerD();
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        // Hidden until asked for; filled all the same.
        EXPECT_FALSE(f.GetDlgItem(IDC_JOURNAL)->IsWindowVisible());
        SelectionnerDistants(f, {L"r1.sor", L"r3.sor"});
        fs::remove(Serveur() / "d" / "r1.sor");
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        const std::vector<CString> lignes = LignesJournal(f);
        EXPECT_EQ(Compter(lignes, L"> USER test"), 1);
        EXPECT_EQ(Compter(lignes, L"> PASS ****"), 1);
        EXPECT_GE(Compter(lignes, L"< 230"), 1);
        for (const CString& l : lignes)
            EXPECT_EQ(l.Find(L"secret"), -1) << l;
        EXPECT_EQ(Compter(lignes, L"/d/r3.sor: done"), 1);
        EXPECT_EQ(Compter(lignes, L"/d/r1.sor: failed: "), 1);
        EXPECT_EQ(Compter(lignes, L"> RETR "), 2);

        // Shown: the panes make room for it; its menu and Ctrl+C copy.
        const int nBasListe = f.GetDlgItem(IDC_FICHIERS_LOCAUX)->GetRect().bottom;
        ASSERT_TRUE(f.Cliquer(IDC_AFFICHER_JOURNAL));
        EXPECT_TRUE(f.GetDlgItem(IDC_JOURNAL)->IsWindowVisible());
        EXPECT_EQ(f.GetDlgItem(IDC_AFFICHER_JOURNAL)->GetWindowText(), CString(L"Hide log"));
        EXPECT_LT(f.GetDlgItem(IDC_FICHIERS_LOCAUX)->GetRect().bottom, nBasListe);
        EXPECT_LE(f.GetDlgItem(IDC_FICHIERS_LOCAUX)->GetRect().bottom, f.GetDlgItem(IDC_JOURNAL)->GetRect().top);
        ASSERT_TRUE(f.DonnerFocus(IDC_JOURNAL));
        ASSERT_TRUE(f.OuvrirMenu(IDC_MENU_COPIER));
        EXPECT_NE(f.TexteCopie().Find(L"> PASS ****\n"), -1);
        EXPECT_NE(f.TexteCopie().Find(L"/d/r3.sor: done\n"), -1);
        ASSERT_TRUE(f.CliquerLigne(IDC_JOURNAL, Ligne(f.GetDlgItem(IDC_JOURNAL), L"/d/r3.sor: done")));
        ASSERT_TRUE(f.AppuyerTouche(tTouche::Copier));
        EXPECT_EQ(f.TexteCopie(), CString(L"/d/r3.sor: done\n"));
    });
    EXPECT_EQ(m_profil->GetProfileInt(SECTION_FTPDIRECT, JOURNAL, 0), 1);

    // The next dialog opens with the log shown, and hides it on a click.
    CDlgFileTransfert suivant;
    Ouvrir(suivant, [&](CFenetreScriptee& f) {
        EXPECT_TRUE(f.GetDlgItem(IDC_JOURNAL)->IsWindowVisible());
        EXPECT_GE(Compter(LignesJournal(f), L"> PASS ****"), 1);
        ASSERT_TRUE(f.Cliquer(IDC_AFFICHER_JOURNAL));
        EXPECT_FALSE(f.GetDlgItem(IDC_JOURNAL)->IsWindowVisible());
    });
    EXPECT_EQ(m_profil->GetProfileInt(SECTION_FTPDIRECT, JOURNAL, 1), 0);
}

TEST_F(TransferDialogFtpTest, RetryCopiesOnlyTheFailedFilesAgain)
{
    PreparerD();
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        SelectionnerDistants(f, {L"r1.sor", L"r2.sor", L"r3.sor"});
        fs::remove(Serveur() / "d" / "r1.sor");
        // Retry once; the file is still missing, and the second time the user stops.
        m_frontal->AjouterReponseMessage(ID_REESSAYER);
        m_frontal->AjouterReponseMessage(ID_OK);
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        const std::vector<CString> lignes = LignesJournal(f);
        EXPECT_EQ(Compter(lignes, L"/d/r1.sor: failed"), 2);
        EXPECT_EQ(Compter(lignes, L"/d/r2.sor: done"), 1);
        EXPECT_EQ(Compter(lignes, L"/d/r3.sor: done"), 1);
        // r1 twice, r2 and r3 once: the second run copied r1 alone.
        EXPECT_EQ(Compter(lignes, L"> RETR "), 4);
        EXPECT_EQ(dlg.GetEtat(), CString(L"0 of 1 files copied (0), 1 failed"));
        EXPECT_EQ(f.GetDlgItem(IDC_FICHIERS_DISTANTS)->GetSelectedCount(), 1);
    });
    ASSERT_EQ(m_frontal->Messages().size(), 2u);
    for (const CString& m : m_frontal->Messages()) {
        EXPECT_NE(m.Find(L"/d/r1.sor"), -1) << m;
        EXPECT_EQ(m.Find(L"r2.sor"), -1) << m;
    }
    EXPECT_EQ(CRepertoireTemp::Lire(Local() / "r2.sor"), Binaire(2, 200));
}
