#include "package/Clauses.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace Clauses {

namespace {

using PackageTemplate::Format;
using PartText::Paragraph;

constexpr std::string_view If = "如果";
constexpr std::string_view Else = "否则";
constexpr std::string_view End = "结束";
constexpr std::string_view FullWidthColon = "：";
constexpr std::string_view FullWidthEquals = "＝";

// The length of the blank (space, tab, ideographic or no-break space) at text[at], 0 when there is none.
size_t blankAt(std::string_view text, size_t at) {
    if (at >= text.size())
        return 0;
    const char c = text[at];
    if (c == ' ' || c == '\t')
        return 1;
    if (text.compare(at, 3, "\xE3\x80\x80") == 0)
        return 3;
    if (text.compare(at, 2, "\xC2\xA0") == 0)
        return 2;
    return 0;
}

size_t blankBefore(std::string_view text, size_t end) {
    if (end >= 1 && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        return 1;
    if (end >= 3 && text.compare(end - 3, 3, "\xE3\x80\x80") == 0)
        return 3;
    if (end >= 2 && text.compare(end - 2, 2, "\xC2\xA0") == 0)
        return 2;
    return 0;
}

std::string_view trimmed(std::string_view text) {
    size_t begin = 0;
    while (size_t n = blankAt(text, begin))
        begin += n;
    size_t end = text.size();
    while (end > begin) {
        const size_t n = blankBefore(text, end);
        if (!n)
            break;
        end -= n;
    }
    return text.substr(begin, end - begin);
}

bool isBlank(std::string_view text) {
    return trimmed(text).empty();
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

std::string folded(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size())).toCaseFolded().toStdString();
}

// "[<" inner ">]" as a block marker; false for any other marker.
bool parse(std::string_view inner, Marker *marker) {
    const std::string_view text = trimmed(inner);
    if (text == Else) {
        marker->kind = Kind::Else;
        return true;
    }
    if (text == End) {
        marker->kind = Kind::End;
        return true;
    }
    if (!startsWith(text, If))
        return false;
    std::string_view rest = trimmed(text.substr(If.size()));
    if (startsWith(rest, ":"))
        rest.remove_prefix(1);
    else if (startsWith(rest, FullWidthColon))
        rest.remove_prefix(FullWidthColon.size());
    else
        return false;
    marker->kind = Kind::If;
    marker->condition = std::string(trimmed(rest));
    return true;
}

template <typename Found> void forEachMarker(std::string_view text, Found found) {
    size_t from = 0;
    while ((from = text.find("[<", from)) != std::string_view::npos) {
        const size_t close = text.find(">]", from + 2);
        if (close == std::string_view::npos)
            return;
        const std::string_view inner = text.substr(from + 2, close - from - 2);
        // "[<x[<结束>]": the marker may start at a later "[<"; no marker spans a tab, a field or an object.
        Marker marker;
        if (inner.find("[<") == std::string_view::npos && inner.find_first_of("\x01\x02") == std::string_view::npos &&
            parse(inner, &marker)) {
            marker.begin = from;
            marker.end = close + 2;
            found(std::move(marker));
            from = close + 2;
        } else {
            from += 1;
        }
    }
}

} // namespace

std::vector<Marker> find(std::string_view text) {
    std::vector<Marker> markers;
    forEachMarker(text, [&](Marker &&marker) { markers.push_back(std::move(marker)); });
    return markers;
}

bool holdsMarker(std::string_view text) {
    bool any = false;
    if (text.find("[<") != std::string_view::npos)
        forEachMarker(text, [&](Marker &&) { any = true; });
    return any;
}

Values::Values(const QHash<QString, QString> &values) {
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        mValues.emplace(folded(it.key().toStdString()), std::string(trimmed(it.value().toStdString())));
}

Values::Values(const QStringList &names) {
    for (const QString &name : names)
        mValues.emplace(folded(name.toStdString()), std::string());
}

