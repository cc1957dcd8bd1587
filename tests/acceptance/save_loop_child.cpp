// save_loop_child <appFolder> <category>: adds contract records through the entry logic, one after another,
// and prints the ID of each record once its save has returned.
#include "contracts/ContractEntry.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QSqlQuery>

#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    Database &dm = Database::create(QString::fromLocal8Bit(argv[1]));
    if (!dm.isConnected())
        return 3;
    const QString category = QString::fromLocal8Bit(argv[2]);
    for (int i = 0;; ++i) {
        ContractEntry entry(dm, -1, category);
        if (!entry.load())
            return 4;
        entry.commitText(0, QStringLiteral("甲方%1 'quoted' %").arg(i));
        bool saved = false;
        entry.checkAndSave(&saved);
        if (!saved)
            return 5;
        const QString id = dm.GetDataBySQL(QStringLiteral("SELECT Max(ID) FROM TContractMain"));
        std::printf("%s\n", id.toLatin1().constData());
        std::fflush(stdout);
    }
}
