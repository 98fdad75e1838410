// otdr-host: a small Qt host application that uses the driver library exactly
// as a trace-analysis application would.
//
//   otdr-host [--profile FILE] [--connect] [--quit-after MS]
//
// --profile selects the INI profile store (default: the driver's own);
// --connect connects at start; --quit-after ends the application after MS
// milliseconds (for unattended runs).

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>

#include "CFenetreHote.h"
#include "profile/CProfilIni.h"
#include "profile/Profil.h"
#include "ui/qt/FrontalQt.h"

int main(int argc, char** argv)
{
    // Help needs no display: answer it before Qt looks for one.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: otdr-host [--profile FILE] [--connect] [--quit-after MS]\n"
                        "Demo host of the OTDR driver library: Configure..., Connect, File transfer...,\n"
                        "Disconnect, and a status line with the connection state and the model.\n\n"
                        "  --profile FILE    profile store (INI file) to use\n"
                        "  --connect         connect at start\n"
                        "  --quit-after MS   quit after MS milliseconds\n");
            return 0;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("otdr-host"));

    QCommandLineParser ligne;
    ligne.setApplicationDescription(QStringLiteral("Demo host of the OTDR driver library."));
    ligne.addHelpOption();
    QCommandLineOption optProfil(QStringLiteral("profile"), QStringLiteral("Profile store (INI file) to use."),
                                 QStringLiteral("FILE"));
    QCommandLineOption optConnecter(QStringLiteral("connect"), QStringLiteral("Connect at start."));
    QCommandLineOption optQuitter(QStringLiteral("quit-after"), QStringLiteral("Quit after MS milliseconds."),
                                  QStringLiteral("MS"));
    ligne.addOptions({optProfil, optConnecter, optQuitter});
    ligne.process(app);

    if (ligne.isSet(optProfil))
        DefinirProfil(std::make_shared<CProfilIni>(ligne.value(optProfil).toStdString()));

    // From here on the driver's dialogs and wait window are Qt windows.
    InstallerFrontalQt();

    CFenetreHote fenetre;
    fenetre.show();
    if (ligne.isSet(optConnecter))
        QTimer::singleShot(0, &fenetre, &CFenetreHote::Connecter);
    if (ligne.isSet(optQuitter)) {
        bool ok = false;
        const int ms = ligne.value(optQuitter).toInt(&ok);
        QTimer::singleShot(ok && ms >= 0 ? ms : 0, &app, &QApplication::quit);
    }
    const int n = app.exec();
    return n;
}
