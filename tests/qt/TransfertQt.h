#pragma once
// Fixture of the file transfer dialog tests with real widgets: the profile
// points the local pane into a temporary directory; the dialog runs modally
// with a scenario played once it is on screen; small helpers to act on and
// read its widgets.

#include "support/MainQt.h"

#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QMenu>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "common/Conversions.h"
#include "profile/CProfilMemoire.h"
#include "profile/ClesProfil.h"
#include "profile/Profil.h"
#include "ftp/CFTPDirect.h"
#include "support/ProcessusTest.h"
#include "support/RepertoireTemp.h"
#include "ui/CDlgFileTransfert.h"
#include "ui/IdsControles.h"
#include "ui/qt/AttenteGui.h"

namespace fs = std::filesystem;

inline void EcrireFichier(const fs::path& p, size_t taille)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << std::string(taille, 'x');
}

class QtTransferDialogTest : public WidgetsTest
{
protected:
    void SetUp() override
    {
        m_profil = std::make_shared<CProfilMemoire>();
        DefinirProfil(m_profil);
        fs::create_directories(Local());
        fs::create_directories(Distant());
        m_profil->WriteProfileString(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_LOCAL, Dossier(Local()));
    }
    void TearDown() override
    {
        DefinirProfil(std::make_shared<CProfilMemoire>());
        WidgetsTest::TearDown();
    }

    fs::path Local() const { return m_racine.Chemin() / "local"; }
    fs::path Distant() const { return m_racine.Chemin() / "distant"; }
    static CString Dossier(const fs::path& p) { return CString(Utf8ToWide(p.string())) + L"/"; }

    // Runs the dialog modally; `scenario` plays the user inside its loop once
    // the dialog is on screen (its initialisation already runs the event loop
    // while it lists the panes). A watchdog presses Escape on whatever is
    // left open so a failure cannot hang the test.
    void Executer(CDlgFileTransfert& dlg, const std::function<void(QDialog*)>& scenario)
    {
        bool bJoue = false;
        QTimer guet;
        QObject::connect(&guet, &QTimer::timeout, [&] {
            // Not from inside one of the dialog's waits: the user acts between them.
            QDialog* d = AttenteGuiEnCours() ? nullptr : Dialogue();
            if (!d) return;
            guet.stop();
            bJoue = true;
            EXPECT_TRUE(QTest::qWaitForWindowActive(d));
            scenario(d);
        });
        guet.start(10);
        QTimer garde;
        garde.setSingleShot(true);
        QObject::connect(&garde, &QTimer::timeout, [&] {
            ADD_FAILURE() << "dialog still open: closed by the watchdog";
            for (int i = 0; i < 20 && QApplication::activeModalWidget(); ++i)
                QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
        });
        garde.start(60000);
        dlg.DoModal();
        EXPECT_TRUE(bJoue) << "the dialog never showed";
    }

    static QDialog* Dialogue()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("dlg2055") && w->isVisible()) return qobject_cast<QDialog*>(w);
        return nullptr;
    }

    CRepertoireTemp m_racine{"otdr-qt-transfert"};
    std::shared_ptr<CProfilMemoire> m_profil;
};

template <class W> inline W* Enfant(QDialog* d, unsigned id) { return d->findChild<W*>(QString::number(id)); }

inline int Ligne(QListWidget* l, const QString& texte)
{
    for (int i = 0; i < l->count(); ++i)
        if (l->item(i)->text() == texte) return i;
    return -1;
}

inline QStringList Noms(QTreeWidget* t)
{
    QStringList n;
    for (int i = 0; i < t->topLevelItemCount(); ++i) n << t->topLevelItem(i)->text(0);
    return n;
}

inline void DoubleCliquer(QListWidget* l, int ligne)
{
    const QPoint p = l->visualItemRect(l->item(ligne)).center();
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, p);
}

inline void CliquerEnTete(QTreeWidget* t, int colonne)
{
    QHeaderView* h = t->header();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(colonne) + h->sectionSize(colonne) / 2, h->height() / 2));
}

