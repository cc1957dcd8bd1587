#include "exchange/workbook/XlsxWorkbook.h"

#include "exchange/workbook/CellText.h"
#include "exchange/workbook/SheetBuilder.h"
#include "exchange/workbook/XlsxScanner.h"

#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <zip.h>

#include <charconv>
#include <cmath>

namespace {

// No part of a real workbook comes near this; it stops a small archive from unpacking into gigabytes.
constexpr qint64 MaxPartSize = 512LL * 1024 * 1024;

QString parentFolder(const QString &partName) {
    const qsizetype slash = partName.lastIndexOf(u'/');
    return slash < 0 ? QString() : partName.left(slash + 1);
}

QString resolveTarget(const QString &folder, const QString &target) {
    QString joined = target.startsWith(u'/') ? target.mid(1) : folder + target;
    QStringList parts;
    for (const QString &part : joined.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u"..") {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (part != u".") {
            parts.append(part);
        }
    }
    return parts.join(u'/');
}

QString relationshipsOf(const QString &partName) {
    const qsizetype slash = partName.lastIndexOf(u'/');
    return partName.left(slash + 1) + QStringLiteral("_rels/") + partName.mid(slash + 1) + QStringLiteral(".rels");
}

// Control characters in OOXML strings are written as _xHHHH_.
QString decodeEscapes(QString text) {
    if (!text.contains(u"_x"))
        return text;
    static const QRegularExpression escape(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    QString result;
    qsizetype last = 0;
    auto it = escape.globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        result += QStringView(text).mid(last, match.capturedStart() - last);
        result += QChar(char16_t(match.captured(1).toUShort(nullptr, 16)));
        last = match.capturedEnd();
    }
    result += QStringView(text).mid(last);
    return result;
}

QString idAttribute(const QXmlStreamAttributes &attributes) {
    // The relationship id lives in the relationships namespace, whatever prefix the writer chose.
    for (const QXmlStreamAttribute &attribute : attributes) {
        if (attribute.name() == u"id" && !attribute.namespaceUri().isEmpty())
            return attribute.value().toString();
    }
    return {};
}

// Reads the text of an <si> or <is> element: plain <t> and the <t> of rich-text runs, without phonetic hints.
QString readStringItem(QXmlStreamReader &xml) {
    const QString element = xml.name().toString();
    QString text;
    int phonetic = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == u"rPh")
                ++phonetic;
            else if (xml.name() == u"t" && phonetic == 0)
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (xml.isEndElement()) {
            if (xml.name() == u"rPh")
                --phonetic;
            else if (xml.name() == element)
                break;
        }
    }
    return decodeEscapes(text);
}

// A number as spreadsheet programs write it, read without making a text first; false for anything else (the
// caller then takes the general path).
bool plainNumber(QByteArrayView bytes, double *value) {
    while (!bytes.isEmpty() && (bytes.front() == ' ' || bytes.front() == '\t' || bytes.front() == '\n'))
        bytes = bytes.sliced(1);
    while (!bytes.isEmpty() && (bytes.back() == ' ' || bytes.back() == '\t' || bytes.back() == '\n'))
        bytes.chop(1);
    if (bytes.isEmpty())
        return false;
    const char *end = bytes.data() + bytes.size();
    const auto [at, ec] = std::from_chars(bytes.data(), end, *value, std::chars_format::general);
    return ec == std::errc() && at == end && std::isfinite(*value);
}

