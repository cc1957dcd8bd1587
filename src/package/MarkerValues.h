#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The replacements of one generation run, looked up by marker text. The office fills the pairs one after the other,
// so a replacement holding the marker of a later pair is filled by that pair and one holding an earlier (or its own)
// marker keeps it; the replacements here are resolved the same way once, so the document needs one pass only.
class MarkerValues {
public:
    // Stands for a line break in a replacement; never part of XML text, so it cannot clash with the document.
    static constexpr char LineBreak = '\x01';
    // Stands where a paragraph's text is interrupted (a tab, a field, an anchored object): no marker spans it.
    static constexpr char Barrier = '\x02';

    explicit MarkerValues(const QList<QPair<QString, QString>> &pairs);

    bool isEmpty() const { return mValues.empty(); }
    // The pair whose marker is marker (letter case ignored); -1 when none.
    int indexOf(std::string_view marker) const;
    // UTF-8, line breaks as LineBreak, markers of later pairs filled.
    const std::string &value(int index) const { return mValues[size_t(index)]; }

    // Calls found(begin, end, index) for each marker in text, left to right, whose pair comes after `after`.
    template <typename Found> void forEachMarker(std::string_view text, int after, Found found) const {
        size_t from = 0;
        while ((from = text.find("[<", from)) != std::string_view::npos) {
            const size_t close = text.find(">]", from + 2);
            if (close == std::string_view::npos)
                return;
            const std::string_view marker = text.substr(from, close + 2 - from);
            const int index = marker.find_first_of("\x01\x02") == std::string_view::npos ? indexOf(marker) : -1;
            if (index > after) {
                found(from, close + 2, index);
                from = close + 2;
            } else {
                // "[<x[<甲方>]": the marker may start at a later "[<".
                from += 1;
            }
        }
    }

private:
    std::unordered_map<std::string, int> mExact;  // the markers as given
    std::unordered_map<std::string, int> mFolded; // case-folded
    std::vector<std::string> mValues;
};
