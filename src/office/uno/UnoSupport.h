#pragma once

// Small helpers shared by the UNO side of the office layer. Only this folder includes UNO headers.

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/uno/Any.hxx>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/Sequence.hxx>
#include <rtl/ustring.hxx>

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QUrl>

#include <initializer_list>

namespace uno_support {

inline rtl::OUString toOU(const QString &text) {
    return rtl::OUString(reinterpret_cast<const sal_Unicode *>(text.utf16()), static_cast<sal_Int32>(text.size()));
}

inline QString toQ(const rtl::OUString &text) {
    return QString(reinterpret_cast<const QChar *>(text.getStr()), text.getLength());
}

inline rtl::OUString ascii(const char *text) {
    return rtl::OUString::createFromAscii(text);
}

inline com::sun::star::beans::PropertyValue prop(const char *name, const com::sun::star::uno::Any &value) {
    com::sun::star::beans::PropertyValue p;
    p.Name = ascii(name);
    p.Value = value;
    return p;
}

inline com::sun::star::uno::Sequence<com::sun::star::beans::PropertyValue>
props(std::initializer_list<com::sun::star::beans::PropertyValue> values) {
    com::sun::star::uno::Sequence<com::sun::star::beans::PropertyValue> seq(static_cast<sal_Int32>(values.size()));
    auto *out = seq.getArray();
    for (const auto &v : values)
        *out++ = v;
    return seq;
}

inline rtl::OUString fileUrl(const QString &path) {
    return toOU(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded));
}

inline QString describe(const com::sun::star::uno::Exception &e) {
    const QString message = toQ(e.Message);
    return message.isEmpty() ? QStringLiteral("办公软件调用失败") : message;
}

inline com::sun::star::lang::Locale chineseLocale() {
    return com::sun::star::lang::Locale(ascii("zh"), ascii("CN"), rtl::OUString());
}

// Word's 72 points per inch on a 96 dpi screen.
inline int pointsToPixels(int points) {
    return points * 4 / 3;
}

} // namespace uno_support
