#include "office/LibreOfficeWordApp.h"

#include "office/uno/OfficeCalls.h"
#include "office/uno/OfficeInstance.h"
#include "office/uno/UnoDocuments.h"
#include "office/uno/UnoSupport.h"
#include "package/PackageTemplate.h"

#include <com/sun/star/awt/PosSize.hpp>
#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XTopWindow2.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/document/XUndoManager.hpp>
#include <com/sun/star/document/XUndoManagerSupplier.hpp>
#include <com/sun/star/drawing/XDrawPageSupplier.hpp>
#include <com/sun/star/drawing/XShapes.hpp>
#include <com/sun/star/frame/DispatchHelper.hpp>
#include <com/sun/star/frame/DispatchResultEvent.hpp>
#include <com/sun/star/frame/DispatchResultState.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XDispatchHelper.hpp>
#include <com/sun/star/frame/XDispatchProvider.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/frame/XTitle.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/text/ControlCharacter.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/text/XTextViewCursor.hpp>
#include <com/sun/star/text/XTextViewCursorSupplier.hpp>
#include <com/sun/star/util/URL.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <com/sun/star/util/XReplaceDescriptor.hpp>
#include <com/sun/star/util/XReplaceable.hpp>
#include <com/sun/star/view/XPrintable.hpp>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

using namespace com::sun::star;
using namespace uno_support;

struct LibreOfficeWordApp::Private {
    Private(bool headless, bool shared)
        : own(shared ? nullptr : std::make_unique<OfficeInstance>(OfficeInstance::Kind::Private, headless))
        , office(own ? *own : OfficeInstance::forWindows())
        , shared(shared) {}

    // Declared first, so that they go after the office has ended with the document.
    ShapeTextObjects keptShapeObjects;
    std::unique_ptr<OfficeInstance> own;
    OfficeInstance &office;
    const bool shared;
    bool quickSave = false;
    uno::Reference<lang::XComponent> document;
    int documentGeneration = 0; // the office connection the document came from
    bool arranged = false;
    // The filled copy a prefilled document was loaded from; it goes once the document stands elsewhere.
    QString scratch;

    void dropScratch() {
        if (!scratch.isEmpty())
            QFile::remove(scratch);
        scratch.clear();
    }

    uno::Reference<frame::XFrame> frame() const {
        uno::Reference<frame::XModel> model(document, uno::UNO_QUERY_THROW);
        const auto controller = model->getCurrentController();
        if (!controller.is())
            throw uno::RuntimeException(ascii("文档没有窗口"));
        return controller->getFrame();
    }

    void applyArrangement() {
        const auto window = frame()->getContainerWindow();
        uno::Reference<awt::XTopWindow2> top(window, uno::UNO_QUERY);
        if (top.is()) {
            top->setIsMinimized(false);
            top->setIsMaximized(false);
        }
        if (!office.headless())
            window->setVisible(true);
        uno::Reference<frame::XTitle> title(frame(), uno::UNO_QUERY);
        if (title.is())
            title->setTitle(toOU(WordApp::caption()));
        try {
            window->setPosSize(pointsToPixels(kLeft), pointsToPixels(kTop), pointsToPixels(kWidth),
                               pointsToPixels(kHeight), awt::PosSize::POSSIZE);
        } catch (const uno::Exception &) {
            // The place of the window is a nicety.
        }
    }

    void closeDocument() {
        if (document.is())
            closeUnsaved(document);
        forgetDocument();
    }

    // The document is closed (or left to the user): what its shapes handed out may go now.
    void forgetDocument() {
        document.clear();
        keptShapeObjects.clear();
    }
};

namespace {

QString templateCacheFolder();

// Room a save needs beside the document itself: the office writes a temporary copy next to it first.
constexpr qint64 kMinimumFreeBytes = qint64(1024) * 1024;

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

} // namespace

LibreOfficeWordApp::LibreOfficeWordApp(Display display, Office office)
    : d(std::make_unique<Private>(display == Display::Headless || (display == Display::FromEnvironment &&
                                                                   OfficeInstance::headlessFromEnvironment()),
                                  office == Office::Shared)) {}

// The office's own end (OfficeInstance) closes the document unsaved; in the shared office it is closed here.
LibreOfficeWordApp::~LibreOfficeWordApp() {
    if (d->shared && hasDocument())
        office_calls::quietly(d->office, [&] { d->closeDocument(); });
    d->document.clear();
    d->dropScratch();
}

