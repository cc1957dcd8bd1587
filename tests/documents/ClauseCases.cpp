#include "documents/ClauseCases.h"

#include <QDir>
#include <QFile>

#include <pugixml.hpp>

#include <string_view>

namespace ClauseCases {

namespace {

QStringList readLines(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.split(QLatin1Char('\n'));
}

QByteArray escaped(const QString &text) {
    return text.toHtmlEscaped().replace(QLatin1String("&quot;"), QLatin1String("\"")).toUtf8();
}

// One piece of a paragraph line: text (runs split by "¦"), a text box or a footnote.
struct Piece {
    enum Kind { Text, Box, Note } kind = Text;
    QString text;           // Text
    QStringList paragraphs; // Box, Note
};

QList<Piece> pieces(const QString &line) {
    QList<Piece> result;
    QString text;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if ((c == QLatin1Char('#') || c == QLatin1Char('^')) && i + 1 < line.size() &&
            line.at(i + 1) == QLatin1Char('(')) {
            const qsizetype close = line.indexOf(QLatin1Char(')'), i + 2);
            if (close > 0) {
                if (!text.isEmpty())
                    result.append({Piece::Text, text, {}});
                text.clear();
                result.append({c == QLatin1Char('#') ? Piece::Box : Piece::Note,
                               {},
                               line.mid(i + 2, close - i - 2).split(QStringLiteral(" // "))});
                i = close;
                continue;
            }
        }
        text += c;
    }
    if (!text.isEmpty() || result.isEmpty())
        result.append({Piece::Text, text, {}});
    return result;
}

QStringList cells(const QString &line) {
    QString inner = line.trimmed();
    inner = inner.mid(1, inner.size() - 2); // the outer bars
    QStringList list = inner.split(QLatin1Char('|'));
    for (QString &cell : list)
        cell = cell.trimmed();
    return list;
}

// --- .docx ---

const char DocxNamespaces[] = R"( xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main")"
                              R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")"
                              R"( xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing")"
                              R"( xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main")"
                              R"( xmlns:wps="http://schemas.microsoft.com/office/word/2010/wordprocessingShape")"
                              R"( xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006")";

struct DocxWriter {
    QByteArray footnotes;
    int nextNote = 1;
    int nextShape = 1;

