// The file transfer dialog against a real FTP server (pyftpdlib on 127.0.0.1):
// tree copies both ways, deletions, directory creation and removal, a
// directory the server refuses to enter, hostile names in listings.

#include <fstream>
#include <map>

#include "TransfertTest.h"
#include "ftp/CFTPDirect.h"
#include "support/ProcessusTest.h"

using namespace IdsControles;
namespace fs = std::filesystem;

namespace {

void Ecrire(const fs::path& p, const std::string& contenu)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << contenu;
}

// Every file and directory under `racine`, relative, with the content of files
// ("<dir>" for directories).
std::map<std::string, std::string> Arbre(const fs::path& racine)
{
    std::map<std::string, std::string> m;
    for (auto it = fs::recursive_directory_iterator(racine); it != fs::recursive_directory_iterator(); ++it) {
        const std::string rel = fs::relative(it->path(), racine).string();
        m[rel] = it->is_directory() ? std::string("<dir>") : CRepertoireTemp::Lire(it->path());
    }
    return m;
}

// A binary content that a text-mode transfer would alter.
std::string Binaire(int graine, size_t n)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + graine * 7) % 256);
    s += "\r\n\n\r";
    return s;
}

} // namespace

class TransferDialogFtpTest : public TransferDialogTest
{
protected:
    fs::path Serveur() const { return m_serveur.Chemin(); }

    bool Demarrer(const std::vector<std::string>& options = {})
    {
        std::vector<std::string> argv{OTDR_PYTHON, OTDR_TEST_FTP_SERVER, "--root", m_serveur.Chemin().string()};
        argv.insert(argv.end(), options.begin(), options.end());
        if (!m_processus.Demarrer(argv) || !m_processus.AttendreLigne("READY")) {
            ADD_FAILURE() << "FTP server did not start";
            return false;
        }
        m_ftp = std::make_unique<CFTPDirect>(L"127.0.0.1", m_processus.Port("ftp"));
        m_ftp->SetDelaiConnexion(std::chrono::seconds(5));
        m_ftp->SetDelaiReponse(std::chrono::seconds(5));
        m_ftp->SetDelaiBlocage(std::chrono::seconds(5));
        return true;
    }

    // A logged-in dialog whose remote pane starts in `repDistant`.
    bool Connecter(CDlgFileTransfert& dlg)
    {
        return dlg.ConnexionFtp(L"test", L"secret", m_ftp.get()) == 1;
    }

    void TearDown() override
    {
        m_ftp.reset();
        m_processus.Arreter();
        TransferDialogTest::TearDown();
    }

    CRepertoireTemp m_serveur{"otdr-transfert-srv"};
    CProcessusTest m_processus;
    std::unique_ptr<CFTPDirect> m_ftp;
};

