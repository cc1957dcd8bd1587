#pragma once

#include "store/Database.h"
#include "support/TempAppFolder.h"
#include "support/TestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>

#include <sys/stat.h>
#include <zip.h>

namespace AdminFixture {

// Every file and folder below `folder`, with a digest of each file's content: equal maps mean an unchanged tree.
inline QMap<QString, QByteArray> tree(const QString &folder) {
    QMap<QString, QByteArray> out;
    const QDir root(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        out.insert(root.relativeFilePath(path),
                   info.isDir() ? QByteArray("<dir>")
                                : QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha1).toHex());
    }
    return out;
}

// A category with two indicators, three contracts, a login password and documents in every folder of DB.
inline bool fillSample(TempAppFolder &app) {
    bool ok = app.addCategory(QStringLiteral("0001"), QStringLiteral("买卖合同")) &&
              app.addCategory(QStringLiteral("00010001"), QStringLiteral("设备采购"), QStringLiteral("0001")) &&
              app.addIndicator(QStringLiteral("00010001"), QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) > 0 &&
              app.addIndicator(QStringLiteral("00010001"), QStringLiteral("金额"), 1, QStringLiteral("Data2"), 2) > 0;
    for (int i = 1; ok && i <= 3; ++i) {
        ok = app.exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1, Data2) VALUES (?,?,?)"),
                      {QStringLiteral("00010001"), QStringLiteral("甲方公司%1").arg(i), QString::number(i * 1000)});
    }
    ok = ok && app.exec(QStringLiteral("UPDATE TPara SET LogPass=?"), {QStringLiteral("秘密123")});
    ok = ok && writeFile(app.file(QStringLiteral("DB/ModelFiles/00010001.Doc")), "template [<甲方>]") &&
         writeFile(app.file(QStringLiteral("DB/ContractFile/1.Doc")), "contract one") &&
         writeFile(app.file(QStringLiteral("DB/ContractFile/2.Doc")), "contract two") &&
         writeFile(app.file(QStringLiteral("DB/ContractFile/存档/旧合同.Doc")), "old contract") &&
         writeFile(app.file(QStringLiteral("DB/Empty.Doc")), "empty");
    return ok;
}

inline QStringList contractRows() {
    QStringList rows;
    QSqlQuery q(Database::instance().connection());
    q.exec(QStringLiteral("SELECT ID, MainTypeCode, Data1, Data2 FROM TContractMain ORDER BY ID"));
    while (q.next())
        rows << QStringLiteral("%1|%2|%3|%4")
                    .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString());
    return rows;
}

// Builds an archive entry by entry; `mode` is a Unix file mode stored in the external attributes (0: none).
struct ZipEntry {
    QByteArray name;
    QByteArray content;
    quint32 mode = 0;
    bool stored = false; // no compression, so the content can be found in the file
};

inline bool makeZip(const QString &path, const QList<ZipEntry> &entries) {
    QFile::remove(path);
    int code = 0;
    zip_t *za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!za)
        return false;
    QList<QByteArray> keep; // libzip reads the buffers when it closes the archive
    for (const ZipEntry &e : entries) {
        keep << e.content;
        zip_source_t *src = zip_source_buffer(za, keep.last().constData(), quint64(keep.last().size()), 0);
        const zip_int64_t index = zip_file_add(za, e.name.constData(), src, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(src);
            zip_discard(za);
            return false;
        }
        if (e.mode)
            zip_file_set_external_attributes(za, quint64(index), 0, ZIP_OPSYS_UNIX, e.mode << 16);
        if (e.stored)
            zip_set_file_compression(za, quint64(index), ZIP_CM_STORE, 0);
    }
    return zip_close(za) == 0;
}

} // namespace AdminFixture
