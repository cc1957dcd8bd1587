#include "exchange/export/GridExport.h"

#include "office/SheetApp.h"
#include "platform/Messages.h"

#include <QDate>
#include <QDebug>
#include <QTime>

#include <algorithm>
#include <optional>

namespace {

const QString NotOpenText = QStringLiteral("查询过程没有执行，没有数据库可以发送！");
const QString NoSpreadsheetText = QStringLiteral("系统不能连接到Excel,请确认Excel是否安装！");

// Reads up to maxDigits decimal digits at pos; the count read, 0 when none.
int readDigits(QStringView text, qsizetype &pos, int maxDigits, int *value) {
    int count = 0;
    int number = 0;
    while (pos < text.size() && count < maxDigits && text[pos] >= u'0' && text[pos] <= u'9') {
        number = number * 10 + (text[pos].unicode() - u'0');
        ++pos;
        ++count;
    }
    if (value)
        *value = number;
    return count;
}

std::optional<SheetCell> numberCell(QStringView text) {
    qsizetype pos = 0;
    if (pos < text.size() && text[pos] == u'-')
        ++pos;
    const qsizetype integerStart = pos;
    while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9')
        ++pos;
    const qsizetype integerDigits = pos - integerStart;
    if (integerDigits == 0 || (integerDigits > 1 && text[integerStart] == u'0'))
        return std::nullopt;
    qsizetype decimals = 0;
    if (pos < text.size() && text[pos] == u'.') {
        ++pos;
        const qsizetype decimalStart = pos;
        while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9')
            ++pos;
        decimals = pos - decimalStart;
        if (decimals == 0)
            return std::nullopt;
    }
    if (pos != text.size())
        return std::nullopt;
    // Digits beyond what a double holds would be changed silently: such values (identity numbers) stay texts.
    qsizetype significant = integerDigits + decimals;
    for (qsizetype i = integerStart; i < text.size() && (text[i] == u'0' || text[i] == u'.'); ++i) {
        if (text[i] == u'0')
            --significant;
    }
    if (significant > 15)
        return std::nullopt;
    SheetCell cell{SheetCell::Kind::Number, text.toString(), text.toDouble(), QStringLiteral("0")};
    if (decimals > 0)
        cell.format += u'.' + QString(decimals, u'0');
    return cell;
}

std::optional<SheetCell> dateCell(QStringView text) {
    qsizetype pos = 0;
    int year = 0;
    int month = 0;
    int day = 0;
    if (readDigits(text, pos, 4, &year) != 4 || pos >= text.size())
        return std::nullopt;
    const QChar separator = text[pos++];
    const bool chinese = separator == u'年';
    if (!chinese && separator != u'-' && separator != u'/')
        return std::nullopt;
    const int monthDigits = readDigits(text, pos, 2, &month);
    if (monthDigits == 0 || pos >= text.size() || text[pos++] != (chinese ? QChar(u'月') : separator))
        return std::nullopt;
    const int dayDigits = readDigits(text, pos, 2, &day);
    if (dayDigits == 0 || (chinese && (pos >= text.size() || text[pos++] != u'日')))
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;

    QString format = QStringLiteral("YYYY");
    const QString monthCode = monthDigits == 2 ? QStringLiteral("MM") : QStringLiteral("M");
    const QString dayCode = dayDigits == 2 ? QStringLiteral("DD") : QStringLiteral("D");
    if (chinese)
        format += QStringLiteral("\"年\"") + monthCode + QStringLiteral("\"月\"") + dayCode + QStringLiteral("\"日\"");
    else
        format += separator + monthCode + separator + dayCode;

    double value = double(QDate(1899, 12, 30).daysTo(date));
    if (pos < text.size()) {
        int hour = 0;
        int minute = 0;
        int second = 0;
        if (text[pos++] != u' ')
            return std::nullopt;
        const int hourDigits = readDigits(text, pos, 2, &hour);
        if (hourDigits == 0 || pos >= text.size() || text[pos++] != u':' || readDigits(text, pos, 2, &minute) != 2)
            return std::nullopt;
        format += u' ' + (hourDigits == 2 ? QStringLiteral("HH") : QStringLiteral("H")) + QStringLiteral(":MM");
        if (pos < text.size()) {
            if (text[pos++] != u':' || readDigits(text, pos, 2, &second) != 2)
                return std::nullopt;
            format += QStringLiteral(":SS");
        }
        if (pos != text.size() || !QTime(hour, minute, second).isValid())
            return std::nullopt;
        value += (hour * 3600 + minute * 60 + second) / 86400.0;
    }
    return SheetCell{SheetCell::Kind::Date, text.toString(), value, format};
}

} // namespace