    QByteArray paragraph(const QString &line, bool listItem = false) {
        QByteArray xml = "<w:p>";
        if (listItem)
            xml += R"(<w:pPr><w:numPr><w:ilvl w:val="0"/><w:numId w:val="1"/></w:numPr></w:pPr>)";
        for (const Piece &piece : pieces(line)) {
            if (piece.kind == Piece::Text) {
                const QStringList runs = piece.text.split(QStringLiteral("¦"));
                for (qsizetype r = 0; r < runs.size(); ++r) {
                    xml += "<w:r>";
                    if (r % 2)
                        xml += "<w:rPr><w:b/></w:rPr>";
                    xml += R"(<w:t xml:space="preserve">)" + escaped(runs.at(r)) + "</w:t></w:r>";
                }
            } else if (piece.kind == Piece::Note) {
                const QByteArray id = QByteArray::number(nextNote++);
                footnotes += R"(<w:footnote w:id=")" + id + R"(">)";
                for (const QString &p : piece.paragraphs)
                    footnotes += paragraph(p);
                footnotes += "</w:footnote>";
                xml += R"(<w:r><w:rPr><w:vertAlign w:val="superscript"/></w:rPr><w:footnoteReference w:id=")" + id +
                       R"("/></w:r>)";
            } else {
                const QByteArray id = QByteArray::number(nextShape++);
                QByteArray content;
                for (const QString &p : piece.paragraphs)
                    content += paragraph(p);
                xml += R"(<w:r><w:drawing><wp:anchor distT="0" distB="0" distL="0" distR="0" simplePos="0")"
                       R"( relativeHeight="1" behindDoc="0" locked="0" layoutInCell="1" allowOverlap="1">)"
                       R"(<wp:simplePos x="0" y="0"/><wp:positionH relativeFrom="column"><wp:posOffset>0)"
                       R"(</wp:posOffset></wp:positionH><wp:positionV relativeFrom="paragraph"><wp:posOffset>0)"
                       R"(</wp:posOffset></wp:positionV><wp:extent cx="2000000" cy="600000"/>)"
                       R"(<wp:effectExtent l="0" t="0" r="0" b="0"/><wp:wrapSquare wrapText="bothSides"/>)"
                       R"(<wp:docPr id=")" +
                       id + R"(" name="Text Box )" + id +
                       R"("/><wp:cNvGraphicFramePr/><a:graphic><a:graphicData)"
                       R"( uri="http://schemas.microsoft.com/office/word/2010/wordprocessingShape"><wps:wsp>)"
                       R"(<wps:cNvSpPr txBox="1"/><wps:spPr><a:xfrm><a:off x="0" y="0"/><a:ext cx="2000000")"
                       R"( cy="600000"/></a:xfrm><a:prstGeom prst="rect"><a:avLst/></a:prstGeom></wps:spPr>)"
                       R"(<wps:txbx><w:txbxContent>)" +
                       content +
                       R"(</w:txbxContent></wps:txbx><wps:bodyPr/></wps:wsp></a:graphicData></a:graphic>)"
                       R"(</wp:anchor></w:drawing></w:r>)";
            }
        }
        return xml + "</w:p>";
    }

    QByteArray table(const QList<QStringList> &rows) {
        qsizetype columns = 0;
        for (const QStringList &row : rows)
            columns = std::max(columns, row.size());
        QByteArray xml = R"(<w:tbl><w:tblPr><w:tblW w:w="0" w:type="auto"/></w:tblPr><w:tblGrid>)";
        for (qsizetype c = 0; c < columns; ++c)
            xml += R"(<w:gridCol w:w="2000"/>)";
        xml += "</w:tblGrid>";
        for (const QStringList &row : rows) {
            xml += "<w:tr>";
            for (const QString &cell : row) {
                xml += R"(<w:tc><w:tcPr><w:tcW w:w="2000" w:type="dxa"/></w:tcPr>)";
                for (const QString &p : cell.split(QStringLiteral(" // ")))
                    xml += paragraph(p);
                xml += "</w:tc>";
            }
            xml += "</w:tr>";
        }
        return xml + "</w:tbl>";
    }
};

