#pragma once

#include <string_view>

#include "vanto/Export.h"
#include "vanto/platform/ui/TextRange.h"

namespace vanto::platform::ui {

class TextField;

/// Decides each edit of a text field before the field applies it. The card-entry screen is the
/// delegate of its three fields: it checks, regroups and limits what the cardholder types.
class VANTO_EXPORT TextFieldDelegate {
  public:
    virtual ~TextFieldDelegate() = default;

    /// Asked before `textField` applies an edit that replaces `shouldChangeCharactersIn` (UTF-16
    /// units of its current text) by `replacementString` (UTF-8; empty for a deletion). True: the
    /// field applies the edit itself. False: the field does not apply it and shows its text as it
    /// is when this returns, which the delegate may have replaced with setText() meanwhile.
    virtual bool textField(TextField& textField, TextRange shouldChangeCharactersIn,
                           std::string_view replacementString) = 0;

  protected:
    TextFieldDelegate() = default;
    TextFieldDelegate(const TextFieldDelegate&) = default;
    TextFieldDelegate& operator=(const TextFieldDelegate&) = default;
};

}  // namespace vanto::platform::ui
