#include "package/TemplateCheck.h"

#include "package/Clauses.h"
#include "package/PackageTemplate.h"
#include "package/PartText.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include <pugixml.hpp>
#include <zip.h>

#include <cstring>
#include <string>

namespace {

std::string readEntry(zip_t *archive, const char *name, bool *ok) {
    *ok = false;
    zip_stat_t stat;
    if (zip_stat(archive, name, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) ||
        stat.size > zip_uint64_t(512) * 1024 * 1024)
        return {};
    zip_file_t *file = zip_fopen(archive, name, 0);
    if (!file)
        return {};
    std::string data(size_t(stat.size), '\0');
    *ok = zip_fread(file, data.data(), stat.size) == zip_int64_t(stat.size);
    zip_fclose(file);
    return data;
}

bool named(const pugi::xml_node &node, const char *localName) {
    const char *name = node.name();
    const char *colon = std::strrchr(name, ':');
    return std::strcmp(colon ? colon + 1 : name, localName) == 0;
}

// Where a paragraph stands, from its ancestors.
QString placeOf(pugi::xml_node node, const QString &partPlace) {
    for (pugi::xml_node n = node.parent(); n; n = n.parent()) {
        if (named(n, "txbxContent") || named(n, "text-box"))
            return QStringLiteral("文本框");
        if (named(n, "footnote") ||
            (named(n, "note") && std::strcmp(n.attribute("text:note-class").value(), "endnote") != 0))
            return QStringLiteral("脚注");
        if (named(n, "endnote") || named(n, "note"))
            return QStringLiteral("尾注");
        if (named(n, "header") || named(n, "header-left") || named(n, "header-first"))
            return QStringLiteral("页眉");
        if (named(n, "footer") || named(n, "footer-left") || named(n, "footer-first"))
            return QStringLiteral("页脚");
        if (named(n, "tbl") || named(n, "table"))
            return QStringLiteral("表格");
    }
    return partPlace;
}

// The text of one paragraph, without the text of paragraphs nested in it (text boxes, notes).
void collectText(pugi::xml_node node, std::string &text) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            if (named(node, "t") || named(node, "p") || named(node, "h") || named(node, "span") || named(node, "a"))
                text += child.value();
        } else if (child.type() == pugi::node_element) {
            if (named(child, "p") || named(child, "h") || named(child, "txbxContent") || named(child, "note") ||
                named(child, "text-box") || named(child, "delText") || named(child, "instrText"))
                continue;
            if (named(child, "s") || named(child, "tab"))
                text += ' ';
            collectText(child, text);
        }
    }
}

bool insideFallback(pugi::xml_node node) {
    for (pugi::xml_node n = node.parent(); n; n = n.parent()) {
        if (named(n, "Fallback"))
            return true;
    }
    return false;
}

// The start of a paragraph's text, to say where something stands.
QString paragraphStart(const std::string &text) {
    QString start = QString::fromStdString(text).remove(QChar(MarkerValues::Barrier)).trimmed();
    if (start.size() > 16)
        start = start.left(16) + QStringLiteral("……");
    return start;
}

QString problemText(Clauses::ProblemKind kind, const std::string &name) {
    switch (kind) {
    case Clauses::ProblemKind::Unclosed:
        return QStringLiteral("缺少对应的“[<结束>]”，这段条件文字生成时原样保留");
    case Clauses::ProblemKind::StrayElse:
        return QStringLiteral("不在“[<如果:…>]”和“[<结束>]”之间（或同一段中已有“[<否则>]”），生成时原样保留");
    case Clauses::ProblemKind::StrayEnd:
        return QStringLiteral("前面没有对应的“[<如果:…>]”，生成时原样保留");
    case Clauses::ProblemKind::UnknownIndicator:
        return QStringLiteral("本类别没有名为“%1”的指标，条件按空值判断").arg(QString::fromStdString(name));
    case Clauses::ProblemKind::Split:
        return QStringLiteral("条件段落跨越了表格单元格或文本框的边界（又不是整行），无法完整删除，生成时原样保留");
    }
    return {};
}

