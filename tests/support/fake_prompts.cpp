#include "support/fake_prompts.h"

UserPrompts::Answer FakePrompts::askYesNoCancel(QWidget *, const QString &text, const QString &caption)
{
    questions.push_back({ text, caption });
    if (answers.empty()) {
        unexpected << QStringLiteral("question: ") + text;
        return Answer::Cancel;
    }
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakePrompts::showError(QWidget *, const QString &text)
{
    errors << text;
}

bool FakePrompts::askCloseAnyway(QWidget *, const QString &text)
{
    closeQuestions << text;
    if (closeAnswers.empty()) return false;
    const bool answer = closeAnswers.front();
    closeAnswers.pop_front();
    return answer;
}

namespace
{

QString takeFile(std::deque<QString> &files, QStringList &unexpected, const char *what)
{
    if (files.empty()) {
        unexpected << QString::fromLatin1(what);
        return QString();
    }
    QString file = files.front();
    files.pop_front();
    return file;
}

} // namespace

QString FakePrompts::getOpenFileName(QWidget *, const QString &filter, int &filterIndex, const QString &initialPath)
{
    openRequests.push_back({ filter, filterIndex, initialPath });
    if (chooseFilterIndex >= 0) filterIndex = chooseFilterIndex;
    return takeFile(openFiles, unexpected, "open dialog");
}

QString FakePrompts::getSaveFileName(QWidget *, const QString &filter, int &filterIndex, const QString &initialPath)
{
    saveRequests.push_back({ filter, filterIndex, initialPath });
    if (chooseFilterIndex >= 0) filterIndex = chooseFilterIndex;
    return takeFile(saveFiles, unexpected, "save dialog");
}

void FakePrompts::clearRecord()
{
    questions.clear();
    errors.clear();
    closeQuestions.clear();
    openRequests.clear();
    saveRequests.clear();
    unexpected.clear();
}