TEST_F(TransferDialogFtpTest, TreeDownChangedLocallyBackUpThenRemovedRemotely)
{
    ASSERT_TRUE(Demarrer());
    Ecrire(Serveur() / "racine.txt", "root file");
    Ecrire(Serveur() / "arbre" / "f1.sor", Binaire(1, 5000));
    Ecrire(Serveur() / "arbre" / "n1" / "f2.bin", Binaire(2, 70000));
    Ecrire(Serveur() / "arbre" / "n1" / "n2" / "f3.txt", "line\r\nline\n");
    Ecrire(Serveur() / "arbre" / "n1" / "n2" / "n3" / "f4", Binaire(4, 10));
    fs::create_directories(Serveur() / "arbre" / "n1" / "vide");
    const auto arbreServeur = Arbre(Serveur() / "arbre");

    CDlgFileTransfert dlg;
    ASSERT_TRUE(Connecter(dlg));
    Executer(dlg, [&](CFenetreScriptee& f) {
        IControle* repsD = f.GetDlgItem(IDC_REPS_DISTANTS);
        IControle* repsL = f.GetDlgItem(IDC_REPS_LOCAUX);
        // The posted refresh listed the root: no "[..]" there.
        EXPECT_EQ(Entrees(repsD), (std::vector<CString>{L"[arbre]"}));
        EXPECT_EQ(Colonne(f.GetDlgItem(IDC_FICHIERS_DISTANTS)), (std::vector<CString>{L"racine.txt"}));
        EXPECT_EQ(Colonne(f.GetDlgItem(IDC_FICHIERS_DISTANTS), 1), (std::vector<CString>{L"9"}));

        // Down.
        m_frontal->EffacerMessages();
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(repsD, L"[arbre]")));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        EXPECT_TRUE(m_frontal->Messages().empty());
        EXPECT_EQ(Arbre(Local() / "arbre"), arbreServeur);
        // Both panes end where the user started, everything enabled again.
        EXPECT_EQ(dlg.GetRepLocal(), Dossier(Local()));
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/"));
        EXPECT_TRUE(f.GetDlgItem(IDC_VERS_DISTANT)->IsWindowEnabled());
        EXPECT_TRUE(f.GetDlgItem(IDC_FERMER)->IsWindowEnabled());
        EXPECT_EQ(dlg.TransfertEnCours(), 0);

        // Change it locally, remove it remotely, copy it back up.
        Ecrire(Local() / "arbre" / "n1" / "nouveau.dat", Binaire(9, 3000));
        Ecrire(Local() / "arbre" / "n1" / "n2" / "f3.txt", "changed");
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(repsD, L"[arbre]")));
        ASSERT_TRUE(f.Cliquer(IDC_SUPPR_REP_DISTANT));
        ASSERT_TRUE(f.Cliquer(IDC_CONFIRMER_SUPPR_DISTANT));
        EXPECT_TRUE(m_frontal->Messages().empty());
        EXPECT_FALSE(fs::exists(Serveur() / "arbre"));
        EXPECT_TRUE(fs::exists(Serveur() / "racine.txt"));
        EXPECT_EQ(Index(repsD, L"[arbre]"), -1);
        EXPECT_FALSE(f.GetDlgItem(IDC_QUESTION_DISTANT)->IsWindowVisible());

        ASSERT_TRUE(f.Cliquer(IDC_RAFRAICHIR_LOCAL));
        ASSERT_TRUE(f.Choisir(IDC_REPS_LOCAUX, Index(repsL, L"[arbre]")));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_DISTANT));
        EXPECT_TRUE(m_frontal->Messages().empty());
        EXPECT_EQ(Arbre(Serveur() / "arbre"), Arbre(Local() / "arbre"));
        EXPECT_NE(Index(repsD, L"[arbre]"), -1);
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/"));
        EXPECT_EQ(dlg.GetRepLocal(), Dossier(Local()));

        // The sizes and dates of a transfer-free refill are back.
        ASSERT_TRUE(f.DoubleCliquer(IDC_REPS_DISTANTS, Index(repsD, L"[arbre]")));
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/arbre"));
        EXPECT_EQ(Entrees(repsD)[0], CString(L"[..]"));
        EXPECT_EQ(Colonne(f.GetDlgItem(IDC_FICHIERS_DISTANTS), 1), (std::vector<CString>{L"4.9 k"}));
        EXPECT_EQ(f.GetDlgItem(IDC_FICHIERS_DISTANTS)->GetItemText(0, 2).GetLength(), 19);
        ASSERT_TRUE(f.DoubleCliquer(IDC_REPS_DISTANTS, Index(repsD, L"[..]")));
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/"));
    });
}