// True when the bytes are a number written as CellText::fromNumber would write its value: plain notation, at most
// 15 significant digits, no superfluous zero, at least 1E-4 and below 1E15 in size. Such a text is the cell's text
// as it stands (the shortest digits that read back as a value of at most 15 digits are those digits), so a sheet
// full of numbers is not formatted anew cell by cell.
bool generalForm(QByteArrayView t) {
    auto digit = [&](qsizetype i) { return t[i] >= '0' && t[i] <= '9'; };
    qsizetype i = 0;
    if (i < t.size() && t[i] == '-')
        ++i;
    const qsizetype intStart = i;
    while (i < t.size() && digit(i))
        ++i;
    const qsizetype intLength = i - intStart;
    if (intLength == 0 || intLength > 15 || (intLength > 1 && t[intStart] == '0'))
        return false;
    qsizetype fracStart = i;
    qsizetype fracLength = 0;
    if (i < t.size()) {
        if (t[i] != '.')
            return false;
        fracStart = ++i;
        while (i < t.size() && digit(i))
            ++i;
        fracLength = i - fracStart;
        if (i != t.size() || fracLength == 0 || t[i - 1] == '0')
            return false;
    }
    if (t[intStart] == '0') {
        // 0.000d is the smallest plain form; zero itself goes the general way.
        qsizetype zeros = 0;
        while (zeros < fracLength && t[fracStart + zeros] == '0')
            ++zeros;
        return fracLength > 0 && zeros <= 3 && fracLength - zeros <= 15;
    }
    if (fracLength > 0)
        return intLength + fracLength <= 15;
    return true;
}

QString stripFormatLiterals(const QString &formatCode) {
    QString section = formatCode;
    // Only the format for positive values decides how the cell looks.
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (quoted) {
            if (c == u'"')
                quoted = false;
            continue;
        }
        if (c == u'"') {
            quoted = true;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u';') {
            break;
        } else if (c == u'[') {
            const qsizetype close = section.indexOf(u']', i);
            if (close < 0)
                break;
            const QString inner = section.mid(i + 1, close - i - 1).toLower();
            // [h], [mm], [ss] are elapsed times; colours, conditions and locales are not.
            static const QRegularExpression elapsed(QStringLiteral("^(h+|m+|s+)$"));
            if (elapsed.match(inner).hasMatch())
                result += inner;
            i = close;
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace

bool XlsxWorkbook::isDateFormat(int numFmtId, const QString &formatCode) {
    if ((numFmtId >= 14 && numFmtId <= 22) || (numFmtId >= 27 && numFmtId <= 36) ||
        (numFmtId >= 45 && numFmtId <= 47) || (numFmtId >= 50 && numFmtId <= 58))
        return true;
    if (formatCode.isEmpty())
        return false;
    const QString visible = stripFormatLiterals(formatCode).toLower();
    if (visible.contains(QStringLiteral("general")))
        return false;
    for (const QChar c : visible) {
        if (c == u'd' || c == u'm' || c == u'y' || c == u'h' || c == u's')
            return true;
    }
    return false;
}

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::open(const QByteArray &data, QString *error) {
    std::unique_ptr<XlsxWorkbook> book(new XlsxWorkbook);
    book->mData = data;
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t *source =
        zip_source_buffer_create(book->mData.constData(), zip_uint64_t(book->mData.size()), 0, &zipError);
    if (source)
        book->mZip = zip_open_from_source(source, ZIP_RDONLY, &zipError);
    if (!book->mZip) {
        if (source)
            zip_source_free(source);
        zip_error_fini(&zipError);
        if (error)
            *error = QStringLiteral("文件不是可以读取的Excel工作簿（压缩包已损坏）。");
        return nullptr;
    }
    zip_error_fini(&zipError);
    if (!book->readWorkbook(error))
        return nullptr;
    return book;
}

XlsxWorkbook::~XlsxWorkbook() {
    if (mZip)
        zip_discard(mZip);
}

QStringList XlsxWorkbook::sheetNames() const {
    return mSheetNames;
}

std::optional<QByteArray> XlsxWorkbook::entry(const QString &name, QString *error) const {
    const QByteArray zipName = name.toUtf8();
    const zip_int64_t index = zip_name_locate(mZip, zipName.constData(), ZIP_FL_NOCASE);
    if (index < 0) {
        if (error)
            *error = QStringLiteral("工作簿缺少“%1”部分。").arg(name);
        return std::nullopt;
    }
    zip_file_t *file = zip_fopen_index(mZip, zip_uint64_t(index), 0);
    if (!file) {
        if (error)
            *error = QStringLiteral("工作簿的“%1”部分无法解压（可能设有密码或已损坏）。").arg(name);
        return std::nullopt;
    }
    QByteArray content;
    char buffer[65536];
    bool failed = false;
    // The size the package gives is read straight into place, without growing the buffer on the way; anything
    // beyond it (a package that names a wrong size) is still read below, so the check of the data decides.
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(mZip, zip_uint64_t(index), 0, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE) &&
        stat.size <= zip_uint64_t(MaxPartSize)) {
        content.resize(qsizetype(stat.size));
        qsizetype filled = 0;
        while (filled < content.size()) {
            const zip_int64_t got = zip_fread(file, content.data() + filled, zip_uint64_t(content.size() - filled));
            if (got <= 0)
                break;
            filled += qsizetype(got);
        }
        content.resize(filled);
    }
    for (;;) {
        const zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
        if (got < 0) {
            failed = true;
            break;
        }
        if (got == 0)
            break;
        if (content.size() + got > MaxPartSize) {
            failed = true;
            break;
        }
        content.append(buffer, qsizetype(got));
    }
    zip_fclose(file);
    if (failed) {
        if (error)
            *error = QStringLiteral("工作簿的“%1”部分已损坏。").arg(name);
        return std::nullopt;
    }
    return content;
}

std::optional<QList<XlsxWorkbook::Relationship>> XlsxWorkbook::readRelationships(const QString &partName,
                                                                                 QString *error) const {
    const auto content = entry(relationshipsOf(partName), error);
    if (!content)
        return std::nullopt;
    const QString folder = parentFolder(partName);
    QList<Relationship> relationships;
    QXmlStreamReader xml(*content);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"Relationship")
            continue;
        const auto attributes = xml.attributes();
        if (attributes.value(QLatin1StringView("TargetMode")) == u"External")
            continue;
        const QString type = attributes.value(QLatin1StringView("Type")).toString();
        relationships.append({attributes.value(QLatin1StringView("Id")).toString(),
                              type.mid(type.lastIndexOf(u'/') + 1),
                              resolveTarget(folder, attributes.value(QLatin1StringView("Target")).toString())});
    }
    if (xml.hasError()) {
        if (error)
            *error = QStringLiteral("工作簿的关系表已损坏：%1").arg(xml.errorString());
        return std::nullopt;
    }
    return relationships;
}

