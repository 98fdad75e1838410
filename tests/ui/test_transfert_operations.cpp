// The transfer dialog's operations as a user lives them, on the scripted front
// end against a real FTP server: the question before overwriting, Cancel
// during a copy, what input does while an operation runs, where the focus is
// afterwards, the summary and the failures with their causes.

#include "TransfertFtpTest.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <utime.h>

#include "ui/Ressources.h"

using namespace IdsControles;
namespace fs = std::filesystem;

namespace {

void DaterFichier(const fs::path& p, std::time_t t)
{
    struct utimbuf u {t, t};
    ASSERT_EQ(::utime(p.c_str(), &u), 0) << p;
}

std::time_t DateFichier(const fs::path& p)
{
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_mtime : 0;
}

// The temporary files a download may leave beside its target.
int Temporaires(const fs::path& rep)
{
    int n = 0;
    for (const auto& e : fs::directory_iterator(rep))
        n += e.path().filename().string().find(".part") != std::string::npos;
    return n;
}

constexpr std::time_t kAncien = 1700000000, kRecent = 1750000000;

} // namespace

class TransferOperationsTest : public TransferDialogFtpTest
{
protected:
    // Remote a, b, c (new contents, dated kRecent) and local a, b, c (old
    // contents); local b is newer than its remote copy.
    void PreparerExistants()
    {
        for (const char* n : {"a.sor", "b.sor", "c.sor"}) {
            Ecrire(Serveur() / n, std::string("new ") + n);
            Ecrire(Local() / n, std::string("old ") + n);
            DaterFichier(Serveur() / n, kRecent);
            DaterFichier(Local() / n, kAncien);
        }
        DaterFichier(Local() / "b.sor", kRecent + 100);
    }

    // Queues the user's answer to the next overwrite question, keeping what it showed.
    void Repondre(unsigned idBouton, std::vector<std::vector<CString>>* pVus = nullptr)
    {
        m_frontal->AjouterScriptModal([idBouton, pVus](CFenetreScriptee& q) {
            EXPECT_EQ(q.GetModele().nId, Ressources::IDD_ECRASEMENT);
            if (pVus)
                pVus->push_back({q.GetDlgItem(IDC_TEXTE_ECRASEMENT)->GetWindowText(),
                                 q.GetDlgItem(IDC_FICHIER_EXISTANT)->GetWindowText(),
                                 q.GetDlgItem(IDC_FICHIER_COPIE)->GetWindowText()});
            EXPECT_EQ(q.GetFocus(), q.GetDlgItem(IDC_PASSER)) << "the safe answer has the focus";
            EXPECT_TRUE(q.Cliquer(idBouton));
        });
    }

    static void ToutSelectionner(CFenetreScriptee& f, unsigned idTable)
    {
        IControle* table = f.GetDlgItem(idTable);
        ASSERT_TRUE(f.CliquerLigne(idTable, 0));
        ASSERT_TRUE(f.CliquerLigne(idTable, table->GetItemCount() - 1, tModificateur::Maj));
    }
};

TEST_F(TransferOperationsTest, DownloadOverExistingFilesAsksWithBothFilesAndForAllAnswersTheRest)
{
    PreparerExistants();
    std::vector<std::vector<CString>> vus;
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        ToutSelectionner(f, IDC_FICHIERS_DISTANTS);
        Repondre(IDC_PASSER, &vus);                    // a: skipped
        Repondre(IDC_ECRASER_TOUT_SI_RECENT, &vus);    // b: local newer, kept; c: asked no more
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        EXPECT_EQ(dlg.GetEtat(), CString(L"1 of 3 files copied (9), 2 skipped"));
    });
    EXPECT_EQ(CRepertoireTemp::Lire(Local() / "a.sor"), "old a.sor");
    EXPECT_EQ(CRepertoireTemp::Lire(Local() / "b.sor"), "old b.sor");
    EXPECT_EQ(CRepertoireTemp::Lire(Local() / "c.sor"), "new c.sor");
    ASSERT_EQ(vus.size(), 2u);
    EXPECT_EQ(vus[0][0], L"The file \"a.sor\" already exists on this computer, in " + Dossier(Local()));
    EXPECT_EQ(vus[0][1], CString(L"Existing file : 9 (9 bytes), 11/14/2023 22:13:20"));
    EXPECT_EQ(vus[0][2], CString(L"Copied file : 9 (9 bytes), 06/15/2025 15:06:40 - newer"));
    EXPECT_EQ(vus[1][1], CString(L"Existing file : 9 (9 bytes), 06/15/2025 15:08:20 - newer"));
    EXPECT_TRUE(m_frontal->Messages().empty());
}

