#pragma once
// The fixture of the tests that run the program's windows. Every test function starts on a
// fresh, empty home folder, home, and runs the windows on it as Session objects of its own or
// as the fixture's session, which ends with the test function. A test class with an
// initTestCase or cleanup of its own calls the fixture's from it.
#include "support/session.h"

#include <QObject>
#include <memory>

class WindowTest : public QObject
{
    Q_OBJECT

protected:
    // Starts the fixture's windows on home, shown or hidden, after ending those it ran before.
    Session &startSession(bool show = true);
    void endSession();
    Session &session() const { return *m_session; }
    TfrmMain *main() const { return m_session->main(); }

    TempHome home;

protected slots:
    // libcurl's global set-up, once, as the program does at its start.
    void initTestCase();
    // The fixture's windows end, the news address a test pointed elsewhere is forgotten, and
    // home is renewed.
    void cleanup();

private:
    std::unique_ptr<Session> m_session;
};