bool XlsxWorkbook::readWorkbook(QString *error) {
    QString workbookPart = QStringLiteral("xl/workbook.xml");
    QString ignored;
    if (const auto package = readRelationships(QString(), &ignored)) {
        for (const Relationship &relationship : *package) {
            if (relationship.kind == u"officeDocument") {
                workbookPart = relationship.target;
                break;
            }
        }
    }
    const auto relationships = readRelationships(workbookPart, error);
    if (!relationships)
        return false;
    QHash<QString, QString> worksheetParts;
    QString sharedStringsPart;
    QString stylesPart;
    for (const Relationship &relationship : *relationships) {
        // Chart and macro sheets hold no table to import.
        if (relationship.kind == u"worksheet")
            worksheetParts.insert(relationship.id, relationship.target);
        else if (relationship.kind == u"sharedStrings" && sharedStringsPart.isEmpty())
            sharedStringsPart = relationship.target;
        else if (relationship.kind == u"styles" && stylesPart.isEmpty())
            stylesPart = relationship.target;
    }

    const auto content = entry(workbookPart, error);
    if (!content)
        return false;
    QXmlStreamReader xml(*content);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"workbookPr") {
            const auto value = xml.attributes().value(QLatin1StringView("date1904"));
            mNumbers.setDate1904(value == u"1" || value == u"true");
        } else if (xml.name() == u"sheet") {
            const QString id = idAttribute(xml.attributes());
            if (!worksheetParts.contains(id))
                continue;
            mSheetNames.append(xml.attributes().value(QLatin1StringView("name")).toString());
            mSheetParts.append(worksheetParts.value(id));
        }
    }
    if (xml.hasError()) {
        if (error)
            *error = QStringLiteral("工作簿目录已损坏：%1").arg(xml.errorString());
        return false;
    }
    if (!sharedStringsPart.isEmpty() && !readSharedStrings(sharedStringsPart, error))
        return false;
    if (!stylesPart.isEmpty() && !readStyles(stylesPart, error))
        return false;
    return true;
}