TEST_F(TransferOperationsTest, UploadOverAnExistingRemoteFileAsksAndCancelThereStopsTheCopy)
{
    PreparerExistants();
    std::vector<std::vector<CString>> vus;
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        ToutSelectionner(f, IDC_FICHIERS_LOCAUX);
        Repondre(ID_ANNULER, &vus);
        ASSERT_TRUE(f.Cliquer(IDC_VERS_DISTANT));
        EXPECT_EQ(dlg.GetEtat(), CString(L"Cancelled: 0 of 3 files copied (0), 3 not done"));
        EXPECT_FALSE(f.GetDlgItem(IDC_ANNULER_OPERATION)->IsWindowVisible());
        // The next copy asks again: a cancel is not an answer for all.
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, Ligne(f.GetDlgItem(IDC_FICHIERS_LOCAUX), L"b.sor")));
        Repondre(IDC_ECRASER_SI_RECENT);
        ASSERT_TRUE(f.Cliquer(IDC_VERS_DISTANT));
        EXPECT_EQ(dlg.GetEtat(), CString(L"1 of 1 files copied (9)"));
    });
    ASSERT_EQ(vus.size(), 1u);
    EXPECT_EQ(vus[0][0], CString(L"The file \"a.sor\" already exists on the instrument, in /"));
    EXPECT_EQ(CRepertoireTemp::Lire(Serveur() / "a.sor"), "new a.sor");
    EXPECT_EQ(CRepertoireTemp::Lire(Serveur() / "b.sor"), "old b.sor");
    EXPECT_EQ(CRepertoireTemp::Lire(Serveur() / "c.sor"), "new c.sor");
    EXPECT_EQ(m_frontal->ActionsEnAttente(), 0);
}

