#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vanto/Export.h"

namespace vanto::platform {

/// Whether the certificate chain a server presented (PEM texts, the server's own certificate
/// first, then the intermediates it sent) verifies up to one of `anchorsPem` for `host`, a DNS
/// name or an IP address: signatures, validity dates, the server-authentication purpose and the
/// host name are all checked, with the anchors as the only roots trusted. For a UI toolkit's web
/// view, whose own verification knows only the system's roots: it asks here before it accepts a
/// certificate that the application trusts through URLSessionConfiguration::additionalTrustAnchors.
/// False for an empty chain, no anchor, an empty host or PEM text that does not parse.
VANTO_EXPORT bool chainsToTrustAnchor(const std::vector<std::string>& certificateChainPem,
                                      const std::vector<std::string>& anchorsPem,
                                      std::string_view host);

}  // namespace vanto::platform
