#pragma once
// The control panel: replace, search, download and the URL list's double-click options.
// A tool window that stays on top; closing it only hides it. It works on the main window's
// buffers through MainBuffers and asks for the main window's commands through its signals.
#include "settings/app_paths.h"
#include "settings/func_save.h"
#include "settings/http_client.h"
#include "settings/ini_file.h"
#include "settings/window_settings.h"

#include <QWidget>
#include <string>

class MainBuffers;
class UserPrompts;
class QComboBox;
class QRadioButton;
class QCheckBox;
class QLineEdit;
class QLabel;
class QTabWidget;
class QPushButton;
class DownloadGuard;

class TfrmCtrl : public QWidget
{
    Q_OBJECT
public:
    // mainWindow: where messages and the first place go (none: the panel stays where it is).
    TfrmCtrl(MainBuffers &buffers, QWidget *mainWindow, const app_paths::AppPaths &paths, UserPrompts *prompts,
        QWidget *parent = nullptr);
    ~TfrmCtrl() override;

    // Start-up: the place and the download options from lanzo.ini, the stay-on-top restore
    // asked of the main window, set.ini applied.
    void FormCreate(const window_settings::CtrlPart &stored);
    // With no stored position the panel goes beside the main window when first shown (or, never
    // shown, when its position is saved at exit), unless something has moved it before.
    void settlePlace();

    // The base URL of URL correction and the URL box the double-click may fill (bytes).
    std::string urlText() const;
    void setUrlText(std::string_view url); // history unchanged
    bool toUrl() const;
    bool toClip() const;
    bool toExe() const;
    std::string exePath() const; // file-system bytes

    func_save::CtrlPanelState state() const;
    void applyState(const func_save::CtrlPanelState &state);

    // The two options of the internet tab live in lanzo.ini, not in set.ini's records.
    void writeInternetOptions(ini_file::IniFile &ini) const;

    // The download tab's client (tests point it at a local server through the URL box).
    http_client::HttpClient &httpClient() { return m_http; }
    // True while "ダウンロード" waits for its response (the button then reads "中止").
    bool isDownloading() const { return m_download != nullptr; }

signals:
    // Main-window commands; each returns once the command has run.
    void linkExtractionRequested(); // "全体からリンクを抽出"
    void urlCorrectionRequested(); // "ＵＲＬ補正"
    void stayOnTopRequested(bool onTop); // "常に手前に表示" set to onTop

public slots:
    void btnReplaceClick(); // "置き換え"
    void btnSearchClick(); // "検索"
    void btnDownloadClick(); // "ダウンロード"
    void btnCorrectClick(); // "ＵＲＬ補正"
    void btnExeClick(); // "...": choose the browser

protected:
    void closeEvent(class QCloseEvent *event) override;
    void showEvent(class QShowEvent *event) override;

public:
    // Controls under the design's names.
    QTabWidget *PageControl1 = nullptr;
    QComboBox *cmbBefore = nullptr, *cmbAfter = nullptr, *cmbKey = nullptr, *cmbUrl = nullptr;
    QRadioButton *rdo1S = nullptr, *rdo1L = nullptr, *rdo2S = nullptr, *rdo2L = nullptr;
    QCheckBox *ckHosei = nullptr, *ckToURL = nullptr, *ckToClip = nullptr, *ckToExe = nullptr;
    QCheckBox *ckWeb = nullptr; // "HTTPS とリダイレクトを使う"
    QCheckBox *ckToSjis = nullptr; // "文字コードを Shift_JIS に変換する"
    QLineEdit *edtExe = nullptr;
    QLabel *Label12 = nullptr; // "status：000"
    QPushButton *btnReplace = nullptr, *btnSearch = nullptr, *btnDownload = nullptr, *btnCorrect = nullptr,
                *btnExe = nullptr;

private:
    void setExeFromStored(const std::string &stored);

    MainBuffers &m_buffers;
    QWidget *m_mainWindow;
    app_paths::AppPaths m_paths;
    UserPrompts *m_prompts;
    // The browser path as loaded, and the text the box showed for it.
    std::string m_exeStored;
    QString m_exeShown;
    http_client::HttpClient m_http;
    DownloadGuard *m_download = nullptr;
    bool m_placeBesideMain = false;
    QPoint m_unplacedAt;
};