Values::Condition Values::resolve(std::string_view condition) const {
    const std::string_view text = trimmed(condition);
    Condition result;
    if (mValues.count(folded(text))) {
        result.known = true;
        result.name = std::string(text);
        return result;
    }
    // An indicator's name may hold "=" itself: the first split whose left side names an indicator is taken.
    std::optional<Condition> first;
    for (size_t at = 0; at < text.size(); ++at) {
        size_t length = 0;
        if (text[at] == '=')
            length = 1;
        else if (text.compare(at, FullWidthEquals.size(), FullWidthEquals) == 0)
            length = FullWidthEquals.size();
        if (!length)
            continue;
        Condition split;
        split.name = std::string(trimmed(text.substr(0, at)));
        split.expected = std::string(trimmed(text.substr(at + length)));
        split.known = mValues.count(folded(split.name)) > 0;
        if (split.known)
            return split;
        if (!first)
            first = split;
    }
    if (first)
        return *first;
    result.name = std::string(text);
    return result;
}

bool Values::holds(std::string_view condition) const {
    const Condition resolved = resolve(condition);
    std::string value;
    if (resolved.known)
        value = mValues.at(folded(resolved.name));
    return resolved.expected ? value == *resolved.expected : !value.empty();
}

namespace {

// What the engine needs to know of the two vocabularies.
class Tree {
public:
    Tree(Format format, std::string wordPrefix)
        : mDocx(format == Format::Docx)
        , mW(std::move(wordPrefix)) {}

    bool docx() const { return mDocx; }

    // docx: the local name of a WordprocessingML element (empty for others); odt: the qualified name.
    std::string_view name(pugi::xml_node node) const {
        const std::string_view n(node.name());
        if (!mDocx)
            return n;
        if (n.size() <= mW.size() || n.compare(0, mW.size(), mW) != 0)
            return {};
        return n.substr(mW.size());
    }
    bool isParagraph(pugi::xml_node n) const {
        const std::string_view s = name(n);
        return mDocx ? s == "p" : (s == "text:p" || s == "text:h");
    }
    bool isRow(pugi::xml_node n) const { return name(n) == (mDocx ? "tr" : "table:table-row"); }
    bool isTable(pugi::xml_node n) const { return name(n) == (mDocx ? "tbl" : "table:table"); }
    bool isCell(pugi::xml_node n) const {
        const std::string_view s = name(n);
        return mDocx ? s == "tc" : (s == "table:table-cell" || s == "table:covered-table-cell");
    }
    // Elements that hold properties of their parent: a range never removes them.
    bool isProperty(pugi::xml_node n) const {
        if (!mDocx)
            return false;
        const std::string_view s = name(n);
        return s == "pPr" || s == "rPr" || s == "tblPr" || s == "trPr" || s == "tcPr" || s == "tblGrid" ||
               s == "sectPr" || s == "sdtPr" || s == "sdtEndPr" || s == "tblPrEx";
    }
    // Elements between a paragraph and the text it belongs to (its story): tables, lists, sections.
    bool isFlow(pugi::xml_node n) const {
        const std::string_view s = name(n);
        if (mDocx)
            return s == "tbl" || s == "tr" || s == "tc";
        return s == "table:table" || s == "table:table-row" || s == "table:table-rows" ||
               s == "table:table-header-rows" || s == "table:table-row-group" || s == "table:table-cell" ||
               s == "table:covered-table-cell" || isPrunable(n);
    }
    // Flow elements that go when nothing is left in them.
    bool isPrunable(pugi::xml_node n) const {
        const std::string_view s = name(n);
        return !mDocx && (s == "text:list" || s == "text:list-item" || s == "text:list-header" || s == "text:section");
    }
    bool isRowGroup(pugi::xml_node n) const {
        const std::string_view s = name(n);
        return !mDocx && (s == "table:table-rows" || s == "table:table-header-rows" || s == "table:table-row-group");
    }

    // The body, header, footer, text box or note a paragraph's text belongs to.
    pugi::xml_node story(pugi::xml_node paragraph) const {
        pugi::xml_node n = paragraph.parent();
        while (n && isFlow(n))
            n = n.parent();
        return n;
    }
    // Its table cell, or else its story.
    pugi::xml_node container(pugi::xml_node paragraph) const {
        pugi::xml_node n = paragraph.parent();
        while (n && isFlow(n) && !isCell(n))
            n = n.parent();
        return n;
    }
    pugi::xml_node row(pugi::xml_node paragraph) const {
        for (pugi::xml_node n = paragraph.parent(); n && isFlow(n); n = n.parent()) {
            if (isRow(n))
                return n;
        }
        return {};
    }

