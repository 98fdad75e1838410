// The file transfer dialog without a server: layout, enabling, the local pane,
// the name entry and its filter, local directory operations, sorting, Enter.

#include "TransfertTest.h"
#include "ui/Ressources.h"

using namespace IdsControles;
namespace fs = std::filesystem;

namespace {

std::string R(const tRect& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

} // namespace

TEST_F(TransferDialogTest, LayoutForTwoSizesAndNoMoveWhenMinimised)
{
    CDlgFileTransfert dlg;
    EXPECT_EQ(dlg.ConnexionFtp(L"u", L"p", nullptr), 0);
    struct tAttendu { unsigned id; const char* a800; const char* a1001; };
    // Client 800 x 600, then 1001 x 700 (an odd width: every division truncates).
    // The status strip takes the bottom 27 pixels (its 23-pixel "Cancel" and a gap),
    // the two bars of a copy 19 more, each under its pane.
    const tAttendu attendus[] = {
        {IDC_REP_LOCAL, "100,3,400,23", "100,3,500,23"},
        {IDC_LECTEURS, "4,24,364,201", "4,24,464,201"},
        {IDC_REPS_LOCAUX, "4,52,364,174", "4,52,464,174"},
        {IDC_FICHIERS_LOCAUX, "4,180,396,506", "4,180,496,606"},
        {IDC_LIBELLE_DISTANT, "436,5,531,21", "536,5,631,21"},
        {IDC_REP_DISTANT, "531,3,796,23", "631,3,997,23"},
        {IDC_REPS_DISTANTS, "436,24,796,174", "536,24,997,174"},
        {IDC_FICHIERS_DISTANTS, "404,180,796,506", "504,180,997,606"},
        {IDC_FERMER, "370,24,430,50", "470,24,530,50"},
        {IDC_VERS_DISTANT, "385,86,414,109", "486,86,515,109"},
        {IDC_VERS_LOCAL, "385,115,414,138", "486,115,515,138"},
                {IDC_RAFRAICHIR_LOCAL, "4,514,64,550", "4,614,64,650"},
        {IDC_CONFIRMER_SUPPR_LOCAL, "4,514,64,550", "4,614,64,650"},
        {IDC_SUPPR_FICHIERS_LOCAUX, "114,514,174,550", "148,614,208,650"},
        {IDC_CREER_REP_LOCAL, "226,514,286,550", "292,614,352,650"},
        {IDC_SUPPR_REP_LOCAL, "336,514,396,550", "436,614,496,650"},
        {IDC_ANNULER_SUPPR_LOCAL, "336,514,396,550", "436,614,496,650"},
        {IDC_LIBELLE_NOM_LOCAL, "68,514,211,529", "68,614,211,629"},
        {IDC_NOM_LOCAL, "68,533,332,548", "68,633,432,648"},
        {IDC_ANNULER_NOM_LOCAL, "336,514,396,532", "436,614,496,632"},
        {IDC_VALIDER_NOM_LOCAL, "336,532,396,550", "436,632,496,650"},
        {IDC_QUESTION_LOCAL, "68,514,332,550", "68,614,432,650"},
        {IDC_RAFRAICHIR_DISTANT, "404,514,464,550", "504,614,564,650"},
        {IDC_SUPPR_FICHIERS_DISTANTS, "514,514,574,550", "648,614,708,650"},
        {IDC_CREER_REP_DISTANT, "626,514,686,550", "793,614,853,650"},
        {IDC_SUPPR_REP_DISTANT, "736,514,796,550", "937,614,997,650"},
        {IDC_NOM_DISTANT, "468,533,732,548", "568,633,933,648"},
        {IDC_VALIDER_NOM_DISTANT, "736,532,796,550", "937,632,997,650"},
        {IDC_QUESTION_DISTANT, "468,514,732,550", "568,614,933,650"},
        {IDC_ETAT_OPERATION, "4,573,732,596", "4,673,933,696"},
        {IDC_PROGRESSION_FICHIER, "4,556,396,571", "4,656,496,671"},
        {IDC_PROGRESSION, "404,556,796,571", "504,656,997,671"},
        {IDC_ANNULER_OPERATION, "736,573,796,596", "937,673,997,696"},
    };
    Executer(dlg, [&](CFenetreScriptee& f) {
        EXPECT_EQ(f.GetLargeurMinimale(), 640);
        EXPECT_EQ(f.GetHauteurMinimale(), 480);
        f.Redimensionner(800, 600);
        for (const auto& a : attendus)
            EXPECT_EQ(R(f.GetDlgItem(a.id)->GetRect()), a.a800) << a.id;
        f.Redimensionner(1001, 700);
        for (const auto& a : attendus)
            EXPECT_EQ(R(f.GetDlgItem(a.id)->GetRect()), a.a1001) << a.id;
        f.Minimiser();
        for (const auto& a : attendus)
            EXPECT_EQ(R(f.GetDlgItem(a.id)->GetRect()), a.a1001) << a.id;
        // Never smaller than the minimum tracking size.
        f.Redimensionner(300, 200);
        EXPECT_EQ(f.GetClientRect().Largeur(), 640);
    });
}

TEST_F(TransferDialogTest, WithoutLoginTheRemotePaneIsDisabledAndNothingIsSaved)
{
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee& f) {
        for (unsigned id : {IDC_REPS_DISTANTS, IDC_FICHIERS_DISTANTS, IDC_REP_DISTANT, IDC_VERS_DISTANT,
                            IDC_VERS_LOCAL, IDC_RAFRAICHIR_DISTANT, IDC_SUPPR_FICHIERS_DISTANTS,
                            IDC_CREER_REP_DISTANT, IDC_SUPPR_REP_DISTANT})
            EXPECT_FALSE(f.GetDlgItem(id)->IsWindowEnabled()) << id;
        // Refreshing the local pane enables the local buttons, never the remote ones.
        EXPECT_TRUE(f.Cliquer(IDC_RAFRAICHIR_LOCAL));
        EXPECT_TRUE(f.GetDlgItem(IDC_SUPPR_FICHIERS_LOCAUX)->IsWindowEnabled());
        EXPECT_FALSE(f.GetDlgItem(IDC_RAFRAICHIR_DISTANT)->IsWindowEnabled());
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(f.GetDlgItem(IDC_FICHIERS_DISTANTS)->GetColumnText(c),
                      Ressources::Chaine(2064 + c));
    });
    // No client: no disconnection and no profile write ("Rep Distant" never set).
    EXPECT_EQ(m_profil->Contient(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_DISTANT), 0);
}

