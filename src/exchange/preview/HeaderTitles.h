#pragma once

#include <QString>
#include <QStringList>

// Multi-row grid titles: "|" separates the header rows of a column's title.
namespace HeaderTitles {

// Header rows a title needs: its number of "|" + 1.
int headerRowsOf(const QString &title);

// The title cut into rowCount header texts from the top. While the rest holds "|", the text before the first "|"
// is the next header text; once none is left, the whole rest is the text of every further row.
// "A||B" in 3 rows gives A, "", B; "A|" in 2 gives A, ""; "金额" in 2 gives 金额, 金额.
QStringList splitTitle(const QString &title, int rowCount);

} // namespace HeaderTitles
