#include "app/MendoraApp.h"

#include "app/AppSettings.h"
#include "app/MainFrame.h"
#include "app/SingleInstance.h"
#include "msgbox/StyledMessageBox.h"

#include <QCoreApplication>

namespace mendora {

CMendoraApp::CMendoraApp() = default;
CMendoraApp::~CMendoraApp() = default;

QString CMendoraApp::AnotherInstanceText()
{
    return QStringLiteral("Another Instance of Mendora for Outlook Express is running ");
}

bool CMendoraApp::InitInstance(const CSingleInstanceGuard& guard)
{
    if (guard.AlreadyExists()) {
        ProgramMessageBox(AnotherInstanceText(), MbOk | MbIconExclamation);
        return false;
    }

    QCoreApplication::setOrganizationName(settings::CompanyKey());
    QCoreApplication::setApplicationName(settings::ApplicationKey());

    m_frame = std::make_unique<CMainFrame>();
    if (!m_frame->Create()) {
        m_frame.reset();
        return false;
    }
    m_frame->showMaximized();
    return true;
}

} // namespace mendora
