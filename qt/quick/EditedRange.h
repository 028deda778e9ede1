#pragma once

#include <QString>

#include "vanto/platform/ui/CardEntryViewModel.h"

namespace vanto::quick::detail {

namespace ui = platform::ui;

/// An edit of a text field as its rules take it: the range of the text before it that was
/// replaced (UTF-16 units) and the replacement.
struct Edit {
    ui::TextRange range;
    /// Where the replacement lies in the edited text: from range.location, this many units.
    qsizetype replacementLength = 0;
};

/// The edit that turned `before` into `after`, the insertion point left at `cursor` in `after`:
/// typing, pasting and deleting leave it at the end of what they put in. An edit that did not
/// (another program's input method) is taken as the shortest change between the two texts.
/// Where several ranges give the same text, which one is taken does not change the result.
Edit editBetween(const QString& before, const QString& after, qsizetype cursor);

}  // namespace vanto::quick::detail
