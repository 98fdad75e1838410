// The Qt control layer with real widgets: what the user does reaches the dialog
// logic as the notifications it expects, and what the logic does shows.

#include "support/MainQt.h"

#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "ui/Controles.h"
#include "ui/IdsControles.h"
#include "ui/Ressources.h"
#include "ui/qt/UnitesDialogue.h"

using namespace IdsControles;

namespace {

// Stands in for the dialog logic: records what the window reports.
class CEnregistreur : public IEcouteurDialogue
{
public:
    void OnNotification(unsigned id, tNotification n, int parametre) override
    {
        static const char* noms[] = {"clic", "dblclic", "sel", "texte", "focus+", "focus-", "entete", "suppr"};
        evenements.push_back(std::to_string(id) + " " + noms[static_cast<int>(n)] + " " + std::to_string(parametre));
    }
    void OnEntree() override { evenements.push_back("entree"); }
    void OnAnnulation() override { evenements.push_back("annulation"); }
    void OnTaille(int l, int h) override
    {
        evenements.push_back("taille " + std::to_string(l) + "x" + std::to_string(h));
    }
    bool Contient(const std::string& e) const
    {
        for (const auto& x : evenements)
            if (x == e) return true;
        return false;
    }
    int Compter(const std::string& debut) const
    {
        int n = 0;
        for (const auto& x : evenements) n += x.rfind(debut, 0) == 0;
        return n;
    }
    std::vector<std::string> evenements;
};

class QtControlsTest : public WidgetsTest
{
protected:
    std::unique_ptr<IFenetreDialogue> Ouvrir(unsigned idModele)
    {
        auto f = FrontalCourant()->CreerDialogue(*Ressources::ModeleDialogue(idModele), ecouteur);
        EXPECT_NE(f, nullptr);
        if (!f) return f;
        f->Afficher(true);
        dlg = QApplication::topLevelWidgets().isEmpty() ? nullptr : Dialog(idModele);
        if (dlg) {
            dlg->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(dlg));
        }
        return f;
    }
    static QDialog* Dialog(unsigned idModele)
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QStringLiteral("dlg%1").arg(idModele)) return qobject_cast<QDialog*>(w);
        return nullptr;
    }
    template <class W> W* Widget(unsigned id) { return dlg->findChild<W*>(QString::number(id)); }
    // The user clicks into the remote path field; null unless it got the focus.
    // The events up to then are forgotten.
    QLineEdit* CliquerChemin()
    {
        auto* chemin = dlg ? Widget<QLineEdit>(IdsControles::IDC_REP_DISTANT) : nullptr;
        if (chemin) QTest::mouseClick(chemin, Qt::LeftButton);
        if (!chemin || !AttendreQue([&] { return chemin->hasFocus(); })) return nullptr;
        ecouteur.evenements.clear();
        return chemin;
    }
    // The three columns of the transfer dialog's tables and six rows.
    static IControle* Remplir(IControle* liste)
    {
        liste->InsertColumn(0, L"Name", tAlignement::Gauche, 120);
        liste->InsertColumn(1, L"Size", tAlignement::Centre, 48);
        liste->InsertColumn(2, L"Date/Time", tAlignement::Gauche, 111);
        for (int i = 0; i < 6; ++i) {
            const int l = liste->InsertItem(i, CString(L"f") + CString(std::to_wstring(i)));
            liste->SetItemText(l, 1, L"10");
            liste->SetItemText(l, 2, L"01/02/2026 10:00:00");
        }
        return liste;
    }

    CEnregistreur ecouteur;
    QDialog* dlg = nullptr;
};

} // namespace

TEST_F(QtControlsTest, DisabledButtonReportsNoClick)
{
    auto f = Ouvrir(Ressources::IDD_FILE_TRANSFERT);
    ASSERT_NE(dlg, nullptr);
    auto* rafraichir = Widget<QPushButton>(IDC_RAFRAICHIR_LOCAL);
    QTest::mouseClick(rafraichir, Qt::LeftButton);
    EXPECT_EQ(ecouteur.Compter("2331 clic"), 1);
    f->GetDlgItem(IDC_RAFRAICHIR_LOCAL)->EnableWindow(false);
    QTest::mouseClick(rafraichir, Qt::LeftButton);
    EXPECT_EQ(ecouteur.Compter("2331 clic"), 1);
    EXPECT_FALSE(f->GetDlgItem(IDC_RAFRAICHIR_LOCAL)->IsWindowEnabled());
}

