#include "support/TempAppFolder.h"

#include "store/Schema.h"
#include "store/TDM.h"

#include <QSqlQuery>

TempAppFolder::TempAppFolder(bool open) {
    mValid = mDir.isValid() && Schema::layOutAppFolder(mDir.path());
    if (mValid && open)
        mValid = TDM::create(mDir.path()).isConnected();
}

TempAppFolder::~TempAppFolder() {
    if (TDM::exists() && TDM::instance().appFolder().startsWith(mDir.path()))
        TDM::destroy();
}

QString TempAppFolder::path() const {
    return mDir.path() + QLatin1Char('/');
}

QString TempAppFolder::file(const QString &relative) const {
    return path() + relative;
}

bool TempAppFolder::exec(const QString &sql, const QVariantList &binds) {
    QSqlQuery q(TDM::instance().ADOLocal());
    return execBound(q, sql, binds);
}

QString TempAppFolder::scalar(const QString &sql, const QVariantList &binds) {
    return TDM::instance().GetDataBySQL(sql, binds);
}

namespace {
// A null QString binds as NULL; the program itself stores empty text.
QString text(const QString &s) {
    return s.isNull() ? QStringLiteral("") : s;
}
} // namespace

bool TempAppFolder::addCategory(const QString &code, const QString &name, const QString &parent) {
    return exec(QStringLiteral("INSERT INTO TContractClass (TypeCode,TypeName,ParTypeCode,nLeveal) VALUES (?,?,?,?)"),
                {code, name, text(parent), parent.isEmpty() ? 0 : 1});
}

int TempAppFolder::addIndicator(const QString &category, const QString &name, int type, const QString &column,
                                int sortIdx, const QString &calc, const QString &format, const QString &unit) {
    QSqlQuery q(TDM::instance().ADOLocal());
    if (!execBound(q,
                   QStringLiteral("INSERT INTO TDataPara (MainTypeCode,PropertyName,PropertyType,FormatStr,Unit,"
                                  "CalcStr,SortIdx,DataFieldA) VALUES (?,?,?,?,?,?,?,?)"),
                   {category, name, type, text(format), text(unit), text(calc), sortIdx, column}))
        return -1;
    return q.lastInsertId().toInt();
}