struct Collector {
    Collector(PackageTemplate::Format format, const QStringList &names)
        : format(format)
        , values(names) {}

    PackageTemplate::Format format;
    Clauses::Values values;
    QMap<QPair<QString, QString>, int> markers; // (marker, place) -> count
    QMap<QPair<QString, QString>, int> broken;
    QStringList seenNames; // lower case
    QList<TemplateCheck::ClauseFinding> clauses;

    void paragraph(const QString &text, const QString &place) {
        static const QRegularExpression marker(QStringLiteral("\\[<(.*?)>\\]"));
        int consumed = 0;
        for (auto it = marker.globalMatch(text); it.hasNext();) {
            const auto m = it.next();
            // "[<a[<b>]": the inner marker is what generation fills; the opener before it is broken.
            const QString inner = m.captured(1);
            const int again = inner.lastIndexOf(QLatin1String("[<"));
            const QString name = again >= 0 ? inner.mid(again + 2) : inner;
            if (again >= 0)
                ++broken[{text.mid(m.capturedStart(), again + 2), place}];
            consumed = int(m.capturedEnd());
            // The markers of optional clauses are no indicators; the one a condition names is used.
            const std::vector<Clauses::Marker> block =
                Clauses::find(QString(QStringLiteral("[<") + name + QStringLiteral(">]")).toStdString());
            if (!block.empty()) {
                if (block.front().kind == Clauses::Kind::If)
                    seenNames << QString::fromStdString(values.resolve(block.front().condition).name).toLower();
                continue;
            }
            ++markers[{QStringLiteral("[<") + name + QStringLiteral(">]"), place}];
            seenNames << name.toLower();
            consumed = int(m.capturedEnd());
        }
        const int open = text.indexOf(QLatin1String("[<"), consumed);
        if (open >= 0)
            ++broken[{text.mid(open, 12), place}];
    }

    void part(const std::string &xml, const QString &partPlace) {
        pugi::xml_document document;
        if (!document.load_buffer(xml.data(), xml.size()))
            return;
        const auto visit = [&](auto &&self, pugi::xml_node node) -> void {
            for (pugi::xml_node child : node.children()) {
                if (child.type() != pugi::node_element)
                    continue;
                // A .docx keeps a text box twice (the drawing and its fallback for older programs): read it once.
                if (named(child, "Fallback"))
                    continue;
                if (named(child, "p") || named(child, "h")) {
                    std::string text;
                    collectText(child, text);
                    paragraph(QString::fromStdString(text), placeOf(child, partPlace));
                }
                self(self, child);
            }
        };
        visit(visit, document);
        clauseProblems(xml, partPlace);
    }

    void clauseProblems(const std::string &xml, const QString &partPlace) {
        pugi::xml_document document;
        if (!document.load_buffer(xml.data(), xml.size(), pugi::parse_full | pugi::parse_ws_pcdata))
            return;
        const std::string prefix =
            format == PackageTemplate::Format::Docx ? PartText::wordPrefixOf(document) : std::string();
        std::vector<PartText::Paragraph> paragraphs;
        const auto keep = [&](PartText::Paragraph &paragraph) {
            if (paragraph.text.find("[<") != std::string::npos)
                paragraphs.push_back(std::move(paragraph));
        };
        PartText::Walker<decltype(keep)> walker(format, prefix, keep);
        walker.walk(document, nullptr);
        for (const Clauses::Problem &problem : Clauses::check(format, prefix, paragraphs, values)) {
            if (insideFallback(problem.paragraph))
                continue;
            clauses.append({QString::fromStdString(problem.marker), problemText(problem.kind, problem.name),
                            placeOf(problem.paragraph, partPlace), paragraphStart(problem.paragraphText)});
        }
    }
};

} // namespace