TEST_F(QtControlsTest, EnterClicksTheFocusedButtonAndIsTheDefaultCommandElsewhere)
{
    auto f = Ouvrir(Ressources::IDD_FILE_TRANSFERT);
    ASSERT_NE(dlg, nullptr);
    for (auto* b : dlg->findChildren<QPushButton*>()) {
        EXPECT_FALSE(b->autoDefault()) << b->objectName().toStdString();
        EXPECT_FALSE(b->isDefault()) << b->objectName().toStdString();
    }
    auto* fermer = Widget<QPushButton>(IDC_FERMER);
    fermer->setFocus();
    QTest::keyClick(fermer, Qt::Key_Return);
    QTest::keyClick(fermer, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(ecouteur.Compter("2333 clic"), 2);
    EXPECT_EQ(ecouteur.Compter("entree"), 0);
    // Elsewhere (a list), the default command.
    auto* liste = Widget<QListWidget>(IDC_REPS_LOCAUX);
    liste->setFocus();
    QTest::keyClick(liste, Qt::Key_Return);
    EXPECT_EQ(ecouteur.Compter("entree"), 1);
}

TEST_F(QtControlsTest, DisabledOrHiddenControlKeepsTheFocusInTheDialogAndGetsItBack)
{
    auto f = Ouvrir(Ressources::IDD_FILE_TRANSFERT);
    ASSERT_NE(dlg, nullptr);
    IControle* rafraichir = f->GetDlgItem(IDC_RAFRAICHIR_LOCAL);
    rafraichir->SetFocus();
    ecouteur.evenements.clear();
    // Qt would hand it to the next control in the tab order: the path field.
    rafraichir->EnableWindow(false);
    EXPECT_EQ(f->GetFocus(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), dlg);
    EXPECT_EQ(ecouteur.evenements, std::vector<std::string>{"2331 focus- 0"});
    rafraichir->EnableWindow(true);
    EXPECT_EQ(f->GetFocus(), rafraichir);
    // Hidden, the same; once another control took it, it stays there.
    f->GetDlgItem(IDC_SUPPR_REP_LOCAL)->SetFocus();
    f->GetDlgItem(IDC_SUPPR_REP_LOCAL)->ShowWindow(false);
    EXPECT_EQ(f->GetFocus(), nullptr);
    f->GetDlgItem(IDC_FICHIERS_LOCAUX)->SetFocus();
    f->GetDlgItem(IDC_SUPPR_REP_LOCAL)->ShowWindow(true);
    EXPECT_EQ(f->GetFocus(), f->GetDlgItem(IDC_FICHIERS_LOCAUX));
}

TEST_F(QtControlsTest, DeleteKeyInAListIsReported)
{
    auto f = Ouvrir(Ressources::IDD_FILE_TRANSFERT);
    ASSERT_NE(dlg, nullptr);
    Remplir(f->GetDlgItem(IDC_FICHIERS_LOCAUX));
    auto* vue = Widget<QTreeWidget>(IDC_FICHIERS_LOCAUX);
    vue->setFocus();
    QTest::keyClick(vue, Qt::Key_Delete);
    auto* reps = Widget<QListWidget>(IDC_REPS_LOCAUX);
    reps->setFocus();
    QTest::keyClick(reps, Qt::Key_Delete);
    EXPECT_TRUE(ecouteur.Contient("2315 suppr 0"));
    EXPECT_TRUE(ecouteur.Contient("2317 suppr 0"));
}

TEST_F(QtControlsTest, OnlyTheTemplatesDefaultButtonIsDefault)
{
    auto f = Ouvrir(Ressources::IDD_IDENTIFICATION_FTP);
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->findChild<QPushButton*>(QStringLiteral("1"))->isDefault());
    EXPECT_FALSE(dlg->findChild<QPushButton*>(QStringLiteral("2"))->isDefault());
}

