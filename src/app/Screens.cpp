#include "app/Screens.h"

#include "base/Permissions.h"
#include "board/ui/frmWIPNavigator.h"
#include "drying/ui/frmDryingLog.h"
#include "equipment/ui/frmEquipment.h"
#include "field/ui/frmFieldPage.h"
#include "photos/ui/frmPhotoViewer.h"
#include "quickbooks/ui/frmQBSync.h"
#include "reports/ui/Viewer.h"
#include "settings/ui/frmCompanyInfo.h"
#include "settings/ui/frmWIPStatusEntry.h"
#include "shell/ui/BackupUi.h"
#include "shell/ui/frmAbout.h"
#include "shell/ui/frmLogin.h"
#include "staff/ui/frmEmployeeEntry.h"
#include "staff/ui/frmTimeEntry.h"
#include "staff/ui/frmTimeNavigator.h"
#include "widgets/ScreenRegistry.h"
#include "wip/ui/frmImport.h"
#include "wip/ui/frmWIPEntry.h"

namespace {

QString s(const char *text)
{
    return QString::fromLatin1(text);
}

} // namespace

const ScreenRegistry &screenRegistry()
{
    // Menu entry, permissions (any one grants), screen, factory. The
    // permissions hold however the screen is opened. The drying log, the
    // import and the photo viewer belong to the job, as its entry screen
    // does; the report viewer asks the
    // permission of the report it is handed.
    static const QStringList timePermissions { Permissions::timeManager, Permissions::timeEntry };
    static const QStringList wipPermission { Permissions::wipEntry };
    static const ScreenRegistry registry {
        { s("CompanyInfo"), { Permissions::companyInfo }, s("frmCompanyInfo"), make<frmCompanyInfo>() },
        { s("mnuWIPsBoard"), { Permissions::wipNavigator }, s("frmWIPNavigator"), make<frmWIPNavigator>() },
        { s("mnuWIPEntry"), wipPermission, s("frmWIPEntry"), make<frmWIPEntry>() },
        { s("mnuQBSync"), { Permissions::quickbooksSync }, s("frmQBSync"), make<frmQBSync>() },
        { s("mnuTimeNavigator"), timePermissions, s("frmTimeNavigator"), make<frmTimeNavigator>() },
        { s("mnuTimeEntry"), timePermissions, s("frmTimeEntry"), make<frmTimeEntry>() },
        { s("mnuWIPStatusEntry"), { Permissions::companyInfo }, s("frmWIPStatusEntry"), make<frmWIPStatusEntry>() },
        { s("mnuEmployeeEntry"), { Permissions::employeeEntry }, s("frmEmployeeEntry"), make<frmEmployeeEntry>() },
        { s("mnuEquipment"), { Permissions::equipment }, s("frmEquipment"), make<frmEquipment>() },
        { s("About"), {}, s("frmAbout"), make<frmAbout>() },
        // The address and the certificate's fingerprint are no secret (every
        // phone on the network is shown them): anyone may hand them on.
        { s("mnuFieldPage"), {}, s("frmFieldPage"), make<frmFieldPage>() },
        // An administrator as the type stands now: one demoted since the
        // login backs up no more.
        { s("mnuBackUpNow"), { Permissions::administrators }, {}, {}, BackupUi::backUpNow,
            s("Only an administrator can back up the job database.") },
        { {}, {}, s("frmLogin"), make<frmLogin>() },
        { {}, wipPermission, s("frmImport"), make<frmImport>() },
        { {}, {}, s("Viewer"), make<Viewer>() },
        { {}, wipPermission, s("frmDryingLog"), make<frmDryingLog>() },
        { {}, wipPermission, s("frmPhotoViewer"), make<frmPhotoViewer>() },
    };
    return registry;
}
