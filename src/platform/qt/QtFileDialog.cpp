#include "platform/qt/QtFileDialog.h"

#include <QDir>

#include "platform/qt/QtText.h"

namespace rheo {

QtFileDialog::QtFileDialog(QWidget* parent) : dialog_(new QFileDialog(parent)) {
    dialog_->setObjectName("DialogFile");
    dialog_->setAcceptMode(QFileDialog::AcceptSave);
    dialog_->setFileMode(QFileDialog::AnyFile);
    dialog_->setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog_->setOption(QFileDialog::HideNameFilterDetails, true);
    dialog_->setWindowModality(Qt::ApplicationModal);
}

QtFileDialog::~QtFileDialog() {
    if (dialog_ != nullptr && dialog_->parent() == nullptr) {
        delete dialog_.data();
    }
}

QString QtFileDialog::NameFilter(const FileFilter& filter) {
    QString pattern = ToQString(filter.pattern);
    if (pattern == QLatin1String("*.*")) {
        pattern = QStringLiteral("*");
    }
    return ToQString(filter.description) + QStringLiteral(" (") + pattern + QStringLiteral(")");
}

std::optional<std::string> QtFileDialog::ChooseFile(const Text& title,
                                                    const std::vector<FileFilter>& filters,
                                                    const Text& defaultExtension) {
    if (dialog_ == nullptr) {
        return std::nullopt;
    }
    dialog_->setWindowTitle(ToQString(title));
    QStringList nameFilters;
    QString preset;
    for (const FileFilter& filter : filters) {
        nameFilters.append(NameFilter(filter));
        // The default-extension preset ("*.csv") picks the filter it names; the dialog itself
        // appends nothing, so a typed name reaches the commands exactly as typed.
        if (preset.isEmpty() && filter.pattern == defaultExtension) {
            preset = nameFilters.back();
        }
    }
    dialog_->setNameFilters(nameFilters);
    if (!preset.isEmpty()) {
        dialog_->selectNameFilter(preset);
    }
    dialog_->setDefaultSuffix(QString());
    dialog_->selectFile(QString());

    if (dialog_->exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog_->selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty()) {
        return std::nullopt;
    }
    // In the platform's own form: "C:\data\run1.csv" on Windows, where Qt gives "/". Paths travel
    // as UTF-8 (on Windows the file calls take them in UTF-16), so every name the dialog can
    // show can be opened; on Linux this is the file system's own encoding as Qt has it.
    return QDir::toNativeSeparators(chosen.front()).toUtf8().toStdString();
}

}  // namespace rheo
