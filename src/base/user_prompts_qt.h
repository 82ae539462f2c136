#pragma once
// Every question, message box and file dialog of the windows goes through this interface,
// so tests can answer them. QtUserPrompts shows the real ones.
#include <QString>
#include <QStringList>

class QWidget;

class UserPrompts
{
public:
    enum class Answer { Yes, No, Cancel };
    virtual ~UserPrompts() = default;

    // A message box with Yes, No and Cancel.
    virtual Answer askYesNoCancel(QWidget *parent, const QString &text, const QString &caption) = 0;
    // The general error message box.
    virtual void showError(QWidget *parent, const QString &text) = 0;
    // Exit writes failed: close anyway? (default answer: no, keep the window open)
    virtual bool askCloseAnyway(QWidget *parent, const QString &text) = 0;
    // File dialogs. filter is in the "description|pattern|description|pattern" form;
    // filterIndex is 0-based, in and out. Return an empty string when cancelled.
    virtual QString getOpenFileName(
        QWidget *parent, const QString &filter, int &filterIndex, const QString &initialPath)
        = 0;
    virtual QString getSaveFileName(
        QWidget *parent, const QString &filter, int &filterIndex, const QString &initialPath)
        = 0;
};

class QtUserPrompts : public UserPrompts
{
public:
    Answer askYesNoCancel(QWidget *parent, const QString &text, const QString &caption) override;
    void showError(QWidget *parent, const QString &text) override;
    bool askCloseAnyway(QWidget *parent, const QString &text) override;
    QString getOpenFileName(
        QWidget *parent, const QString &filter, int &filterIndex, const QString &initialPath) override;
    QString getSaveFileName(
        QWidget *parent, const QString &filter, int &filterIndex, const QString &initialPath) override;
};

// "テキストファイル(*.txt)|*.txt|..." -> Qt's "テキストファイル(*.txt) (*.txt);;..." list.
QStringList QtFilterList(const QString &pipeFilter);
// The index in filters of the filter a file dialog reports as selected, also when the dialog
// gives only the caption it shows (HideNameFilterDetails); -1 when none fits.
int NameFilterIndex(const QStringList &filters, const QString &selected);
