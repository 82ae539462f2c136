#pragma once
// Scripted answers for the window's questions and dialogs, with a record of what was asked.
#include "base/user_prompts_qt.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

class FakePrompts : public UserPrompts
{
public:
    struct Question {
        QString text;
        QString caption;
    };
    struct FileRequest {
        QString filter;
        int filterIndex = 0;
        QString initialPath;
    };

    // Scripted answers, taken in order. A question with no answer left is recorded in
    // unexpected and answered Cancel (or "keep the window open", or a cancelled dialog).
    std::deque<Answer> answers;
    std::deque<bool> closeAnswers;
    std::deque<QString> openFiles;
    std::deque<QString> saveFiles;
    // When set (>= 0), the file dialogs report this filter as chosen.
    int chooseFilterIndex = -1;

    std::vector<Question> questions;
    QStringList errors;
    QStringList closeQuestions;
    std::vector<FileRequest> openRequests;
    std::vector<FileRequest> saveRequests;
    QStringList unexpected;

    Answer askYesNoCancel(QWidget *parent, const QString &text, const QString &caption) override;
    void showError(QWidget *parent, const QString &text) override;
    bool askCloseAnyway(QWidget *parent, const QString &text) override;
    QString getOpenFileName(
        QWidget *parent, const QString &filter, int &filterIndex, const QString &initialPath) override;
    QString getSaveFileName(
        QWidget *parent, const QString &filter, int &filterIndex, const QString &initialPath) override;

    // Forgets what was asked so far (the scripts stay).
    void clearRecord();
};