TEST_F(TransferDialogFtpTest, FilesCopiedAndDeletedOnBothSidesWithProgress)
{
    ASSERT_TRUE(Demarrer());
    Ecrire(Serveur() / "d" / "r1.sor", Binaire(1, 100));
    Ecrire(Serveur() / "d" / "r2.sor", Binaire(2, 200));
    Ecrire(Serveur() / "d" / "r3.sor", Binaire(3, 300));
    fs::create_directories(Serveur() / "d" / "sous");
    Ecrire(Local() / "l1.sor", Binaire(4, 10));
    Ecrire(Local() / "l2.sor", Binaire(5, 20));
    Ecrire(Local() / "l3.sor", Binaire(6, 30));
    // Stored relative and with a final slash: held as /d.
    m_profil->WriteProfileString(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_DISTANT, L"d/");

    CDlgFileTransfert dlg;
    ASSERT_TRUE(Connecter(dlg));
    Executer(dlg, [&](CFenetreScriptee& f) {
        IControle* tableD = f.GetDlgItem(IDC_FICHIERS_DISTANTS);
        IControle* tableL = f.GetDlgItem(IDC_FICHIERS_LOCAUX);
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/d"));
        // Three local files up.
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, 0));
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, 2, tModificateur::Maj));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_DISTANT));
        EXPECT_EQ(f.GetDlgItem(IDC_PROGRESSION)->GetRangeMax(), 3);
        EXPECT_EQ(f.GetDlgItem(IDC_PROGRESSION)->GetPos(), 3);
        EXPECT_FALSE(f.GetDlgItem(IDC_PROGRESSION)->IsWindowVisible());
        for (const char* n : {"l1.sor", "l2.sor", "l3.sor"})
            EXPECT_EQ(CRepertoireTemp::Lire(Serveur() / "d" / n), CRepertoireTemp::Lire(Local() / n)) << n;
        EXPECT_EQ(tableD->GetItemCount(), 6);

        // Two remote files down.
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_DISTANTS, Ligne(tableD, L"r1.sor")));
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_DISTANTS, Ligne(tableD, L"r3.sor"), tModificateur::Ctrl));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        EXPECT_EQ(CRepertoireTemp::Lire(Local() / "r1.sor"), Binaire(1, 100));
        EXPECT_EQ(CRepertoireTemp::Lire(Local() / "r3.sor"), Binaire(3, 300));
        EXPECT_FALSE(fs::exists(Local() / "r2.sor"));
        EXPECT_EQ(tableL->GetItemCount(), 5);

        // Delete remotely and locally, no question asked.
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_DISTANTS, Ligne(tableD, L"l2.sor")));
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_DISTANTS, Ligne(tableD, L"r2.sor"), tModificateur::Ctrl));
        ASSERT_TRUE(f.Cliquer(IDC_SUPPR_FICHIERS_DISTANTS));
        EXPECT_FALSE(fs::exists(Serveur() / "d" / "l2.sor"));
        EXPECT_FALSE(fs::exists(Serveur() / "d" / "r2.sor"));
        EXPECT_EQ(tableD->GetItemCount(), 4);
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, Ligne(tableL, L"r1.sor")));
        ASSERT_TRUE(f.Cliquer(IDC_SUPPR_FICHIERS_LOCAUX));
        EXPECT_FALSE(fs::exists(Local() / "r1.sor"));
        EXPECT_TRUE(m_frontal->Messages().empty());

        // A file that vanished on the server before the copy: one message names it.
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_DISTANTS, Ligne(tableD, L"r1.sor")));
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_DISTANTS, Ligne(tableD, L"r3.sor"), tModificateur::Ctrl));
        fs::remove(Serveur() / "d" / "r1.sor");
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        ASSERT_EQ(m_frontal->Messages().size(), 1u);
        EXPECT_NE(m_frontal->Messages()[0].Find(L"/d/r1.sor"), -1);
        EXPECT_EQ(m_frontal->Messages()[0].Find(L"r3.sor"), -1);

        // Typed remote path: applied when the field loses the focus; an
        // unknown one falls back to the root.
        f.Effacer(IDC_REP_DISTANT);
        EXPECT_EQ(f.GetDlgItem(IDC_REP_DISTANT)->GetWindowText(), CString(L"/"));
        f.Taper(IDC_REP_DISTANT, L"nulle/part");
        f.DonnerFocus(IDC_FICHIERS_LOCAUX);
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/"));
        f.Taper(IDC_REP_DISTANT, L"d");
        f.AppuyerEntree();
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/d"));
        EXPECT_FALSE(f.EstTerminee());
        // A relative path is taken from the directory shown; final slashes go.
        for (int i = 0; i < 2; ++i) f.Effacer(IDC_REP_DISTANT);
        f.Taper(IDC_REP_DISTANT, L"sous/");
        f.AppuyerEntree();
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/d/sous"));
        EXPECT_EQ(f.GetDlgItem(IDC_REP_DISTANT)->GetWindowText(), CString(L"/d/sous"));
        ASSERT_TRUE(f.DoubleCliquer(IDC_REPS_DISTANTS, Index(f.GetDlgItem(IDC_REPS_DISTANTS), L"[..]")));
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/d"));
        ASSERT_TRUE(f.Cliquer(IDC_FERMER));
        EXPECT_EQ(f.GetResultat(), ID_OK);
    });
    EXPECT_EQ(m_profil->GetProfileString(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_DISTANT, L""),
              CString(L"/d"));
    EXPECT_EQ(m_profil->GetProfileString(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_LOCAL, L""),
              Dossier(Local()));
    EXPECT_FALSE(m_ftp->EstConnecte());
}

