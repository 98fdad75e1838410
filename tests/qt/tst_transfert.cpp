// The file transfer dialog with real widgets, its remote pane on the
// simulator's FTP server: what a user does with the mouse and the keyboard.

#include "TransfertQt.h"

using namespace IdsControles;

TEST_F(QtTransferDialogTest, DoubleClickEntersADirectoryAndTheParentEntryComesBack)
{
    EcrireFichier(Local() / "sous" / "dedans.txt", 3);
    EcrireFichier(Local() / "a.sor", 10);
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](QDialog* d) {
        auto* reps = Enfant<QListWidget>(d, IDC_REPS_LOCAUX);
        auto* table = Enfant<QTreeWidget>(d, IDC_FICHIERS_LOCAUX);
        DoubleCliquer(reps, Ligne(reps, QStringLiteral("[sous]")));
        EXPECT_EQ(dlg.GetRepLocal(), Dossier(Local() / "sous"));
        EXPECT_EQ(Noms(table), QStringList{QStringLiteral("dedans.txt")});
        EXPECT_EQ(Enfant<QLineEdit>(d, IDC_REP_LOCAL)->text().toStdWString(), Dossier(Local() / "sous"));
        DoubleCliquer(reps, Ligne(reps, QStringLiteral("[..]")));
        EXPECT_EQ(dlg.GetRepLocal(), Dossier(Local()));
        EXPECT_EQ(Noms(table), QStringList{QStringLiteral("a.sor")});
        QTest::keyClick(d, Qt::Key_Escape);
    });
}

TEST_F(QtTransferDialogTest, HeaderClickSortsByTheRealSizeAndAgainReverses)
{
    EcrireFichier(Local() / "moyen.sor", 500);
    EcrireFichier(Local() / "grand.sor", 3000);
    EcrireFichier(Local() / "petit.sor", 10);
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](QDialog* d) {
        auto* table = Enfant<QTreeWidget>(d, IDC_FICHIERS_LOCAUX);
        EXPECT_EQ(table->headerItem()->text(2), QStringLiteral("Date/Time (local)"));
        EXPECT_GE(table->columnWidth(2), table->fontMetrics().horizontalAdvance(table->topLevelItem(0)->text(2)) + 6);
        // Sizes by their bytes (shown 2.9 k, 10, 500), the header's arrow with them.
        CliquerEnTete(table, 1);
        EXPECT_EQ(Noms(table), (QStringList{"petit.sor", "moyen.sor", "grand.sor"}));
        EXPECT_TRUE(table->header()->isSortIndicatorShown());
        EXPECT_EQ(table->header()->sortIndicatorSection(), 1);
        const Qt::SortOrder ordre = table->header()->sortIndicatorOrder();
        CliquerEnTete(table, 1);
        EXPECT_EQ(Noms(table), (QStringList{"grand.sor", "moyen.sor", "petit.sor"}));
        EXPECT_NE(table->header()->sortIndicatorOrder(), ordre);
        QTest::keyClick(d, Qt::Key_Escape);
    });
}

TEST_F(QtTransferDialogTest, NameEntryFiltersTheKeysAndEnterCreatesWithoutClosing)
{
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](QDialog* d) {
        QTest::mouseClick(Enfant<QPushButton>(d, IDC_CREER_REP_LOCAL), Qt::LeftButton);
        auto* nom = Enfant<QLineEdit>(d, IDC_NOM_LOCAL);
        ASSERT_TRUE(nom->isVisible());
        EXPECT_FALSE(Enfant<QPushButton>(d, IDC_CREER_REP_LOCAL)->isVisible());
        EXPECT_TRUE(AttendreQue([&] { return nom->hasFocus(); }));
        QTest::keyClicks(nom, QStringLiteral("ne/u*f"));
        EXPECT_EQ(nom->text(), QStringLiteral("neuf"));
        QTest::keyClick(nom, Qt::Key_Return);
        EXPECT_TRUE(fs::is_directory(Local() / "neuf"));
        EXPECT_FALSE(nom->isVisible());
        auto* reps = Enfant<QListWidget>(d, IDC_REPS_LOCAUX);
        EXPECT_NE(Ligne(reps, QStringLiteral("[neuf]")), -1);
        EXPECT_TRUE(d->isVisible()) << "Enter must not close the dialog";
        QTest::keyClick(d, Qt::Key_Escape);
    });
}

