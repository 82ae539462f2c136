#include "extract/frm_ext_html.h"

#include <QProgressBar>
#include <QPushButton>

TfrmExtHtml::TfrmExtHtml(QWidget *parent)
    : JobDialog(parent, QStringLiteral("中止"))
{
    setObjectName(QStringLiteral("frmExtHtml"));
    setWindowTitle(QStringLiteral("抽出中"));
    bar()->setObjectName(QStringLiteral("barExtHtml"));
    stopButton()->setObjectName(QStringLiteral("Button1"));
}

html_links::LinksResult TfrmExtHtml::run(std::string input)
{
    html_links::LinksResult result;
    const bool ok
        = runJob([&](job_progress::JobProgress &progress) { result = html_links::ExtractLinks(input, &progress); });
    if (!ok) {
        result.links.clear();
        result.stopped = true;
    }
    return result;
}