PackageFiles::Entries buildDocx(const QStringList &lines) {
    DocxWriter writer;
    QByteArray body;
    QByteArray header;
    QList<QStringList> rows;
    const auto flushTable = [&] {
        if (!rows.isEmpty())
            body += writer.table(rows);
        rows.clear();
    };
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1Char('|'))) {
            rows.append(cells(line));
            continue;
        }
        flushTable();
        if (line.startsWith(QStringLiteral("页眉: ")))
            header += writer.paragraph(line.mid(4));
        else if (line.startsWith(QStringLiteral("* ")))
            body += writer.paragraph(line.mid(2), true);
        else
            body += writer.paragraph(line);
    }
    flushTable();
    const QByteArray ns = DocxNamespaces;
    QByteArray sect = R"(<w:sectPr>)";
    if (!header.isEmpty())
        sect += R"(<w:headerReference w:type="default" r:id="rIdHeader"/>)";
    sect += R"(<w:pgSz w:w="11906" w:h="16838"/><w:pgMar w:top="1440" w:right="1440" w:bottom="1440" w:left="1440")"
            R"( w:header="720" w:footer="720" w:gutter="0"/></w:sectPr>)";
    QByteArray rels =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rIdNumbering" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/)"
        R"(numbering" Target="numbering.xml"/>)";
    QByteArray types =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
        R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
        R"(<Default Extension="xml" ContentType="application/xml"/>)"
        R"(<Override PartName="/word/document.xml" ContentType="application/)"
        R"(vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>)"
        R"(<Override PartName="/word/numbering.xml" ContentType="application/)"
        R"(vnd.openxmlformats-officedocument.wordprocessingml.numbering+xml"/>)";
    PackageFiles::Entries entries;
    if (!header.isEmpty()) {
        rels += R"(<Relationship Id="rIdHeader" Type="http://schemas.openxmlformats.org/officeDocument/2006/)"
                R"(relationships/header" Target="header1.xml"/>)";
        types += R"(<Override PartName="/word/header1.xml" ContentType="application/)"
                 R"(vnd.openxmlformats-officedocument.wordprocessingml.header+xml"/>)";
        entries.append(
            {QStringLiteral("word/header1.xml"),
             R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:hdr)" + ns + ">" + header + "</w:hdr>"});
    }
    if (!writer.footnotes.isEmpty()) {
        rels += R"(<Relationship Id="rIdNotes" Type="http://schemas.openxmlformats.org/officeDocument/2006/)"
                R"(relationships/footnotes" Target="footnotes.xml"/>)";
        types += R"(<Override PartName="/word/footnotes.xml" ContentType="application/)"
                 R"(vnd.openxmlformats-officedocument.wordprocessingml.footnotes+xml"/>)";
        entries.append({QStringLiteral("word/footnotes.xml"),
                        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:footnotes)" + ns + ">" +
                            R"(<w:footnote w:type="separator" w:id="-1"><w:p><w:r><w:separator/></w:r></w:p>)"
                            R"(</w:footnote><w:footnote w:type="continuationSeparator" w:id="0"><w:p><w:r>)"
                            R"(<w:continuationSeparator/></w:r></w:p></w:footnote>)" +
                            writer.footnotes + "</w:footnotes>"});
    }
    rels += "</Relationships>";
    types += "</Types>";
    entries.prepend({QStringLiteral("word/numbering.xml"),
                     R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:numbering)" + ns +
                         R"(><w:abstractNum w:abstractNumId="0"><w:lvl w:ilvl="0"><w:start w:val="1"/>)"
                         R"(<w:numFmt w:val="decimal"/><w:lvlText w:val="%1."/><w:lvlJc w:val="left"/></w:lvl>)"
                         R"(</w:abstractNum><w:num w:numId="1"><w:abstractNumId w:val="0"/></w:num></w:numbering>)"});
    entries.prepend({QStringLiteral("word/_rels/document.xml.rels"), rels});
    entries.prepend(
        {QStringLiteral("word/document.xml"), R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:document)" +
                                                  ns + "><w:body>" + body + sect + "</w:body></w:document>"});
    entries.prepend(
        {QStringLiteral("_rels/.rels"),
         R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/)"
         R"(officeDocument" Target="word/document.xml"/></Relationships>)"});
    entries.prepend({QStringLiteral("[Content_Types].xml"), types});
    return entries;
}

// --- .odt ---

const char OdtNamespaces[] = R"( xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
                             R"( xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0")"
                             R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0")"
                             R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
                             R"( xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0")"
                             R"( xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0")"
                             R"( xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0")"
                             R"( office:version="1.3")";

struct OdtWriter {
    int nextNote = 1;
    int nextFrame = 1;

    QByteArray paragraph(const QString &line) {
        QByteArray xml = R"(<text:p text:style-name="Standard">)";
        for (const Piece &piece : pieces(line)) {
            if (piece.kind == Piece::Text) {
                const QStringList runs = piece.text.split(QStringLiteral("¦"));
                for (qsizetype r = 0; r < runs.size(); ++r) {
                    if (r % 2)
                        xml += R"(<text:span text:style-name="B">)" + escaped(runs.at(r)) + "</text:span>";
                    else
                        xml += escaped(runs.at(r));
                }
            } else if (piece.kind == Piece::Note) {
                const QByteArray id = QByteArray::number(nextNote++);
                xml += R"(<text:note text:id="ftn)" + id + R"(" text:note-class="footnote"><text:note-citation>)" + id +
                       "</text:note-citation><text:note-body>";
                for (const QString &p : piece.paragraphs)
                    xml += paragraph(p);
                xml += "</text:note-body></text:note>";
            } else {
                const QByteArray id = QByteArray::number(nextFrame++);
                xml += R"(<draw:frame draw:name="框)" + id +
                       R"(" text:anchor-type="paragraph" svg:width="6cm" svg:height="2cm" svg:x="0cm" svg:y="0cm">)"
                       R"(<draw:text-box>)";
                for (const QString &p : piece.paragraphs)
                    xml += paragraph(p);
                xml += "</draw:text-box></draw:frame>";
            }
        }
        return xml + "</text:p>";
    }

    QByteArray table(const QList<QStringList> &rows) {
        qsizetype columns = 0;
        for (const QStringList &row : rows)
            columns = std::max(columns, row.size());
        QByteArray xml = R"(<table:table table:name="表格)" + QByteArray::number(nextFrame++) +
                         R"("><table:table-column table:number-columns-repeated=")" + QByteArray::number(columns) +
                         R"("/>)";
        for (const QStringList &row : rows) {
            xml += "<table:table-row>";
            for (const QString &cell : row) {
                xml += R"(<table:table-cell office:value-type="string">)";
                for (const QString &p : cell.split(QStringLiteral(" // ")))
                    xml += paragraph(p);
                xml += "</table:table-cell>";
            }
            xml += "</table:table-row>";
        }
        return xml + "</table:table>";
    }
};

