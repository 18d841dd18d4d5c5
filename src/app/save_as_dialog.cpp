#include "app/save_as_dialog.h"

#include <QFileDialog>

namespace velmora {

std::unique_ptr<QFileDialog> makeSaveAsDialog(QWidget* parent)
{
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(QStringLiteral("BMP Files (*.bmp);;JPEG Files (*.jpg);;All Files (*)"));
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    return dialog;
}

QString askSaveAsPath(QWidget* parent)
{
    const auto dialog = makeSaveAsDialog(parent);
    if (dialog->exec() != QDialog::Accepted)
        return {};
    return dialog->selectedFiles().value(0);
}

QString askScenarioPath(QWidget* parent)
{
    QFileDialog dialog(parent, QStringLiteral("Save Scenario"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("Scenario Files (*.json);;All Files (*)"));
    dialog.setDefaultSuffix(QStringLiteral("json"));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

QString askVideoPath(QWidget* parent)
{
    QFileDialog dialog(parent, QStringLiteral("Record Run"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral(
        "MP4 Video (*.mp4);;WebM Video (*.webm);;GIF Animation (*.gif);;Folder of PNG Frames (no extension) (*)"));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

QString askScenarioToOpen(QWidget* parent)
{
    QFileDialog dialog(parent, QStringLiteral("Open Scenario"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("Scenario Files (*.json);;All Files (*)"));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

}  // namespace velmora
