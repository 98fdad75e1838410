#include "support/MainQt.h"

#include <QTest>

#include "ui/qt/FrontalQt.h"

void WidgetsTest::TearDown()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    const auto fenetres = QApplication::topLevelWidgets();
    for (QWidget* w : fenetres)
        ADD_FAILURE() << "window left alive: " << w->metaObject()->className() << " \""
                      << w->windowTitle().toStdString() << "\"";
    qDeleteAll(fenetres);
}

bool AttendreQue(const std::function<bool()>& condition, int limiteMs)
{
    return QTest::qWaitFor(condition, limiteMs);
}

int main(int argc, char** argv)
{
    // Tests never need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    InstallerFrontalQt();
    return RUN_ALL_TESTS();
}
