#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/platform/SecretText.h"
#include "vanto/platform/ui/Graphics.h"

namespace vanto::platform::ui {

/// A range of a text counted in UTF-16 code units, the way text fields of the common toolkits
/// count (QString, NSString): a character outside the Basic Multilingual Plane, such as most
/// emoji, is two units.
struct VANTO_EXPORT TextRange {
    std::size_t location = 0;
    std::size_t length = 0;

    friend bool operator==(const TextRange&, const TextRange&) = default;
};

/// The length of UTF-8 `text` in UTF-16 code units. A byte that does not start a well-formed
/// UTF-8 sequence counts as one unit, as it would once replaced by U+FFFD.
VANTO_EXPORT std::size_t utf16Length(std::string_view text);

/// UTF-8 `text` with the characters in `range` (UTF-16 units) replaced by `replacement`: the
/// preview of an edit, as secret text since it is mostly card data. None when the range ends past
/// the text or either of its ends falls inside a character, splitting a pair of UTF-16 units.
VANTO_EXPORT std::optional<SecretText> replacingCharacters(std::string_view text, TextRange range,
                                                           std::string_view replacement);

/// The kind of device the screens run on.
enum class UserInterfaceIdiom {
    phone,
    other,
};

/// What the card-entry screen needs to know of the device for its layout.
struct VANTO_EXPORT DeviceMetrics {
    UserInterfaceIdiom idiom = UserInterfaceIdiom::other;
    /// Height of the main screen in physical pixels.
    int nativeScreenHeight = 0;
    /// Height of the system's status bar in points; 0 when there is none.
    double statusBarHeight = 0.0;
    /// Major version of the operating system (a phone system's version; 0 elsewhere).
    int systemMajorVersion = 0;
};

/// The three card-data fields of the card-entry screen.
enum class CardField {
    number,
    /// The expiry, shown as MM/YY.
    expiry,
    securityCode,
};

/// A text drawn in a font and a colour; absent ones are the toolkit's own.
struct VANTO_EXPORT Caption {
    std::string text;
    std::optional<Font> font;
    std::optional<Color> color;

    friend bool operator==(const Caption&, const Caption&) = default;
};

/// A button as the cardholder sees it: its caption and whether it can be pressed.
struct VANTO_EXPORT ButtonState {
    std::string title;
    bool enabled = true;

    friend bool operator==(const ButtonState&, const ButtonState&) = default;
};

/// How opaque the faded elements are, and over how many seconds they get there (0: at once).
struct VANTO_EXPORT Fade {
    double alpha = 1.0;
    double seconds = 0.0;

    friend bool operator==(const Fade&, const Fade&) = default;
};

/// The card-entry screen's own look: images, colours and captions.
struct VANTO_EXPORT CardEntryAppearance {
    /// The library's own logo, a named image every binding provides.
    static constexpr const char* kOwnLogo = "logoQuenta";

    Image logo = Image::named(kOwnLogo);
    /// Drawn over the whole screen behind everything else; none by default.
    std::optional<Image> backgroundImage;
    Color backgroundColor = Color::white();
    Caption numberCaption;
    Caption expiryCaption;
    Caption securityCodeCaption;
    /// The information text above the fields.
    Caption infoCaption;
    /// The security-code field shows its text as a row of dots (its text is the code still).
    bool securityCodeMasked = false;

    friend bool operator==(const CardEntryAppearance&, const CardEntryAppearance&) = default;
};

/// What the card-entry screen shows and what it takes from the cardholder, for a UI binding to
/// draw in its own idiom (widgets, a scene, a test's fake). The screen's logic
/// (DirectPaymentViewController) writes the state and decides every input; the binding reads the
/// state when told that a part of it changed, and hands over what the cardholder does. Everything
/// runs on the main queue.
///
/// The binding draws a top bar with the cancel and continue buttons, the logo, the information
/// caption, and the three fields with their captions over the background; the bar, the logo, the
/// captions and the fields follow fade(). The card fields' texts are secret text: a binding keeps
/// them in the field only, and wipes every copy it makes on the way.
class VANTO_EXPORT CardEntryViewModel {
  public:
    /// What changed (or, for editingEnded, what the screen asks): the binding redraws that part.
    enum class Part {
        appearance,
        /// navigationTopSpacing()
        layout,
        fade,
        /// Texts and enabled states of the three fields.
        fields,
        buttons,
        busy,
        /// Editing ends: the field with the focus loses it and an on-screen keyboard closes.
        editingEnded,
        closed,
    };

