#pragma once

#include "contracts/ContractRegisterServices.h"

#include <QString>
#include <QStringList>

// Services for a register under test, each only noting its call in `calls` (when given) as "<service>"; a test
// replaces the ones it looks at.
inline ContractRegisterServices registerServicesForTest(QStringList *calls = nullptr) {
    const auto note = [calls](const char *name) {
        if (calls)
            calls->append(QString::fromLatin1(name));
    };
    return {[note](const QString &, const QString &, int) {
                note("editDocument");
                return true;
            },
            [note](const QList<int> &, QWidget *) { note("generateDocuments"); },
            [note](const QString &) {
                note("loadIn");
                return true;
            },
            [note](const QString &, QTableView *) {
                note("previewGrid");
                return true;
            },
            [note](const QString &, QTableView *) { note("sendGridToExcel"); },
            [note](QMdiArea *) {
                note("openDueReminders");
                return true;
            }};
}
