// Writes a blank Word 97 document with a headless office: Chinese as its Asian language, nothing else.
//
//   vantrel-make-doc <output.Doc>

#include "office/uno/OfficeInstance.h"
#include "office/uno/UnoDocuments.h"
#include "office/uno/UnoSupport.h"

#include <com/sun/star/frame/XStorable.hpp>

#include <QCoreApplication>
#include <QTextStream>

using namespace com::sun::star;
using namespace uno_support;

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    if (app.arguments().size() != 2) {
        err << "usage: vantrel-make-doc <output.Doc>" << Qt::endl;
        return 2;
    }
    OfficeInstance office(OfficeInstance::Kind::Private, /*headless=*/true);
    QString error;
    if (!office.ensureRunning(&error)) {
        err << error << Qt::endl;
        return 1;
    }
    try {
        const auto document = loadDocument(office, ascii("private:factory/swriter"), false, true);
        setAsianLocale(document);
        uno::Reference<frame::XStorable> storable(document, uno::UNO_QUERY_THROW);
        storable->storeToURL(fileUrl(app.arguments().at(1)), props({prop("FilterName", uno::Any(ascii("MS Word 97"))),
                                                                    prop("Overwrite", uno::Any(true))}));
        closeUnsaved(document);
    } catch (const uno::Exception &e) {
        err << describe(e) << Qt::endl;
        return 1;
    }
    return 0;
}
