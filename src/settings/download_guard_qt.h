#pragma once
// Keeps a window alive during a blocking download on the user-interface thread: the HTTP
// client's tick processes pending events, so windows repaint; meanwhile the download's own
// button reads "中止" and cancels it, Esc cancels it too, and every other mouse, key,
// shortcut, drop or close request is dropped, so no other command can start half-way.
#include "settings/http_client.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QAbstractButton;

class DownloadGuard : public QObject
{
    Q_OBJECT
public:
    explicit DownloadGuard(QAbstractButton *cancelButton);
    ~DownloadGuard() override;

    // The tick to hand to HttpClient::Get.
    http_client::HttpClient::Tick tick();
    void cancel() { m_cancelled = true; }
    bool cancelled() const { return m_cancelled; }

    // The running guard, if any (at most one download runs at a time).
    static DownloadGuard *active();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool targetsCancelButton(QObject *watched) const;

    QPointer<QAbstractButton> m_button;
    QString m_buttonText;
    bool m_cancelled = false;
    DownloadGuard *m_previous = nullptr;
};
