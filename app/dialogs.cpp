#include "app/dialogs.h"

#include <optional>

namespace tollenby {

namespace {

struct DialogHooks {
    std::optional<QString> nextFileName;
    std::optional<QString> nextDirectory;
    std::optional<QMessageBox::StandardButton> nextAnswer;
    Dialogs::FileRequest lastFile;
    Dialogs::DirectoryRequest lastDirectory;
    QString lastMessage;
    int messageCount = 0;
};

// Touched on the GUI thread only.
DialogHooks& Hooks() {
    static DialogHooks hooks;
    return hooks;
}

template <typename T>
std::optional<T> Take(std::optional<T>& slot) {
    std::optional<T> taken = std::move(slot);
    slot.reset();
    return taken;
}

}  // namespace

void Dialogs::setNextFileName(const QString& fileName) {
    Hooks().nextFileName = fileName;
}

void Dialogs::setNextDirectory(const QString& directory) {
    Hooks().nextDirectory = directory;
}

void Dialogs::setNextAnswer(QMessageBox::StandardButton answer) {
    Hooks().nextAnswer = answer;
}

void Dialogs::clearNextAnswers() {
    Hooks().nextFileName.reset();
    Hooks().nextDirectory.reset();
    Hooks().nextAnswer.reset();
}

Dialogs::FileRequest Dialogs::lastFileRequest() {
    return Hooks().lastFile;
}

Dialogs::DirectoryRequest Dialogs::lastDirectoryRequest() {
    return Hooks().lastDirectory;
}

QString Dialogs::lastMessage() {
    return Hooks().lastMessage;
}

int Dialogs::messageCount() {
    return Hooks().messageCount;
}

QString Dialogs::OpenFileName(QWidget* parent, const QString& title, const QString& nameFilter,
                              const QString& defaultSuffix) {
    Hooks().lastFile = {title, nameFilter, defaultSuffix, {}};
    if (auto answer = Take(Hooks().nextFileName)) return *answer;

    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(nameFilter);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

QString Dialogs::SaveFileName(QWidget* parent, const QString& title, const QString& startDirectory,
                              const QString& nameFilter, QString* selectedFilter) {
    Hooks().lastFile = {title, nameFilter, {}, startDirectory};
    const QStringList filters = nameFilter.split(QStringLiteral(";;"));
    if (auto answer = Take(Hooks().nextFileName)) {
        if (selectedFilter) *selectedFilter = filters.constFirst();
        return *answer;
    }

    QFileDialog dialog(parent, title, startDirectory);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    if (selectedFilter) *selectedFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().constFirst();
}

QString Dialogs::ExistingDirectory(QWidget* parent, const QString& title, const QString& startDirectory,
                                   QFileDialog::Options options) {
    Hooks().lastDirectory = {title, startDirectory, options};
    if (auto answer = Take(Hooks().nextDirectory)) return *answer;
    return QFileDialog::getExistingDirectory(parent, title, startDirectory, options);
}

QMessageBox::StandardButton Dialogs::Message(const QString& text) {
    Hooks().lastMessage = text;
    ++Hooks().messageCount;
    if (auto answer = Take(Hooks().nextAnswer)) return *answer;

    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("信息："), text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return QMessageBox::Ok;
}

}  // namespace tollenby