TEST_F(TransferDialogTest, LocalPaneListsDirectoriesAndFilesWithSizesAndDates)
{
    Ecrire(Local() / "petit.sor", std::string(2046, 'x'));
    Ecrire(Local() / "moyen.sor", std::string(2047, 'x'));
    Ecrire(Local() / "grand.sor", std::string(2097151, 'x'));
    fs::create_directories(Local() / "sous" / "bas");
    // A link to nothing: a file whose time cannot be read.
    fs::create_symlink(Local() / "nulle-part", Local() / "casse");

    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee& f) {
        IControle* table = f.GetDlgItem(IDC_FICHIERS_LOCAUX);
        EXPECT_EQ(f.GetDlgItem(IDC_REP_LOCAL)->GetWindowText(), Dossier(Local()));
        EXPECT_EQ(Entrees(f.GetDlgItem(IDC_REPS_LOCAUX)), (std::vector<CString>{L"[..]", L"[sous]"}));
        EXPECT_EQ(Colonne(table), (std::vector<CString>{L"casse", L"grand.sor", L"moyen.sor", L"petit.sor"}));
        EXPECT_EQ(Colonne(table, 1), (std::vector<CString>{L"0", L"2.0 M", L"2.0 k", L"2046"}));
        EXPECT_EQ(table->GetItemText(0, 2), CString(L"Unknown"));
        // Dates: fixed layout MM/DD/YYYY HH:MM:SS.
        const CString d = table->GetItemText(1, 2);
        ASSERT_EQ(d.GetLength(), 19);
        EXPECT_EQ(d[2], L'/');
        EXPECT_EQ(d[5], L'/');
        EXPECT_EQ(d[13], L':');
    });
}