void LibreOfficeWordApp::setQuickSave(bool quick) {
    d->quickSave = quick;
}

void LibreOfficeWordApp::startSharedOffice() {
    QString ignored;
    OfficeInstance::forWindows().startInBackground(&ignored);
}

bool LibreOfficeWordApp::isStarting() {
    return d->office.starting() && !d->office.reachedNow();
}

namespace {
const QString notConnected = QStringLiteral("办公软件没有连接或已经关闭");
const QString noDocument = QStringLiteral("办公软件中没有打开的文档");
} // namespace

template <typename Body> auto LibreOfficeWordApp::guarded(const char *what, Body &&body) -> decltype(body()) {
    return office_calls::guarded(
        d->office, QString::fromUtf8(what), [this](const QString &error) { fail(error); }, std::forward<Body>(body));
}

bool LibreOfficeWordApp::connect() {
    clearError();
    QString error;
    return office_calls::connect(d->office, d->document, &error) || fail(error);
}

bool LibreOfficeWordApp::isConnected() const {
    return d->office.alive();
}

bool LibreOfficeWordApp::hasDocument() const {
    return d->document.is() && d->office.alive() && d->documentGeneration == d->office.generation();
}

bool LibreOfficeWordApp::arrange() {
    clearError();
    if (!d->office.alive())
        return fail(notConnected);
    d->arranged = true;
    if (!hasDocument())
        return true;
    return guarded("无法设置办公软件窗口：", [&] {
        d->applyArrangement();
        return true;
    });
}

bool LibreOfficeWordApp::open(const QString &path) {
    clearError();
    if (!d->office.alive()) {
        d->forgetDocument();
        return fail(notConnected);
    }
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("文件不存在：") + QDir::toNativeSeparators(path));
    return guarded("无法打开文档：", [&] {
        try {
            d->closeDocument();
        } catch (const uno::Exception &) {
            d->forgetDocument(); // the user may have closed it already
        }
        d->dropScratch();
        auto document = loadDocument(d->office, fileUrl(path), /*readOnly=*/false);
        uno::Reference<text::XTextDocument> text(document, uno::UNO_QUERY);
        if (!text.is()) {
            closeUnsaved(document);
            return fail(QStringLiteral("不是文字处理文档：") + QDir::toNativeSeparators(path));
        }
        setAsianLocale(document);
        d->document = document;
        d->documentGeneration = d->office.generation();
        if (d->arranged)
            d->applyArrangement();
        return true;
    });
}

bool LibreOfficeWordApp::bringToFront() {
    clearError();
    if (!hasDocument())
        return fail(d->office.alive() ? noDocument : notConnected);
    return guarded("无法激活办公软件窗口：", [&] {
        const auto window = d->frame()->getContainerWindow();
        uno::Reference<awt::XTopWindow> top(window, uno::UNO_QUERY);
        if (top.is())
            top->toFront();
        window->setFocus();
        return true;
    });
}

bool LibreOfficeWordApp::paste(const QString &text) {
    clearError();
    writeClipboard(text);
    if (!hasDocument())
        return fail(d->office.alive() ? noDocument : notConnected);
    return guarded("无法插入文字：", [&] {
        uno::Reference<frame::XModel> model(d->document, uno::UNO_QUERY_THROW);
        uno::Reference<text::XTextViewCursorSupplier> supplier(model->getCurrentController(), uno::UNO_QUERY_THROW);
        const auto cursor = supplier->getViewCursor();
        const uno::Reference<text::XTextRange> at(cursor, uno::UNO_QUERY_THROW);
        // Like a paste, the text takes the place of a selection.
        cursor->getText()->insertString(at, toOU(text), true);
        cursor->collapseToEnd();
        return true;
    });
}

bool LibreOfficeWordApp::encloseSelection(const QString &before, const QString &after) {
    clearError();
    if (!hasDocument())
        return fail(d->office.alive() ? noDocument : notConnected);
    return guarded("无法插入文字：", [&] {
        uno::Reference<frame::XModel> model(d->document, uno::UNO_QUERY_THROW);
        uno::Reference<text::XTextViewCursorSupplier> supplier(model->getCurrentController(), uno::UNO_QUERY_THROW);
        const auto cursor = supplier->getViewCursor();
        // The end first, so the start stays where it was; each end may lie in a text of its own (a table cell).
        const auto end = cursor->getEnd();
        const auto start = cursor->getStart();
        end->getText()->insertString(end, toOU(after), false);
        start->getText()->insertString(start, toOU(before), false);
        return true;
    });
}

