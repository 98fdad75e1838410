// The wait window and the GUI-aware request wait, with real widgets.

#include "support/MainQt.h"

#include <QBuffer>
#include <QDialog>
#include <QImageReader>
#include <QLabel>
#include <QMovie>
#include <QTest>

#include <thread>

#include "common/CEvenementManuel.h"
#include "ui/Attente.h"
#include "ui/Controles.h"
#include "ui/qt/FrontalQt.h"

namespace {

QDialog* FenetreAttente()
{
    QDialog* trouvee = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("dlg2070") && w->isVisible()) {
            EXPECT_EQ(trouvee, nullptr) << "two wait windows on screen";
            trouvee = qobject_cast<QDialog*>(w);
        }
    return trouvee;
}

QMovie* Film(QDialog* dlg)
{
    auto* zone = dlg ? dlg->findChild<QLabel*>(QStringLiteral("2427")) : nullptr;
    return zone ? zone->movie() : nullptr;
}

// The worker's calls come from its own thread.
void DepuisUnAutreThread(const wchar_t* texte, unsigned animation)
{
    std::thread t([&] { AfficherAttente(texte, animation); });
    t.join();
}

class WaitWindowTest : public WidgetsTest {};

} // namespace

TEST_F(WaitWindowTest, ShownAtTheWorkersRequestWithItsClipAndNoCloseBox)
{
    DepuisUnAutreThread(L"Connecting ...", 2080);
    ASSERT_TRUE(AttendreQue([] { return FenetreAttente() != nullptr; }));
    QDialog* dlg = FenetreAttente();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Connecting ..."));
    EXPECT_FALSE(dlg->isModal());
    EXPECT_TRUE(dlg->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(dlg->windowFlags() & Qt::WindowCloseButtonHint);
    QMovie* film = Film(dlg);
    ASSERT_NE(film, nullptr);
    EXPECT_EQ(film->frameCount(), 14);
    EXPECT_EQ(film->frameRect().size(), QSize(80, 50));
    AfficherAttente(nullptr, 0);
}

TEST_F(WaitWindowTest, EnterEscapeAndACloseRequestLeaveItOnScreen)
{
    AfficherAttente(L"Connecting ...", 2080);
    QDialog* dlg = FenetreAttente();
    ASSERT_NE(dlg, nullptr);
    for (int touche : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        QTest::keyClick(dlg, static_cast<Qt::Key>(touche));
    dlg->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(FenetreAttente(), dlg);
    EXPECT_TRUE(dlg->isVisible());
    AfficherAttente(nullptr, 0);
}

TEST_F(WaitWindowTest, HasATitleAndComesBackWhenMinimised)
{
    AfficherAttente(L"Connecting ...", 2080);
    QDialog* dlg = FenetreAttente();
    ASSERT_NE(dlg, nullptr);
    EXPECT_FALSE(dlg->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(dlg->windowFlags() & Qt::WindowTitleHint);
    EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize()) << "a fixed size cannot be maximised";
    // A window manager that minimises it anyway does not hide it for long.
    dlg->showMinimized();
    EXPECT_TRUE(AttendreQue([&] { return !dlg->isMinimized(); }));
    EXPECT_TRUE(dlg->isVisible());
    AfficherAttente(nullptr, 0);
}

TEST_F(WaitWindowTest, ClipsLoopAtTheirRates)
{
    // Per-frame delays over one loop: 14 frames at 6.5 a second, 22 at 12;
    // read from the clip the window plays, frame by frame.
    const struct { unsigned id; int images; int dureeMs; } clips[] = {{2080, 14, 2150}, {2084, 22, 1830}};
    for (const auto& c : clips) {
        AfficherAttente(L"x", c.id);
        QMovie* film = Film(FenetreAttente());
        ASSERT_NE(film, nullptr);
        auto* source = qobject_cast<QBuffer*>(film->device());
        ASSERT_NE(source, nullptr);
        QByteArray donnees = source->data();
        QBuffer tampon(&donnees);
        QImageReader lecteur(&tampon, "gif");
        EXPECT_EQ(lecteur.loopCount(), -1) << c.id;  // for ever
        int n = 0, total = 0;
        for (QImage image = lecteur.read(); !image.isNull(); image = lecteur.read()) {
            EXPECT_EQ(image.size(), QSize(80, 50));
            ++n;
            total += lecteur.nextImageDelay();
        }
        EXPECT_EQ(n, c.images) << c.id;
        EXPECT_EQ(total, c.dureeMs) << c.id;
        AfficherAttente(nullptr, 0);
    }
}

TEST_F(WaitWindowTest, RequestWaitOffTheGuiThreadIsPlain)
{
    CEvenementManuel evenement;
    bool bResultat = true;
    // Off the GUI thread the wait neither touches Qt nor needs an event loop.
    std::thread t([&] { bResultat = AttendreRequete(evenement, 30); });
    t.join();
    EXPECT_FALSE(bResultat);
    evenement.SetEvent();
    std::thread t2([&] { bResultat = AttendreRequete(evenement, 30); });
    t2.join();
    EXPECT_TRUE(bResultat);
}

TEST_F(WaitWindowTest, RequestWaitOnTheGuiThreadReportsALimitThatPasses)
{
    CEvenementManuel evenement;
    EXPECT_FALSE(AttendreRequete(evenement, 30));
}

TEST_F(WaitWindowTest, InstallingOffTheGuiThreadIsRefusedAndInstallingTwiceIsHarmless)
{
    bool bAutreThread = true;
    std::thread t([&] { bAutreThread = InstallerFrontalQt(); });
    t.join();
    EXPECT_FALSE(bAutreThread);
    EXPECT_TRUE(InstallerFrontalQt());
    EXPECT_TRUE(FrontalInstalle());
}

TEST_F(WaitWindowTest, UninstallingGoesHeadlessAndTakesTheWaitWindowAway)
{
    AfficherAttente(L"Connecting ...", 2080);
    ASSERT_NE(FenetreAttente(), nullptr);
    DesinstallerFrontalQt();
    EXPECT_FALSE(FrontalInstalle());
    QCoreApplication::processEvents();
    EXPECT_EQ(FenetreAttente(), nullptr);
    // Later requests show nothing, and the request wait is plain again.
    DepuisUnAutreThread(L"Connecting ...", 2080);
    QCoreApplication::processEvents();
    EXPECT_EQ(FenetreAttente(), nullptr);
    CEvenementManuel evenement;
    EXPECT_FALSE(AttendreRequete(evenement, 20));
    EXPECT_TRUE(InstallerFrontalQt());
}
