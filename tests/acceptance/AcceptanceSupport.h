#pragma once

#include "store/Database.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QPointer>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace Acceptance {

// Runs `script` on the first modal dialog of type T that opens, from inside its own event loop, the way a user
// would act on it; with `ready`, only once the dialog is ready for it (a window that lets events through while it
// works would otherwise run the script in the middle of its work). When the script fails a check, the dialog is
// closed so the test does not wait for ever.
template <typename T>
void whenModal(std::function<void(T *)> script, bool *ran = nullptr, std::function<bool(T *)> ready = {}) {
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, script, ran, ready] {
        auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!dialog || (ready && !ready(dialog)))
            return;
        timer->stop();
        timer->deleteLater();
        if (ran)
            *ran = true;
        QPointer<T> guard(dialog);
        script(dialog);
        if (QTest::currentTestFailed() && guard && guard->isVisible())
            guard->reject();
    });
    timer->start();
}

// Every row of a table as text, in ID order (or the given order), for comparing two databases.
inline QStringList tableRows(const QString &table, const QString &order) {
    QStringList rows;
    QSqlQuery q(Database::instance().connection());
    if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(table, order)))
        return {QStringLiteral("<query failed>")};
    while (q.next()) {
        QStringList fields;
        const QSqlRecord record = q.record();
        for (int i = 0; i < record.count(); ++i)
            fields << record.fieldName(i) + QLatin1Char('=') + q.value(i).toString();
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}

// Every file below `folder` with a digest of its content.
inline QMap<QString, QByteArray> files(const QString &folder) {
    QMap<QString, QByteArray> out;
    const QDir root(folder);
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out.insert(root.relativeFilePath(path), fileHash(path));
    }
    return out;
}

} // namespace Acceptance
