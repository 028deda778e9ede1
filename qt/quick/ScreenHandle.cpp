#include "vanto/quick/ScreenHandle.h"

namespace vanto::quick {

ScreenHandle::ScreenHandle(const std::shared_ptr<BaseViewController>& screen, QObject* parent)
    : QObject(parent), screen_(screen) {}

ScreenHandle::~ScreenHandle() = default;

}  // namespace vanto::quick
