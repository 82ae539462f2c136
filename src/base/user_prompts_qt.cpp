#include "base/user_prompts_qt.h"

#include "base/stacking_qt.h"

#include <QFileDialog>
#include <QMessageBox>

namespace
{

QString showFileDialog(
    QWidget *parent, QFileDialog::AcceptMode mode, const QString &filter, int &filterIndex, const QString &initialPath)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    // The open dialog takes a name that does not exist yet; the save dialog neither asks
    // before replacing a file nor adds an extension.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    const QStringList filters = QtFilterList(filter);
    dialog.setNameFilters(filters);
    if (filterIndex >= 0 && filterIndex < filters.size()) dialog.selectNameFilter(filters.at(filterIndex));
    if (!initialPath.isEmpty()) {
        const QFileInfo info(initialPath);
        if (info.isDir()) {
            dialog.setDirectory(initialPath);
        } else {
            dialog.setDirectory(info.absolutePath());
            dialog.selectFile(info.fileName());
        }
    }
    KeepAboveProgramWindows(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    const int chosen = NameFilterIndex(filters, dialog.selectedNameFilter());
    if (chosen >= 0) filterIndex = chosen;
    return dialog.selectedFiles().constFirst();
}

QMessageBox::StandardButton showMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &caption,
    const QString &text, QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    KeepAboveProgramWindows(&box);
    if (box.exec() == -1) return QMessageBox::Cancel;
    return box.standardButton(box.clickedButton());
}

} // namespace

UserPrompts::Answer QtUserPrompts::askYesNoCancel(QWidget *parent, const QString &text, const QString &caption)
{
    const auto button = showMessageBox(parent, QMessageBox::Question, caption, text,
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (button == QMessageBox::Yes) return Answer::Yes;
    if (button == QMessageBox::No) return Answer::No;
    return Answer::Cancel;
}

void QtUserPrompts::showError(QWidget *parent, const QString &text)
{
    showMessageBox(parent, QMessageBox::Critical, QStringLiteral("Lanzo"), text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtUserPrompts::askCloseAnyway(QWidget *parent, const QString &text)
{
    return showMessageBox(parent, QMessageBox::Warning, QStringLiteral("Lanzo"), text,
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

QString QtUserPrompts::getOpenFileName(
    QWidget *parent, const QString &filter, int &filterIndex, const QString &initialPath)
{
    return showFileDialog(parent, QFileDialog::AcceptOpen, filter, filterIndex, initialPath);
}

QString QtUserPrompts::getSaveFileName(
    QWidget *parent, const QString &filter, int &filterIndex, const QString &initialPath)
{
    return showFileDialog(parent, QFileDialog::AcceptSave, filter, filterIndex, initialPath);
}

int NameFilterIndex(const QStringList &filters, const QString &selected)
{
    const auto exact = filters.indexOf(selected);
    if (exact >= 0) return static_cast<int>(exact);
    // With HideNameFilterDetails the dialog reports the caption it shows: the filter without its
    // last "(patterns)" group, spaces simplified.
    for (qsizetype i = 0; i < filters.size(); ++i) {
        const QString &filter = filters.at(i);
        const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
        if (open > 0 && filter.endsWith(QLatin1Char(')')) && filter.left(open).simplified() == selected)
            return static_cast<int>(i);
    }
    return -1;
}

QStringList QtFilterList(const QString &pipeFilter)
{
    QStringList result;
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        // "*.*" means every file here, also one without a dot in its name.
        for (QString &pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
        }
        result << parts.at(i) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return result;
}
