#include "demo/DemoContent.h"

#include "store/CategoryStore.h"
#include "store/ContractStore.h"
#include "store/Database.h"
#include "store/DocumentStore.h"
#include "store/IndicatorStore.h"
#include "text/ChineseDate.h"
#include "text/ChineseMoney.h"
#include "text/NumberText.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace DemoContent {

namespace {

struct IndicatorDef {
    const char16_t *name;
    int type; // 0 text, 1 number, 2 date
    const char16_t *format;
    const char16_t *unit;
    const char16_t *choices;
    int history;
    const char16_t *formula;
    int required;
    int sortField;
};

// In SortIdx order; the value column is Data + position.
const IndicatorDef Indicators[] = {
    {u"合同编号", 0, u"", u"", u"", 0, u"[GETBILLID]{FZ[YYYY][MM][DD][III]}", 1, 1},
    {u"出租方", 0, u"", u"", u"", 1, u"", 1, 0},
    {u"承租方", 0, u"", u"", u"", 1, u"", 1, 0},
    {u"房屋坐落", 0, u"", u"", u"", 1, u"", 1, 0},
    {u"房屋用途", 0, u"", u"", u"住宅;办公;商铺;仓储", 0, u"", 0, 0},
    {u"建筑面积", 1, u"99999.99", u"平方米", u"", 0, u"", 0, 0},
    {u"月租金", 1, u"99999999.99", u"元", u"", 0, u"", 1, 0},
    {u"租期", 1, u"999", u"个月", u"", 0, u"", 1, 0},
    {u"租金总额", 1, u"9999999999.99", u"元", u"", 0, u"[月租金]*[租期]", 0, 0},
    {u"租金总额大写", 0, u"", u"", u"", 0, u"[MONEY_STOB][租金总额]", 0, 0},
    {u"押金", 1, u"99999999.99", u"元", u"", 0, u"", 0, 0},
    {u"付款方式", 0, u"", u"", u"按月支付;按季支付;按年支付", 0, u"", 0, 0},
    {u"起租日期", 2, u"yyyy-MM-dd", u"", u"", 0, u"", 0, 0},
    {u"签订日期", 2, u"yyyy-MM-dd", u"", u"", 0, u"", 1, 0},
    {u"签订日期大写", 0, u"", u"", u"", 0, u"[DATE_STOB][签订日期]", 0, 0},
    {u"担保人", 0, u"", u"", u"", 1, u"", 0, 0},
};
constexpr int IndicatorCount = int(sizeof(Indicators) / sizeof(Indicators[0]));

struct RecordDef {
    const char16_t *lessor;
    const char16_t *lessee;
    const char16_t *address;
    const char16_t *use;
    // Amounts as written, so that they are computed as the decimals they are.
    const char16_t *area;
    const char16_t *rent;
    int months;
    const char16_t *deposit;
    const char16_t *payment;
    QDate start;
    QDate signedOn;
    const char16_t *guarantor; // the template's guarantee clause appears only with one
};

const RecordDef Records[] = {
    {u"北京安居房地产经纪有限公司", u"王晓明", u"北京市海淀区中关村大街18号3号楼502室", u"住宅", u"89.5", u"6800", 12,
     u"13600", u"按月支付", QDate(2026, 12, 1), QDate(2026, 11, 25), u"王建华"},
    {u"上海浦江置业有限公司", u"上海云帆科技有限公司", u"上海市浦东新区张江路88号A座1203室", u"办公", u"245",
     u"36750.5", 24, u"73501", u"按季支付", QDate(2027, 1, 1), QDate(2026, 12, 8), u""},
    {u"李建国", u"陈芳", u"广州市天河区天河北路233号1栋806房", u"住宅", u"72.3", u"4200", 6, u"8400", u"按月支付",
     QDate(2026, 12, 15), QDate(2026, 12, 10), u""},
};

DecimalText amount(const char16_t *text) {
    return *DecimalText::parse(QStringView(text));
}

QString money(const DecimalText &value) {
    return FormatNumber(value, QStringLiteral("0.00"));
}

bool insertRows(Database &dm, QString *message) {
    CategoryStore categories(dm);
    if (!categories.insert({RootCode, QStringLiteral(""), QStringLiteral("房屋租赁"), 0}) ||
        !categories.insert({ChildCode, RootCode, QStringLiteral("房屋租赁合同"), 1})) {
        *message = QStringLiteral("cannot store the demo categories");
        return false;
    }

    IndicatorStore indicators(dm);
    for (int i = 0; i < IndicatorCount; ++i) {
        const IndicatorDef &d = Indicators[i];
        Indicator indicator;
        indicator.MainTypeCode = ChildCode;
        indicator.PropertyName = QString::fromUtf16(d.name);
        indicator.PropertyType = d.type;
        indicator.FormatStr = QString::fromUtf16(d.format);
        indicator.Unit = QString::fromUtf16(d.unit);
        indicator.DefaultSelect = QString::fromUtf16(d.choices);
        indicator.HisSelect = d.history;
        indicator.CalcStr = QString::fromUtf16(d.formula);
        indicator.SortIdx = i + 1;
        indicator.NoNull = d.required;
        indicator.IsSortField = d.sortField;
        indicator.DataFieldA = QStringLiteral("Data%1").arg(i + 1);
        if (!indicators.insertNew(indicator)) {
            *message = QStringLiteral("cannot store the demo indicator ") + indicator.PropertyName;
            return false;
        }
    }

    ContractStore contracts(dm);
    for (const RecordDef &r : Records) {
        const DecimalText total = amount(r.rent) * DecimalText::fromInteger(r.months);
        const auto capital = MoneyToCapital(total);
        if (!capital) {
            *message = capital.error;
            return false;
        }
        // The number the numbering formula would have given on the signing day: the first of that day.
        const QString number =
            QStringLiteral("FZ") + r.signedOn.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral("001");
        const QStringList values{number,
                                 QString::fromUtf16(r.lessor),
                                 QString::fromUtf16(r.lessee),
                                 QString::fromUtf16(r.address),
                                 QString::fromUtf16(r.use),
                                 money(amount(r.area)),
                                 money(amount(r.rent)),
                                 QString::number(r.months),
                                 money(total),
                                 capital.value,
                                 money(amount(r.deposit)),
                                 QString::fromUtf16(r.payment),
                                 r.start.toString(QStringLiteral("yyyy-MM-dd")),
                                 r.signedOn.toString(QStringLiteral("yyyy-MM-dd")),
                                 DateToChinese(r.signedOn),
                                 QString::fromUtf16(r.guarantor)};
        QStringList columns;
        QVariantList binds;
        for (int i = 0; i < values.size(); ++i) {
            columns << QStringLiteral("Data%1").arg(i + 1);
            binds << values.at(i);
        }
        if (!contracts.insert(ChildCode, columns, binds, message))
            return false;
    }
    return true;
}

// On a server the template goes to the server too, where every program fetches it from.
bool shareTemplate(const QString &relative, QString *message) {
    if (!DocumentStore::active() || DocumentStore::exists(relative))
        return true;
    return DocumentStore::put(relative, message) == DocumentStore::Outcome::Done;
}

bool writeTemplate(Database &dm, QString *message) {
    const QString relative = Database::ModelFolder + ChildCode + QStringLiteral(".Doc");
    const QString target = dm.path(relative);
    if (QFileInfo::exists(target))
        return shareTemplate(relative, message);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::remove(target + QStringLiteral(".new"));
    if (!QFile::copy(QStringLiteral(":/demo/template.Doc"), target + QStringLiteral(".new")) ||
        !QFile::rename(target + QStringLiteral(".new"), target)) {
        *message = QStringLiteral("cannot write ") + target;
        return false;
    }
    // Copied from a resource: read-only until told otherwise.
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return shareTemplate(relative, message);
}

} // namespace

Result install(Database &dm, QString *message) {
    if (!dm.isConnected()) {
        *message = dm.connectionError();
        return Result::Failed;
    }
    const std::optional<QList<CategoryRecord>> categories = CategoryStore(dm).all(message);
    if (!categories)
        return Result::Failed;
    if (!categories->isEmpty()) {
        *message = QStringLiteral("the database already holds categories; demo not installed");
        return Result::Skipped;
    }
    QString error;
    if (!dm.inTransaction([&] { return insertRows(dm, message); }, &error)) {
        if (message->isEmpty())
            *message = error;
        return Result::Failed;
    }
    if (!writeTemplate(dm, message))
        return Result::Failed;
    *message = QStringLiteral("demo installed: category %1 with %2 indicators, %3 contracts, template %4")
                   .arg(ChildCode)
                   .arg(IndicatorCount)
                   .arg(int(sizeof(Records) / sizeof(Records[0])))
                   .arg(Database::ModelFolder + ChildCode + QStringLiteral(".Doc"));
    return Result::Installed;
}

} // namespace DemoContent
