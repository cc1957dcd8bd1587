#include "exchange/preview/HeaderTitles.h"

#include "text/TextHelpers.h"

namespace HeaderTitles {

int headerRowsOf(const QString &title) {
    return CountSubText(QStringLiteral("|"), title) + 1;
}

QStringList splitTitle(const QString &title, int rowCount) {
    QStringList texts;
    QString rest = title;
    for (int row = 0; row < rowCount; ++row) {
        const qsizetype bar = rest.indexOf(u'|');
        if (bar < 0) {
            texts.append(rest);
            continue;
        }
        texts.append(rest.left(bar));
        rest.remove(0, bar + 1);
    }
    return texts;
}

} // namespace HeaderTitles
