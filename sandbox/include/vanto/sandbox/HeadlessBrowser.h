#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vanto/platform/SecretText.h"
#include "vanto/platform/URLRequest.h"

namespace vanto::sandbox {

/// An HTML form as a minimal browser submits it: where, how, and its fields with their values.
struct HtmlForm {
    std::string action;
    std::string method;
    std::vector<std::pair<std::string, std::string>> fields;
    /// The submit buttons' names and values; the one pressed is sent as a field.
    std::vector<std::pair<std::string, std::string>> buttons;

    /// Sets the field `name` when the form has it; returns whether it had.
    bool fill(std::string_view name, std::string value);
    /// The form's fields and the button whose value is `pressed` (or the first one), URL-encoded;
    /// none when a name or value is not UTF-8 text.
    std::optional<platform::SecretText> encoded(std::string_view pressed) const;
};

/// The first form of `html`, if any. Reads what the sandbox's pages hold: form, input and button
/// tags with quoted attributes, and the character entities of their values.
std::optional<HtmlForm> firstForm(std::string_view html);

/// A minimal browser over libcurl for the sandbox's payment pages, for the command line's headless
/// web payment and for tests: one session with its own cookie engine, https only, redirects
/// followed one by one so that every navigation can be seen, only pages on the first page's host
/// loaded, and none larger than 1 MiB.
class HeadlessBrowser {
  public:
    struct Page {
        std::string url;
        int status = 0;
        std::string body;
    };
    /// Told the address of every navigation before it is loaded; returns whether to load it.
    using Navigation = std::function<bool(const std::string& address)>;

    /// `trustAnchor`: PEM text trusted besides the system's certificates, or "".
    explicit HeadlessBrowser(std::string trustAnchor);
    ~HeadlessBrowser();
    HeadlessBrowser(const HeadlessBrowser&) = delete;
    HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

    /// Loads `request` and follows its redirects; the last page loaded, or none when a navigation
    /// was declined, the address was on another host, or the transfer failed.
    std::optional<Page> load(const platform::URLRequest& request, const Navigation& navigation);

    /// Why the last load() gave no page.
    const std::string& lastProblem() const { return problem_; }

  private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    std::string host_;
    std::string problem_;
};

/// What a cardholder types into the sandbox's card form.
struct CardholderEntry {
    std::string number;
    /// MM/YY.
    std::string expiry;
    std::string cvv;
};

/// How a walk through the payment pages is followed and ended.
struct PageWalk {
    /// Told each navigation's address before it loads; false declines it and ends the walk.
    HeadlessBrowser::Navigation navigation;
    /// Told each page that finished loading; false ends the walk there.
    std::function<bool(const HeadlessBrowser::Page&)> finished;
};

/// Loads `page` and works through the sandbox's pages as a cardholder: fills the card form with
/// `entry` and presses "Pagar", then submits each form that follows (the authentication step), for
/// a few pages at most. Returns why the walk ended by itself ("" when a callback ended it): a page
/// that did not load, a page without a form (with its status and its title or first line, card
/// data masked), or too many pages.
std::string walkPaymentPage(HeadlessBrowser& browser, const platform::URLRequest& page,
                            const CardholderEntry& entry, const PageWalk& walk);

}  // namespace vanto::sandbox