    // Holds no text but blanks, and nothing else a reader would see (a picture, a field, a note, a page break).
    bool blank(pugi::xml_node node) const {
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            const pugi::xml_node_type type = child.type();
            if (type == pugi::node_pcdata || type == pugi::node_cdata) {
                if ((!mDocx || name(node) == "t") && !isBlank(child.value()))
                    return false;
                continue;
            }
            if (type != pugi::node_element)
                continue;
            const std::string_view s = name(child);
            if (mDocx) {
                if (s == "t" || s == "r" || s == "hyperlink" || s == "ins" || s == "smartTag" || s == "customXml" ||
                    s == "sdt" || s == "sdtContent") {
                    if (!blank(child))
                        return false;
                } else if (s == "br") {
                    const std::string_view kind = child.attribute((mW + "type").c_str()).value();
                    if (kind == "page" || kind == "column")
                        return false;
                } else if (!(s == "pPr" || s == "rPr" || s == "bookmarkStart" || s == "bookmarkEnd" ||
                             s == "proofErr" || s == "lastRenderedPageBreak" || s == "permStart" || s == "permEnd" ||
                             s == "tab" || s == "cr" || s == "del" || s == "sdtPr" || s == "sdtEndPr" ||
                             s == "moveFromRangeStart" || s == "moveFromRangeEnd" || s == "moveToRangeStart" ||
                             s == "moveToRangeEnd")) {
                    return false;
                }
            } else if (s == "text:span" || s == "text:a" || s == "text:meta") {
                if (!blank(child))
                    return false;
            } else if (!(s == "text:s" || s == "text:tab" || s == "text:line-break" || s == "text:soft-page-break" ||
                         s == "text:bookmark" || s == "text:bookmark-start" || s == "text:bookmark-end" ||
                         s == "text:reference-mark" || s == "text:reference-mark-start" ||
                         s == "text:reference-mark-end" || s == "text:change" || s == "text:change-start" ||
                         s == "text:change-end" || s == "office:annotation-end")) {
                return false;
            }
        }
        return true;
    }

    // The paragraphs under node in document order, not those nested in a paragraph.
    void paragraphsUnder(pugi::xml_node node, std::vector<pugi::xml_node> &out) const {
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element)
                continue;
            if (isParagraph(child))
                out.push_back(child);
            else
                paragraphsUnder(child, out);
        }
    }

    // A vertically merged cell continues from the row above.
    bool continuesMerge(pugi::xml_node row) const {
        if (!mDocx || !row)
            return false;
        for (pugi::xml_node cell = row.first_child(); cell; cell = cell.next_sibling()) {
            if (!isCell(cell))
                continue;
            const pugi::xml_node merge = cell.child((mW + "tcPr").c_str()).child((mW + "vMerge").c_str());
            if (merge && std::string_view(merge.attribute((mW + "val").c_str()).value()) != "restart")
                return true;
        }
        return false;
    }
    // The row takes part in a vertical merge.
    bool merged(pugi::xml_node row) const {
        for (pugi::xml_node cell = row.first_child(); cell; cell = cell.next_sibling()) {
            if (!isCell(cell))
                continue;
            if (mDocx) {
                if (cell.child((mW + "tcPr").c_str()).child((mW + "vMerge").c_str()))
                    return true;
            } else if (name(cell) == "table:covered-table-cell" ||
                       cell.attribute("table:number-rows-spanned").as_int(1) > 1) {
                return true;
            }
        }
        return false;
    }
    // OpenDocument: rows of one parent covered from a row above them.
    std::vector<bool> coveredFromAbove(pugi::xml_node parent, std::vector<pugi::xml_node> &rows) const {
        for (pugi::xml_node row = parent.first_child(); row; row = row.next_sibling()) {
            if (isRow(row))
                rows.push_back(row);
        }
        std::vector<bool> covered(rows.size() + 1, false);
        for (size_t i = 0; i < rows.size(); ++i) {
            for (pugi::xml_node cell = rows[i].first_child(); cell; cell = cell.next_sibling()) {
                const int span = isCell(cell) ? cell.attribute("table:number-rows-spanned").as_int(1) : 1;
                for (size_t k = i + 1; k < i + size_t(std::max(span, 1)) && k < covered.size(); ++k)
                    covered[k] = true;
            }
        }
        return covered;
    }

private:
    bool mDocx;
    std::string mW;
};

struct Mark {
    size_t paragraph; // index into the paragraphs
    Marker marker;
};

struct Block {
    int start = -1, otherwise = -1, end = -1; // indexes into the story's marks
    bool inElse = false;                      // opened after its parent's [<否则>]
    std::vector<int> children;
};

