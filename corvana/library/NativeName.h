#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace corvana {

// File names as the program keeps them. A name on disk is bytes, usually but not always UTF-8
// (a name copied in from an old archive or another system). Each byte that is not part of valid
// UTF-8 is kept as the lone surrogate U+DC80..U+DCFF, so the text comes back to exactly the
// bytes it was read from and the entry it names can be opened, shown and deleted.
class NativeName {
public:
    static QString Decode(QByteArrayView bytes);
    static QByteArray Encode(const QString& name);
    // The name for a person: every kept byte becomes U+FFFD.
    static QString Shown(const QString& name);
    // Whether Qt's own file functions address this name correctly.
    static bool IsPlain(const QString& name);
};

} // namespace corvana
