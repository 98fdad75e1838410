// otdr-captures: shows the driver's dialogs with the Qt front end against a
// running simulator and saves a PNG of each state, for people to look at.
// Run by tools/screenshots (under Xvfb with a window manager, so captions and
// frames show); it also runs on the offscreen platform (client areas only).
//
//   otdr-captures --port N --ftp-port N --slow-ftp-port N --local DIR --out DIR
//
// --slow-ftp-port names a slowed-down FTP server (user "test", password
// "secret") holding a file of the same name as one in DIR and a few traces:
// a copy from it asks before overwriting and runs long enough to be seen.
//
// Writes: wait-window.png, configuration.png, identification.png,
// transfer.png, transfer-name-entry.png, transfer-remove-confirmation.png,
// transfer-overwrite.png, transfer-progress.png, transfer-menu.png, transfer-log.png. Exit
// status 0 when all nine were written; a picture that came out empty (a window gone, or not yet
// drawn) is an error with its reason.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

#include <cstdio>
#include <functional>
#include <memory>

#include "driver/COtdrDriver.h"
#include "ftp/CFTPDirect.h"
#include "profile/CProfilMemoire.h"
#include "profile/ClesProfil.h"
#include "profile/Profil.h"
#include "ui/CDlgAttente.h"
#include "ui/CDlgConfigDriverOtdr.h"
#include "ui/CDlgFileTransfert.h"
#include "ui/CDlgSaisieIdentificationFtp.h"
#include "ui/IdsControles.h"
#include "ui/Ressources.h"
#include "ui/qt/AttenteGui.h"
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

// Why a picture cannot be kept, or empty when it can: it must have the
// window's size (give or take its frame) and show more than one colour.
QString Defaut(const QPixmap& image, const QSize& attendue)
{
    if (image.isNull()) return QStringLiteral("no picture");
    if (image.width() < attendue.width() * 9 / 10 || image.height() < attendue.height() * 9 / 10)
        return QStringLiteral("%1 x %2 pixels for a window of %3 x %4")
            .arg(image.width()).arg(image.height()).arg(attendue.width()).arg(attendue.height());
    const QImage img = image.toImage();
    const QRgb premier = img.pixel(0, 0);
    for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 3)
            if (img.pixel(x, y) != premier) return QString();
    return QStringLiteral("a blank picture");
}

// The window with its frame where the window system has one, else its client area.
QPixmap Prendre(QWidget* w)
{
    QPixmap image;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // Qt sometimes gives a frame smaller than the window it holds.
        QRect cadre = w->frameGeometry();
        if (!cadre.contains(w->geometry())) cadre = w->geometry();
        if (QScreen* ecran = w->screen())
            image = ecran->grabWindow(0, cadre.x(), cadre.y(), cadre.width(), cadre.height());
    }
    if (image.isNull()) image = w->grab();
    return image;
}

// Lets the window manager frame the window and everything repaint, then saves
// the window with its frame (the client area alone where there is no frame).
// The window may go while this waits (the wait window does when the start
// ends): then nothing is written and the reason is told.
bool Capturer(QWidget* fenetre, const char* nom)
{
    QPointer<QWidget> w = fenetre;
    const auto partie = [&] {
        if (w) return false;
        std::fprintf(stderr, "otdr-captures: %s: the window went before it could be captured\n", nom);
        return true;
    };
    if (partie()) return false;
    // Not QTest::qWaitForWindowExposed: it would read the window after it went.
    (void)QTest::qWaitFor([&w] { return !w || (w->windowHandle() && w->windowHandle()->isExposed()); }, 3000);
    if (partie()) return false;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // Qt learns the frame size from the window's moves and resizes. The
        // window manager frames a new window around it where it stands (Qt
        // asks for static gravity), so when Qt's last move came before the
        // frame, frameGeometry() stays the client area and the caption is
        // cut off. A move there and back makes Qt read the frame again.
        const auto encadree = [&w] { return !w || w->frameGeometry() != w->geometry(); };
        if (!QTest::qWaitFor(encadree, 1000) && w) {
            const QPoint position = w->pos();
            w->move(position + QPoint(1, 0));
            QTest::qWait(100);
            if (w) w->move(position);
            if (!QTest::qWaitFor(encadree, 2000))
                std::fprintf(stderr, "otdr-captures: %s has no window frame\n", nom);
        }
    }
    // A picture taken before the window is drawn, or while the window system
    // is busy, is tried again; a screen that keeps giving nothing leaves the
    // client area, drawn by the window itself.
    QString defaut = QStringLiteral("not taken");
    QPixmap image;
    for (int essai = 0; essai < 4 && !defaut.isEmpty(); ++essai) {
        QTest::qWait(essai == 0 ? 300 : 700);
        if (partie()) return false;
        image = Prendre(w);
        defaut = Defaut(image, w->size());
    }
    if (!defaut.isEmpty()) {
        std::fprintf(stderr, "otdr-captures: %s: the screen gave %s, client area only\n", nom, qPrintable(defaut));
        image = w->grab();
        defaut = Defaut(image, w->size());
    }
    if (!defaut.isEmpty()) {
        std::fprintf(stderr, "otdr-captures: %s is empty: %s\n", nom, qPrintable(defaut));
        return false;
    }
    const QString chemin = QDir(g_dossier).filePath(QString::fromLatin1(nom));
    if (!image.save(chemin, "PNG")) {
        std::fprintf(stderr, "otdr-captures: cannot write %s\n", qPrintable(chemin));
        return false;
    }
    ++g_nEcrites;
    std::printf("%s\n", qPrintable(chemin));
    std::fflush(stdout);
    return true;
}