GridExport::GridExport(SheetApp &sheet)
    : mSheet(sheet) {}

SheetCell GridExport::cellFor(const QString &text) {
    if (text.isEmpty())
        return SheetCell::fromText(text);
    const QChar first = text.front();
    if (first == u'-' || (first >= u'0' && first <= u'9')) {
        if (auto cell = numberCell(text))
            return *cell;
        if (auto cell = dateCell(text))
            return *cell;
    }
    return SheetCell::fromText(text);
}

GridExport::Result GridExport::send(const QString &title, const GridContent &grid, const MoveToRecord &moveToRecord) {
    if (!grid.isOpen) {
        Messages::instance().warning(NotOpenText);
        return Result::NotOpen;
    }
    if (!mSheet.connect() || !mSheet.newSpreadsheet()) {
        qWarning().noquote() << "spreadsheet program not reachable:" << mSheet.lastError();
        Messages::instance().warning(NoSpreadsheetText);
        return Result::NoSpreadsheet;
    }

    QList<int> visible;
    QStringList header;
    for (int c = 0; c < grid.columns.size(); ++c) {
        if (grid.columns.at(c).visible) {
            visible.append(c);
            header.append(grid.columns.at(c).title);
        }
    }

    // The title goes to the first cell and the first caption then takes its place; with no visible column it
    // stays there alone.
    if (!mSheet.writeTexts(0, 0, {QStringList{title}}))
        return failed();
    if (!header.isEmpty() && !mSheet.writeTexts(0, 0, {header}))
        return failed();

    if (!visible.isEmpty()) {
        const qsizetype total = grid.rows.size();
        QList<QList<SheetCell>> block;
        for (qsizetype first = 0; first < total; first += RowsPerBlock) {
            const qsizetype count = std::min<qsizetype>(RowsPerBlock, total - first);
            block.clear();
            block.reserve(count);
            for (qsizetype r = first; r < first + count; ++r) {
                const QStringList &cells = grid.rows.at(r);
                QList<SheetCell> line;
                line.reserve(visible.size());
                for (int c : visible)
                    line.append(cellFor(cells.value(c)));
                block.append(std::move(line));
            }
            if (!mSheet.writeCells(int(first) + 1, 0, block))
                return failed();
        }
        if (!mSheet.fitColumns(0, int(visible.size())))
            return failed();
    }
    if (!grid.rows.isEmpty() && moveToRecord)
        moveToRecord(int(grid.rows.size()) - 1);

    if (!mSheet.setCaption(title) || !mSheet.show())
        return failed();
    return Result::Sent;
}

GridExport::Result GridExport::failed() {
    const QString error = mSheet.lastError();
    // What has arrived is shown rather than left in a hidden window the user could never close.
    mSheet.show();
    Messages::instance().warning(QStringLiteral("向Excel发送数据发生错误！") + u'\r' + error);
    return Result::Failed;
}

void sendGridToSpreadsheet(const GridExport::SheetAppFactory &newSheet, const QString &title, const GridContent &grid,
                           const GridExport::MoveToRecord &moveToRecord) {
    Messages &messages = Messages::instance();
    if (!grid.isOpen) {
        messages.warning(NotOpenText);
        return;
    }
    const std::unique_ptr<SheetApp> sheet = newSheet ? newSheet() : nullptr;
    if (!sheet) {
        messages.warning(NoSpreadsheetText);
        return;
    }
    GridExport(*sheet).send(title, grid, moveToRecord);
}
