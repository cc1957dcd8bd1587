#include "store/Indicator.h"

#include "store/Database.h"
#include "store/IndicatorStore.h"

#include <QSqlRecord>

Indicator Indicator::fromRecord(const QSqlRecord &r) {
    Indicator i;
    i.ID = r.value(QStringLiteral("ID")).toInt();
    i.MainTypeCode = r.value(QStringLiteral("MainTypeCode")).toString();
    i.PropertyName = r.value(QStringLiteral("PropertyName")).toString();
    i.PropertyType = r.value(QStringLiteral("PropertyType")).toInt();
    i.FormatStr = r.value(QStringLiteral("FormatStr")).toString();
    i.Unit = r.value(QStringLiteral("Unit")).toString();
    i.DefaultSelect = r.value(QStringLiteral("DefaultSelect")).toString();
    i.HisSelect = r.value(QStringLiteral("HisSelect")).toInt();
    i.CalcStr = r.value(QStringLiteral("CalcStr")).toString();
    i.SortIdx = r.value(QStringLiteral("SortIdx")).toInt();
    i.NoNull = r.value(QStringLiteral("NoNull")).toInt();
    i.ColWidth = r.value(QStringLiteral("ColWidth")).toInt();
    i.IsSortField = r.value(QStringLiteral("IsSortField")).toInt();
    i.DataFieldA = r.value(QStringLiteral("DataFieldA")).toString();
    i.DueRemind = r.value(QStringLiteral("DueRemind")).toInt();
    if (const QVariant days = r.value(QStringLiteral("DueDays")); !days.isNull())
        i.DueDays = days.toInt();
    return i;
}

QList<Indicator> Indicator::ofCategory(const QString &category, bool *ok) {
    return IndicatorStore(Database::instance()).ofCategory(category, ok);
}

QString Indicator::catalogueTypeText(int type) {
    switch (type) {
    case Number:
        return QStringLiteral("数字");
    case Date:
        return QStringLiteral("日期");
    default:
        return QStringLiteral("文本");
    }
}

QString Indicator::entryTypeText(int type) {
    switch (type) {
    case Number:
        return QStringLiteral("数值");
    case Date:
        return QStringLiteral("日期");
    default:
        return QStringLiteral("文本");
    }
}

QString Indicator::hisSelectText(int value) {
    return value == 1 ? QStringLiteral("支持") : QStringLiteral("不支持");
}

QString Indicator::noNullText(int value) {
    return value == 1 ? QStringLiteral("是") : QStringLiteral("否");
}

QString Indicator::sortFieldText(int value) {
    return value == 1 ? QStringLiteral("√") : QString();
}