// What goes: the text from one place to another (both in one container), or whole rows of one table.
struct Deletion {
    bool rows = false;
    size_t fromParagraph = 0, fromOffset = 0, toParagraph = 0, toOffset = 0;
    pugi::xml_node firstRow, lastRow;
};

class Engine {
public:
    Engine(Format format, const std::string &wordPrefix, std::vector<Paragraph> &paragraphs, const Values &values)
        : mTree(format, wordPrefix)
        , mW(wordPrefix)
        , mParagraphs(paragraphs)
        , mValues(values) {
        for (size_t i = 0; i < mParagraphs.size(); ++i) {
            mIndexOf.emplace(mParagraphs[i].element.internal_object(), i);
            for (Marker &marker : find(mParagraphs[i].text)) {
                const pugi::xml_node story = mTree.story(mParagraphs[i].element);
                auto [it, added] = mStoryIndex.emplace(story.internal_object(), mStories.size());
                if (added)
                    mStories.push_back({story, {}, {}, {}});
                mStories[it->second].marks.push_back({i, std::move(marker)});
            }
        }
        for (Story &story : mStories)
            match(story);
    }

    std::vector<Problem> problems() {
        std::vector<Problem> problems = mProblems;
        for (const Story &story : mStories) {
            for (const Mark &mark : story.marks) {
                if (mark.marker.kind != Kind::If)
                    continue;
                const Values::Condition condition = mValues.resolve(mark.marker.condition);
                if (!condition.known)
                    problems.push_back(problem(ProblemKind::UnknownIndicator, mark, condition.name));
            }
        }
        return problems;
    }

    bool apply() {
        std::vector<std::pair<size_t, Deletion>> deletions; // with the depth of their story
        for (const Story &story : mStories) {
            size_t depth = 0;
            for (pugi::xml_node n = story.node; n; n = n.parent())
                ++depth;
            std::vector<Deletion> found;
            for (const int top : story.top)
                evaluate(story, story.blocks[size_t(top)], found);
            for (Deletion &deletion : found)
                deletions.emplace_back(depth, deletion);
        }
        if (deletions.empty())
            return false;

        // Rows that go take whatever was to be cut inside them.
        std::unordered_set<pugi::xml_node_struct *> removedRows;
        for (const auto &entry : deletions) {
            if (!entry.second.rows)
                continue;
            for (pugi::xml_node row = entry.second.firstRow; row; row = row.next_sibling()) {
                removedRows.insert(row.internal_object());
                if (row == entry.second.lastRow)
                    break;
            }
        }
        const auto insideRemovedRow = [&](size_t paragraph) {
            for (pugi::xml_node n = mParagraphs[paragraph].element; n; n = n.parent()) {
                if (removedRows.count(n.internal_object()))
                    return true;
            }
            return false;
        };
        // Deeper stories first (a text box before the paragraph that holds it), and from the end of each story, so
        // the places still to do stay where they were.
        std::stable_sort(deletions.begin(), deletions.end(), [](const auto &a, const auto &b) {
            if (a.first != b.first)
                return a.first > b.first;
            if (a.second.fromParagraph != b.second.fromParagraph)
                return a.second.fromParagraph > b.second.fromParagraph;
            return a.second.fromOffset > b.second.fromOffset;
        });
        for (const auto &entry : deletions) {
            const Deletion &d = entry.second;
            if (!d.rows && !insideRemovedRow(d.fromParagraph) && !insideRemovedRow(d.toParagraph))
                deleteText(d);
        }
        for (const auto &entry : deletions) {
            const Deletion &d = entry.second;
            if (!d.rows)
                continue;
            std::vector<pugi::xml_node> rows;
            for (pugi::xml_node row = d.firstRow; row; row = row.next_sibling()) {
                rows.push_back(row);
                if (row == d.lastRow)
                    break;
            }
            for (pugi::xml_node row : rows)
                removeRow(row);
        }
        cleanUp();
        return true;
    }

private:
    struct Story {
        pugi::xml_node node;
        std::vector<Mark> marks;
        std::vector<Block> blocks;
        std::vector<int> top;
    };

    Problem problem(ProblemKind kind, const Mark &mark, std::string name = {}) const {
        const Paragraph &p = mParagraphs[mark.paragraph];
        return {kind, p.text.substr(mark.marker.begin, mark.marker.end - mark.marker.begin), p.element, p.text,
                std::move(name)};
    }

