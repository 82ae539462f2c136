#pragma once
// The settings dialog "環境設定": extraction conditions, auto-run tables, automatic
// expansion, the news tab and the version tab. Non-modal tool window that stays on top.
#include "extract/extraction.h"
#include "settings/app_paths.h"
#include "settings/func_save.h"
#include "settings/http_client.h"
#include "settings/window_settings.h"

#include <QWidget>

class TfrmCtrl;
class UserPrompts;
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
    // mainWindow: where messages go and what the dialog opens centred over.
    TfrmSet(QWidget *mainWindow, TfrmCtrl *ctrl, const app_paths::AppPaths &paths, UserPrompts *prompts,
        QWidget *parent = nullptr);
    ~TfrmSet() override;

    // Start-up: creates the config folder when missing; asks the main window for the stored
    // URL list width and visibility, shows the control panel if it was open; applies set2.ini.
    void FormCreate(const window_settings::SetPart &stored);

    // The live settings extraction reads.
    extraction::Conditions conditions() const; // checked items, in order
    func_token::StringList tableNames() const; // lstCnv, Shift_JIS bytes
    bool autoExpand() const; // ckAuto

    func_save::SetDialogState state() const;
    void applyState(const func_save::SetDialogState &state);

    http_client::HttpClient &httpClient() { return m_http; }
    bool isDownloading() const { return m_download != nullptr; }

signals:
    // Main-window view commands, asked for at start-up.
    void listWidthRequested(int width);
    void listShownRequested(bool shown); // "ＵＲＬリスト"

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
    QWidget *m_mainWindow;
    TfrmCtrl *m_ctrl;
    app_paths::AppPaths m_paths;
    UserPrompts *m_prompts;
    http_client::HttpClient m_http;
    DownloadGuard *m_download = nullptr;
};
