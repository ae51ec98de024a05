// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QLabel>
#include <QString>

namespace tevra {

// The start-up picture with one line of text under it: frameless, on top,
// centred on the screen.
class CSplashDlg : public QDialog {
    Q_OBJECT

public:
    CSplashDlg();

    // Shows the window and returns once it is on the screen and painted.
    void showPainted();
    // Sets the line and paints it at once: the caller blocks right afterwards.
    void SetText(QString text);

    QString text() const { return lineText.text(); }

private:
    void paintNow();

    QLabel picture;
    QLabel lineText;
};

}  // namespace tevra
