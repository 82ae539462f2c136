#include "tables/frm_cnv.h"

#include "tables/cnv_table.h"

#include <QProgressBar>
#include <QPushButton>

TfrmCnv::TfrmCnv(QWidget *parent)
    : JobDialog(parent, QStringLiteral("中止"))
{
    setObjectName(QStringLiteral("frmCnv"));
    setWindowTitle(QStringLiteral("変換中"));
    bar()->setObjectName(QStringLiteral("BarCnv"));
    stopButton()->setObjectName(QStringLiteral("Button1"));
}

namespace
{
constexpr std::size_t kCopyPiece = std::size_t(1) << 20;
} // namespace

TfrmCnv::Outcome TfrmCnv::run(std::string input, std::string tableName, std::string tableDir)
{
    std::string working;
    bool completed = false;
    const bool ok = runJob([&](job_progress::JobProgress &progress) {
        func_token::StringList before, after;
        static_cast<void>(cnv_table::MakeCnvTable(before, after, tableName, tableDir));
        progress.setMaximum(static_cast<std::int64_t>(before.size()));
        progress.setCaption("変換中");
        // The pairs work in place on a copy; copied a piece at a time, so a stop is heard
        // during the copy of a big text too.
        working.reserve(input.size());
        for (std::size_t at = 0; at < input.size(); at += kCopyPiece) {
            if (progress.stopRequested()) return;
            working.append(input, at, kCopyPiece);
        }
        completed = cnv_table::ApplyPairs(working, before, after, &progress);
        // The bar goes back to 0 both at the normal end and after a stop.
        progress.setPosition(0);
    });

    Outcome outcome;
    outcome.completed = ok && completed;
    // Until the last pair has been applied the result is the input, so a stopped or failed
    // run writes the text back unchanged.
    outcome.result = outcome.completed ? std::move(working) : std::move(input);
    return outcome;
}
