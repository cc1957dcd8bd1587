#include "documents/OfficeFixture.h"

#include "office/LibreOfficeWordApp.h"
#include "office/uno/LibreOfficeWordAppPrivate.h"
#include "office/uno/OfficeInstance.h"
#include "office/uno/UnoDocuments.h"
#include "office/uno/UnoSupport.h"

#include <com/sun/star/awt/Point.hpp>
#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/drawing/ShapeCollection.hpp>
#include <com/sun/star/drawing/XDrawPageSupplier.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/drawing/XShapeGrouper.hpp>
#include <com/sun/star/drawing/XShapes.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/text/ControlCharacter.hpp>
#include <com/sun/star/text/TextContentAnchorType.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextFrame.hpp>
#include <com/sun/star/text/XTextTable.hpp>

#include <QProcess>

#include <csignal>

using namespace com::sun::star;
using namespace uno_support;

namespace {

void fillPageStyle(const uno::Reference<lang::XComponent> &document, const DocFixture &content) {
    uno::Reference<style::XStyleFamiliesSupplier> supplier(document, uno::UNO_QUERY_THROW);
    uno::Reference<container::XNameAccess> pageStyles(supplier->getStyleFamilies()->getByName(ascii("PageStyles")),
                                                      uno::UNO_QUERY_THROW);
    uno::Reference<beans::XPropertySet> style(pageStyles->getByName(ascii("Standard")), uno::UNO_QUERY_THROW);
    if (!content.header.isEmpty()) {
        style->setPropertyValue(ascii("HeaderIsOn"), uno::Any(true));
        uno::Reference<text::XText> header(style->getPropertyValue(ascii("HeaderText")), uno::UNO_QUERY_THROW);
        header->setString(toOU(content.header));
    }
    if (!content.footer.isEmpty()) {
        style->setPropertyValue(ascii("FooterIsOn"), uno::Any(true));
        uno::Reference<text::XText> footer(style->getPropertyValue(ascii("FooterText")), uno::UNO_QUERY_THROW);
        footer->setString(toOU(content.footer));
    }
}

uno::Reference<drawing::XShape> addTextBox(const uno::Reference<lang::XComponent> &document,
                                           const uno::Reference<text::XTextRange> &at, const QString &text, int row) {
    uno::Reference<lang::XMultiServiceFactory> factory(document, uno::UNO_QUERY_THROW);
    uno::Reference<drawing::XShape> shape(factory->createInstance(ascii("com.sun.star.drawing.TextShape")),
                                          uno::UNO_QUERY_THROW);
    shape->setSize(awt::Size(8000, 1500));
    shape->setPosition(awt::Point(1000, 1000 + row * 2000));
    uno::Reference<beans::XPropertySet>(shape, uno::UNO_QUERY_THROW)
        ->setPropertyValue(ascii("AnchorType"), uno::Any(text::TextContentAnchorType_AT_PARAGRAPH));
    at->getText()->insertTextContent(at, uno::Reference<text::XTextContent>(shape, uno::UNO_QUERY_THROW), false);
    uno::Reference<text::XText>(shape, uno::UNO_QUERY_THROW)->setString(toOU(text));
    return shape;
}

void addTextBoxes(OfficeInstance &office, const uno::Reference<lang::XComponent> &document,
                  const uno::Reference<text::XTextRange> &at, const DocFixture &content) {
    if (!content.textBox.isEmpty())
        addTextBox(document, at, content.textBox, 0);
    if (content.groupedTextBoxes.isEmpty())
        return;
    const auto group = drawing::ShapeCollection::create(office.context());
    for (int i = 0; i < content.groupedTextBoxes.size(); ++i)
        group->add(addTextBox(document, at, content.groupedTextBoxes.at(i), i + 1));
    uno::Reference<drawing::XDrawPageSupplier> pages(document, uno::UNO_QUERY_THROW);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    uno::Reference<drawing::XShapeGrouper> grouper(pages->getDrawPage(), uno::UNO_QUERY_THROW);
#pragma GCC diagnostic pop
    grouper->group(group);
}

void build(const uno::Reference<lang::XComponent> &document, const DocFixture &content) {
    uno::Reference<text::XTextDocument> textDocument(document, uno::UNO_QUERY_THROW);
    uno::Reference<lang::XMultiServiceFactory> factory(document, uno::UNO_QUERY_THROW);
    const auto body = textDocument->getText();
    const uno::Reference<text::XTextRange> end(body->createTextCursorByRange(body->getEnd()), uno::UNO_QUERY_THROW);
    for (int i = 0; i < content.paragraphs.size(); ++i) {
        if (i > 0)
            body->insertControlCharacter(end, text::ControlCharacter::PARAGRAPH_BREAK, false);
        body->insertString(end, toOU(content.paragraphs.at(i)), false);
    }
    if (!content.table.isEmpty()) {
        uno::Reference<text::XTextTable> table(factory->createInstance(ascii("com.sun.star.text.TextTable")),
                                               uno::UNO_QUERY_THROW);
        const auto rows = static_cast<sal_Int32>(content.table.size());
        const auto columns = static_cast<sal_Int32>(content.table.first().size());
        table->initialize(rows, columns);
        body->insertControlCharacter(end, text::ControlCharacter::PARAGRAPH_BREAK, false);
        body->insertTextContent(end, uno::Reference<text::XTextContent>(table, uno::UNO_QUERY_THROW), false);
        for (sal_Int32 r = 0; r < rows; ++r) {
            for (sal_Int32 c = 0; c < columns; ++c) {
                const QString name = QChar(u'A' + c) + QString::number(r + 1);
                uno::Reference<text::XText> cell(table->getCellByName(toOU(name)), uno::UNO_QUERY_THROW);
                cell->setString(toOU(content.table.at(r).value(c)));
            }
        }
    }
    if (!content.frame.isEmpty()) {
        uno::Reference<text::XTextFrame> frame(factory->createInstance(ascii("com.sun.star.text.TextFrame")),
                                               uno::UNO_QUERY_THROW);
        uno::Reference<drawing::XShape>(frame, uno::UNO_QUERY_THROW)->setSize(awt::Size(8000, 2000));
        uno::Reference<beans::XPropertySet>(frame, uno::UNO_QUERY_THROW)
            ->setPropertyValue(ascii("AnchorType"), uno::Any(text::TextContentAnchorType_AT_PARAGRAPH));
        body->insertControlCharacter(end, text::ControlCharacter::PARAGRAPH_BREAK, false);
        body->insertTextContent(end, uno::Reference<text::XTextContent>(frame, uno::UNO_QUERY_THROW), false);
        frame->getText()->setString(toOU(content.frame));
    }
    fillPageStyle(document, content);
}

} // namespace