TEST_F(QtTransferDialogTest, RemotePathTypedIsAppliedByEnterOrWhenCloseTakesTheFocus)
{
    EcrireFichier(Distant() / "traces" / "t1.sor", 100);
    EcrireFichier(Distant() / "racine.sor", 50);
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSimulateur(sim, {"--ftp-root", Distant().string()}));
    CFTPDirect ftp(L"127.0.0.1", sim.Port("ftp"));
    CDlgFileTransfert dlg;
    ASSERT_EQ(dlg.ConnexionFtp(L"krx15", L"brimola", &ftp), 1);
    Executer(dlg, [&](QDialog* d) {
        auto* tableDistante = Enfant<QTreeWidget>(d, IDC_FICHIERS_DISTANTS);
        auto* chemin = Enfant<QLineEdit>(d, IDC_REP_DISTANT);
        // The remote pane fills once the dialog is on screen (posted refresh).
        EXPECT_TRUE(AttendreQue([&] { return tableDistante->topLevelItemCount() == 1; }));
        EXPECT_EQ(Noms(tableDistante), QStringList{QStringLiteral("racine.sor")});
        QTest::mouseClick(chemin, Qt::LeftButton);
        chemin->selectAll();
        QTest::keyClicks(chemin, QStringLiteral("/traces"));
        QTest::keyClick(chemin, Qt::Key_Return);
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/traces"));
        EXPECT_EQ(Noms(tableDistante), QStringList{QStringLiteral("t1.sor")});
        EXPECT_TRUE(d->isVisible());
        QTest::mouseClick(chemin, Qt::LeftButton);
        chemin->selectAll();
        QTest::keyClicks(chemin, QStringLiteral("/"));
        QTest::mouseClick(Enfant<QPushButton>(d, IDC_FERMER), Qt::LeftButton);
    });
    EXPECT_EQ(dlg.GetRepDistant(), CString(L"/"));
    EXPECT_EQ(m_profil->GetProfileString(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_DISTANT, L"?"), CString(L"/"));
}

TEST_F(QtTransferDialogTest, ResizingLaysTheControlsOutAndKeepsTheMinimum)
{
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](QDialog* d) {
        for (const QSize taille : {QSize(1001, 700), QSize(800, 600)}) {
            d->resize(taille);
            QCoreApplication::processEvents();
            const int R = d->width(), B = d->height(), M = R / 2;
            ASSERT_EQ(d->size(), taille);
            auto g = [&](unsigned id) { return d->findChild<QWidget*>(QString::number(id))->geometry(); };
            // The status strip and its "Cancel" take the bottom; the rest stands above them.
            // The bars of a copy stand above it, each under its pane.
            const int S = g(IDC_ANNULER_OPERATION).height(), Hb = g(IDC_PROGRESSION_FICHIER).height();
            const int Bp = B - S - 4 - Hb - 4;
            EXPECT_EQ(g(IDC_PROGRESSION_FICHIER).left(), 4);
            EXPECT_EQ(g(IDC_PROGRESSION_FICHIER).right() + 1, M - 4);
            EXPECT_EQ(g(IDC_PROGRESSION).left(), M + 4);
            EXPECT_EQ(g(IDC_PROGRESSION).right() + 1, R - 4);
            EXPECT_EQ(g(IDC_ANNULER_OPERATION).bottom() + 1, B - 4);
            EXPECT_EQ(g(IDC_ANNULER_OPERATION).right() + 1, R - 4);
            EXPECT_EQ(g(IDC_ETAT_OPERATION).left(), 4);
            EXPECT_LT(g(IDC_ETAT_OPERATION).right(), g(IDC_ANNULER_OPERATION).left());
            const int H = g(IDC_RAFRAICHIR_LOCAL).height(), Y = Bp - 8 - H;
            // Panes share the width; the file lists reach down to the button rows.
            EXPECT_EQ(g(IDC_FICHIERS_LOCAUX).left(), 4);
            EXPECT_EQ(g(IDC_FICHIERS_LOCAUX).x() + g(IDC_FICHIERS_LOCAUX).width(), M - 4);
            EXPECT_EQ(g(IDC_FICHIERS_LOCAUX).y() + g(IDC_FICHIERS_LOCAUX).height(), Y - 4);
            EXPECT_EQ(g(IDC_FICHIERS_DISTANTS).left(), M + 4);
            EXPECT_EQ(g(IDC_FICHIERS_DISTANTS).x() + g(IDC_FICHIERS_DISTANTS).width(), R - 4);
            // The middle column stays centred.
            for (unsigned id : {IDC_FERMER, IDC_VERS_DISTANT, IDC_VERS_LOCAL})
                EXPECT_EQ(g(id).left(), (R - g(id).width()) / 2) << id;
            // Button rows: 4 pixels above the strip, the four buttons spread.
            const int bw = g(IDC_RAFRAICHIR_LOCAL).width(), X0 = 4, X1 = M - 4;
            const int G = (X1 - X0 - bw) / 3;
            EXPECT_EQ(g(IDC_RAFRAICHIR_LOCAL).topLeft(), QPoint(X0, Y + 4));
            EXPECT_EQ(g(IDC_SUPPR_FICHIERS_LOCAUX).left(), X0 + G);
            EXPECT_EQ(g(IDC_CREER_REP_LOCAL).left(), X1 - G - bw);
            EXPECT_EQ(g(IDC_SUPPR_REP_LOCAL).left(), X1 - bw);
            EXPECT_EQ(g(IDC_SUPPR_REP_DISTANT).x() + g(IDC_SUPPR_REP_DISTANT).width(), R - 4);
            // Nothing overlaps in the upper rows: the path field starts after its label.
            EXPECT_GE(g(IDC_REP_DISTANT).left(), g(IDC_LIBELLE_DISTANT).x() + g(IDC_LIBELLE_DISTANT).width());
            EXPECT_LE(g(IDC_LECTEURS).y() + g(IDC_LECTEURS).height(), g(IDC_REPS_LOCAUX).y());
        }
        d->resize(300, 200);
        QCoreApplication::processEvents();
        EXPECT_GE(d->width(), 640);
        EXPECT_GE(d->height(), 480);
        QTest::keyClick(d, Qt::Key_Escape);
    });
}

