// The application object: refuses a second instance, sets where the settings live, and makes
// and shows the main frame.
#pragma once

#include <QObject>

#include <memory>

namespace mendora {

class CMainFrame;
class CSingleInstanceGuard;

class CMendoraApp {
public:
    CMendoraApp();
    ~CMendoraApp();
    CMendoraApp(const CMendoraApp&) = delete;
    CMendoraApp& operator=(const CMendoraApp&) = delete;

    // True to run the message loop; false (no window made) to end at once.
    bool InitInstance(const CSingleInstanceGuard& guard);

    CMainFrame* Frame() const { return m_frame.get(); }

    static QString AnotherInstanceText();

private:
    std::unique_ptr<CMainFrame> m_frame;
};

} // namespace mendora
