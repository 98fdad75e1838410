// The file transfer dialog's long operations with real widgets, against a
// slowed-down FTP server: the windows keep painting, the user's input during
// a copy goes nowhere (and is not replayed), Cancel stops it with the old
// files whole; a removal acts on the directory it asked about; Enter on
// Cancel cancels; the focus never lands in a path field.

#include "TransfertQt.h"

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QRegularExpression>

#include <chrono>
#include <vector>

#include "common/CEvenementManuel.h"
#include "driver/COtdrDriver.h"
#include "support/ServeurFtp.h"
#include "ui/CDlgSaisieIdentificationFtp.h"
#include "ui/Controles.h"
#include "ui/Ressources.h"

using namespace IdsControles;

namespace {

// Counts what a widget paints and what input reaches it.
class CEspion : public QObject
{
public:
    int nPeintures = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint) ++nPeintures;
        return false;
    }
};

class QtOperationsTest : public QtTransferDialogTest
{
protected:
    // The server's files, and the dialog logged in to it.
    bool Connecter(CDlgFileTransfert& dlg, const std::vector<std::string>& options = {})
    {
        // Started once per test; a table's rows share it.
        if (m_serveur.Port() == 0 && !m_serveur.Demarrer(options)) return false;
        m_ftp = std::make_unique<CFTPDirect>(L"127.0.0.1", m_serveur.Port());
        m_ftp->SetDelaiReponse(std::chrono::seconds(10));
        return dlg.ConnexionFtp(L"test", L"secret", m_ftp.get()) == 1;
    }
    fs::path Serveur() const { return m_serveur.Racine(); }

    static void Cliquer(QDialog* d, unsigned id) { QTest::mouseClick(Enfant<QPushButton>(d, id), Qt::LeftButton); }
    // Input as the platform sends it: to the window, at a position or to
    // whatever has the focus there.
    static void CliquerParLaFenetre(QWidget* w)
    {
        QTest::mouseClick(w->window()->windowHandle(), Qt::LeftButton, {}, w->mapTo(w->window(), w->rect().center()));
    }
    static void ToucheParLaFenetre(QWidget* w, Qt::Key touche)
    {
        QTest::keyClick(w->window()->windowHandle(), touche);
    }
    // The offscreen platform leaves no window active after a question closes,
    // where a window manager gives the activation back to the dialog.
    static void Focaliser(QWidget* w)
    {
        w->window()->activateWindow();
        w->setFocus();
        QCoreApplication::processEvents();
        EXPECT_TRUE(w->hasFocus());
    }
    template <typename G>
    static void Faire(G geste, QPushButton* annuler)
    {
        switch (geste) {
        case G::ClicSouris: CliquerParLaFenetre(annuler); break;
        case G::Espace: Focaliser(annuler); ToucheParLaFenetre(annuler, Qt::Key_Space); break;
        case G::Entree: Focaliser(annuler); ToucheParLaFenetre(annuler, Qt::Key_Return); break;
        case G::Echap: ToucheParLaFenetre(annuler, Qt::Key_Escape); break;
        }
    }
    static void ToutSelectionner(QDialog* d, unsigned idTable)
    {
        auto* t = Enfant<QTreeWidget>(d, idTable);
        ASSERT_TRUE(AttendreQue([&] { return t->topLevelItemCount() > 0; }));
        t->setFocus();
        t->selectAll();
    }
    static QString Etat(QDialog* d) { return Enfant<QLabel>(d, IDC_ETAT_OPERATION)->text(); }
    // The overwrite question, when one is on screen.
    static QDialog* Question()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("dlg2090") && w->isVisible()) return qobject_cast<QDialog*>(w);
        return nullptr;
    }

    void TearDown() override
    {
        m_ftp.reset();
        QtTransferDialogTest::TearDown();
    }

    CServeurFtpTest m_serveur;
    std::unique_ptr<CFTPDirect> m_ftp;
};

} // namespace

