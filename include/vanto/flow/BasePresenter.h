#pragma once

#include <concepts>
#include <functional>
#include <memory>

#include "vanto/Export.h"

namespace vanto {

/// What every view of a payment flow is: the screens implement the protocol of their flow, which
/// refines this one.
class VANTO_EXPORT BaseViewProtocol {
  public:
    virtual ~BaseViewProtocol() = default;

    /// Whether the outcome the view was last told reached the one it is for. A view that passes
    /// the outcome on where passing it can fail (a pipe, a printer, another process) answers
    /// false when it failed: the payment journal then keeps the payment answered, not delivered,
    /// so that it is listed for review. True unless the view says otherwise.
    virtual bool outcomeReached() const { return true; }

  protected:
    BaseViewProtocol() = default;
    BaseViewProtocol(const BaseViewProtocol&) = default;
    BaseViewProtocol& operator=(const BaseViewProtocol&) = default;
};

/// The view a payment reports to, looked up when the report is made: the view its presenter was
/// last given, or null when that view has gone away.
template <typename Protocol>
using ViewSource = std::function<std::shared_ptr<Protocol>()>;

/// The base of both payment presenters: the view it reports to, held weakly, so that neither the
/// screen nor its presenter keeps the other alive. A report for a view that has gone away is
/// dropped. Reports of payments already in flight follow setView: they go to the view set last.
/// Used on the main queue only.
template <typename View>
requires std::derived_from<View, BaseViewProtocol>
class BasePresenter {
  public:
    explicit BasePresenter(std::weak_ptr<View> view)
        : view_(std::make_shared<std::weak_ptr<View>>(std::move(view))) {}
    virtual ~BasePresenter() = default;
    BasePresenter(const BasePresenter&) = delete;
    BasePresenter& operator=(const BasePresenter&) = delete;

    /// The view, or null when it has gone away.
    std::shared_ptr<View> view() const { return view_->lock(); }
    /// Reports go to `view` from now on, those of payments already in flight included.
    void setView(std::weak_ptr<View> view) { *view_ = std::move(view); }

  protected:
    /// Where the presenter's payments find their view when they report; it outlives the
    /// presenter, so a payment in flight never reads a destroyed presenter.
    template <typename Protocol>
    requires std::derived_from<View, Protocol> ViewSource<Protocol> viewSource()
    const {
        return [slot = view_]() -> std::shared_ptr<Protocol> { return slot->lock(); };
    }

  private:
    std::shared_ptr<std::weak_ptr<View>> view_;
};

}  // namespace vanto
