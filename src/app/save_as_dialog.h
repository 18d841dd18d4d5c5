#pragma once

#include <QString>

#include <memory>

class QFileDialog;
class QWidget;

namespace velmora {

// The file dialog a capture asks its file name with: BMP, JPEG or any file, never a suffix of its own and
// never a question before an existing file is replaced.
std::unique_ptr<QFileDialog> makeSaveAsDialog(QWidget* parent);

// Runs the dialog modally and returns the chosen path, or an empty one when the user cancelled.
QString askSaveAsPath(QWidget* parent);

// Asks where to save a scenario: JSON files, ".json" added to a name typed without a suffix, and a question
// before an existing file is replaced. Empty when the user cancelled.
QString askScenarioPath(QWidget* parent);

// Asks where to record a run: MP4, WebM or GIF by the name's extension, or a folder of PNG frames for a name
// without one. Empty when the user cancelled.
QString askVideoPath(QWidget* parent);

// Asks which scenario file to open. Empty when the user cancelled.
QString askScenarioToOpen(QWidget* parent);

}  // namespace velmora
