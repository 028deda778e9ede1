#include "vanto/transport/Session.h"

#include <algorithm>
#include <mutex>

#include "platform/CookieMatch.h"
#include "platform/StatePart.h"

namespace vanto {

struct Session::State {
    std::mutex mutex;
    std::vector<platform::HTTPCookie> cookies;
};

Session::Session() : state_(new State()) {}

struct Session::Owner : internal::StatePart {
    Session session;
    void reset() override { session.setCookies({}); }
};

Session& Session::shared() {
    return internal::processPart<Owner>().session;
}

std::vector<platform::HTTPCookie> Session::cookies() const {
    const std::lock_guard lock(state_->mutex);
    return state_->cookies;
}

void Session::setCookies(std::vector<platform::HTTPCookie> cookies) {
    const std::lock_guard lock(state_->mutex);
    state_->cookies = std::move(cookies);
}

std::vector<platform::HTTPCookie> Session::cookiesForURL(std::string_view url) const {
    return platform::cookiesApplyingTo(cookies(), url);
}

void Session::updateCookies(const std::vector<platform::HTTPCookie>& received) {
    const std::lock_guard lock(state_->mutex);
    for (const auto& cookie : received) {
        const auto kept =
            std::find_if(state_->cookies.begin(), state_->cookies.end(),
                         [&](const auto& stored) { return platform::sameCookie(stored, cookie); });
        if (kept != state_->cookies.end()) {
            *kept = cookie;
        } else {
            state_->cookies.push_back(cookie);
        }
    }
}

void update(std::vector<platform::HTTPCookie>& list, const platform::HTTPCookie& cookie) {
    for (auto& kept : list) {
        if (kept.name == cookie.name) {
            kept = cookie;
            return;
        }
    }
}

void addCookies(platform::URLRequest& request, const std::vector<platform::HTTPCookie>& cookies) {
    const platform::HeaderFields fields = platform::requestHeaderFieldsWithCookies(cookies);
    for (const auto& [name, value] : fields.fields()) {
        request.allHTTPHeaderFields.set(name, value);
    }
}

}  // namespace vanto
