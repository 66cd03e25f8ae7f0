#include "app/Screens.h"

#include "board/ui/frmWIPNavigator.h"
#include "settings/ui/frmCompanyInfo.h"
#include "shell/ui/frmAbout.h"
#include "shell/ui/frmLogin.h"
#include "widgets/ScreenRegistry.h"
#include "wip/ui/frmWIPEntry.h"

namespace {

QString s(const char *text)
{
    return QString::fromLatin1(text);
}

} // namespace

const ScreenRegistry &screenRegistry()
{
    // Menu entry, permissions (any one grants), screen, factory. An entry
    // without a screen only asks its permission for now.
    static const QStringList timePermissions { s("Employee Time Manager"), s("Employee Time Entry/Edit") };
    static const ScreenRegistry registry {
        { s("CompanyInfo"), { s("Company Info") }, s("frmCompanyInfo"), make<frmCompanyInfo>() },
        { s("mnuWIPsBoard"), { s("WIPs Navigator") }, s("frmWIPNavigator"), make<frmWIPNavigator>() },
        { s("mnuWIPEntry"), { s("WIPs Entry/Edit") }, s("frmWIPEntry"), make<frmWIPEntry>() },
        { s("mnuQBSync"), { s("Quickbooks Sync") }, {}, {} },
        { s("mnuTimeNavigator"), timePermissions, {}, {} },
        { s("mnuTimeEntry"), timePermissions, {}, {} },
        { s("mnuWIPStatusEntry"), { s("Company Info") }, {}, {} },
        { s("mnuEmployeeEntry"), { s("Employee Entry/Edit") }, {}, {} },
        { s("About"), {}, s("frmAbout"), make<frmAbout>() },
        { {}, {}, s("frmLogin"), make<frmLogin>() },
    };
    return registry;
}
