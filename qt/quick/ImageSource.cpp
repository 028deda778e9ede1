#include "ImageSource.h"

#include <string_view>

#include <QByteArray>

#include "vanto/platform/ui/CardEntryViewModel.h"

namespace vanto::quick::detail {
namespace {

// The folder of the module's resources, as the QML module is built (quick/CMakeLists.txt).
constexpr const char* kModuleFolder = "qrc:/qt-project.org/imports/Vanto/";

// The media type of an encoded image, from its first bytes; the image reader looks at the bytes
// again, so a wrong guess only costs a second look.
QByteArray mediaType(std::string_view bytes) {
    if (bytes.starts_with("\x89PNG")) {
        return "image/png";
    }
    if (bytes.starts_with("\xFF\xD8")) {
        return "image/jpeg";
    }
    if (bytes.starts_with("GIF8")) {
        return "image/gif";
    }
    if (bytes.find("<svg") != std::string_view::npos) {
        return "image/svg+xml";
    }
    return "application/octet-stream";
}

}  // namespace

QUrl imageSource(const platform::ui::Image& image) {
    if (image.isNamed()) {
        return image.name() == platform::ui::CardEntryAppearance::kOwnLogo
                   ? QUrl(QString::fromLatin1(kModuleFolder) + QStringLiteral("logoQuenta.svg"))
                   : QUrl();
    }
    const std::string& bytes = image.data();
    if (bytes.empty()) {
        return {};
    }
    const QByteArray encoded =
        QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())).toBase64();
    return QUrl(QString::fromLatin1("data:" + mediaType(bytes) + ";base64," + encoded));
}

}  // namespace vanto::quick::detail