TEST_F(TransferDialogTest, DoubleClickEntersADirectoryAndTheParentEntryComesBack)
{
    Ecrire(Local() / "sous" / "dedans.txt", std::string(3, 'x'));
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee& f) {
        IControle* reps = f.GetDlgItem(IDC_REPS_LOCAUX);
        EXPECT_TRUE(f.DoubleCliquer(IDC_REPS_LOCAUX, Index(reps, L"[sous]")));
        EXPECT_EQ(dlg.GetRepLocal(), Dossier(Local() / "sous"));
        EXPECT_EQ(Colonne(f.GetDlgItem(IDC_FICHIERS_LOCAUX)), (std::vector<CString>{L"dedans.txt"}));
        EXPECT_TRUE(f.DoubleCliquer(IDC_REPS_LOCAUX, Index(reps, L"[..]")));
        EXPECT_EQ(dlg.GetRepLocal(), Dossier(Local()));
    });
    EXPECT_EQ(m_profil->GetProfileString(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_LOCAL, L""),
              Dossier(Local()));
}

TEST_F(TransferDialogTest, DriveSelectorOffersTheRootAndHome)
{
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee& f) {
        IControle* lecteurs = f.GetDlgItem(IDC_LECTEURS);
        EXPECT_EQ(Entrees(lecteurs), (std::vector<CString>{L"[-/-]", L"[-~-]"}));
        // The root lists "/" and has no "[..]".
        EXPECT_TRUE(f.Choisir(IDC_LECTEURS, Index(lecteurs, L"[-/-]")));
        EXPECT_EQ(dlg.GetRepLocal(), CString(L"/"));
        EXPECT_EQ(Index(f.GetDlgItem(IDC_REPS_LOCAUX), L"[..]"), -1);
        EXPECT_TRUE(f.Choisir(IDC_LECTEURS, Index(lecteurs, L"[-~-]")));
        EXPECT_EQ(dlg.GetRepLocal(), Dossier(m_maison.Chemin()));
        EXPECT_EQ(lecteurs->GetText(lecteurs->GetCurSel()), CString(L"[-~-]"));
    });
}

TEST_F(TransferDialogTest, StoredLocalDirectoryThatIsGoneGivesWayToHome)
{
    DefinirRepLocal(Local() / "disparu");
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee&) { EXPECT_EQ(dlg.GetRepLocal(), Dossier(m_maison.Chemin())); });
}

TEST_F(TransferDialogTest, FocusRuleKeepsOneKindOfSelectionPerPane)
{
    Ecrire(Local() / "a.txt", "x");
    fs::create_directories(Local() / "d");
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee& f) {
        IControle* reps = f.GetDlgItem(IDC_REPS_LOCAUX);
        IControle* table = f.GetDlgItem(IDC_FICHIERS_LOCAUX);
        EXPECT_TRUE(f.Choisir(IDC_REPS_LOCAUX, Index(reps, L"[d]")));
        EXPECT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, 0));
        EXPECT_EQ(reps->GetCurSel(), -1);
        EXPECT_EQ(table->GetSelectedCount(), 1);
        EXPECT_TRUE(f.Choisir(IDC_REPS_LOCAUX, Index(reps, L"[d]")));
        EXPECT_EQ(table->GetSelectedCount(), 0);
    });
}

TEST_F(TransferDialogTest, EnterWithTheFocusOnAListKeepsTheDialogOpen)
{
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee& f) {
        EXPECT_TRUE(f.DonnerFocus(IDC_FICHIERS_LOCAUX));
        f.AppuyerEntree();
        EXPECT_FALSE(f.EstTerminee());
        EXPECT_FALSE(f.GetDlgItem(IDC_NOM_LOCAL)->IsWindowVisible());
    });
}

