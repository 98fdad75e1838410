// A facade request made on the GUI thread, against a slow simulator: the wait
// window shows and animates, the host's timers run, the user's input is dropped.

#include "support/MainQt.h"

#include <QDialog>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>
#include <set>

#include "driver/COtdrDriver.h"
#include "profile/CProfilMemoire.h"
#include "profile/ClesProfil.h"
#include "profile/Profil.h"
#include "support/ProcessusTest.h"

using namespace ClesProfil;

namespace {

QDialog* FenetreAttente()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("dlg2070") && w->isVisible()) return qobject_cast<QDialog*>(w);
    return nullptr;
}

class QtFacadeTest : public WidgetsTest
{
protected:
    void SetUp() override
    {
        m_profil = std::make_shared<CProfilMemoire>();
        DefinirProfil(m_profil);
    }
    void TearDown() override
    {
        DefinirProfil(std::make_shared<CProfilMemoire>());
        WidgetsTest::TearDown();
    }
    bool DemarrerSim(CProcessusTest& sim, int delaiReponseMs)
    {
        if (!DemarrerSimulateur(sim, {"--reply-delay", std::to_string(delaiReponseMs)})) return false;
        m_profil->WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"127.0.0.1");
        m_profil->WriteProfileInt(SECTION_DRIVER, PORT, sim.Port("command"));
        if (sim.Port("ftp")) m_profil->WriteProfileInt(SECTION_DRIVER, FTP_PORT, sim.Port("ftp"));
        return true;
    }
    static tDelaisDriver Delais()
    {
        tDelaisDriver d;
        d.m_nDemarrage = 20000;
        d.m_nArret = 20000;
        d.m_nArretApresEchec = 20000;
        d.m_nPauseCom = 10;
        return d;
    }

    std::shared_ptr<CProfilMemoire> m_profil;
};

// What a host timer saw while a request waited.
struct tObservation {
    std::set<QString> legendes;
    std::set<int> images;
    int nTicks = 0;
};

} // namespace

TEST_F(QtFacadeTest, StartOnTheGuiThreadAnimatesTheWaitWindowAndDropsInput)
{
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSim(sim, 120));
    COtdrDriver driver;
    driver.SetDelais(Delais());

    QPushButton bouton(QStringLiteral("Host"));
    bouton.show();
    int nClics = 0;
    QObject::connect(&bouton, &QPushButton::clicked, [&] { ++nClics; });

    tObservation vu;
    QTimer minuterie;
    QObject::connect(&minuterie, &QTimer::timeout, [&] {
        ++vu.nTicks;
        if (QDialog* d = FenetreAttente()) {
            vu.legendes.insert(d->windowTitle());
            if (auto* zone = d->findChild<QLabel*>(QStringLiteral("2427")))
                if (zone->movie()) vu.images.insert(zone->movie()->currentFrameNumber());
        }
        QTest::mouseClick(&bouton, Qt::LeftButton);
        QTest::keyClick(&bouton, Qt::Key_Space);
    });
    minuterie.start(25);

    EXPECT_EQ(driver.StartDriver(), 1);
    minuterie.stop();
    EXPECT_EQ(driver.IsConnexionEnCours(), 1);
    EXPECT_GT(vu.nTicks, 0) << "host timers did not run during the wait";
    EXPECT_EQ(vu.legendes, std::set<QString>{QStringLiteral("Connecting ...")});
    EXPECT_GE(vu.images.size(), 3u) << "the clip did not advance";
    EXPECT_EQ(FenetreAttente(), nullptr);
    QTest::qWait(30);
    EXPECT_EQ(nClics, 0) << "input during the wait was delivered or replayed";
    driver.StopDriver();
}

TEST_F(QtFacadeTest, RequestFromInsideAWaitIsRefused)
{
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSim(sim, 60));
    COtdrDriver driver;
    // Short limits: without the refusal the nested waits can run out of time.
    tDelaisDriver delais = Delais();
    delais.m_nDemarrage = delais.m_nArret = delais.m_nArretApresEchec = 5000;
    driver.SetDelais(delais);

    int nInterieur = -1;
    QTimer::singleShot(30, [&] {
        // A host timer that fires during the start asks again: the same facade
        // and a copy of it (sharing the worker) must both be turned away at once.
        nInterieur = driver.StartDriver();
        COtdrDriver copie(driver);
        copie.StopDriver();
    });
    EXPECT_EQ(driver.StartDriver(), 1);
    EXPECT_EQ(nInterieur, 0) << "the facade must refuse a request made inside another's wait "
                                "(COtdrDriver takes a CGardeRequete, driver/GardeRequete.h)";
    EXPECT_EQ(driver.IsConnexionEnCours(), 1) << "the refused requests must not have run";
    EXPECT_EQ(FenetreAttente(), nullptr);
    driver.StopDriver();
    EXPECT_EQ(driver.IsConnexionEnCours(), 0);
}