namespace {

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

// The text of drawing shapes (a text box of a Word file arrives as one) lies outside what the document's own
// search reaches: body, tables, headers, footers and text frames.
void collectShapeTexts(const uno::Reference<container::XIndexAccess> &shapes,
                       std::vector<uno::Reference<text::XText>> &texts, ShapeTextObjects &kept) {
    for (sal_Int32 i = 0; i < shapes->getCount(); ++i) {
        uno::Reference<lang::XServiceInfo> info(shapes->getByIndex(i), uno::UNO_QUERY);
        if (!info.is())
            continue;
        kept.push_back(info);
        if (info->supportsService(ascii("com.sun.star.text.TextFrame")))
            continue;
        if (info->supportsService(ascii("com.sun.star.drawing.GroupShape"))) {
            uno::Reference<container::XIndexAccess> members(info, uno::UNO_QUERY);
            if (members.is())
                collectShapeTexts(members, texts, kept);
            continue;
        }
        // A shape whose text lives in a text frame attached to it is searched with the frames.
        uno::Reference<beans::XPropertySet> properties(info, uno::UNO_QUERY);
        if (properties.is() && properties->getPropertySetInfo()->hasPropertyByName(ascii("TextBox"))) {
            bool textBox = false;
            if ((properties->getPropertyValue(ascii("TextBox")) >>= textBox) && textBox)
                continue;
        }
        uno::Reference<text::XText> text(info, uno::UNO_QUERY);
        if (text.is())
            texts.push_back(text);
    }
}

std::vector<uno::Reference<text::XText>> shapeTexts(const uno::Reference<lang::XComponent> &document,
                                                    ShapeTextObjects &kept) {
    std::vector<uno::Reference<text::XText>> texts;
    uno::Reference<drawing::XDrawPageSupplier> pages(document, uno::UNO_QUERY);
    if (!pages.is())
        return texts;
        // Writer offers its one draw page only through this (deprecated) supplier.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const uno::Reference<container::XIndexAccess> page(pages->getDrawPage(), uno::UNO_QUERY);
#pragma GCC diagnostic pop
    if (page.is())
        collectShapeTexts(page, texts, kept);
    return texts;
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

namespace {

// "[<" + name + ">]" where one regular-expression search finds exactly this text.
bool isFindableMarker(const QString &text) {
    if (text.size() < 5 || !text.startsWith(QLatin1String("[<")) || !text.endsWith(QLatin1String(">]")))
        return false;
    const QString name = text.mid(2, text.size() - 4);
    return !name.contains(QLatin1String(">]")) && !name.contains(QLatin1Char('\n')) &&
           !name.contains(QLatin1Char('\r'));
}

// The whole batch in one search when every find text is a marker: all markers are found at once, and each
// occurrence gets the text that replacing the pairs one after the other would leave there, i.e. its value
// with the later pairs applied to it. Returns false, having changed nothing, when the document holds a marker
// form this cannot settle (a marker inside another bracket pair); the caller then goes pair by pair.
bool replaceMarkersInOnePass(const uno::Reference<util::XReplaceable> &replaceable,
                             const QList<QPair<QString, QString>> &pairs, QList<int> &counts) {
    QHash<QString, int> indexOf;
    for (const auto &pair : pairs) {
        if (!isFindableMarker(pair.first))
            return false;
    }
    // Of two pairs with one marker the first wins, as in order.
    for (int i = static_cast<int>(pairs.size()) - 1; i >= 0; --i)
        indexOf.insert(pairs[i].first.toLower(), i);

    const auto descriptor = literalSearch(replaceable->createReplaceDescriptor(), QStringLiteral("\\[<.+?>\\]"));
    uno::Reference<beans::XPropertySet>(descriptor, uno::UNO_QUERY_THROW)
        ->setPropertyValue(ascii("SearchRegularExpression"), uno::Any(true));
    const auto found = replaceable->findAll(uno::Reference<util::XSearchDescriptor>(descriptor, uno::UNO_QUERY_THROW));
    const sal_Int32 n = found.is() ? found->getCount() : 0;

    // Reading the found texts is a pair of round trips per occurrence; spread over a few threads their waits
    // overlap (the office serves them one after the other, nothing changes meanwhile).
    std::vector<uno::Reference<text::XTextRange>> foundRanges(static_cast<size_t>(n));
    std::vector<rtl::OUString> foundTexts(static_cast<size_t>(n));
    std::exception_ptr failure;
    std::mutex failureMutex;
    const int threads = std::clamp(n / 32, 1, 4);
    auto read = [&](int first) {
        try {
            for (sal_Int32 i = first; i < n; i += threads) {
                foundRanges[static_cast<size_t>(i)].set(found->getByIndex(i), uno::UNO_QUERY_THROW);
                foundTexts[static_cast<size_t>(i)] = foundRanges[static_cast<size_t>(i)]->getString();
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

    QList<uno::Reference<text::XTextRange>> ranges;
    QList<int> which;
    for (sal_Int32 i = 0; i < n; ++i) {
        const auto &range = foundRanges[static_cast<size_t>(i)];
        const QString text = toQ(foundTexts[static_cast<size_t>(i)]).toLower();
        const int index = indexOf.value(text, -1);
        if (index < 0) {
            for (const auto &pair : pairs) {
                if (text.contains(pair.first, Qt::CaseInsensitive))
                    return false;
            }
            continue; // bracketed text that is no marker of ours stays
        }
        ranges << range;
        which << index;
    }

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
    for (int r = 0; r < ranges.size(); ++r) {
        const int index = which[r];
        // Count as the pair-by-pair run would: later markers inside the inserted value count for their pair.
        QString value = pairs[index].second;
        for (int k = index + 1; k < pairs.size(); ++k) {
            const auto inside = value.count(pairs[k].first, Qt::CaseInsensitive);
            counts[k] += static_cast<int>(inside);
            if (inside)
                value.replace(pairs[k].first, pairs[k].second, Qt::CaseInsensitive);
        }
        ++counts[index];
        const QString text = textFor(index);
        if (hasLineBreak(text))
            setTextWithBreaks(ranges[r], text);
        else
            ranges[r]->setString(toOU(text));
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

namespace {

// Where the OpenDocument copies of templates are kept: beside the office profiles, in the user's cache.
QString templateCacheFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/vantrel/templates");
}

// The OpenDocument copy of a template, made by the office when there is none for these contents of the template
// (a digest of its bytes is part of the name, so an edited template gets a new copy and the old one goes).
// Empty when the office could not make it.
QString openDocumentCopy(OfficeInstance &office, const QString &templatePath) {
    // Offices of a batch working side by side make one copy, not two that remove each other's.
    static std::mutex converting;
    const std::lock_guard lock(converting);
    const QFileInfo info(templatePath);
    QFile file(templatePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash contents(QCryptographicHash::Sha1);
    if (!contents.addData(&file))
        return {};
    file.close();
    const QString folder = templateCacheFolder();
    const QString key = QString::fromLatin1(
        QCryptographicHash::hash(info.absoluteFilePath().toUtf8(), QCryptographicHash::Sha1).toHex().left(20));
    QString copy = folder + QLatin1Char('/') + key + QLatin1Char('-') + QString::fromLatin1(contents.result().toHex()) +
                   QStringLiteral(".odt");
    if (QFileInfo(copy).isFile())
        return copy;
    if (!QDir().mkpath(folder))
        return {};
    for (const QString &old : QDir(folder).entryList({key + QStringLiteral("-*.odt")}, QDir::Files))
        QFile::remove(folder + QLatin1Char('/') + old);
    QTemporaryFile staging(folder + QStringLiteral("/.convert-XXXXXX.odt"));
    if (!staging.open())
        return {};
    staging.close();
    const auto document = loadDocument(office, fileUrl(templatePath), /*readOnly=*/true, /*hidden=*/true);
    try {
        uno::Reference<frame::XStorable> storable(document, uno::UNO_QUERY_THROW);
        storable->storeToURL(fileUrl(staging.fileName()), props({prop("FilterName", uno::Any(ascii("writer8"))),
                                                                 prop("Overwrite", uno::Any(true))}));
    } catch (...) {
        closeUnsaved(document);
        throw;
    }
    closeUnsaved(document);
    if (!QFile::rename(staging.fileName(), copy))
        return {};
    staging.setAutoRemove(false);
    return copy;
}

} // namespace

QString LibreOfficeWordApp::openDocumentCopyOf(const QString &templatePath) {
    clearError();
    if (!d->office.alive() || !QFileInfo(templatePath).isFile())
        return {};
    return guarded("办公软件无法读取模板：", [&] { return openDocumentCopy(d->office, templatePath); });
}

bool LibreOfficeWordApp::openPrefilled(const QString &templatePath, const QList<QPair<QString, QString>> &pairs,
                                       const QHash<QString, QString> &conditions) {
    clearError();
    if (!d->office.alive())
        return fail(notConnected);
    if (pairs.isEmpty() || !QFileInfo(templatePath).isFile())
        return false;
    for (const auto &pair : pairs) {
        if (!isFindableMarker(pair.first))
            return false;
    }
    QString copy;
    try {
        OfficeInstance::Watch watch(d->office);
        copy = openDocumentCopy(d->office, templatePath);
    } catch (const uno::Exception &) {
        // A template the office cannot convert is filled the usual way, which reports what is wrong with it; an
        // office that ended meanwhile is reported here.
        if (!d->office.alive())
            return fail(d->office.takeTimedOut() ? QStringLiteral("办公软件没有响应，已被结束") : notConnected);
        return false;
    }
    if (copy.isEmpty())
        return false;
    QTemporaryFile filled(templateCacheFolder() + QStringLiteral("/filled-XXXXXX.odt"));
    if (!filled.open())
        return false;
    filled.close();
    const PackageTemplate::Result result = PackageTemplate::fill(copy, filled.fileName(), pairs, conditions);
    if (!result.ok) {
        // A damaged copy is made anew next time.
        QFile::remove(copy);
        return false;
    }
    // Our own filled copy failing to open means the office failed (it may not even know yet that it is ending):
    // said, not passed over to the slower way.
    if (!open(filled.fileName()))
        return false;
    filled.setAutoRemove(false);
    d->scratch = filled.fileName();
    return true;
}

// A document keeps the format its name says: a template or contract kept as .docx or .odt must not become a Word 97
// file under that name.
static const char *writerFilterFor(const QString &path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("docx"))
        return "MS Word 2007 XML";
    if (suffix == QLatin1String("odt"))
        return "writer8";
    return "MS Word 97";
}

bool LibreOfficeWordApp::canWriteDocumentTo(const QString &path) {
    clearError();
    if (!hasDocument())
        return fail(d->office.alive() ? noDocument : notConnected);
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        return fail(QStringLiteral("文件夹不存在：") + QDir::toNativeSeparators(info.absolutePath()));
    // An office that meets a full disk while it writes waits there until the watchdog ends it, minutes later;
    // a disk without room to spare is reported at once.
    const QStorageInfo storage(info.absolutePath());
    if (storage.isValid() && storage.bytesAvailable() >= 0 && storage.bytesAvailable() < kMinimumFreeBytes)
        return fail(QStringLiteral("磁盘空间不足，不能保存文档：") + QDir::toNativeSeparators(path));
    return true;
}

bool LibreOfficeWordApp::saveAs(const QString &path) {
    if (!canWriteDocumentTo(path))
        return false;
    return guarded("保存文档失败：", [&] {
        uno::Reference<frame::XStorable> storable(d->document, uno::UNO_QUERY_THROW);
        std::vector<beans::PropertyValue> arguments{prop("FilterName", uno::Any(ascii(writerFilterFor(path)))),
                                                    prop("Overwrite", uno::Any(true))};
        if (d->quickSave) {
            arguments.push_back(prop("NoFileSync", uno::Any(true)));
            arguments.push_back(prop("NoThumbnail", uno::Any(true)));
        }
        storable->storeAsURL(fileUrl(path), uno::Sequence<beans::PropertyValue>(
                                                arguments.data(), static_cast<sal_Int32>(arguments.size())));
        if (QFileInfo(path).absoluteFilePath() != QFileInfo(d->scratch).absoluteFilePath())
            d->dropScratch();
        return true;
    });
}

bool LibreOfficeWordApp::exportPdf(const QString &path) {
    if (!canWriteDocumentTo(path))
        return false;
    return guarded("导出PDF文件失败：", [&] {
        uno::Reference<frame::XStorable> storable(d->document, uno::UNO_QUERY_THROW);
        // Fonts go into the file, so that the Chinese text looks the same and can be selected everywhere.
        const auto filterData = props({prop("EmbedStandardFonts", uno::Any(true))});
        std::vector<beans::PropertyValue> arguments{prop("FilterName", uno::Any(ascii("writer_pdf_Export"))),
                                                    prop("FilterData", uno::Any(filterData)),
                                                    prop("Overwrite", uno::Any(true))};
        if (d->quickSave)
            arguments.push_back(prop("NoFileSync", uno::Any(true)));
        storable->storeToURL(fileUrl(path), uno::Sequence<beans::PropertyValue>(
                                                arguments.data(), static_cast<sal_Int32>(arguments.size())));
        return true;
    });
}

bool LibreOfficeWordApp::print() {
    clearError();
    if (!hasDocument())
        return fail(d->office.alive() ? noDocument : notConnected);
    return guarded("打印失败：", [&] {
        uno::Reference<view::XPrintable> printable(d->document, uno::UNO_QUERY_THROW);
        // Without any printer the office would print into nothing and report nothing.
        rtl::OUString printer;
        for (const auto &p : printable->getPrinter()) {
            if (p.Name == "Name")
                p.Value >>= printer;
        }
        if (printer.isEmpty())
            return fail(QStringLiteral("系统中没有可用的打印机"));
        printable->print(props({prop("Wait", uno::Any(true))}));
        return true;
    });
}

bool LibreOfficeWordApp::sendMail() {
    clearError();
    if (!hasDocument())
        return fail(d->office.alive() ? noDocument : notConnected);
    return guarded("无法发送邮件：", [&] {
        uno::Reference<frame::XDispatchProvider> provider(d->frame(), uno::UNO_QUERY_THROW);
        util::URL url;
        url.Complete = ascii(".uno:SendMail");
        url.Main = url.Complete;
        url.Protocol = ascii(".uno:");
        url.Path = ascii("SendMail");
        // An office without a mail program behind it offers no such command: that is a failure, not a silence.
        if (!provider->queryDispatch(url, ascii(""), 0).is())
            return fail(QStringLiteral("无法发送邮件：办公软件不能发送邮件"));
        const auto helper = frame::DispatchHelper::create(d->office.context());
        const uno::Any result = helper->executeDispatch(provider, ascii(".uno:SendMail"), ascii(""), 0, {});
        frame::DispatchResultEvent event;
        if ((result >>= event) && event.State == frame::DispatchResultState::FAILURE)
            return fail(QStringLiteral("无法发送邮件：办公软件没有能够打开邮件程序"));
        return true;
    });
}

bool LibreOfficeWordApp::isModified() {
    if (!hasDocument())
        return false;
    // A document the user closed in the office, or an office that went away: nothing left to keep.
    return office_calls::quietly(d->office, [&] {
        uno::Reference<util::XModifiable> modifiable(d->document, uno::UNO_QUERY);
        return modifiable.is() && modifiable->isModified();
    });
}

bool LibreOfficeWordApp::quit() {
    clearError();
    if (d->shared) {
        // The other windows' documents stay open in the shared office: only this one is closed, unsaved.
        if (hasDocument())
            office_calls::quietly(d->office, [&] { d->closeDocument(); });
        d->forgetDocument();
        d->dropScratch();
        d->arranged = false;
        return true;
    }
    // Ending the office closes every document unsaved, under the watchdog.
    d->document.clear();
    d->office.terminate();
    d->keptShapeObjects.clear();
    d->dropScratch();
    d->arranged = false;
    return true;
}

void LibreOfficeWordApp::disconnect() {
    d->forgetDocument();
    // The shared office's references serve the other windows too.
    if (!d->shared)
        d->office.release();
}

std::optional<QString> LibreOfficeWordApp::documentText() {
    clearError();
    if (!hasDocument()) {
        fail(d->office.alive() ? noDocument : notConnected);
        return std::nullopt;
    }
    return guarded("无法读取文档：",
                   [&] { return std::optional<QString>(textOfDocument(d->document, d->keptShapeObjects)); });
}

bool LibreOfficeWordApp::saveInPlaceForTest() {
    clearError();
    if (!hasDocument())
        return fail(noDocument);
    return guarded("保存文档失败：", [&] {
        uno::Reference<frame::XStorable>(d->document, uno::UNO_QUERY_THROW)->store();
        return true;
    });
}

void LibreOfficeWordApp::killOfficeForTest() {
    d->office.killForTest();
}

void LibreOfficeWordApp::freezeOfficeForTest() {
    d->office.freezeForTest();
}