    void match(Story &story) {
        std::vector<int> open;
        const auto adopt = [&](int child) {
            if (open.empty())
                story.top.push_back(child);
            else
                story.blocks[size_t(open.back())].children.push_back(child);
        };
        for (int i = 0; i < int(story.marks.size()); ++i) {
            const Mark &mark = story.marks[size_t(i)];
            switch (mark.marker.kind) {
            case Kind::If: {
                Block block;
                block.start = i;
                block.inElse = !open.empty() && story.blocks[size_t(open.back())].otherwise >= 0;
                story.blocks.push_back(block);
                open.push_back(int(story.blocks.size()) - 1);
                break;
            }
            case Kind::Else:
                if (open.empty() || story.blocks[size_t(open.back())].otherwise >= 0)
                    mProblems.push_back(problem(ProblemKind::StrayElse, mark));
                else
                    story.blocks[size_t(open.back())].otherwise = i;
                break;
            case Kind::End: {
                if (open.empty()) {
                    mProblems.push_back(problem(ProblemKind::StrayEnd, mark));
                    break;
                }
                const int done = open.back();
                open.pop_back();
                Block &block = story.blocks[size_t(done)];
                block.end = i;
                if (part(story, block.start, block.otherwise >= 0 ? block.otherwise : i) &&
                    (block.otherwise < 0 || part(story, block.otherwise, i))) {
                    adopt(done);
                } else {
                    mProblems.push_back(problem(ProblemKind::Split, story.marks[size_t(block.start)]));
                    promote(story, done, adopt);
                }
                break;
            }
            }
        }
        // A block without its end stays as text; the blocks inside it still count.
        while (!open.empty()) {
            const int unclosed = open.back();
            open.pop_back();
            mProblems.push_back(
                problem(ProblemKind::Unclosed, story.marks[size_t(story.blocks[size_t(unclosed)].start)]));
            promote(story, unclosed, adopt);
        }
    }

    template <typename Adopt> static void promote(Story &story, int block, Adopt &adopt) {
        const bool inElse = story.blocks[size_t(block)].inElse;
        const std::vector<int> children = story.blocks[size_t(block)].children;
        for (const int child : children) {
            story.blocks[size_t(child)].inElse = inElse;
            adopt(child);
        }
    }

    // The text of a paragraph between two offsets, block markers left out, is blank.
    bool blankBetween(size_t paragraph, size_t from, size_t to) const {
        const std::string &text = mParagraphs[paragraph].text;
        std::string rest;
        size_t last = from;
        forEachMarker(std::string_view(text).substr(0, to), [&](Marker &&marker) {
            if (marker.begin < from)
                return;
            rest.append(text, last, marker.begin - last);
            last = marker.end;
        });
        if (last < to)
            rest.append(text, last, to - last);
        return isBlank(rest);
    }

    bool paragraphBlank(pugi::xml_node element) const {
        const auto it = mIndexOf.find(element.internal_object());
        if (it == mIndexOf.end())
            return mTree.blank(element);
        return blankBetween(it->second, 0, mParagraphs[it->second].text.size());
    }

    // Nothing but blanks and block markers stands in the row before (or after) the given place.
    bool rowBlankAround(pugi::xml_node row, size_t paragraph, size_t offset, bool before) const {
        std::vector<pugi::xml_node> all;
        mTree.paragraphsUnder(row, all);
        const pugi::xml_node self = mParagraphs[paragraph].element;
        const auto at = std::find(all.begin(), all.end(), self);
        if (at == all.end())
            return false;
        const auto others =
            before ? std::vector<pugi::xml_node>(all.begin(), at) : std::vector<pugi::xml_node>(at + 1, all.end());
        for (pugi::xml_node other : others) {
            if (!paragraphBlank(other))
                return false;
        }
        const size_t size = mParagraphs[paragraph].text.size();
        return before ? blankBetween(paragraph, 0, offset) : blankBetween(paragraph, offset, size);
    }