TEST_F(TransferOperationsTest, CancelDuringACopyStopsItAndLeavesTheOldFilesWhole)
{
    // Five files of 120 kB, throttled: the server sends a 64 kB chunk, then
    // waits two seconds before the next: ten seconds unless stopped.
    std::vector<std::string> contenus;
    for (int i = 0; i < 5; ++i) {
        const std::string n = "t" + std::to_string(i) + ".sor";
        contenus.push_back(Binaire(i, 120000));
        Ecrire(Serveur() / n, contenus.back());
        Ecrire(Local() / n, "old");
    }
    CDlgFileTransfert dlg;
    int nVuEnCours = 0;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        ToutSelectionner(f, IDC_FICHIERS_DISTANTS);
        Repondre(IDC_ECRASER_TOUT);
        // While the copy runs: the status line counts, input elsewhere goes
        // nowhere, Cancel is live.
        m_frontal->PendantAttente([&] {
            const CString etat = dlg.GetEtat();
            if (etat.Find(L"Copying") != 0) return false;
            ++nVuEnCours;
            EXPECT_NE(etat.Find(L"of 5"), -1) << etat.c_str();
            EXPECT_NE(etat.Find(L"total "), -1) << etat.c_str();
            EXPECT_TRUE(f.GetDlgItem(IDC_PROGRESSION)->IsWindowVisible());
            EXPECT_FALSE(f.Cliquer(IDC_FERMER));
            EXPECT_FALSE(f.Cliquer(IDC_SUPPR_FICHIERS_LOCAUX));
            EXPECT_FALSE(f.Taper(IDC_REP_DISTANT, L"/ailleurs"));
            EXPECT_FALSE(f.AppuyerSuppr());
            EXPECT_TRUE(f.Cliquer(IDC_ANNULER_OPERATION));
            return true;
        });
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        EXPECT_NE(dlg.GetEtat().Find(L"Cancelled: "), -1) << dlg.GetEtat().c_str();
        EXPECT_NE(dlg.GetEtat().Find(L"not done"), -1) << dlg.GetEtat().c_str();
        EXPECT_FALSE(f.EstTerminee());
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/"));
    }, {"--throttle", "50000"});
    EXPECT_EQ(nVuEnCours, 1);
    EXPECT_EQ(m_frontal->ActionsEnAttente(), 0);
    // Whatever was under way is whole: the old file.
    int nCopies = 0;
    for (int i = 0; i < 5; ++i) {
        const std::string vu = CRepertoireTemp::Lire(Local() / ("t" + std::to_string(i) + ".sor"));
        EXPECT_TRUE(vu == "old" || vu == contenus[i]) << i;
        nCopies += vu != "old";
    }
    EXPECT_EQ(nCopies, 0) << "the transfer under way was not stopped";
    EXPECT_EQ(Temporaires(Local()), 0);
    EXPECT_TRUE(m_frontal->Messages().empty()) << "a cancel is not a failure";
}

TEST_F(TransferOperationsTest, TreeCopyAsksBeforeOverwritingCountsBytesAndStopsOnCancel)
{
    // a.sor exists on both sides; below it three throttled 120 kB files.
    Ecrire(Serveur() / "arbre" / "a.sor", "new a");
    Ecrire(Local() / "arbre" / "a.sor", "old a");
    for (int i = 0; i < 3; ++i)
        Ecrire(Serveur() / "arbre" / "sub" / ("t" + std::to_string(i) + ".sor"), Binaire(i, 120000));
    Ecrire(Local() / "arbre" / "sub" / "t0.sor", "old t0");
    CDlgFileTransfert dlg;
    std::vector<std::vector<CString>> vus;
    CString vuEnCours;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(f.GetDlgItem(IDC_REPS_DISTANTS), L"[arbre]")));
        Repondre(IDC_PASSER, &vus);        // a.sor
        Repondre(IDC_ECRASER, &vus);       // sub/t0.sor
        m_frontal->PendantAttente([&] {
            const CString etat = dlg.GetEtat();
            if (etat.Find(L"t0.sor") == -1 || etat.Find(L" k of ") == -1)
                return false;
            vuEnCours = etat;
            EXPECT_TRUE(f.GetDlgItem(IDC_ANNULER_OPERATION)->IsWindowVisible());
            EXPECT_FALSE(f.Cliquer(IDC_VERS_DISTANT));
            EXPECT_TRUE(f.Cliquer(IDC_ANNULER_OPERATION));
            return true;
        });
        ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
        EXPECT_EQ(dlg.GetEtat().Find(L"Cancelled: "), 0) << dlg.GetEtat().c_str();
        EXPECT_NE(dlg.GetEtat().Find(L"1 skipped"), -1) << dlg.GetEtat().c_str();
        EXPECT_NE(dlg.GetEtat().Find(L"not done"), -1) << dlg.GetEtat().c_str();
    }, {"--throttle", "50000"});
    ASSERT_EQ(vus.size(), 2u);
    EXPECT_NE(vus[0][0].Find(L"\"a.sor\""), -1);
    EXPECT_NE(vus[1][0].Find(L"\"t0.sor\""), -1);
    // The file being copied went on counting its bytes towards a total that grows.
    EXPECT_NE(vuEnCours.Find(L"total "), -1) << vuEnCours.c_str();
    EXPECT_EQ(CRepertoireTemp::Lire(Local() / "arbre" / "a.sor"), "old a");
    EXPECT_EQ(CRepertoireTemp::Lire(Local() / "arbre" / "sub" / "t0.sor"), "old t0");
    EXPECT_FALSE(fs::exists(Local() / "arbre" / "sub" / "t1.sor"));
    EXPECT_EQ(Temporaires(Local() / "arbre" / "sub"), 0);
    EXPECT_TRUE(m_frontal->Messages().empty()) << "a cancel is not a failure";
}

