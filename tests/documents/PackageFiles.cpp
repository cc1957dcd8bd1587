#include "documents/PackageFiles.h"

#include <pugixml.hpp>
#include <zip.h>

#include <string_view>

namespace PackageFiles {

bool write(const QString &path, const Entries &entries) {
    int error = 0;
    zip_t *archive = zip_open(path.toUtf8().constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    for (const auto &[name, data] : entries) {
        zip_source_t *source = zip_source_buffer(archive, data.constData(), zip_uint64_t(data.size()), 0);
        const zip_int64_t index =
            source ? zip_file_add(archive, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return false;
        }
        zip_set_file_compression(archive, zip_uint64_t(index),
                                 name == QLatin1String("mimetype") ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    return zip_close(archive) == 0;
}

QByteArray read(const QString &path, const QString &name, bool *ok) {
    if (ok)
        *ok = false;
    int error = 0;
    zip_t *archive = zip_open(path.toUtf8().constData(), ZIP_RDONLY, &error);
    if (!archive)
        return {};
    QByteArray data;
    zip_stat_t stat;
    if (zip_stat(archive, name.toUtf8().constData(), 0, &stat) == 0) {
        if (zip_file_t *file = zip_fopen(archive, name.toUtf8().constData(), 0)) {
            data.resize(qsizetype(stat.size));
            if (zip_fread(file, data.data(), stat.size) == zip_int64_t(stat.size) && ok)
                *ok = true;
            zip_fclose(file);
        }
    }
    zip_discard(archive);
    return data;
}

QStringList names(const QString &path) {
    QStringList list;
    int error = 0;
    zip_t *archive = zip_open(path.toUtf8().constData(), ZIP_RDONLY, &error);
    if (!archive)
        return list;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i)
        list << QString::fromUtf8(zip_get_name(archive, zip_uint64_t(i), 0));
    zip_discard(archive);
    return list;
}

int compression(const QString &path, const QString &name) {
    int error = 0;
    zip_t *archive = zip_open(path.toUtf8().constData(), ZIP_RDONLY, &error);
    if (!archive)
        return -1;
    zip_stat_t stat;
    int method = -1;
    if (zip_stat(archive, name.toUtf8().constData(), 0, &stat) == 0 && (stat.valid & ZIP_STAT_COMP_METHOD))
        method = stat.comp_method;
    zip_discard(archive);
    return method;
}

namespace {

std::string_view localName(const char *name) {
    const std::string_view n(name);
    const size_t colon = n.find(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

void collect(pugi::xml_node node, QString *line, QStringList *lines) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata) {
            // In WordprocessingML only w:t holds the text; in OpenDocument every text node of a paragraph does.
            const std::string_view parent = child.parent().name();
            if (line && (parent == "w:t" || parent.substr(0, 5) == "text:"))
                *line += QString::fromUtf8(child.value());
            continue;
        }
        if (child.type() != pugi::node_element)
            continue;
        const std::string_view name = child.name();
        const std::string_view local = localName(child.name());
        if (name == "w:p" || name == "text:p" || name == "text:h") {
            QString inner;
            collect(child, &inner, lines);
            lines->append(inner);
        } else if (name == "w:br" || name == "text:line-break") {
            if (line)
                *line += QLatin1Char('\n');
        } else if (name == "text:s") {
            if (line)
                *line += QString(child.attribute("text:c").as_int(1), QLatin1Char(' '));
        } else if (name == "text:note-citation" || local == "delText" || local == "instrText") {
            continue;
        } else {
            collect(child, line, lines);
        }
    }
}

} // namespace

QStringList paragraphs(const QByteArray &xml) {
    pugi::xml_document document;
    QStringList lines;
    if (!document.load_buffer(xml.constData(), size_t(xml.size()), pugi::parse_default | pugi::parse_ws_pcdata))
        return lines;
    collect(document, nullptr, &lines);
    return lines;
}

} // namespace PackageFiles
