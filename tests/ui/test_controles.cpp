// The in-memory control layer: what the dialog logic relies on (notification
// rules, list semantics, modal runs) and what a test can do as the user.

#include <gtest/gtest.h>

#include <vector>

#include "ui/CDialogue.h"
#include "support/FrontalScripte.h"
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

// A dialog that records what reaches its handlers.
class CDialogueJournal : public CDialogue
{
public:
    explicit CDialogueJournal(unsigned idModele) : CDialogue(idModele) {}
    std::vector<tEvenement> evenements;
    int nOk = 0, nAnnuler = 0, nInit = 0, nDestroy = 0;
    std::vector<std::pair<int, int>> tailles;
    bool bFinirALInit = false;
    bool bIgnorerAnnulation = false;
    // Filter as a name field does: cut the text back while it ends with ':'.
    bool bFiltre = false;

protected:
    int OnInitDialog() override
    {
        ++nInit;
        GetFenetre()->SetTailleMinimale(640, 480);
        if (bFinirALInit) EndDialog(42);
        return 1;
    }
    void OnOK() override
    {
        ++nOk;
        EndDialog(ID_OK);
    }
    void OnCancel() override
    {
        ++nAnnuler;
        if (!bIgnorerAnnulation) EndDialog(ID_ANNULER);
    }
    void OnDestroy() override { ++nDestroy; }
    void OnSize(int l, int h) override { tailles.emplace_back(l, h); }
    void OnCommande(unsigned id, tNotification n, int p) override
    {
        evenements.push_back({id, n, p});
        if (bFiltre && n == tNotification::ChangementTexte) {
            IControle* c = GetDlgItem(id);
            CString t = c->GetWindowText();
            if (!t.IsEmpty() && t.Find(L':') >= 0) c->SetWindowText(t.Left(t.GetLength() - 1));
        }
    }
};

class ControlsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frontal = std::make_shared<CFrontalScripte>();
        DefinirFrontal(frontal);
    }
    void TearDown() override { DefinirFrontal(nullptr); }
    std::shared_ptr<CFrontalScripte> frontal;
};

} // namespace

TEST_F(ControlsTest, TemplatesCarryTheirControlsAndStartStates)
{
    struct {
        unsigned id;
        const wchar_t* titre;
        size_t nControles;
        int cx, cy;
    } const attendus[] = {
        {2036, L"File transfer : Connection", 4, 239, 81},
        {2055, L"File transfer", 35, 410, 274},
        {2070, L"", 1, 227, 50},
        {2087, L"FTP : Identification", 13, 140, 177},
    };
    for (const auto& a : attendus) {
        const tModeleDialogue* m = Ressources::ModeleDialogue(a.id);
        ASSERT_NE(m, nullptr) << a.id;
        EXPECT_EQ(CString(m->szTitre), CString(a.titre));
        EXPECT_EQ(m->controles.size(), a.nControles) << a.id;
        EXPECT_EQ(m->cx, a.cx);
        EXPECT_EQ(m->cy, a.cy);
    }
    EXPECT_EQ(Ressources::ModeleDialogue(1234), nullptr);

    // Exactly the name entries, the removal confirmations and the progress bar start hidden.
    const tModeleDialogue* ft = Ressources::ModeleDialogue(2055);
    std::vector<unsigned> caches;
    for (const auto& c : ft->controles)
        if (!c.bVisible) caches.push_back(c.nId);
    std::sort(caches.begin(), caches.end());
    EXPECT_EQ(caches, (std::vector<unsigned>{2324, 2325, 2326, 2327, 2328, 2329, 2335, 2336, 2339, 2340, 2341,
                                            2342, 2343, 2344, 2345}));
    const tModeleControle* q = ft->Controle(2345);
    EXPECT_EQ(CString(q->szTexte), CString(L"Do you really want to delete the whole directory ?"));
    EXPECT_EQ(q->x + q->y + q->cx + q->cy, 50 + 252 + 105 + 19);
    EXPECT_TRUE(ft->Controle(2315)->nStyles & STYLE_MULTISELECTION);
    EXPECT_TRUE(ft->Controle(2337)->nStyles & STYLE_LECTURE_SEULE);
    EXPECT_TRUE(ft->nStyles & DLG_REDIMENSIONNABLE);

    // Pixels: base units 6 x 13.
    CDialogueJournal dlg(2055);
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.GetFenetre()->GetClientRect(), (tRect{0, 0, 615, 445}));
    EXPECT_EQ(dlg.GetDlgItem(2331)->GetRect(), (tRect{5, 405, 65, 441}));
    EXPECT_FALSE(dlg.GetDlgItem(2340)->IsWindowVisible());
    EXPECT_EQ(dlg.GetDlgItem(2324)->GetWindowText(), CString(L"Create"));
    dlg.DestroyWindow();
    EXPECT_EQ(dlg.nDestroy, 1);
    EXPECT_EQ(frontal->NombreFenetres(), 0);
}

