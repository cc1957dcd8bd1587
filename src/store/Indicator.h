#pragma once

#include <QList>
#include <QString>

class QSqlQuery;
class QSqlRecord;

// One indicator: a typed field of a child category, one row of TDataPara.
struct Indicator {
    enum Type { Text = 0, Number = 1, Date = 2 };

    int ID = -1;
    QString MainTypeCode;
    QString PropertyName;
    int PropertyType = Text;
    QString FormatStr;
    QString Unit;
    QString DefaultSelect;
    int HisSelect = 0;
    QString CalcStr;
    int SortIdx = 0;
    int NoNull = 0;
    int ColWidth = 0;
    int IsSortField = 0;
    QString DataFieldA;
    // A date indicator marked "到期提醒" reminds of its contracts' dates DueDays days ahead (0 to 365).
    int DueRemind = 0;
    int DueDays = 30;

    // Reads every field from a row of "SELECT * FROM TDataPara"; nulls read as 0 and empty text.
    static Indicator fromRecord(const QSqlRecord &record);

    // The category's indicators in SortIdx order, for callers not yet handed an IndicatorStore: use
    // IndicatorStore::ofCategory.
    static QList<Indicator> ofCategory(const QString &category, bool *ok = nullptr);

    // "文本", "数字", "日期" in the catalogue windows.
    static QString catalogueTypeText(int type);
    // "文本", "数值", "日期" in the entry dialog and the import.
    static QString entryTypeText(int type);
    // Indicator list flags: HisSelect "不支持"/"支持", NoNull "否"/"是", IsSortField ""/"√".
    static QString hisSelectText(int value);
    static QString noNullText(int value);
    static QString sortFieldText(int value);

    // "[<name>]": the marker in template and contract documents.
    QString marker() const { return QStringLiteral("[<") + PropertyName + QStringLiteral(">]"); }
    // "[name]": a reference in formulas.
    QString reference() const { return QLatin1Char('[') + PropertyName + QLatin1Char(']'); }
};
