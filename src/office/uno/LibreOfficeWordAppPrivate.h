#pragma once

// What the three parts of LibreOfficeWordApp share: the connection to the office with its document, and the
// wrapper of every remote call. The parts: LibreOfficeWordApp.cpp (open, arrange, save, print), MarkerReplacement.cpp
// (markers replaced in the open document) and PrefilledDocument.cpp (a template filled in the program, then loaded).

#include "office/LibreOfficeWordApp.h"
#include "office/uno/OfficeCalls.h"
#include "office/uno/OfficeInstance.h"
#include "office/uno/UnoDocuments.h"

#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/Reference.hxx>

#include <QString>

#include <memory>
#include <utility>

struct LibreOfficeWordApp::Private {
    // shared null: an office of this object's own.
    Private(bool headless, OfficeInstance *shared)
        : own(shared ? nullptr : std::make_unique<OfficeInstance>(OfficeInstance::Kind::Private, headless))
        , office(own ? *own : *shared)
        , shared(shared != nullptr) {}

    // Declared first, so that they go after the office has ended with the document.
    ShapeTextObjects keptShapeObjects;
    std::unique_ptr<OfficeInstance> own;
    OfficeInstance &office;
    const bool shared;
    bool quickSave = false;
    com::sun::star::uno::Reference<com::sun::star::lang::XComponent> document;
    int documentGeneration = 0; // the office connection the document came from
    bool arranged = false;
    // The filled copy a prefilled document was loaded from; it goes once the document stands elsewhere.
    QString scratch;

    void dropScratch();
    com::sun::star::uno::Reference<com::sun::star::frame::XFrame> frame() const;
    void applyArrangement();
    void closeDocument();
    // The document is closed (or left to the user): what its shapes handed out may go now.
    void forgetDocument();
};

namespace word_app {

inline const QString notConnected = QStringLiteral("办公软件没有连接或已经关闭");
inline const QString noDocument = QStringLiteral("办公软件中没有打开的文档");

// "[<" + name + ">]" where one regular-expression search finds exactly this text.
bool isFindableMarker(const QString &text);

// Where the OpenDocument copies of templates and the filled documents are kept, in the user's cache.
QString templateCacheFolder();

} // namespace word_app

template <typename Body> auto LibreOfficeWordApp::guarded(const char *what, Body &&body) -> decltype(body()) {
    return office_calls::guarded(
        d->office, QString::fromUtf8(what), [this](const QString &error) { fail(error); }, std::forward<Body>(body));
}
