#include "catalogue/CategoryCodes.h"

#include "platform/Messages.h"
#include "store/CategoryStore.h"
#include "text/GbkText.h"
#include "text/TextHelpers.h"

QString CategoryCodes::cutName(const QString &name) {
    return GbkLeft(name, NameBytes);
}

QString nextCategoryCode(const CategoryStore &store, const QString &parentCode) {
    const std::optional<QString> read = store.highestCodeUnder(parentCode);
    if (!read) {
        Messages::instance().warning(QStringLiteral("读取数据出现错误。"));
        return {};
    }
    if (read->isEmpty())
        return parentCode + QStringLiteral("0001");

    QString highest = *read;
    if (highest.size() > CategoryCodes::PartDigits)
        highest = highest.mid(CategoryCodes::PartDigits);
    bool ok = false;
    const int part = highest.toInt(&ok);
    if (!ok) {
        Messages::instance().warning(QStringLiteral("读取数据出现错误。"));
        return {};
    }
    // The next part would need a fifth digit, which the scheme has no room for: refuse rather than issue a code
    // that already exists.
    if (part >= CategoryCodes::MaxPart) {
        Messages::instance().warning(
            QStringLiteral("同一级分类最多只能有%1个，已无可用的分类编码，不能再添加！").arg(CategoryCodes::MaxPart));
        return {};
    }
    return parentCode + PadLeftZeros(QString::number(part + 1), CategoryCodes::PartDigits);
}
