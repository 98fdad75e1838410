#pragma once
// The demo host's window: the four things a host application offers around the
// driver (configure, connect, file transfer, disconnect) and a status line.

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "driver/COtdrDriver.h"

class CFenetreHote : public QWidget
{
    Q_OBJECT
public:
    explicit CFenetreHote(QWidget* parent = nullptr);

    void Configurer();
    void Connecter();
    void TransfererFichiers();
    void Deconnecter();
    QString Etat() const { return m_pEtat->text(); }

private:
    // The state line, followed by what the last action came to when it failed.
    // The status line: the connection, and why the last attempt failed.
    void MettreAJour();

    COtdrDriver m_driver;
    QPushButton* m_pConfigurer;
    QPushButton* m_pConnecter;
    QPushButton* m_pTransfert;
    QPushButton* m_pDeconnecter;
    QLabel* m_pEtat;
    // Why the last connection or file transfer failed; kept until one succeeds
    // or the user disconnects, so a later refresh of the line does not lose it.
    QString m_strDerniereRaison;
};
