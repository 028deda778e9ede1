#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "vanto/Export.h"
#include "vanto/platform/URLRequest.h"
#include "vanto/platform/ui/Graphics.h"

namespace vanto::platform::ui {

/// How an alert's button is drawn.
enum class AlertActionStyle {
    defaultStyle = 0,
    cancel = 1,
    destructive = 2,
};

/// A button of an alert: its caption and what runs, on the main queue, once the alert has closed
/// because the button was pressed.
struct VANTO_EXPORT AlertAction {
    std::string title;
    AlertActionStyle style = AlertActionStyle::defaultStyle;
    std::function<void()> handler;
};

/// A modal message with a title, a text (which may hold line breaks) and its buttons, in order
/// (a QMessageBox in a Qt binding). Pressing any button closes it.
struct VANTO_EXPORT Alert {
    std::string title;
    std::string message;
    std::vector<AlertAction> actions;
};

/// A value of a kind the screens do not read (an object, an array).
struct VANTO_EXPORT OtherScriptValue {
    friend bool operator==(const OtherScriptValue&, const OtherScriptValue&) = default;
};

/// What a script evaluated in a page produced: a text, a number, a truth value or another kind.
using ScriptValue = std::variant<std::string, double, bool, OtherScriptValue>;

/// Why a script could not be evaluated.
struct VANTO_EXPORT ScriptError {
    std::string description;
};

/// Whether a web view goes ahead with a navigation, with the raw values hosts use for them.
enum class NavigationActionPolicy {
    cancel = 0,
    allow = 1,
};

/// A navigation the web view is about to make, of its page or of a frame in it.
struct VANTO_EXPORT NavigationAction {
    /// The absolute address of its request; absent when the request has none.
    std::optional<std::string> address;
    /// The page submits a form (the cardholder sent it, or a script of the page did).
    bool submitsForm = false;
};

/// A button placed over the page in code: caption, font, frame over the page's top-left corner,
/// and whether it is shown (a hidden button cannot be pressed).
struct VANTO_EXPORT OverlayButton {
    std::string title;
    Font font = Font::systemFont(15);
    Rect frame;
    bool visible = false;
};

/// A script to run in the page shown; the binding answers it with scriptEvaluated(id, ...).
struct VANTO_EXPORT PageScript {
    std::uint64_t id = 0;
    std::string source;
};

/// What the payment web page shows and what it takes from its web view and the cardholder, for a
/// UI binding to draw: a web view filling the screen, an activity indicator in its middle, the
/// close button over it, an alert. The screen's logic (WebViewPaymentController) writes the state
/// and decides every input; the binding reads the state when told that a part of it changed and
/// reports the web view's navigations and the cardholder's actions. Everything runs on the main
/// queue.
class VANTO_EXPORT PaymentPageViewModel {
  public:
    using ScriptCompletion =
        std::function<void(std::optional<ScriptValue> result, std::optional<ScriptError> error)>;

    /// What changed (or, for page and script, what the screen asks of the web view).
    enum class Part {
        closeButton,
        busy,
        /// An alert to show, or the one shown to take away.
        alert,
        /// page(): a request to load in the web view as the page, in place of what it shows.
        page,
        /// script(): a script to run in the page shown.
        script,
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

    /// The screen's logic: what the web view's navigations and the cardholder's actions become.
    class Inputs {
      public:
        virtual ~Inputs() = default;
        virtual NavigationActionPolicy navigationDecided(const NavigationAction& action) = 0;
        virtual void navigationStarted() = 0;
        virtual void navigationFinished() = 0;
        virtual void navigationFailed() = 0;
        virtual void closeButtonPressed() = 0;
        virtual void closeRequested() = 0;
        virtual void appeared() = 0;

      protected:
        Inputs() = default;
        Inputs(const Inputs&) = default;
        Inputs& operator=(const Inputs&) = default;
    };

    explicit PaymentPageViewModel(std::shared_ptr<Inputs> inputs);
    PaymentPageViewModel(const PaymentPageViewModel&) = delete;
    PaymentPageViewModel& operator=(const PaymentPageViewModel&) = delete;

    /// The one binding that draws the screen, kept until the model goes or another replaces it.
    void setObserver(std::shared_ptr<Observer> observer);
    const std::shared_ptr<Observer>& observer() const { return observer_; }

    // What is shown.
    const OverlayButton& closeButton() const { return closeButton_; }
    /// The activity indicator spins.
    bool busy() const { return busy_; }
    /// The alert shown over the screen, modally; none when there is none.
    const std::optional<Alert>& alert() const { return alert_; }
    /// The last page asked for: its address, method, header fields in their order, body, cache
    /// policy and time-out (a page slower than that fails). Null before the first.
    const URLRequest* page() const { return page_ ? &*page_ : nullptr; }
    /// The last script asked for.
    const std::optional<PageScript>& script() const { return script_; }
    /// The screen has been taken away (animated).
    bool closed() const { return closed_; }

    // What the web view and the cardholder do; each is handed to the screen's logic.
    /// A navigation about to happen; what it returns decides it.
    NavigationActionPolicy decideNavigation(const NavigationAction& action);
    /// An allowed navigation started to load.
    void navigationStarted();
    /// A navigation finished loading its page.
    void navigationFinished();
    /// A navigation failed, before or after its page started to arrive (an unreachable address,
    /// a refused or dropped connection, a failing certificate, an error status, its time-out).
    /// A navigation that another replaced, or that was cancelled, is no failure.
    void navigationFailed();
    /// The answer to script(): its result (absent when none, undefined or null) and, when it
    /// could not be evaluated, an error. Answers to scripts not asked, or answered, are ignored.
    void scriptEvaluated(std::uint64_t id, std::optional<ScriptValue> result,
                         std::optional<ScriptError> error);
    /// A hidden close button does nothing.
    void pressCloseButton();
    /// The alert's button at `index`: the alert goes, then the button's handler runs.
    void pressAlertButton(std::size_t index);
    /// The window's own close (a title-bar button, a system gesture).
    void requestClose();
    /// The screen is on screen (again).
    void appeared();

    // For the screen's logic.
    void setCloseButton(OverlayButton button);
    void setCloseButtonVisible(bool visible);
    void setBusy(bool busy);
    void present(Alert alert);
    void load(URLRequest page);
    /// Asks for `source` to run in the page; `completion` runs once with its answer.
    void evaluate(std::string source, ScriptCompletion completion);
    void close();

  private:
    void notify(Part part) const;

    std::shared_ptr<Inputs> inputs_;
    std::shared_ptr<Observer> observer_;
    OverlayButton closeButton_;
    bool busy_ = false;
    std::optional<Alert> alert_;
    std::optional<URLRequest> page_;
    std::optional<PageScript> script_;
    std::uint64_t lastScript_ = 0;
    std::map<std::uint64_t, ScriptCompletion> awaitedScripts_;
    bool closed_ = false;
};

}  // namespace vanto::platform::ui
