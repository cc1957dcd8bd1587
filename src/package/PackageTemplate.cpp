#include "package/PackageTemplate.h"

#include "package/Clauses.h"
#include "package/MarkerValues.h"
#include "package/PartText.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <pugixml.hpp>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <string>
#include <string_view>
#include <vector>

namespace PackageTemplate {

namespace {

using Pairs = QList<QPair<QString, QString>>;

using PartText::Paragraph;

// Fills the markers of the paragraphs of one XML part.
class PartFiller {
public:
    PartFiller(Format format, const MarkerValues &values, std::string wordPrefix)
        : mFormat(format)
        , mValues(values)
        , mW(std::move(wordPrefix)) {}

    int filled() const { return mFilled; }

    void finish(Paragraph &paragraph) {
        if (paragraph.text.find('[') == std::string::npos)
            return;
        struct Found {
            size_t begin, end;
            int index;
        };
        std::vector<Found> found;
        mValues.forEachMarker(paragraph.text, -1, [&](size_t begin, size_t end, int index) {
            found.push_back({begin, end, index});
        });
        if (found.empty())
            return;
        auto &segments = paragraph.segments;
        const auto segmentAt = [&](size_t offset) {
            size_t low = 0, high = segments.size();
            while (high - low > 1) {
                const size_t middle = (low + high) / 2;
                (segments[middle].begin <= offset ? low : high) = middle;
            }
            return low;
        };
        // From the right, so the offsets of the markers still to do stay valid.
        for (auto it = found.rbegin(); it != found.rend(); ++it) { // NOLINT(modernize-loop-convert): backwards
            const size_t first = segmentAt(it->begin);
            const size_t last = segmentAt(it->end - 1);
            const std::string &value = mValues.value(it->index);
            Paragraph::Segment &start = segments[first];
            if (first == last) {
                start.text.replace(it->begin - start.begin, it->end - it->begin, value);
            } else {
                start.text.resize(it->begin - start.begin);
                start.text += value;
                for (size_t k = first + 1; k < last; ++k) {
                    segments[k].text.clear();
                    segments[k].changed = true;
                }
                Paragraph::Segment &end = segments[last];
                end.text.erase(0, it->end - end.begin);
                end.changed = true;
            }
            start.changed = true;
            ++mFilled;
        }
        for (Paragraph::Segment &segment : segments) {
            if (segment.changed)
                mFormat == Format::Docx ? writeDocx(segment) : writeOdt(segment);
        }
    }

    static void setText(pugi::xml_node element, std::string_view text) {
        while (element.first_child())
            element.remove_child(element.first_child());
        if (!text.empty())
            element.append_child(pugi::node_pcdata).set_value(std::string(text).c_str());
        if (!element.attribute("xml:space"))
            element.append_attribute("xml:space") = "preserve";
    }

    void writeDocx(const Paragraph::Segment &segment) {
        const std::string_view text = segment.text;
        pugi::xml_node run = segment.node.parent();
        pugi::xml_node cursor = segment.node;
        size_t from = 0;
        for (;;) {
            const size_t brk = text.find(MarkerValues::LineBreak, from);
            const std::string_view piece = text.substr(from, brk == std::string_view::npos ? brk : brk - from);
            if (cursor == segment.node) {
                setText(cursor, piece);
            } else {
                cursor = run.insert_child_after((mW + "t").c_str(), cursor);
                setText(cursor, piece);
            }
            if (brk == std::string_view::npos)
                break;
            cursor = run.insert_child_after((mW + "br").c_str(), cursor);
            from = brk + 1;
        }
    }

    static void writeOdt(const Paragraph::Segment &segment) {
        pugi::xml_node parent = segment.node.parent();
        pugi::xml_node cursor = segment.node;
        std::string pending;
        const auto flush = [&] {
            if (pending.empty())
                return;
            if (cursor.type() == pugi::node_pcdata || cursor.type() == pugi::node_cdata) {
                cursor.set_value((std::string(cursor.value()) + pending).c_str());
            } else {
                cursor = parent.insert_child_after(pugi::node_pcdata, cursor);
                cursor.set_value(pending.c_str());
            }
            pending.clear();
        };
        const auto element = [&](const char *name) {
            flush();
            cursor = parent.insert_child_after(name, cursor);
            return cursor;
        };
        cursor.set_value("");
        const std::string &text = segment.text;
        for (size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c == MarkerValues::LineBreak) {
                element("text:line-break");
            } else if (c == '\t') {
                element("text:tab");
            } else if (c == ' ' && i + 1 < text.size() && text[i + 1] == ' ') {
                // The reader collapses spaces in text; the ones beyond the first are kept as a count.
                size_t count = 1;
                while (i + count < text.size() && text[i + count] == ' ')
                    ++count;
                pending += ' ';
                pugi::xml_node spaces = element("text:s");
                if (count > 2)
                    spaces.append_attribute("text:c") = unsigned(count - 1);
                i += count - 1;
            } else {
                pending += c;
            }
        }
        flush();
        // A marker's tail leaves its text node empty: no empty node stays behind.
        if (segment.node.value()[0] == '\0')
            parent.remove_child(segment.node);
    }

private:
    Format mFormat;
    const MarkerValues &mValues;
    std::string mW;
    int mFilled = 0;
};

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void *data, size_t size) override { out.append(static_cast<const char *>(data), size); }
};