TEST_F(TransferDialogFtpTest, RemoteDirectoryCreatedAndRemoved)
{
    ASSERT_TRUE(Demarrer());
    CDlgFileTransfert dlg;
    ASSERT_TRUE(Connecter(dlg));
    Executer(dlg, [&](CFenetreScriptee& f) {
        IControle* repsD = f.GetDlgItem(IDC_REPS_DISTANTS);
        // Opening the remote entry closes the local one.
        ASSERT_TRUE(f.Cliquer(IDC_CREER_REP_LOCAL));
        ASSERT_TRUE(f.Cliquer(IDC_CREER_REP_DISTANT));
        EXPECT_FALSE(f.GetDlgItem(IDC_NOM_LOCAL)->IsWindowVisible());
        EXPECT_TRUE(f.GetDlgItem(IDC_CREER_REP_LOCAL)->IsWindowVisible());
        // The slash is refused as it is typed; the name travels as UTF-8.
        f.Taper(IDC_NOM_DISTANT, L"a/b");
        EXPECT_EQ(f.GetDlgItem(IDC_NOM_DISTANT)->GetWindowText(), CString(L"ab"));
        f.Taper(IDC_NOM_DISTANT, L"\u00e9t\u00e9");
        ASSERT_TRUE(f.Cliquer(IDC_VALIDER_NOM_DISTANT));
        EXPECT_TRUE(fs::is_directory(Serveur() / "ab\xc3\xa9t\xc3\xa9"));
        EXPECT_NE(Index(repsD, L"[ab\u00e9t\u00e9]"), -1);
        // Enter with the remote entry shown creates the remote directory.
        ASSERT_TRUE(f.Cliquer(IDC_CREER_REP_DISTANT));
        f.Taper(IDC_NOM_DISTANT, L"deux");
        f.AppuyerEntree();
        EXPECT_TRUE(fs::is_directory(Serveur() / "deux"));

        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(repsD, L"[deux]")));
        ASSERT_TRUE(f.Cliquer(IDC_SUPPR_REP_DISTANT));
        ASSERT_TRUE(f.Cliquer(IDC_CONFIRMER_SUPPR_DISTANT));
        EXPECT_FALSE(fs::exists(Serveur() / "deux"));
        EXPECT_TRUE(fs::exists(Serveur() / "ab\xc3\xa9t\xc3\xa9"));
        EXPECT_TRUE(f.GetDlgItem(IDC_CONFIRMER_SUPPR_DISTANT)->IsWindowEnabled() ||
                    !f.GetDlgItem(IDC_CONFIRMER_SUPPR_DISTANT)->IsWindowVisible());
    });
}

TEST_F(TransferDialogFtpTest, DirectoryThatCannotBeEnteredIsSkippedAndNothingElseIsTouched)
{
    ASSERT_TRUE(Demarrer({"--refuse", "interdit"}));
    Ecrire(Serveur() / "racine.txt", "root");
    Ecrire(Serveur() / "arbre" / "ok.txt", "ok");
    Ecrire(Serveur() / "arbre" / "interdit" / "secret.txt", "secret");
    Ecrire(Serveur() / "arbre" / "sous" / "g.txt", "g");

    CDlgFileTransfert dlg;
    ASSERT_TRUE(Connecter(dlg));
    Executer(dlg, [&](CFenetreScriptee& f) {
        IControle* repsD = f.GetDlgItem(IDC_REPS_DISTANTS);
        m_frontal->EffacerMessages();
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(repsD, L"[arbre]")));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        // The root's files were never copied in place of the refused directory.
        EXPECT_EQ(Arbre(Local()), (std::map<std::string, std::string>{
                                      {"arbre", "<dir>"}, {"arbre/ok.txt", "ok"},
                                      {"arbre/sous", "<dir>"}, {"arbre/sous/g.txt", "g"}}));
        ASSERT_EQ(m_frontal->Messages().size(), 1u);
        EXPECT_NE(m_frontal->Messages()[0].Find(L"/arbre/interdit"), -1);
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/"));

        // Removal: what can be reached goes, the refused directory and its
        // parent stay, nothing at the root is deleted.
        m_frontal->EffacerMessages();
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
    });
}