PackageFiles::Entries buildOdt(const QStringList &lines) {
    OdtWriter writer;
    QByteArray body;
    QByteArray header;
    QList<QStringList> rows;
    QByteArray list;
    const auto flush = [&] {
        if (!rows.isEmpty())
            body += writer.table(rows);
        rows.clear();
        if (!list.isEmpty())
            body += R"(<text:list text:style-name="L1">)" + list + "</text:list>";
        list.clear();
    };
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1Char('|'))) {
            if (!list.isEmpty()) {
                const QList<QStringList> keep = rows;
                rows.clear();
                flush();
                rows = keep;
            }
            rows.append(cells(line));
            continue;
        }
        if (line.startsWith(QStringLiteral("* "))) {
            if (!rows.isEmpty())
                flush();
            list += "<text:list-item>" + writer.paragraph(line.mid(2)) + "</text:list-item>";
            continue;
        }
        flush();
        if (line.startsWith(QStringLiteral("页眉: ")))
            header += writer.paragraph(line.mid(4));
        else
            body += writer.paragraph(line);
    }
    flush();
    const QByteArray ns = OdtNamespaces;
    const QByteArray content =
        R"(<?xml version="1.0" encoding="UTF-8"?><office:document-content)" + ns +
        R"(><office:automatic-styles><style:style style:name="B" style:family="text">)"
        R"(<style:text-properties fo:font-weight="bold"/></style:style>)"
        R"(<text:list-style style:name="L1"><text:list-level-style-number text:level="1" style:num-suffix=".")"
        R"( style:num-format="1"/></text:list-style></office:automatic-styles><office:body><office:text>)" +
        body + "</office:text></office:body></office:document-content>";
    const QByteArray styles =
        R"(<?xml version="1.0" encoding="UTF-8"?><office:document-styles)" + ns +
        R"(><office:styles><style:style style:name="Standard" style:family="paragraph" style:class="text"/>)"
        R"(</office:styles><office:automatic-styles><style:page-layout style:name="pm1">)"
        R"(<style:page-layout-properties fo:page-width="21cm" fo:page-height="29.7cm"/><style:header-style/>)"
        R"(</style:page-layout></office:automatic-styles><office:master-styles>)"
        R"(<style:master-page style:name="Standard" style:page-layout-name="pm1">)" +
        (header.isEmpty() ? QByteArray() : "<style:header>" + header + "</style:header>") +
        "</style:master-page></office:master-styles></office:document-styles>";
    const QByteArray manifest =
        R"(<?xml version="1.0" encoding="UTF-8"?>)"
        R"(<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0")"
        R"( manifest:version="1.3"><manifest:file-entry manifest:full-path="/")"
        R"( manifest:media-type="application/vnd.oasis.opendocument.text"/>)"
        R"(<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>)"
        R"(<manifest:file-entry manifest:full-path="styles.xml" manifest:media-type="text/xml"/>)"
        R"(</manifest:manifest>)";
    return {{QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.text"},
            {QStringLiteral("content.xml"), content},
            {QStringLiteral("styles.xml"), styles},
            {QStringLiteral("META-INF/manifest.xml"), manifest}};
}

// --- reading back ---

bool named(pugi::xml_node node, std::string_view name) {
    return std::string_view(node.name()) == name;
}

