#include "office/LibreOfficeWordApp.h"

#include "office/uno/LibreOfficeWordAppPrivate.h"
#include "office/uno/UnoDocuments.h"
#include "office/uno/UnoSupport.h"
#include "package/PackageTemplate.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/document/XUndoManager.hpp>
#include <com/sun/star/document/XUndoManagerSupplier.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/text/ControlCharacter.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <com/sun/star/util/XReplaceDescriptor.hpp>
#include <com/sun/star/util/XReplaceable.hpp>

#include <QDir>
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <algorithm>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Markers replaced in the open document: one literal text everywhere the user can write it (body, tables,
// headers, footers, text frames, drawing shapes), or a whole list of markers in one search.

using namespace com::sun::star;
using namespace uno_support;
using word_app::isFindableMarker;
using word_app::noDocument;
using word_app::notConnected;
using word_app::templateCacheFolder;

namespace {

bool hasLineBreak(const QString &text) {
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

// Puts text over range; line breaks in it become line breaks of the document. kept: set for a shape's text.
void setTextWithBreaks(const uno::Reference<text::XTextRange> &range, const QString &value,
                       ShapeTextObjects *kept = nullptr) {
    const auto text = range->getText();
    const uno::Reference<text::XTextRange> cursor(text->createTextCursorByRange(range), uno::UNO_QUERY_THROW);
    if (kept) {
        kept->push_back(text);
        kept->push_back(cursor);
    }
    cursor->setString(rtl::OUString());
    QString normalised = value;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = normalised.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text->insertControlCharacter(cursor, text::ControlCharacter::LINE_BREAK, false);
        if (!lines.at(i).isEmpty())
            text->insertString(cursor, toOU(lines.at(i)), false);
    }
}

// One literal replacement over the whole document; throws UNO exceptions.
int replaceEverywhere(const uno::Reference<util::XReplaceable> &replaceable, const QString &findText,
                      const QString &replaceWith) {
    const auto descriptor = literalSearch(replaceable->createReplaceDescriptor(), findText);
    const uno::Reference<util::XSearchDescriptor> search(descriptor, uno::UNO_QUERY_THROW);
    if (!hasLineBreak(replaceWith)) {
        // Outside regular expressions the office inserts the replacement as it is: "&", "$1" and "\" stay.
        descriptor->setReplaceString(toOU(replaceWith));
        return replaceable->replaceAll(search);
    }
    const auto found = replaceable->findAll(search);
    const sal_Int32 n = found.is() ? found->getCount() : 0;
    int replaced = 0;
    for (sal_Int32 i = 0; i < n; ++i) {
        uno::Reference<text::XTextRange> range(found->getByIndex(i), uno::UNO_QUERY);
        if (range.is()) {
            setTextWithBreaks(range, replaceWith);
            ++replaced;
        }
    }
    return replaced;
}

// Moves the cursor by n characters; the office moves at most 32767 at a time.
void goRight(const uno::Reference<text::XTextCursor> &cursor, qsizetype n, bool expand) {
    while (n > 0) {
        const auto step = static_cast<sal_Int16>(std::min<qsizetype>(n, 32767));
        cursor->goRight(step, expand);
        n -= step;
    }
}

// Literal replacement, letter case ignored, paragraph by paragraph, so that the formatting around each
// occurrence stays; returns the number of replaced occurrences.
// Every object the shape's text hands out goes to kept.
int replaceInText(const uno::Reference<text::XText> &text, const QString &findText, const QString &replaceWith,
                  ShapeTextObjects &kept) {
    uno::Reference<container::XEnumerationAccess> access(text, uno::UNO_QUERY);
    if (!access.is())
        return 0;
    std::vector<uno::Reference<text::XTextRange>> paragraphs;
    const auto e = access->createEnumeration();
    kept.push_back(e);
    while (e->hasMoreElements()) {
        const uno::Reference<uno::XInterface> element(e->nextElement(), uno::UNO_QUERY);
        kept.push_back(element);
        uno::Reference<text::XTextRange> paragraph(element, uno::UNO_QUERY);
        if (paragraph.is())
            paragraphs.push_back(paragraph);
    }
    int replaced = 0;
    for (const auto &paragraph : paragraphs) {
        const QString content = toQ(paragraph->getString());
        // From the back, so the positions in front stay valid.
        QList<qsizetype> positions;
        for (qsizetype at = content.indexOf(findText, 0, Qt::CaseInsensitive); at >= 0;
             at = content.indexOf(findText, at + findText.size(), Qt::CaseInsensitive))
            positions.prepend(at);
        for (const qsizetype at : std::as_const(positions)) {
            const auto start = paragraph->getStart();
            kept.push_back(start);
            const auto cursor = text->createTextCursorByRange(start);
            kept.push_back(cursor);
            goRight(cursor, at, false);
            goRight(cursor, findText.size(), true);
            const uno::Reference<text::XTextRange> range(cursor, uno::UNO_QUERY_THROW);
            if (hasLineBreak(replaceWith))
                setTextWithBreaks(range, replaceWith, &kept);
            else
                range->setString(toOU(replaceWith));
            ++replaced;
        }
    }
    return replaced;
}

// Keeps the office from redrawing and from recording undo steps while it lives.
class Batch {
public:
    explicit Batch(const uno::Reference<lang::XComponent> &document)
        : mModel(document, uno::UNO_QUERY) {
        uno::Reference<document::XUndoManagerSupplier> undo(document, uno::UNO_QUERY);
        if (undo.is())
            mUndo = undo->getUndoManager();
        if (mModel.is())
            mModel->lockControllers();
        if (mUndo.is())
            mUndo->lock();
    }
    ~Batch() {
        try {
            if (mUndo.is())
                mUndo->unlock();
            if (mModel.is())
                mModel->unlockControllers();
        } catch (...) {
            // The office went away meanwhile; nothing left to unlock.
        }
    }
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;

private:
    uno::Reference<frame::XModel> mModel;
    uno::Reference<document::XUndoManager> mUndo;
};

} // namespace

bool LibreOfficeWordApp::replace(const QString &findText, const QString &replaceWith, int *count) {
    clearError();
    if (count)
        *count = 0;
    if (findText.isEmpty())
        return fail(QStringLiteral("查找的文字为空"));
    if (!hasDocument())
        return fail(d->office.alive() ? noDocument : notConnected);
    return guarded("替换文字失败：", [&] {
        uno::Reference<util::XReplaceable> replaceable(d->document, uno::UNO_QUERY_THROW);
        int replaced = replaceEverywhere(replaceable, findText, replaceWith);
        for (const auto &text : shapeTexts(d->document, d->keptShapeObjects))
            replaced += replaceInText(text, findText, replaceWith, d->keptShapeObjects);
        if (count)
            *count = replaced;
        return true;
    });
}

bool word_app::isFindableMarker(const QString &text) {
    if (text.size() < 5 || !text.startsWith(QLatin1String("[<")) || !text.endsWith(QLatin1String(">]")))
        return false;
    const QString name = text.mid(2, text.size() - 4);
    return !name.contains(QLatin1String(">]")) && !name.contains(QLatin1Char('\n')) &&
           !name.contains(QLatin1Char('\r'));
}

namespace {

// Every marker in the document, found by one search, with its text as found. Reading the found texts is a pair
// of round trips per occurrence; spread over a few threads their waits overlap (the office serves them one after
// the other, nothing changes meanwhile).
struct FoundMarkers {
    std::vector<uno::Reference<text::XTextRange>> ranges;
    std::vector<rtl::OUString> texts;
};

FoundMarkers findAllMarkers(const uno::Reference<util::XReplaceable> &replaceable) {
    const auto descriptor = literalSearch(replaceable->createReplaceDescriptor(), QStringLiteral("\\[<.+?>\\]"));
    uno::Reference<beans::XPropertySet>(descriptor, uno::UNO_QUERY_THROW)
        ->setPropertyValue(ascii("SearchRegularExpression"), uno::Any(true));
    const auto found = replaceable->findAll(uno::Reference<util::XSearchDescriptor>(descriptor, uno::UNO_QUERY_THROW));
    const sal_Int32 n = found.is() ? found->getCount() : 0;

    FoundMarkers markers{std::vector<uno::Reference<text::XTextRange>>(static_cast<size_t>(n)),
                         std::vector<rtl::OUString>(static_cast<size_t>(n))};
    std::exception_ptr failure;
    std::mutex failureMutex;
    const int threads = std::clamp(n / 32, 1, 4);
    auto read = [&](int first) {
        try {
            for (sal_Int32 i = first; i < n; i += threads) {
                markers.ranges[static_cast<size_t>(i)].set(found->getByIndex(i), uno::UNO_QUERY_THROW);
                markers.texts[static_cast<size_t>(i)] = markers.ranges[static_cast<size_t>(i)]->getString();
            }
        } catch (...) {
            std::lock_guard lock(failureMutex);
            if (!failure)
                failure = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(read, t);
    read(0);
    for (auto &helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
    return markers;
}

// The occurrences of the pairs' markers among those found, each with the index of its pair; bracketed text that
// is no marker of ours stays out. Nullopt when a found text holds a marker inside another bracket pair.
std::optional<QList<QPair<uno::Reference<text::XTextRange>, int>>>
occurrencesOfPairs(const FoundMarkers &found, const QList<QPair<QString, QString>> &pairs) {
    QHash<QString, int> indexOf;
    // Of two pairs with one marker the first wins, as in order.
    for (int i = static_cast<int>(pairs.size()) - 1; i >= 0; --i)
        indexOf.insert(pairs[i].first.toLower(), i);
    QList<QPair<uno::Reference<text::XTextRange>, int>> occurrences;
    for (size_t i = 0; i < found.ranges.size(); ++i) {
        const QString text = toQ(found.texts[i]).toLower();
        const int index = indexOf.value(text, -1);
        if (index >= 0) {
            occurrences.append({found.ranges[i], index});
            continue;
        }
        for (const auto &pair : pairs) {
            if (text.contains(pair.first, Qt::CaseInsensitive))
                return std::nullopt;
        }
    }
    return occurrences;
}

// Counts one occurrence of pair `index` as the pair-by-pair run would: later markers inside the inserted value
// count for their pair.
void countOccurrence(const QList<QPair<QString, QString>> &pairs, int index, QList<int> &counts) {
    QString value = pairs[index].second;
    for (int k = index + 1; k < pairs.size(); ++k) {
        const auto inside = value.count(pairs[k].first, Qt::CaseInsensitive);
        counts[k] += static_cast<int>(inside);
        if (inside)
            value.replace(pairs[k].first, pairs[k].second, Qt::CaseInsensitive);
    }
    ++counts[index];
}

// The whole batch in one search when every find text is a marker: all markers are found at once, and each
// occurrence gets the text that replacing the pairs one after the other would leave there, i.e. its value
// with the later pairs applied to it. Returns false, having changed nothing, when the document holds a marker
// form this cannot settle (a marker inside another bracket pair); the caller then goes pair by pair.
bool replaceMarkersInOnePass(const uno::Reference<util::XReplaceable> &replaceable,
                             const QList<QPair<QString, QString>> &pairs, QList<int> &counts) {
    for (const auto &pair : pairs) {
        if (!isFindableMarker(pair.first))
            return false;
    }
    const auto occurrences = occurrencesOfPairs(findAllMarkers(replaceable), pairs);
    if (!occurrences)
        return false;

    QHash<int, QString> finalText;
    auto textFor = [&](int index) {
        auto it = finalText.constFind(index);
        if (it != finalText.constEnd())
            return *it;
        QString value = pairs[index].second;
        for (int k = index + 1; k < pairs.size(); ++k)
            value.replace(pairs[k].first, pairs[k].second, Qt::CaseInsensitive);
        finalText.insert(index, value);
        return value;
    };
    for (const auto &[range, index] : *occurrences) {
        countOccurrence(pairs, index, counts);
        const QString text = textFor(index);
        if (hasLineBreak(text))
            setTextWithBreaks(range, text);
        else
            range->setString(toOU(text));
    }
    return true;
}

} // namespace

namespace {

// The document holds a marker of an optional clause somewhere a marker may stand.
bool holdsClauseMarker(const uno::Reference<lang::XComponent> &document, ShapeTextObjects &kept) {
    static const QString pattern =
        QStringLiteral("\\[<[ \\t\u3000]*(如果[ \\t\u3000]*[:：]|否则[ \\t\u3000]*>\\]|结束[ \\t\u3000]*>\\])");
    uno::Reference<util::XReplaceable> replaceable(document, uno::UNO_QUERY_THROW);
    const auto descriptor = literalSearch(replaceable->createReplaceDescriptor(), pattern);
    uno::Reference<beans::XPropertySet>(descriptor, uno::UNO_QUERY_THROW)
        ->setPropertyValue(ascii("SearchRegularExpression"), uno::Any(true));
    const auto found = replaceable->findAll(uno::Reference<util::XSearchDescriptor>(descriptor, uno::UNO_QUERY_THROW));
    if (found.is() && found->getCount() > 0)
        return true;
    const QRegularExpression inShapes(pattern);
    for (const auto &text : shapeTexts(document, kept)) {
        if (inShapes.match(toQ(text->getString())).hasMatch())
            return true;
    }
    return false;
}

} // namespace

bool LibreOfficeWordApp::settleThroughPackage(const QList<QPair<QString, QString>> &pairs,
                                              const QHash<QString, QString> &conditions) {
    const QString folder = templateCacheFolder();
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("无法创建临时文件夹：") + QDir::toNativeSeparators(folder));
    QTemporaryFile written(folder + QStringLiteral("/settle-XXXXXX.odt"));
    QTemporaryFile filled(folder + QStringLiteral("/filled-XXXXXX.odt"));
    if (!written.open() || !filled.open())
        return fail(QStringLiteral("无法创建临时文件：") + written.errorString());
    written.close();
    filled.close();
    const bool stored = guarded("替换文字失败：", [&] {
        uno::Reference<frame::XStorable> storable(d->document, uno::UNO_QUERY_THROW);
        storable->storeToURL(fileUrl(written.fileName()), props({prop("FilterName", uno::Any(ascii("writer8"))),
                                                                 prop("Overwrite", uno::Any(true))}));
        return true;
    });
    if (!stored)
        return false;
    const PackageTemplate::Result result =
        PackageTemplate::fill(written.fileName(), filled.fileName(), pairs, conditions);
    if (!result.ok)
        return fail(result.error);
    // The filled document takes the place of the open one, in the same window place; it is the user's until saved.
    if (!open(filled.fileName()))
        return false;
    filled.setAutoRemove(false);
    d->scratch = filled.fileName();
    return guarded("替换文字失败：", [&] {
        uno::Reference<util::XModifiable> modifiable(d->document, uno::UNO_QUERY);
        if (modifiable.is())
            modifiable->setModified(true);
        return true;
    });
}

bool LibreOfficeWordApp::replaceInOrder(const QList<QPair<QString, QString>> &pairs, QList<int> *counts,
                                        const QHash<QString, QString> &conditions) {
    clearError();
    if (counts)
        counts->clear();
    for (const auto &pair : pairs) {
        if (pair.first.isEmpty())
            return fail(QStringLiteral("查找的文字为空"));
    }
    if (!hasDocument())
        return fail(d->office.alive() ? noDocument : notConnected);
    const std::optional<bool> clauses = guarded(
        "替换文字失败：", [&] { return std::optional<bool>(holdsClauseMarker(d->document, d->keptShapeObjects)); });
    if (!clauses)
        return false;
    if (*clauses)
        return settleThroughPackage(pairs, conditions);
    return guarded("替换文字失败：", [&] {
        uno::Reference<util::XReplaceable> replaceable(d->document, uno::UNO_QUERY_THROW);
        Batch batch(d->document);
        QList<int> replaced(pairs.size(), 0);
        if (!replaceMarkersInOnePass(replaceable, pairs, replaced)) {
            for (int i = 0; i < pairs.size(); ++i)
                replaced[i] = replaceEverywhere(replaceable, pairs[i].first, pairs[i].second);
        }
        for (const auto &text : shapeTexts(d->document, d->keptShapeObjects)) {
            for (int i = 0; i < pairs.size(); ++i)
                replaced[i] += replaceInText(text, pairs[i].first, pairs[i].second, d->keptShapeObjects);
        }
        if (counts)
            *counts = replaced;
        return true;
    });
}