TEST_F(TransferOperationsTest, CancelDuringATreeRemovalStopsTheWalkWhereItStands)
{
    Ecrire(Local() / "arbre" / "f.txt", "x");
    Ecrire(Local() / "arbre" / "a" / "g.txt", "x");
    fs::create_directories(Local() / "arbre" / "vide");
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee& f) {
        ASSERT_TRUE(f.Choisir(IDC_REPS_LOCAUX, Index(f.GetDlgItem(IDC_REPS_LOCAUX), L"[arbre]")));
        ASSERT_TRUE(f.Cliquer(IDC_SUPPR_REP_LOCAL));
        m_frontal->PendantAttente([&] { return f.Cliquer(IDC_ANNULER_OPERATION); });
        ASSERT_TRUE(f.Cliquer(IDC_CONFIRMER_SUPPR_LOCAL));
        EXPECT_EQ(dlg.GetRepLocal(), Dossier(Local()));
        EXPECT_EQ(dlg.GetEtat().Find(L"Cancelled: "), 0) << dlg.GetEtat().c_str();
        EXPECT_FALSE(f.GetDlgItem(IDC_QUESTION_LOCAL)->IsWindowVisible());
    });
    // Not even the empty directory went once the user said stop.
    EXPECT_EQ(Arbre(Local() / "arbre"), (std::map<std::string, std::string>{
                                             {"f.txt", "x"}, {"a", "<dir>"}, {"a/g.txt", "x"}, {"vide", "<dir>"}}));
    EXPECT_TRUE(m_frontal->Messages().empty());
}

TEST_F(TransferOperationsTest, FocusStartsInAListAndGoesToTheListEachOperationActedOn)
{
    PreparerD();
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        auto focus = [&] { return f.GetFocus() ? f.GetFocus()->GetId() : 0u; };
        EXPECT_EQ(focus(), IDC_FICHIERS_LOCAUX) << "at opening";
        for (unsigned id : {IDC_RAFRAICHIR_LOCAL, IDC_RAFRAICHIR_DISTANT}) {
            ASSERT_TRUE(f.Cliquer(id));
            EXPECT_EQ(focus(), id);
        }
        // A copy: back to the list copied from; the remote path is untouched.
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, 0));
        ASSERT_TRUE(f.Cliquer(IDC_VERS_DISTANT));
        EXPECT_EQ(focus(), IDC_FICHIERS_LOCAUX) << "after a copy";
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/d"));
        // Enter on a directory opens it.
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(f.GetDlgItem(IDC_REPS_DISTANTS), L"[sous]")));
        f.AppuyerEntree();
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/d/sous"));
        EXPECT_EQ(focus(), IDC_REPS_DISTANTS);
    });
}