struct Reader {
    bool docx = true;
    pugi::xml_document notes; // docx footnotes
    QString error;

    QString noteText(const char *id) {
        for (pugi::xml_node note : notes.document_element().children("w:footnote")) {
            if (std::string_view(note.attribute("w:id").value()) == id)
                return paragraphs(note).join(QStringLiteral(" // "));
        }
        error = QStringLiteral("a footnote reference without its note");
        return {};
    }

    QStringList paragraphs(pugi::xml_node container) {
        QStringList list;
        for (pugi::xml_node child : container.children()) {
            if (named(child, "w:p") || named(child, "text:p") || named(child, "text:h"))
                list << paragraph(child);
        }
        if (list.isEmpty())
            error = QStringLiteral("no paragraph in ") + QString::fromUtf8(container.name());
        return list;
    }

    void inline_(pugi::xml_node node, QString &text) {
        for (pugi::xml_node child : node.children()) {
            if (child.type() == pugi::node_pcdata) {
                if (!docx || named(node, "w:t"))
                    text += QString::fromUtf8(child.value());
                continue;
            }
            if (child.type() != pugi::node_element)
                continue;
            if (named(child, "w:pPr") || named(child, "w:rPr") || named(child, "text:note-citation"))
                continue;
            if (named(child, "w:footnoteReference")) {
                text += QStringLiteral("^(") + noteText(child.attribute("w:id").value()) + QLatin1Char(')');
            } else if (named(child, "w:txbxContent") || named(child, "draw:text-box") ||
                       (named(child, "draw:custom-shape") && child.child("text:p"))) {
                text += QStringLiteral("#(") + paragraphs(child).join(QStringLiteral(" // ")) + QLatin1Char(')');
            } else if (named(child, "text:note")) {
                text += QStringLiteral("^(") + paragraphs(child.child("text:note-body")).join(QStringLiteral(" // ")) +
                        QLatin1Char(')');
            } else if (named(child, "w:br") || named(child, "text:line-break")) {
                text += QLatin1Char('\n');
            } else if (named(child, "text:s")) {
                text += QString(child.attribute("text:c").as_int(1), QLatin1Char(' '));
            } else {
                inline_(child, text);
            }
        }
    }

    QString paragraph(pugi::xml_node p) {
        QString text;
        inline_(p, text);
        return text;
    }

    void table(pugi::xml_node table, QStringList &lines) {
        int rows = 0;
        for (pugi::xml_node row : table.children()) {
            if (!named(row, "w:tr") && !named(row, "table:table-row"))
                continue;
            ++rows;
            QStringList cells;
            for (pugi::xml_node cell : row.children()) {
                if (named(cell, "w:tc") || named(cell, "table:table-cell"))
                    cells << paragraphs(cell).join(QStringLiteral(" // "));
            }
            if (cells.isEmpty())
                error = QStringLiteral("a table row without cells");
            lines << QStringLiteral("| ") + cells.join(QStringLiteral(" | ")) + QStringLiteral(" |");
        }
        if (rows == 0)
            error = QStringLiteral("a table without rows");
    }

    void body(pugi::xml_node body, QStringList &lines) {
        for (pugi::xml_node child : body.children()) {
            if (named(child, "w:p")) {
                const bool item = child.child("w:pPr").child("w:numPr");
                lines << (item ? QStringLiteral("* ") : QString()) + paragraph(child);
            } else if (named(child, "text:p") || named(child, "text:h")) {
                lines << paragraph(child);
            } else if (named(child, "w:tbl") || named(child, "table:table")) {
                table(child, lines);
            } else if (named(child, "text:list")) {
                for (pugi::xml_node item : child.children("text:list-item")) {
                    const QStringList inner = paragraphs(item);
                    for (const QString &p : inner)
                        lines << QStringLiteral("* ") + p;
                }
            }
        }
    }
};

bool parse(pugi::xml_document &document, const QByteArray &xml) {
    return document.load_buffer(xml.constData(), size_t(xml.size()), pugi::parse_default | pugi::parse_ws_pcdata);
}

} // namespace

