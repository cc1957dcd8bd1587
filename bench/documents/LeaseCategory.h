#pragma once

// The demo lease contract's values and a category of lease records holding them, for the generation benchmarks.

#include "support/TempAppFolder.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <iterator>

inline const char16_t *const Lease[][2] = {{u"合同编号", u"FZ20261125001"},
                                           {u"出租方", u"北京安居房地产经纪有限公司"},
                                           {u"承租方", u"王晓明"},
                                           {u"房屋坐落", u"北京市海淀区中关村大街18号3号楼502室"},
                                           {u"房屋用途", u"住宅"},
                                           {u"建筑面积", u"89.50"},
                                           {u"月租金", u"6800.00"},
                                           {u"租期", u"12"},
                                           {u"租金总额", u"81600.00"},
                                           {u"租金总额大写", u"捌万壹仟陆佰"},
                                           {u"押金", u"13600.00"},
                                           {u"付款方式", u"按月支付"},
                                           {u"起租日期", u"2026-12-01"},
                                           {u"签订日期", u"2026-11-25"},
                                           {u"签订日期大写", u"二○二六年十一月二十五日"}};

// A lease category with `count` records; their IDs.
inline QList<int> leaseCategory(TempAppFolder &folder, const QString &code, int count) {
    folder.addCategory(code, QStringLiteral("房屋租赁合同"), QStringLiteral("0001"));
    QStringList columns;
    QVariantList values{code};
    for (int i = 0; i < int(std::size(Lease)); ++i) {
        folder.addIndicator(code, QString::fromUtf16(Lease[i][0]), 0, QStringLiteral("Data%1").arg(i + 1), i + 1);
        columns << QStringLiteral("Data%1").arg(i + 1);
        values << QString::fromUtf16(Lease[i][1]);
    }
    const QString insert = QStringLiteral("INSERT INTO TContractMain (MainTypeCode, %1) VALUES (?%2)")
                               .arg(columns.join(QStringLiteral(", ")), QStringLiteral(", ?").repeated(columns.size()));
    QList<int> ids;
    for (int r = 0; r < count; ++r) {
        folder.exec(insert, values);
        ids << folder.scalar(QStringLiteral("SELECT max(ID) FROM TContractMain")).toInt();
    }
    return ids;
}
