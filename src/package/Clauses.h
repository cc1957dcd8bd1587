#pragma once

#include "package/PackageTemplate.h"
#include "package/PartText.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <pugixml.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Optional clauses of a template: text between [<如果:指标名>] (or [<如果:指标名=值>]), an optional [<否则>] and
// [<结束>] is kept or removed by the indicator's value before the markers are filled. They may stand inside one
// paragraph, span paragraphs (and the tables between them) of one cell, text box, note, header or the body, or
// span whole table rows. A removed part takes its paragraphs and rows with it: nothing it held leaves an empty
// line or row behind. Inside the package library only.
namespace Clauses {

enum class Kind { If, Else, End };

// One block marker in a paragraph's text (UTF-8 byte offsets).
struct Marker {
    size_t begin = 0;
    size_t end = 0;
    Kind kind = Kind::End;
    std::string condition; // If: what follows the colon, blanks trimmed
};

// The block markers of a paragraph's text, left to right.
std::vector<Marker> find(std::string_view text);
// True when the text holds a block marker: a quick test before any work on blocks.
bool holdsMarker(std::string_view text);

// The indicators a condition may name, with their values (the value alone, without the unit).
class Values {
public:
    Values() = default;
    explicit Values(const QHash<QString, QString> &values);
    explicit Values(const QStringList &names);

    struct Condition {
        bool known = false;
        std::string name;                    // the indicator named (as written)
        std::optional<std::string> expected; // after "=", trimmed
    };
    Condition resolve(std::string_view condition) const;
    // Kept when the indicator's value is not empty, or equals the expected text; an unknown indicator has no value.
    bool holds(std::string_view condition) const;

private:
    std::unordered_map<std::string, std::string> mValues; // case-folded name -> trimmed value
};

enum class ProblemKind { Unclosed, StrayElse, StrayEnd, UnknownIndicator, Split };

struct Problem {
    ProblemKind kind;
    std::string marker;        // the marker's text
    pugi::xml_node paragraph;  // where it stands
    std::string paragraphText; // that paragraph's text
    std::string name;          // UnknownIndicator: the name
};

// Evaluates the blocks of a parsed part; paragraphs are those of the part that hold "[<", in the walker's order.
// Blocks that are not well formed, or whose removal would break a table cell or a text box, stay as they are.
// True when the part changed. The paragraphs' nodes are stale afterwards.
bool apply(PackageTemplate::Format format, const std::string &wordPrefix, std::vector<PartText::Paragraph> &paragraphs,
           const Values &values);

// What apply() would leave as it is, and conditions that name no indicator of `values`.
std::vector<Problem> check(PackageTemplate::Format format, const std::string &wordPrefix,
                           std::vector<PartText::Paragraph> &paragraphs, const Values &values);

} // namespace Clauses