TEST_F(QtOperationsTest, InputDuringACopyIsDroppedAndTheWindowsKeepPainting)
{
    // The throttled server sends a 64 kB chunk, then waits two seconds before
    // the next: two files of 120 kB take four seconds.
    for (int i = 0; i < 2; ++i) EcrireFichier(Serveur() / ("f" + std::to_string(i) + ".sor"), 120000);
    EcrireFichier(Local() / "garder.txt", 10);
    QPushButton hote(QStringLiteral("Host"));
    hote.show();
    int nClicsHote = 0;
    QObject::connect(&hote, &QPushButton::clicked, [&] { ++nClicsHote; });

    CDlgFileTransfert dlg;
    ASSERT_TRUE(Connecter(dlg, {"--throttle", "50000"}));
    Executer(dlg, [&](QDialog* d) {
        ToutSelectionner(d, IDC_FICHIERS_DISTANTS);
        CEspion espion;
        Enfant<QLabel>(d, IDC_ETAT_OPERATION)->installEventFilter(&espion);
        QStringList etats;
        int nTours = 0;
        QTimer utilisateur;
        QObject::connect(&utilisateur, &QTimer::timeout, [&] {
            if (!AttenteGuiEnCours()) return;
            ++nTours;
            etats << Etat(d);
            // Everything a user might do meanwhile.
            QTest::mouseClick(&hote, Qt::LeftButton);
            Cliquer(d, IDC_FERMER);
            Cliquer(d, IDC_VERS_DISTANT);
            auto* locale = Enfant<QTreeWidget>(d, IDC_FICHIERS_LOCAUX);
            QTest::mouseClick(locale->viewport(), Qt::LeftButton, {},
                              locale->visualItemRect(locale->topLevelItem(0)).center());
            QTest::keyClick(locale, Qt::Key_Delete);
            QTest::keyClicks(Enfant<QLineEdit>(d, IDC_REP_DISTANT), QStringLiteral("/ailleurs"));
            QTest::keyClick(Enfant<QLineEdit>(d, IDC_REP_DISTANT), Qt::Key_Return);
            // And the same as the platform delivers it, through the windows.
            CliquerParLaFenetre(&hote);
            CliquerParLaFenetre(Enfant<QPushButton>(d, IDC_FERMER));
            CliquerParLaFenetre(locale->viewport());
            for (Qt::Key touche : {Qt::Key_Delete, Qt::Key_F5, Qt::Key_A, Qt::Key_Tab})
                ToucheParLaFenetre(d, touche);
        });
        utilisateur.start(50);
        Cliquer(d, IDC_VERS_LOCAL);
        utilisateur.stop();
        EXPECT_GE(nTours, 5) << "the event loop did not run during the copy";
        EXPECT_GT(espion.nPeintures, 2) << "the status line was not repainted";
        EXPECT_TRUE(etats.filter(QStringLiteral("Copying")).size() > 0) << etats.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(etats.filter(QStringLiteral(" of 2)")).size() > 0);
        QTest::qWait(50);
        // Nothing was delivered, nor is replayed now.
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(Etat(d), QStringLiteral("2 of 2 files copied (234.4 k)"));
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/"));
        QTest::keyClick(d, Qt::Key_Escape);
    });
    EXPECT_EQ(nClicsHote, 0);
    EXPECT_TRUE(fs::exists(Local() / "garder.txt"));
    EXPECT_FALSE(fs::exists(Serveur() / "garder.txt"));
    for (int i = 0; i < 2; ++i) EXPECT_EQ(fs::file_size(Local() / ("f" + std::to_string(i) + ".sor")), 120000u);
}

// How a user stops a copy, each through the window as the platform delivers
// it (Qt then finds the widget under the mouse or with the focus).
enum class eGeste { ClicSouris, Espace, Entree, Echap };

