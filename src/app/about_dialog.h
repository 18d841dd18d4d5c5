#pragma once

#include <QDialog>

namespace velmora {

// "About Velmora": the program's icon, its name and version, and an OK button.
class AboutDialog : public QDialog {
public:
    explicit AboutDialog(QWidget* parent);
};

}  // namespace velmora
