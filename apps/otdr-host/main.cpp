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
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CFenetreHote.h"
#include "profile/CProfilIni.h"
#include "profile/Profil.h"
#include "ui/qt/FrontalQt.h"

namespace {

const char* const AIDE_ECRAN = "set DISPLAY (X11) or WAYLAND_DISPLAY, or run with QT_QPA_PLATFORM=offscreen";

bool Defini(const char* nom)
{
    const char* v = std::getenv(nom);
    return v != nullptr && *v != '\0';
}

// The platforms Qt will try: -platform NAME, else QT_QPA_PLATFORM (a list
// separated by ';'), else its default, a windowing system.
std::vector<std::string> PlateformesDemandees(int argc, char** argv)
{
    std::string liste;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--", 0) == 0) a.erase(0, 1);
        if (a == "-platform" && i + 1 < argc) liste = argv[i + 1];
    }
    if (liste.empty() && Defini("QT_QPA_PLATFORM")) liste = std::getenv("QT_QPA_PLATFORM");
    std::vector<std::string> noms;
    for (size_t debut = 0; debut <= liste.size();) {
        size_t fin = liste.find(';', debut);
        if (fin == std::string::npos) fin = liste.size();
        const std::string nom = liste.substr(debut, fin - debut);
        if (!nom.empty()) noms.push_back(nom.substr(0, nom.find(':')));   // "vnc:size=..." options
        debut = fin + 1;
    }
    if (noms.empty()) noms = {"xcb", "wayland"};
    return noms;
}

// True when none of the platforms can work: each is a windowing system whose
// display is not even named. Offscreen, VNC, framebuffers and the like need none.
bool SansEcran(const std::vector<std::string>& plateformes)
{
    for (const std::string& p : plateformes) {
        if (p == "xcb") {
            if (Defini("DISPLAY")) return false;
        } else if (p.rfind("wayland", 0) == 0) {
            if (Defini("WAYLAND_DISPLAY")) return false;
        } else {
            return false;
        }
    }
    return true;
}

// Until the application exists, Qt's messages are held back: a display that
// is named but cannot be reached ends in Qt's fatal message and an abort; it
// must end in one line of ours and status 1 instead.
std::string g_strRetenus;
std::string g_strRaisonEcran;

void RetenirMessage(QtMsgType type, const QMessageLogContext&, const QString& texte)
{
    const std::string t = texte.toStdString();
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "otdr-host: no display to open a window on%s; %s\n",
                     g_strRaisonEcran.empty() ? "" : (" (" + g_strRaisonEcran + ")").c_str(), AIDE_ECRAN);
        std::fflush(stderr);
        std::_Exit(1);
    }
    if (g_strRaisonEcran.empty() && t.find("display") != std::string::npos) g_strRaisonEcran = t;
    g_strRetenus += t + "\n";
}

} // namespace

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

    if (SansEcran(PlateformesDemandees(argc, argv))) {
        std::fprintf(stderr, "otdr-host: no display to open a window on; %s\n", AIDE_ECRAN);
        return 1;
    }
    const QtMessageHandler gestionnaire = qInstallMessageHandler(RetenirMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(gestionnaire);
    std::fputs(g_strRetenus.c_str(), stderr);
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
