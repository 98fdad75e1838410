// The control layer as the dialog logic sees it on the headless front end: the
// notification rules it relies on, list order, and modal runs that end at once
// when nobody is there.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/FrontalScripte.h"
#include "ui/CDialogue.h"
#include "ui/CJournalTransfert.h"
#include "ui/IdsControles.h"
#include "ui/Ressources.h"

using namespace IdsControles;

namespace {

struct tEvenement {
    unsigned id;
    tNotification n;
    int p;
    bool operator==(const tEvenement& o) const { return id == o.id && n == o.n && p == o.p; }
};
using tEvenements = std::vector<tEvenement>;

// A dialog that records what reaches its handlers.
class CDialogueJournal : public CDialogue
{
public:
    explicit CDialogueJournal(unsigned idModele) : CDialogue(idModele) {}
    tEvenements evenements;
    int nAnnuler = 0, nInit = 0, nDestroy = 0;
    bool bFinirALInit = false;
    // Filter as a name field does: cut the text back while it holds a ':'.
    bool bFiltre = false;

protected:
    int OnInitDialog() override
    {
        ++nInit;
        if (bFinirALInit) EndDialog(42);
        return 1;
    }
    void OnCancel() override
    {
        ++nAnnuler;
        EndDialog(ID_ANNULER);
    }
    void OnDestroy() override { ++nDestroy; }
    void OnCommande(unsigned id, tNotification n, int p) override
    {
        evenements.push_back({id, n, p});
        if (bFiltre && n == tNotification::ChangementTexte) {
            IControle* c = GetDlgItem(id);
            CString t = c->GetWindowText();
            if (t.Find(L':') >= 0) c->SetWindowText(t.Left(t.GetLength() - 1));
        }
    }
};

// The transfer dialog's template, open modeless on the scripted front end.
class ControlsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DefinirFrontal(frontal);
        ASSERT_TRUE(dlg.Create());
        f = frontal->Fenetre(Ressources::IDD_FILE_TRANSFERT);
        ASSERT_NE(f, nullptr);
    }
    void TearDown() override
    {
        dlg.DestroyWindow();
        DefinirFrontal(nullptr);
    }
    static std::vector<CString> Entrees(IControle* liste)
    {
        std::vector<CString> v;
        for (int i = 0; i < liste->GetCount(); ++i) v.push_back(liste->GetText(i));
        return v;
    }

    std::shared_ptr<CFrontalScripte> frontal = std::make_shared<CFrontalScripte>();
    CDialogueJournal dlg{Ressources::IDD_FILE_TRANSFERT};
    CFenetreScriptee* f = nullptr;
};

} // namespace

TEST(HeadlessFrontEnd, DialogsEndAtOnceWithCancelAndMessagesTakeTheFirstButton)
{
    ASSERT_FALSE(FrontalInstalle());
    CDialogueJournal dlg(Ressources::IDD_IDENTIFICATION_FTP);
    EXPECT_EQ(dlg.DoModal(), ID_ANNULER);
    EXPECT_EQ(dlg.nInit, 1);
    EXPECT_EQ(dlg.nDestroy, 1);
    EXPECT_EQ(dlg.nAnnuler, 0);
    EXPECT_EQ(AfficherMessage(L"nobody reads this", tBoutonsMessage::OuiNon), ID_OUI);
    EXPECT_EQ(AfficherMessage(L"nobody reads this", tBoutonsMessage::OkAnnuler), ID_OK);
    CDialogueJournal inconnu(4321);
    EXPECT_EQ(inconnu.DoModal(), -1);
}

TEST(HeadlessFrontEnd, DialogEndedDuringInitialisationReturnsThatResult)
{
    CDialogueJournal dlg(Ressources::IDD_IDENTIFICATION_FTP);
    dlg.bFinirALInit = true;
    EXPECT_EQ(dlg.DoModal(), 42);
    EXPECT_EQ(dlg.nAnnuler, 0);
}

TEST_F(ControlsTest, SettingAnEditsTextReportsAChangeAsTypingDoes)
{
    dlg.GetDlgItem(IDC_REP_DISTANT)->SetWindowText(L"/x");
    dlg.GetDlgItem(IDC_REP_DISTANT)->SetWindowText(L"/x");
    dlg.GetDlgItem(IDC_RAFRAICHIR_LOCAL)->SetWindowText(L"Again");  // a caption is no text change
    ASSERT_TRUE(f->Taper(IDC_REP_DISTANT, L"ab"));
    const auto texte = tEvenement{IDC_REP_DISTANT, tNotification::ChangementTexte, 0};
    EXPECT_EQ(dlg.evenements, (tEvenements{texte, texte, {IDC_REP_DISTANT, tNotification::PriseFocus, 0}, texte, texte}));
    EXPECT_EQ(dlg.GetDlgItem(IDC_REP_DISTANT)->GetWindowText(), CString(L"/xab"));
}

