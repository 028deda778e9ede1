#pragma once

#include <memory>
#include <optional>
#include <string>

#include "vanto/Export.h"
#include "vanto/platform/ui/TextFieldDelegate.h"
#include "vanto/platform/ui/View.h"

namespace vanto::platform::ui {

/// A one-line text input (QLineEdit in a Qt binding).
class VANTO_EXPORT TextField : public View {
  public:
    /// The text shown, UTF-8. Absent only when the field has no text at all; a toolkit whose
    /// fields always hold a text, if only an empty one, never answers absent.
    virtual std::optional<std::string> text() const = 0;
    /// Shows exactly `text` in place of the current one, with the insertion point at its end.
    /// Never asks the delegate; may be called from within the delegate's call.
    virtual void setText(const std::string& text) = 0;
    /// Allows (true) or blocks (false) the cardholder's input.
    virtual void setEnabled(bool enabled) = 0;
    /// Opacity from 0.0 (invisible) to 1.0; an animation of it (Toolkit::animate) fades.
    virtual void setAlpha(double alpha) = 0;
    /// Routes every edit the cardholder makes (typing, deleting, pasting, cutting, an input
    /// method's commit) through `delegate` before it is applied; see TextFieldDelegate. Held
    /// weakly, and locked for the duration of each call. Without a delegate every edit applies.
    virtual void setDelegate(std::weak_ptr<TextFieldDelegate> delegate) = 0;
};

}  // namespace vanto::platform::ui
