#include "office/LibreOfficeWordApp.h"

#include "office/SharedOffice.h"
#include "office/uno/LibreOfficeWordAppPrivate.h"
#include "office/uno/UnoSupport.h"

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
using word_app::noDocument;
using word_app::notConnected;

void LibreOfficeWordApp::Private::dropScratch() {
    if (!scratch.isEmpty())
        QFile::remove(scratch);
    scratch.clear();
}

uno::Reference<frame::XFrame> LibreOfficeWordApp::Private::frame() const {
    uno::Reference<frame::XModel> model(document, uno::UNO_QUERY_THROW);
    const auto controller = model->getCurrentController();
    if (!controller.is())
        throw uno::RuntimeException(ascii("文档没有窗口"));
    return controller->getFrame();
}

void LibreOfficeWordApp::Private::applyArrangement() {
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
        window->setPosSize(pointsToPixels(kLeft), pointsToPixels(kTop), pointsToPixels(kWidth), pointsToPixels(kHeight),
                           awt::PosSize::POSSIZE);
    } catch (const uno::Exception &) {
        // The place of the window is a nicety.
    }
}

void LibreOfficeWordApp::Private::closeDocument() {
    if (document.is())
        closeUnsaved(document);
    forgetDocument();
}

void LibreOfficeWordApp::Private::forgetDocument() {
    document.clear();
    keptShapeObjects.clear();
}

namespace {

// Room a save needs beside the document itself: the office writes a temporary copy next to it first.
constexpr qint64 kMinimumFreeBytes = qint64(1024) * 1024;

} // namespace

LibreOfficeWordApp::LibreOfficeWordApp(Display display)
    : d(std::make_unique<Private>(display == Display::Headless || (display == Display::FromEnvironment &&
                                                                   OfficeInstance::headlessFromEnvironment()),
                                  nullptr)) {}

LibreOfficeWordApp::LibreOfficeWordApp(SharedOffice &office)
    : d(std::make_unique<Private>(office.mOffice->headless(), office.mOffice.get())) {}

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

bool LibreOfficeWordApp::isStarting() {
    return d->office.starting() && !d->office.reachedNow();
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
