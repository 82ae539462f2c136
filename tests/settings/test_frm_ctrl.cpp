// The control panel alone, over stand-in buffers and without a main window.
#include "settings/frm_ctrl.h"
#include "settings/main_buffers.h"
#include "support/fake_prompts.h"
#include "support/temp_home.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using func_token::StringList;

namespace
{

// The main window's buffers as the panel sees them, with a record of what the panel did to them.
class FakeBuffers : public MainBuffers
{
public:
    std::string source = "ab ab";
    StringList items { "ab", "b", "xab" };
    QStringList calls;

    std::string sourceText() const override { return source; }
    void setSourceText(std::string_view bytes, bool modified) override
    {
        calls << QStringLiteral("source %1, modified %2").arg(QString::fromStdString(std::string(bytes))).arg(modified);
    }
    void setModified(bool modified) override { calls << QStringLiteral("modified %1").arg(modified); }
    void selectSourceBytes(std::size_t offset, std::size_t length) override
    {
        calls << QStringLiteral("select %1 %2").arg(offset).arg(length);
    }
    std::size_t sourceSelectionEndBytes() const override { return 1; }
    StringList urlListItems() const override { return items; }
    void setUrlListItems(StringList newItems) override
    {
        calls << "items " + QString::fromStdString(func_token::JoinCrLf(newItems)).replace("\r\n", "|");
    }
    void addUrlListSelection(const std::vector<std::size_t> &indices) override
    {
        QString text = "add selection";
        for (std::size_t i : indices)
            text += QStringLiteral(" %1").arg(i);
        calls << text;
    }
};

} // namespace

class TstCtrl : public QObject
{
    Q_OBJECT
private slots:
    void aloneOverFakeBuffers_data();
    void aloneOverFakeBuffers();
};

void TstCtrl::aloneOverFakeBuffers_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("onList");
    QTest::addColumn<QStringList>("wantCalls");
    QTest::newRow("replace in the source") << "btnReplace" << false << QStringList { "source X X, modified 1" };
    QTest::newRow("replace in the list") << "btnReplace" << true << QStringList { "items X|b|xX|" };
    QTest::newRow("search on from the selection") << "btnSearch" << false << QStringList { "select 3 2" };
    QTest::newRow("search in the list") << "btnSearch" << true << QStringList { "add selection 0 2" };
    QTest::newRow("correction asked by signal") << "btnCorrect" << false << QStringList { "correction" };
}

// No main window: the panel does its work through MainBuffers and asks for the rest by signal.
void TstCtrl::aloneOverFakeBuffers()
{
    QFETCH(QString, button);
    QFETCH(bool, onList);
    TempHome home;
    FakeBuffers buffers;
    FakePrompts prompts;
    TfrmCtrl panel(buffers, nullptr, home.paths(), &prompts);
    connect(&panel, &TfrmCtrl::urlCorrectionRequested, this, [&] { buffers.calls << "correction"; });
    (onList ? panel.rdo1L : panel.rdo1S)->setChecked(true);
    (onList ? panel.rdo2L : panel.rdo2S)->setChecked(true);
    panel.cmbBefore->setEditText("ab");
    panel.cmbAfter->setEditText("X");
    panel.cmbKey->setEditText("ab");
    panel.cmbUrl->setEditText("http://h/");
    QTest::mouseClick(panel.findChild<QPushButton *>(button), Qt::LeftButton);
    QTEST(buffers.calls, "wantCalls");
}

QTEST_MAIN(TstCtrl)
#include "test_frm_ctrl.moc"