TEST_F(QtControlsTest, EscapeAsksTheLogicAndOnlyTheLogicEndsTheWindow)
{
    auto f = Ouvrir(Ressources::IDD_FILE_TRANSFERT);
    ASSERT_NE(dlg, nullptr);
    QTest::keyClick(Widget<QPushButton>(IDC_FERMER), Qt::Key_Escape);
    EXPECT_EQ(ecouteur.Compter("annulation"), 1);
    dlg->close();
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(QtControlsTest, TypingInThePathFieldReportsEachCharacterAndEnterGoesToTheLogic)
{
    auto f = Ouvrir(Ressources::IDD_FILE_TRANSFERT);
    QLineEdit* chemin = CliquerChemin();
    ASSERT_NE(chemin, nullptr);
    EXPECT_EQ(f->GetFocus(), f->GetDlgItem(IDC_REP_DISTANT));
    QTest::keyClicks(chemin, QStringLiteral("/tr"));
    EXPECT_EQ(ecouteur.Compter("2338 texte"), 3);
    QTest::keyClick(chemin, Qt::Key_Return);
    EXPECT_EQ(ecouteur.evenements.back(), "entree");
    EXPECT_EQ(f->GetDlgItem(IDC_REP_DISTANT)->GetWindowText(), CString(L"/tr"));
}

TEST_F(QtControlsTest, ClickOnAButtonReportsTheFieldsFocusLossFirst)
{
    auto f = Ouvrir(Ressources::IDD_FILE_TRANSFERT);
    ASSERT_NE(CliquerChemin(), nullptr);
    QTest::mouseClick(Widget<QPushButton>(IDC_FERMER), Qt::LeftButton);
    EXPECT_EQ(ecouteur.evenements, (std::vector<std::string>{"2338 focus- 0", "2333 focus+ 0", "2333 clic 0"}));
}

TEST_F(QtControlsTest, FocusAndTextSetByTheLogicReportAsTheUsersDo)
{
    auto f = Ouvrir(Ressources::IDD_FILE_TRANSFERT);
    ASSERT_NE(dlg, nullptr);
    f->GetDlgItem(IDC_FERMER)->SetFocus();
    ecouteur.evenements.clear();
    f->GetDlgItem(IDC_REP_DISTANT)->SetFocus();
    f->GetDlgItem(IDC_REP_DISTANT)->SetWindowText(L"/tr");
    f->GetDlgItem(IDC_REP_DISTANT)->SetWindowText(L"/tr");  // the same text again reports too
    EXPECT_EQ(ecouteur.evenements,
              (std::vector<std::string>{"2333 focus- 0", "2338 focus+ 0", "2338 texte 0", "2338 texte 0"}));
}

TEST_F(QtControlsTest, NameFieldTypingReportsEachCharacter)
{
    auto f = Ouvrir(Ressources::IDD_FILE_TRANSFERT);
    ASSERT_NE(dlg, nullptr);
    IControle* nom = f->GetDlgItem(IDC_NOM_LOCAL);
    nom->ShowWindow(true);
    nom->SetFocus();
    ecouteur.evenements.clear();
    QTest::keyClicks(Widget<QLineEdit>(IDC_NOM_LOCAL), QStringLiteral("ab/c"));
    EXPECT_EQ(ecouteur.Compter("2325 texte"), 4);
    // The logic strips what it rejects; the field shows its text and the caret goes to the end.
    nom->SetWindowText(L"abc");
    nom->SetSel(-1, -1);
    EXPECT_EQ(Widget<QLineEdit>(IDC_NOM_LOCAL)->text(), QStringLiteral("abc"));
    EXPECT_EQ(Widget<QLineEdit>(IDC_NOM_LOCAL)->cursorPosition(), 3);
}

TEST_F(QtControlsTest, ReportListColumnsScaleWithTheDialogFontAndNameTakesTheSpareWidth)
{
    auto f = Ouvrir(Ressources::IDD_FILE_TRANSFERT);
    ASSERT_NE(dlg, nullptr);
    IControle* liste = Remplir(f->GetDlgItem(IDC_FICHIERS_LOCAUX));
    auto* vue = Widget<QTreeWidget>(IDC_FICHIERS_LOCAUX);
    // Pixels of the 8-point dialog font, scaled with the dialog font: never
    // narrower, a date shown whole.
    EXPECT_GE(vue->columnWidth(1), 48);
    EXPECT_NEAR(vue->columnWidth(1) * 111.0 / 48, vue->columnWidth(2), 1.0);
    EXPECT_GE(vue->columnWidth(2), vue->fontMetrics().horizontalAdvance(QStringLiteral("01/02/2026 10:00:00")) + 6);
    EXPECT_EQ(vue->topLevelItem(0)->textAlignment(1) & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(liste->GetColumnText(2), CString(L"Date/Time"));
    // Name gets what the others leave, and never less than two thirds of what it was given.
    const int donnee = static_cast<int>(std::lround(vue->columnWidth(1) * 120.0 / 48));
    for (int largeur : {900, 200}) {
        liste->MoveWindow(4, 180, largeur, 300);
        QCoreApplication::processEvents();
        const int reste = vue->viewport()->width() - vue->columnWidth(1) - vue->columnWidth(2);
        EXPECT_NEAR(vue->columnWidth(0), std::max(donnee * 2 / 3, reste), 1.0) << largeur;
    }
}

TEST_F(QtControlsTest, ReportListSelectsRowsWithCtrlAndShiftFromTheLastClickedRow)
{
    auto f = Ouvrir(Ressources::IDD_FILE_TRANSFERT);
    ASSERT_NE(dlg, nullptr);
    IControle* liste = Remplir(f->GetDlgItem(IDC_FICHIERS_LOCAUX));
    auto* vue = Widget<QTreeWidget>(IDC_FICHIERS_LOCAUX);
    auto cliquer = [&](int ligne, Qt::KeyboardModifiers mod) {
        QTest::mouseClick(vue->viewport(), Qt::LeftButton, mod, vue->visualItemRect(vue->topLevelItem(ligne)).center());
    };
    cliquer(0, Qt::NoModifier);
    cliquer(2, Qt::ControlModifier);
    EXPECT_TRUE(liste->IsItemSelected(0) && liste->IsItemSelected(2));
    cliquer(4, Qt::ShiftModifier);
    std::vector<int> selection;
    for (int i = liste->GetNextSelected(-1); i != -1; i = liste->GetNextSelected(i)) selection.push_back(i);
    EXPECT_EQ(selection, (std::vector<int>{2, 3, 4}));
    cliquer(3, Qt::ControlModifier);
    EXPECT_EQ(liste->GetSelectedCount(), 2);
    EXPECT_EQ(f->GetFocus(), liste);
}

TEST_F(QtControlsTest, HeaderClicksAreReportedAndSortNothingByThemselves)
{
    auto f = Ouvrir(Ressources::IDD_FILE_TRANSFERT);
    ASSERT_NE(dlg, nullptr);
    IControle* liste = Remplir(f->GetDlgItem(IDC_FICHIERS_LOCAUX));
    auto* vue = Widget<QTreeWidget>(IDC_FICHIERS_LOCAUX);
    liste->SetFocus();
    ecouteur.evenements.clear();
    for (int c : {2, 0, 1}) {
        const int x = vue->header()->sectionViewportPosition(c) + vue->header()->sectionSize(c) / 2;
        QTest::mouseClick(vue->header()->viewport(), Qt::LeftButton, {}, QPoint(x, vue->header()->height() / 2));
    }
    EXPECT_EQ(ecouteur.evenements,
              (std::vector<std::string>{"2315 entete 2", "2315 entete 0", "2315 entete 1"}));
    EXPECT_EQ(liste->GetItemText(0, 0), CString(L"f0"));
}

TEST_F(QtControlsTest, ListBoxSortsAndReportsOnlyTheUsersChoices)
{
    auto f = Ouvrir(Ressources::IDD_FILE_TRANSFERT);
    ASSERT_NE(dlg, nullptr);
    IControle* reps = f->GetDlgItem(IDC_REPS_LOCAUX);
    for (const wchar_t* t : {L"[traces]", L"[..]", L"[Bilan]", L"[archive]"}) reps->AddString(t);
    EXPECT_EQ(reps->GetText(0), CString(L"[..]"));
    EXPECT_EQ(reps->GetText(1), CString(L"[archive]"));
    EXPECT_EQ(reps->GetText(2), CString(L"[Bilan]"));
    EXPECT_EQ(reps->SetCurSel(2), 2);
    EXPECT_EQ(reps->SelectString(-1, L"[tr"), 3);
    EXPECT_EQ(reps->SelectString(-1, L"[zz"), -1);
    EXPECT_EQ(reps->GetCurSel(), 3);
    EXPECT_EQ(ecouteur.Compter("2317 sel"), 0);

    auto* vue = Widget<QListWidget>(IDC_REPS_LOCAUX);
    const QPoint p = vue->visualItemRect(vue->item(1)).center();
    // As the window system delivers it: a click, then the double-click.
    QTest::mouseClick(vue->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseDClick(vue->viewport(), Qt::LeftButton, {}, p);
    EXPECT_TRUE(ecouteur.Contient("2317 sel 1"));
    EXPECT_TRUE(ecouteur.Contient("2317 dblclic 1"));
    EXPECT_EQ(reps->GetCurSel(), 1);
}

TEST_F(QtControlsTest, DropDownKeepsItsClosedHeightAndReportsTheUsersPick)
{
    auto f = Ouvrir(Ressources::IDD_FILE_TRANSFERT);
    ASSERT_NE(dlg, nullptr);
    IControle* lecteurs = f->GetDlgItem(IDC_LECTEURS);
    lecteurs->AddString(L"[-~-]");
    lecteurs->AddString(L"[-/-]");
    EXPECT_EQ(lecteurs->GetCurSel(), -1);
    EXPECT_EQ(lecteurs->SelectString(-1, L"[-~"), 1);
    auto* combo = Widget<QComboBox>(IDC_LECTEURS);
    // Closed at its text's height, the template height dropped down, also when the logic moves it.
    EXPECT_EQ(combo->height(), combo->sizeHint().height());
    EXPECT_LT(lecteurs->GetRect().Hauteur(), f->GetDlgItem(IDC_REPS_LOCAUX)->GetRect().top);
    EXPECT_GE(combo->maxVisibleItems(), 3);
    const int h = lecteurs->GetRect().Hauteur();
    lecteurs->MoveWindow(4, 20, 300, 400);
    EXPECT_EQ(lecteurs->GetRect(), (tRect{4, 20, 304, 20 + h}));
    ecouteur.evenements.clear();
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Up);  // the user picks the other drive
    EXPECT_EQ(lecteurs->GetCurSel(), 0);
    EXPECT_TRUE(ecouteur.Contient("2318 sel 0"));
}

TEST_F(QtControlsTest, ControlsArePlacedInDialogUnitsOfTheDialogFont)
{
    auto f = Ouvrir(Ressources::IDD_FILE_TRANSFERT);
    ASSERT_NE(dlg, nullptr);
    const tUnitesBase base = UnitesBase(dlg->font());
    EXPECT_GT(base.x, 0);
    EXPECT_GT(base.y, 0);
    const tRect r = f->GetDlgItem(IDC_FICHIERS_LOCAUX)->GetRect();
    EXPECT_EQ(r.left, UnitesVersPixelsX(3, base.x));
    EXPECT_EQ(r.top, UnitesVersPixelsY(111, base.y));
    EXPECT_EQ(r.right, UnitesVersPixelsX(3 + 199, base.x));
    f->GetDlgItem(IDC_FICHIERS_LOCAUX)->MoveWindow(4, 200, 300, 250);
    EXPECT_EQ(f->GetDlgItem(IDC_FICHIERS_LOCAUX)->GetRect(), (tRect{4, 200, 304, 450}));
}

TEST_F(QtControlsTest, ResizeIsReportedAndTheMinimumHolds)
{
    auto f = Ouvrir(Ressources::IDD_FILE_TRANSFERT);
    ASSERT_NE(dlg, nullptr);
    f->SetTailleMinimale(640, 480);
    dlg->resize(900, 700);
    EXPECT_EQ(f->GetClientRect(), (tRect{0, 0, 900, 700}));
    EXPECT_TRUE(ecouteur.Contient("taille 900x700"));
    dlg->resize(300, 200);
    EXPECT_GE(f->GetClientRect().Largeur(), 640);
    EXPECT_GE(f->GetClientRect().Hauteur(), 480);
}

TEST_F(QtControlsTest, ModalRunEndsWithTheLogicsResultAndDeliversPostedClicks)
{
    struct CLogique : CEnregistreur {
        IFenetreDialogue* f = nullptr;
        void OnNotification(unsigned id, tNotification n, int p) override
        {
            CEnregistreur::OnNotification(id, n, p);
            if (id == IDC_RAFRAICHIR_DISTANT && n == tNotification::Clic) f->EndDialog(ID_OK);
        }
    } logique;
    auto f = FrontalCourant()->CreerDialogue(*Ressources::ModeleDialogue(Ressources::IDD_FILE_TRANSFERT), logique);
    logique.f = f.get();
    f->SetTailleMinimale(640, 480);
    // Posted before the run, delivered by the run's event loop.
    f->PosterClic(IDC_RAFRAICHIR_DISTANT);
    EXPECT_EQ(logique.Compter("2332 clic"), 0);
    EXPECT_EQ(f->RunModal(), ID_OK);
    EXPECT_EQ(logique.Compter("2332 clic"), 1);
    QDialog* d = Dialog(Ressources::IDD_FILE_TRANSFERT);
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->isVisible());
    EXPECT_GE(d->width(), 640);
    // Ended: the window reports nothing more.
    logique.evenements.clear();
    QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("2331")), Qt::LeftButton);
    EXPECT_TRUE(logique.evenements.empty());
}