struct DocFixtureWriter::Private {
    OfficeInstance office{OfficeInstance::Kind::Private, /*headless=*/true};
};

DocFixtureWriter::DocFixtureWriter()
    : d(std::make_unique<Private>()) {}

DocFixtureWriter::~DocFixtureWriter() = default;

bool DocFixtureWriter::write(const QString &path, const DocFixture &content, QString *error) {
    if (!d->office.ensureRunning(error))
        return false;
    try {
        const auto document = loadDocument(d->office, ascii("private:factory/swriter"), false, true);
        try {
            build(document, content);
            if (!content.textBox.isEmpty() || !content.groupedTextBoxes.isEmpty()) {
                uno::Reference<text::XTextDocument> text(document, uno::UNO_QUERY_THROW);
                addTextBoxes(d->office, document, text->getText()->getStart(), content);
            }
            uno::Reference<frame::XStorable> storable(document, uno::UNO_QUERY_THROW);
            storable->storeToURL(fileUrl(path), props({prop("FilterName", uno::Any(ascii("MS Word 97"))),
                                                       prop("Overwrite", uno::Any(true))}));
        } catch (...) {
            closeUnsaved(document);
            throw;
        }
        closeUnsaved(document);
        return true;
    } catch (const uno::Exception &e) {
        *error = describe(e);
    }
    return false;
}

bool writeDocFixture(const QString &path, const DocFixture &content, QString *error) {
    DocFixtureWriter writer;
    return writer.write(path, content, error);
}

void OfficeTestAccess::killOffice(LibreOfficeWordApp &word) {
    OfficeInstance &office = word.d->office;
    if (!office.mProcess)
        return;
    ::kill(-static_cast<pid_t>(office.mProcess->processId()), SIGKILL);
    office.mProcess->waitForFinished(5'000);
}

void OfficeTestAccess::freezeOffice(LibreOfficeWordApp &word) {
    OfficeInstance &office = word.d->office;
    if (office.mProcess)
        ::kill(-static_cast<pid_t>(office.mProcess->processId()), SIGSTOP);
}

bool OfficeTestAccess::saveInPlace(LibreOfficeWordApp &word) {
    word.clearError();
    if (!word.hasDocument())
        return word.fail(word_app::noDocument);
    return word.guarded("保存文档失败：", [&] {
        uno::Reference<frame::XStorable>(word.d->document, uno::UNO_QUERY_THROW)->store();
        return true;
    });
}