TEST_F(QtOperationsTest, CancelStopsACopyAndTheOldFilesStayWhole)
{
    for (eGeste geste : {eGeste::ClicSouris, eGeste::Espace, eGeste::Entree, eGeste::Echap}) {
        SCOPED_TRACE(static_cast<int>(geste));
        // Two seconds for each file (see above), unless stopped.
        for (int i = 0; i < 4; ++i) {
            EcrireFichier(Serveur() / ("f" + std::to_string(i) + ".sor"), 120000);
            EcrireFichier(Local() / ("f" + std::to_string(i) + ".sor"), 7);
        }
        CDlgFileTransfert dlg;
        ASSERT_TRUE(Connecter(dlg, {"--throttle", "50000"}));
        QString etatFinal;
        Executer(dlg, [&](QDialog* d) {
            ToutSelectionner(d, IDC_FICHIERS_DISTANTS);
            bool bRepondu = false, bAnnule = false;
            QTimer utilisateur;
            QObject::connect(&utilisateur, &QTimer::timeout, [&] {
                // The question first (its own modal loop): overwrite them all.
                if (QDialog* q = Question(); q && !bRepondu) {
                    bRepondu = true;
                    Cliquer(q, IDC_ECRASER_TOUT);
                    return;
                }
                auto* annuler = Enfant<QPushButton>(d, IDC_ANNULER_OPERATION);
                if (bRepondu && !bAnnule && AttenteGuiEnCours() && annuler->isVisible() && Etat(d).startsWith("Copying")) {
                    bAnnule = true;
                    Faire(geste, annuler);
                }
            });
            utilisateur.start(20);
            Cliquer(d, IDC_VERS_LOCAL);
            utilisateur.stop();
            EXPECT_TRUE(bRepondu);
            EXPECT_TRUE(bAnnule);
            etatFinal = Etat(d);
            EXPECT_TRUE(d->isVisible()) << "Escape during a copy closed the dialog";
            EXPECT_FALSE(Enfant<QPushButton>(d, IDC_ANNULER_OPERATION)->isVisible());
            EXPECT_FALSE(Enfant<QProgressBar>(d, IDC_PROGRESSION)->isVisible());
            QTest::keyClick(d, Qt::Key_Escape);
        });
        EXPECT_TRUE(etatFinal.startsWith(QStringLiteral("Cancelled: "))) << etatFinal.toStdString();
        int nCopies = 0;
        for (int i = 0; i < 4; ++i) {
            const auto taille = fs::file_size(Local() / ("f" + std::to_string(i) + ".sor"));
            EXPECT_TRUE(taille == 7 || taille == 120000) << "a partial file: " << taille;
            nCopies += taille != 7;
        }
        EXPECT_EQ(nCopies, 0) << "the transfer under way was not stopped";
        for (const auto& e : fs::directory_iterator(Local()))
            EXPECT_EQ(e.path().extension(), ".sor") << "left behind: " << e.path();
        m_ftp.reset();
    }
}

TEST_F(QtOperationsTest, RemovalActsOnTheDirectoryItAskedAbout)
{
    EcrireFichier(Local() / "tmpdir" / "x.txt", 1);
    EcrireFichier(Local() / "keep_me" / "y.txt", 1);
    CDlgFileTransfert dlg;
    dlg.ConnexionFtp(L"u", L"p", nullptr);
    Executer(dlg, [&](QDialog* d) {
        auto* reps = Enfant<QListWidget>(d, IDC_REPS_LOCAUX);
        auto choisir = [&](const QString& nom) {
            QTest::mouseClick(reps->viewport(), Qt::LeftButton, {}, reps->visualItemRect(reps->item(Ligne(reps, nom))).center());
        };
        auto* question = Enfant<QLabel>(d, IDC_QUESTION_LOCAL);
        EXPECT_EQ(QApplication::focusWidget(), Enfant<QTreeWidget>(d, IDC_FICHIERS_LOCAUX)) << "at opening";
        choisir(QStringLiteral("[tmpdir]"));
        // Escape, as the platform sends it, withdraws the question and gives
        // the focus back; the dialog stays.
        QTest::keyClick(reps, Qt::Key_Delete);
        ASSERT_TRUE(question->isVisible());
        EXPECT_EQ(QApplication::focusWidget(), Enfant<QPushButton>(d, IDC_ANNULER_SUPPR_LOCAL));
        ToucheParLaFenetre(d, Qt::Key_Escape);
        EXPECT_TRUE(d->isVisible());
        EXPECT_FALSE(question->isVisible());
        EXPECT_EQ(QApplication::focusWidget(), reps);
        Cliquer(d, IDC_SUPPR_REP_LOCAL);
        ASSERT_TRUE(question->isVisible());
        EXPECT_TRUE(question->text().contains(QStringLiteral("\"tmpdir\"")));
        // Another directory chosen: the question is withdrawn, Remove is gone.
        choisir(QStringLiteral("[keep_me]"));
        EXPECT_FALSE(question->isVisible());
        Cliquer(d, IDC_CONFIRMER_SUPPR_LOCAL);
        EXPECT_TRUE(fs::exists(Local() / "keep_me"));
        // Asked again, with the Delete key this time, and confirmed.
        choisir(QStringLiteral("[tmpdir]"));
        QTest::keyClick(reps, Qt::Key_Delete);
        ASSERT_TRUE(question->isVisible());
        Cliquer(d, IDC_CONFIRMER_SUPPR_LOCAL);
        EXPECT_FALSE(question->isVisible());
        QTest::keyClick(d, Qt::Key_Escape);
    });
    EXPECT_FALSE(fs::exists(Local() / "tmpdir"));
    EXPECT_TRUE(fs::exists(Local() / "keep_me" / "y.txt"));
}

