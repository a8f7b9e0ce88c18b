#pragma once
#include <QFileDialog>
#include <QPointer>

#include "platform/Dialogs.h"

namespace rheo {

// The save-style file dialog of the monitor window (DialogFile). It keeps the folder the user
// last chose between calls, never asks its own overwrite question and adds no extension: the
// session commands apply their own extension rules to the name it returns.
class QtFileDialog : public FileDialog {
  public:
    explicit QtFileDialog(QWidget* parent);
    ~QtFileDialog() override;
    QtFileDialog(const QtFileDialog&) = delete;
    QtFileDialog& operator=(const QtFileDialog&) = delete;

    std::optional<std::string> ChooseFile(const Text& title, const std::vector<FileFilter>& filters,
                                          const Text& defaultExtension) override;

    QFileDialog* Dialog() const { return dialog_; }
    // The window the dialog opens over (and belongs to): the monitor window, once it is built.
    void SetParent(QWidget* parent) { dialog_->setParent(parent, dialog_->windowFlags()); }

    // The toolkit's name filter for one filter of the commands: the description as shown,
    // the pattern in brackets ("*.*" means every file, as on the Windows desktop).
    static QString NameFilter(const FileFilter& filter);

  private:
    QPointer<QFileDialog> dialog_;
};

}  // namespace rheo