    // How the part from mark x to mark y (both included) is removed; false when it cannot be removed cleanly.
    bool part(const Story &story, int x, int y, Deletion *deletion = nullptr) const {
        const Mark &from = story.marks[size_t(x)];
        const Mark &to = story.marks[size_t(y)];
        Deletion d;
        d.fromParagraph = from.paragraph;
        d.fromOffset = from.marker.begin;
        d.toParagraph = to.paragraph;
        d.toOffset = to.marker.end;
        const pugi::xml_node a = mParagraphs[from.paragraph].element;
        const pugi::xml_node b = mParagraphs[to.paragraph].element;
        const pugi::xml_node ca = mTree.container(a);
        const pugi::xml_node cb = mTree.container(b);
        if (ca != cb) {
            // From one table cell into another: whole rows of one table, or nothing.
            if (!mTree.isCell(ca) || !mTree.isCell(cb))
                return false;
            const pugi::xml_node ra = ca.parent();
            const pugi::xml_node rb = cb.parent();
            if (!mTree.isRow(ra) || !mTree.isRow(rb) || ra.parent() != rb.parent())
                return false;
            pugi::xml_node row = ra;
            while (row && row != rb)
                row = row.next_sibling();
            if (!row)
                return false;
            if (!rowBlankAround(ra, from.paragraph, from.marker.begin, true) ||
                !rowBlankAround(rb, to.paragraph, to.marker.end, false))
                return false;
            // A cell merged down across the first or the last row would lose its other half.
            if (mTree.docx()) {
                pugi::xml_node after = rb.next_sibling();
                while (after && !mTree.isRow(after))
                    after = after.next_sibling();
                if (mTree.continuesMerge(ra) || mTree.continuesMerge(after))
                    return false;
            } else {
                std::vector<pugi::xml_node> rows;
                const std::vector<bool> covered = mTree.coveredFromAbove(ra.parent(), rows);
                const size_t first = size_t(std::find(rows.begin(), rows.end(), ra) - rows.begin());
                const size_t last = size_t(std::find(rows.begin(), rows.end(), rb) - rows.begin());
                if (covered[first] || covered[last + 1])
                    return false;
            }
            d.rows = true;
            d.firstRow = ra;
            d.lastRow = rb;
        }
        if (deletion)
            *deletion = d;
        return true;
    }

    Deletion single(const Story &story, int mark) const {
        const Mark &m = story.marks[size_t(mark)];
        Deletion d;
        d.fromParagraph = d.toParagraph = m.paragraph;
        d.fromOffset = m.marker.begin;
        d.toOffset = m.marker.end;
        return d;
    }

    void evaluate(const Story &story, const Block &block, std::vector<Deletion> &out) const {
        const bool kept = mValues.holds(story.marks[size_t(block.start)].marker.condition);
        const int middle = block.otherwise >= 0 ? block.otherwise : block.end;
        Deletion d;
        if (kept) {
            out.push_back(single(story, block.start));
            if (block.otherwise >= 0) {
                part(story, block.otherwise, block.end, &d);
                out.push_back(d);
            } else {
                out.push_back(single(story, block.end));
            }
        } else {
            part(story, block.start, middle, &d);
            out.push_back(d);
            if (block.otherwise >= 0)
                out.push_back(single(story, block.end));
        }
        for (const int child : block.children) {
            const Block &inner = story.blocks[size_t(child)];
            if (inner.inElse != kept)
                evaluate(story, inner, out);
        }
    }

    // --- Changing the tree ---

    static std::string textOf(pugi::xml_node node) {
        if (node.type() != pugi::node_element)
            return node.value();
        std::string text;
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
            text += child.value();
        return text;
    }

    static void setText(pugi::xml_node node, std::string_view text) {
        if (node.type() != pugi::node_element) {
            node.set_value(std::string(text).c_str());
            return;
        }
        while (node.first_child())
            node.remove_child(node.first_child());
        if (!text.empty())
            node.append_child(pugi::node_pcdata).set_value(std::string(text).c_str());
        if (!node.attribute("xml:space"))
            node.append_attribute("xml:space") = "preserve";
    }

    // Cuts a text holder in two at offset: the first part stays in node, the rest goes into a new one after it.
    pugi::xml_node split(pugi::xml_node node, size_t offset) {
        const std::string text = textOf(node);
        offset = std::min(offset, text.size());
        pugi::xml_node rest;
        if (node.type() == pugi::node_element) {
            rest = node.parent().insert_child_after(node.name(), node);
        } else {
            rest = node.parent().insert_child_after(node.type(), node);
        }
        setText(rest, std::string_view(text).substr(offset));
        setText(node, std::string_view(text).substr(0, offset));
        return rest;
    }

