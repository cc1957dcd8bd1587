#pragma once

#include "package/MarkerValues.h"
#include "package/PackageTemplate.h"

#include <pugixml.hpp>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The text of the paragraphs of one XML part (document.xml, content.xml, ...) as a reader sees it, and the XML
// nodes it came from. Inside the package library only.
namespace PartText {

inline bool is(const char *name, std::string_view expected) {
    return std::string_view(name) == expected;
}

struct Paragraph {
    struct Segment {
        pugi::xml_node node; // docx: the w:t element; odt: the text node
        size_t begin;        // where its text starts in `text`
        size_t length;       // its length before any change
        std::string text;
        bool changed = false;
    };

    pugi::xml_node element; // w:p, text:p or text:h
    std::string text;
    std::vector<Segment> segments;

    void add(pugi::xml_node node, std::string value) {
        const size_t length = value.size();
        text += value;
        segments.push_back({node, text.size() - length, length, std::move(value)});
    }
    void barrier() {
        if (!text.empty() && text.back() != MarkerValues::Barrier)
            text += MarkerValues::Barrier;
    }
};

// The prefix WordprocessingML elements carry in this part ("w:" nearly always; the root element says).
inline std::string wordPrefixOf(const pugi::xml_document &document) {
    const std::string_view root = document.document_element().name();
    const size_t colon = root.find(':');
    return colon == std::string_view::npos ? std::string() : std::string(root.substr(0, colon + 1));
}

// Hands every paragraph of a part to a function once its text is read. A paragraph inside a paragraph (a text box
// anchored in it, a note) is text of its own and comes before the one that holds it; otherwise the order is the
// document's.
template <typename OnParagraph> class Walker {
public:
    Walker(PackageTemplate::Format format, std::string wordPrefix, OnParagraph onParagraph)
        : mFormat(format)
        , mW(std::move(wordPrefix))
        , mOnParagraph(std::move(onParagraph)) {}

    void walk(pugi::xml_node parent, Paragraph *paragraph) {
        if (mFormat == PackageTemplate::Format::Docx)
            walkDocx(parent, paragraph);
        else
            walkOdt(parent, paragraph);
    }

private:
    // The local name of a WordprocessingML element, or empty for any other.
    std::string_view word(const char *name) const {
        const std::string_view n(name);
        if (n.size() <= mW.size() || n.compare(0, mW.size(), mW) != 0)
            return {};
        return n.substr(mW.size());
    }

    void nested(pugi::xml_node element, Paragraph *outer) {
        if (outer)
            outer->barrier();
        Paragraph inner;
        inner.element = element;
        walk(element, &inner);
        mOnParagraph(inner);
    }

    void walkDocx(pugi::xml_node parent, Paragraph *paragraph) {
        for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element)
                continue;
            const std::string_view name = word(child.name());
            if (name == "p") {
                nested(child, paragraph);
            } else if (!paragraph) {
                walkDocx(child, nullptr);
            } else if (name == "t") {
                std::string value;
                for (pugi::xml_node text = child.first_child(); text; text = text.next_sibling())
                    value += text.value();
                paragraph->add(child, std::move(value));
            } else if (name == "rPr" || name == "pPr" || name == "instrText" || name == "delText" ||
                       name == "delInstrText") {
                continue;
            } else if (name == "tab" || name == "br" || name == "cr" || name == "sym" || name == "ptab" ||
                       name == "noBreakHyphen" || name == "softHyphen" || name == "fldChar" ||
                       name == "footnoteReference" || name == "endnoteReference" || name == "drawing" ||
                       name == "pict" || name == "object") {
                paragraph->barrier();
                walkDocx(child, nullptr);
            } else {
                walkDocx(child, paragraph);
            }
        }
    }

    void walkOdt(pugi::xml_node parent, Paragraph *paragraph) {
        for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
            const pugi::xml_node_type type = child.type();
            if (type == pugi::node_pcdata || type == pugi::node_cdata) {
                if (paragraph)
                    paragraph->add(child, child.value());
                continue;
            }
            if (type != pugi::node_element)
                continue;
            const char *name = child.name();
            if (is(name, "text:p") || is(name, "text:h")) {
                nested(child, paragraph);
            } else if (!paragraph) {
                walkOdt(child, nullptr);
            } else if (is(name, "text:span") || is(name, "text:a") || is(name, "text:meta") ||
                       is(name, "text:ruby-base")) {
                walkOdt(child, paragraph);
            } else if (is(name, "text:bookmark") || is(name, "text:bookmark-start") || is(name, "text:bookmark-end") ||
                       is(name, "text:reference-mark") || is(name, "text:reference-mark-start") ||
                       is(name, "text:reference-mark-end") || is(name, "text:soft-page-break") ||
                       is(name, "text:change") || is(name, "text:change-start") || is(name, "text:change-end") ||
                       is(name, "office:annotation-end")) {
                continue;
            } else {
                // Spaces, tabs, fields, notes, frames: the text around them does not form one marker.
                paragraph->barrier();
                walkOdt(child, nullptr);
            }
        }
    }

    PackageTemplate::Format mFormat;
    std::string mW;
    OnParagraph mOnParagraph;
};

} // namespace PartText
