#pragma once

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace velmora {

class GLView;

// The main dialog's controls at the places its layout gives them in dialog units, created in tab order as
// children of the dialog, each view in a frame of its own. The dialog connects them to its commands.
struct DialogControls {
    DialogControls() = default;
    DialogControls(QWidget* dialog, GLView& leftView, GLView& rightView);

    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QWidget* leftFrame = nullptr;
    QLineEdit* countBox = nullptr;
    QComboBox* algorithmList = nullptr;
    QPushButton* setupCraftButton = nullptr;
    QPushButton* runAlgorithmButton = nullptr;
    QLineEdit* fovBox = nullptr;
    QLineEdit* tiltBox = nullptr;
    QLineEdit* maxSpeedBox = nullptr;
    QPushButton* setupCounterexampleButton = nullptr;
    QWidget* rightFrame = nullptr;
    QPushButton* captureRight = nullptr;
    QPushButton* captureLeft = nullptr;
    QPushButton* runOneStepButton = nullptr;
    // The line that tells the simulated time, links and groups; a plain label, so it takes no focus.
    QLabel* readout = nullptr;
};

}  // namespace velmora