// Runs `scenario` once the modal dialog `idModele` is on screen, and not from
// inside one of its operations' waits (the user acts between them).
void QuandOuvert(unsigned idModele, std::function<void(QDialog*)> scenario)
{
    auto* minuterie = new QTimer;
    auto essais = std::make_shared<int>(0);
    QObject::connect(minuterie, &QTimer::timeout, [=] {
        QDialog* d = AttenteGuiEnCours() ? nullptr : Fenetre(idModele);
        if (!d && ++*essais < 600) return;
        minuterie->stop();
        if (!d) {
            std::fprintf(stderr, "otdr-captures: dialog %u did not open\n", idModele);
            if (QWidget* m = QApplication::activeModalWidget()) m->close();
        } else {
            scenario(d);
        }
        // Only now: the event loops the scenario runs (the dialog's waits
        // among them) may delete what is posted for deletion, and this timer
        // holds the scenario being run.
        minuterie->deleteLater();
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

// 4. The dialog on the simulator: both panes, the right-click menu, the name
// entry, the removal confirmation.
void CapturerTransfert(QDialog* d)
{
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

    // The right-click menu of the local files, over the dialog, brought up
    // as the platform does (a right press on the window).
    if (locale && locale->topLevelItemCount() > 0) {
        bool bMenu = false;
        QTimer::singleShot(300, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                bMenu = true;
                Capturer(d, "transfer-menu.png");
                menu->close();
            }
        });
        const QPoint p = locale->viewport()->mapTo(d, locale->visualItemRect(locale->topLevelItem(0)).center());
        QTest::mouseClick(d->windowHandle(), Qt::RightButton, {}, p);
        if (!QTest::qWaitFor([&] { return bMenu; }, 3000))
            std::fprintf(stderr, "otdr-captures: the context menu did not show\n");
    }

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
}

// 5. On the slowed-down server: the overwrite question, then the copy in
// progress, which the user cancels.
void CapturerCopieLente(int nPortLent)
{
    CFTPDirect lent(L"127.0.0.1", nPortLent);
    CDlgFileTransfert dlg;
    if (dlg.ConnexionFtp(L"test", L"secret", &lent) != 1) {
        std::fprintf(stderr, "otdr-captures: cannot log in to the slow FTP server\n");
    } else {
        QuandOuvert(2055, [](QDialog* d) {
            auto* distante = Enfant<QTreeWidget>(d, IDC_FICHIERS_DISTANTS);
            if (!QTest::qWaitFor([&] { return distante->topLevelItemCount() > 1; }, 10000))
                std::fprintf(stderr, "otdr-captures: the slow server lists nothing\n");
            distante->setFocus();
            distante->selectAll();
            bool bRepondu = false, bVu = false;
            QTimer utilisateur;
            QObject::connect(&utilisateur, &QTimer::timeout, [&] {
                if (!bRepondu) {
                    if (QDialog* q = Fenetre(2090)) {
                        bRepondu = true;
                        Capturer(q, "transfer-overwrite.png");
                        Cliquer(q, IDC_ECRASER_TOUT);
                    }
                    return;
                }
                // Once a file is through, the line shows every piece.
                auto* etat = Enfant<QLabel>(d, IDC_ETAT_OPERATION);
                if (bVu || !AttenteGuiEnCours() || !etat->text().contains(QStringLiteral("/s")))
                    return;
                bVu = true;
                utilisateur.stop();
                Capturer(d, "transfer-progress.png");
                Cliquer(d, IDC_ANNULER_OPERATION);
            });
            utilisateur.start(50);
            Cliquer(d, IDC_VERS_LOCAL);
            utilisateur.stop();
            if (!bRepondu) std::fprintf(stderr, "otdr-captures: no question before overwriting\n");
            if (!bVu) std::fprintf(stderr, "otdr-captures: the copy ended before it could be seen\n");
            Cliquer(d, IDC_FERMER);
        });
        dlg.DoModal();
    }
}

// 6. The session log after a copy with one failure: a file the server listed
// is gone when it is fetched. The failure message is answered "OK".
void CapturerJournal(int nPortLent, const QString& strRacineLente)
{
    CFTPDirect lent(L"127.0.0.1", nPortLent);
    CDlgFileTransfert dlg;
    if (dlg.ConnexionFtp(L"test", L"secret", &lent) != 1) {
        std::fprintf(stderr, "otdr-captures: cannot log in to the slow FTP server\n");
        return;
    }
    QuandOuvert(2055, [strRacineLente](QDialog* d) {
        auto* distante = Enfant<QTreeWidget>(d, IDC_FICHIERS_DISTANTS);
        if (!QTest::qWaitFor([&] { return distante->topLevelItemCount() > 1; }, 10000))
            std::fprintf(stderr, "otdr-captures: the slow server lists nothing\n");
        if (!Enfant<QWidget>(d, IDC_JOURNAL)->isVisible()) Cliquer(d, IDC_AFFICHER_JOURNAL);
        distante->setFocus();
        for (int i = 0; i < distante->topLevelItemCount(); ++i) {
            const QString nom = distante->topLevelItem(i)->text(0);
            distante->topLevelItem(i)->setSelected(nom.contains(QStringLiteral("short")) || nom.contains(QStringLiteral("gone")));
        }
        QFile::remove(strRacineLente + QStringLiteral("/trace_1625nm_0107_gone.sor"));
        QTimer utilisateur;
        QObject::connect(&utilisateur, &QTimer::timeout, [&] {
            if (auto* m = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) m->done(QMessageBox::Ok);
        });
        utilisateur.start(100);
        Cliquer(d, IDC_VERS_LOCAL);
        utilisateur.stop();
        Capturer(d, "transfer-log.png");
        Cliquer(d, IDC_FERMER);
    });
    dlg.DoModal();
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QString port, portFtp, portLent, local, racineLente;
    const QStringList args = QApplication::arguments();
    if (!Argument(args, "--port", &port) || !Argument(args, "--ftp-port", &portFtp)
        || !Argument(args, "--slow-ftp-port", &portLent) || !Argument(args, "--local", &local)
        || !Argument(args, "--out", &g_dossier) || !Argument(args, "--slow-ftp-dir", &racineLente)) {
        std::fprintf(stderr, "usage: otdr-captures --port N --ftp-port N --slow-ftp-port N --slow-ftp-dir DIR "
                             "--local DIR --out DIR\n");
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

    // 1. The wait window, as the driver shows it while it connects. Made
    // here, it stays until it is captured: the one of the start sequence
    // goes when the instrument has answered, however busy the machine.
    {
        CDlgAttente attente(Ressources::Chaine(Ressources::IDS_CONNEXION), Ressources::IDR_ANIM_CONNEXION);
        Capturer(attente.GetFenetre() ? Fenetre(2070) : nullptr, "wait-window.png");
    }
    COtdrDriver driver;
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

    // 4. The file transfer dialog through the facade.
    QuandOuvert(2055, CapturerTransfert);
    driver.FileTransfert(nullptr, nullptr);
    driver.StopDriver();

    // 5. The slowed-down server.
    CapturerCopieLente(portLent.toInt());
    CapturerJournal(portLent.toInt(), racineLente);

    DesinstallerFrontalQt();
    constexpr int kImages = 10;
    if (g_nEcrites != kImages)
        std::fprintf(stderr, "otdr-captures: %d of %d pictures written\n", g_nEcrites, kImages);
    return g_nEcrites == kImages ? 0 : 1;
}
