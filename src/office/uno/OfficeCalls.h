#pragma once

// The steps every user of the office repeats around its remote calls: reaching the office, and turning what an
// operation's calls throw into a failure with a reason.

#include "office/uno/OfficeInstance.h"

#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/Reference.hxx>

#include <QString>

#include <type_traits>
#include <utility>

namespace office_calls {

// Reaches the office or starts it; an office that died is replaced. When none can be reached, the document of the
// one that is gone is forgotten and *error says why.
bool connect(OfficeInstance &office, com::sun::star::uno::Reference<com::sun::star::lang::XComponent> &document,
             QString *error);

// Why the office failed a call: its own text, or that it hung and was ended. A dead office is noticed on the way,
// so that the next connect() replaces it.
QString failureReason(OfficeInstance &office, const com::sun::star::uno::Exception &e);

// Runs body, the remote calls of one operation, under the office's watchdog and returns what it returns. When the
// calls throw, report gets what followed by the reason, and the result is an empty one (false, nullopt, no text).
template <typename Body, typename Report>
auto guarded(OfficeInstance &office, const QString &what, Report &&report, Body &&body) -> decltype(body()) {
    using Result = decltype(body());
    try {
        OfficeInstance::Watch watch(office);
        return body();
    } catch (const com::sun::star::uno::Exception &e) {
        report(what + failureReason(office, e));
    } catch (...) {
        office.alive();
        report(what + QStringLiteral("未知错误"));
    }
    if constexpr (std::is_void_v<Result>)
        return;
    else
        return Result{};
}

// As guarded(), for calls whose failure leaves nothing to report: the document was closed in the office, or the
// office went away.
template <typename Body> auto quietly(OfficeInstance &office, Body &&body) -> decltype(body()) {
    return guarded(
        office, QString(), [](const QString &) {}, std::forward<Body>(body));
}

} // namespace office_calls
