#pragma once
// Progress dialog of applying a conversion table ("変換中").
#include "base/frm_job_dialog.h"

#include <string>

class TfrmCnv : public JobDialog
{
    Q_OBJECT
public:
    explicit TfrmCnv(QWidget *parent = nullptr);
    struct Outcome {
        bool completed = false; // false after a stop or a failure
        std::string result; // the converted text, or the input when not completed
    };
    Outcome run(std::string input, std::string tableName, std::string tableDir);
    QProgressBar *BarCnv() const { return bar(); }
    QPushButton *Button1() const { return stopButton(); }
};
