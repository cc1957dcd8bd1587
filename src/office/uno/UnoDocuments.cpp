#include "office/uno/UnoDocuments.h"

#include "office/uno/OfficeInstance.h"
#include "office/uno/UnoSupport.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/drawing/XDrawPageSupplier.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextFramesSupplier.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/text/XTextTable.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>

using namespace com::sun::star;
using namespace uno_support;

uno::Reference<lang::XComponent> loadDocument(OfficeInstance &office, const rtl::OUString &url, bool readOnly,
                                              bool hidden) {
    const auto args = props({
        prop("Hidden", uno::Any(hidden || office.headless())),
        prop("ReadOnly", uno::Any(readOnly)),
        prop("MacroExecutionMode", uno::Any(document::MacroExecMode::NEVER_EXECUTE)),
        prop("UpdateDocMode", uno::Any(document::UpdateDocMode::NO_UPDATE)),
    });
    auto document = office.desktop()->loadComponentFromURL(url, ascii("_blank"), 0, args);
    if (!document.is())
        throw uno::RuntimeException(toOU(QStringLiteral("办公软件无法读取这个文件")));
    return document;
}

void closeUnsaved(const uno::Reference<lang::XComponent> &document) {
    uno::Reference<util::XModifiable> modifiable(document, uno::UNO_QUERY);
    if (modifiable.is())
        modifiable->setModified(false);
    uno::Reference<util::XCloseable> closeable(document, uno::UNO_QUERY);
    if (closeable.is())
        closeable->close(true);
    else
        document->dispose();
}

void setAsianLocale(const uno::Reference<lang::XComponent> &document) {
    uno::Reference<lang::XMultiServiceFactory> factory(document, uno::UNO_QUERY);
    uno::Reference<beans::XPropertySet> defaults;
    if (uno::Reference<text::XTextDocument>(document, uno::UNO_QUERY).is() && factory.is())
        defaults.set(factory->createInstance(ascii("com.sun.star.text.Defaults")), uno::UNO_QUERY);
    else
        defaults.set(document, uno::UNO_QUERY);
    if (!defaults.is())
        return;
    uno::Reference<util::XModifiable> modifiable(document, uno::UNO_QUERY);
    const bool wasModified = modifiable.is() && modifiable->isModified();
    defaults->setPropertyValue(ascii("CharLocaleAsian"), uno::Any(chineseLocale()));
    if (modifiable.is() && !wasModified)
        modifiable->setModified(false);
}

uno::Reference<util::XReplaceDescriptor> literalSearch(const uno::Reference<util::XReplaceDescriptor> &descriptor,
                                                       const QString &text) {
    descriptor->setSearchString(toOU(text));
    uno::Reference<beans::XPropertySet> options(descriptor, uno::UNO_QUERY_THROW);
    options->setPropertyValue(ascii("SearchCaseSensitive"), uno::Any(false));
    options->setPropertyValue(ascii("SearchWords"), uno::Any(false));
    options->setPropertyValue(ascii("SearchRegularExpression"), uno::Any(false));
    options->setPropertyValue(ascii("SearchSimilarity"), uno::Any(false));
    options->setPropertyValue(ascii("SearchStyles"), uno::Any(false));
    options->setPropertyValue(ascii("SearchBackwards"), uno::Any(false));
    return descriptor;
}

