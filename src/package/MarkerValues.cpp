#include "package/MarkerValues.h"

namespace {

// A generated document would grow without end if every replacement held the next marker twice.
constexpr size_t MaxValueBytes = size_t(4) * 1024 * 1024;

std::string folded(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size())).toCaseFolded().toStdString();
}

// Line breaks of any kind become LineBreak; other control characters cannot stand in XML text and are dropped.
std::string normalised(const QString &value) {
    QString text;
    text.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        const char16_t u = c.unicode();
        if (u == u'\r') {
            if (i + 1 < value.size() && value.at(i + 1) == u'\n')
                ++i;
            text += QChar(MarkerValues::LineBreak);
        } else if (u == u'\n' || u == u'\v' || u == u'\f' || u == 0x2028 || u == 0x2029) {
            text += QChar(MarkerValues::LineBreak);
        } else if ((u < 0x20 && u != u'\t') || u == 0xFFFE || u == 0xFFFF) {
            continue;
        } else {
            text += c;
        }
    }
    return text.toStdString();
}

} // namespace

MarkerValues::MarkerValues(const QList<QPair<QString, QString>> &pairs) {
    const int count = int(pairs.size());
    for (int i = 0; i < count; ++i) {
        const std::string marker = pairs.at(i).first.toStdString();
        // The first of two markers that differ only in letter case takes every occurrence, as it does in the office.
        const int index = mFolded.try_emplace(folded(marker), i).first->second;
        mExact.try_emplace(marker, index);
    }
    mValues.resize(size_t(count));
    // From the last pair back: a replacement only ever takes in the replacements of later pairs.
    for (int i = count - 1; i >= 0; --i) {
        const std::string raw = normalised(pairs.at(i).second);
        std::string &value = mValues[size_t(i)];
        size_t last = 0;
        forEachMarker(raw, i, [&](size_t begin, size_t end, int index) {
            value.append(raw, last, begin - last);
            const std::string &inner = mValues[size_t(index)];
            if (value.size() + inner.size() <= MaxValueBytes)
                value += inner;
            else
                value.append(raw, begin, end - begin);
            last = end;
        });
        value.append(raw, last, std::string::npos);
    }
}

int MarkerValues::indexOf(std::string_view marker) const {
    if (const auto exact = mExact.find(std::string(marker)); exact != mExact.end())
        return exact->second;
    const auto found = mFolded.find(folded(marker));
    return found == mFolded.end() ? -1 : found->second;
}