TEST_F(QtOperationsTest, FocusNeverLandsInAPathFieldAfterAnOperation)
{
    EcrireFichier(Local() / "a.sor", 10);
    CDlgFileTransfert dlg;
    ASSERT_TRUE(Connecter(dlg));
    Executer(dlg, [&](QDialog* d) {
        const QList<QLineEdit*> chemins{Enfant<QLineEdit>(d, IDC_REP_LOCAL), Enfant<QLineEdit>(d, IDC_REP_DISTANT)};
        auto* locale = Enfant<QTreeWidget>(d, IDC_FICHIERS_LOCAUX);
        QTest::mouseClick(locale->viewport(), Qt::LeftButton, {}, locale->visualItemRect(locale->topLevelItem(0)).center());
        for (unsigned id : {IDC_RAFRAICHIR_LOCAL, IDC_RAFRAICHIR_DISTANT}) {
            Cliquer(d, id);
            EXPECT_EQ(QApplication::focusWidget(), Enfant<QPushButton>(d, id)) << id;
            for (QLineEdit* chemin : chemins) EXPECT_FALSE(chemin->hasFocus()) << id;
        }
        // Space presses what has the focus: the remote Refresh again, not ">".
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_EQ(dlg.GetRepDistant(), CString(L"/"));
        QTest::keyClick(d, Qt::Key_Escape);
    });
    EXPECT_FALSE(fs::exists(Serveur() / "a.sor"));
}

TEST_F(QtOperationsTest, EnterOnCancelCancelsAndEnterElsewherePressesTheDefault)
{
    for (bool bSurAnnuler : {true, false}) {
        CDlgSaisieIdentificationFtp dlg;
        dlg.SetIdentification(3, L"", L"");
        int n = -1;
        QTimer::singleShot(0, [&] {
            QDialog* d = nullptr;
            ASSERT_TRUE(AttendreQue([&] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (w->objectName() == QLatin1String("dlg2087") && w->isVisible()) d = qobject_cast<QDialog*>(w);
                return d != nullptr;
            }));
            QWidget* cible = bSurAnnuler ? static_cast<QWidget*>(Enfant<QPushButton>(d, ID_ANNULER))
                                         : static_cast<QWidget*>(Enfant<QWidget>(d, IDC_RADIO_KRX11));
            cible->setFocus();
            QTest::keyClick(cible, Qt::Key_Return);
        });
        n = dlg.DoModal();
        EXPECT_EQ(n, bSurAnnuler ? ID_ANNULER : ID_OK) << bSurAnnuler;
    }
}

