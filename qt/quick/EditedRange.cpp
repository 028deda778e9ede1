#include "EditedRange.h"

#include <algorithm>

namespace vanto::quick::detail {
namespace {

qsizetype commonPrefix(QStringView a, QStringView b) {
    const qsizetype most = std::min(a.size(), b.size());
    qsizetype length = 0;
    while (length < most && a[length] == b[length]) {
        ++length;
    }
    return length;
}

// A character outside the Basic Multilingual Plane is two units: a range never splits one.
qsizetype keepPairsWhole(QStringView text, qsizetype at) {
    return at > 0 && at < text.size() && text[at].isLowSurrogate() ? at - 1 : at;
}

}  // namespace

Edit editBetween(const QString& before, const QString& after, qsizetype cursor) {
    const QStringView old(before);
    const QStringView edited(after);
    // What follows the insertion point was there before the edit, unchanged.
    const qsizetype kept = edited.size() - cursor;
    if (cursor >= 0 && kept >= 0 && kept <= old.size() && old.endsWith(edited.mid(cursor))) {
        const qsizetype end = old.size() - kept;
        const qsizetype start =
            keepPairsWhole(old, commonPrefix(old.left(end), edited.left(cursor)));
        return {{static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)},
                cursor - start};
    }
    const qsizetype prefix = keepPairsWhole(old, commonPrefix(old, edited));
    qsizetype suffix = 0;
    while (suffix < old.size() - prefix && suffix < edited.size() - prefix &&
           old[old.size() - 1 - suffix] == edited[edited.size() - 1 - suffix]) {
        ++suffix;
    }
    if (suffix > 0 && old[old.size() - suffix].isLowSurrogate()) {
        --suffix;
    }
    return {
        {static_cast<std::size_t>(prefix), static_cast<std::size_t>(old.size() - suffix - prefix)},
        edited.size() - suffix - prefix};
}

}  // namespace vanto::quick::detail
