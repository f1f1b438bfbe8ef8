#pragma once

#include "forms/commondialog.h"
#include "forms/form.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace forms {
class ImageBox;
class ScreenCovers;
} // namespace forms

// The full-screen lock: black, borderless, above every other window, with the
// chosen picture centred. A hidden title box and settings panel appear once
// the password dialog lets the user in.
class LockWindowForm : public forms::Form {
    Q_OBJECT
public:
    LockWindowForm();

    // The controls, by the names the rest of the program uses.
    QFrame* Picture1 = nullptr; // title box
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QGroupBox* Frame3 = nullptr; // settings panel
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QPushButton* Command1 = nullptr; // quit
    QPushButton* Command2 = nullptr; // set and save
    QPushButton* Command3 = nullptr; // change picture
    QPushButton* Command4 = nullptr; // lock again
    QLineEdit* Text1 = nullptr;      // password to store
    QLineEdit* Text2 = nullptr;      // picture path (hidden)
    QLineEdit* Text3 = nullptr;      // picture file name
    forms::ImageBox* Image1 = nullptr;
    forms::CommonDialog CommonDialog1;

    // Position of Image1 in twips, as the centring computes it.
    double image1Left() const { return image1Left_; }
    double image1Top() const { return image1Top_; }

    // The lock sequence; lock again runs it as well.
    void Form_Load() override;
    // Centres Image1 on the screen.
    void Form_Resize();

protected:
    void Form_QueryUnload(bool& cancel, forms::UnloadMode mode) override;
    void Form_Unload() override;

    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void readStoredValues(); // the lock sequence from the settings file on
    void createImage();
    void createTitleBox();
    void createSettingsPanel();
    void setTabOrderByIndex();
    void followPrimaryScreen();
    QSize screenSize() const; // in the screen's own pixels, for decoding only what shows

    void Form_DblClick();
    void Image1_DblClick();

    // The settings panel.
    void Command1_Click(); // quit
    void Command2_Click(); // set and save
    void Command3_Click(); // change picture
    void Command4_Click(); // lock again
    void Text2_Change(const QString& text);
    void ShowFileName(const QString& path);

    double image1Left_ = 3840;
    double image1Top_ = 240;
};

// The one lock window, created and loaded on first use.
LockWindowForm& LockWindow();
LockWindowForm* LockWindowIfLoaded();