TEST_F(TransferDialogTest, NameEntryRefusesWhatCannotNameADirectoryAsItIsTyped)
{
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee& f) {
        IControle* champ = f.GetDlgItem(IDC_NOM_LOCAL);
        EXPECT_TRUE(f.Cliquer(IDC_CREER_REP_LOCAL));
        EXPECT_TRUE(champ->IsWindowVisible());
        EXPECT_FALSE(f.GetDlgItem(IDC_CREER_REP_LOCAL)->IsWindowVisible());
        EXPECT_EQ(dlg.SaisieRepertoireOuverte(), 1);
        struct { const wchar_t* action; const wchar_t* texte; const wchar_t* reste; } cas[] = {
            {L"type", L"a", L"a"}, {L"type", L"*", L"a"}, {L"clear", L"", L""},
            {L"type", L" ", L""}, {L"type", L".", L""}, {L"paste", L"x:y", L"x"},
            {L"clear", L"", L""}, {L"paste", L"ab?cd", L"ab"}, {L"type", L".c", L"ab.c"},
            {L"clear", L"", L"ab."}, {L"clear", L"", L"ab"}, {L"clear", L"", L"a"}, {L"clear", L"", L""},
        };
        for (const auto& c : cas) {
            const CString a(c.action);
            if (a == L"type") f.Taper(IDC_NOM_LOCAL, c.texte);
            else if (a == L"paste") f.Coller(IDC_NOM_LOCAL, c.texte);
            else f.Effacer(IDC_NOM_LOCAL);
            EXPECT_EQ(champ->GetWindowText(), CString(c.reste)) << CString(c.texte).size();
        }
    });
}

TEST_F(TransferDialogTest, EmptyDirectoryNameIsRefusedWithAMessage)
{
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee& f) {
        EXPECT_TRUE(f.Cliquer(IDC_CREER_REP_LOCAL));
        EXPECT_TRUE(f.Cliquer(IDC_VALIDER_NOM_LOCAL));
        ASSERT_EQ(m_frontal->Messages().size(), 1u);
        EXPECT_EQ(m_frontal->Messages()[0], Ressources::Chaine(Ressources::IDS_NOM_REPERTOIRE_INVALIDE));
        EXPECT_TRUE(f.GetDlgItem(IDC_NOM_LOCAL)->IsWindowVisible());
    });
}

TEST_F(TransferDialogTest, EnterInTheNameEntryCreatesTheDirectory)
{
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee& f) {
        EXPECT_TRUE(f.Cliquer(IDC_CREER_REP_LOCAL));
        f.Taper(IDC_NOM_LOCAL, L"neuf");
        f.AppuyerEntree();
        EXPECT_TRUE(fs::is_directory(Local() / "neuf"));
        EXPECT_FALSE(f.GetDlgItem(IDC_NOM_LOCAL)->IsWindowVisible());
        EXPECT_TRUE(f.GetDlgItem(IDC_CREER_REP_LOCAL)->IsWindowVisible());
        EXPECT_EQ(dlg.SaisieRepertoireOuverte(), 0);
        EXPECT_NE(Index(f.GetDlgItem(IDC_REPS_LOCAUX), L"[neuf]"), -1);
        EXPECT_FALSE(f.EstTerminee());
    });
}

TEST_F(TransferDialogTest, CancelledNameEntryCreatesNothing)
{
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee& f) {
        EXPECT_TRUE(f.Cliquer(IDC_CREER_REP_LOCAL));
        f.Taper(IDC_NOM_LOCAL, L"jamais");
        EXPECT_TRUE(f.Cliquer(IDC_ANNULER_NOM_LOCAL));
        EXPECT_FALSE(f.GetDlgItem(IDC_NOM_LOCAL)->IsWindowVisible());
        EXPECT_FALSE(f.EstTerminee());
    });
    EXPECT_FALSE(fs::exists(Local() / "jamais"));
}