TEST_F(ControlsTest, NotificationRulesTheLogicReliesOn)
{
    CDialogueJournal dlg(2055);
    ASSERT_TRUE(dlg.Create());
    auto* f = frontal->Fenetre(2055);
    ASSERT_NE(f, nullptr);

    // Setting an edit's text notifies, like typing; each keystroke is one change.
    dlg.GetDlgItem(2338)->SetWindowText(L"/x");
    EXPECT_EQ(dlg.evenements, (std::vector<tEvenement>{{2338, tNotification::ChangementTexte, 0}}));
    dlg.evenements.clear();
    dlg.GetDlgItem(2331)->SetWindowText(L"Again");  // a button's caption is no text change
    EXPECT_TRUE(dlg.evenements.empty());

    ASSERT_TRUE(f->Taper(2338, L"ab"));
    EXPECT_EQ(dlg.GetDlgItem(2338)->GetWindowText(), CString(L"/xab"));
    EXPECT_EQ(dlg.evenements, (std::vector<tEvenement>{{2338, tNotification::PriseFocus, 0},
                                                       {2338, tNotification::ChangementTexte, 0},
                                                       {2338, tNotification::ChangementTexte, 0}}));
    dlg.evenements.clear();

    // A click moves the focus to the button first: the field reports its loss before the click.
    ASSERT_TRUE(f->Cliquer(2333));
    EXPECT_EQ(dlg.evenements, (std::vector<tEvenement>{{2338, tNotification::PerteFocus, 0},
                                                       {2333, tNotification::PriseFocus, 0},
                                                       {2333, tNotification::Clic, 0}}));
    dlg.evenements.clear();

    // Programmatic focus notifies too; focusing the focused control again does not.
    dlg.GetDlgItem(2317)->SetFocus();
    dlg.GetDlgItem(2317)->SetFocus();
    EXPECT_EQ(dlg.evenements, (std::vector<tEvenement>{{2333, tNotification::PerteFocus, 0},
                                                       {2317, tNotification::PriseFocus, 0}}));
    EXPECT_EQ(f->GetFocus(), dlg.GetDlgItem(2317));
    dlg.evenements.clear();

    // Hidden or disabled controls take no user action; read-only edits take no typing.
    dlg.GetDlgItem(2320)->EnableWindow(false);
    EXPECT_FALSE(f->Cliquer(2320));
    EXPECT_FALSE(f->Cliquer(2324));
    EXPECT_FALSE(f->Taper(2337, L"x"));
    EXPECT_FALSE(f->Cliquer(9999));
    EXPECT_TRUE(dlg.evenements.empty());

    // A filter that sets the text inside its own notification cuts repeatedly.
    dlg.bFiltre = true;
    dlg.GetDlgItem(2325)->ShowWindow(true);
    ASSERT_TRUE(f->Coller(2325, L"ab:c:"));
    EXPECT_EQ(dlg.GetDlgItem(2325)->GetWindowText(), CString(L"ab"));
    dlg.DestroyWindow();
}

