#pragma once

#include <concepts>
#include <memory>

#include "vanto/direct/BaseViewProtocol.h"

namespace vanto {

/// The base of both payment presenters: the view it reports to, held weakly, so that neither the
/// screen nor its presenter keeps the other alive. A report for a view that has gone away is
/// dropped.
template <typename View>
requires std::derived_from<View, BaseViewProtocol>
class BasePresenter {
  public:
    explicit BasePresenter(std::weak_ptr<View> view) : view_(std::move(view)) {}
    virtual ~BasePresenter() = default;
    BasePresenter(const BasePresenter&) = delete;
    BasePresenter& operator=(const BasePresenter&) = delete;

    /// The view, or null when it has gone away.
    std::shared_ptr<View> view() const { return view_.lock(); }
    /// Reports go to `view` from now on.
    void setView(std::weak_ptr<View> view) { view_ = std::move(view); }

  protected:
    const std::weak_ptr<View>& weakView() const { return view_; }

  private:
    std::weak_ptr<View> view_;
};

}  // namespace vanto