QList<Case> load(const QString &root) {
    QList<Case> cases;
    const QDir dir(root);
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QDir folder(dir.filePath(name));
        for (const QString &file : folder.entryList({QStringLiteral("values*.txt")}, QDir::Files, QDir::Name)) {
            Case c;
            c.folder = folder.path();
            if (file != QLatin1String("values.txt"))
                c.variant = file.mid(7, file.size() - 11); // values-<variant>.txt
            c.name = c.variant.isEmpty() ? name : name + QLatin1Char('/') + c.variant;
            c.templateLines = readLines(c.folder + QStringLiteral("/template.txt"));
            for (const QString &line : readLines(folder.filePath(file))) {
                const qsizetype eq = line.indexOf(QLatin1Char('='));
                if (eq > 0)
                    c.values.append({line.left(eq), line.mid(eq + 1)});
            }
            cases << c;
        }
    }
    return cases;
}

QStringList expected(const Case &c, const QString &format) {
    const QString stem =
        c.folder + QStringLiteral("/expected") + (c.variant.isEmpty() ? QString() : QLatin1Char('-') + c.variant);
    const QString specific = stem + QLatin1Char('-') + format + QStringLiteral(".txt");
    return readLines(QFile::exists(specific) ? specific : stem + QStringLiteral(".txt"));
}

QStringList checkLines(const Case &c) {
    const QString path = c.folder + QStringLiteral("/check.txt");
    return QFile::exists(path) ? readLines(path) : QStringList();
}

QList<QPair<QString, QString>> pairs(const Case &c) {
    QList<QPair<QString, QString>> list;
    for (const auto &[name, value] : c.values)
        list.append({QStringLiteral("[<") + name + QStringLiteral(">]"), value});
    return list;
}

QHash<QString, QString> conditions(const Case &c) {
    QHash<QString, QString> hash;
    for (const auto &[name, value] : c.values)
        hash.insert(name, value);
    return hash;
}

PackageFiles::Entries build(const QStringList &lines, const QString &format) {
    return format == QLatin1String("docx") ? buildDocx(lines) : buildOdt(lines);
}

QStringList render(const QString &path, const QString &format, QString *error) {
    Reader reader;
    reader.docx = format == QLatin1String("docx");
    QStringList lines;
    pugi::xml_document main;
    pugi::xml_document styles;
    if (reader.docx) {
        const QByteArray notes = PackageFiles::read(path, QStringLiteral("word/footnotes.xml"));
        if (!notes.isEmpty() && !parse(reader.notes, notes)) {
            *error = QStringLiteral("footnotes.xml is no XML");
            return {};
        }
        const QByteArray header = PackageFiles::read(path, QStringLiteral("word/header1.xml"));
        if (!header.isEmpty()) {
            if (!parse(styles, header)) {
                *error = QStringLiteral("header1.xml is no XML");
                return {};
            }
            for (const QString &p : reader.paragraphs(styles.document_element()))
                lines << QStringLiteral("页眉: ") + p;
        }
        if (!parse(main, PackageFiles::read(path, QStringLiteral("word/document.xml")))) {
            *error = QStringLiteral("document.xml is no XML");
            return {};
        }
        reader.body(main.document_element().child("w:body"), lines);
    } else {
        if (!parse(styles, PackageFiles::read(path, QStringLiteral("styles.xml"))) ||
            !parse(main, PackageFiles::read(path, QStringLiteral("content.xml")))) {
            *error = QStringLiteral("content.xml or styles.xml is no XML");
            return {};
        }
        const pugi::xml_node header =
            styles.document_element().child("office:master-styles").child("style:master-page").child("style:header");
        if (header) {
            for (const QString &p : reader.paragraphs(header))
                lines << QStringLiteral("页眉: ") + p;
        }
        reader.body(main.document_element().child("office:body").child("office:text"), lines);
    }
    // An empty list item shows its number with nothing after it.
    for (pugi::xpath_node item : main.select_nodes("//text:list-item[not(*)]")) {
        (void)item;
        reader.error = QStringLiteral("an empty list item");
    }
    if (!reader.error.isEmpty()) {
        *error = reader.error;
        return {};
    }
    return lines;
}

} // namespace ClauseCases