TEST_F(ControlsTest, ListsKeepTheirOrderAndSelections)
{
    CDialogueJournal dlg(2055);
    ASSERT_TRUE(dlg.Create());
    auto* f = frontal->Fenetre(2055);

    // Sorted list box: without regard to case.
    IControle* reps = dlg.GetDlgItem(2317);
    for (const wchar_t* t : {L"[beta]", L"[-old]", L"[..]", L"[Alpha]", L"[gamma]", L"[ x]"}) reps->AddString(t);
    std::vector<CString> ordre;
    for (int i = 0; i < reps->GetCount(); ++i) ordre.push_back(reps->GetText(i));
    EXPECT_EQ(ordre, (std::vector<CString>{L"[..]", L"[ x]", L"[-old]", L"[Alpha]", L"[beta]", L"[gamma]"}));
    EXPECT_EQ(reps->GetCurSel(), -1);
    EXPECT_EQ(reps->SetCurSel(7), -1);
    EXPECT_EQ(reps->SetCurSel(2), 2);
    EXPECT_TRUE(dlg.evenements.empty());  // selections by the logic are silent
    EXPECT_EQ(reps->SetCurSel(-1), -1);
    EXPECT_EQ(reps->GetCurSel(), -1);

    // A double-click selects the entry, then reports it; none on an empty place.
    ASSERT_TRUE(f->DoubleCliquer(2317, 1));
    EXPECT_EQ(reps->GetCurSel(), 1);
    EXPECT_EQ(dlg.evenements.back(), (tEvenement{2317, tNotification::DoubleClic, 0}));
    EXPECT_FALSE(f->DoubleCliquer(2317, 6));

    // Drop-down: first entry beginning with the text, any case; no match keeps the selection.
    IControle* lecteurs = dlg.GetDlgItem(2318);
    for (const wchar_t* t : {L"[-~-]", L"[-/-]", L"[-c-]"}) lecteurs->AddString(t);
    EXPECT_EQ(lecteurs->GetText(lecteurs->SelectString(-1, L"[-C-]")), CString(L"[-c-]"));
    EXPECT_EQ(lecteurs->SelectString(-1, L"[-z"), -1);
    EXPECT_EQ(lecteurs->GetText(lecteurs->GetCurSel()), CString(L"[-c-]"));
    dlg.evenements.clear();
    ASSERT_TRUE(f->Choisir(2318, 0));
    EXPECT_EQ(dlg.evenements.back(), (tEvenement{2318, tNotification::ChangementSelection, 0}));

    // List view: rows at the top, cells, multi-selection walked in row order.
    IControle* fichiers = dlg.GetDlgItem(2315);
    fichiers->InsertColumn(0, L"Name", tAlignement::Gauche, 120);
    fichiers->InsertColumn(1, L"Size", tAlignement::Centre, 48);
    fichiers->InsertColumn(2, L"Date/Time", tAlignement::Gauche, 111);
    for (const wchar_t* t : {L"c", L"b", L"a", L"z"}) fichiers->InsertItem(0, t);
    ASSERT_EQ(fichiers->GetItemCount(), 4);
    EXPECT_EQ(fichiers->GetItemText(0, 0), CString(L"z"));
    EXPECT_TRUE(fichiers->SetItemText(3, 2, L"01/02/2024 10:00:00"));
    EXPECT_FALSE(fichiers->SetItemText(9, 1, L"x"));
    EXPECT_EQ(fichiers->GetItemText(3, 2), CString(L"01/02/2024 10:00:00"));
    EXPECT_EQ(fichiers->GetItemText(3, 1), CString());

    ASSERT_TRUE(f->CliquerLigne(2315, 1));
    ASSERT_TRUE(f->CliquerLigne(2315, 3, tModificateur::Maj));
    ASSERT_TRUE(f->CliquerLigne(2315, 2, tModificateur::Ctrl));
    std::vector<int> sel;
    for (int i = fichiers->GetNextSelected(-1); i != -1; i = fichiers->GetNextSelected(i)) sel.push_back(i);
    EXPECT_EQ(sel, (std::vector<int>{1, 3}));
    EXPECT_EQ(fichiers->GetSelectedCount(), 2);
    EXPECT_TRUE(fichiers->DeleteItem(1));
    EXPECT_EQ(fichiers->GetNextSelected(-1), 2);
    fichiers->SetItemSelected(-1, true);
    EXPECT_EQ(fichiers->GetSelectedCount(), 3);
    fichiers->SetItemSelected(-1, false);
    EXPECT_EQ(fichiers->GetNextSelected(-1), -1);

    dlg.evenements.clear();
    ASSERT_TRUE(f->CliquerEnTete(2315, 1));
    EXPECT_FALSE(f->CliquerEnTete(2315, 3));
    EXPECT_EQ(dlg.evenements, (std::vector<tEvenement>{{2315, tNotification::ClicEnTete, 1}}));

    IControle* barre = dlg.GetDlgItem(2340);
    barre->SetRange(0, 3);
    barre->SetPos(2);
    EXPECT_EQ(barre->GetPos(), 2);
    barre->SetPos(9);
    EXPECT_EQ(barre->GetPos(), 3);
    dlg.DestroyWindow();
}