bool XlsxWorkbook::readSharedStrings(const QString &partName, QString *error) {
    const auto content = entry(partName, error);
    if (!content)
        return false;
    if (XlsxScanner::sharedStrings(*content, &mSharedStrings) == XlsxScanner::Result::Done) {
        for (QString &text : mSharedStrings)
            text = decodeEscapes(std::move(text));
        return true;
    }
    mSharedStrings.clear();
    QXmlStreamReader xml(*content);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"si")
            mSharedStrings.append(readStringItem(xml));
    }
    if (xml.hasError()) {
        if (error)
            *error = QStringLiteral("工作簿的共享文本已损坏：%1").arg(xml.errorString());
        return false;
    }
    return true;
}

bool XlsxWorkbook::readStyles(const QString &partName, QString *error) {
    const auto content = entry(partName, error);
    if (!content)
        return false;
    QHash<int, QString> formats;
    QXmlStreamReader xml(*content);
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == u"numFmt") {
                formats.insert(xml.attributes().value(QLatin1StringView("numFmtId")).toInt(),
                               xml.attributes().value(QLatin1StringView("formatCode")).toString());
            } else if (xml.name() == u"cellXfs") {
                inCellXfs = true;
            } else if (xml.name() == u"xf" && inCellXfs) {
                const int id = xml.attributes().value(QLatin1StringView("numFmtId")).toInt();
                mNumbers.addStyle(isDateFormat(formats.contains(id) ? -1 : id, formats.value(id)));
            }
        } else if (xml.isEndElement() && xml.name() == u"cellXfs") {
            inCellXfs = false;
        }
    }
    if (xml.hasError()) {
        if (error)
            *error = QStringLiteral("工作簿的样式表已损坏：%1").arg(xml.errorString());
        return false;
    }
    return true;
}

std::optional<Worksheet> XlsxWorkbook::readSheet(int index, QString *error) {
    if (index < 0 || index >= mSheetParts.size()) {
        if (error)
            *error = QStringLiteral("工作簿中没有这个工作表。");
        return std::nullopt;
    }
    const QString sheetName = mSheetNames.at(index);
    const auto content = entry(mSheetParts.at(index), error);
    if (!content)
        return std::nullopt;

    SheetBuilder builder;
    QString why;
    const auto scanned = XlsxScanner::sheet(*content, [&](const XlsxScanner::Cell &cell) {
        using XlsxScanner::Result;
        QString text;
        double number = 0;
        qint64 index = 0;
        if ((cell.type.isEmpty() || cell.type == "n") && cell.hasValue && plainNumber(cell.value, &number)) {
            text = !mNumbers.showsDate(cell.style) && generalForm(cell.value) ? QString::fromLatin1(cell.value)
                                                                              : mNumbers.text(number, cell.style);
        } else if (cell.type == "s" && cell.hasValue && CellText::readDigits(cell.value, &index) &&
                   index < mSharedStrings.size()) {
            text = mSharedStrings.at(index);
        } else {
            QString value;
            if (cell.hasValue && !XlsxScanner::decodeText(cell.value, &value))
                return Result::Unsupported;
            switch (
                cellText(QString::fromLatin1(cell.type), value, cell.hasValue, cell.inlineText, cell.style, &text)) {
            case CellOutcome::Empty:
                return Result::Done;
            case CellOutcome::MissingString:
                why = QStringLiteral("第%1行引用了不存在的文本。").arg(cell.row + 1);
                return Result::Failed;
            case CellOutcome::Text:
                break;
            }
        }
        if (!builder.setCell(cell.row, cell.column, text)) {
            why = QStringLiteral("单元格超出工作表范围或数据太多。");
            return Result::Failed;
        }
        return Result::Done;
    });
    switch (scanned) {
    case XlsxScanner::Result::Done:
        return builder.build(sheetName, error);
    case XlsxScanner::Result::Failed:
        if (error)
            *error = QStringLiteral("工作表“%1”已损坏：%2").arg(sheetName, why);
        return std::nullopt;
    case XlsxScanner::Result::Unsupported:
        break;
    }
    return parseSheet(*content, sheetName, error);
}

