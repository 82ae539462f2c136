#include "extract/frm_extraction.h"

#include <QProgressBar>
#include <QPushButton>

TfrmExtraction::TfrmExtraction(QWidget *parent)
    : JobDialog(parent, QStringLiteral("中止"))
{
    setObjectName(QStringLiteral("frmExtraction"));
    setWindowTitle(QStringLiteral("自動変換中"));
    bar()->setObjectName(QStringLiteral("barExt"));
    stopButton()->setObjectName(QStringLiteral("btnStop"));
}

extraction::ExtractionResult TfrmExtraction::run(
    std::string input, extraction::Conditions conditions, cnv_table::TablePairs tables)
{
    extraction::ExtractionResult result;
    const bool ok = runJob([&](job_progress::JobProgress &progress) {
        result = extraction::RunExtraction(input, conditions, tables, &progress);
    });
    if (!ok) {
        // A failed job appends nothing, exactly like a stopped one.
        result.urls.clear();
        result.stopped = true;
    }
    return result;
}
