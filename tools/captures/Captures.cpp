// otdr-captures: shows the driver's dialogs with the Qt front end against a
// running simulator and saves a PNG of each state, for people to look at.
// Run by tools/screenshots (under Xvfb with a window manager, so captions and
// frames show); it also runs on the offscreen platform (client areas only).
//
//   otdr-captures --port N --ftp-port N --local DIR --out DIR
//
// Writes: wait-window.png, configuration.png, identification.png,
// transfer.png, transfer-name-entry.png, transfer-remove-confirmation.png.
// Exit status 0 when all six were written.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <functional>
#include <memory>

#include "driver/COtdrDriver.h"
#include "profile/CProfilMemoire.h"
#include "profile/ClesProfil.h"
#include "profile/Profil.h"
#include "ui/CDlgConfigDriverOtdr.h"
#include "ui/CDlgSaisieIdentificationFtp.h"
#include "ui/IdsControles.h"
#include "ui/qt/FrontalQt.h"

using namespace ClesProfil;
using namespace IdsControles;

namespace {

QString g_dossier;
int g_nEcrites = 0;

QDialog* Fenetre(unsigned idModele)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("dlg%1").arg(idModele) && w->isVisible())
            return qobject_cast<QDialog*>(w);
    return nullptr;
}

template <class W> W* Enfant(QWidget* d, unsigned id) { return d->findChild<W*>(QString::number(id)); }

// Lets the window manager frame the window and everything repaint, then saves
// the window with its frame (the client area alone where there is no frame).
void Capturer(QWidget* w, const char* nom)
{
    if (!w) {
        std::fprintf(stderr, "otdr-captures: nothing to capture for %s\n", nom);
        return;
    }
    (void)QTest::qWaitForWindowExposed(w, 3000);
    QPixmap image;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // Qt learns the frame size from the window's moves and resizes. The
        // window manager frames a new window around it where it stands (Qt
        // asks for static gravity), so when Qt's last move came before the
        // frame, frameGeometry() stays the client area and the caption is
        // cut off. A move there and back makes Qt read the frame again.
        const auto encadree = [w] { return w->frameGeometry() != w->geometry(); };
        if (!QTest::qWaitFor(encadree, 1000)) {
            const QPoint position = w->pos();
            w->move(position + QPoint(1, 0));
            QTest::qWait(100);
            w->move(position);
            if (!QTest::qWaitFor(encadree, 2000))
                std::fprintf(stderr, "otdr-captures: %s has no window frame\n", nom);
        }
        QTest::qWait(400);
        const QRect cadre = w->frameGeometry();
        if (QScreen* ecran = w->screen())
            image = ecran->grabWindow(0, cadre.x(), cadre.y(), cadre.width(), cadre.height());
        if (image.isNull())
            std::fprintf(stderr, "otdr-captures: cannot grab the screen for %s, client area only\n", nom);
    } else {
        QTest::qWait(400);
    }
    if (image.isNull()) image = w->grab();
    const QString chemin = QDir(g_dossier).filePath(QString::fromLatin1(nom));
    if (image.save(chemin, "PNG")) {
        ++g_nEcrites;
        std::printf("%s\n", qPrintable(chemin));
    } else {
        std::fprintf(stderr, "otdr-captures: cannot write %s\n", qPrintable(chemin));
    }
}

// Runs `scenario` once the modal dialog `idModele` is on screen.
void QuandOuvert(unsigned idModele, std::function<void(QDialog*)> scenario)
{
    auto* minuterie = new QTimer;
    auto essais = std::make_shared<int>(0);
    QObject::connect(minuterie, &QTimer::timeout, [=] {
        QDialog* d = Fenetre(idModele);
        if (!d && ++*essais < 200) return;
        minuterie->stop();
        minuterie->deleteLater();
        if (!d) {
            std::fprintf(stderr, "otdr-captures: dialog %u did not open\n", idModele);
            if (QWidget* m = QApplication::activeModalWidget()) m->close();
            return;
        }
        scenario(d);
    });
    minuterie->start(50);
}

void Cliquer(QWidget* d, unsigned id)
{
    if (auto* b = Enfant<QPushButton>(d, id)) QTest::mouseClick(b, Qt::LeftButton);
}

