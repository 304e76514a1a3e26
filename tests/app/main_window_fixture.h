// A fresh MainWindow per test, a scratch folder, answers for the dialogs cleared, and the few
// gestures the window tests share (typing keywords, dropping files, clicking a named button).
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QByteArray>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QUrl>

#include "app/dialogs.h"
#include "app/main_window.h"
#include "tests/support/widget_lookup.h"

namespace tollenby::testing {

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Dialogs::clearNextAnswers();
        ASSERT_TRUE(dir.isValid());
    }
    QString WriteFile(const QString& name, const QByteArray& bytes) {
        QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QString Keywords() { return Control<QPlainTextEdit>(window, "编辑框_关键词")->toPlainText(); }
    void SetKeywords(const QString& text) {
        Control<QPlainTextEdit>(window, "编辑框_关键词")->setPlainText(text);
    }
    // A real drop event, delivered to the widget the mouse would be over.
    void Drop(QWidget* target, const QStringList& paths) {
        QList<QUrl> urls;
        for (const QString& path : paths) urls.append(QUrl::fromLocalFile(path));
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        ASSERT_TRUE(drop.isAccepted());
    }
    void Click(const char* name) { Control<QAbstractButton>(window, name)->click(); }

    QTemporaryDir dir;
    MainWindow window;
};

}  // namespace tollenby::testing