TEST_F(TransferDialogTest, DeleteFilesAsksOnceNamingTheFileOrTheCount)
{
    for (const char* n : {"un.txt", "deux.txt", "trois.txt"}) Ecrire(Local() / n, "x");
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee& f) {
        IControle* table = f.GetDlgItem(IDC_FICHIERS_LOCAUX);
        // One file, refused: nothing goes.
        EXPECT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, Ligne(table, L"trois.txt")));
        m_frontal->AjouterReponseMessage(ID_NON);
        EXPECT_TRUE(f.Cliquer(IDC_SUPPR_FICHIERS_LOCAUX));
        EXPECT_EQ(table->GetItemCount(), 3);
        // Two files, by the Delete key this time, accepted.
        EXPECT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, Ligne(table, L"deux.txt")));
        EXPECT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, Ligne(table, L"un.txt"), tModificateur::Ctrl));
        EXPECT_TRUE(f.AppuyerSuppr());
        EXPECT_EQ(Colonne(table), (std::vector<CString>{L"trois.txt"}));
        EXPECT_FALSE(f.GetDlgItem(IDC_PROGRESSION)->IsWindowVisible());
        EXPECT_EQ(dlg.GetEtat(), CString(L"2 of 2 files deleted"));
        // The focus stays where the user left it, on the list.
        EXPECT_EQ(f.GetFocus(), table);
    });
    EXPECT_EQ(m_frontal->Messages(), (std::vector<CString>{L"Delete \"trois.txt\" from this computer ?",
                                                           L"Delete the 2 selected files from this computer ?"}));
    EXPECT_TRUE(fs::exists(Local() / "trois.txt"));
    EXPECT_FALSE(fs::exists(Local() / "un.txt"));
}

TEST_F(TransferDialogTest, RemovingTheParentEntryOrNothingAsksNothing)
{
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee& f) {
        EXPECT_TRUE(f.Cliquer(IDC_SUPPR_REP_LOCAL));
        EXPECT_FALSE(f.GetDlgItem(IDC_QUESTION_LOCAL)->IsWindowVisible());
        EXPECT_TRUE(f.Choisir(IDC_REPS_LOCAUX, Index(f.GetDlgItem(IDC_REPS_LOCAUX), L"[..]")));
        EXPECT_TRUE(f.Cliquer(IDC_SUPPR_REP_LOCAL));
        EXPECT_FALSE(f.GetDlgItem(IDC_QUESTION_LOCAL)->IsWindowVisible());
    });
    EXPECT_TRUE(fs::is_directory(Local()));
}

TEST_F(TransferDialogTest, LocalTreeIsRemovedOnlyOnceConfirmedAndNotThroughItsLinks)
{
    Ecrire(Local() / "arbre" / "f.txt", "x");
    Ecrire(Local() / "arbre" / "a" / "b" / "c" / "g.txt", "x");
    fs::create_directories(Local() / "arbre" / "vide");
    fs::create_directories(Local() / "garder");
    // A link inside the tree to a directory outside it: removed as a link only.
    Ecrire(RacineLocale().Chemin() / "dehors" / "precieux.txt", "x");
    fs::create_directory_symlink(RacineLocale().Chemin() / "dehors", Local() / "arbre" / "lien");

    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee& f) {
        IControle* reps = f.GetDlgItem(IDC_REPS_LOCAUX);
        IControle* question = f.GetDlgItem(IDC_QUESTION_LOCAL);
        // Ask, cancel; ask, then pick another directory: the question goes.
        EXPECT_TRUE(f.Choisir(IDC_REPS_LOCAUX, Index(reps, L"[arbre]")));
        EXPECT_TRUE(f.Cliquer(IDC_SUPPR_REP_LOCAL));
        EXPECT_TRUE(question->IsWindowVisible());
        EXPECT_EQ(question->GetWindowText(), CString(L"Do you really want to delete the whole directory \"arbre\" ?"));
        EXPECT_TRUE(f.Cliquer(IDC_ANNULER_SUPPR_LOCAL));
        EXPECT_TRUE(f.GetDlgItem(IDC_SUPPR_REP_LOCAL)->IsWindowVisible());
        EXPECT_TRUE(f.Choisir(IDC_REPS_LOCAUX, Index(reps, L"[arbre]")));
        EXPECT_TRUE(f.Cliquer(IDC_SUPPR_REP_LOCAL));
        EXPECT_TRUE(f.Choisir(IDC_REPS_LOCAUX, Index(reps, L"[garder]")));
        EXPECT_FALSE(question->IsWindowVisible());
        EXPECT_FALSE(f.Cliquer(IDC_CONFIRMER_SUPPR_LOCAL));
        // Ask about arbre; whatever the list shows by then, "Remove" removes arbre.
        EXPECT_TRUE(f.Choisir(IDC_REPS_LOCAUX, Index(reps, L"[arbre]")));
        EXPECT_TRUE(f.Cliquer(IDC_SUPPR_REP_LOCAL));
        reps->SetCurSel(Index(reps, L"[garder]"));
        EXPECT_TRUE(f.Cliquer(IDC_CONFIRMER_SUPPR_LOCAL));
        EXPECT_FALSE(question->IsWindowVisible());
        EXPECT_TRUE(f.GetDlgItem(IDC_FERMER)->IsWindowEnabled());
        EXPECT_EQ(dlg.TransfertEnCours(), 0);
    });
    EXPECT_TRUE(m_frontal->Messages().empty());
    EXPECT_FALSE(fs::exists(Local() / "arbre"));
    EXPECT_TRUE(fs::is_directory(Local() / "garder"));
    EXPECT_TRUE(fs::exists(RacineLocale().Chemin() / "dehors" / "precieux.txt"));
    EXPECT_EQ(dlg.GetRepLocal(), Dossier(Local()));
}