TEST_F(QtOperationsTest, OverwriteQuestionShowsBothFilesAndEnterSkips)
{
    EcrireFichier(Serveur() / "a.sor", 3000);
    EcrireFichier(Local() / "a.sor", 20);
    CDlgFileTransfert dlg;
    ASSERT_TRUE(Connecter(dlg));
    QStringList textes;
    int nAttentes = 0;
    Executer(dlg, [&](QDialog* d) {
        ToutSelectionner(d, IDC_FICHIERS_DISTANTS);
        QTimer utilisateur;
        QObject::connect(&utilisateur, &QTimer::timeout, [&] {
            QDialog* q = Question();
            if (!q || !textes.isEmpty()) return;
            // A loaded machine may show the question a moment before it is
            // activated; the user reads it once it is.
            if (QApplication::activeWindow() != q && ++nAttentes < 100) return;
            for (unsigned id : {IDC_TEXTE_ECRASEMENT, IDC_FICHIER_EXISTANT, IDC_FICHIER_COPIE})
                textes << Enfant<QLabel>(q, id)->text();
            EXPECT_EQ(QApplication::focusWidget(), Enfant<QPushButton>(q, IDC_PASSER));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        utilisateur.start(20);
        Cliquer(d, IDC_VERS_LOCAL);
        EXPECT_EQ(Etat(d), QStringLiteral("0 of 1 files copied (0), 1 skipped"));
        QTest::keyClick(d, Qt::Key_Escape);
    });
    ASSERT_EQ(textes.size(), 3);
    EXPECT_TRUE(textes[0].startsWith(QStringLiteral("The file \"a.sor\" already exists on this computer")));
    EXPECT_TRUE(textes[1].startsWith(QStringLiteral("Existing file : 20 (20 bytes), ")));
    EXPECT_TRUE(textes[2].startsWith(QStringLiteral("Copied file : 2.9 k (3000 bytes), ")));
    EXPECT_EQ(fs::file_size(Local() / "a.sor"), 20u);
}

TEST_F(QtOperationsTest, AtTheSmallestSizeALongNameGivesWayToTheNumbersInASteadyFont)
{
    const std::string nom = "Lindenweg_Strasse_Abschnitt_Nord_Kabel_0042_Faser_17_Messung_1550nm_Richtung_B.sor";
    EcrireFichier(Serveur() / nom, 120000);
    CDlgFileTransfert dlg;
    ASSERT_TRUE(Connecter(dlg, {"--throttle", "50000"}));
    struct tVu { QString montre, complet, bulle; QFont police; int nLargeur; int nFichier, nTotal; };
    std::vector<tVu> vus;
    Executer(dlg, [&](QDialog* d) {
        d->resize(d->minimumSize());
        QCoreApplication::processEvents();
        ToutSelectionner(d, IDC_FICHIERS_DISTANTS);
        auto* etat = Enfant<QLabel>(d, IDC_ETAT_OPERATION);
        QTimer utilisateur;
        QObject::connect(&utilisateur, &QTimer::timeout, [&] {
            if (!AttenteGuiEnCours() || !etat->toolTip().startsWith(QLatin1String("Copying"))) return;
            vus.push_back({etat->text(), QString::fromStdWString(dlg.GetEtat()), etat->toolTip(), etat->font(),
                           etat->width(), Enfant<QProgressBar>(d, IDC_PROGRESSION_FICHIER)->value(),
                           Enfant<QProgressBar>(d, IDC_PROGRESSION)->value()});
        });
        utilisateur.start(20);
        Cliquer(d, IDC_VERS_LOCAL);
        QTest::keyClick(d, Qt::Key_Escape);
    });
    ASSERT_GE(vus.size(), 2u) << "the status line never had to shorten the name";
    for (const tVu& v : vus) {
        EXPECT_TRUE(v.montre.contains(QChar(0x2026))) << v.montre.toStdString();
        EXPECT_EQ(v.bulle, v.complet) << "the whole line is the tooltip";
        // The numbers after the name are all there, and the line fits.
        const QString suite = v.complet.mid(v.complet.indexOf(QLatin1String(".sor")) + 4);
        EXPECT_TRUE(v.montre.endsWith(suite)) << v.montre.toStdString();
        EXPECT_LE(QFontMetrics(v.police).horizontalAdvance(v.montre), v.nLargeur);
        EXPECT_EQ(v.police, vus.front().police) << "the font changed between refreshes";
        EXPECT_EQ(v.nFichier, v.nTotal) << "one file: both bars agree";
    }
    EXPECT_EQ(fs::file_size(Local() / nom), 120000u);
}

TEST_F(QtOperationsTest, FilesDroppedOnTheOtherPaneAreCopiedThereAndNothingElseIsTaken)
{
    EcrireFichier(Local() / "a.sor", 1000);
    EcrireFichier(Local() / "b.sor", 2000);
    CDlgFileTransfert dlg;
    ASSERT_TRUE(Connecter(dlg));
    Executer(dlg, [&](QDialog* d) {
        auto* locale = Enfant<QTreeWidget>(d, IDC_FICHIERS_LOCAUX);
        auto* distante = Enfant<QTreeWidget>(d, IDC_FICHIERS_DISTANTS);
        QTest::mouseClick(locale->viewport(), Qt::LeftButton, {}, locale->visualItemRect(locale->topLevelItem(0)).center());
        auto deposer = [](QTreeWidget* source, QTreeWidget* cible) {
            std::unique_ptr<QMimeData> mime(source->model()->mimeData(source->selectionModel()->selectedIndexes()));
            const QPoint p = cible->viewport()->rect().center();
            QDragEnterEvent entree(p, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
            QCoreApplication::sendEvent(cible->viewport(), &entree);
            QDropEvent depot(QPointF(p), Qt::CopyAction, mime.get(), Qt::LeftButton, {});
            QCoreApplication::sendEvent(cible->viewport(), &depot);
            return entree.isAccepted() && depot.isAccepted();
        };
        // Onto its own table: refused, nothing happens.
        EXPECT_FALSE(deposer(locale, locale));
        EXPECT_TRUE(deposer(locale, distante));
        EXPECT_TRUE(AttendreQue([&] { return distante->topLevelItemCount() == 1; }));
        EXPECT_EQ(Noms(distante), QStringList{"a.sor"});
        EXPECT_EQ(locale->topLevelItemCount(), 2) << "a drop moved rows";
        QTest::keyClick(d, Qt::Key_Escape);
    });
    EXPECT_EQ(fs::file_size(Serveur() / "a.sor"), 1000u);
    EXPECT_FALSE(fs::exists(Serveur() / "b.sor"));
}

TEST_F(QtOperationsTest, SessionLogShowsTheCommandsCopiesWithCtrlCAndRetryRunsOnlyTheFailedFilesAgain)
{
    EcrireFichier(Serveur() / "a.sor", 1000);
    EcrireFichier(Serveur() / "b.sor", 1000);
    CDlgFileTransfert dlg;
    ASSERT_TRUE(Connecter(dlg));
    Executer(dlg, [&](QDialog* d) {
        auto* journal = Enfant<QTreeWidget>(d, IDC_JOURNAL);
        EXPECT_FALSE(journal->isVisible());
        Cliquer(d, IDC_AFFICHER_JOURNAL);
        EXPECT_TRUE(journal->isVisible());
        EXPECT_EQ(Enfant<QPushButton>(d, IDC_AFFICHER_JOURNAL)->text(), QStringLiteral("Hide log"));
        ToutSelectionner(d, IDC_FICHIERS_DISTANTS);
        fs::remove(Serveur() / "b.sor");
        // The first failure message is answered Retry, the second OK.
        int nMessages = 0;
        QTimer utilisateur;
        QObject::connect(&utilisateur, &QTimer::timeout, [&] {
            auto* m = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!m) return;
            ASSERT_NE(m->button(QMessageBox::Retry), nullptr);
            m->button(++nMessages == 1 ? QMessageBox::Retry : QMessageBox::Ok)->click();
        });
        utilisateur.start(20);
        Cliquer(d, IDC_VERS_LOCAL);
        ASSERT_TRUE(AttendreQue([&] { return nMessages == 2 && !AttenteGuiEnCours(); }));
        utilisateur.stop();
        const QStringList lignes = Noms(journal);
        EXPECT_EQ(lignes.filter(QRegularExpression("^> PASS \\*\\*\\*\\*$")).size(), 1);
        EXPECT_TRUE(lignes.filter(QStringLiteral("secret")).isEmpty());
        EXPECT_EQ(lignes.filter(QRegularExpression("^/a\\.sor: done$")).size(), 1);
        EXPECT_EQ(lignes.filter(QRegularExpression("^/b\\.sor: failed: 550")).size(), 2);
        // The last line is in view.
        const QRect vue = journal->viewport()->rect();
        EXPECT_TRUE(vue.intersects(journal->visualItemRect(journal->topLevelItem(journal->topLevelItemCount() - 1))));

        journal->setFocus();
        journal->clearSelection();
        journal->topLevelItem(static_cast<int>(lignes.indexOf(QStringLiteral("/a.sor: done"))))->setSelected(true);
        QTest::keyClick(journal, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("/a.sor: done\n"));
        Cliquer(d, IDC_FERMER);
    });
    EXPECT_EQ(m_profil->GetProfileInt(ClesProfil::SECTION_FTPDIRECT, ClesProfil::JOURNAL, 0), 1);
    EXPECT_EQ(CRepertoireTemp::Lire(Local() / "a.sor"), std::string(1000, 'x'));
}