TEST_F(TransferOperationsTest, QuestionsTakeTheFocusEscapeClosesThemAndGivesItBack)
{
    fs::create_directories(Local() / "vieux");
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee& f) {
        auto focus = [&] { return f.GetFocus() ? f.GetFocus()->GetId() : 0u; };
        // The name entry: its field takes the focus; Escape closes the entry
        // only, and the focus goes back to the button that opened it.
        ASSERT_TRUE(f.Cliquer(IDC_CREER_REP_LOCAL));
        EXPECT_EQ(focus(), IDC_NOM_LOCAL);
        f.AppuyerEchap();
        EXPECT_FALSE(f.EstTerminee()) << "Escape on the entry closed the dialog";
        EXPECT_FALSE(f.GetDlgItem(IDC_NOM_LOCAL)->IsWindowVisible());
        EXPECT_EQ(focus(), IDC_CREER_REP_LOCAL);
        // Made with Enter: the focus lands on the directory list.
        ASSERT_TRUE(f.Cliquer(IDC_CREER_REP_LOCAL));
        ASSERT_TRUE(f.Taper(IDC_NOM_LOCAL, L"neuf"));
        f.AppuyerEntree();
        EXPECT_TRUE(fs::is_directory(Local() / "neuf"));
        EXPECT_EQ(focus(), IDC_REPS_LOCAUX) << "after creating a directory";
        // The removal question: its Cancel takes the focus (Enter is harmless);
        // Escape withdraws it and gives the focus back to the list.
        ASSERT_TRUE(f.Choisir(IDC_REPS_LOCAUX, Index(f.GetDlgItem(IDC_REPS_LOCAUX), L"[vieux]")));
        ASSERT_TRUE(f.AppuyerSuppr());
        EXPECT_EQ(focus(), IDC_ANNULER_SUPPR_LOCAL);
        f.AppuyerEchap();
        EXPECT_FALSE(f.EstTerminee()) << "Escape on the question closed the dialog";
        EXPECT_FALSE(f.GetDlgItem(IDC_QUESTION_LOCAL)->IsWindowVisible());
        EXPECT_EQ(focus(), IDC_REPS_LOCAUX);
        EXPECT_TRUE(fs::is_directory(Local() / "vieux"));
        // Confirmed: removed, the focus on the list.
        ASSERT_TRUE(f.AppuyerSuppr());
        ASSERT_TRUE(f.Cliquer(IDC_CONFIRMER_SUPPR_LOCAL));
        EXPECT_FALSE(fs::exists(Local() / "vieux"));
        EXPECT_EQ(focus(), IDC_REPS_LOCAUX) << "after a removal";
        // With nothing open, Escape closes the dialog.
        f.AppuyerEchap();
        EXPECT_TRUE(f.EstTerminee());
    });
}

TEST_F(TransferOperationsTest, FailuresAreNamedWithTheirCause)
{
    for (const char* n : {"un.txt", "deux.txt"}) Ecrire(Local() / n, "x");
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        ToutSelectionner(f, IDC_FICHIERS_LOCAUX);
        fs::remove(Local() / "un.txt");  // gone behind the dialog's back
        ASSERT_TRUE(f.Cliquer(IDC_SUPPR_FICHIERS_LOCAUX));
        EXPECT_EQ(dlg.GetEtat(), CString(L"1 of 2 files deleted, 1 failed"));
    });
    ASSERT_EQ(m_frontal->Messages().size(), 2u);
    EXPECT_EQ(m_frontal->Messages()[1], L"These files or directories could not be handled :\n" +
                                            Texte(Local() / "un.txt") + L": No such file or directory");
}

