#include "support/window_test.h"

#include "settings/http_client.h"

Session &WindowTest::startSession(bool show)
{
    m_session.reset();
    m_session = std::make_unique<Session>(home, show);
    return *m_session;
}

void WindowTest::endSession()
{
    m_session.reset();
}

void WindowTest::initTestCase()
{
    http_client::GlobalInit();
}

void WindowTest::cleanup()
{
    m_session.reset();
    qunsetenv("LANZO_NEWS_URL");
    home.renew();
}
