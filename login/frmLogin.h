#pragma once

#include "forms/form.h"

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

// The small dialog between the locked screen and the settings panel: the
// stored password or the master password lets the user in.
class frmLoginForm : public forms::Form {
    Q_OBJECT
public:
    frmLoginForm();

    QLineEdit* txtPassword = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    std::array<QLabel*, 2> lblLabels{}; // a control array; only element 1 exists

    bool LoginSucceeded = false;

    QWidget* client = nullptr; // inside our frame, where the controls stand

    static void SetRefusalPauseForTesting(int ms);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();
    void cmdOK_Click();
    void cmdCancel_Click();
    void letIn();
};

// The one password dialog, created and loaded on first use.
frmLoginForm& frmLogin();
frmLoginForm* frmLoginIfLoaded();
