// Downloads that a hostile server breaks off: the control panel keeps the old source text and
// shows the code of the status line, and the news tab keeps its text.
#include "app/frm_main.h"
#include "settings/frm_ctrl.h"
#include "settings/frm_set.h"
#include "support/window_test.h"
#include "text/func_lanzo.h"

#include "support/http_test_server.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using testhttp::Server;

Q_DECLARE_METATYPE(Server::Responder)

namespace
{

const std::string kHead = "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n";

// Sends a part of the promised body, then resets the connection.
void ResetAfterPart(Server &s, int fd, const std::string &)
{
    Server::SendAll(fd, kHead + std::string(200000, 'n'));
    s.stall(100);
    s.resetConnection();
}

void ResetBeforeAnswer(Server &s, int, const std::string &)
{
    s.resetConnection();
}

} // namespace

class TstReliabilityDownload : public WindowTest
{
    Q_OBJECT
private slots:
    void init();
    void brokenDownloadKeepsTheSource_data();
    void brokenDownloadKeepsTheSource();
    void brokenNewsKeepsTheText();

private:
    TfrmCtrl *ctrl() { return session().windows().ctrl.get(); }
};

void TstReliabilityDownload::init()
{
    startSession(false);
}

void TstReliabilityDownload::brokenDownloadKeepsTheSource_data()
{
    QTest::addColumn<Server::Responder>("responder");
    QTest::addColumn<QString>("wantStatus");
    QTest::addColumn<bool>("hosei");
    QTest::newRow("reset mid-transfer") << Server::Responder(ResetAfterPart) << "status：200" << false;
    QTest::newRow("reset mid-transfer, extraction on") << Server::Responder(ResetAfterPart) << "status：200" << true;
    QTest::newRow("reset before the status line") << Server::Responder(ResetBeforeAnswer) << "status：-1" << false;
    QTest::newRow("chunked body breaks off")
        << Server::Reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n10\r\nabc")
        << "status：200" << false;
    QTest::newRow("content length longer than the body")
        << Server::Reply("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nnew text") << "status：200" << false;
}

void TstReliabilityDownload::brokenDownloadKeepsTheSource()
{
    QFETCH(Server::Responder, responder);
    QFETCH(QString, wantStatus);
    QFETCH(bool, hosei);
    Server server(responder);
    const std::string old = "<a href=\"/keep.html\">old</a>\r\ntext";
    main()->setSourceText(old, false);
    main()->setModified(false);
    main()->setUrlListItems({ "first" });
    ctrl()->ckHosei->setChecked(hosei);
    ctrl()->cmbUrl->setEditText(QString::fromStdString(server.url("/dir/page.html")));

    QTest::mouseClick(ctrl()->btnDownload, Qt::LeftButton);

    QCOMPARE(main()->sourceText(), old);
    QCOMPARE(ctrl()->Label12->text(), wantStatus);
    QCOMPARE(ctrl()->btnDownload->text(), QStringLiteral("ダウンロード"));
    QVERIFY(session().prompts.errors.isEmpty()); // failures show only the status label
    // Extraction and correction, when on, run over the old text (correction rewrites every item).
    func_token::StringList want { "first" };
    if (hosei) {
        want.push_back("/keep.html");
        QVERIFY(func_lanzo::CorrectList(server.url("/dir/page.html"), want));
    }
    QCOMPARE(main()->urlListItems(), want);
}

void TstReliabilityDownload::brokenNewsKeepsTheText()
{
    Server server(ResetAfterPart);
    qputenv("LANZO_NEWS_URL", server.url("/new.txt").c_str());
    TfrmSet *set = session().windows().set.get();
    const QString before = set->mmNew->toPlainText();
    set->PageControl1->setCurrentIndex(1);
    set->show();
    QTest::mouseClick(set->btnNews, Qt::LeftButton);
    QCOMPARE(set->mmNew->toPlainText(), before);
    QCOMPARE(set->lbStatus->text(), QStringLiteral("status：200"));
    QCOMPARE(set->btnNews->text(), QStringLiteral("最新情報"));
}

QTEST_MAIN(TstReliabilityDownload)
#include "test_frm_main_download_faults.moc"