constexpr unsigned ParseOptions = pugi::parse_full | pugi::parse_ws_pcdata;

// The paragraphs of a part that may hold a marker, in the walker's order; `blocks` tells whether one holds the
// marker of an optional clause.
std::vector<Paragraph> markedParagraphs(pugi::xml_node root, Format format, const std::string &prefix, bool *blocks) {
    std::vector<Paragraph> paragraphs;
    const auto keep = [&](Paragraph &paragraph) {
        if (paragraph.text.find("[<") == std::string::npos)
            return;
        if (blocks && !*blocks && Clauses::holdsMarker(paragraph.text))
            *blocks = true;
        paragraphs.push_back(std::move(paragraph));
    };
    PartText::Walker<decltype(keep)> walker(format, prefix, keep);
    walker.walk(root, nullptr);
    return paragraphs;
}

std::string wordPrefix(const pugi::xml_document &document, Format format) {
    return format == Format::Docx ? PartText::wordPrefixOf(document) : std::string();
}

// Fills one part; out is left empty when nothing in it changed.
// Parsed in place: xml is spoilt afterwards.
bool fillXml(std::string &xml, Format format, const MarkerValues &values, const Clauses::Values &conditions,
             std::string *out, int *filled) {
    pugi::xml_document document;
    if (!document.load_buffer_inplace(xml.data(), xml.size(), ParseOptions, pugi::encoding_utf8))
        return false;
    const std::string prefix = wordPrefix(document, format);
    bool blocks = false;
    std::vector<Paragraph> paragraphs = markedParagraphs(document, format, prefix, &blocks);
    bool changed = false;
    if (blocks) {
        // The clauses first, on the template's own text: a value that holds a block marker is only text.
        changed = Clauses::apply(format, prefix, paragraphs, conditions);
        if (changed)
            paragraphs = markedParagraphs(document, format, prefix, nullptr);
    }
    PartFiller filler(format, values, prefix);
    for (Paragraph &paragraph : paragraphs)
        filler.finish(paragraph);
    *filled += filler.filled();
    if (changed || filler.filled() > 0) {
        StringWriter writer;
        writer.out.reserve(xml.size() + xml.size() / 8);
        document.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
        *out = std::move(writer.out);
    }
    return true;
}

QString damagedText() {
    return QStringLiteral("模板文件已损坏，或不是有效的 .docx/.odt 文件，无法生成合同文档。");
}

// One archive opened from memory; the source outlives the archive so the written package can be read back.
class Package {
public:
    explicit Package(const QByteArray &bytes) {
        // An empty file is no package; libzip would not take over a buffer of no length, and it would leak.
        if (bytes.isEmpty())
            return;
        zip_error_t error;
        zip_error_init(&error);
        // The buffer source lets go of its first buffer when the changed package is written into it, whatever it
        // was told about who owns it; so it gets a copy of its own.
        void *copy = std::malloc(size_t(bytes.size()));
        if (copy)
            std::memcpy(copy, bytes.constData(), size_t(bytes.size()));
        mSource = copy ? zip_source_buffer_create(copy, zip_uint64_t(bytes.size()), 1, &error) : nullptr;
        if (!mSource)
            std::free(copy);
        if (mSource) { // NOLINT(clang-analyzer-unix.Malloc): the source owns the copy and frees it with itself
            mArchive = zip_open_from_source(mSource, 0, &error);
            if (mArchive) {
                zip_source_keep(mSource);
            } else {
                zip_source_free(mSource);
                mSource = nullptr;
            }
        }
        zip_error_fini(&error);
    }
    ~Package() {
        if (mArchive)
            zip_discard(mArchive);
        if (mSource)
            zip_source_free(mSource);
    }
    Package(const Package &) = delete;
    Package &operator=(const Package &) = delete;

