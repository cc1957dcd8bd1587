#include "exchange/workbook/XlsxScanner.h"

#include "exchange/workbook/CellText.h"

#include <QVarLengthArray>

#include <cstring>
#include <string_view>

namespace XlsxScanner {

namespace {

// XML character data as UTF-8 (entities decoded, line ends normalised), appended to out; false when it holds
// anything the scanner does not understand.
bool decodeBytes(QByteArrayView raw, QByteArray *out);

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

const char *skipSpace(const char *p, const char *end) {
    while (p < end && isSpace(*p))
        ++p;
    return p;
}

bool startsWith(const char *p, const char *end, const char *text, size_t length) {
    return size_t(end - p) >= length && std::memcmp(p, text, length) == 0;
}

template <size_t N> bool startsWith(const char *p, const char *end, const char (&text)[N]) {
    return startsWith(p, end, text, N - 1);
}

// p points at '<': is this the start tag of the unprefixed element name?
template <size_t N> bool isTag(const char *p, const char *end, const char (&name)[N]) {
    constexpr size_t length = N - 1;
    if (size_t(end - p) < length + 2 || std::memcmp(p + 1, name, length) != 0)
        return false;
    const char next = p[1 + length];
    return isSpace(next) || next == '>' || next == '/';
}

const char *find(const char *p, const char *end, const char *text, size_t length) {
    if (length == 0 || end - p < qint64(length))
        return nullptr;
    const void *at = memmem(p, size_t(end - p), text, length);
    return static_cast<const char *>(at);
}

// Comparison with a literal, inline: the scan makes it for every tag and attribute.
template <size_t N> bool is(QByteArrayView text, const char (&literal)[N]) {
    return text.size() == qsizetype(N - 1) && std::memcmp(text.data(), literal, N - 1) == 0;
}

// XML names as spreadsheet parts use them: ASCII letters, digits, '_', ':', '.', '-' and any non-ASCII letter.
bool isName(QByteArrayView name) {
    if (name.isEmpty())
        return false;
    const uchar first = uchar(name.front());
    if (!((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z') || first == '_' || first == ':' ||
          first >= 0x80))
        return false;
    for (const char c : name) {
        const uchar u = uchar(c);
        if (!((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' || u == ':' ||
              u == '.' || u == '-' || u >= 0x80))
            return false;
    }
    return true;
}

// The namespace prefixes the part declares on its root element (xml and xmlns always exist). A name with a
// prefix nobody declared is an error for the parser, so the scan does not accept it either.
struct Prefixes {
    bool any = false; // while the root's own declarations are being collected
    QVarLengthArray<QByteArrayView, 16> declared{QByteArrayView("xml"), QByteArrayView("xmlns")};

    bool known(QByteArrayView name) const {
        if (any)
            return true;
        const void *found = std::memchr(name.data(), ':', size_t(name.size()));
        if (!found)
            return true;
        const qsizetype colon = static_cast<const char *>(found) - name.data();
        const QByteArrayView prefix = name.first(colon);
        if (prefix.isEmpty() || colon + 1 >= name.size() || name.sliced(colon + 1).contains(':'))
            return false;
        return std::find(declared.begin(), declared.end(), prefix) != declared.end();
    }
};

struct Attribute {
    QByteArrayView name;
    QByteArrayView value;
};

// Reads the attributes of a start tag from just after its name to its '>'. Returns the position after the tag,
// or nullptr for a tag the scanner does not understand.
template <typename Visit>
const char *attributes(const char *p, const char *end, const Prefixes &prefixes, bool *selfClosing, Visit visit) {
    for (;;) {
        p = skipSpace(p, end);
        if (p >= end)
            return nullptr;
        if (*p == '>') {
            *selfClosing = false;
            return p + 1;
        }
        if (*p == '/') {
            if (p + 1 >= end || p[1] != '>')
                return nullptr;
            *selfClosing = true;
            return p + 2;
        }
        const char *nameStart = p;
        while (p < end && *p != '=' && !isSpace(*p) && *p != '>' && *p != '/')
            ++p;
        const QByteArrayView name(nameStart, p - nameStart);
        if (!isName(name) || !prefixes.known(name))
            return nullptr;
        p = skipSpace(p, end);
        if (p >= end || *p != '=')
            return nullptr;
        p = skipSpace(p + 1, end);
        if (p >= end || (*p != '"' && *p != '\''))
            return nullptr;
        const char quote = *p++;
        const char *valueStart = p;
        const void *close = std::memchr(p, quote, size_t(end - p));
        if (!close)
            return nullptr;
        p = static_cast<const char *>(close);
        const QByteArrayView value(valueStart, p - valueStart);
        bool entity = false;
        for (const char c : value) {
            if (c == '<')
                return nullptr;
            entity = entity || c == '&';
        }
        if (entity) {
            QByteArray ignored;
            if (!decodeBytes(value, &ignored))
                return nullptr;
        }
        visit(name, value);
        ++p;
    }
}

const char *skipAttributes(const char *p, const char *end, const Prefixes &prefixes, bool *selfClosing) {
    return attributes(p, end, prefixes, selfClosing, [](QByteArrayView, QByteArrayView) {});
}

bool isRunElement(std::string_view name) {
    switch (name.size()) {
    case 1:
        return name == "r" || name == "b" || name == "i" || name == "u";
    case 2:
        return name == "sz";
    case 3:
        return name == "rPr";
    case 5:
        return name == "color" || name == "rFont";
    case 6:
        return name == "strike" || name == "extend" || name == "shadow" || name == "family" || name == "scheme";
    case 7:
        return name == "outline" || name == "charset";
    case 8:
        return name == "condense";
    case 9:
        return name == "vertAlign";
    case 10:
        return name == "phoneticPr";
    default:
        return false;
    }
}

// The text of a string item (<si> or <is>) from p, just after its start tag, to its end tag </element>: the <t>
// elements, also those of rich-text runs, without phonetic hints. Returns the position after the end tag, or
// nullptr.
const char *stringItem(const char *p, const char *end, const Prefixes &prefixes, QByteArrayView element,
                       QByteArray *text) {
    // Open elements, so that end tags are checked as the parser would; phonetic hints are left out.
    QVarLengthArray<QByteArrayView, 8> open;
    int phonetic = 0;
    for (;;) {
        const char *tag = skipSpace(p, end);
        if (tag >= end || *tag != '<')
            return nullptr;
        p = tag;
        const bool closing = p + 1 < end && p[1] == '/';
        const char *nameStart = p + 1 + (closing ? 1 : 0);
        const char *nameEnd = nameStart;
        while (nameEnd < end && !isSpace(*nameEnd) && *nameEnd != '>' && *nameEnd != '/')
            ++nameEnd;
        const QByteArrayView name(nameStart, nameEnd - nameStart);
        if (!prefixes.known(name))
            return nullptr;
        if (closing) {
            const char *close = skipSpace(nameEnd, end);
            if (close >= end || *close != '>')
                return nullptr;
            if (open.isEmpty() && name == element)
                return close + 1;
            if (open.isEmpty() || open.last() != name)
                return nullptr;
            open.removeLast();
            if (is(name, "rPh"))
                --phonetic;
            p = close + 1;
            continue;
        }
        bool selfClosing = false;
        if (is(name, "t")) {
            p = skipAttributes(nameEnd, end, prefixes, &selfClosing);
            if (!p)
                return nullptr;
            if (selfClosing)
                continue;
            const void *close = std::memchr(p, '<', size_t(end - p));
            if (!close || !startsWith(static_cast<const char *>(close), end, "</t>"))
                return nullptr;
            const char *textEnd = static_cast<const char *>(close);
            if (phonetic == 0 && !decodeBytes(QByteArrayView(p, textEnd - p), text))
                return nullptr;
            p = textEnd + 4;
            continue;
        }
        // Runs and their formatting carry no text of their own.
        if (!is(name, "rPh") && !isRunElement(std::string_view(name.data(), size_t(name.size()))))
            return nullptr;
        p = skipAttributes(nameEnd, end, prefixes, &selfClosing);
        if (!p)
            return nullptr;
        if (!selfClosing) {
            open.append(name);
            if (is(name, "rPh"))
                ++phonetic;
        }
    }
}

// The whole part is UTF-8 without the control characters XML forbids; otherwise the parser has the last word.
bool cleanBytes(const QByteArray &xml) {
    const auto *p = reinterpret_cast<const uchar *>(xml.constData());
    const auto *end = p + xml.size();
    while (p < end) {
        // Eight plain ASCII characters at a time: no high bit set and no byte below 0x20.
        if (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, sizeof word);
            constexpr quint64 High = 0x8080808080808080ULL;
            // With no high bit set, adding 0x60 to a byte carries into its high bit exactly when it is 0x20 or more.
            if ((word & High) == 0 && ((word + 0x6060606060606060ULL) & High) == High) {
                p += 8;
                continue;
            }
        }
        const uchar c = *p;
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                return false;
            ++p;
            continue;
        }
        int length = 0;
        char32_t code = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07;
        } else {
            return false;
        }
        if (end - p < length)
            return false;
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
            (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF)
            return false;
        p += length;
    }
    return true;
}

// Walks plain elements (start, end and empty tags, character data between them) from p until the text at p starts
// with stop at the given nesting depth; checks that end tags match. Returns the position of stop, or nullptr.
const char *walkElements(const char *p, const char *end, const Prefixes &prefixes, QList<QByteArrayView> *open,
                         QByteArrayView stop) {
    for (;;) {
        p = skipSpace(p, end);
        if (p < end && *p != '<' && !open->isEmpty()) {
            // Character data such as page headers: checked, not kept.
            const void *next = std::memchr(p, '<', size_t(end - p));
            QByteArray ignored;
            if (!next || !decodeBytes(QByteArrayView(p, static_cast<const char *>(next) - p), &ignored))
                return nullptr;
            p = static_cast<const char *>(next);
        }
        if (p >= end || *p != '<')
            return nullptr;
        if (QByteArrayView(p, end - p).startsWith(stop))
            return p;
        const char *nameStart = p + 1 + (p + 1 < end && p[1] == '/');
        const char *nameEnd = nameStart;
        while (nameEnd < end && !isSpace(*nameEnd) && *nameEnd != '>' && *nameEnd != '/')
            ++nameEnd;
        const QByteArrayView name(nameStart, nameEnd - nameStart);
        if (!isName(name) || !prefixes.known(name))
            return nullptr;
        if (p[1] == '/') {
            const char *close = skipSpace(nameEnd, end);
            if (close >= end || *close != '>' || open->isEmpty() || open->last() != name)
                return nullptr;
            open->removeLast();
            p = close + 1;
            continue;
        }
        bool selfClosing = false;
        p = skipAttributes(nameEnd, end, prefixes, &selfClosing);
        if (!p)
            return nullptr;
        if (!selfClosing)
            open->append(name);
    }
}

// The prefixes the root element declares; p is just after the root's name.
bool collectPrefixes(const char *p, const char *end, Prefixes *prefixes) {
    prefixes->any = true;
    bool selfClosing = false;
    QVarLengthArray<QByteArrayView, 16> found;
    const bool ok = attributes(p, end, *prefixes, &selfClosing, [&](QByteArrayView name, QByteArrayView) {
        if (name.startsWith("xmlns:"))
            found.append(name.sliced(6));
    });
    prefixes->any = false;
    for (const QByteArrayView prefix : found)
        prefixes->declared.append(prefix);
    return ok;
}

// The prolog may declare UTF-8 only; no DOCTYPE (entities) and no comments before the root.
const char *afterProlog(const QByteArray &xml) {
    const char *p = xml.constData();
    const char *end = p + xml.size();
    if (startsWith(p, end, "\xEF\xBB\xBF"))
        p += 3;
    if (startsWith(p, end, "<?xml") && p + 5 < end && (isSpace(p[5]) || p[5] == '?')) {
        const char *close = find(p, end, "?>", 2);
        if (!close)
            return nullptr;
        // version="1.x", then optionally encoding (UTF-8 only) and standalone, in this order.
        const char *at = p + 5;
        int next = 0;
        while (at < close) {
            const char *nameStart = skipSpace(at, close);
            if (nameStart == close)
                break;
            if (nameStart == at)
                return nullptr;
            const char *nameEnd = nameStart;
            while (nameEnd < close && *nameEnd != '=' && !isSpace(*nameEnd))
                ++nameEnd;
            const QByteArrayView name(nameStart, nameEnd - nameStart);
            const char *quote = skipSpace(nameEnd, close);
            if (quote >= close || *quote != '=')
                return nullptr;
            quote = skipSpace(quote + 1, close);
            if (quote >= close || (*quote != '"' && *quote != '\''))
                return nullptr;
            const void *valueEnd = std::memchr(quote + 1, *quote, size_t(close - quote - 1));
            if (!valueEnd)
                return nullptr;
            const QByteArrayView value(quote + 1, static_cast<const char *>(valueEnd) - quote - 1);
            if (next == 0 && name == "version" && value.startsWith("1.") && value.size() > 2) {
                next = 1;
            } else if (next == 1 && name == "encoding" &&
                       value.compare(QByteArrayView("utf-8"), Qt::CaseInsensitive) == 0) {
                next = 2;
            } else if (next >= 1 && next <= 2 && name == "standalone" && (value == "yes" || value == "no")) {
                next = 3;
            } else {
                return nullptr;
            }
            at = static_cast<const char *>(valueEnd) + 1;
        }
        if (next == 0)
            return nullptr;
        p = close + 2;
    }
    p = skipSpace(p, end);
    if (p >= end || *p != '<' || p + 1 >= end || p[1] == '!' || p[1] == '?')
        return nullptr;
    return p;
}

// The document ends with the given closing tag of its root.
bool endsWith(const QByteArray &xml, QByteArrayView closing) {
    qsizetype end = xml.size();
    while (end > 0 && isSpace(xml.at(end - 1)))
        --end;
    return QByteArrayView(xml).first(end).endsWith(closing);
}

bool appendUtf8(char32_t code, QByteArray *out) {
    // Only what XML allows as a character.
    const bool allowed = code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
                         (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
    if (!allowed)
        return false;
    if (code < 0x80) {
        *out += char(code);
    } else if (code < 0x800) {
        *out += char(0xC0 | (code >> 6));
        *out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out += char(0xE0 | (code >> 12));
        *out += char(0x80 | ((code >> 6) & 0x3F));
        *out += char(0x80 | (code & 0x3F));
    } else {
        *out += char(0xF0 | (code >> 18));
        *out += char(0x80 | ((code >> 12) & 0x3F));
        *out += char(0x80 | ((code >> 6) & 0x3F));
        *out += char(0x80 | (code & 0x3F));
    }
    return true;
}

bool decodeBytes(QByteArrayView raw, QByteArray *out) {
    const char *p = raw.data();
    const char *end = p + raw.size();
    bool plain = true;
    for (const char *q = p; q < end; ++q) {
        const uchar c = uchar(*q);
        if (c == '&' || c == '\r' || (c < 0x20 && c != '\t' && c != '\n')) {
            plain = false;
            break;
        }
    }
    if (plain) {
        out->append(raw);
        return true;
    }
    out->reserve(out->size() + raw.size());
    while (p < end) {
        const uchar c = uchar(*p);
        if (c == '&') {
            const void *semicolon = std::memchr(p, ';', size_t(std::min<qint64>(end - p, 12)));
            if (!semicolon)
                return false;
            const QByteArrayView entity(p + 1, static_cast<const char *>(semicolon) - p - 1);
            p = static_cast<const char *>(semicolon) + 1;
            if (entity == "lt") {
                *out += '<';
            } else if (entity == "gt") {
                *out += '>';
            } else if (entity == "amp") {
                *out += '&';
            } else if (entity == "quot") {
                *out += '"';
            } else if (entity == "apos") {
                *out += '\'';
            } else if (entity.startsWith('#') && entity.size() > 1) {
                bool ok = false;
                const uint code = entity[1] == 'x' ? entity.sliced(2).toByteArray().toUInt(&ok, 16)
                                                   : entity.sliced(1).toByteArray().toUInt(&ok, 10);
                if (!ok || (entity[1] != 'x' && !(entity[1] >= '0' && entity[1] <= '9')))
                    return false;
                if (!appendUtf8(char32_t(code), out))
                    return false;
            } else {
                return false;
            }
        } else if (c == '\r') {
            // XML reads a line end as a single line feed.
            *out += '\n';
            ++p;
            if (p < end && *p == '\n')
                ++p;
        } else if (c < 0x20 && c != '\t' && c != '\n') {
            return false;
        } else {
            *out += char(c);
            ++p;
        }
    }
    return true;
}

} // namespace

bool decodeText(QByteArrayView raw, QString *text) {
    QByteArray bytes;
    if (!decodeBytes(raw, &bytes))
        return false;
    text->append(QString::fromUtf8(bytes));
    return true;
}

Result sharedStrings(const QByteArray &xml, QStringList *strings) {
    const char *p = cleanBytes(xml) ? afterProlog(xml) : nullptr;
    const char *end = xml.constData() + xml.size();
    Prefixes prefixes;
    if (!p || !isTag(p, end, "sst") || !endsWith(xml, "</sst>") || !collectPrefixes(p + 4, end, &prefixes))
        return Result::Unsupported;
    bool selfClosing = false;
    p = skipAttributes(p + 4, end, prefixes, &selfClosing);
    if (!p)
        return Result::Unsupported;
    if (selfClosing)
        return Result::Done;
    QByteArray bytes;
    for (;;) {
        p = skipSpace(p, end);
        if (p >= end || *p != '<')
            return Result::Unsupported;
        if (startsWith(p, end, "</sst>"))
            return skipSpace(p + 6, end) == end ? Result::Done : Result::Unsupported;
        if (!isTag(p, end, "si"))
            return Result::Unsupported;
        p = skipAttributes(p + 3, end, prefixes, &selfClosing);
        if (!p)
            return Result::Unsupported;
        // One buffer for all items: each item's text is made once, from its UTF-8 bytes.
        bytes.resize(0);
        if (!selfClosing) {
            p = stringItem(p, end, prefixes, "si", &bytes);
            if (!p)
                return Result::Unsupported;
        }
        strings->append(QString::fromUtf8(bytes));
    }
}

namespace {

// Where the scan stands in the sheet data: the row and column of the last cell, which a cell without a reference
// follows.
struct Position {
    qint64 row = -1;
    qint64 column = -1;
    bool inRow = false;
};

// From the part's start to just after the <sheetData> start tag, through the elements before it; nullptr when the
// part is not a plain worksheet. empty tells an empty <sheetData/>.
const char *sheetDataStart(const QByteArray &xml, Prefixes *prefixes, QList<QByteArrayView> *open, bool *empty) {
    const char *p = cleanBytes(xml) ? afterProlog(xml) : nullptr;
    const char *end = xml.constData() + xml.size();
    if (!p || !isTag(p, end, "worksheet") || !endsWith(xml, "</worksheet>") || !collectPrefixes(p + 10, end, prefixes))
        return nullptr;
    // The elements around the cells are walked through too, so that the scan accepts only what the parser would.
    p = walkElements(p, end, *prefixes, open, "<sheetData");
    if (!p || open->size() != 1 || !isTag(p, end, "sheetData"))
        return nullptr;
    return skipAttributes(p + 10, end, *prefixes, empty);
}

// The elements after the sheet data, up to the end of the part.
Result afterSheetData(const char *p, const char *end, const Prefixes &prefixes, QList<QByteArrayView> *open) {
    const char *last = walkElements(p, end, prefixes, open, "</worksheet>");
    return last && open->size() == 1 && skipSpace(last + 12, end) == end ? Result::Done : Result::Unsupported;
}

// A <row> start tag at p: its number, or the one after the last row's. Returns the position after the tag, or
// nullptr.
const char *rowStart(const char *p, const char *end, const Prefixes &prefixes, Position *at) {
    bool understood = true;
    qint64 number = 0;
    bool hasNumber = false;
    bool selfClosing = false;
    p = attributes(p + 4, end, prefixes, &selfClosing, [&](QByteArrayView name, QByteArrayView value) {
        if (is(name, "r")) {
            hasNumber = true;
            understood = CellText::readDigits(value, &number);
        }
    });
    if (!p || !understood)
        return nullptr;
    at->row = hasNumber && number >= 1 ? number - 1 : at->row + 1;
    at->column = -1;
    at->inRow = !selfClosing;
    return p;
}

// A <c> start tag at p: the cell's place (its reference, or the one after the last cell), type and style. Returns
// the position after the tag, or nullptr.
const char *cellStart(const char *p, const char *end, const Prefixes &prefixes, Position *at, Cell *cell,
                      bool *selfClosing) {
    bool understood = true;
    bool hasReference = false;
    bool hasType = false;
    bool hasStyle = false;
    qint64 cellRow = 0;
    qint64 cellColumn = 0;
    cell->type = {};
    cell->style = 0;
    cell->hasValue = false;
    cell->value = {};
    cell->hasInline = false;
    cell->inlineText.clear();
    p = attributes(p + 2, end, prefixes, selfClosing, [&](QByteArrayView name, QByteArrayView value) {
        if (is(name, "r")) {
            understood = understood && !hasReference && CellText::readReference(value, &cellRow, &cellColumn);
            hasReference = true;
        } else if (is(name, "t")) {
            understood = understood && !hasType;
            hasType = true;
            cell->type = value;
        } else if (is(name, "s")) {
            understood = understood && !hasStyle && CellText::readDigits(value, &cell->style);
            hasStyle = true;
        }
    });
    if (!p || !understood)
        return nullptr;
    if (hasReference) {
        at->row = cellRow;
        at->column = cellColumn;
    } else {
        at->row = std::max<qint64>(at->row, 0);
        ++at->column;
    }
    cell->row = at->row;
    cell->column = at->column;
    return p;
}

// A child element of character data only (<v>, <f>) at p, whose name has nameLength characters: its raw bytes
// (empty for an empty element). Returns the position after its end tag, or nullptr.
template <size_t N>
const char *textChild(const char *p, const char *end, const Prefixes &prefixes, size_t nameLength,
                      const char (&closing)[N], QByteArrayView *text) {
    bool closed = false;
    p = skipAttributes(p + 1 + nameLength, end, prefixes, &closed);
    if (!p)
        return nullptr;
    *text = {};
    if (closed)
        return p;
    const void *close = std::memchr(p, '<', size_t(end - p));
    if (!close || !startsWith(static_cast<const char *>(close), end, closing))
        return nullptr;
    *text = QByteArrayView(p, static_cast<const char *>(close) - p);
    return static_cast<const char *>(close) + N - 1;
}

// An <is> element at p: the cell's inline text. Returns the position after its end tag, or nullptr.
const char *inlineString(const char *p, const char *end, const Prefixes &prefixes, Cell *cell) {
    bool closed = false;
    p = skipAttributes(p + 3, end, prefixes, &closed);
    if (!p)
        return nullptr;
    cell->hasInline = true;
    if (closed)
        return p;
    QByteArray text;
    p = stringItem(p, end, prefixes, "is", &text);
    if (p)
        cell->inlineText = QString::fromUtf8(text);
    return p;
}

// The children of a <c> element from p up to and including its end tag: the value, the inline text and the
// formula (passed over). Returns the position after </c>, or nullptr.
const char *cellContent(const char *p, const char *end, const Prefixes &prefixes, Cell *cell) {
    for (;;) {
        p = skipSpace(p, end);
        if (p >= end || *p != '<')
            return nullptr;
        if (startsWith(p, end, "</c>"))
            return p + 4;
        if (isTag(p, end, "v")) {
            cell->hasValue = true;
            p = textChild(p, end, prefixes, 1, "</v>", &cell->value);
        } else if (isTag(p, end, "f")) {
            QByteArrayView formula;
            p = textChild(p, end, prefixes, 1, "</f>", &formula);
        } else if (isTag(p, end, "is")) {
            p = inlineString(p, end, prefixes, cell);
        } else {
            return nullptr;
        }
        if (!p)
            return nullptr;
    }
}

} // namespace

Result sheet(const QByteArray &xml, const std::function<Result(const Cell &)> &visit) {
    const char *end = xml.constData() + xml.size();
    Prefixes prefixes;
    QList<QByteArrayView> open;
    bool empty = false;
    const char *p = sheetDataStart(xml, &prefixes, &open, &empty);
    if (!p)
        return Result::Unsupported;
    if (empty)
        return afterSheetData(p, end, prefixes, &open);
    Position at;
    Cell cell;
    for (;;) {
        p = skipSpace(p, end);
        if (p >= end || *p != '<')
            return Result::Unsupported;
        if (startsWith(p, end, "</sheetData>"))
            return at.inRow ? Result::Unsupported : afterSheetData(p + 12, end, prefixes, &open);
        if (startsWith(p, end, "</row>")) {
            if (!at.inRow)
                return Result::Unsupported;
            at.inRow = false;
            p += 6;
        } else if (isTag(p, end, "row")) {
            if (at.inRow)
                return Result::Unsupported;
            p = rowStart(p, end, prefixes, &at);
        } else {
            if (!at.inRow || !isTag(p, end, "c"))
                return Result::Unsupported;
            bool selfClosing = false;
            p = cellStart(p, end, prefixes, &at, &cell, &selfClosing);
            if (p && !selfClosing)
                p = cellContent(p, end, prefixes, &cell);
            if (!p)
                return Result::Unsupported;
            if (const Result result = visit(cell); result != Result::Done)
                return result;
        }
        if (!p)
            return Result::Unsupported;
    }
}

} // namespace XlsxScanner
