#include "platform/CurlGlobal.h"

#include <curl/curl.h>

#include <mutex>

#include "platform/Lifetime.h"

namespace vanto::platform {

void ensureCurlGlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Never undone with curl_global_cleanup(): transfers may still be unwinding while the
        // process ends.
        curl_global_init(CURL_GLOBAL_DEFAULT);
        lifetime::watchProcessEnd();
    });
}

}  // namespace vanto::platform