    bool isOpen() const { return mArchive != nullptr; }

    std::vector<std::string> names() const {
        std::vector<std::string> names;
        const zip_int64_t count = zip_get_num_entries(mArchive, 0);
        for (zip_int64_t i = 0; i < count; ++i) {
            const char *name = zip_get_name(mArchive, zip_uint64_t(i), ZIP_FL_ENC_RAW);
            names.emplace_back(name ? name : "");
        }
        return names;
    }

    zip_int64_t indexOf(const std::string &name) const { return zip_name_locate(mArchive, name.c_str(), 0); }

    bool read(zip_int64_t index, std::string *data) const {
        zip_stat_t stat;
        if (zip_stat_index(mArchive, zip_uint64_t(index), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) ||
            stat.size > zip_uint64_t(512) * 1024 * 1024)
            return false;
        zip_file_t *file = zip_fopen_index(mArchive, zip_uint64_t(index), 0);
        if (!file)
            return false;
        data->resize(size_t(stat.size));
        const zip_int64_t got = zip_fread(file, data->data(), stat.size);
        // A read past the end tells a damaged entry (checksum, truncated data) apart from a short one.
        char extra;
        const bool ok = got == zip_int64_t(stat.size) && zip_fread(file, &extra, 1) == 0;
        zip_fclose(file);
        return ok;
    }

    bool replace(zip_int64_t index, const std::string &data) {
        zip_source_t *source = zip_source_buffer(mArchive, data.data(), data.size(), 0);
        if (!source)
            return false;
        if (zip_file_replace(mArchive, zip_uint64_t(index), source, 0) != 0) {
            zip_source_free(source);
            return false;
        }
        // The parts are read far more often than written; the fastest level costs little in size on XML.
        zip_set_file_compression(mArchive, zip_uint64_t(index), ZIP_CM_DEFLATE, 1);
        return true;
    }

    // Writes the changes into the in-memory package and returns its bytes.
    bool finish(QByteArray *bytes) {
        if (zip_close(mArchive) != 0)
            return false;
        mArchive = nullptr;
        if (zip_source_open(mSource) != 0)
            return false;
        bool ok = zip_source_seek(mSource, 0, SEEK_END) == 0;
        const zip_int64_t size = ok ? zip_source_tell(mSource) : -1;
        ok = ok && size >= 0 && zip_source_seek(mSource, 0, SEEK_SET) == 0;
        if (ok) {
            bytes->resize(qsizetype(size));
            ok = zip_source_read(mSource, bytes->data(), zip_uint64_t(size)) == size;
        }
        zip_source_close(mSource);
        return ok;
    }

private:
    zip_source_t *mSource = nullptr;
    zip_t *mArchive = nullptr;
};

