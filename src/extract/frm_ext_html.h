#pragma once
// Progress dialog of HTML link extraction ("抽出中").
#include "base/frm_job_dialog.h"
#include "extract/html_links.h"

class TfrmExtHtml : public JobDialog
{
    Q_OBJECT
public:
    explicit TfrmExtHtml(QWidget *parent = nullptr);
    html_links::LinksResult run(std::string input);
    QProgressBar *barExtHtml() const { return bar(); }
    QPushButton *Button1() const { return stopButton(); }
};
