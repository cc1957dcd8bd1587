#include "office/uno/OfficeCalls.h"

#include "office/uno/UnoSupport.h"

namespace office_calls {

bool connect(OfficeInstance &office, com::sun::star::uno::Reference<com::sun::star::lang::XComponent> &document,
             QString *error) {
    if (office.ensureRunning(error))
        return true;
    document.clear();
    return false;
}

QString failureReason(OfficeInstance &office, const com::sun::star::uno::Exception &e) {
    office.alive();
    if (office.takeTimedOut())
        return QStringLiteral("办公软件没有响应，已被结束");
    return uno_support::describe(e);
}

} // namespace office_calls