    /// The binding: told of every change, synchronously, on the main queue.
    class Observer {
      public:
        virtual ~Observer() = default;
        virtual void changed(Part part) = 0;

      protected:
        Observer() = default;
        Observer(const Observer&) = default;
        Observer& operator=(const Observer&) = default;
    };

    /// The screen's logic: what the cardholder's input becomes. Held by the model, which calls
    /// it only through the input operations below.
    class Inputs {
      public:
        virtual ~Inputs() = default;
        /// Whether the field applies the edit itself (true) or keeps the text the screen gave it.
        virtual bool shouldChange(CardField field, TextRange range,
                                  const SecretText& replacement) = 0;
        virtual void continuePressed() = 0;
        virtual void cancelPressed() = 0;
        virtual void tappedOutside() = 0;
        virtual void closeRequested() = 0;
        virtual void appeared() = 0;
        virtual void deviceDescribed(const DeviceMetrics& device) = 0;

      protected:
        Inputs() = default;
        Inputs(const Inputs&) = default;
        Inputs& operator=(const Inputs&) = default;
    };

    struct FieldState {
        SecretText text;
        bool enabled = true;
    };

    explicit CardEntryViewModel(std::shared_ptr<Inputs> inputs);
    CardEntryViewModel(const CardEntryViewModel&) = delete;
    CardEntryViewModel& operator=(const CardEntryViewModel&) = delete;

    /// The one binding that draws the screen, kept until the model goes or another replaces it;
    /// null: none.
    void setObserver(std::shared_ptr<Observer> observer);
    const std::shared_ptr<Observer>& observer() const { return observer_; }

    // What is shown.
    const CardEntryAppearance& appearance() const { return appearance_; }
    /// The space above the top bar, in points; absent: the binding's own layout.
    std::optional<double> navigationTopSpacing() const { return navigationTopSpacing_; }
    const Fade& fade() const { return fade_; }
    const FieldState& field(CardField which) const;
    /// Why the field's content is not valid, in a few words shown under it, once the cardholder
    /// has left the field with that content; "" while there is nothing to say (valid, empty,
    /// still being typed).
    const std::string& fieldProblem(CardField which) const;
    const ButtonState& cancelButton() const { return cancel_; }
    const ButtonState& continueButton() const { return continue_; }
    /// The activity indicator spins.
    bool busy() const { return busy_; }
    /// The screen has been taken away (animated).
    bool closed() const { return closed_; }

    // What the cardholder does; each is handed to the screen's logic.
    /// An edit of a field as the field proposes it: the characters in `range` (UTF-16 units of
    /// the field's text) replaced by `replacement`. True when the edit shows as proposed; in any
    /// case the field shows field(which).text afterwards. A disabled field takes no edit.
    bool editField(CardField which, TextRange range, SecretText replacement);
    /// The field lost the focus: from now on its problem shows, until it is edited again.
    void leaveField(CardField which);
    /// A disabled button does nothing.
    void pressContinue();
    void pressCancel();
    /// A tap on the screen outside its controls.
    void tapOutside();
    /// The window's own close (a title-bar button, a system gesture).
    void requestClose();
    /// The screen is on screen (again).
    void appeared();
    /// The device the screen is drawn on; a binding on a phone tells it before the screen appears.
    void describeDevice(const DeviceMetrics& device);

    // For the screen's logic.
    void setAppearance(CardEntryAppearance appearance);
    void setNavigationTopSpacing(double points);
    void setFade(Fade fade);
    void setFieldText(CardField which, SecretText text);
    void setFieldEnabled(CardField which, bool enabled);
    /// Why the field's content would be invalid, or "" when it is valid.
    void setFieldProblem(CardField which, std::string problem);
    void setButtonTitles(std::string cancel, std::string proceed);
    void setCancelEnabled(bool enabled);
    void setContinueEnabled(bool enabled);
    void setBusy(bool busy);
    void endEditing();
    void close();

  private:
    void notify(Part part) const;

    std::shared_ptr<Inputs> inputs_;
    std::shared_ptr<Observer> observer_;
    CardEntryAppearance appearance_;
    std::optional<double> navigationTopSpacing_;
    Fade fade_;
    std::array<FieldState, 3> fields_;
    std::array<std::string, 3> problems_;
    std::array<bool, 3> left_{};
    ButtonState cancel_;
    ButtonState continue_;
    bool busy_ = false;
    bool closed_ = false;
};

}  // namespace vanto::platform::ui