TEST_F(QtTransferDialogTest, LongNamesKeepBothEndsAndTellTheWholeNameInATooltip)
{
    const QString nom = QStringLiteral("Lindenweg_Strasse_Abschnitt_Nord_Kabel_0042_Faser_17_Messung_1550nm.sor");
    const QString rep = QStringLiteral("Lindenweg_Strasse_Abschnitt_Sued_Kabel_0043_Faser_18_Messung_1625nm");
    EcrireFichier(Local() / nom.toStdString(), 10);
    fs::create_directories(Local() / rep.toStdString());
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](QDialog* d) {
        d->resize(d->minimumSize());
        QCoreApplication::processEvents();
        auto* table = Enfant<QTreeWidget>(d, IDC_FICHIERS_LOCAUX);
        auto* reps = Enfant<QListWidget>(d, IDC_REPS_LOCAUX);
        EXPECT_EQ(table->textElideMode(), Qt::ElideMiddle);
        EXPECT_EQ(reps->textElideMode(), Qt::ElideMiddle);
        ASSERT_EQ(table->topLevelItemCount(), 1);
        EXPECT_EQ(table->topLevelItem(0)->toolTip(0), nom);
        const int iRep = Ligne(reps, QLatin1Char('[') + rep + QLatin1Char(']'));
        ASSERT_GE(iRep, 0);
        EXPECT_EQ(reps->item(iRep)->toolTip(), QLatin1Char('[') + rep + QLatin1Char(']'));
        // What is drawn of the name holds its end: the extension at the
        // smallest size, the wavelength too at 1,240 pixels.
        auto montre = [&] {
            return table->fontMetrics().elidedText(nom, table->textElideMode(), table->columnWidth(0) - 8);
        };
        EXPECT_TRUE(montre().endsWith(QStringLiteral(".sor"))) << montre().toStdString();
        d->resize(1240, d->height());
        QCoreApplication::processEvents();
        EXPECT_TRUE(montre().endsWith(QStringLiteral("1550nm.sor"))) << montre().toStdString();
        QTest::keyClick(d, Qt::Key_Escape);
    });
}

TEST_F(QtTransferDialogTest, RightClickOffersTheOperationsThatApplyAndF2RenamesInPlace)
{
    EcrireFichier(Local() / "a.sor", 10);
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](QDialog* d) {
        auto* table = Enfant<QTreeWidget>(d, IDC_FICHIERS_LOCAUX);
        const QPoint p = table->viewport()->mapTo(d, table->visualItemRect(table->topLevelItem(0)).center());
        QStringList textes, actives;
        QTimer::singleShot(0, [&] {
            QMenu* menu = nullptr;
            ASSERT_TRUE(AttendreQue([&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())); }));
            for (QAction* a : menu->actions()) {
                if (a->isSeparator()) continue;
                textes << a->text();
                if (a->isEnabled()) actives << a->text().section(QLatin1Char('\t'), 0, 0);
            }
            menu->close();
        });
        // As the platform delivers it: a right press and release on the window.
        QTest::mouseClick(d->windowHandle(), Qt::RightButton, {}, p);
        EXPECT_TRUE(AttendreQue([&] { return !textes.isEmpty(); }));
        EXPECT_TRUE(textes.contains(QStringLiteral("Rename\tF2")));
        // Not connected: no copy to the instrument.
        EXPECT_EQ(actives, (QStringList{"Rename", "Delete", "Create directory", "Refresh"}));
        // F2 on the row: the entry holds the name, with the focus. (The
        // offscreen platform leaves the dialog inactive once a popup closed.)
        d->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(d));
        table->setFocus();
        table->setCurrentItem(table->topLevelItem(0));
        QTest::keyClick(table, Qt::Key_F2);
        auto* nom = Enfant<QLineEdit>(d, IDC_NOM_LOCAL);
        ASSERT_TRUE(nom->isVisible());
        EXPECT_EQ(nom->text(), QStringLiteral("a.sor"));
        EXPECT_TRUE(nom->hasFocus());
        nom->setText(QStringLiteral("b.sor"));
        QTest::keyClick(nom, Qt::Key_Return);
        EXPECT_EQ(Noms(table), QStringList{"b.sor"});
        QTest::keyClick(d, Qt::Key_Escape);
    });
    EXPECT_TRUE(fs::exists(Local() / "b.sor"));
}
