#pragma once

#include <memory>
#include <typeindex>

namespace vanto::internal {

// One piece of the library's process-wide state. The pieces belong to ProcessState, which creates
// each on first use and never destroys it; reset() puts a setting back to its default, and does
// nothing for machinery.
class StatePart {
  public:
    virtual ~StatePart() = default;
    virtual void reset() {}
};

// The piece of the given type, created by `make` if it does not exist yet.
StatePart& statePart(std::type_index type, std::unique_ptr<StatePart> (*make)());

// The piece of type Part (default-constructed on first use). The reference is looked up once
// per program: the piece never moves.
template <typename Part>
Part& processPart() {
    static Part& part = static_cast<Part&>(statePart(
        typeid(Part), []() -> std::unique_ptr<StatePart> { return std::make_unique<Part>(); }));
    return part;
}

}  // namespace vanto::internal