// Downloads take the instrument's date, uploads give it theirs (MFMT).
namespace {

// A time zone for the test's length (POSIX rules: no zone files needed).
class CFuseau
{
public:
    explicit CFuseau(const char* pszTz)
    {
        if (const char* p = std::getenv("TZ")) m_strAncien = p, m_bAncien = true;
        setenv("TZ", pszTz, 1);
        tzset();
    }
    ~CFuseau()
    {
        if (m_bAncien) setenv("TZ", m_strAncien.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }
    CFuseau(const CFuseau&) = delete;
    CFuseau& operator=(const CFuseau&) = delete;

private:
    std::string m_strAncien;
    bool m_bAncien = false;
};

} // namespace

TEST_F(TransferOperationsTest, DatesTravelWithTheFilesBothWaysAndShowInLocalTime)
{
    struct tCas { const char* pszTz; const wchar_t* pszAncien; const wchar_t* pszRecent; };
    const tCas cas[] = {{"UTC0", L"11/14/2023 22:13:20", L"06/15/2025 15:06:40"},
                        {"XST-3", L"11/15/2023 01:13:20", L"06/15/2025 18:06:40"}};
    for (const tCas& c : cas) {
        SCOPED_TRACE(c.pszTz);
        CFuseau fuseau(c.pszTz);
        for (const fs::path& p : {Local() / "distant.sor", Serveur() / "local.sor"}) fs::remove(p);
        Ecrire(Serveur() / "distant.sor", "d");
        DaterFichier(Serveur() / "distant.sor", kAncien);
        Ecrire(Local() / "local.sor", "l");
        DaterFichier(Local() / "local.sor", kRecent);
        CDlgFileTransfert dlg;
        Ouvrir(dlg, [&](CFenetreScriptee& f) {
            IControle* distante = f.GetDlgItem(IDC_FICHIERS_DISTANTS);
            EXPECT_EQ(distante->GetItemText(Ligne(distante, L"distant.sor"), 2), CString(c.pszAncien));
            ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_DISTANTS, Ligne(distante, L"distant.sor")));
            ASSERT_TRUE(f.Cliquer(IDC_VERS_LOCAL));
            IControle* locale = f.GetDlgItem(IDC_FICHIERS_LOCAUX);
            EXPECT_EQ(locale->GetColumnText(2), CString(L"Date/Time (local)"));
            EXPECT_EQ(locale->GetItemText(Ligne(locale, L"distant.sor"), 2), CString(c.pszAncien));
            ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, Ligne(locale, L"local.sor")));
            ASSERT_TRUE(f.Cliquer(IDC_VERS_DISTANT));
            EXPECT_EQ(distante->GetItemText(Ligne(distante, L"local.sor"), 2), CString(c.pszRecent));
        });
        EXPECT_EQ(DateFichier(Local() / "distant.sor"), kAncien);
        EXPECT_EQ(DateFichier(Serveur() / "local.sor"), kRecent);
        m_ftp.reset();
    }
}

