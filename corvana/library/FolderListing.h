#pragma once
#include <QString>
#include <QStringList>
#include <QStringView>

namespace corvana {

// Reads the entries of one folder that match a wildcard, as a listing pattern names them.
class FolderListing {
public:
    // `pattern` is a folder followed by a wildcard of '*' and '?' ("/home/u/Documents/Corvana/Video/*.wmv").
    // Every kind of entry is returned, matched without regard to case, in no particular order.
    // Names are as NativeName keeps them, so every name returned opens exactly the entry it was
    // read from, also one that is not valid UTF-8.
    // A folder that cannot be read gives an empty list.
    static QStringList Matching(const QString& pattern);

    static bool WildcardMatch(QStringView name, QStringView wildcard);
};

} // namespace corvana
