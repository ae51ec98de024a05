// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QLabel>
#include <QString>

namespace tevra {

// "About Tevra": the picture, the version and the credits, closed by OK.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

private:
    QLabel* addLabel(const char* text, QRect where);
};

}  // namespace tevra