int Argument(const QStringList& args, const QString& nom, QString* valeur)
{
    const int i = static_cast<int>(args.indexOf(nom));
    if (i < 0 || i + 1 >= args.size()) return 0;
    *valeur = args[i + 1];
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QString port, portFtp, local;
    const QStringList args = QApplication::arguments();
    if (!Argument(args, "--port", &port) || !Argument(args, "--ftp-port", &portFtp)
        || !Argument(args, "--local", &local) || !Argument(args, "--out", &g_dossier)) {
        std::fprintf(stderr, "usage: otdr-captures --port N --ftp-port N --local DIR --out DIR\n");
        return 2;
    }
    QDir().mkpath(g_dossier);
    if (!InstallerFrontalQt()) return 1;

    auto profil = std::make_shared<CProfilMemoire>();
    DefinirProfil(profil);
    profil->WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"127.0.0.1");
    profil->WriteProfileInt(SECTION_DRIVER, PORT, port.toInt());
    profil->WriteProfileInt(SECTION_DRIVER, FTP_PORT, portFtp.toInt());
    profil->WriteProfileString(SECTION_FTPDIRECT, REP_LOCAL, (QDir(local).absolutePath() + "/").toStdWString().c_str());
    profil->WriteProfileString(SECTION_FTPDIRECT, REP_DISTANT, L"/");

    // 1. The wait window, while the (slow) simulator answers the start sequence.
    COtdrDriver driver;
    QTimer guet;
    QObject::connect(&guet, &QTimer::timeout, [&guet] {
        if (QDialog* d = Fenetre(2070)) {
            guet.stop();
            Capturer(d, "wait-window.png");
        }
    });
    guet.start(20);
    if (driver.StartDriver() != 1 || driver.IsConnexionEnCours() != 1) {
        std::fprintf(stderr, "otdr-captures: cannot connect to the simulator\n");
        return 1;
    }

    // 2. The configuration dialog, showing the stored address.
    QuandOuvert(2036, [](QDialog* d) {
        if (auto* e = Enfant<QLineEdit>(d, IDC_ADRESSE)) e->setFocus();
        Capturer(d, "configuration.png");
        Cliquer(d, 2);
    });
    driver.ConfigDriver();

    // 3. The identification dialog with "Other :" chosen.
    {
        CDlgSaisieIdentificationFtp dlg;
        dlg.SetIdentification(6, L"krx15", L"brimola");
        QuandOuvert(2087, [](QDialog* d) {
            Capturer(d, "identification.png");
            Cliquer(d, 2);
        });
        dlg.DoModal();
    }

    // 4. The file transfer dialog through the facade: both panes, the name
    // entry, the removal confirmation.
    QuandOuvert(2055, [](QDialog* d) {
        auto* distante = Enfant<QTreeWidget>(d, IDC_FICHIERS_DISTANTS);
        auto* locale = Enfant<QTreeWidget>(d, IDC_FICHIERS_LOCAUX);
        auto* repsDistants = Enfant<QListWidget>(d, IDC_REPS_DISTANTS);
        // The instrument keeps its traces in a directory: go there as a user would.
        if (!QTest::qWaitFor([&] { return repsDistants->count() > 0; }, 10000))
            std::fprintf(stderr, "otdr-captures: the remote pane stayed empty\n");
        auto entrer = [&](const QString& nom) {
            for (int i = 0; i < repsDistants->count(); ++i) {
                const QString texte = repsDistants->item(i)->text();
                if (texte == QLatin1String("[..]") || !texte.contains(nom)) continue;
                const QPoint p = repsDistants->visualItemRect(repsDistants->item(i)).center();
                QTest::mouseClick(repsDistants->viewport(), Qt::LeftButton, {}, p);
                QTest::mouseDClick(repsDistants->viewport(), Qt::LeftButton, {}, p);
                return;
            }
        };
        entrer(QStringLiteral("Traces"));
        for (int niveau = 0; niveau < 3 && distante->topLevelItemCount() == 0; ++niveau) entrer(QStringLiteral("["));
        if (!QTest::qWaitFor([&] { return distante->topLevelItemCount() > 0; }, 10000))
            std::fprintf(stderr, "otdr-captures: no remote files\n");
        if (locale && locale->topLevelItemCount() > 1) {
            locale->topLevelItem(0)->setSelected(true);
            locale->topLevelItem(1)->setSelected(true);
        }
        Capturer(d, "transfer.png");

        Cliquer(d, IDC_CREER_REP_LOCAL);
        if (auto* nom = Enfant<QLineEdit>(d, IDC_NOM_LOCAL)) QTest::keyClicks(nom, QStringLiteral("campaign_2026"));
        Capturer(d, "transfer-name-entry.png");
        Cliquer(d, IDC_ANNULER_NOM_LOCAL);

        // Asking to remove a local directory: the row shows the question.
        auto* repsLocaux = Enfant<QListWidget>(d, IDC_REPS_LOCAUX);
        for (int i = 0; i < repsLocaux->count(); ++i) {
            if (repsLocaux->item(i)->text() != QLatin1String("[archive]")) continue;
            QTest::mouseClick(repsLocaux->viewport(), Qt::LeftButton, {},
                              repsLocaux->visualItemRect(repsLocaux->item(i)).center());
        }
        Cliquer(d, IDC_SUPPR_REP_LOCAL);
        if (!Enfant<QWidget>(d, IDC_QUESTION_LOCAL)->isVisible())
            std::fprintf(stderr, "otdr-captures: the removal question did not show\n");
        Capturer(d, "transfer-remove-confirmation.png");
        Cliquer(d, IDC_ANNULER_SUPPR_LOCAL);
        Cliquer(d, IDC_FERMER);
    });
    driver.FileTransfert(nullptr, nullptr);

    driver.StopDriver();
    DesinstallerFrontalQt();
    return g_nEcrites == 6 ? 0 : 1;
}