std::string folderOf(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The main part of a WordprocessingML package, as its relationships name it.
std::string docxMainPart(const Package &package) {
    std::string fallback = "word/document.xml";
    const zip_int64_t rels = package.indexOf("_rels/.rels");
    std::string xml;
    if (rels < 0 || !package.read(rels, &xml))
        return fallback;
    pugi::xml_document document;
    if (!document.load_buffer(xml.data(), xml.size()))
        return fallback;
    for (pugi::xml_node relation : document.document_element().children("Relationship")) {
        const std::string_view type = relation.attribute("Type").value();
        if (type.size() >= 15 && type.substr(type.size() - 15) == "/officeDocument") {
            std::string target = relation.attribute("Target").value();
            while (!target.empty() && target.front() == '/')
                target.erase(0, 1);
            return target.empty() ? fallback : target;
        }
    }
    return fallback;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The parts that hold text a user can put a marker in; the main part first.
std::vector<std::string> textParts(const Package &package, Format format, std::string *mainPart) {
    const std::vector<std::string> names = package.names();
    std::vector<std::string> parts;
    if (format == Format::Odt) {
        *mainPart = "content.xml";
        parts = {"content.xml"};
        // Page headers and footers live with the page styles.
        for (const std::string &name : names) {
            if (name == "styles.xml")
                parts.push_back(name);
        }
        return parts;
    }
    *mainPart = docxMainPart(package);
    parts = {*mainPart};
    const std::string folder = folderOf(*mainPart);
    for (const std::string &name : names) {
        if (!startsWith(name, folder) || !endsWith(name, ".xml"))
            continue;
        const std::string_view file = std::string_view(name).substr(folder.size());
        if (file.find('/') != std::string_view::npos)
            continue;
        if (startsWith(file, "header") || startsWith(file, "footer") || file == "footnotes.xml" ||
            file == "endnotes.xml")
            parts.push_back(name);
    }
    return parts;
}

// The new document is written under a temporary name in the target's folder and then renamed over the target,
// so the target is either the old file or the whole new one. No flush to the disk is forced: the office's own save
// does not force one either, and it would cost more than the whole filling.
bool writeBeside(const QString &target, const QByteArray &bytes, QString *error) {
    const QFileInfo info(target);
    QTemporaryFile temporary(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX"));
    if (!temporary.open() || temporary.write(bytes) != bytes.size() || !temporary.flush()) {
        *error = QStringLiteral("写入合同文档发生错误：%1").arg(temporary.errorString());
        return false;
    }
    // A temporary file is private to its owner; a document gets the permissions of any file the user saves.
    temporary.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    if (std::rename(QFile::encodeName(temporary.fileName()).constData(), QFile::encodeName(target).constData()) != 0) {
        *error = QStringLiteral("写入合同文档发生错误：%1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    temporary.setAutoRemove(false);
    return true;
}

// The values conditions test; without them, what the pairs fill in (a marker's value with its unit).
Clauses::Values conditionValues(const Pairs &pairs, const QHash<QString, QString> &conditions) {
    if (!conditions.isEmpty() || pairs.isEmpty())
        return Clauses::Values(conditions);
    QHash<QString, QString> fromPairs;
    for (const auto &pair : pairs) {
        const QString &marker = pair.first;
        if (marker.startsWith(QLatin1String("[<")) && marker.endsWith(QLatin1String(">]")))
            fromPairs.insert(marker.mid(2, marker.size() - 4), pair.second);
    }
    return Clauses::Values(fromPairs);
}

// What filling needs of a template, read once: its bytes and its text parts unpacked.
struct Opened {
    QString path;
    Format format = Format::None;
    QByteArray bytes;
    std::vector<std::pair<std::string, std::string>> parts; // name, XML
    QString error;                                          // the template cannot be filled: why
};

void openTemplate(Opened &opened) {
    opened.format = formatOf(opened.path);
    if (opened.format == Format::None) {
        opened.error = QStringLiteral("模板文件的格式无法直接填写：%1").arg(QFileInfo(opened.path).fileName());
        return;
    }
    QFile file(opened.path);
    if (!file.open(QIODevice::ReadOnly)) {
        opened.error = QStringLiteral("无法读取模板文件：%1").arg(file.errorString());
        return;
    }
    opened.bytes = file.readAll();
    file.close();

    const Package package(opened.bytes);
    if (!package.isOpen()) {
        opened.error = damagedText();
        return;
    }
    std::string mainPart;
    const std::vector<std::string> parts = textParts(package, opened.format, &mainPart);
    if (package.indexOf(mainPart) < 0) {
        opened.error =
            QStringLiteral("模板文件缺少文档正文（%1），无法生成合同文档。").arg(QString::fromStdString(mainPart));
        return;
    }
    for (const std::string &part : parts) {
        std::string xml;
        if (!package.read(package.indexOf(part), &xml)) {
            opened.error = damagedText();
            return;
        }
        opened.parts.emplace_back(part, std::move(xml));
    }
}

Result fillOpened(const Opened &opened, const QString &outputPath, const Pairs &pairs,
                  const QHash<QString, QString> &conditions) {
    Result result;
    if (!opened.error.isEmpty()) {
        result.error = opened.error;
        return result;
    }
    Package package(opened.bytes);
    if (!package.isOpen()) {
        result.error = damagedText();
        return result;
    }
    const MarkerValues values(pairs);
    const Clauses::Values clauseValues = conditionValues(pairs, conditions);
    std::list<std::string> written; // the archive reads them when it is closed
    std::string xml;
    for (const auto &[part, templateXml] : opened.parts) {
        // Parsed in place, so each document gets a copy of the template's part.
        xml = templateXml;
        std::string filled;
        if (!fillXml(xml, opened.format, values, clauseValues, &filled, &result.filled)) {
            result.error = QStringLiteral("模板文件的内容已损坏（%1 不是有效的 XML），无法生成合同文档。")
                               .arg(QString::fromStdString(part));
            return result;
        }
        if (filled.empty())
            continue;
        written.push_back(std::move(filled));
        if (!package.replace(package.indexOf(part), written.back())) {
            result.error = damagedText();
            return result;
        }
    }

    QByteArray output;
    if (!package.finish(&output)) {
        result.error = QStringLiteral("写入合同文档发生错误。");
        return result;
    }
    if (!writeBeside(outputPath, output, &result.error))
        return result;
    result.ok = true;
    return result;
}

Result verifyPackage(const QString &path) {
    Result result;
    const Format format = formatOf(path);
    QFile file(path);
    if (format == Format::None || !file.open(QIODevice::ReadOnly)) {
        result.error =
            format == Format::None ? damagedText() : QStringLiteral("无法读取模板文件：%1").arg(file.errorString());
        return result;
    }
    const Package package(file.readAll());
    if (!package.isOpen()) {
        result.error = damagedText();
        return result;
    }
    std::string mainPart;
    for (const std::string &part : textParts(package, format, &mainPart)) {
        const zip_int64_t index = package.indexOf(part);
        std::string xml;
        pugi::xml_document document;
        if (index < 0 || !package.read(index, &xml) || !document.load_buffer(xml.data(), xml.size())) {
            result.error = damagedText();
            return result;
        }
    }
    result.ok = true;
    return result;
}

} // namespace

Result verify(const QString &path) {
    try {
        return verifyPackage(path);
    } catch (const std::exception &) {
        Result result;
        result.error = damagedText();
        return result;
    }
}

Format formatOf(const QString &path) {
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(QLatin1String("docx"), Qt::CaseInsensitive) == 0)
        return Format::Docx;
    if (suffix.compare(QLatin1String("odt"), Qt::CaseInsensitive) == 0)
        return Format::Odt;
    return Format::None;
}

namespace {

Result outOfMemory() {
    Result result;
    result.error = QStringLiteral("生成合同文档时内存不足。");
    return result;
}

} // namespace

Result fill(const QString &templatePath, const QString &outputPath, const Pairs &pairs,
            const QHash<QString, QString> &conditions) {
    try {
        Opened opened;
        opened.path = templatePath;
        openTemplate(opened);
        return fillOpened(opened, outputPath, pairs, conditions);
    } catch (const std::exception &) {
        return outOfMemory();
    }
}

struct Prepared::Data : Opened {};

Prepared::Prepared(const QString &templatePath)
    : d(std::make_unique<Data>()) {
    d->path = templatePath;
    try {
        openTemplate(*d);
    } catch (const std::exception &) {
        d->parts.clear();
        d->bytes.clear();
        d->error = outOfMemory().error;
    }
}

Prepared::~Prepared() = default;

const QString &Prepared::templatePath() const {
    return d->path;
}

Result Prepared::fill(const QString &outputPath, const Pairs &pairs, const QHash<QString, QString> &conditions) const {
    try {
        return fillOpened(*d, outputPath, pairs, conditions);
    } catch (const std::exception &) {
        return outOfMemory();
    }
}

bool fillPart(QByteArray &xml, Format format, const Pairs &pairs, int *filled, QString *error,
              const QHash<QString, QString> &conditions) {
    try {
        const MarkerValues values(pairs);
        const Clauses::Values clauseValues = conditionValues(pairs, conditions);
        std::string out;
        int count = 0;
        std::string text(xml.constData(), size_t(xml.size()));
        if (!fillXml(text, format, values, clauseValues, &out, &count)) {
            if (error)
                *error = QStringLiteral("不是有效的 XML");
            return false;
        }
        if (!out.empty())
            xml = QByteArray(out.data(), qsizetype(out.size()));
        if (filled)
            *filled = count;
        return true;
    } catch (const std::exception &) {
        if (error)
            *error = QStringLiteral("内存不足");
        return false;
    }
}

QString settleClauses(const QString &text, const QHash<QString, QString> &conditions) {
    if (!text.contains(QLatin1String("[<")) || !Clauses::holdsMarker(text.toStdString()))
        return text;
    QByteArray xml = "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                     "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:text>";
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines)
        xml += "<text:p>" + line.toHtmlEscaped().toUtf8() + "</text:p>";
    xml += "</office:text></office:body></office:document-content>";
    if (!fillPart(xml, Format::Odt, {}, nullptr, nullptr, conditions))
        return text;
    pugi::xml_document document;
    if (!document.load_buffer(xml.constData(), size_t(xml.size()), ParseOptions))
        return text;
    QStringList settled;
    for (pugi::xml_node p : document.document_element().child("office:body").child("office:text").children()) {
        std::string line;
        for (pugi::xml_node piece : p.children())
            line += piece.value();
        settled << QString::fromStdString(line);
    }
    return settled.join(QLatin1Char('\n'));
}

} // namespace PackageTemplate