TEST_F(TransferOperationsTest, CommandKeysAndTheContextMenuDoWhatTheButtonsDoAndRenameOnBothSides)
{
    PreparerD();
    CDlgFileTransfert dlg;
    Ouvrir(dlg, [&](CFenetreScriptee& f) {
        auto focus = [&] { return f.GetFocus() ? f.GetFocus()->GetId() : 0u; };
        auto renommer = [&](unsigned idListe, unsigned idNom, const wchar_t* pszNom) {
            ASSERT_TRUE(f.DonnerFocus(idListe));
            ASSERT_TRUE(f.AppuyerTouche(tTouche::F2));
            ASSERT_EQ(focus(), idNom);
            f.GetDlgItem(idNom)->SetWindowText(pszNom);
            f.AppuyerEntree();
        };
        // F2: a local rename, then one on the instrument (RNFR/RNTO).
        IControle* locale = f.GetDlgItem(IDC_FICHIERS_LOCAUX);
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, Ligne(locale, L"l1.sor")));
        EXPECT_EQ(f.GetDlgItem(IDC_NOM_LOCAL)->GetWindowText(), CString());
        renommer(IDC_FICHIERS_LOCAUX, IDC_NOM_LOCAL, L"l1_1550nm.sor");
        EXPECT_TRUE(fs::exists(Local() / "l1_1550nm.sor"));
        EXPECT_FALSE(fs::exists(Local() / "l1.sor"));
        EXPECT_EQ(focus(), IDC_FICHIERS_LOCAUX);
        IControle* distante = f.GetDlgItem(IDC_FICHIERS_DISTANTS);
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_DISTANTS, Ligne(distante, L"r1.sor")));
        renommer(IDC_FICHIERS_DISTANTS, IDC_NOM_DISTANT, L"r1_1625nm.sor");
        EXPECT_TRUE(fs::exists(Serveur() / "d" / "r1_1625nm.sor"));
        EXPECT_FALSE(fs::exists(Serveur() / "d" / "r1.sor"));
        EXPECT_GE(Ligne(distante, L"r1_1625nm.sor"), 0) << "the pane was not refreshed";
        // Never over another file: refused, named, both whole.
        const auto n2 = fs::file_size(Local() / "l2.sor"), n3 = fs::file_size(Local() / "l3.sor");
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, Ligne(locale, L"l2.sor")));
        renommer(IDC_FICHIERS_LOCAUX, IDC_NOM_LOCAL, L"l3.sor");
        ASSERT_EQ(m_frontal->Messages().size(), 1u);
        EXPECT_NE(m_frontal->Messages()[0].Find(L"l2.sor"), -1) << m_frontal->Messages()[0].c_str();
        EXPECT_EQ(fs::file_size(Local() / "l2.sor"), n2);
        EXPECT_EQ(fs::file_size(Local() / "l3.sor"), n3);
        m_frontal->EffacerMessages();
        // F7 opens the name entry; Escape closes it.
        ASSERT_TRUE(f.DonnerFocus(IDC_FICHIERS_DISTANTS));
        ASSERT_TRUE(f.AppuyerTouche(tTouche::F7));
        EXPECT_EQ(focus(), IDC_NOM_DISTANT);
        f.AppuyerEchap();
        EXPECT_FALSE(f.GetDlgItem(IDC_NOM_DISTANT)->IsWindowVisible());
        // F5 lists again what changed behind the dialog's back.
        Ecrire(Serveur() / "d" / "nouveau.sor", "n");
        ASSERT_TRUE(f.DonnerFocus(IDC_FICHIERS_DISTANTS));
        ASSERT_TRUE(f.AppuyerTouche(tTouche::F5));
        EXPECT_GE(Ligne(distante, L"nouveau.sor"), 0);
        // The menu of the local files: what applies, then a copy through it.
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, Ligne(locale, L"l2.sor")));
        ASSERT_TRUE(f.OuvrirMenu(IDC_VERS_DISTANT));
        std::vector<unsigned> actives;
        for (const tEntreeMenu& e : f.DernierMenu())
            if (e.bActif && e.nCommande != 0) actives.push_back(e.nCommande);
        EXPECT_EQ(actives, (std::vector<unsigned>{IDC_VERS_DISTANT, IDC_MENU_RENOMMER, IDC_SUPPR_FICHIERS_LOCAUX,
                                                   IDC_CREER_REP_LOCAL, IDC_RAFRAICHIR_LOCAL}));
        EXPECT_EQ(fs::file_size(Serveur() / "d" / "l2.sor"), n2);
        // F8 deletes with the question (answered No here, then Yes).
        ASSERT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, Ligne(locale, L"l2.sor")));
        m_frontal->AjouterReponseMessage(ID_NON);
        ASSERT_TRUE(f.AppuyerTouche(tTouche::F8));
        EXPECT_TRUE(fs::exists(Local() / "l2.sor"));
        m_frontal->AjouterReponseMessage(ID_OUI);
        ASSERT_TRUE(f.AppuyerTouche(tTouche::F8));
        EXPECT_FALSE(fs::exists(Local() / "l2.sor"));
        // The directory menu opens; Backspace goes back up.
        ASSERT_TRUE(f.Choisir(IDC_REPS_DISTANTS, Index(f.GetDlgItem(IDC_REPS_DISTANTS), L"[sous]")));
        ASSERT_TRUE(f.OuvrirMenu(IDC_MENU_OUVRIR));
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/d/sous"));
        ASSERT_TRUE(f.DonnerFocus(IDC_REPS_DISTANTS));
        ASSERT_TRUE(f.AppuyerTouche(tTouche::RetourArriere));
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/d"));
    });
}