namespace TemplateCheck {

Report check(const QString &packagePath, const QStringList &indicatorNames) {
    Report report;
    const PackageTemplate::Format format = PackageTemplate::formatOf(packagePath);
    int error = 0;
    zip_t *archive = format == PackageTemplate::Format::None
                         ? nullptr
                         : zip_open(QFile::encodeName(packagePath).constData(), ZIP_RDONLY, &error);
    if (!archive)
        return report;
    Collector collector(format, indicatorNames);
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *raw = zip_get_name(archive, zip_uint64_t(i), 0);
        const QString name = QString::fromUtf8(raw ? raw : "");
        QString place;
        if (format == PackageTemplate::Format::Odt) {
            if (name == QLatin1String("content.xml"))
                place = QStringLiteral("正文");
            else if (name == QLatin1String("styles.xml"))
                place = QStringLiteral("页眉");
        } else if (name.startsWith(QLatin1String("word/")) && name.count(QLatin1Char('/')) == 1 &&
                   name.endsWith(QLatin1String(".xml"))) {
            const QString file = name.mid(5);
            if (file == QLatin1String("document.xml"))
                place = QStringLiteral("正文");
            else if (file.startsWith(QLatin1String("header")))
                place = QStringLiteral("页眉");
            else if (file.startsWith(QLatin1String("footer")))
                place = QStringLiteral("页脚");
            else if (file == QLatin1String("footnotes.xml"))
                place = QStringLiteral("脚注");
            else if (file == QLatin1String("endnotes.xml"))
                place = QStringLiteral("尾注");
        }
        if (place.isEmpty())
            continue;
        bool ok = false;
        const std::string xml = readEntry(archive, raw, &ok);
        if (!ok) {
            zip_close(archive);
            return report;
        }
        collector.part(xml, place);
    }
    zip_close(archive);
    report.readable = true;

    QStringList known;
    for (const QString &name : indicatorNames)
        known << name.toLower();
    for (auto it = collector.markers.cbegin(); it != collector.markers.cend(); ++it) {
        const QString name = it.key().first.mid(2, it.key().first.size() - 4);
        if (!known.contains(name.toLower()))
            report.unknownMarkers.append({it.key().first, it.key().second, it.value()});
    }
    for (const QString &name : indicatorNames) {
        if (!collector.seenNames.contains(name.toLower()))
            report.unusedIndicators << name;
    }
    for (auto it = collector.broken.cbegin(); it != collector.broken.cend(); ++it)
        report.brokenMarkers.append({it.key().first, it.key().second, it.value()});
    report.clauseProblems = collector.clauses;
    return report;
}

QString describe(const Report &report) {
    if (!report.readable)
        return QStringLiteral("模板文件无法读取，请确认它是完好的文字处理文档。");
    if (report.clean())
        return QStringLiteral(
            "模板检查完毕，没有发现问题：模板中的每个标记都对应本类别的指标，每个指标都在模板中使用。");
    QStringList lines{QStringLiteral("模板检查发现以下问题（模板没有被修改）：")};
    if (!report.unknownMarkers.isEmpty()) {
        lines << QStringLiteral("模板中的标记没有对应的指标，生成时会原样保留：");
        for (const Finding &f : report.unknownMarkers)
            lines << QStringLiteral("    %1（%2，%3 处）").arg(f.text, f.place).arg(f.count);
    }
    if (!report.unusedIndicators.isEmpty())
        lines << QStringLiteral("本类别的指标在模板中没有使用：") + report.unusedIndicators.join(QStringLiteral("、"));
    if (!report.brokenMarkers.isEmpty()) {
        lines << QStringLiteral("不完整的标记（有“[<”而没有对应的“>]”，或标记被换段拆开）：");
        for (const Finding &f : report.brokenMarkers)
            lines << QStringLiteral("    %1……（%2，%3 处）").arg(f.text, f.place).arg(f.count);
    }
    if (!report.clauseProblems.isEmpty()) {
        lines << QStringLiteral("条件段落（[<如果:指标名>]……[<否则>]……[<结束>]）的问题：");
        for (const ClauseFinding &f : report.clauseProblems)
            lines << QStringLiteral("    ") + describe(f);
    }
    return lines.join(QLatin1Char('\n'));
}

QString describe(const ClauseFinding &finding) {
    return QStringLiteral("%1：%2（%3，“%4”）").arg(finding.marker, finding.problem, finding.place, finding.paragraph);
}

} // namespace TemplateCheck