TEST_F(QtControlsTest, RadioGroupIsExclusiveAndTheLogicCanClearIt)
{
    auto f = Ouvrir(Ressources::IDD_IDENTIFICATION_FTP);
    ASSERT_NE(dlg, nullptr);
    auto cocher = [&](unsigned id) {
        auto* r = Widget<QRadioButton>(id);
        QTest::mouseClick(r, Qt::LeftButton, {}, QPoint(6, r->height() / 2));  // on the button, not past its text
    };
    cocher(IDC_RADIO_KRX12);
    EXPECT_TRUE(ecouteur.Contient("2352 clic 0"));
    cocher(IDC_RADIO_AUTRE);
    EXPECT_EQ(f->GetDlgItem(IDC_RADIO_KRX12)->GetCheck(), 0);
    EXPECT_EQ(f->GetDlgItem(IDC_RADIO_AUTRE)->GetCheck(), 1);
    f->GetDlgItem(IDC_RADIO_AUTRE)->SetCheck(0);
    EXPECT_EQ(f->GetDlgItem(IDC_RADIO_AUTRE)->GetCheck(), 0);
    f->GetDlgItem(IDC_RADIO_KRX11)->SetCheck(1);
    EXPECT_EQ(f->GetDlgItem(IDC_RADIO_KRX11)->GetCheck(), 1);
}

TEST_F(QtControlsTest, NoLabelCutsItsText)
{
    // Every label of every dialog, with the shown and the hidden states alike:
    // a one-line label shows its whole text, a taller one wraps within its height.
    for (unsigned id : {Ressources::IDD_CONFIG_DRIVER, Ressources::IDD_FILE_TRANSFERT,
                        Ressources::IDD_IDENTIFICATION_FTP}) {
        auto f = Ouvrir(id);
        ASSERT_NE(dlg, nullptr);
        for (QLabel* l : dlg->findChildren<QLabel*>()) {
            if (l->text().isEmpty()) continue;
            const QFontMetrics fm(l->font());
            if (l->wordWrap()) {
                const QRect r = fm.boundingRect(QRect(0, 0, l->width(), 10000), Qt::TextWordWrap, l->text());
                EXPECT_LE(r.height(), l->height()) << id << " " << l->text().toStdString();
            } else {
                EXPECT_LE(fm.horizontalAdvance(l->text()), l->width()) << id << " " << l->text().toStdString();
                EXPECT_LE(fm.height(), l->height() + 2) << id << " " << l->text().toStdString();
            }
        }
        f.reset();
        dlg = nullptr;
    }
}
