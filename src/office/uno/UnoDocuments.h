#pragma once

#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/uno/Reference.hxx>
#include <com/sun/star/uno/XInterface.hpp>
#include <com/sun/star/util/XReplaceDescriptor.hpp>

#include <rtl/ustring.hxx>

#include <QString>

#include <vector>

class OfficeInstance;

// Document chores shared by the Writer, Calc and PDF parts. They throw UNO exceptions; callers catch them.

// Loads url into a new frame: hidden when the office is headless, macros never run, no dialogs.
com::sun::star::uno::Reference<com::sun::star::lang::XComponent>
loadDocument(OfficeInstance &office, const rtl::OUString &url, bool readOnly, bool hidden = false);
void closeUnsaved(const com::sun::star::uno::Reference<com::sun::star::lang::XComponent> &document);
// Without it Chinese text renders with Japanese glyph variants.
void setAsianLocale(const com::sun::star::uno::Reference<com::sun::star::lang::XComponent> &document);
// A search for text as it is: no wildcards or regular expressions, letter case ignored, not limited to words.
com::sun::star::uno::Reference<com::sun::star::util::XReplaceDescriptor>
literalSearch(const com::sun::star::uno::Reference<com::sun::star::util::XReplaceDescriptor> &descriptor,
              const QString &text);
// The office objects met in the text of drawing shapes (the shapes themselves, their paragraphs, cursors and
// ranges), held until their document is closed. The office destroys such an object on its own thread when its
// last reference here goes, without waiting for the calls that run meanwhile on the same shape, and that race
// ends the office now and then; once the document is closed nothing else touches them.
using ShapeTextObjects = std::vector<com::sun::star::uno::Reference<com::sun::star::uno::XInterface>>;

// The texts of a Writer document's drawing shapes (a text box of a Word file arrives as one), which the document's
// own search does not reach; shapes of a group from the group. Text frames, and shapes whose text lives in a text
// frame attached to them, are left out: they belong with the frames. Every shape met goes to kept.
std::vector<com::sun::star::uno::Reference<com::sun::star::text::XText>>
shapeTexts(const com::sun::star::uno::Reference<com::sun::star::lang::XComponent> &document, ShapeTextObjects &kept);

// Body (tables cell by cell), headers and footers, then text frames and text shapes; one line per paragraph.
// What the shapes' text hands out goes to kept.
QString textOfDocument(const com::sun::star::uno::Reference<com::sun::star::lang::XComponent> &document,
                       ShapeTextObjects &kept);