TEST_F(TransferDialogFtpTest, HostileRemoteNamesNeverBecomeLocalPaths)
{
    ASSERT_TRUE(Demarrer({"--hostile"}));
    Ecrire(Serveur() / ".hostile", "");
    Ecrire(Serveur() / "ok.sor", "ok");
    Ecrire(Serveur() / "..\\evil3.sor", "evil");  // a real name with a backslash
    Ecrire(Serveur() / "arbre" / ".hostile", "");
    Ecrire(Serveur() / "arbre" / "dedans.sor", "in");
    fs::create_directories(RacineLocale().Chemin() / "local");

    CDlgFileTransfert dlg;
    ASSERT_TRUE(Connecter(dlg));
    Executer(dlg, [&](CFenetreScriptee& f) {
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
    });
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
    ASSERT_TRUE(Demarrer());
    Ecrire(Local() / "arbre" / "f.txt", "f");
    Ecrire(Local() / "arbre" / "a" / "g.txt", "g");
    fs::create_directory_symlink(Local() / "arbre", Local() / "arbre" / "a" / "boucle");

    CDlgFileTransfert dlg;
    ASSERT_TRUE(Connecter(dlg));
    Executer(dlg, [&](CFenetreScriptee& f) {
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

TEST_F(TransferDialogFtpTest, ServerSideLinkLoopEndsAtTheDepthLimit)
{
    ASSERT_TRUE(Demarrer());
    Ecrire(Serveur() / "arbre" / "f.txt", "f");
    fs::create_directory_symlink(Serveur() / "arbre", Serveur() / "arbre" / "boucle");

    CDlgFileTransfert dlg;
    // Below the kernel's own limit on links in a path, so that ours ends the walk.
    dlg.SetProfondeurMax(5);
    ASSERT_TRUE(Connecter(dlg));
    Executer(dlg, [&](CFenetreScriptee& f) {
        m_frontal->EffacerMessages();
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(f.GetDlgItem(IDC_REPS_DISTANTS), L"[arbre]")));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        ASSERT_EQ(m_frontal->Messages().size(), 1u);
        EXPECT_NE(m_frontal->Messages()[0].Find(L"/arbre/boucle/boucle/boucle/boucle/boucle"), -1);
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/"));
    });
    // One level per allowed depth, each with its copy of the file.
    fs::path p = Local() / "arbre";
    int nNiveaux = 0;
    while (fs::exists(p / "f.txt")) {
        ++nNiveaux;
        p /= "boucle";
    }
    EXPECT_EQ(nNiveaux, 5);
    EXPECT_FALSE(fs::exists(p));
}

// A session on the instrument simulator (listing through LIST, as older
// instruments answer MLSD with 500): copy its traces down, change them, copy
// them back up elsewhere, read them down again, remove the copy remotely.
TEST_F(TransferDialogTest, SessionOnTheSimulator)
{
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSimulateur(sim, {"--ftp-no-mlsd"}));
    CFTPDirect ftp(L"127.0.0.1", sim.Port("ftp"));
    ftp.SetDelaiReponse(std::chrono::seconds(5));
    CDlgFileTransfert dlg;
    ASSERT_EQ(dlg.ConnexionFtp(L"krx11", L"QWPZ", &ftp), 1);
    Executer(dlg, [&](CFenetreScriptee& f) {
        IControle* repsD = f.GetDlgItem(IDC_REPS_DISTANTS);
        IControle* repsL = f.GetDlgItem(IDC_REPS_LOCAUX);
        m_frontal->EffacerMessages();
        ASSERT_NE(Index(repsD, L"[Traces]"), -1);
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(repsD, L"[Traces]")));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        const auto bas = Arbre(Local() / "Traces");
        EXPECT_GT(bas.size(), 10u);
        EXPECT_EQ(CRepertoireTemp::Lire(Local() / "Traces" / "Mesures \xc3\xa9t\xc3\xa9" /
                                        "Fibre_\xc3\xa9" "01_1550nm.sor").substr(0, 8), "SIMTRACE");

        Ecrire(Local() / "Traces" / "Mesures \xc3\xa9t\xc3\xa9" / "note.txt", "checked");
        ASSERT_TRUE(f.DoubleCliquer(IDC_REPS_DISTANTS, Index(repsD, L"[Reports]")));
        ASSERT_TRUE(f.Cliquer(IDC_RAFRAICHIR_LOCAL));
        ASSERT_TRUE(f.Choisir(IDC_REPS_LOCAUX, Index(repsL, L"[Traces]")));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_DISTANT));
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/Reports"));

        // Down again into another local folder: the same bytes came back.
        fs::create_directories(Local() / "retour");
        ASSERT_TRUE(f.Cliquer(IDC_RAFRAICHIR_LOCAL));
        ASSERT_TRUE(f.DoubleCliquer(IDC_REPS_LOCAUX, Index(repsL, L"[retour]")));
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(repsD, L"[Traces]")));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        EXPECT_EQ(Arbre(Local() / "retour" / "Traces"), Arbre(Local() / "Traces"));

        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(repsD, L"[Traces]")));
        ASSERT_TRUE(f.Cliquer(IDC_SUPPR_REP_DISTANT));
        ASSERT_TRUE(f.Cliquer(IDC_CONFIRMER_SUPPR_DISTANT));
        EXPECT_EQ(Entrees(repsD), (std::vector<CString>{L"[..]"}));
        EXPECT_TRUE(m_frontal->Messages().empty());
    });
    sim.Arreter();
}
