// Every dialog the program shows goes through here, so tests can answer them without a screen.
//
// A test sets the next answer before the action that shows the dialog (in the manner of KeePassXC's
// FileDialog::setNextFileName); the dialog is then not shown at all and the answer is handed back.
// What was asked for is kept, so a test can check the filter, the title or the message. GUI thread
// only.
#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <QString>

class QWidget;

namespace tollenby {

class Dialogs {
  public:
    // Test hooks. An empty name answers the next dialog with Cancel.
    static void setNextFileName(const QString& fileName);
    static void setNextDirectory(const QString& directory);
    static void setNextAnswer(QMessageBox::StandardButton answer);
    static void clearNextAnswers();

    // What the last dialog of each kind asked for (shown or answered by a hook).
    struct FileRequest {
        QString title;
        QString nameFilter;
        QString defaultSuffix;
        QString startDirectory;  // save dialogs only
    };
    struct DirectoryRequest {
        QString title;
        QString startDirectory;
        QFileDialog::Options options;
    };
    static FileRequest lastFileRequest();
    static DirectoryRequest lastDirectoryRequest();
    static QString lastMessage();
    static int messageCount();

    // The dialogs. Empty text for Cancel.
    static QString OpenFileName(QWidget* parent, const QString& title, const QString& nameFilter,
                                const QString& defaultSuffix);
    // A file to write. `selectedFilter` receives the filter chosen (the first one when a hook answers).
    static QString SaveFileName(QWidget* parent, const QString& title, const QString& startDirectory,
                                const QString& nameFilter, QString* selectedFilter);
    static QString ExistingDirectory(QWidget* parent, const QString& title, const QString& startDirectory,
                                     QFileDialog::Options options);
    // The program's one kind of message: caption "信息：", one OK button, no icon, no owner, modal
    // for the whole program.
    static QMessageBox::StandardButton Message(const QString& text);
};

inline void ShowInfoMessage(const QString& text) {
    Dialogs::Message(text);
}

}  // namespace tollenby