XlsxWorkbook::CellOutcome XlsxWorkbook::cellText(QStringView type, const QString &value, bool hasValue,
                                                 const QString &inlineText, qint64 style, QString *text) {
    if (type == u"inlineStr") {
        *text = inlineText;
    } else if (!hasValue) {
        return CellOutcome::Empty;
    } else if (type == u"s") {
        qint64 i = 0;
        if (!CellText::readDigits(value.trimmed().toLatin1(), &i) || i >= mSharedStrings.size())
            return CellOutcome::MissingString;
        *text = mSharedStrings.at(i);
    } else if (type == u"str") {
        *text = decodeEscapes(value);
    } else if (type == u"b") {
        *text = value.trimmed() == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    } else if (type == u"e") {
        text->clear();
    } else if (type == u"d") {
        const QDateTime moment = QDateTime::fromString(value.trimmed(), Qt::ISODate);
        *text = moment.isValid() ? CellText::fromDateTime(moment.date(), moment.time()) : value;
    } else {
        bool ok = false;
        const double number = value.trimmed().toDouble(&ok);
        *text = ok ? mNumbers.text(number, style) : value;
    }
    return CellOutcome::Text;
}

// The sheet through the XML parser: the forms the scanner leaves, and damaged parts, which it reports.
std::optional<Worksheet> XlsxWorkbook::parseSheet(const QByteArray &content, const QString &sheetName, QString *error) {
    SheetBuilder builder;
    QXmlStreamReader xml(content);
    qint64 row = -1;
    qint64 column = -1;
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("工作表“%1”已损坏：%2").arg(sheetName, why);
        return std::nullopt;
    };
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"row") {
            qint64 r = 0;
            const bool ok =
                CellText::readDigits(xml.attributes().value(QLatin1StringView("r")).trimmed().toLatin1(), &r);
            row = ok && r >= 1 ? r - 1 : row + 1;
            column = -1;
            continue;
        }
        if (xml.name() != u"c")
            continue;
        const auto attributes = xml.attributes();
        qint64 cellRow = 0;
        qint64 cellColumn = 0;
        if (CellText::readReference(attributes.value(QLatin1StringView("r")).trimmed().toLatin1(), &cellRow,
                                    &cellColumn)) {
            row = cellRow;
            column = cellColumn;
        } else {
            row = std::max<qint64>(row, 0);
            ++column;
        }
        const QString type = attributes.value(QLatin1StringView("t")).toString();
        qint64 style = 0;
        CellText::readDigits(attributes.value(QLatin1StringView("s")).trimmed().toLatin1(), &style);
        QString value;
        bool hasValue = false;
        QString inlineText;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                if (xml.name() == u"v") {
                    value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                    hasValue = true;
                } else if (xml.name() == u"is") {
                    inlineText = readStringItem(xml);
                } else {
                    xml.skipCurrentElement();
                }
            } else if (xml.isEndElement() && xml.name() == u"c") {
                break;
            }
        }
        QString text;
        switch (cellText(type, value, hasValue, inlineText, style, &text)) {
        case CellOutcome::Empty:
            continue;
        case CellOutcome::MissingString:
            return fail(QStringLiteral("第%1行引用了不存在的文本。").arg(row + 1));
        case CellOutcome::Text:
            break;
        }
        if (!builder.setCell(row, column, text))
            return fail(QStringLiteral("单元格超出工作表范围或数据太多。"));
    }
    if (xml.hasError())
        return fail(xml.errorString());
    return builder.build(sheetName, error);
}