    const Paragraph::Segment &segmentAt(const Paragraph &paragraph, size_t offset) const {
        const auto &segments = paragraph.segments;
        size_t low = 0, high = segments.size();
        while (high - low > 1) {
            const size_t middle = (low + high) / 2;
            (segments[middle].begin <= offset ? low : high) = middle;
        }
        return segments[low];
    }

    void removeFollowing(pugi::xml_node node) {
        for (pugi::xml_node n = node.next_sibling(); n;) {
            const pugi::xml_node next = n.next_sibling();
            if (!mTree.isProperty(n))
                removeNode(n);
            n = next;
        }
    }

    void removePreceding(pugi::xml_node node) {
        for (pugi::xml_node n = node.previous_sibling(); n;) {
            const pugi::xml_node previous = n.previous_sibling();
            if (!mTree.isProperty(n))
                removeNode(n);
            n = previous;
        }
    }

    // Removes everything after a up to and including b (a before b in document order).
    void removeBetween(pugi::xml_node a, pugi::xml_node b) {
        std::unordered_set<pugi::xml_node_struct *> aboveA;
        for (pugi::xml_node n = a; n; n = n.parent())
            aboveA.insert(n.internal_object());
        pugi::xml_node common = b.parent();
        while (common && !aboveA.count(common.internal_object()))
            common = common.parent();
        pugi::xml_node left = a;
        for (; left.parent() != common; left = left.parent())
            removeFollowing(left);
        pugi::xml_node right = b;
        for (; right.parent() != common; right = right.parent())
            removePreceding(right);
        for (pugi::xml_node n = left.next_sibling(); n && n != right;) {
            const pugi::xml_node next = n.next_sibling();
            if (!mTree.isProperty(n))
                removeNode(n);
            n = next;
        }
        removeNode(b);
    }

    bool holdsSection(pugi::xml_node paragraph) const {
        return mTree.docx() && paragraph.child((mW + "pPr").c_str()).child((mW + "sectPr").c_str());
    }

    void deleteText(const Deletion &d) {
        const Paragraph &pa = mParagraphs[d.fromParagraph];
        const Paragraph &pb = mParagraphs[d.toParagraph];
        const Paragraph::Segment &sa = segmentAt(pa, d.fromOffset);
        const Paragraph::Segment &sb = segmentAt(pb, d.toOffset - 1);
        const pugi::xml_node a = sa.node;
        const pugi::xml_node afterA = split(a, d.fromOffset - sa.begin);
        pugi::xml_node b = sb.node;
        size_t cut = d.toOffset - sb.begin;
        if (b == a) {
            b = afterA;
            cut -= d.fromOffset - sa.begin;
        }
        split(b, cut);
        removeBetween(a, b);
        pugi::xml_node kept = pa.element;
        if (pa.element != pb.element)
            kept = merge(pa.element, pb.element);
        touch(kept);
    }

    // Joins what is left of two paragraphs, as deleting the text between them does: the first keeps its
    // formatting, unless nothing of it is left.
    pugi::xml_node merge(pugi::xml_node first, pugi::xml_node second) {
        if (mTree.blank(first) && !holdsSection(first)) {
            removeParagraph(first);
            return second;
        }
        for (pugi::xml_node child = second.first_child(); child;) {
            const pugi::xml_node next = child.next_sibling();
            if (mTree.docx() && mTree.name(child) == "pPr") {
                const pugi::xml_node section = child.child((mW + "sectPr").c_str());
                if (section && !holdsSection(first)) {
                    pugi::xml_node properties = first.child((mW + "pPr").c_str());
                    if (!properties)
                        properties = first.prepend_child((mW + "pPr").c_str());
                    properties.append_move(section);
                }
            } else {
                first.append_move(child);
            }
            child = next;
        }
        removeParagraph(second);
        return first;
    }

    void touch(pugi::xml_node paragraph) {
        if (std::find(mTouched.begin(), mTouched.end(), paragraph) == mTouched.end())
            mTouched.push_back(paragraph);
    }

    // Every removal goes through here, so no paragraph still to be looked at is gone.
    void removeNode(pugi::xml_node node) {
        if (node.type() == pugi::node_element && !mTouched.empty()) {
            mTouched.erase(std::remove_if(mTouched.begin(), mTouched.end(),
                                          [&](pugi::xml_node touched) {
                                              for (pugi::xml_node n = touched; n; n = n.parent()) {
                                                  if (n == node)
                                                      return true;
                                              }
                                              return false;
                                          }),
                           mTouched.end());
        }
        node.parent().remove_child(node);
    }

