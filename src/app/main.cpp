// Mendora for Outlook Express, the desktop program.

#include "app/MendoraApp.h"
#include "app/SingleInstance.h"

#include <QApplication>

namespace {

// Taken before anything else runs; the system lets go of it when the process ends.
mendora::CSingleInstanceGuard g_instanceGuard;

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    mendora::CMendoraApp app;
    if (!app.InitInstance(g_instanceGuard))
        return 0;
    return QApplication::exec();
}
