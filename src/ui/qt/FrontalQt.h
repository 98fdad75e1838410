#pragma once
// The Qt 6 Widgets front end of the driver's dialogs.
//
// A host with a Qt GUI calls InstallerFrontalQt() once, on its GUI thread, after
// creating its QApplication. From then on the driver's dialogs (configuration,
// FTP identification, file transfer) are real Qt windows, the worker's wait
// indication is an animated window shown on the GUI thread, and a facade request
// made on the GUI thread keeps that thread's windows painting while it waits
// (user input is discarded meanwhile). A host that never calls it stays headless.
//
// The front end removes itself when the QApplication is destroyed.

#include "ui/qt/ExportQt.h"

// Installs the front end. Returns false (and installs nothing) when no
// QApplication exists or the caller is not its thread. Calling it again is harmless.
OTDR_QT_EXPORT bool InstallerFrontalQt();

// Restores the headless behaviour and closes the wait window if one is shown.
// GUI thread only.
OTDR_QT_EXPORT void DesinstallerFrontalQt();