TEST_F(TransferDialogTest, HeaderClicksFlipAndResetDirections)
{
    Ecrire(Local() / "c", std::string(3 * 1048576 + 600000, 'x'));  // 3.6 M
    Ecrire(Local() / "a", std::string(12, 'x'));
    Ecrire(Local() / "b", std::string(900 * 1024, 'x'));            // 900.0 k
    Ecrire(Local() / "B", std::string(12, 'x'));
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](CFenetreScriptee& f) {
        IControle* table = f.GetDlgItem(IDC_FICHIERS_LOCAUX);
        using V = std::vector<CString>;
        EXPECT_EQ(Colonne(table), (V{L"B", L"a", L"b", L"c"}));
        // A selected row keeps its selection through the sort.
        EXPECT_TRUE(f.CliquerLigne(IDC_FICHIERS_LOCAUX, Ligne(table, L"a")));

        EXPECT_TRUE(f.CliquerEnTete(IDC_FICHIERS_LOCAUX, 0));
        EXPECT_EQ(Colonne(table), (V{L"c", L"b", L"a", L"B"}));
        EXPECT_EQ(dlg.GetSensTri(0), 0);
        bool bAscendant = false;
        EXPECT_EQ(table->GetIndicateurTri(&bAscendant), 0);
        EXPECT_FALSE(bAscendant);
        // Sizes by their bytes, not by the number shown (3.6 M, 12, 12, 900.0 k).
        EXPECT_TRUE(f.CliquerEnTete(IDC_FICHIERS_LOCAUX, 1));
        EXPECT_EQ(Colonne(table), (V{L"B", L"a", L"b", L"c"}));
        EXPECT_EQ(dlg.GetSensTri(0), 0);
        EXPECT_EQ(dlg.GetSensTri(1), 1);
        EXPECT_EQ(f.GetDlgItem(IDC_FICHIERS_DISTANTS)->GetIndicateurTri(&bAscendant), 1);
        EXPECT_TRUE(bAscendant);
        EXPECT_TRUE(f.CliquerEnTete(IDC_FICHIERS_LOCAUX, 1));
        EXPECT_EQ(Colonne(table), (V{L"c", L"b", L"B", L"a"}));  // equal sizes stay in name order
        EXPECT_TRUE(f.CliquerEnTete(IDC_FICHIERS_LOCAUX, 2));
        EXPECT_EQ(dlg.GetSensTri(1), 0);
        EXPECT_EQ(dlg.GetSensTri(2), 1);
        EXPECT_EQ(dlg.GetColonneTri(), 2);
        EXPECT_TRUE(f.CliquerEnTete(IDC_FICHIERS_LOCAUX, 1));
        EXPECT_EQ(Colonne(table), (V{L"B", L"a", L"b", L"c"}));  // ascending again
        ASSERT_EQ(table->GetSelectedCount(), 1);
        EXPECT_EQ(table->GetItemText(table->GetNextSelected(-1), 0), CString(L"a"));

        // A refill keeps the chosen order.
        EXPECT_TRUE(f.Cliquer(IDC_RAFRAICHIR_LOCAL));
        EXPECT_EQ(Colonne(table), (V{L"B", L"a", L"b", L"c"}));
    });
}