    void removeParagraph(pugi::xml_node paragraph) {
        pugi::xml_node parent = paragraph.parent();
        removeNode(paragraph);
        // A list item or section with nothing left in it would still show (a number, an empty line).
        while (parent && mTree.isPrunable(parent) &&
               !parent.find_child([](pugi::xml_node n) { return n.type() == pugi::node_element; })) {
            const pugi::xml_node up = parent.parent();
            removeNode(parent);
            parent = up;
        }
    }

    // A paragraph may go when its cell, text box, note or page part keeps another one (and a Word table cell
    // still ends with a paragraph).
    bool removable(pugi::xml_node paragraph) const {
        if (holdsSection(paragraph))
            return false;
        std::vector<pugi::xml_node> all;
        mTree.paragraphsUnder(mTree.container(paragraph), all);
        if (all.size() < 2)
            return false;
        if (mTree.docx() && mTree.isCell(paragraph.parent())) {
            pugi::xml_node next = paragraph.next_sibling();
            while (next && next.type() != pugi::node_element)
                next = next.next_sibling();
            pugi::xml_node previous = paragraph.previous_sibling();
            while (previous && previous.type() != pugi::node_element)
                previous = previous.previous_sibling();
            if (!next && !(previous && mTree.isParagraph(previous)))
                return false;
        }
        return true;
    }

    bool rowBlank(pugi::xml_node row) const {
        std::vector<pugi::xml_node> all;
        mTree.paragraphsUnder(row, all);
        return std::all_of(all.begin(), all.end(), [&](pugi::xml_node p) { return mTree.blank(p); });
    }

    // Removes a row, and its table when no row is left in it.
    void removeRow(pugi::xml_node row) {
        pugi::xml_node table = row.parent();
        removeNode(row);
        const auto hasRow = [&](pugi::xml_node n) { return mTree.isRow(n); };
        while (table && mTree.isRowGroup(table) && !table.find_child(hasRow)) {
            const pugi::xml_node up = table.parent();
            removeNode(table);
            table = up;
        }
        if (!table || !mTree.isTable(table))
            return;
        for (pugi::xml_node n = table.first_child(); n; n = n.next_sibling()) {
            if (mTree.isRow(n) || (mTree.isRowGroup(n) && n.find_child(hasRow)))
                return;
        }
        removeNode(table);
    }

    void cleanUp() {
        std::vector<std::pair<size_t, pugi::xml_node>> rows; // with their depth
        for (pugi::xml_node paragraph : mTouched) {
            const pugi::xml_node row = mTree.row(paragraph);
            if (!row ||
                std::find_if(rows.begin(), rows.end(), [&](const auto &r) { return r.second == row; }) != rows.end())
                continue;
            size_t depth = 0;
            for (pugi::xml_node n = row; n; n = n.parent())
                ++depth;
            rows.emplace_back(depth, row);
        }
        const std::vector<pugi::xml_node> touched = mTouched;
        for (pugi::xml_node paragraph : touched) {
            if (std::find(mTouched.begin(), mTouched.end(), paragraph) == mTouched.end())
                continue;
            if (mTree.blank(paragraph) && removable(paragraph))
                removeParagraph(paragraph);
        }
        // Rows of a table inside a cell before the row that holds that cell.
        std::stable_sort(rows.begin(), rows.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
        for (const auto &entry : rows) {
            if (rowBlank(entry.second) && !mTree.merged(entry.second))
                removeRow(entry.second);
        }
    }

    Tree mTree;
    std::string mW;
    std::vector<Paragraph> &mParagraphs;
    const Values &mValues;
    std::unordered_map<pugi::xml_node_struct *, size_t> mIndexOf;
    std::unordered_map<pugi::xml_node_struct *, size_t> mStoryIndex;
    std::vector<Story> mStories;
    std::vector<Problem> mProblems;
    std::vector<pugi::xml_node> mTouched;
};

} // namespace

bool apply(Format format, const std::string &wordPrefix, std::vector<Paragraph> &paragraphs, const Values &values) {
    Engine engine(format, wordPrefix, paragraphs, values);
    return engine.apply();
}

std::vector<Problem> check(Format format, const std::string &wordPrefix, std::vector<Paragraph> &paragraphs,
                           const Values &values) {
    Engine engine(format, wordPrefix, paragraphs, values);
    return engine.problems();
}

} // namespace Clauses
