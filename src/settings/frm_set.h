#pragma once
// The settings dialog "環境設定": extraction conditions, auto-run tables, automatic
// expansion, the news tab and the version tab. Non-modal tool window that stays on top.
#include "extract/extraction.h"
#include "settings/func_save.h"
#include "settings/http_client.h"

#include <QWidget>

class TfrmMain;
class TfrmCtrl;
class QListWidget;
class QCheckBox;
class QPlainTextEdit;
class QLabel;
class QTabWidget;
class QPushButton;
class DownloadGuard;

class TfrmSet : public QWidget
{
    Q_OBJECT
public:
    TfrmSet(TfrmMain *main, TfrmCtrl *ctrl, QWidget *parent = nullptr);
    ~TfrmSet() override;

    // Start-up: creates the config folder when missing; reads WINDOW LIST, MENU2, CTRL from
    // lanzo.ini and applies them to the main window and the control panel; applies set2.ini.
    void FormCreate();

    // The live settings extraction reads.
    extraction::Conditions conditions() const; // checked items, in order
    func_token::StringList tableNames() const; // lstCnv, Shift_JIS bytes
    bool autoExpand() const; // ckAuto

    func_save::SetDialogState state() const;
    void applyState(const func_save::SetDialogState &state);

    http_client::HttpClient &httpClient() { return m_http; }
    bool isDownloading() const { return m_download != nullptr; }

public slots:
    void btnAddClick();
    void btnUpClick();
    void btnDownClick();
    void btnDelClick();
    void btnNewsClick(); // "最新情報"

protected:
    void closeEvent(class QCloseEvent *event) override;
    void showEvent(class QShowEvent *event) override; // opens centred over the main window

public:
    QTabWidget *PageControl1 = nullptr;
    QListWidget *cbxPrefix = nullptr, *cbxMiddle = nullptr, *cbxSuffix = nullptr; // check lists
    QListWidget *lstCnv = nullptr;
    QCheckBox *ckAuto = nullptr;
    QPlainTextEdit *mmNew = nullptr;
    QLabel *lbStatus = nullptr;
    QPushButton *btnAdd = nullptr, *btnUp = nullptr, *btnDown = nullptr, *btnDel = nullptr, *btnNews = nullptr;

private:
    TfrmMain *m_main;
    TfrmCtrl *m_ctrl;
    http_client::HttpClient m_http;
    DownloadGuard *m_download = nullptr;
};