TEST_F(ControlsTest, ModalRunsFollowTheScriptAndNeverHang)
{
    // No script: nobody is there; the run ends at once with Cancel, posted clicks dropped.
    {
        CDialogueJournal dlg(2055);
        EXPECT_EQ(dlg.DoModal(), ID_ANNULER);
        EXPECT_EQ(dlg.nInit, 1);
        EXPECT_EQ(dlg.nDestroy, 1);
        EXPECT_EQ(dlg.nAnnuler, 0);
    }
    // EndDialog during initialisation: the run returns that result without a loop.
    {
        CDialogueJournal dlg(2055);
        dlg.bFinirALInit = true;
        frontal->AjouterScriptModal([](CFenetreScriptee&) { ADD_FAILURE() << "the loop ran"; });
        EXPECT_EQ(dlg.DoModal(), 42);
        EXPECT_EQ(frontal->ScriptsEnAttente(), 1);
        frontal = std::make_shared<CFrontalScripte>();
        DefinirFrontal(frontal);
    }
    // A posted click arrives before the user acts; Enter goes to OnOK.
    {
        CDialogueJournal dlg(2055);
        frontal->AjouterScriptModal([](CFenetreScriptee& f) { f.AppuyerEntree(); });
        struct CPoste : CDialogueJournal {
            using CDialogueJournal::CDialogueJournal;
            int OnInitDialog() override
            {
                CDialogueJournal::OnInitDialog();
                GetFenetre()->PosterClic(2332);
                return 1;
            }
        };
        CPoste poste(2055);
        frontal->AjouterScriptModal([&](CFenetreScriptee& f) {
            EXPECT_EQ(poste.evenements.size(), 1u);
            f.Redimensionner(100, 100);
            f.Minimiser();
            f.AppuyerEntree();
            EXPECT_FALSE(f.Cliquer(2331));
        });
        EXPECT_EQ(dlg.DoModal(), ID_OK);
        EXPECT_EQ(poste.DoModal(), ID_OK);
        EXPECT_EQ(poste.evenements[0], (tEvenement{2332, tNotification::Clic, 0}));
        EXPECT_EQ(poste.tailles, (std::vector<std::pair<int, int>>{{640, 480}, {0, 0}}));
        EXPECT_EQ(poste.nOk, 1);
    }
    // A script that leaves the dialog open: the user closes it; a dialog that
    // refuses even that still ends with Cancel.
    {
        CDialogueJournal dlg(2055);
        dlg.bIgnorerAnnulation = true;
        frontal->AjouterScriptModal([](CFenetreScriptee& f) { f.AppuyerEchap(); });
        EXPECT_EQ(dlg.DoModal(), ID_ANNULER);
        EXPECT_EQ(dlg.nAnnuler, 2);
    }
    EXPECT_EQ(frontal->ModauxLances().size(), 3u);  // since the front end was replaced
    EXPECT_EQ(frontal->NombreFenetres(), 0);

    // Message boxes: scripted answers, then the first button; texts kept.
    frontal->AjouterReponseMessage(ID_NON);
    EXPECT_EQ(AfficherMessage(L"Sure ?", tBoutonsMessage::OuiNon), ID_NON);
    EXPECT_EQ(AfficherMessage(2067), ID_OK);
    ASSERT_EQ(frontal->Messages().size(), 2u);
    EXPECT_EQ(frontal->Messages()[1], Ressources::Chaine(2067));
}

TEST(HeadlessFrontEnd, DialogsEndAtOnceWithCancel)
{
    ASSERT_FALSE(FrontalInstalle());
    CDialogueJournal dlg(2087);
    EXPECT_EQ(dlg.DoModal(), ID_ANNULER);
    EXPECT_EQ(dlg.nInit, 1);
    EXPECT_EQ(AfficherMessage(L"nobody reads this", tBoutonsMessage::OuiNon), ID_OUI);
    CDialogueJournal inconnu(4321);
    EXPECT_EQ(inconnu.DoModal(), -1);
}

TEST_F(ControlsTest, RadioButtonsOfAGroupExcludeEachOther)
{
    CDialogueJournal dlg(2087);
    ASSERT_TRUE(dlg.Create());
    auto* f = frontal->Fenetre(2087);
    dlg.SetRadioCoche(IDC_RADIO_AUTOMATIQUE, 3);
    EXPECT_EQ(dlg.GetRadioCoche(IDC_RADIO_AUTOMATIQUE), 3);
    ASSERT_TRUE(f->Cliquer(IDC_RADIO_AUTRE));
    EXPECT_EQ(dlg.GetRadioCoche(IDC_RADIO_AUTOMATIQUE), 6);
    EXPECT_EQ(dlg.GetDlgItem(IDC_RADIO_KRX13)->GetCheck(), 0);
    dlg.SetRadioCoche(IDC_RADIO_AUTOMATIQUE, -1);
    EXPECT_EQ(dlg.GetRadioCoche(IDC_RADIO_AUTOMATIQUE), -1);
    dlg.DestroyWindow();
}
