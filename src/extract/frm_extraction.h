#pragma once
// Progress dialog of extraction ("自動変換中", then "抽出中").
#include "base/frm_job_dialog.h"
#include "extract/extraction.h"

class TfrmExtraction : public JobDialog
{
    Q_OBJECT
public:
    explicit TfrmExtraction(QWidget *parent = nullptr);
    extraction::ExtractionResult run(
        std::string input, extraction::Conditions conditions, cnv_table::TablePairs tables);
    QProgressBar *barExt() const { return bar(); }
    QPushButton *btnStop() const { return stopButton(); }
};