TEST_F(ControlsTest, FocusMovesReportTheLossBeforeTheGainAndTheClick)
{
    ASSERT_TRUE(f->DonnerFocus(IDC_REP_DISTANT));
    dlg.evenements.clear();
    ASSERT_TRUE(f->Cliquer(IDC_FERMER));
    dlg.GetDlgItem(IDC_REPS_LOCAUX)->SetFocus();
    dlg.GetDlgItem(IDC_REPS_LOCAUX)->SetFocus();  // already there: nothing
    EXPECT_EQ(dlg.evenements, (tEvenements{{IDC_REP_DISTANT, tNotification::PerteFocus, 0},
                                           {IDC_FERMER, tNotification::PriseFocus, 0},
                                           {IDC_FERMER, tNotification::Clic, 0},
                                           {IDC_FERMER, tNotification::PerteFocus, 0},
                                           {IDC_REPS_LOCAUX, tNotification::PriseFocus, 0}}));
    EXPECT_EQ(f->GetFocus(), dlg.GetDlgItem(IDC_REPS_LOCAUX));
}

TEST_F(ControlsTest, HiddenDisabledOrReadOnlyControlsTakeNoUserAction)
{
    dlg.GetDlgItem(IDC_RAFRAICHIR_LOCAL)->EnableWindow(false);
    EXPECT_FALSE(f->Cliquer(IDC_RAFRAICHIR_LOCAL));
    EXPECT_FALSE(f->Cliquer(IDC_VALIDER_NOM_LOCAL));  // hidden at start
    EXPECT_FALSE(f->Taper(IDC_REP_LOCAL, L"x"));      // read-only
    EXPECT_FALSE(f->Cliquer(9999));
    EXPECT_TRUE(dlg.evenements.empty());
}

TEST_F(ControlsTest, FilterThatRewritesTheTextInItsOwnNotificationCutsRepeatedly)
{
    dlg.bFiltre = true;
    dlg.GetDlgItem(IDC_NOM_LOCAL)->ShowWindow(true);
    ASSERT_TRUE(f->Coller(IDC_NOM_LOCAL, L"ab:c:"));
    EXPECT_EQ(dlg.GetDlgItem(IDC_NOM_LOCAL)->GetWindowText(), CString(L"ab"));
}

TEST_F(ControlsTest, SortedListsPutTheParentFirstThenIgnoreCase)
{
    IControle* reps = dlg.GetDlgItem(IDC_REPS_LOCAUX);
    for (const wchar_t* t : {L"[beta]", L"[-old]", L"[..]", L"[Alpha]", L"[gamma]", L"[ x]", L"[Beta]"})
        reps->AddString(t);
    EXPECT_EQ(Entrees(reps),
              (std::vector<CString>{L"[..]", L"[ x]", L"[-old]", L"[Alpha]", L"[Beta]", L"[beta]", L"[gamma]"}));
}

TEST_F(ControlsTest, SelectionsMadeByTheLogicReportNothing)
{
    IControle* lecteurs = dlg.GetDlgItem(IDC_LECTEURS);
    for (const wchar_t* t : {L"[-~-]", L"[-/-]", L"[-c-]"}) lecteurs->AddString(t);
    EXPECT_EQ(lecteurs->GetText(lecteurs->SelectString(-1, L"[-C-]")), CString(L"[-c-]"));
    EXPECT_EQ(lecteurs->SelectString(-1, L"[-z"), -1);  // no match keeps the selection
    EXPECT_EQ(lecteurs->GetText(lecteurs->GetCurSel()), CString(L"[-c-]"));
    EXPECT_EQ(lecteurs->SetCurSel(7), -1);
    EXPECT_EQ(lecteurs->GetCurSel(), -1);
    IControle* table = dlg.GetDlgItem(IDC_FICHIERS_LOCAUX);
    table->InsertColumn(0, L"Name", tAlignement::Gauche, 120);
    for (const wchar_t* t : {L"c", L"b", L"a"}) table->InsertItem(0, t);
    table->SetItemSelected(-1, true);
    EXPECT_EQ(table->GetSelectedCount(), 3);
    EXPECT_TRUE(dlg.evenements.empty());
    // The user's choice is reported.
    ASSERT_TRUE(f->Choisir(IDC_LECTEURS, 0));
    EXPECT_EQ(dlg.evenements.back(), (tEvenement{IDC_LECTEURS, tNotification::ChangementSelection, 0}));
}

TEST_F(ControlsTest, SessionLogTakesLinesFromAnotherThreadAndKeepsOnlyTheLast)
{
    IControle* liste = f->GetDlgItem(IDC_JOURNAL);
    ASSERT_NE(liste, nullptr);
    liste->InsertColumn(0, CString(), tAlignement::Gauche, 100);
    CJournalTransfert journal;
    const int nLignes = CJournalTransfert::LIGNES_MAX + 500;
    std::thread travail([&] {
        for (int i = 0; i < nLignes; ++i) journal.Ajouter(CString(std::to_wstring(i)));
    });
    // The dialog's thread moves lines as they come, never touching the list elsewhere.
    for (int i = 0; i < 50; ++i) journal.Afficher(liste);
    travail.join();
    journal.Afficher(liste);
    ASSERT_EQ(liste->GetItemCount(), CJournalTransfert::LIGNES_MAX);
    EXPECT_EQ(liste->GetItemText(0, 0), CString(std::to_wstring(nLignes - CJournalTransfert::LIGNES_MAX)));
    EXPECT_EQ(liste->GetItemText(CJournalTransfert::LIGNES_MAX - 1, 0), CString(std::to_wstring(nLignes - 1)));
}
