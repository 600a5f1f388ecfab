// A scripted stand-in for the user's side of the file dialogs and message
// boxes: returns queued answers and records what the program asked.
#pragma once

#include <QList>
#include <QQueue>
#include <functional>

#include "user_dialogs.h"

struct ShownMessage {
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

class FakeDialogs : public bindwick::UserDialogs {
public:
    QQueue<QStringList> open_answers;  // empty queue: cancelled
    QQueue<QString> save_answers;
    QList<bindwick::FileDialogSetup> open_requests;
    QList<bindwick::FileDialogSetup> save_requests;
    QList<ShownMessage> messages;
    std::function<void(const ShownMessage &)> on_message;
    QQueue<bool> yes_no_answers;  // empty queue: no
    QStringList questions;
    AfterSave after_save = AfterSave::kClose;
    QList<QUrl> opened_urls;
    QStringList remembered_folders;

    QStringList getOpenFileNames(QWidget *,
                                 const bindwick::FileDialogSetup &setup) override {
        open_requests << setup;
        return open_answers.isEmpty() ? QStringList() : open_answers.dequeue();
    }
    QString getSaveFileName(QWidget *,
                            const bindwick::FileDialogSetup &setup) override {
        save_requests << setup;
        return save_answers.isEmpty() ? QString() : save_answers.dequeue();
    }
    void showMessage(QWidget *, QMessageBox::Icon icon, const QString &title,
                     const QString &text) override {
        messages << ShownMessage{icon, title, text};
        if (on_message) on_message(messages.last());
    }
    bool askYesNo(QWidget *, const QString &text) override {
        questions << text;
        return !yes_no_answers.isEmpty() && yes_no_answers.dequeue();
    }
    AfterSave showBookWritten(QWidget *, const QString &title, const QString &text) override {
        showMessage(nullptr, QMessageBox::Information, title, text);
        return after_save;
    }
    void openUrl(const QUrl &url) override { opened_urls << url; }
    void rememberFolder(const QString &folder) override { remembered_folders << folder; }
};