namespace {

void appendText(QStringList &lines, const uno::Reference<text::XText> &text, ShapeTextObjects *kept = nullptr);

void appendTable(QStringList &lines, const uno::Reference<text::XTextTable> &table) {
    const auto names = table->getCellNames();
    for (const auto &name : names) {
        uno::Reference<text::XText> cell(table->getCellByName(name), uno::UNO_QUERY);
        if (cell.is())
            appendText(lines, cell);
    }
}

// kept: set for the text of a drawing shape.
void appendText(QStringList &lines, const uno::Reference<text::XText> &text, ShapeTextObjects *kept) {
    uno::Reference<container::XEnumerationAccess> access(text, uno::UNO_QUERY);
    if (!access.is()) {
        lines << toQ(text->getString());
        return;
    }
    const auto paragraphs = access->createEnumeration();
    if (kept)
        kept->push_back(paragraphs);
    while (paragraphs->hasMoreElements()) {
        const auto element = paragraphs->nextElement();
        if (kept)
            kept->emplace_back(element, uno::UNO_QUERY);
        uno::Reference<text::XTextTable> table(element, uno::UNO_QUERY);
        if (table.is()) {
            appendTable(lines, table);
            continue;
        }
        uno::Reference<text::XTextRange> paragraph(element, uno::UNO_QUERY);
        if (paragraph.is())
            lines << toQ(paragraph->getString());
    }
}

// Page styles that some body paragraph uses; imported Word files carry converted styles nobody uses.
QStringList usedPageStyles(const uno::Reference<text::XText> &body) {
    QStringList names;
    uno::Reference<container::XEnumerationAccess> access(body, uno::UNO_QUERY_THROW);
    const auto paragraphs = access->createEnumeration();
    while (paragraphs->hasMoreElements()) {
        uno::Reference<beans::XPropertySet> paragraph(paragraphs->nextElement(), uno::UNO_QUERY);
        rtl::OUString name;
        if (paragraph.is() && (paragraph->getPropertyValue(ascii("PageStyleName")) >>= name) && !name.isEmpty() &&
            !names.contains(toQ(name)))
            names << toQ(name);
    }
    return names;
}

void appendHeadersAndFooters(QStringList &lines, const uno::Reference<lang::XComponent> &document) {
    uno::Reference<style::XStyleFamiliesSupplier> supplier(document, uno::UNO_QUERY);
    uno::Reference<text::XTextDocument> textDocument(document, uno::UNO_QUERY);
    if (!supplier.is() || !textDocument.is())
        return;
    uno::Reference<container::XNameAccess> pageStyles(supplier->getStyleFamilies()->getByName(ascii("PageStyles")),
                                                      uno::UNO_QUERY_THROW);
    // {switch, text, "shared" flag that makes this text a copy of the main one (empty: always its own)}
    const char *const parts[][3] = {
        {"HeaderIsOn", "HeaderText", ""},
        {"HeaderIsOn", "HeaderTextLeft", "HeaderIsShared"},
        {"HeaderIsOn", "HeaderTextFirst", "FirstIsShared"},
        {"FooterIsOn", "FooterText", ""},
        {"FooterIsOn", "FooterTextLeft", "FooterIsShared"},
        {"FooterIsOn", "FooterTextFirst", "FirstIsShared"},
    };
    for (const QString &name : usedPageStyles(textDocument->getText())) {
        uno::Reference<beans::XPropertySet> style(pageStyles->getByName(toOU(name)), uno::UNO_QUERY);
        if (!style.is())
            continue;
        for (const auto &part : parts) {
            try {
                bool on = false;
                if (!(style->getPropertyValue(ascii(part[0])) >>= on) || !on)
                    continue;
                bool shared = false;
                if (*part[2] && (style->getPropertyValue(ascii(part[2])) >>= shared) && shared)
                    continue;
                uno::Reference<text::XText> text(style->getPropertyValue(ascii(part[1])), uno::UNO_QUERY);
                if (text.is())
                    appendText(lines, text);
            } catch (const uno::Exception &) {
                // Not every office version knows every part (first-page headers came later).
            }
        }
    }
}

void appendFramesAndShapes(QStringList &lines, const uno::Reference<lang::XComponent> &document,
                           ShapeTextObjects &kept) {
    uno::Reference<text::XTextFramesSupplier> frames(document, uno::UNO_QUERY);
    if (frames.is()) {
        uno::Reference<container::XIndexAccess> all(frames->getTextFrames(), uno::UNO_QUERY_THROW);
        for (sal_Int32 i = 0; i < all->getCount(); ++i) {
            uno::Reference<text::XText> text(all->getByIndex(i), uno::UNO_QUERY);
            if (text.is())
                appendText(lines, text);
        }
    }
    for (const auto &text : shapeTexts(document, kept)) {
        if (!text->getString().isEmpty())
            appendText(lines, text, &kept);
    }
}

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

} // namespace

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

QString textOfDocument(const uno::Reference<lang::XComponent> &document, ShapeTextObjects &kept) {
    uno::Reference<text::XTextDocument> textDocument(document, uno::UNO_QUERY_THROW);
    QStringList lines;
    appendText(lines, textDocument->getText());
    appendHeadersAndFooters(lines, document);
    appendFramesAndShapes(lines, document, kept);
    return lines.join(QLatin1Char('\n'));
}
